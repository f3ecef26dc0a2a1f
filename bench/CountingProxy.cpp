#include "bench/CountingProxy.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

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

CountingProxy::CountingProxy(int upstreamPort)
    : m_upstream(upstreamPort),
      m_listener([this](int client, const std::atomic<bool>& stop) { Relay(client, stop); },
                 Loopback::Listener::Threads::PerConnection)
{
}

void CountingProxy::Relay(int client, const std::atomic<bool>& stop)
{
    ++m_connections;
    RequestSplitter requests;
    Loopback::RelayHooks hooks;
    hooks.fromClient = [&](const char* data, size_t size) { m_requests += requests.Feed(data, size); };
    Loopback::Relay(client, m_upstream, stop, hooks);
}
