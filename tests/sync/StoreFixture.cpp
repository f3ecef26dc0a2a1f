#include "tests/sync/StoreFixture.h"

#include "platform/ObjectStore.h"
#include "sync/SyncRun.h"
#include "tests/support/TempXdg.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

namespace
{
std::string U8(const std::u16string& s)
{
    std::string out;
    for (char16_t c : s)
        out += c < 0x80 ? char(c) : '?';
    return out;
}
}

void StoreSyncTest::SetUp()
{
    ASSERT_TRUE(m_server.Start()) << "Radicale did not start";
    m_stores[0] = TempXdgListener::Root() + "/deviceA";
    m_stores[1] = TempXdgListener::Root() + "/deviceB";
    Use(1);
    Use(0);
}

void StoreSyncTest::TearDown()
{
    ObjectStore::ResetConnection();
}

void StoreSyncTest::Use(int n)
{
    m_current = n;
    setenv("XDG_DATA_HOME", m_stores[n].c_str(), 1);
    ObjectStore::ResetConnection();
    ASSERT_TRUE(ListStore::CreateDatabases());
}

CalDav::Account StoreSyncTest::Account() const
{
    return {m_server.CollectionUrl(), RadicaleServer::User(), RadicaleServer::Password(), false};
}

Sync::Report StoreSyncTest::SyncNow()
{
    return Sync::SyncOnce(Account());
}

void StoreSyncTest::Fill()
{
    struct
    {
        const char16_t* name;
        const char16_t* category;
        const char16_t* note;
        int items;
    } lists[] = {{u"Groceries", u"Personal", u"Saturday; early, before 9\\10", 5},
                 {u"Packing", u"Unfiled", u"", 3},
                 {u"Release", u"Business", u"line one\nline two \u05E9\u05DC\u05D5\u05DD \U0001F600", 4}};
    int16_t position = 0;
    for (const auto& l : lists)
    {
        ListRecord list;
        list.name = l.name;
        list.category = l.category;
        list.note = l.note;
        list.position = position++;
        ASSERT_TRUE(list.SaveList());
        for (int i = 0; i < l.items; ++i)
        {
            ItemRecord item;
            item.listId = list.id;
            item.name = std::u16string(l.name) + u" item " + char16_t(u'a' + i);
            item.details = i % 2 ? u"details, with; odd \\ text" : u"";
            item.position = int16_t(i * 2);
            item.checked = i % 3 == 0;
            item.priority = int16_t(i % 6);
            ASSERT_TRUE(item.SaveItem());
            list.itemCount++;
            list.uncheckedCount += item.checked ? 0 : 1;
        }
        ASSERT_TRUE(list.SaveList());
    }
}

void StoreSyncTest::ShareFilled()
{
    Fill();
    Sync::Report a = SyncNow();
    ASSERT_TRUE(a.ok) << a.error;
    Use(1);
    Sync::Report b = SyncNow();
    ASSERT_TRUE(b.ok) << b.error;
}

int32_t StoreSyncTest::ListId(const std::u16string& name)
{
    ListArray lists;
    lists.LoadLists(u"All");
    for (const ListRecord& l : lists)
        if (l.name == name)
            return l.id;
    return 0;
}

ItemRecord StoreSyncTest::FindItem(const std::u16string& list, const std::u16string& item)
{
    ListRecord record;
    if (record.LoadList(ListId(list)) && record.LoadItems(FilterAll))
        for (const ItemRecord& i : record.items)
            if (i.name == item)
                return i;
    return {};
}

std::string StoreSyncTest::Snapshot()
{
    ListArray lists;
    EXPECT_TRUE(lists.LoadLists(u"All"));
    std::vector<std::string> lines;
    for (ListRecord& l : lists)
    {
        EXPECT_TRUE(l.LoadItems(FilterAll));
        int unchecked = 0;
        std::vector<std::string> items;
        for (const ItemRecord& i : l.items)
        {
            unchecked += i.checked ? 0 : 1;
            std::ostringstream line;
            line << "  " << U8(i.name) << " | " << U8(i.details) << " | pos " << i.position << " | checked "
                 << i.checked << " | priority " << i.priority;
            items.push_back(line.str());
        }
        std::sort(items.begin(), items.end());
        EXPECT_EQ(l.itemCount, int(l.items.size())) << U8(l.name);
        EXPECT_EQ(l.uncheckedCount, unchecked) << U8(l.name);
        std::ostringstream line;
        line << U8(l.name) << " | " << U8(l.category) << " | " << U8(l.note) << " | pos " << l.position << " | "
             << l.itemCount << "/" << l.uncheckedCount;
        for (const std::string& i : items)
            line << "\n" << i;
        lines.push_back(line.str());
    }
    std::sort(lines.begin(), lines.end());
    std::string out;
    for (const std::string& l : lines)
        out += l + "\n";
    return out;
}

std::map<std::string, CalDav::Resource> StoreSyncTest::ServerCopies()
{
    CalDav::Client client(Account());
    std::map<std::string, CalDav::Resource> out;
    std::vector<CalDav::Member> members;
    std::vector<std::string> hrefs;
    EXPECT_TRUE(client.Open(false) && client.ListTodos(members)) << client.Error();
    for (const CalDav::Member& m : members)
        hrefs.push_back(m.href);
    std::vector<CalDav::Resource> got;
    EXPECT_TRUE(client.Fetch(hrefs, got));
    for (CalDav::Resource& r : got)
        out[r.href] = r;
    return out;
}

bool StoreSyncTest::EditOnServer(const std::string& find, const std::string& replace)
{
    CalDav::Client client(Account());
    if (!client.Open(false))
        return false;
    for (auto& entry : ServerCopies())
    {
        std::string& text = entry.second.data;
        size_t at = text.find(find);
        if (at == std::string::npos)
            continue;
        text.replace(at, find.size(), replace);
        std::string etag;
        return client.Update(entry.first, text, entry.second.etag, etag) == CalDav::WriteResult::Ok;
    }
    return false;
}
