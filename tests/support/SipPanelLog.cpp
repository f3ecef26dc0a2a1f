#include "tests/support/SipPanelLog.h"

namespace
{
class Recorder : public SipPanel::Observer
{
public:
    Recorder() { SipPanel::SetObserver(this); }
    ~Recorder() override { SipPanel::SetObserver(nullptr); }

    bool RefusesQuery() override
    {
        if (m_failQueries <= 0)
            return false;
        --m_failQueries;
        return true;
    }

    void Called(const SipPanel::Call& call) override { m_calls.push_back(call); }

    std::vector<SipPanel::Call> m_calls;
    int m_failQueries = 0;
};

// Installed before main(), so no call of the test program goes unrecorded.
Recorder s_recorder;
}

namespace SipPanel
{
const std::vector<Call>& Calls()
{
    return s_recorder.m_calls;
}

void Reset()
{
    // Through the panel's own calls, unrecorded.
    Observer* recorder = SetObserver(nullptr);
    SHSipPreference(nullptr, SIP_FORCEDOWN);
    SIPINFO info{};
    info.cbSize = sizeof(SIPINFO);
    SipInfo(SPI_SETSIPINFO, 0, &info, 0);
    SetObserver(recorder);
    s_recorder.m_calls.clear();
    s_recorder.m_failQueries = 0;
}

void FailQueries(int count)
{
    s_recorder.m_failQueries = count;
}
}
