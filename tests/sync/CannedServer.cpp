#include "tests/sync/CannedServer.h"

#include <chrono>
#include <sys/socket.h>
#include <thread>

CannedServer::CannedServer(Handler handler)
    : m_handler(std::move(handler)),
      m_listener([this](int fd, const std::atomic<bool>& stop) { Serve(fd, stop); },
                 Loopback::Listener::Threads::One)
{
}

std::string CannedServer::Url(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(Port()) + path;
}

std::string CannedServer::Http(int status, const std::string& body, const std::string& type)
{
    return "HTTP/1.1 " + std::to_string(status) + " X\r\nContent-Type: " + type +
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

void CannedServer::Serve(int fd, const std::atomic<bool>& stop)
{
    std::string request;
    char buffer[65536];
    while (!stop)
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
                    while (!stop)
                        std::this_thread::sleep_for(std::chrono::milliseconds(20));
                    return;
                }
                if (!Loopback::SendAll(fd, answer.bytes.data(), answer.bytes.size()) || answer.close)
                    return;
                continue;
            }
        }
        if (!Loopback::Readable(fd, 50))
            continue;
        ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return;
        request.append(buffer, size_t(n));
    }
}
