#ifndef TALLYARD_SYNC_SYNCSIDES_H
#define TALLYARD_SYNC_SYNCSIDES_H

// The two sides a sync compares, behind small interfaces: the collection on
// the server (resources by href, with etags) and the local store (records by
// UID, with versions), each holding VTODOs as iCalendar text. The local side
// also keeps the status: what both sides last agreed on, per UID.

#include <map>
#include <string>
#include <vector>

namespace Sync
{
enum class Outcome
{
    Ok,
    Conflict,    ///< the copy changed since it was read: try again later
    Gone,        ///< nothing there any more
    Unsupported, ///< this side cannot hold the object as it stands
    Failed
};

struct Fetched
{
    std::string href;
    std::string etag;
    std::string text;
};

class RemoteSide
{
public:
    virtual ~RemoteSide() = default;
    virtual bool Open() = 0;
    /// What changed since `token` (all when empty or when the server forgot
    /// it: `complete` then says the list is every member). Hrefs with etags.
    virtual bool Changes(const std::string& token, std::map<std::string, std::string>& changed,
                         std::vector<std::string>& removed, bool& complete, std::string& newToken) = 0;
    virtual bool Fetch(const std::vector<std::string>& hrefs, std::vector<Fetched>& out) = 0;
    virtual std::string HrefFor(const std::string& uid) = 0;
    virtual Outcome Create(const std::string& href, const std::string& text, std::string& etag) = 0;
    virtual Outcome Update(const std::string& href, const std::string& text, const std::string& etag,
                           std::string& newEtag) = 0;
    virtual Outcome Remove(const std::string& href, const std::string& etag) = 0;
    virtual std::string Error() = 0;
};

/// What both sides last agreed on for one UID.
struct StatusEntry
{
    std::string uid;
    std::string href;
    std::string etag;         ///< empty while a create is under way
    std::string localVersion; ///< for a create under way, the one it was made from
    std::string text;         ///< the VTODO both had
    /// What an update cut off before its answer was recorded wrote (or
    /// tried to): the server's copy may descend from it.
    std::string sent = {};
};

class LocalSide
{
public:
    virtual ~LocalSide() = default;
    /// Every record that syncs: UID -> version (changes whenever it does).
    virtual bool List(std::map<std::string, std::string>& versions) = 0;
    virtual bool Get(const std::string& uid, std::string& text) = 0;
    /// Writes the VTODO (creating the record when `expectedVersion` is
    /// empty) only if the record still has `expectedVersion`, and saves
    /// `status` with the record's new version, in one transaction.
    virtual Outcome Put(const std::string& uid, const std::string& text, const std::string& expectedVersion,
                        StatusEntry& status) = 0;
    /// Deletes the record if it still has `expectedVersion`, and its status.
    virtual Outcome Remove(const std::string& uid, const std::string& expectedVersion) = 0;

    virtual bool LoadStatus(std::map<std::string, StatusEntry>& entries, std::string& token) = 0;
    virtual bool SaveStatus(const StatusEntry& entry) = 0;
    /// Saves these entries, all or none.
    virtual bool SaveStatuses(const std::vector<StatusEntry>& entries)
    {
        for (const StatusEntry& entry : entries)
            if (!SaveStatus(entry))
                return false;
        return true;
    }
    virtual bool DropStatus(const std::string& uid) = 0;
    virtual bool SaveToken(const std::string& token) = 0;
    virtual std::string Error() = 0;
};
}

#endif
