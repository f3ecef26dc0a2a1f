#include "tests/sync/FaultProxy.h"

#include <chrono>
#include <thread>

FaultProxy::FaultProxy(int upstreamPort)
    : m_upstream(upstreamPort),
      m_listener(
          [this](int client, const std::atomic<bool>& stop) {
              Loopback::RelayHooks hooks;
              hooks.fromServer = [this](char* data, size_t size) { return FromServer(data, size); };
              Loopback::Relay(client, m_upstream, stop, hooks, 16384);
          },
          Loopback::Listener::Threads::PerConnection)
{
}

size_t FaultProxy::FromServer(char* data, size_t size)
{
    const long n = long(size);
    const Mode mode = m_mode;
    const long seen = m_seen.fetch_add(n);
    if (mode == Mode::Delay)
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    if (mode == Mode::Cut && seen + n > m_at)
        return m_at > seen ? size_t(m_at - seen) : 0;
    if (mode == Mode::Garble)
        for (long i = 0; i < n; ++i)
            if (seen + i >= m_at)
                data[i] = char(data[i] ^ 0x5A);
    return size;
}
