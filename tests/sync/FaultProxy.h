#ifndef TALLYARD_TESTS_SYNC_FAULTPROXY_H
#define TALLYARD_TESTS_SYNC_FAULTPROXY_H

// A loopback proxy in front of a server that can delay, cut off or garble
// what the server answers.

#include "tests/support/Loopback.h"

#include <atomic>

class FaultProxy
{
public:
    enum class Mode
    {
        Pass,
        Delay,  ///< every chunk of an answer comes late
        Cut,    ///< the connection closes after `at` bytes of answers
        Garble  ///< answer bytes from `at` on are changed
    };

    explicit FaultProxy(int upstreamPort);
    int Port() const { return m_listener.Port(); }
    void Set(Mode mode, long at = 0)
    {
        m_at = at;
        m_seen = 0;
        m_mode = mode;
    }

private:
    size_t FromServer(char* data, size_t size);

    int m_upstream;
    std::atomic<Mode> m_mode{Mode::Pass};
    std::atomic<long> m_at{0};
    std::atomic<long> m_seen{0};
    Loopback::Listener m_listener;
};

#endif
