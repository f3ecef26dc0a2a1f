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
    std::string checklist; ///< its own UID, or its checklist's for an item
    bool revive = false;   ///< deleted on one side only: back from the other
    bool pendingSaved = false; ///< its create's status is saved already
    /// The server's copy is what this side wrote itself in a create or an
    /// update cut off before its answer was noted: no change made there.
    bool remoteOwn = false;
    /// Known to have been on the server (a create under way is once its
    /// copy is seen there, or its deletion).
    bool Landed() const { return status && (!status->etag.empty() || remote || remoteGone); }
};

bool OwnWrite(const StatusEntry& status, const std::string& remote)
{
    return (status.etag.empty() && SameTodo(remote, status.text)) ||
           (!status.sent.empty() && SameTodo(remote, status.sent));
}

/// Final statuses of creates saved in one write this many at a time.
constexpr size_t kCreatedBatch = 250;

/// An edit beats a delete for a checklist as a whole: deleted on one side
/// while it or something of it changed on the other, it comes back there
/// with every item the other side still has.
void MarkRevivals(std::map<std::string, Plan>& plans)
{
    std::set<std::string> changedRemote, changedLocal, reviveLocal, reviveRemote;
    for (const auto& entry : plans)
    {
        const Plan& p = entry.second;
        if (p.remote && !p.remoteOwn)
            changedRemote.insert(p.checklist);
        if (p.localChanged)
            changedLocal.insert(p.checklist);
    }
    for (const auto& entry : plans)
    {
        const Plan& p = entry.second;
        if (p.isItem || !p.Landed())
            continue;
        if (!p.localHas && !p.remoteGone && changedRemote.count(p.uid))
            reviveLocal.insert(p.uid);
        if (p.localHas && p.remoteGone && changedLocal.count(p.uid))
            reviveRemote.insert(p.uid);
    }
    for (auto& entry : plans)
    {
        Plan& p = entry.second;
        if (!p.Landed())
            continue;
        if (!p.localHas && !p.remoteGone && reviveLocal.count(p.checklist))
            p.revive = true;
        if (p.localHas && p.remoteGone && reviveRemote.count(p.checklist))
            p.revive = true;
    }
}

enum class Step
{
    Done,
    Again, ///< the server's copy changed: the next pass merges it
    Failed
};

/// The writes of one pass, each landing whole: what they count goes to the
/// report, what they leave for later to `again` and `keepToken`.
class Steps
{
public:
    Steps(LocalSide& local, RemoteSide& remote, Report& report) : m_local(local), m_remote(remote), m_report(report)
    {
    }

    bool again = false;     ///< a server copy changed under us
    bool keepToken = false; ///< a server change was left for later
    std::string error;      ///< why the pass fails, after a false

    /// Passes a local step's result on, taking its error on failure.
    bool Local(bool ok)
    {
        if (!ok)
            error = !m_local.Error().empty() ? m_local.Error() : m_remote.Error();
        return ok;
    }
    bool RemoteFailed()
    {
        error = m_remote.Error();
        return false;
    }

    /// Writes `text` (made from the local copy `local`) over the server's
    /// copy with `etag`; a 412 leaves it to the next pass, which fetches and
    /// merges the new copy first. Until the answer is recorded the status
    /// keeps `local`, so that a later merge knows which of the server's
    /// values may be this side's own.
    Step WriteRemote(const Plan& p, const std::string& href, const std::string& text, const std::string& local,
                     const std::string& etag, std::string& newEtag)
    {
        if (p.status)
        {
            StatusEntry sending = *p.status;
            sending.sent = local;
            if (!Local(m_local.SaveStatus(sending)))
                return Step::Failed;
        }
        Outcome o = m_remote.Update(href, text, etag, newEtag);
        if (o == Outcome::Conflict || o == Outcome::Gone)
        {
            again = true;
            return Step::Again;
        }
        if (o != Outcome::Ok)
        {
            RemoteFailed();
            return Step::Failed;
        }
        ++m_report.uploaded;
        return Step::Done;
    }

    /// Both sides changed since `base`: merges them, writes the result to
    /// the server (when it differs there), then here (when it differs here).
    bool Merge(const Plan& p, const std::string& base, const std::string& local)
    {
        ++m_report.merged;
        MergeResult m = Merge3(base, local, p.remote->text, true, p.status ? p.status->sent : std::string());
        if (!m.ok)
        {
            ++m_report.skipped;
            return true;
        }
        m_report.conflicts += m.conflicts;
        std::string etag = p.remote->etag;
        if (!SameTodo(m.text, p.remote->text))
        {
            Step s = WriteRemote(p, p.remote->href, m.text, local, p.remote->etag, etag);
            if (s != Step::Done)
                return s == Step::Again;
        }
        if (!SameTodo(m.text, local))
            return PutLocal(p, m.text, p.localVersion, p.remote->href, etag);
        return Local(m_local.SaveStatus({p.uid, p.remote->href, etag, p.localVersion, m.text}));
    }

    /// Creates the resource, with the status saying so first: a create cut
    /// off is found again by the next sync. The final status waits for the
    /// next batch of them; until then the pending one stands for it.
    bool UploadNew(const Plan& p, const std::string& href, const std::string& text)
    {
        StatusEntry pending{p.uid, href, "", p.localVersion, text};
        if (!p.pendingSaved && !Local(m_local.SaveStatus(pending)))
            return false;
        std::string etag;
        Outcome o = m_remote.Create(href, text, etag);
        if (o == Outcome::Conflict)
        {
            again = true;
            return true;
        }
        if (o != Outcome::Ok)
            return Local(false);
        ++m_report.uploaded;
        m_created.push_back({p.uid, href, etag, p.localVersion, text});
        return m_created.size() < kCreatedBatch || SaveCreated();
    }

    /// Saves the final statuses of the creates so far.
    bool SaveCreated()
    {
        std::vector<StatusEntry> entries;
        entries.swap(m_created);
        return entries.empty() || Local(m_local.SaveStatuses(entries));
    }

    /// Writes what the server has here, unless the record changed meanwhile.
    bool PutLocal(const Plan& p, const std::string& text, const std::string& expected, const std::string& href,
                  const std::string& etag)
    {
        StatusEntry entry{p.uid, href, etag, "", text};
        Outcome o = m_local.Put(p.uid, text, expected, entry);
        if (o == Outcome::Ok)
            ++m_report.downloaded;
        else if (o == Outcome::Conflict)
        {
            ++m_report.skipped;
            keepToken = true;
        }
        else if (o == Outcome::Unsupported)
            ++m_report.skipped;
        else
            return Local(false);
        return true;
    }

private:
    LocalSide& m_local;
    RemoteSide& m_remote;
    Report& m_report;
    std::vector<StatusEntry> m_created;
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
        // A create under way is a change here, unless it landed and was
        // deleted there since, as it was sent.
        auto st = status.find(entry.first);
        auto plan = plans.find(entry.first);
        const bool goneThere = plan != plans.end() && plan->second.remoteGone;
        if (st == status.end() || st->second.localVersion != entry.second || (st->second.etag.empty() && !goneThere))
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
        p.remoteOwn = p.remote && p.status && OwnWrite(*p.status, p.remote->text);
        auto v = versions.find(p.uid);
        p.localHas = v != versions.end();
        if (p.localHas)
            p.localVersion = v->second;
        if (p.localHas && p.localChanged && !m_local.Get(p.uid, localText[p.uid]))
            return fail(m_local.Error());
        const std::string& text = p.remote                      ? p.remote->text
                                  : p.localHas && p.localChanged ? localText[p.uid]
                                  : p.status                     ? p.status->text
                                                                 : std::string();
        const std::string parent = TodoParent(text);
        p.isItem = !parent.empty();
        p.checklist = p.isItem ? parent : p.uid;
        order.push_back(&p);
    }
    // Checklists before their items, so a new item finds its checklist.
    std::stable_sort(order.begin(), order.end(), [](const Plan* a, const Plan* b) { return !a->isItem && b->isItem; });

    MarkRevivals(plans);
    for (Plan* plan : order)
        if (plan->revive && plan->localHas && !plan->localChanged && !m_local.Get(plan->uid, localText[plan->uid]))
            return fail(m_local.Error());

    // Records new here: the statuses of their creates in one write first.
    std::vector<StatusEntry> pending;
    for (Plan* plan : order)
        if (!plan->status && plan->localHas && !plan->remote)
        {
            pending.push_back({plan->uid, m_remote.HrefFor(plan->uid), "", plan->localVersion, localText[plan->uid]});
            plan->pendingSaved = true;
        }
    if (!pending.empty() && !m_local.SaveStatuses(pending))
        return fail(m_local.Error());

    Steps steps(m_local, m_remote, report);
    for (Plan* plan : order)
    {
        const Plan& p = *plan;
        const StatusEntry* st = p.status;
        const std::string& L = localText[p.uid];
        bool localGone = st && !p.localHas;
        bool pendingCreate = st && st->etag.empty();

        bool ok = true;
        if (!st || (pendingCreate && !p.remote && !p.remoteGone))
        {
            if (p.remote && p.localHas)
                ok = steps.Merge(p, st ? st->text : std::string(), L);
            else if (p.remote)
                ok = steps.PutLocal(p, p.remote->text, "", p.remote->href, p.remote->etag);
            else if (p.localHas)
                ok = steps.UploadNew(p, st ? st->href : m_remote.HrefFor(p.uid), L);
            else if (st)
                ok = steps.Local(m_local.DropStatus(p.uid));
        }
        else if (localGone && p.remote && p.remoteOwn && !p.revive)
        {
            // Only this side's own write is there: the delete here wins.
            Outcome o = m_remote.Remove(p.remote->href, p.remote->etag);
            if (o == Outcome::Conflict)
                steps.again = true;
            else if (o == Outcome::Ok || o == Outcome::Gone)
            {
                report.deletedRemote += pendingCreate ? 0 : 1;
                ok = steps.Local(m_local.DropStatus(p.uid));
            }
            else
                ok = steps.RemoteFailed();
        }
        else if (p.localChanged && p.remote)
            ok = steps.Merge(p, st->text, L);
        else if (p.localHas && p.remoteGone && (p.localChanged || p.revive))
            ok = steps.UploadNew(p, st->href, L); // an edit beats a delete
        else if (p.localChanged)
        {
            std::string etag;
            Step s = steps.WriteRemote(p, st->href, L, L, st->etag, etag);
            if (s == Step::Done)
                ok = steps.Local(m_local.SaveStatus({p.uid, st->href, etag, p.localVersion, L}));
            else
                ok = s != Step::Failed;
        }
        else if (localGone && p.remote)
            ok = steps.PutLocal(p, p.remote->text, "", p.remote->href, p.remote->etag); // an edit beats a delete
        else if (localGone && p.remoteGone)
            ok = steps.Local(m_local.DropStatus(p.uid));
        else if (localGone && p.revive)
            ok = steps.PutLocal(p, st->text, "", st->href, st->etag); // back with its checklist
        else if (localGone)
        {
            Outcome o = m_remote.Remove(st->href, st->etag);
            if (o == Outcome::Conflict)
                steps.again = true;
            else if (o != Outcome::Ok && o != Outcome::Gone)
                ok = steps.RemoteFailed();
            else
            {
                ++report.deletedRemote;
                ok = steps.Local(m_local.DropStatus(p.uid));
            }
        }
        else if (p.remote)
            ok = steps.PutLocal(p, p.remote->text, st->localVersion, p.remote->href, p.remote->etag);
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
                steps.again = true;
            }
            else
                return fail(m_local.Error());
        }
        if (!ok)
        {
            const std::string error = steps.error;
            steps.SaveCreated();
            return fail(error);
        }
    }
    if (!steps.SaveCreated())
        return fail(steps.error);
    bool again = steps.again;
    bool keepToken = steps.keepToken;
    if (again)
        return PassResult::Again;
    if (!keepToken && newToken != token && !m_local.SaveToken(newToken))
        return fail(m_local.Error());
    return PassResult::Done;
}
}
