// A worker thread with a store connection of its own never joins the user
// interface's changes into its transactions.
#include "platform/ObjectStore.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace ObjectStore;

namespace
{
bool Has(const std::u16string& db, int32_t value)
{
    Database handle;
    if (!handle.Open(db))
        return false;
    for (bool more = handle.SeekFirst(); more; more = handle.SeekNext())
    {
        PropertyList props;
        if (handle.Read(props) && FindProp(props, 1) && FindProp(props, 1)->number == value)
            return true;
    }
    return false;
}

bool AddValue(const std::u16string& db, int32_t value)
{
    Database handle;
    return handle.Open(db) && handle.Add({Property::Int32(1, value)});
}
}

TEST(ThreadConnection, AWorkersRolledBackChangeTakesNoOtherThreadsChangeWithIt)
{
    const std::u16string db = u"Shared";
    ASSERT_TRUE(CreateDatabase(db, 0, {}));
    std::atomic<bool> inside{false};
    std::thread worker([&] {
        ThreadConnection own;
        Transaction tx;
        EXPECT_TRUE(AddValue(db, 1));
        inside = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        // Left without Commit: rolled back.
    });
    while (!inside)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    // Waits for the worker's write lock, then lands on its own.
    EXPECT_TRUE(AddValue(db, 2));
    worker.join();
    EXPECT_TRUE(Has(db, 2));
    EXPECT_FALSE(Has(db, 1));
}

TEST(ThreadConnection, EachThreadSeesTheOthersCommittedChanges)
{
    const std::u16string db = u"Shared";
    ASSERT_TRUE(CreateDatabase(db, 0, {}));
    std::thread([&] {
        ThreadConnection own;
        EXPECT_TRUE(AddValue(db, 7));
        EXPECT_TRUE(Has(db, 7));
    }).join();
    EXPECT_TRUE(Has(db, 7));
    ASSERT_TRUE(AddValue(db, 8));
    std::thread([&] {
        ThreadConnection own;
        EXPECT_TRUE(Has(db, 8));
    }).join();
}
