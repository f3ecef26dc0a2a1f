#ifndef TALLYARD_SYNC_CALDAVHTTP_H
#define TALLYARD_SYNC_CALDAVHTTP_H

// One HTTP session with a CalDAV collection: a single reused curl handle (so
// the connection stays alive), bounded in time and size, that only ever
// requests URLs under the collection's scheme, host and port.

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

typedef void CURL;

namespace CalDav
{
struct Account
{
    std::string url; ///< the collection's URL
    std::string user;
    std::string password;
    bool allowUnencrypted = false; ///< plain http to a host other than loopback
};

/// Bounds on what one request may take.
struct Limits
{
    long connectSeconds = 15;
    long requestSeconds = 120; ///< whole request, answer included
    long stallSeconds = 30;    ///< no byte for this long fails the request
    size_t maxBody = 32u << 20;
    size_t fetchBatch = 200; ///< most hrefs in one calendar-multiget
};

struct HttpResponse
{
    long status = 0;
    std::string body;
    std::string etag;
    std::string contentType;
};

/// Scheme, host and port of a URL (lower-case scheme and host; the port
/// filled in from the scheme when absent) and its path.
struct UrlParts
{
    std::string scheme;
    std::string host;
    std::string port;
    std::string path;
};
bool ParseUrl(const std::string& url, UrlParts& parts);
bool IsLoopbackHost(const std::string& host);

class HttpSession
{
public:
    HttpSession(Account account, Limits limits = {});
    ~HttpSession();
    HttpSession(const HttpSession&) = delete;
    HttpSession& operator=(const HttpSession&) = delete;

    /// Empty when the account's URL may be used; otherwise why not.
    const std::string& UrlProblem() const { return m_urlProblem; }
    const UrlParts& Collection() const { return m_base; }
    /// The collection's URL with a path ending in "/".
    std::string CollectionUrl() const;

    /// Resolves an href of an answer against the collection. False (and
    /// nothing to request) when it leaves the collection's scheme, host and
    /// port, or does not lie under the collection's path.
    bool ResolveMember(const std::string& href, std::string& url) const;
    /// The path of a URL of this server (for comparing hrefs).
    static std::string PathOf(const std::string& url);

    /// Sends one request. False when no complete answer came (the reason in
    /// Error()); an HTTP error status is a complete answer.
    bool Request(const std::string& method, const std::string& url, const std::vector<std::string>& headers,
                 const std::string& body, HttpResponse& response);

    const std::string& Error() const { return m_error; }
    /// Requests sent so far.
    size_t RequestCount() const { return m_requests; }

private:
    Account m_account;
    Limits m_limits;
    UrlParts m_base;
    std::string m_urlProblem;
    std::string m_error;
    size_t m_requests = 0;
    std::unique_ptr<CURL, void (*)(CURL*)> m_curl;
};
}

#endif
