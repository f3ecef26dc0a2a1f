#include "tests/support/Loopback.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace Loopback
{
namespace
{
sockaddr_in Address(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(uint16_t(port));
    return address;
}

/// Small requests and answers go out at once, not after the peer's ack.
void NoDelay(int fd)
{
    int yes = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
}

/// The port `fd` is bound to, 0 when it is not.
int BoundPort(int fd)
{
    sockaddr_in address = Address(0);
    socklen_t length = sizeof address;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    return ntohs(address.sin_port);
}
}

int FreePort()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const int port = BoundPort(fd);
    close(fd);
    return port;
}

bool PortAnswers(int port)
{
    const int fd = Connect(port);
    if (fd >= 0)
        close(fd);
    return fd >= 0;
}

int Connect(int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in address = Address(port);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
    {
        close(fd);
        return -1;
    }
    NoDelay(fd);
    return fd;
}

bool SendAll(int fd, const char* data, size_t size)
{
    while (size > 0)
    {
        const ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

bool Readable(int fd, int ms)
{
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, ms) > 0;
}

Listener::Listener(Serve serve, Threads threads, int backlog) : m_serve(std::move(serve)), m_threads(threads)
{
    m_listen = socket(AF_INET, SOCK_STREAM, 0);
    int yes = 1;
    setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    m_port = BoundPort(m_listen);
    if (m_port != 0 && listen(m_listen, backlog) != 0)
        m_port = 0;
    m_thread = std::thread([this] { Accept(); });
}

Listener::~Listener()
{
    m_stop = true;
    m_thread.join();
    for (std::thread& connection : m_connections)
        connection.join();
    close(m_listen);
}

void Listener::Accept()
{
    while (!m_stop)
    {
        if (!Readable(m_listen, 50))
            continue;
        const int fd = accept(m_listen, nullptr, nullptr);
        if (fd < 0)
            continue;
        NoDelay(fd);
        if (m_threads == Threads::One)
            Run(fd);
        else
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_connections.emplace_back([this, fd] { Run(fd); });
        }
    }
}

void Listener::Run(int fd)
{
    m_serve(fd, m_stop);
    close(fd);
}

void Relay(int client, int upstream, const std::atomic<bool>& stop, const RelayHooks& hooks, size_t bufferSize)
{
    const int server = Connect(upstream);
    std::vector<char> buffer(bufferSize);
    bool open = server >= 0;
    while (open && !stop)
    {
        pollfd p[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
        if (poll(p, 2, 50) <= 0)
            continue;
        if (p[0].revents)
        {
            const ssize_t n = recv(client, buffer.data(), buffer.size(), 0);
            if (n > 0 && hooks.fromClient)
                hooks.fromClient(buffer.data(), size_t(n));
            open = n > 0 && SendAll(server, buffer.data(), size_t(n));
        }
        if (open && p[1].revents)
        {
            const ssize_t n = recv(server, buffer.data(), buffer.size(), 0);
            if (n <= 0)
                break;
            const size_t pass = hooks.fromServer ? hooks.fromServer(buffer.data(), size_t(n)) : size_t(n);
            open = SendAll(client, buffer.data(), pass) && pass == size_t(n);
        }
    }
    if (server >= 0)
        close(server);
}
}
