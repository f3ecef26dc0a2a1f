#include "platform/SipPanel.h"

namespace
{
// The panel belongs to the user-interface thread, as on the device.
struct PanelState
{
    bool raised = false;
    uint32_t flags = 0; // as last written; the panel's position is `raised`
    int failQueries = 0;
    std::vector<SipPanel::Call> calls;
};

PanelState& State()
{
    static PanelState state;
    return state;
}

bool Log(SipPanel::CallKind kind, uint32_t flags, int state, const void* window, bool succeeded)
{
    State().calls.push_back(SipPanel::Call{kind, flags, state, window, succeeded});
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
            return Log(SipPanel::CallKind::GetInfo, 0, 0, nullptr, false);
        if (state.failQueries > 0)
        {
            --state.failQueries;
            return Log(SipPanel::CallKind::GetInfo, 0, 0, nullptr, false);
        }
        *info = SIPINFO{};
        info->cbSize = sizeof(SIPINFO);
        info->fdwFlags = state.flags;
        // A 240 x 320 screen with a 26-pixel menu bar and an 80-pixel panel.
        info->rcVisibleDesktop = {0, 26, 240, state.raised ? 240 : 320};
        info->rcSipRect = {0, 240, 240, 320};
        return Log(SipPanel::CallKind::GetInfo, info->fdwFlags, 0, nullptr, true);
    case SPI_SETSIPINFO:
        if (!sized)
            return Log(SipPanel::CallKind::SetInfo, info ? info->fdwFlags : 0, 0, nullptr, false);
        state.flags = info->fdwFlags;
        return Log(SipPanel::CallKind::SetInfo, info->fdwFlags, 0, nullptr, true);
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
        return Log(SipPanel::CallKind::Preference, panel.flags, state, window, false);
    }
    return Log(SipPanel::CallKind::Preference, panel.flags, state, window, true);
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

const std::vector<Call>& Calls()
{
    return State().calls;
}

void Reset()
{
    State() = PanelState{};
}

void FailQueries(int count)
{
    State().failQueries = count;
}
}
