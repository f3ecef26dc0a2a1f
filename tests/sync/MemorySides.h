#ifndef TALLYARD_TESTS_SYNC_MEMORYSIDES_H
#define TALLYARD_TESTS_SYNC_MEMORYSIDES_H

// Both sides of a sync held in memory, with the server's rules (etags,
// preconditions, a change log behind the sync-token) and hooks to cut a
// sync off or change a copy under it.

#include "sync/SyncMerge.h"
#include "sync/SyncSides.h"

#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace Sync::Testing
{
/// Thrown by a hook to stand for a process killed at that point.
struct Killed : std::runtime_error
{
    Killed() : std::runtime_error("killed") {}
};

class MemoryRemote : public RemoteSide
{
public:
    struct Resource
    {
        std::string etag;
        std::string text;
    };
    std::map<std::string, Resource> resources; // by href
    bool tokens = true;                        // false: the server has no sync-token
    int requests = 0;
    int writes = 0;
    /// Called before every write with its number; may throw Killed or fail.
    std::function<bool(int)> beforeWrite;
    /// Called after the listing of changes (to change a copy under the sync).
    std::function<void()> afterChanges;

    std::string Put(const std::string& href, const std::string& text)
    {
        Resource& r = resources[href];
        r.text = text;
        r.etag = "\"" + std::to_string(++m_etags) + "\"";
        m_log.push_back(href);
        return r.etag;
    }
    void Erase(const std::string& href)
    {
        resources.erase(href);
        m_log.push_back(href);
    }
    std::string PutTodo(const std::string& text) { return Put(HrefFor(TodoUid(text)), text); }

    bool Open() override
    {
        ++requests;
        return true;
    }
    bool Changes(const std::string& token, std::map<std::string, std::string>& changed,
                 std::vector<std::string>& removed, bool& complete, std::string& newToken) override
    {
        ++requests;
        changed.clear();
        removed.clear();
        size_t from = 0;
        complete = !tokens || token.empty() || token.compare(0, 3, "log") != 0;
        if (!complete)
            from = std::stoul(token.substr(3));
        if (complete)
        {
            for (const auto& r : resources)
                changed[r.first] = r.second.etag;
        }
        else
        {
            for (size_t i = from; i < m_log.size(); ++i)
            {
                auto it = resources.find(m_log[i]);
                if (it == resources.end())
                    removed.push_back(m_log[i]);
                else
                    changed[m_log[i]] = it->second.etag;
            }
        }
        newToken = tokens ? "log" + std::to_string(m_log.size()) : "";
        if (afterChanges)
            afterChanges();
        return true;
    }
    bool Fetch(const std::vector<std::string>& hrefs, std::vector<Fetched>& out) override
    {
        ++requests;
        out.clear();
        for (const std::string& href : hrefs)
        {
            auto it = resources.find(href);
            if (it != resources.end())
                out.push_back({href, it->second.etag, it->second.text});
        }
        return true;
    }
    std::string HrefFor(const std::string& uid) override { return "/c/" + uid + ".ics"; }
    Outcome Create(const std::string& href, const std::string& text, std::string& etag) override
    {
        if (!Write())
            return Outcome::Failed;
        if (resources.count(href))
            return Outcome::Conflict;
        etag = Put(href, text);
        return Outcome::Ok;
    }
    Outcome Update(const std::string& href, const std::string& text, const std::string& etag,
                   std::string& newEtag) override
    {
        if (!Write())
            return Outcome::Failed;
        auto it = resources.find(href);
        if (it == resources.end() || it->second.etag != etag)
            return Outcome::Conflict;
        newEtag = Put(href, text);
        return Outcome::Ok;
    }
    Outcome Remove(const std::string& href, const std::string& etag) override
    {
        if (!Write())
            return Outcome::Failed;
        auto it = resources.find(href);
        if (it == resources.end())
            return Outcome::Gone;
        if (it->second.etag != etag)
            return Outcome::Conflict;
        Erase(href);
        return Outcome::Ok;
    }
    std::string Error() override { return "the server is down"; }

private:
    bool Write()
    {
        ++requests;
        ++writes;
        return !beforeWrite || beforeWrite(writes);
    }
    int m_etags = 0;
    std::vector<std::string> m_log;
};

class MemoryLocal : public LocalSide
{
public:
    struct Record
    {
        std::string version;
        std::string text;
    };
    std::map<std::string, Record> records; // by UID
    std::map<std::string, StatusEntry> status;
    std::string token;
    /// Called before every local write (record or status); may throw Killed.
    std::function<void()> beforeWrite;
    /// Called between reading a record and writing it back (a user's edit).
    std::function<void()> afterGet;
    /// Objects this side cannot hold.
    std::function<bool(const std::string&)> refuses;

    void Set(const std::string& text)
    {
        Record& r = records[TodoUid(text)];
        r.text = text;
        r.version = std::to_string(++m_versions);
    }

    bool List(std::map<std::string, std::string>& versions) override
    {
        versions.clear();
        for (const auto& r : records)
            versions[r.first] = r.second.version;
        return true;
    }
    bool Get(const std::string& uid, std::string& text) override
    {
        auto it = records.find(uid);
        if (it == records.end())
            return false;
        text = it->second.text;
        if (afterGet)
            afterGet();
        return true;
    }
    Outcome Put(const std::string& uid, const std::string& text, const std::string& expected,
                StatusEntry& entry) override
    {
        Hook();
        if (refuses && refuses(text))
            return Outcome::Unsupported;
        auto it = records.find(uid);
        std::string current = it == records.end() ? "" : it->second.version;
        if (current != expected)
            return Outcome::Conflict;
        Set(text);
        entry.localVersion = records[uid].version;
        status[uid] = entry;
        return Outcome::Ok;
    }
    Outcome Remove(const std::string& uid, const std::string& expected) override
    {
        Hook();
        auto it = records.find(uid);
        if (it == records.end())
            return Outcome::Gone;
        if (it->second.version != expected)
            return Outcome::Conflict;
        records.erase(it);
        status.erase(uid);
        return Outcome::Ok;
    }
    bool LoadStatus(std::map<std::string, StatusEntry>& entries, std::string& t) override
    {
        entries = status;
        t = token;
        return true;
    }
    bool SaveStatus(const StatusEntry& entry) override
    {
        Hook();
        status[entry.uid] = entry;
        return true;
    }
    bool DropStatus(const std::string& uid) override
    {
        Hook();
        status.erase(uid);
        return true;
    }
    bool SaveToken(const std::string& t) override
    {
        Hook();
        token = t;
        return true;
    }
    std::string Error() override { return ""; }

private:
    void Hook()
    {
        if (beforeWrite)
            beforeWrite();
    }
    int m_versions = 0;
};
}

#endif
