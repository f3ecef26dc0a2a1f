#include "sync/CalDavHttp.h"

#include <algorithm>
#include <cctype>
#include <curl/curl.h>
#include <memory>

namespace CalDav
{
namespace
{
struct CurlGlobal
{
    CurlGlobal() { curl_global_init(CURL_GLOBAL_DEFAULT); }
};

void EnsureCurlGlobal()
{
    static CurlGlobal global;
}

using UrlHandle = std::unique_ptr<CURLU, decltype(&curl_url_cleanup)>;

std::string GetPart(CURLU* url, CURLUPart part, unsigned flags)
{
    char* text = nullptr;
    if (curl_url_get(url, part, &text, flags) != CURLUE_OK || !text)
        return {};
    std::string value(text);
    curl_free(text);
    return value;
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

bool FillParts(CURLU* url, UrlParts& parts)
{
    parts.scheme = Lower(GetPart(url, CURLUPART_SCHEME, 0));
    parts.host = Lower(GetPart(url, CURLUPART_HOST, 0));
    parts.port = GetPart(url, CURLUPART_PORT, CURLU_DEFAULT_PORT);
    parts.path = GetPart(url, CURLUPART_PATH, 0);
    if (parts.path.empty())
        parts.path = "/";
    return !parts.scheme.empty() && !parts.host.empty();
}

std::string Unescape(const std::string& text)
{
    int length = 0;
    char* plain = curl_easy_unescape(nullptr, text.c_str(), int(text.size()), &length);
    if (!plain)
        return text;
    std::string value(plain, size_t(length));
    curl_free(plain);
    return value;
}

struct Sink
{
    std::string* body;
    size_t max;
    bool overflow = false;
};

size_t WriteBody(char* data, size_t size, size_t count, void* user)
{
    auto* sink = static_cast<Sink*>(user);
    size_t bytes = size * count;
    if (sink->body->size() + bytes > sink->max)
    {
        sink->overflow = true;
        return 0; // aborts the transfer
    }
    sink->body->append(data, bytes);
    return bytes;
}

std::string Header(CURL* curl, const char* name)
{
    struct curl_header* header = nullptr;
    if (curl_easy_header(curl, name, 0, CURLH_HEADER, -1, &header) != CURLHE_OK || !header || !header->value)
        return {};
    return header->value;
}
}

bool ParseUrl(const std::string& text, UrlParts& parts)
{
    EnsureCurlGlobal();
    UrlHandle url(curl_url(), curl_url_cleanup);
    if (!url || curl_url_set(url.get(), CURLUPART_URL, text.c_str(), 0) != CURLUE_OK)
        return false;
    return FillParts(url.get(), parts);
}

bool IsLoopbackHost(const std::string& host)
{
    std::string h = Lower(host);
    if (h == "localhost" || h == "[::1]" || h == "::1")
        return true;
    // 127.0.0.0/8 written as a dotted quad.
    if (h.rfind("127.", 0) != 0)
        return false;
    int dots = 0;
    for (char c : h)
    {
        if (c == '.')
            ++dots;
        else if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    }
    return dots == 3;
}

HttpSession::HttpSession(Account account, Limits limits)
    : m_account(std::move(account)), m_limits(limits), m_curl(nullptr, curl_easy_cleanup)
{
    EnsureCurlGlobal();
    UrlHandle url(curl_url(), curl_url_cleanup);
    if (m_account.url.empty())
        m_urlProblem = "no server address is set";
    else if (!url || curl_url_set(url.get(), CURLUPART_URL, m_account.url.c_str(), 0) != CURLUE_OK ||
             !FillParts(url.get(), m_base))
        m_urlProblem = "the server address is not a valid URL";
    else if (m_base.scheme != "https" && m_base.scheme != "http")
        m_urlProblem = "the server address must start with https://";
    else if (!GetPart(url.get(), CURLUPART_USER, 0).empty() || !GetPart(url.get(), CURLUPART_PASSWORD, 0).empty())
        m_urlProblem = "the server address must not hold a user name or password";
    else if (m_base.scheme == "http" && !IsLoopbackHost(m_base.host) && !m_account.allowUnencrypted)
        m_urlProblem = "unencrypted connection (http) refused: use https, or allow unencrypted connections";
    if (m_base.path.empty() || m_base.path.back() != '/')
        m_base.path += '/';
    if (!m_urlProblem.empty())
        return;

    m_curl.reset(curl_easy_init());
    CURL* curl = m_curl.get();
    if (!curl)
    {
        m_urlProblem = "the network library could not start";
        return;
    }
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_TCP_KEEPALIVE, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, m_limits.connectSeconds);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, m_limits.requestSeconds);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, m_limits.stallSeconds);
    curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "Tallyard/1.0");
    if (!m_account.user.empty())
    {
        curl_easy_setopt(curl, CURLOPT_HTTPAUTH, long(CURLAUTH_BASIC));
        curl_easy_setopt(curl, CURLOPT_USERNAME, m_account.user.c_str());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, m_account.password.c_str());
    }
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &WriteBody);
}

HttpSession::~HttpSession() = default;

std::string HttpSession::CollectionUrl() const
{
    UrlHandle url(curl_url(), curl_url_cleanup);
    curl_url_set(url.get(), CURLUPART_URL, m_account.url.c_str(), 0);
    curl_url_set(url.get(), CURLUPART_PATH, m_base.path.c_str(), 0);
    curl_url_set(url.get(), CURLUPART_QUERY, nullptr, 0);
    curl_url_set(url.get(), CURLUPART_FRAGMENT, nullptr, 0);
    return GetPart(url.get(), CURLUPART_URL, 0);
}

bool HttpSession::ResolveMember(const std::string& href, std::string& resolved) const
{
    if (!m_urlProblem.empty() || href.empty())
        return false;
    UrlHandle url(curl_url(), curl_url_cleanup);
    std::string base = CollectionUrl();
    if (curl_url_set(url.get(), CURLUPART_URL, base.c_str(), 0) != CURLUE_OK ||
        curl_url_set(url.get(), CURLUPART_URL, href.c_str(), 0) != CURLUE_OK)
        return false;
    UrlParts parts;
    if (!FillParts(url.get(), parts) || parts.scheme != m_base.scheme || parts.host != m_base.host ||
        parts.port != m_base.port)
        return false;
    if (!GetPart(url.get(), CURLUPART_USER, 0).empty())
        return false;
    std::string path = Unescape(parts.path);
    std::string root = Unescape(m_base.path);
    if (path.find("/../") != std::string::npos || path.size() < root.size() || path.compare(0, root.size(), root) != 0)
        return false;
    curl_url_set(url.get(), CURLUPART_FRAGMENT, nullptr, 0);
    resolved = GetPart(url.get(), CURLUPART_URL, 0);
    return !resolved.empty();
}

std::string HttpSession::PathOf(const std::string& text)
{
    UrlHandle url(curl_url(), curl_url_cleanup);
    if (curl_url_set(url.get(), CURLUPART_URL, text.c_str(), 0) != CURLUE_OK)
        return text;
    return Unescape(GetPart(url.get(), CURLUPART_PATH, 0));
}

bool HttpSession::Request(const std::string& method, const std::string& url, const std::vector<std::string>& headers,
                          const std::string& body, HttpResponse& response)
{
    response = HttpResponse();
    m_error.clear();
    if (!m_urlProblem.empty())
    {
        m_error = m_urlProblem;
        return false;
    }
    UrlParts parts;
    if (!ParseUrl(url, parts) || parts.scheme != m_base.scheme || parts.host != m_base.host || parts.port != m_base.port)
    {
        m_error = "refused to leave the server of the collection";
        return false;
    }

    CURL* curl = m_curl.get();
    std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> list(nullptr, curl_slist_free_all);
    auto add = [&list](const std::string& line) {
        if (curl_slist* grown = curl_slist_append(list.get(), line.c_str()))
        {
            list.release();
            list.reset(grown);
        }
    };
    for (const std::string& header : headers)
        add(header);
    add("Expect:");

    Sink sink{&response.body, m_limits.maxBody};
    char errorText[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    if (body.empty() && method != "PUT")
    {
        curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    }
    else
    {
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.data());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(body.size()));
    }
    curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, method.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, list.get());
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
    ++m_requests;
    CURLcode code = curl_easy_perform(curl);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, nullptr);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, nullptr);
    if (sink.overflow)
    {
        m_error = "the server's answer is too large";
        return false;
    }
    if (code != CURLE_OK)
    {
        m_error = errorText[0] ? errorText : curl_easy_strerror(code);
        return false;
    }
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &response.status);
    response.etag = Header(curl, "ETag");
    response.contentType = Header(curl, "Content-Type");
    return true;
}
}
