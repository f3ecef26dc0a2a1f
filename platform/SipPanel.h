#ifndef TALLYARD_PLATFORM_SIPPANEL_H
#define TALLYARD_PLATFORM_SIPPANEL_H

// The soft input panel. A desktop has none: the panel's state lives in the
// process and has no visible effect.

#include <cstdint>

constexpr unsigned SPI_SETSIPINFO = 224;
constexpr unsigned SPI_GETSIPINFO = 225;
constexpr uint32_t SIPF_ON = 0x0001;
constexpr uint32_t SIPF_DISABLECOMPLETION = 0x0008;
constexpr int SIP_UP = 0;
constexpr int SIP_DOWN = 1;
constexpr int SIP_FORCEDOWN = 2;

struct SipRect
{
    int32_t left, top, right, bottom;
};

/// The panel's information record; 48 bytes as on the device on every
/// architecture, so the input method's data is a 32-bit handle, not a pointer.
struct SIPINFO
{
    uint32_t cbSize;
    uint32_t fdwFlags;
    SipRect rcVisibleDesktop;
    SipRect rcSipRect;
    uint32_t dwImDataSize;
    uint32_t pvImData;
};
static_assert(sizeof(SIPINFO) == 48, "the record's size is part of the interface");

/// The information call: SPI_GETSIPINFO fills *info, SPI_SETSIPINFO stores
/// its flag word as it is (only the preference call moves the panel). Both
/// need info->cbSize == sizeof(SIPINFO). False on failure.
bool SipInfo(unsigned action, unsigned param, SIPINFO* info, unsigned winIni);
/// The preference call: asks for SIP_UP or SIP_FORCEDOWN for `window`.
bool SHSipPreference(const void* window, int state);

namespace SipPanel
{
enum class CallKind
{
    GetInfo,
    SetInfo,
    Preference
};

struct Call
{
    CallKind kind;
    uint32_t flags; // GetInfo/SetInfo: the flag word returned or written
    int state;      // Preference: the state asked for
    const void* window;
    bool succeeded = true;
};

/// Sees every call to the panel; the program installs none.
class Observer
{
public:
    virtual ~Observer() = default;
    /// Asked before a well-formed query is answered: true makes it fail.
    virtual bool RefusesQuery() = 0;
    /// Told of each call once it is done, failed ones included.
    virtual void Called(const Call& call) = 0;
};

/// Installs `observer` (null: none) and returns the one it replaces.
Observer* SetObserver(Observer* observer);

bool IsRaised();
/// The flag word the next query returns.
uint32_t Flags();
}

#endif
