#ifndef TALLYARD_SYNC_SYNCSTORE_H
#define TALLYARD_SYNC_SYNCSTORE_H

// The local side of a sync: the store's checklists and items as VTODOs (by
// their UIDs, through the iCalendar mapping), written back record by record
// with the status in the same transaction, counts kept right.

#include "store/IcalStore.h"
#include "sync/SyncSides.h"

#include <cstdint>
#include <map>
#include <set>
#include <string>

namespace Sync
{
class StoreSide : public LocalSide
{
public:
    /// `collectionUrl` names the collection the status belongs to.
    explicit StoreSide(std::string collectionUrl);

    bool List(std::map<std::string, std::string>& versions) override;
    bool Get(const std::string& uid, std::string& text) override;
    Outcome Put(const std::string& uid, const std::string& text, const std::string& expectedVersion,
                StatusEntry& status) override;
    Outcome Remove(const std::string& uid, const std::string& expectedVersion) override;
    bool LoadStatus(std::map<std::string, StatusEntry>& entries, std::string& token) override;
    bool SaveStatus(const StatusEntry& entry) override;
    bool SaveStatuses(const std::vector<StatusEntry>& entries) override;
    bool DropStatus(const std::string& uid) override;
    bool SaveToken(const std::string& token) override;
    std::string Error() override { return m_error; }

private:
    bool Fail(const std::string& what);
    /// Sets the checklist's counts from its items the first time a write of
    /// this pass touches it; later writes of the pass add their own change
    /// to them, so a big checklist's items are not all read again for each.
    bool CountFromItems(int32_t listId);
    /// The write under way landed: its checklists' counts stand.
    void Counted();

    std::string m_url;
    std::string m_error;
    std::set<int32_t> m_counted;  ///< counted by a write of this pass that landed
    std::set<int32_t> m_counting; ///< counted by the write under way
};

/// The version of one record as the sync compares it ("" when it is not
/// stored): changes whenever a field the mapping writes or a kept line does.
std::string RecordVersion(const IcalStore::Extra& extra);
}

#endif
