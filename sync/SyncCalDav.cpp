#include "sync/SyncCalDav.h"

namespace Sync
{
namespace
{
Outcome From(CalDav::WriteResult result)
{
    switch (result)
    {
    case CalDav::WriteResult::Ok:
        return Outcome::Ok;
    case CalDav::WriteResult::Conflict:
        return Outcome::Conflict;
    case CalDav::WriteResult::Gone:
        return Outcome::Gone;
    default:
        return Outcome::Failed;
    }
}
}

bool CalDavSide::Open()
{
    // One look at the collection per sync, however many passes it takes.
    if (!m_open)
        m_open = m_client.Open();
    return m_open;
}

bool CalDavSide::Changes(const std::string& token, std::map<std::string, std::string>& changed,
                         std::vector<std::string>& removed, bool& complete, std::string& newToken)
{
    changed.clear();
    removed.clear();
    complete = token.empty();
    newToken.clear();
    std::vector<CalDav::Member> members;
    if (!m_client.SupportsSyncCollection())
    {
        // No sync-token: every task with its etag.
        complete = true;
        if (!m_client.ListTodos(members))
            return false;
    }
    else
    {
        CalDav::ChangesResult result = m_client.Changes(token, members, removed, newToken);
        if (result == CalDav::ChangesResult::TokenInvalid)
        {
            complete = true;
            result = m_client.Changes("", members, removed, newToken);
        }
        if (result != CalDav::ChangesResult::Ok)
            return false;
    }
    for (const CalDav::Member& m : members)
        changed[m.href] = m.etag;
    return true;
}

bool CalDavSide::Fetch(const std::vector<std::string>& hrefs, std::vector<Fetched>& out)
{
    out.clear();
    std::vector<CalDav::Resource> resources;
    if (!m_client.Fetch(hrefs, resources))
        return false;
    for (CalDav::Resource& r : resources)
        out.push_back({std::move(r.href), std::move(r.etag), std::move(r.data)});
    return true;
}

// A server that changes what it was given answers without an etag: ask.
Outcome CalDavSide::WithEtag(CalDav::WriteResult result, const std::string& href, std::string& etag)
{
    if (result == CalDav::WriteResult::Ok && etag.empty())
    {
        std::vector<CalDav::Resource> got;
        if (!m_client.Fetch({href}, got))
            return Outcome::Failed;
        if (got.size() == 1)
            etag = got[0].etag;
    }
    return From(result);
}

Outcome CalDavSide::Create(const std::string& href, const std::string& text, std::string& etag)
{
    return WithEtag(m_client.Create(href, text, etag), href, etag);
}

Outcome CalDavSide::Update(const std::string& href, const std::string& text, const std::string& etag,
                           std::string& newEtag)
{
    return WithEtag(m_client.Update(href, text, etag, newEtag), href, newEtag);
}

Outcome CalDavSide::Remove(const std::string& href, const std::string& etag)
{
    return From(m_client.Remove(href, etag));
}
}
