#include "tests/sync/CannedServer.h"

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

CannedServer::CannedServer(Handler handler) : m_handler(std::move(handler))
{
    m_listen = socket(AF_INET, SOCK_STREAM, 0);
    int yes = 1;
    setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(m_listen, 8);
    getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { Serve(); });
}

CannedServer::~CannedServer()
{
    m_stop = true;
    m_thread.join();
    close(m_listen);
}

std::string CannedServer::Url(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

std::string CannedServer::Http(int status, const std::string& body, const std::string& type)
{
    return "HTTP/1.1 " + std::to_string(status) + " X\r\nContent-Type: " + type +
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

namespace
{
bool Readable(int fd, int ms)
{
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, ms) > 0;
}
}

void CannedServer::Serve()
{
    while (!m_stop)
    {
        if (!Readable(m_listen, 50))
            continue;
        int fd = accept(m_listen, nullptr, nullptr);
        if (fd < 0)
            continue;
        std::string request;
        char buffer[65536];
        while (!m_stop)
        {
            size_t end = request.find("\r\n\r\n");
            if (end != std::string::npos)
            {
                size_t length = 0;
                size_t at = request.find("Content-Length: ");
                if (at != std::string::npos && at < end)
                    length = std::stoul(request.substr(at + 16));
                if (request.size() >= end + 4 + length)
                {
                    std::string line = request.substr(0, request.find("\r\n"));
                    std::string method = line.substr(0, line.find(' '));
                    std::string path = line.substr(method.size() + 1, line.rfind(' ') - method.size() - 1);
                    request.erase(0, end + 4 + length);
                    ++m_requests;
                    Answer answer = m_handler(method, path);
                    if (answer.hang)
                    {
                        while (!m_stop)
                            std::this_thread::sleep_for(std::chrono::milliseconds(20));
                        break;
                    }
                    for (size_t sent = 0; sent < answer.bytes.size();)
                    {
                        ssize_t n = send(fd, answer.bytes.data() + sent, answer.bytes.size() - sent, MSG_NOSIGNAL);
                        if (n <= 0)
                            break;
                        sent += size_t(n);
                    }
                    if (answer.close)
                        break;
                    continue;
                }
            }
            if (!Readable(fd, 50))
                continue;
            ssize_t n = recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            request.append(buffer, size_t(n));
        }
        close(fd);
    }
}
