#ifndef TALLYARD_TESTS_SUPPORT_LOOPBACK_H
#define TALLYARD_TESTS_SUPPORT_LOOPBACK_H

// The plumbing of the servers and relays that tests and benchmarks run on
// the loopback interface: free ports, a listening socket with a thread that
// accepts, and a relay of one connection to a server behind it.

#include <atomic>
#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace Loopback
{
/// A loopback port nothing listens on right now.
int FreePort();
/// Whether something accepts connections on the loopback port.
bool PortAnswers(int port);
/// A socket connected to the loopback port, or -1.
int Connect(int port);
bool SendAll(int fd, const char* data, size_t size);
/// Whether `fd` has something to read within `ms`.
bool Readable(int fd, int ms);

/// Listens on a free loopback port and hands each connection it accepts to
/// `serve`, which returns soon after `stop` is set; the connection is closed
/// after it. Stops and waits for every `serve` on destruction, so a class
/// that serves through one declares it last.
class Listener
{
public:
    enum class Threads
    {
        One,          ///< one connection at a time, on the accepting thread
        PerConnection ///< each connection on a thread of its own
    };
    using Serve = std::function<void(int fd, const std::atomic<bool>& stop)>;

    Listener(Serve serve, Threads threads, int backlog = 16);
    ~Listener();
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    int Port() const { return m_port; }

private:
    void Accept();
    void Run(int fd);

    Serve m_serve;
    Threads m_threads;
    int m_listen = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::vector<std::thread> m_connections;
    std::thread m_thread;
};

/// What a relay does with the bytes it passes on.
struct RelayHooks
{
    /// Sees what the client sends, before the server does.
    std::function<void(const char* data, size_t size)> fromClient;
    /// May change or hold back what the server answers: returns how many of
    /// the bytes to pass on; fewer than all closes the connection after them.
    std::function<size_t(char* data, size_t size)> fromServer;
};

/// Relays `client` to the loopback port `upstream` both ways, read by read,
/// until either side closes or `stop` is set.
void Relay(int client, int upstream, const std::atomic<bool>& stop, const RelayHooks& hooks = {},
           size_t bufferSize = 65536);
}

#endif
