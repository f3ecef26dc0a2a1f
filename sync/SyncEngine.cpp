#include "sync/SyncEngine.h"

#include "sync/SyncMerge.h"

#include <algorithm>
#include <set>

namespace Sync
{
namespace
{
struct RemoteCopy
{
    std::string href;
    std::string etag;
    std::string text;
};

/// What one pass knows of one UID.
struct Plan
{
    std::string uid;
    const StatusEntry* status = nullptr;
    const RemoteCopy* remote = nullptr; ///< changed or new on the server
    bool remoteGone = false;
    bool localHas = false;
    bool localChanged = false;
    std::string localVersion;
    bool isItem = false;
};
}

Report Engine::Run()
{
    Report report;
    for (int pass = 0; pass < 4; ++pass)
    {
        PassResult result = Pass(report);
        if (result == PassResult::Done)
        {
            report.ok = true;
            return report;
        }
        if (result == PassResult::Failed)
            return report;
    }
    report.error = "the server's copies kept changing during the sync";
    return report;
}

Engine::PassResult Engine::Pass(Report& report)
{
    auto fail = [&report](const std::string& error) {
        report.error = error;
        return PassResult::Failed;
    };
    if (!m_remote.Open())
        return fail(m_remote.Error());
    std::map<std::string, StatusEntry> status;
    std::string token;
    if (!m_local.LoadStatus(status, token))
        return fail(m_local.Error());
    std::map<std::string, std::string> hrefToUid;
    for (const auto& entry : status)
        hrefToUid[entry.second.href] = entry.first;

    std::map<std::string, std::string> changed;
    std::vector<std::string> removed;
    bool complete = false;
    std::string newToken;
    if (!m_remote.Changes(token, changed, removed, complete, newToken))
        return fail(m_remote.Error());
    std::set<std::string> gone(removed.begin(), removed.end());
    if (complete)
        for (const auto& entry : status)
            if (!entry.second.etag.empty() && !changed.count(entry.second.href))
                gone.insert(entry.second.href);

    std::vector<std::string> toFetch;
    for (const auto& entry : changed)
    {
        auto known = hrefToUid.find(entry.first);
        if (known == hrefToUid.end() || status[known->second].etag != entry.second || entry.second.empty())
            toFetch.push_back(entry.first);
    }
    std::vector<Fetched> fetched;
    if (!toFetch.empty() && !m_remote.Fetch(toFetch, fetched))
        return fail(m_remote.Error());
    std::map<std::string, RemoteCopy> remote; // by UID
    std::set<std::string> arrived;
    for (Fetched& f : fetched)
    {
        arrived.insert(f.href);
        std::string uid = TodoUid(f.text);
        if (uid.empty())
            continue; // not a task, or not one we can read: never touched
        auto known = hrefToUid.find(f.href);
        if (known != hrefToUid.end() && known->second != uid)
            continue; // a resource that changed its UID is not ours to follow
        auto st = status.find(uid);
        if (st != status.end() && st->second.href != f.href)
            continue; // a second resource with a UID we sync elsewhere
        if (st != status.end() && st->second.etag == f.etag && !f.etag.empty())
            continue;
        remote[uid] = {f.href, f.etag, std::move(f.text)};
    }
    for (const std::string& href : toFetch)
        if (!arrived.count(href) && hrefToUid.count(href))
            gone.insert(href); // deleted between the listing and the fetch

    std::map<std::string, std::string> versions;
    if (!m_local.List(versions))
        return fail(m_local.Error());

    std::map<std::string, Plan> plans;
    for (auto& entry : remote)
    {
        Plan& p = plans[entry.first];
        p.remote = &entry.second;
    }
    for (const std::string& href : gone)
    {
        auto known = hrefToUid.find(href);
        if (known != hrefToUid.end() && !remote.count(known->second))
            plans[known->second].remoteGone = true;
    }
    for (const auto& entry : versions)
    {
        auto st = status.find(entry.first);
        if (st == status.end() || st->second.localVersion != entry.second)
            plans[entry.first].localChanged = true;
    }
    for (const auto& entry : status)
        if (!versions.count(entry.first))
            plans[entry.first];

    std::vector<Plan*> order;
    std::map<std::string, std::string> localText;
    for (auto& entry : plans)
    {
        Plan& p = entry.second;
        p.uid = entry.first;
        auto st = status.find(p.uid);
        p.status = st == status.end() ? nullptr : &st->second;
        auto v = versions.find(p.uid);
        p.localHas = v != versions.end();
        if (p.localHas)
            p.localVersion = v->second;
        if (p.localHas && p.localChanged && !m_local.Get(p.uid, localText[p.uid]))
            return fail(m_local.Error());
        const std::string& text = p.remote ? p.remote->text : p.localHas ? localText[p.uid] : std::string();
        p.isItem = !TodoParent(text).empty();
        order.push_back(&p);
    }
    // Checklists before their items, so a new item finds its checklist.
    std::stable_sort(order.begin(), order.end(), [](const Plan* a, const Plan* b) { return !a->isItem && b->isItem; });

    bool again = false;      // a server copy changed under us
    bool keepToken = false;  // a server change was left for later
    for (Plan* plan : order)
    {
        const Plan& p = *plan;
        const StatusEntry* st = p.status;
        const std::string& L = localText[p.uid];
        bool localGone = st && !p.localHas;
        bool pendingCreate = st && st->etag.empty();

        auto uploadNew = [&](const std::string& href, const std::string& text) -> bool {
            StatusEntry pending{p.uid, href, "", "", text};
            if (!m_local.SaveStatus(pending))
                return false;
            std::string etag;
            Outcome o = m_remote.Create(href, text, etag);
            if (o == Outcome::Conflict)
            {
                again = true;
                return true;
            }
            if (o != Outcome::Ok)
                return false;
            ++report.uploaded;
            return m_local.SaveStatus({p.uid, href, etag, p.localVersion, text});
        };
        auto putLocal = [&](const std::string& text, const std::string& expected, const std::string& href,
                            const std::string& etag) -> bool {
            StatusEntry entry{p.uid, href, etag, "", text};
            Outcome o = m_local.Put(p.uid, text, expected, entry);
            if (o == Outcome::Ok)
                ++report.downloaded;
            else if (o == Outcome::Conflict)
            {
                ++report.skipped;
                keepToken = true;
            }
            else if (o == Outcome::Unsupported)
                ++report.skipped;
            else
                return false;
            return true;
        };

        bool ok = true;
        if (!st || (pendingCreate && !p.remote && !p.remoteGone))
        {
            if (p.remote && p.localHas)
            {
                ++report.merged;
                MergeResult m = Merge3(st ? st->text : std::string(), L, p.remote->text);
                if (!m.ok)
                {
                    ++report.skipped;
                    continue;
                }
                report.conflicts += m.conflicts;
                std::string etag = p.remote->etag;
                if (!SameTodo(m.text, p.remote->text))
                {
                    Outcome o = m_remote.Update(p.remote->href, m.text, p.remote->etag, etag);
                    if (o == Outcome::Conflict || o == Outcome::Gone)
                    {
                        again = true;
                        continue;
                    }
                    if (o != Outcome::Ok)
                        return fail(m_remote.Error());
                    ++report.uploaded;
                }
                if (!SameTodo(m.text, L))
                    ok = putLocal(m.text, p.localVersion, p.remote->href, etag);
                else
                    ok = m_local.SaveStatus({p.uid, p.remote->href, etag, p.localVersion, m.text});
            }
            else if (p.remote)
                ok = putLocal(p.remote->text, "", p.remote->href, p.remote->etag);
            else if (p.localHas)
                ok = uploadNew(st ? st->href : m_remote.HrefFor(p.uid), L);
            else if (st)
                ok = m_local.DropStatus(p.uid);
        }
        else if (localGone && pendingCreate && p.remote)
        {
            Outcome o = m_remote.Remove(p.remote->href, p.remote->etag);
            if (o == Outcome::Conflict)
                again = true;
            else if (o == Outcome::Ok || o == Outcome::Gone)
                ok = m_local.DropStatus(p.uid);
            else
                return fail(m_remote.Error());
        }
        else if (p.localChanged && p.remote)
        {
            ++report.merged;
            MergeResult m = Merge3(st->text, L, p.remote->text);
            if (!m.ok)
            {
                ++report.skipped;
                continue;
            }
            report.conflicts += m.conflicts;
            std::string etag = p.remote->etag;
            if (!SameTodo(m.text, p.remote->text))
            {
                Outcome o = m_remote.Update(p.remote->href, m.text, p.remote->etag, etag);
                if (o == Outcome::Conflict || o == Outcome::Gone)
                {
                    again = true;
                    continue;
                }
                if (o != Outcome::Ok)
                    return fail(m_remote.Error());
                ++report.uploaded;
            }
            if (!SameTodo(m.text, L))
                ok = putLocal(m.text, p.localVersion, p.remote->href, etag);
            else
                ok = m_local.SaveStatus({p.uid, p.remote->href, etag, p.localVersion, m.text});
        }
        else if (p.localChanged && p.remoteGone)
            ok = uploadNew(st->href, L); // an edit beats a delete
        else if (p.localChanged)
        {
            std::string etag;
            Outcome o = m_remote.Update(st->href, L, st->etag, etag);
            if (o == Outcome::Conflict || o == Outcome::Gone)
            {
                again = true;
                continue;
            }
            if (o != Outcome::Ok)
                return fail(m_remote.Error());
            ++report.uploaded;
            ok = m_local.SaveStatus({p.uid, st->href, etag, p.localVersion, L});
        }
        else if (localGone && p.remote)
            ok = putLocal(p.remote->text, "", p.remote->href, p.remote->etag); // an edit beats a delete
        else if (localGone && p.remoteGone)
            ok = m_local.DropStatus(p.uid);
        else if (localGone)
        {
            Outcome o = m_remote.Remove(st->href, st->etag);
            if (o == Outcome::Conflict)
            {
                again = true;
                continue;
            }
            if (o != Outcome::Ok && o != Outcome::Gone)
                return fail(m_remote.Error());
            ++report.deletedRemote;
            ok = m_local.DropStatus(p.uid);
        }
        else if (p.remote)
            ok = putLocal(p.remote->text, st->localVersion, p.remote->href, p.remote->etag);
        else if (p.remoteGone)
        {
            Outcome o = m_local.Remove(p.uid, st->localVersion);
            if (o == Outcome::Ok || o == Outcome::Gone)
                ++report.deletedLocal;
            else if (o == Outcome::Conflict)
            {
                // Changed here since (or something of it was): an edit beats
                // a delete, so it goes back up as new.
                if (!m_local.DropStatus(p.uid))
                    return fail(m_local.Error());
                again = true;
            }
            else
                return fail(m_local.Error());
        }
        if (!ok)
            return fail(!m_local.Error().empty() ? m_local.Error() : m_remote.Error());
    }
    if (again)
        return PassResult::Again;
    if (!keepToken && newToken != token && !m_local.SaveToken(newToken))
        return fail(m_local.Error());
    return PassResult::Done;
}
}
