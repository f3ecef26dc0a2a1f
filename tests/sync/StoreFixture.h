#ifndef TALLYARD_TESTS_SYNC_STOREFIXTURE_H
#define TALLYARD_TESTS_SYNC_STOREFIXTURE_H

// Two stores of one user (as on two devices) syncing with one collection of
// a real Radicale: switch between them, change them, compare them.

#include "store/ListStore.h"
#include "sync/CalDavClient.h"
#include "sync/SyncEngine.h"
#include "tests/sync/RadicaleServer.h"

#include <gtest/gtest.h>
#include <string>

class StoreSyncTest : public testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    /// Makes store `n` (0 or 1) the current one.
    void Use(int n);
    /// One sync of the current store.
    Sync::Report SyncNow();
    CalDav::Account Account() const;

    /// A few checklists with items of every kind in the current store.
    void Fill();
    /// Fill() in store 0, synced into store 1, which is then the current one.
    void ShareFilled();
    /// The id of the checklist named `name` (0 when none).
    static int32_t ListId(const std::u16string& name);
    static ItemRecord FindItem(const std::u16string& list, const std::u16string& item);
    /// Every checklist and item of the current store, in a stable order,
    /// with counts checked against the items stored.
    static std::string Snapshot();
    /// The collection's resources' iCalendar texts, by href.
    std::map<std::string, CalDav::Resource> ServerCopies();
    /// Rewrites the first resource whose text contains `find`, replacing it.
    bool EditOnServer(const std::string& find, const std::string& replace);

    RadicaleServer m_server;
    std::string m_stores[2];
    int m_current = 0;
};

#endif
