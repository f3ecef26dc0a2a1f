#include "tests/sync/FaultProxy.h"

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{
int Connect(int port)
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(uint16_t(port));
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
    {
        close(fd);
        return -1;
    }
    return fd;
}

bool SendAll(int fd, const char* data, size_t size)
{
    while (size > 0)
    {
        ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}
}

FaultProxy::FaultProxy(int upstreamPort) : m_upstream(upstreamPort)
{
    m_listen = socket(AF_INET, SOCK_STREAM, 0);
    int yes = 1;
    setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(m_listen, 16);
    getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { Serve(); });
}

FaultProxy::~FaultProxy()
{
    m_stop = true;
    m_thread.join();
    for (std::thread& t : m_relays)
        t.join();
    close(m_listen);
}

void FaultProxy::Serve()
{
    while (!m_stop)
    {
        pollfd p{m_listen, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0)
            continue;
        int client = accept(m_listen, nullptr, nullptr);
        if (client >= 0)
            m_relays.emplace_back([this, client] { Relay(client); });
    }
}

void FaultProxy::Relay(int client)
{
    int server = Connect(m_upstream);
    char buffer[16384];
    bool open = server >= 0;
    while (open && !m_stop)
    {
        pollfd p[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
        if (poll(p, 2, 50) <= 0)
            continue;
        if (p[0].revents)
        {
            ssize_t n = recv(client, buffer, sizeof buffer, 0);
            open = n > 0 && SendAll(server, buffer, size_t(n));
        }
        if (open && p[1].revents)
        {
            ssize_t n = recv(server, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            const Mode mode = m_mode;
            const long seen = m_seen.fetch_add(n);
            if (mode == Mode::Delay)
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
            if (mode == Mode::Cut && seen + n > m_at)
            {
                if (m_at > seen)
                    SendAll(client, buffer, size_t(m_at - seen));
                break;
            }
            if (mode == Mode::Garble)
                for (ssize_t i = 0; i < n; ++i)
                    if (seen + i >= m_at)
                        buffer[i] = char(buffer[i] ^ 0x5A);
            open = SendAll(client, buffer, size_t(n));
        }
    }
    close(client);
    if (server >= 0)
        close(server);
}
