#ifndef TALLYARD_BENCH_COUNTINGPROXY_H
#define TALLYARD_BENCH_COUNTINGPROXY_H

// A loopback relay in front of a server that counts the HTTP requests and
// the connections passing through it, whoever sends them.

#include "tests/support/Loopback.h"

#include <atomic>
#include <cstddef>
#include <string>

/// Finds request boundaries in what a client sends: a head up to its blank
/// line, then as many body bytes as its Content-Length says. Chunked bodies
/// are not followed (a client of ours never sends them).
class RequestSplitter
{
public:
    /// Takes the next bytes of the stream; returns how many requests began.
    size_t Feed(const char* data, size_t size);
    bool SawChunked() const { return m_chunked; }

private:
    std::string m_head;
    unsigned long long m_bodyLeft = 0;
    bool m_chunked = false;
};

class CountingProxy
{
public:
    explicit CountingProxy(int upstreamPort);

    int Port() const { return m_listener.Port(); }
    size_t Requests() const { return m_requests; }
    size_t Connections() const { return m_connections; }
    void Reset()
    {
        m_requests = 0;
        m_connections = 0;
    }

private:
    void Relay(int client, const std::atomic<bool>& stop);

    int m_upstream;
    std::atomic<size_t> m_requests{0};
    std::atomic<size_t> m_connections{0};
    Loopback::Listener m_listener;
};

#endif
