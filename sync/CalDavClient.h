#ifndef TALLYARD_SYNC_CALDAVCLIENT_H
#define TALLYARD_SYNC_CALDAVCLIENT_H

// The operations of a sync on one CalDAV collection: find or make it, list
// what changed (sync-collection, or etags of every VTODO), fetch in batches
// (calendar-multiget), and write with preconditions so that a copy changed
// on the server meanwhile is never overwritten.

#include "sync/CalDavHttp.h"

#include <string>
#include <vector>

namespace CalDav
{
struct Member
{
    std::string href; ///< path on the server
    std::string etag;
};

struct Resource
{
    std::string href;
    std::string etag;
    std::string data; ///< the iCalendar text
};

enum class WriteResult
{
    Ok,
    Conflict, ///< 412: the server's copy is not the one we had
    Gone,     ///< 404: nothing there any more
    Failed
};

enum class ChangesResult
{
    Ok,
    TokenInvalid, ///< the server forgot the token: list everything instead
    Failed
};

class Client
{
public:
    explicit Client(Account account, Limits limits = {});

    /// Checks the collection; makes it (tasks only) when nothing is there and
    /// `create` is set. False with Error() when it is not usable.
    bool Open(bool create = true);
    /// After Open(): the collection answers sync-collection reports.
    bool SupportsSyncCollection() const { return m_syncCollection; }
    bool Created() const { return m_created; }

    /// Members changed and removed since `token` ("" lists all), and the new
    /// token.
    ChangesResult Changes(const std::string& token, std::vector<Member>& changed, std::vector<std::string>& removed,
                          std::string& newToken);
    /// Every VTODO resource of the collection with its etag.
    bool ListTodos(std::vector<Member>& members);
    /// The resources at these hrefs; ones the server no longer has are left
    /// out, hrefs outside the collection are never asked for.
    bool Fetch(const std::vector<std::string>& hrefs, std::vector<Resource>& resources);

    /// The href a new resource for this UID gets.
    std::string HrefFor(const std::string& uid) const;
    /// Creates a resource that must not exist yet (If-None-Match: *).
    WriteResult Create(const std::string& href, const std::string& data, std::string& etag);
    /// Replaces the resource if it still has `etag` (If-Match).
    WriteResult Update(const std::string& href, const std::string& data, const std::string& etag,
                       std::string& newEtag);
    /// Deletes the resource if it still has `etag`; Gone when it was already.
    WriteResult Remove(const std::string& href, const std::string& etag);

    const std::string& Error() const { return m_error; }
    size_t RequestCount() const { return m_http.RequestCount(); }
    /// Hrefs of answers that were ignored because they left the collection.
    size_t IgnoredHrefs() const { return m_ignored; }

private:
    bool Send(const std::string& method, const std::string& url, std::vector<std::string> headers,
              const std::string& body, HttpResponse& response);
    bool Fail(const std::string& what, const HttpResponse& response);
    bool InCollection(const std::string& href, std::string& path);
    WriteResult Put(const std::string& href, const std::string& data, const std::string& condition, std::string& etag);

    HttpSession m_http;
    size_t m_fetchBatch;
    std::string m_collectionUrl;
    bool m_syncCollection = false;
    std::string m_error;
    bool m_created = false;
    size_t m_ignored = 0;
};
}

#endif
