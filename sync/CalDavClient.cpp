#include "sync/CalDavClient.h"

#include "sync/CalDavXml.h"

#include <curl/curl.h>
#include <memory>

namespace CalDav
{
namespace
{
const char* const kXml = "Content-Type: application/xml; charset=utf-8";
const char* const kCalDavNs = "urn:ietf:params:xml:ns:caldav";

std::string StatusText(long status)
{
    switch (status)
    {
    case 401:
        return "the server refused the user name or password";
    case 403:
        return "the server refused access";
    case 404:
        return "nothing found at the server address";
    case 405:
        return "the server does not allow this here";
    case 507:
        return "the server is out of space";
    default:
        return "the server answered " + std::to_string(status);
    }
}

bool Has(const std::vector<std::string>& list, const char* value)
{
    for (const std::string& entry : list)
        if (entry == value)
            return true;
    return false;
}
}

Client::Client(Account account, Limits limits)
    : m_http(std::move(account), limits), m_fetchBatch(limits.fetchBatch ? limits.fetchBatch : 1)
{
    m_collectionUrl = m_http.UrlProblem().empty() ? m_http.CollectionUrl() : std::string();
}

bool Client::Send(const std::string& method, const std::string& url, std::vector<std::string> headers,
                  const std::string& body, HttpResponse& response)
{
    m_error.clear();
    if (!m_http.Request(method, url, headers, body, response))
    {
        m_error = m_http.Error();
        return false;
    }
    return true;
}

bool Client::Fail(const std::string& what, const HttpResponse& response)
{
    m_error = what + ": " + StatusText(response.status);
    return false;
}

bool Client::InCollection(const std::string& href, std::string& path)
{
    std::string url;
    if (!m_http.ResolveMember(href, url))
    {
        ++m_ignored;
        return false;
    }
    std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> parsed(curl_url(), curl_url_cleanup);
    char* text = nullptr;
    if (curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK ||
        curl_url_get(parsed.get(), CURLUPART_PATH, &text, 0) != CURLUE_OK || !text)
        return false;
    path = text;
    curl_free(text);
    return true;
}

bool Client::Open(bool create)
{
    m_created = false;
    m_syncCollection = false;
    if (!m_http.UrlProblem().empty())
    {
        m_error = m_http.UrlProblem();
        return false;
    }
    for (int attempt = 0; attempt < 2; ++attempt)
    {
        HttpResponse response;
        if (!Send("PROPFIND", m_collectionUrl, {kXml, "Depth: 0"}, CollectionPropfindBody(), response))
            return false;
        if (response.status == 404 && create && attempt == 0)
        {
            HttpResponse made;
            if (!Send("MKCALENDAR", m_collectionUrl, {kXml}, MkcalendarBody("Tallyard"), made))
                return false;
            if (made.status != 201)
                return Fail("could not make the collection", made);
            m_created = true;
            continue;
        }
        if (response.status != 207)
            return Fail("could not open the collection", response);
        Multistatus answer;
        if (!ParseMultistatus(response.body, answer, m_error))
            return false;
        std::string own = HttpSession::PathOf(m_collectionUrl);
        for (const DavResponse& entry : answer.responses)
        {
            std::string url;
            if (!m_http.ResolveMember(entry.href, url) || HttpSession::PathOf(url) != own)
                continue;
            if (!entry.props.isCollection || !entry.props.isCalendar)
            {
                m_error = "the server address names no calendar";
                return false;
            }
            if (entry.props.hasComponents && !Has(entry.props.components, "VTODO"))
            {
                m_error = "the calendar at the server address holds no tasks";
                return false;
            }
            m_syncCollection = entry.props.syncCollection || !entry.props.syncToken.empty();
            return true;
        }
        m_error = "the server said nothing about the collection";
        return false;
    }
    m_error = "the collection could not be made";
    return false;
}

ChangesResult Client::Changes(const std::string& token, std::vector<CalDav::Member>& changed,
                              std::vector<std::string>& removed, std::string& newToken)
{
    changed.clear();
    removed.clear();
    std::string from = token;
    // A server may answer in parts (507 on the collection itself): ask on.
    for (int round = 0; round < 1000; ++round)
    {
        HttpResponse response;
        if (!Send("REPORT", m_collectionUrl, {kXml, "Depth: 0"}, SyncCollectionBody(from), response))
            return ChangesResult::Failed;
        if (!from.empty() && (response.status == 403 || response.status == 409 || response.status == 400 ||
                              response.status == 412))
            return ChangesResult::TokenInvalid;
        if (response.status != 207)
        {
            Fail("could not list the changes", response);
            return ChangesResult::Failed;
        }
        Multistatus answer;
        if (!ParseMultistatus(response.body, answer, m_error))
            return ChangesResult::Failed;
        if (answer.syncToken.empty())
        {
            m_error = "the server's list of changes has no sync-token";
            return ChangesResult::Failed;
        }
        bool more = false;
        for (const DavResponse& entry : answer.responses)
        {
            std::string path;
            if (!InCollection(entry.href, path))
                continue;
            if (path.empty() || path.back() == '/') // the collection itself, or a sub-collection
            {
                more |= entry.status == 507;
                continue;
            }
            if (entry.status == 404)
                removed.push_back(path);
            else if (entry.status == 0 || (entry.status >= 200 && entry.status < 300))
                changed.push_back({path, entry.props.etag});
        }
        newToken = answer.syncToken;
        if (!more || newToken == from)
            return ChangesResult::Ok;
        from = newToken;
    }
    m_error = "the server's list of changes does not end";
    return ChangesResult::Failed;
}

bool Client::ListTodos(std::vector<CalDav::Member>& members)
{
    members.clear();
    HttpResponse response;
    if (!Send("REPORT", m_collectionUrl, {kXml, "Depth: 1"}, TodoQueryBody(), response))
        return false;
    if (response.status != 207)
        return Fail("could not list the tasks", response);
    Multistatus answer;
    if (!ParseMultistatus(response.body, answer, m_error))
        return false;
    for (const DavResponse& entry : answer.responses)
    {
        std::string path;
        if (InCollection(entry.href, path) && path.back() != '/' && entry.status == 0)
            members.push_back({path, entry.props.etag});
    }
    return true;
}

bool Client::Fetch(const std::vector<std::string>& hrefs, std::vector<Resource>& resources)
{
    resources.clear();
    for (size_t begin = 0; begin < hrefs.size(); begin += m_fetchBatch)
    {
        std::vector<std::string> batch;
        for (size_t i = begin; i < hrefs.size() && i < begin + m_fetchBatch; ++i)
        {
            std::string path;
            if (InCollection(hrefs[i], path))
                batch.push_back(path);
        }
        if (batch.empty())
            continue;
        HttpResponse response;
        if (!Send("REPORT", m_collectionUrl, {kXml, "Depth: 1"}, MultigetBody(batch), response))
            return false;
        if (response.status != 207)
            return Fail("could not fetch the tasks", response);
        Multistatus answer;
        if (!ParseMultistatus(response.body, answer, m_error))
            return false;
        for (DavResponse& entry : answer.responses)
        {
            std::string path;
            if (!InCollection(entry.href, path) || entry.status != 0 || !entry.props.hasCalendarData)
                continue;
            resources.push_back({path, entry.props.etag, std::move(entry.props.calendarData)});
        }
    }
    return true;
}

std::string Client::HrefFor(const std::string& uid) const
{
    std::unique_ptr<char, void (*)(void*)> escaped(curl_easy_escape(nullptr, uid.c_str(), int(uid.size())), curl_free);
    return m_http.Collection().path + (escaped ? escaped.get() : "") + ".ics";
}

WriteResult Client::Put(const std::string& href, const std::string& data, const std::string& condition,
                        std::string& etag)
{
    etag.clear();
    std::string url;
    if (!m_http.ResolveMember(href, url))
    {
        m_error = "refused to write outside the collection";
        return WriteResult::Failed;
    }
    HttpResponse response;
    if (!Send("PUT", url, {"Content-Type: text/calendar; charset=utf-8", condition}, data, response))
        return WriteResult::Failed;
    if (response.status == 412)
        return WriteResult::Conflict;
    if (response.status == 404)
        return WriteResult::Gone;
    if (response.status < 200 || response.status >= 300)
    {
        if (HasPrecondition(response.body, kCalDavNs, "no-uid-conflict"))
            return WriteResult::Conflict;
        Fail("could not save a task", response);
        return WriteResult::Failed;
    }
    etag = response.etag;
    return WriteResult::Ok;
}

WriteResult Client::Create(const std::string& href, const std::string& data, std::string& etag)
{
    return Put(href, data, "If-None-Match: *", etag);
}

WriteResult Client::Update(const std::string& href, const std::string& data, const std::string& etag,
                           std::string& newEtag)
{
    if (etag.empty())
        return Put(href, data, "If-Match: *", newEtag);
    return Put(href, data, "If-Match: " + etag, newEtag);
}

WriteResult Client::Remove(const std::string& href, const std::string& etag)
{
    std::string url;
    if (!m_http.ResolveMember(href, url))
    {
        m_error = "refused to delete outside the collection";
        return WriteResult::Failed;
    }
    HttpResponse response;
    std::vector<std::string> headers;
    if (!etag.empty())
        headers.push_back("If-Match: " + etag);
    if (!Send("DELETE", url, headers, {}, response))
        return WriteResult::Failed;
    if (response.status == 412)
        return WriteResult::Conflict;
    if (response.status == 404)
        return WriteResult::Gone;
    if (response.status < 200 || response.status >= 300)
    {
        Fail("could not delete a task", response);
        return WriteResult::Failed;
    }
    return WriteResult::Ok;
}
}
