#ifndef TALLYARD_TESTS_SYNC_EXCHANGESUPPORT_H
#define TALLYARD_TESTS_SYNC_EXCHANGESUPPORT_H

// Helpers of the import and export tests: fixtures, whole-store snapshots,
// a second store.

#include "platform/ObjectStore.h"
#include "store/IcalStore.h"
#include "store/ListStore.h"
#include "sync/IcalExchange.h"
#include "sync/IcalText.h"
#include "tests/store/StoreTestSupport.h"
#include "tests/support/TempXdg.h"

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace ExchangeSupport
{
inline std::string FixturePath(const std::string& name)
{
    const char* src = std::getenv("TALLYARD_SOURCE_DIR");
    return std::string(src ? src : ".") + "/tests/sync/fixtures/" + name;
}

inline std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

/// Every record of the four databases, as text: equal snapshots mean an
/// unchanged store.
inline std::string Snapshot()
{
    std::string out;
    for (const char16_t* name : {u"KvTyCategories", u"KvTyChecklists", u"KvTyItems", u"KvTyIcal"})
    {
        ObjectStore::Database db;
        out += IcalText::ToUtf8(name) + (db.Open(name) ? ":\n" : ": none\n");
        for (bool more = db.IsOpen() && db.SeekFirst(); more; more = db.SeekNext())
        {
            ObjectStore::PropertyList props;
            db.Read(props);
            for (const auto& p : props)
                out += std::to_string(p.id) + "=" + std::to_string(p.number) + "/" + IcalText::ToUtf8(p.text) + " ";
            out += "\n";
        }
    }
    return out;
}

/// Switches to a fresh, empty store in another folder.
inline void UseSecondStore(const std::string& name = "second")
{
    const std::string dir = TempXdgListener::Root() + "/" + name;
    ::setenv("XDG_DATA_HOME", dir.c_str(), 1);
    ObjectStore::ResetConnection();
    ASSERT_TRUE(ListStore::CreateDatabases());
}

/// One record of either kind, as text, by UID; for comparing stores whose
/// ids differ.
inline std::map<std::u16string, std::u16string> ByUid()
{
    std::map<std::u16string, std::u16string> out;
    std::vector<IcalStore::Extra> rows;
    EXPECT_TRUE(IcalStore::LoadAll(rows));
    std::map<int32_t, std::u16string> listUid;
    for (const auto& r : rows)
        if (r.kind == IcalStore::Kind::Checklist)
            listUid[r.id] = r.uid;
    auto num = [](int v) { return IcalText::FromUtf8(std::to_string(v)); };
    for (const auto& r : rows)
    {
        std::u16string text;
        if (r.kind == IcalStore::Kind::Checklist)
        {
            ListRecord l;
            EXPECT_TRUE(l.LoadList(r.id));
            text = u"list|" + l.name + u"|" + l.note + u"|" + l.category + u"|" + num(l.position) + u"|" +
                   num(l.itemCount) + u"|" + num(l.uncheckedCount);
        }
        else
        {
            ItemRecord i;
            EXPECT_TRUE(i.LoadItem(r.id));
            text = u"item|" + listUid[i.listId] + u"|" + i.name + u"|" + i.details + u"|" + num(i.position) +
                   u"|" + num(i.checked) + u"|" + num(i.priority);
        }
        out[r.uid] = text;
    }
    return out;
}
}

#endif
