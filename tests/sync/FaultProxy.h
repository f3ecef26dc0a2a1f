#ifndef TALLYARD_TESTS_SYNC_FAULTPROXY_H
#define TALLYARD_TESTS_SYNC_FAULTPROXY_H

// A loopback proxy in front of a server that can delay, cut off or garble
// what the server answers.

#include <atomic>
#include <string>
#include <thread>
#include <vector>

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
    ~FaultProxy();
    int Port() const { return m_port; }
    void Set(Mode mode, long at = 0)
    {
        m_at = at;
        m_seen = 0;
        m_mode = mode;
    }

private:
    void Serve();
    void Relay(int client);
    int m_upstream;
    int m_listen = -1;
    int m_port = 0;
    std::atomic<Mode> m_mode{Mode::Pass};
    std::atomic<long> m_at{0};
    std::atomic<long> m_seen{0};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    std::vector<std::thread> m_relays;
};

#endif
