#include "bench/CountingProxy.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <cstdlib>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace
{
std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

/// The value of a header line of `head` (lower-case name with its colon).
bool HeaderValue(const std::string& lowerHead, const char* name, std::string& value)
{
    const std::string key = std::string("\r\n") + name;
    const size_t at = lowerHead.find(key);
    if (at == std::string::npos)
        return false;
    size_t begin = at + key.size();
    const size_t end = lowerHead.find("\r\n", begin);
    while (begin < end && (lowerHead[begin] == ' ' || lowerHead[begin] == '\t'))
        ++begin;
    value = lowerHead.substr(begin, end - begin);
    return true;
}

void NoDelay(int fd)
{
    int yes = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
}

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
}

size_t RequestSplitter::Feed(const char* data, size_t size)
{
    size_t began = 0;
    while (size > 0)
    {
        if (m_bodyLeft > 0)
        {
            const size_t take = size_t(std::min<unsigned long long>(m_bodyLeft, size));
            m_bodyLeft -= take;
            data += take;
            size -= take;
            continue;
        }
        // Within a head: up to and including its blank line.
        const size_t before = m_head.size();
        m_head.append(data, size);
        const size_t end = m_head.find("\r\n\r\n", before >= 3 ? before - 3 : 0);
        if (end == std::string::npos)
            return began;
        const size_t used = end + 4 - before;
        data += used;
        size -= used;
        if (m_head.find_first_not_of("\r\n") >= end)
        {
            m_head.clear(); // blank lines between requests
            continue;
        }
        ++began;
        const std::string head = Lower("\r\n" + m_head.substr(0, end + 2));
        m_head.clear();
        std::string value;
        if (HeaderValue(head, "transfer-encoding:", value) && value.find("chunked") != std::string::npos)
            m_chunked = true;
        else if (HeaderValue(head, "content-length:", value))
            m_bodyLeft = std::strtoull(value.c_str(), nullptr, 10);
    }
    return began;
}

CountingProxy::CountingProxy(int upstreamPort) : m_upstream(upstreamPort)
{
    m_listen = socket(AF_INET, SOCK_STREAM, 0);
    int yes = 1;
    setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && listen(m_listen, 16) == 0 &&
        getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { Serve(); });
}

CountingProxy::~CountingProxy()
{
    m_stop = true;
    m_thread.join();
    for (std::thread& relay : m_relays)
        relay.join();
    close(m_listen);
}

void CountingProxy::Serve()
{
    while (!m_stop)
    {
        pollfd p{m_listen, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0)
            continue;
        const int client = accept(m_listen, nullptr, nullptr);
        if (client < 0)
            continue;
        NoDelay(client);
        ++m_connections;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_relays.emplace_back([this, client] { Relay(client); });
    }
}

void CountingProxy::Relay(int client)
{
    const int server = Connect(m_upstream);
    RequestSplitter requests;
    char buffer[65536];
    bool open = server >= 0;
    while (open && !m_stop)
    {
        pollfd p[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
        if (poll(p, 2, 100) <= 0)
            continue;
        if (p[0].revents)
        {
            const ssize_t n = recv(client, buffer, sizeof buffer, 0);
            if (n > 0)
                m_requests += requests.Feed(buffer, size_t(n));
            open = n > 0 && SendAll(server, buffer, size_t(n));
        }
        if (open && p[1].revents)
        {
            const ssize_t n = recv(server, buffer, sizeof buffer, 0);
            open = n > 0 && SendAll(client, buffer, size_t(n));
        }
    }
    close(client);
    if (server >= 0)
        close(server);
}
