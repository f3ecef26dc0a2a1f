#ifndef TALLYARD_SYNC_SYNCENGINE_H
#define TALLYARD_SYNC_SYNCENGINE_H

// The sync algorithm: compares both sides with the status of the last sync
// and decides per UID what to create, update, merge or delete. Every step
// lands whole (a remote write first, then the local record and the status in
// one transaction), so a sync cut off at any point is completed by the next.

#include "sync/SyncSides.h"

#include <string>

namespace Sync
{
struct Report
{
    bool ok = false;
    std::string error;
    int uploaded = 0;      ///< created or updated on the server
    int downloaded = 0;    ///< created or updated locally
    int deletedRemote = 0;
    int deletedLocal = 0;
    int merged = 0;        ///< changed on both sides
    int conflicts = 0;     ///< fields both changed differently
    int skipped = 0;       ///< left for the next sync (changed meanwhile, or not representable)
};

class Engine
{
public:
    Engine(LocalSide& local, RemoteSide& remote) : m_local(local), m_remote(remote) {}
    /// One sync; repeats its pass (a few times) while the server's copies
    /// change under it.
    Report Run();

private:
    enum class PassResult
    {
        Done,
        Again,
        Failed
    };
    PassResult Pass(Report& report);

    LocalSide& m_local;
    RemoteSide& m_remote;
};
}

#endif
