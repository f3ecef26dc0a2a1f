#ifndef TALLYARD_PLATFORM_SIPPANEL_H
#define TALLYARD_PLATFORM_SIPPANEL_H

// The soft input panel. A desktop has none: the panel's state lives in the
// process, has no visible effect, and every call is recorded for tests.

#include <cstdint>
#include <vector>

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

/// The panel's information record; 48 bytes as on the device.
struct SIPINFO
{
    uint32_t cbSize;
    uint32_t fdwFlags;
    SipRect rcVisibleDesktop;
    SipRect rcSipRect;
    uint32_t dwImDataSize;
    void* pvImData;
};

/// The information call: SPI_GETSIPINFO fills *info (its cbSize must be
/// sizeof(SIPINFO)), SPI_SETSIPINFO stores its flag word. False on failure.
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
};

bool IsRaised();
uint32_t Flags();
const std::vector<Call>& Calls();
/// Lowers the panel, clears the flags and the call log.
void Reset();
/// Makes the next `count` SPI_GETSIPINFO queries fail.
void FailQueries(int count);
}

#endif
