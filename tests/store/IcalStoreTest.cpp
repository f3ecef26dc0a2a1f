// UIDs and kept iCalendar lines of checklists and items, beside the records.

#include "store/IcalStore.h"
#include "tests/store/StoreTestSupport.h"

#include <set>

using IcalStore::Extra;
using IcalStore::Kind;

namespace
{
class IcalStoreTest : public StoreTest
{
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        list = SaveNewList(u"Trip", u"Personal", 3);
        AddItems(list, {1, 0, 1});
        ASSERT_TRUE(list.LoadItems(FilterAll));
    }

    static Extra Row(Kind kind, int32_t id, std::u16string uid)
    {
        Extra e;
        e.kind = kind;
        e.id = id;
        e.uid = std::move(uid);
        return e;
    }
    static bool HasRow(Kind kind, int32_t id)
    {
        Extra e;
        return IcalStore::Load(kind, id, e);
    }

    ListRecord list;
};
}

TEST_F(IcalStoreTest, RowsSaveLoadAndReplaceByRecord)
{
    Extra e = Row(Kind::Checklist, list.id, u"list-uid");
    e.kept = u"DUE;VALUE=DATE:20240101\r\nX-FOO;A=1:x\\,y\r\n";
    e.lastModified = u"20240102T030405Z";
    e.fingerprint = u"fp";
    ASSERT_TRUE(IcalStore::Save(e));

    Extra back;
    ASSERT_TRUE(IcalStore::Load(Kind::Checklist, list.id, back));
    EXPECT_EQ(e.uid, back.uid);
    EXPECT_EQ(e.kept, back.kept);
    EXPECT_EQ(e.lastModified, back.lastModified);
    EXPECT_EQ(e.fingerprint, back.fingerprint);
    EXPECT_FALSE(IcalStore::Load(Kind::Item, list.id, back)) << "kinds are apart even for equal ids";

    e.uid = u"new-uid";
    e.kept.clear();
    ASSERT_TRUE(IcalStore::Save(e));
    ASSERT_TRUE(IcalStore::FindUid(u"new-uid", back));
    EXPECT_EQ(Kind::Checklist, back.kind);
    EXPECT_EQ(list.id, back.id);
    EXPECT_TRUE(back.kept.empty());
    EXPECT_FALSE(IcalStore::FindUid(u"list-uid", back)) << "the replaced UID is gone";

    std::vector<Extra> all;
    ASSERT_TRUE(IcalStore::LoadAll(all));
    EXPECT_EQ(1u, all.size());
}

TEST_F(IcalStoreTest, UidBelongsToOneRecordOnly)
{
    ASSERT_TRUE(IcalStore::Save(Row(Kind::Checklist, list.id, u"same")));
    EXPECT_FALSE(IcalStore::Save(Row(Kind::Item, list.items[0].id, u"same")));
    EXPECT_FALSE(IcalStore::Save(Row(Kind::Item, list.items[0].id, u"")));
    EXPECT_FALSE(HasRow(Kind::Item, list.items[0].id));
    EXPECT_TRUE(IcalStore::Save(Row(Kind::Checklist, list.id, u"same"))) << "saving its own UID again is fine";
}

TEST_F(IcalStoreTest, RowsLeaveTheRecordLayoutAlone)
{
    ASSERT_TRUE(IcalStore::EnsureUids());
    ObjectStore::Database db;
    ObjectStore::PropertyList props;
    ASSERT_TRUE(db.Open(u"KvTyChecklists"));
    ASSERT_TRUE(db.SeekFirst());
    ASSERT_TRUE(db.Read(props));
    EXPECT_EQ(7u, props.size());
    EXPECT_EQ(1u, Lists());
    EXPECT_EQ(3u, Items());
}

TEST_F(IcalStoreTest, DeletingRecordsDeletesTheirRows)
{
    ListRecord other = SaveNewList(u"Other", u"Personal", 4);
    AddItems(other, {0});
    ASSERT_TRUE(IcalStore::EnsureUids());
    ASSERT_TRUE(other.LoadItems(FilterAll));

    ASSERT_TRUE(list.items[1].DeleteItem());
    EXPECT_FALSE(HasRow(Kind::Item, list.items[1].id));
    EXPECT_TRUE(HasRow(Kind::Item, list.items[0].id));

    ASSERT_TRUE(ListStore::DeleteChecklist(list.id));
    EXPECT_FALSE(HasRow(Kind::Checklist, list.id));
    EXPECT_FALSE(HasRow(Kind::Item, list.items[0].id));
    EXPECT_FALSE(HasRow(Kind::Item, list.items[2].id));
    EXPECT_TRUE(HasRow(Kind::Checklist, other.id));
    EXPECT_TRUE(HasRow(Kind::Item, other.items[0].id));

    const int32_t purged = other.items[0].id;
    ASSERT_TRUE(ListStore::InvertChecks(other));
    ASSERT_TRUE(ListStore::PurgeChecked(other));
    EXPECT_FALSE(HasRow(Kind::Item, purged));
    std::vector<Extra> all;
    ASSERT_TRUE(IcalStore::LoadAll(all));
    EXPECT_EQ(1u, all.size()) << "only the other checklist's row is left";
}

TEST_F(IcalStoreTest, RecordsWithoutRowsGetFreshStableUids)
{
    ASSERT_TRUE(IcalStore::EnsureUids());
    Extra listRow;
    ASSERT_TRUE(IcalStore::Load(Kind::Checklist, list.id, listRow));

    ListRecord copy;
    ASSERT_TRUE(ListStore::CopyChecklist(list.id, FilterAll, u"Copy", u"Personal", 9, copy));
    EXPECT_FALSE(HasRow(Kind::Checklist, copy.id)) << "a copy does not take over its source's UID";
    ASSERT_TRUE(IcalStore::EnsureUids());

    std::vector<Extra> all;
    ASSERT_TRUE(IcalStore::LoadAll(all));
    ASSERT_EQ(8u, all.size());
    std::set<std::u16string> uids;
    for (const Extra& e : all)
    {
        EXPECT_EQ(36u, e.uid.size());
        EXPECT_EQ(u'4', e.uid[14]);
        uids.insert(e.uid);
    }
    EXPECT_EQ(8u, uids.size()) << "every UID differs";

    Extra again;
    ASSERT_TRUE(IcalStore::EnsureUids());
    ASSERT_TRUE(IcalStore::Load(Kind::Checklist, list.id, again));
    EXPECT_EQ(listRow.uid, again.uid);
    ASSERT_TRUE(IcalStore::LoadAll(all));
    EXPECT_EQ(8u, all.size());
}

TEST_F(IcalStoreTest, RowsFollowTheCallersTransaction)
{
    {
        ListStore::Transaction tx;
        ASSERT_TRUE(IcalStore::Save(Row(Kind::Checklist, list.id, u"dropped")));
        // destroyed without Commit
    }
    EXPECT_FALSE(HasRow(Kind::Checklist, list.id));
    {
        ListStore::Transaction tx;
        ASSERT_TRUE(IcalStore::Save(Row(Kind::Checklist, list.id, u"kept")));
        ASSERT_TRUE(tx.Commit());
    }
    Extra e;
    EXPECT_TRUE(IcalStore::FindUid(u"kept", e));
}

TEST_F(IcalStoreTest, AChangeOfAMappedFieldDatesTheRowAndACountChangeDoesNot)
{
    ASSERT_TRUE(IcalStore::EnsureUids());
    for (Kind kind : {Kind::Checklist, Kind::Item})
    {
        Extra e;
        ASSERT_TRUE(IcalStore::Load(kind, kind == Kind::Checklist ? list.id : list.items[0].id, e));
        e.lastModified = u"20200101T000000Z";
        e.fingerprint = u"as read";
        ASSERT_TRUE(IcalStore::Save(e));
    }
    auto dated = [](Kind kind, int32_t id) {
        Extra e;
        EXPECT_TRUE(IcalStore::Load(kind, id, e));
        return e.fingerprint.empty() && e.lastModified > u"20200101T000000Z" && e.lastModified.size() == 16;
    };

    ASSERT_TRUE(ListStore::AdjustListCounts(list.id, 0, -1));
    ItemRecord same = list.items[0];
    ASSERT_TRUE(same.SaveItem());
    EXPECT_FALSE(dated(Kind::Checklist, list.id));
    EXPECT_FALSE(dated(Kind::Item, list.items[0].id));

    ASSERT_TRUE(ListStore::SetItemChecked(list.items[0].id, list.items[0].checked == 0));
    EXPECT_TRUE(dated(Kind::Item, list.items[0].id));
    EXPECT_FALSE(dated(Kind::Checklist, list.id)) << "its counts moved, nothing of it in iCalendar";
    ASSERT_TRUE(ListStore::SetListNote(list.id, u"a note"));
    EXPECT_TRUE(dated(Kind::Checklist, list.id));
}
