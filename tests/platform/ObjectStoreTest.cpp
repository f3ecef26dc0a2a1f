// Semantics of the object store: sort orders, seeking, handles, reads and
// writes, transactions.

#include "platform/ObjectStore.h"
#include "platform/ObjectStoreConnection.h"
#include "platform/UndoHistory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace ObjectStore;

namespace
{
constexpr uint32_t NameSort = MakePropId(1, TypeString);
constexpr uint32_t RankSort = MakePropId(2, TypeInt16);
constexpr uint32_t IdSort = MakePropId(3, TypeInt32);

class ObjectStoreTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ResetConnection();
        ASSERT_TRUE(CreateDatabase(u"T", 0, {{NameSort, 0}, {RankSort, 0}, {IdSort, 0}}));
        ASSERT_TRUE(db.Open(u"T", RankSort));
    }
    void TearDown() override { ResetConnection(); }

    // Adds a record whose ident 0 is a tag the tests follow.
    ObjectId AddTagged(int tag, const PropertyList& props)
    {
        PropertyList all(props.size() + 1);
        std::copy(props.begin(), props.end(), all.begin());
        all.back() = Property::Int32(0, tag);
        ObjectId oid = 0;
        EXPECT_TRUE(db.Add(all, &oid));
        return oid;
    }
    static int Tag(Database& handle)
    {
        PropertyList props;
        EXPECT_TRUE(handle.Read(props));
        const Property* p = FindProp(props, 0);
        return p ? p->number : -1;
    }
    // Tags in the order `handle` visits them from the first record.
    static std::vector<int> Walk(Database& handle)
    {
        std::vector<int> tags;
        for (bool more = handle.SeekFirst(); more; more = handle.SeekNext())
            tags.push_back(Tag(handle));
        return tags;
    }

    Database db;
};

using Tags = std::vector<int>;

TEST(ObjectStoreIds, PropertyIdsCarryIdentHighAndTypeLow)
{
    EXPECT_EQ(0x0001001Fu, MakePropId(1, TypeString));
    EXPECT_EQ(0x00040002u, Property::Int16(4, 7).id);
    EXPECT_EQ(0x00000003u, Property::Int32(0, 7).id);
    EXPECT_EQ(6, PropIdent(0x0006001F));
    EXPECT_EQ(TypeString, PropTypeOf(0x0006001F));
}

TEST_F(ObjectStoreTest, CreateRefusesDuplicatesAndUnsupportedSortOrders)
{
    EXPECT_TRUE(DatabaseExists(u"T"));
    EXPECT_FALSE(DatabaseExists(u"t"));
    EXPECT_FALSE(CreateDatabase(u"T", 0, {}));
    EXPECT_FALSE(CreateDatabase(u"Flags", 0, {{NameSort, 1}}));
    EXPECT_FALSE(CreateDatabase(u"Five", 0, {{NameSort, 0}, {RankSort, 0}, {IdSort, 0}, {0x00040002, 0}, {0x00050002, 0}}));
    EXPECT_FALSE(CreateDatabase(u"Type", 0, {{MakePropId(1, 64), 0}}));
    EXPECT_FALSE(DatabaseExists(u"Flags"));
    Database other;
    EXPECT_FALSE(other.Open(u"Missing"));
    EXPECT_FALSE(other.Open(u"T", MakePropId(9, TypeInt16)));
    EXPECT_FALSE(other.SeekFirst());
}

TEST_F(ObjectStoreTest, RecordsKeepPropertyIdsAndValues)
{
    AddTagged(1, {Property::String(1, u"name"), Property::Int16(2, -32768), Property::Int32(3, INT32_MIN)});
    ASSERT_TRUE(db.SeekFirst());
    PropertyList props;
    ASSERT_TRUE(db.Read(props));
    ASSERT_EQ(4u, props.size());
    EXPECT_EQ(0x0001001Fu, FindProp(props, 1)->id);
    EXPECT_EQ(u"name", FindProp(props, 1)->text);
    EXPECT_EQ(0x00020002u, FindProp(props, 2)->id);
    EXPECT_EQ(-32768, FindProp(props, 2)->number);
    EXPECT_EQ(INT32_MIN, FindProp(props, 3)->number);

    PropertyList some;
    ASSERT_TRUE(db.Read({MakePropId(3, TypeInt32), MakePropId(9, TypeInt16)}, some));
    ASSERT_EQ(1u, some.size());
    EXPECT_EQ(INT32_MIN, some[0].number);
}

TEST_F(ObjectStoreTest, RefusesMalformedRecords)
{
    EXPECT_FALSE(db.Add({Property::Int16(1, 1), Property::Int32(1, 2)}));        // ident twice
    EXPECT_FALSE(db.Add({Property{MakePropId(1, 64), 0, {}}}));                  // unknown type
    EXPECT_FALSE(db.Add({Property{MakePropId(1, TypeInt16), 40000, {}}}));       // out of range
    uint32_t count = 99;
    ASSERT_TRUE(db.Count(count));
    EXPECT_EQ(0u, count);
}

TEST_F(ObjectStoreTest, StringsSortByUtf16CodeUnit)
{
    Database byName;
    ASSERT_TRUE(byName.Open(u"T", NameSort));
    // Code unit order: Z < a < e-acute < surrogate of the emoji < fullwidth A.
    // Code point or UTF-8 order would put the emoji last.
    AddTagged(5, {Property::String(1, u"\uFF21")});
    AddTagged(4, {Property::String(1, u"\U0001F600")});
    AddTagged(2, {Property::String(1, u"a")});
    AddTagged(3, {Property::String(1, u"\u00E9")});
    AddTagged(1, {Property::String(1, u"Z")});
    AddTagged(0, {Property::String(1, u"")});
    AddTagged(6, {Property::String(1, u"ab")});
    EXPECT_EQ((Tags{0, 1, 2, 6, 3, 4, 5}), Walk(byName));
}

TEST_F(ObjectStoreTest, MissingPropertySortsLastAndTiesKeepInsertionOrder)
{
    AddTagged(1, {Property::Int16(2, 5)});
    AddTagged(2, {});
    AddTagged(3, {Property::Int16(2, 5)});
    AddTagged(4, {Property::Int16(2, -3)});
    AddTagged(5, {Property::String(2, u"wrong type counts as missing")});
    AddTagged(6, {Property::Int16(2, 0)});
    EXPECT_EQ((Tags{4, 6, 1, 3, 2, 5}), Walk(db));

    Database byName;
    ASSERT_TRUE(byName.Open(u"T", NameSort));
    AddTagged(7, {Property::String(1, u"\uFFFF\uFFFF")});
    EXPECT_EQ(7, (byName.SeekFirst(), Tag(byName)));
}

TEST_F(ObjectStoreTest, NoSortOrderVisitsInInsertionOrder)
{
    Database plain;
    ASSERT_TRUE(plain.Open(u"T"));
    for (int tag : {3, 1, 2})
        AddTagged(tag, {Property::Int16(2, int16_t(-tag))});
    EXPECT_EQ((Tags{3, 1, 2}), Walk(plain));
    EXPECT_FALSE(plain.SeekValue(Property::Int16(2, -1)));
}

TEST_F(ObjectStoreTest, HandlesKeepTheirOwnOrderAndPosition)
{
    AddTagged(1, {Property::String(1, u"c"), Property::Int16(2, 1)});
    AddTagged(2, {Property::String(1, u"b"), Property::Int16(2, 2)});
    AddTagged(3, {Property::String(1, u"a"), Property::Int16(2, 3)});
    Database byName, byRank;
    ASSERT_TRUE(byName.Open(u"T", NameSort));
    ASSERT_TRUE(byRank.Open(u"T", RankSort));
    ASSERT_TRUE(byName.SeekFirst());
    ASSERT_TRUE(byRank.SeekFirst());
    ASSERT_TRUE(byRank.SeekNext());
    EXPECT_EQ(3, Tag(byName));
    EXPECT_EQ(2, Tag(byRank));
    ASSERT_TRUE(byName.SeekNext());
    EXPECT_EQ(2, Tag(byName));
    EXPECT_EQ(2, Tag(byRank));
    ASSERT_TRUE(byRank.SeekNext());
    EXPECT_EQ(3, Tag(byRank));
    EXPECT_FALSE(byRank.SeekNext());
    EXPECT_EQ(0, byRank.CurrentObjectId());
    ASSERT_TRUE(byName.SeekNext());
    EXPECT_EQ(1, Tag(byName));
}

TEST_F(ObjectStoreTest, NextContinuesAfterCurrentWasChangedElsewhere)
{
    for (int tag = 1; tag <= 5; ++tag)
        AddTagged(tag, {Property::Int16(2, int16_t(tag * 10))});
    Database other;
    ASSERT_TRUE(other.Open(u"T", IdSort));

    ASSERT_TRUE(db.SeekFirst());
    ASSERT_TRUE(db.SeekNext());
    ASSERT_EQ(2, Tag(db));
    // Move the current record to the end through another handle: the walk
    // goes on with 3, not with the record's new place.
    ASSERT_TRUE(other.SeekFirst());
    ASSERT_TRUE(other.SeekNext());
    ASSERT_TRUE(other.Write({Property::Int16(2, 99)}));
    PropertyList now;
    ASSERT_TRUE(db.Read(now));
    EXPECT_EQ(99, FindProp(now, 2)->number) << "reads show the written value";
    ASSERT_TRUE(db.SeekNext());
    EXPECT_EQ(3, Tag(db));

    // Delete the current record elsewhere: next still finds 4.
    ASSERT_TRUE(other.Delete(db.CurrentObjectId()));
    PropertyList gone;
    EXPECT_FALSE(db.Read(gone));
    ASSERT_TRUE(db.SeekNext());
    EXPECT_EQ(4, Tag(db));
    ASSERT_TRUE(db.SeekNext());
    EXPECT_EQ(5, Tag(db));
    ASSERT_TRUE(db.SeekNext());
    EXPECT_EQ(2, Tag(db)) << "the moved record comes last";
    EXPECT_FALSE(db.SeekNext());
}

TEST_F(ObjectStoreTest, SeekValueFindsEqualRunsAcrossManyRecords)
{
    // Long runs cross the handle's read batches.
    for (int i = 0; i < 1500; ++i)
        AddTagged(i, {Property::Int16(2, int16_t(i % 3))});
    int found = 0, last = -1;
    for (bool more = db.SeekValue(Property::Int16(2, 1)); more; more = db.SeekNextEqual())
    {
        const int tag = Tag(db);
        EXPECT_EQ(1, tag % 3);
        EXPECT_GT(tag, last) << "equal keys in insertion order";
        last = tag;
        ++found;
    }
    EXPECT_EQ(500, found);
    EXPECT_FALSE(db.SeekValue(Property::Int16(2, 7)));
    EXPECT_EQ(0, db.CurrentObjectId());
    EXPECT_FALSE(db.SeekValue(Property::Int32(2, 1))) << "value of another property id";

    // After a seek, next goes on in sort order past the equal run.
    ASSERT_TRUE(db.SeekValue(Property::Int16(2, 0)));
    int walked = 1;
    while (db.SeekNext())
        ++walked;
    EXPECT_EQ(1500, walked);
    uint32_t count = 0;
    ASSERT_TRUE(db.Count(count));
    EXPECT_EQ(1500u, count);
}

TEST_F(ObjectStoreTest, LargeRecordsAreWalkedCompletely)
{
    // Records of 200 kB each: a handle reads them a few at a time.
    for (int i = 0; i < 30; ++i)
        AddTagged(i, {Property::Int16(2, int16_t(i % 2)), Property::String(1, std::u16string(100000, u'a' + i % 26))});
    Tags all, odd;
    for (int i = 0; i < 30; i += 2)
        all.push_back(i);
    for (int i = 1; i < 30; i += 2)
        all.push_back(i), odd.push_back(i);
    EXPECT_EQ(all, Walk(db));
    Tags found;
    for (bool more = db.SeekValue(Property::Int16(2, 1)); more; more = db.SeekNextEqual())
        found.push_back(Tag(db));
    EXPECT_EQ(odd, found);
}

TEST_F(ObjectStoreTest, AddAllStoresFullBatchesAndTheRestAsAddWould)
{
    // Two statements of 64 records, then five added one by one; one record
    // added before and one after, by Add.
    AddTagged(-1, {Property::Int16(2, 7)});
    std::vector<PropertyList> records;
    for (int i = 0; i < 2 * 64 + 5; ++i)
    {
        PropertyList props{Property::Int32(0, i), Property::Int16(2, int16_t(i % 4)), Property::Int32(3, 1000 + i)};
        if (i % 2)
            props.push_back(Property::String(1, u"name " + std::u16string(size_t(i % 7), u'x')));
        records.push_back(std::move(props));
    }
    ASSERT_TRUE(db.AddAll(records));
    AddTagged(-2, {Property::Int16(2, 7)});

    Database plain;
    ASSERT_TRUE(plain.Open(u"T"));
    Tags inserted{-1};
    for (int i = 0; i < 2 * 64 + 5; ++i)
        inserted.push_back(i);
    inserted.push_back(-2);
    EXPECT_EQ(inserted, Walk(plain)) << "insertion order";

    // Every record, at either side of a statement's end, under every sort order.
    Database byId, byName;
    ASSERT_TRUE(byId.Open(u"T", IdSort));
    ASSERT_TRUE(byName.Open(u"T", NameSort));
    for (int i : {0, 1, 62, 63, 64, 65, 127, 128, 129, 132})
    {
        ASSERT_TRUE(byId.SeekValue(Property::Int32(3, 1000 + i))) << i;
        PropertyList props;
        ASSERT_TRUE(byId.Read(props));
        EXPECT_EQ(i, FindProp(props, 0)->number);
        EXPECT_EQ(i % 4, FindProp(props, 2)->number);
        EXPECT_EQ(i % 2 != 0, FindProp(props, 1) != nullptr) << i;
        if (i % 2)
        {
            EXPECT_EQ(u"name " + std::u16string(size_t(i % 7), u'x'), FindProp(props, 1)->text);
            ASSERT_TRUE(byName.SeekValue(Property::String(1, FindProp(props, 1)->text)));
        }
    }
    Tags rankOne;
    for (bool more = db.SeekValue(Property::Int16(2, 1)); more; more = db.SeekNextEqual())
        rankOne.push_back(Tag(db));
    ASSERT_EQ(33u, rankOne.size());
    EXPECT_TRUE(std::is_sorted(rankOne.begin(), rankOne.end())) << "equal keys in insertion order";

    // One bad record refuses them all, the full batches before it included.
    records.push_back({Property::Int16(1, 1), Property::Int32(1, 2)});
    EXPECT_FALSE(db.AddAll(records));
    uint32_t count = 0;
    ASSERT_TRUE(db.Count(count));
    EXPECT_EQ(2u * 64 + 7, count);
    EXPECT_TRUE(db.AddAll({}));
}

// The schema's indexes as the file holds them, by name.
std::string IndexesOfFile()
{
    sqlite3* file = nullptr;
    std::string out;
    if (sqlite3_open_v2(StorePath().c_str(), &file, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK)
    {
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(file, "SELECT name, tbl_name, sql FROM sqlite_master WHERE type = 'index' ORDER BY name",
                           -1, &stmt, nullptr);
        while (stmt && sqlite3_step(stmt) == SQLITE_ROW)
            for (int col = 0; col < 3; ++col)
            {
                const unsigned char* text = sqlite3_column_text(stmt, col);
                out += (text ? reinterpret_cast<const char*>(text) : "") + std::string("|");
            }
        sqlite3_finalize(stmt);
    }
    sqlite3_close(file);
    return out;
}

TEST_F(ObjectStoreTest, AddAllOfManyMakesTheSameIndexesAgain)
{
    const std::string indexes = IndexesOfFile();
    ASSERT_NE(std::string::npos, indexes.find("CREATE INDEX")) << indexes;
    for (int i = 0; i < 10; ++i)
        AddTagged(-1 - i, {Property::Int16(2, int16_t(i % 3)), Property::Int32(3, -1 - i)});
    const int count = int(detail::RebuildIndexesFrom) + 3;
    std::vector<PropertyList> records;
    auto fill = [&](int base) {
        records.clear();
        for (int i = 0; i < count; ++i)
            records.push_back({Property::Int32(0, base + i), Property::Int16(2, int16_t(i % 3)),
                               Property::Int32(3, (base + i) * 7919 % 100003), Property::String(1, u"n")});
    };

    // Refused later in the change: the indexes are as they were.
    {
        Transaction tx;
        fill(0);
        ASSERT_TRUE(db.AddAll(records));
        tx.MarkFailed();
        EXPECT_FALSE(tx.Commit());
    }
    EXPECT_EQ(indexes, IndexesOfFile());
    Tags rankTwo;
    for (bool more = db.SeekValue(Property::Int16(2, 2)); more; more = db.SeekNextEqual())
        rankTwo.push_back(Tag(db));
    EXPECT_EQ((Tags{-3, -6, -9}), rankTwo);

    fill(0);
    ASSERT_TRUE(db.AddAll(records));
    EXPECT_EQ(indexes, IndexesOfFile());
    // Every sort order finds every record, equal keys in insertion order.
    rankTwo.clear();
    for (bool more = db.SeekValue(Property::Int16(2, 2)); more; more = db.SeekNextEqual())
        rankTwo.push_back(Tag(db));
    ASSERT_EQ(size_t(3 + count / 3), rankTwo.size());
    EXPECT_EQ((Tags{-3, -6, -9, 2, 5}), Tags(rankTwo.begin(), rankTwo.begin() + 5));
    EXPECT_TRUE(std::is_sorted(rankTwo.begin() + 3, rankTwo.end()));
    Database byId, byName;
    ASSERT_TRUE(byId.Open(u"T", IdSort));
    ASSERT_TRUE(byName.Open(u"T", NameSort));
    for (int i : {0, 1, count / 2, count - 1})
    {
        ASSERT_TRUE(byId.SeekValue(Property::Int32(3, i * 7919 % 100003))) << i;
        EXPECT_EQ(i, Tag(byId));
    }
    int named = 0;
    for (bool more = byName.SeekValue(Property::String(1, u"n")); more; more = byName.SeekNextEqual())
        ++named;
    EXPECT_EQ(count, named);
    Database plain;
    ASSERT_TRUE(plain.Open(u"T"));
    Tags inserted;
    for (int i = 0; i < 10; ++i)
        inserted.push_back(-1 - i);
    for (int i = 0; i < count; ++i)
        inserted.push_back(i);
    EXPECT_EQ(inserted, Walk(plain)) << "insertion order";

    // The index is used again at once, for a record added after.
    AddTagged(99999, {Property::Int16(2, 2), Property::Int32(3, -99999)});
    ASSERT_TRUE(byId.SeekValue(Property::Int32(3, -99999)));
    EXPECT_EQ(99999, Tag(byId));
}

TEST_F(ObjectStoreTest, AddAllOfManyIsUndoneAsOneStep)
{
    Undo::Clear();
    AddTagged(-1, {Property::Int32(3, -1)});
    std::vector<PropertyList> records;
    for (int i = 0; i < int(detail::RebuildIndexesFrom); ++i)
        records.push_back({Property::Int32(0, i), Property::Int32(3, i)});
    {
        UndoStep step(u"Import");
        ASSERT_TRUE(db.AddAll(records));
    }
    ASSERT_EQ(UndoOutcome::Done, Undo::UndoLast());
    Database plain, byId;
    ASSERT_TRUE(plain.Open(u"T"));
    EXPECT_EQ((Tags{-1}), Walk(plain));
    ASSERT_EQ(UndoOutcome::Done, Undo::RedoLast());
    ASSERT_TRUE(byId.Open(u"T", IdSort));
    ASSERT_TRUE(byId.SeekValue(Property::Int32(3, 4000)));
    EXPECT_EQ(4000, Tag(byId));
    EXPECT_EQ(size_t(1) + records.size(), Walk(plain).size());
    Undo::Clear();
}

TEST_F(ObjectStoreTest, WriteReplacesOnlyTheGivenProperties)
{
    AddTagged(1, {Property::String(1, u"old"), Property::Int16(2, 4)});
    ASSERT_TRUE(db.SeekFirst());
    ASSERT_TRUE(db.Write({Property::String(1, u"new"), Property::Int32(3, 77)}));
    PropertyList props;
    ASSERT_TRUE(db.Read(props));
    EXPECT_EQ(u"new", FindProp(props, 1)->text);
    EXPECT_EQ(4, FindProp(props, 2)->number);
    EXPECT_EQ(77, FindProp(props, 3)->number);
    EXPECT_EQ(1, FindProp(props, 0)->number);

    Database byId;
    ASSERT_TRUE(byId.Open(u"T", IdSort));
    EXPECT_TRUE(byId.SeekValue(Property::Int32(3, 77))) << "the written property is sorted on";
}

TEST_F(ObjectStoreTest, DeleteByObjectId)
{
    const ObjectId first = AddTagged(1, {});
    const ObjectId second = AddTagged(2, {});
    EXPECT_NE(0, first);
    EXPECT_NE(first, second);
    EXPECT_EQ(0, db.CurrentObjectId());
    ASSERT_TRUE(db.SeekFirst());
    EXPECT_EQ(first, db.CurrentObjectId());
    EXPECT_TRUE(db.Delete(first));
    EXPECT_FALSE(db.Delete(first));
    EXPECT_EQ((Tags{2}), Walk(db));
    EXPECT_FALSE(db.Write({Property::Int16(2, 1)})) << "no record is current after the walk";
}

TEST_F(ObjectStoreTest, TextRoundTripsUnchanged)
{
    const std::vector<std::u16string> texts{
        std::u16string(100000, u'x') + u"end",
        u"\U0001F600\U0001F44D\U0001F3FD emoji",
        u"\u05E9\u05DC\u05D5\u05DD \u0645\u0631\u062D\u0628\u0627 RTL",
        u"line1\nline2\r\nline3\rtab\there",
        u"lone \xD800 surrogate",
        u""};
    for (size_t i = 0; i < texts.size(); ++i)
        AddTagged(int(i), {Property::String(1, texts[i])});
    ResetConnection(); // read back from the file, not from memory
    Database plain;
    ASSERT_TRUE(plain.Open(u"T"));
    size_t i = 0;
    for (bool more = plain.SeekFirst(); more; more = plain.SeekNext(), ++i)
    {
        PropertyList props;
        ASSERT_TRUE(plain.Read(props));
        ASSERT_LT(i, texts.size());
        EXPECT_EQ(texts[i], FindProp(props, 1)->text) << "text " << i;
    }
    EXPECT_EQ(texts.size(), i);
}

class ObjectStoreTransactionTest : public ObjectStoreTest
{
protected:
    uint32_t Count()
    {
        uint32_t count = 0;
        EXPECT_TRUE(db.Count(count));
        return count;
    }
};

TEST_F(ObjectStoreTransactionTest, CommitLandsAndDestructionRollsBack)
{
    {
        Transaction tx;
        AddTagged(1, {});
        AddTagged(2, {});
        EXPECT_TRUE(tx.Commit());
    }
    EXPECT_EQ(2u, Count());
    {
        Transaction tx;
        AddTagged(3, {});
        ASSERT_TRUE(db.SeekFirst());
        ASSERT_TRUE(db.Delete(db.CurrentObjectId()));
    }
    EXPECT_EQ((Tags{1, 2}), Walk(db));
}

TEST_F(ObjectStoreTransactionTest, NestedOnlyOutermostCommits)
{
    {
        Transaction outer;
        {
            Transaction inner;
            AddTagged(1, {});
            EXPECT_TRUE(inner.Commit());
        }
        EXPECT_EQ(1u, Count()) << "visible inside";
        // outer left without Commit
    }
    EXPECT_EQ(0u, Count());
    {
        Transaction outer;
        AddTagged(2, {});
        {
            Transaction inner;
            AddTagged(3, {});
        } // inner abandoned: the whole change fails
        EXPECT_TRUE(outer.Failed());
        EXPECT_FALSE(outer.Commit());
    }
    EXPECT_EQ(0u, Count());
}

TEST_F(ObjectStoreTransactionTest, FailedWriteFailsTheWholeChange)
{
    AddTagged(1, {});
    Transaction tx;
    AddTagged(2, {});
    ASSERT_TRUE(db.SeekFirst());
    EXPECT_FALSE(db.Delete(12345)); // no such record
    EXPECT_TRUE(tx.Failed());
    EXPECT_FALSE(db.Add({Property::Int32(0, 3)})) << "refused once failed";
    EXPECT_FALSE(tx.Commit());
    EXPECT_EQ((Tags{1}), Walk(db));
    EXPECT_FALSE(LastError().empty());

    Transaction again;
    AddTagged(4, {});
    EXPECT_TRUE(again.Commit()) << "the next change starts clean";
    EXPECT_EQ(2u, Count());
}
}
