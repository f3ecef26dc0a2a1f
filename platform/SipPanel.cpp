#include "platform/SipPanel.h"

namespace
{
// The panel belongs to the user-interface thread, as on the device.
struct PanelState
{
    bool raised = false;
    uint32_t flags = 0; // as last written; the panel's position is `raised`
};

PanelState& State()
{
    static PanelState state;
    return state;
}

SipPanel::Observer* s_observer = nullptr;

bool Report(SipPanel::CallKind kind, uint32_t flags, int state, const void* window, bool succeeded)
{
    if (s_observer)
        s_observer->Called(SipPanel::Call{kind, flags, state, window, succeeded});
    return succeeded;
}
}

bool SipInfo(unsigned action, unsigned /*param*/, SIPINFO* info, unsigned /*winIni*/)
{
    PanelState& state = State();
    const bool sized = info && info->cbSize == sizeof(SIPINFO);
    switch (action)
    {
    case SPI_GETSIPINFO:
        if (!sized)
            return Report(SipPanel::CallKind::GetInfo, 0, 0, nullptr, false);
        if (s_observer && s_observer->RefusesQuery())
            return Report(SipPanel::CallKind::GetInfo, 0, 0, nullptr, false);
        *info = SIPINFO{};
        info->cbSize = sizeof(SIPINFO);
        info->fdwFlags = state.flags;
        // A 240 x 320 screen with a 26-pixel menu bar and an 80-pixel panel.
        info->rcVisibleDesktop = {0, 26, 240, state.raised ? 240 : 320};
        info->rcSipRect = {0, 240, 240, 320};
        return Report(SipPanel::CallKind::GetInfo, info->fdwFlags, 0, nullptr, true);
    case SPI_SETSIPINFO:
        if (!sized)
            return Report(SipPanel::CallKind::SetInfo, info ? info->fdwFlags : 0, 0, nullptr, false);
        state.flags = info->fdwFlags;
        return Report(SipPanel::CallKind::SetInfo, info->fdwFlags, 0, nullptr, true);
    default:
        return false;
    }
}

bool SHSipPreference(const void* window, int state)
{
    PanelState& panel = State();
    switch (state)
    {
    case SIP_UP:
        panel.raised = true;
        break;
    case SIP_DOWN:
    case SIP_FORCEDOWN:
        panel.raised = false;
        break;
    default:
        return Report(SipPanel::CallKind::Preference, panel.flags, state, window, false);
    }
    return Report(SipPanel::CallKind::Preference, panel.flags, state, window, true);
}

namespace SipPanel
{
bool IsRaised()
{
    return State().raised;
}

uint32_t Flags()
{
    return State().flags;
}

Observer* SetObserver(Observer* observer)
{
    Observer* previous = s_observer;
    s_observer = observer;
    return previous;
}
}
