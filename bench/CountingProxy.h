#ifndef TALLYARD_BENCH_COUNTINGPROXY_H
#define TALLYARD_BENCH_COUNTINGPROXY_H

// A loopback relay in front of a server that counts the HTTP requests and
// the connections passing through it, whoever sends them.

#include <atomic>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

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
    ~CountingProxy();
    CountingProxy(const CountingProxy&) = delete;
    CountingProxy& operator=(const CountingProxy&) = delete;

    int Port() const { return m_port; }
    size_t Requests() const { return m_requests; }
    size_t Connections() const { return m_connections; }
    void Reset()
    {
        m_requests = 0;
        m_connections = 0;
    }

private:
    void Serve();
    void Relay(int client);

    int m_upstream;
    int m_listen = -1;
    int m_port = 0;
    std::atomic<size_t> m_requests{0};
    std::atomic<size_t> m_connections{0};
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::vector<std::thread> m_relays;
    std::thread m_thread;
};

#endif
