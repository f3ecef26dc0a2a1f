#ifndef TALLYARD_TESTS_STORE_STORETESTSUPPORT_H
#define TALLYARD_TESTS_STORE_STORETESTSUPPORT_H

// A fresh store per test, with helpers to fill it and look into it.

#include "platform/ObjectStore.h"
#include "store/ListStore.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

/// Makes the store's folder and files immutable (chattr +i) for its life;
/// Made() is false where that needs root or the file system refuses it.
class ImmutableStore
{
public:
    ImmutableStore()
    {
        const std::string file = ObjectStore::StorePath();
        const std::string dir = file.substr(0, file.rfind('/'));
        m_paths = "'" + dir + "'";
        for (const char* suffix : {"", "-wal", "-shm"})
            if (::access((file + suffix).c_str(), F_OK) == 0)
                m_paths += " '" + file + suffix + "'";
        m_made = geteuid() == 0 && std::system(("chattr +i " + m_paths + " 2>/dev/null").c_str()) == 0;
    }
    ~ImmutableStore()
    {
        if (m_made)
            std::system(("chattr -i " + m_paths).c_str());
    }
    ImmutableStore(const ImmutableStore&) = delete;
    ImmutableStore& operator=(const ImmutableStore&) = delete;
    bool Made() const { return m_made; }

private:
    std::string m_paths;
    bool m_made = false;
};

class StoreTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ObjectStore::ResetConnection();
        ListStore::SetMessageHook([this](const std::u16string& text, const std::u16string& caption) {
            messages.emplace_back(text, caption);
        });
        ASSERT_TRUE(ListStore::CreateDatabases());
    }
    void TearDown() override
    {
        ListStore::SetMessageHook(nullptr);
        ObjectStore::ResetConnection();
    }

    /// Number of records in one database.
    static uint32_t Count(const std::u16string& database)
    {
        ObjectStore::Database db;
        uint32_t count = 0;
        EXPECT_TRUE(db.Open(database));
        EXPECT_TRUE(db.Count(count));
        return count;
    }
    static uint32_t Lists() { return Count(u"KvTyChecklists"); }
    static uint32_t Items() { return Count(u"KvTyItems"); }

    static ListRecord SaveNewList(const std::u16string& name, const std::u16string& category, int16_t position = 0)
    {
        ListRecord list;
        list.name = name;
        list.category = category;
        list.position = position;
        EXPECT_TRUE(list.SaveList());
        return list;
    }

    /// Adds items with these checked states and keeps the list's counts.
    static void AddItems(ListRecord& list, const std::vector<int16_t>& checked)
    {
        for (int16_t state : checked)
        {
            ItemRecord item;
            item.listId = list.id;
            item.name = u"item " + std::u16string(1, char16_t(u'A' + list.itemCount));
            item.position = list.itemCount;
            item.checked = state;
            item.priority = 3;
            ASSERT_TRUE(item.SaveItem());
            ++list.itemCount;
            if (state == 0)
                ++list.uncheckedCount;
        }
        ASSERT_TRUE(list.SaveList());
    }

    template <typename T, typename F>
    static auto Map(const T& seq, F f)
    {
        std::vector<decltype(f(*seq.begin()))> out;
        for (const auto& e : seq)
            out.push_back(f(e));
        return out;
    }

    std::vector<std::pair<std::u16string, std::u16string>> messages;
};

#endif
