#include "tests/reliability/StoreModel.h"

#include "platform/ObjectStore.h"
#include "platform/Paths.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>

bool StoreModel::Load()
{
    categories.clear();
    lists.clear();
    if (!categories.LoadCategories())
        return false;
    ListArray all;
    if (!all.LoadLists(u"All"))
        return false;
    for (ListRecord& list : all)
    {
        if (!list.LoadItems(FilterAll))
            return false;
        lists.push_back(list);
    }
    return true;
}

namespace
{
void Field(std::ostringstream& out, const std::u16string& text)
{
    for (char16_t c : text)
    {
        if (c >= 0x20 && c < 0x7f && c != '|' && c != '\\')
            out << static_cast<char>(c);
        else
        {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
            out << buf;
        }
    }
    out << '|';
}
}

std::string StoreModel::Canonical() const
{
    std::ostringstream out;
    for (const CategoryRecord& c : categories)
    {
        out << "C ";
        Field(out, c.name);
        out << c.order << '\n';
    }
    std::vector<const ListRecord*> sorted;
    for (const ListRecord& l : lists)
        sorted.push_back(&l);
    std::sort(sorted.begin(), sorted.end(), [](auto* a, auto* b) { return a->name < b->name; });
    for (const ListRecord* l : sorted)
    {
        out << "L ";
        Field(out, l->name);
        Field(out, l->category);
        Field(out, l->note);
        out << l->position << '|' << l->itemCount << '|' << l->uncheckedCount << '\n';
        std::vector<const ItemRecord*> items;
        for (const ItemRecord& i : l->items)
            items.push_back(&i);
        std::sort(items.begin(), items.end(),
                  [](auto* a, auto* b) { return a->name != b->name ? a->name < b->name : a->position < b->position; });
        for (const ItemRecord* i : items)
        {
            out << "  I ";
            Field(out, i->name);
            Field(out, i->details);
            out << i->position << '|' << i->checked << '|' << i->priority << '\n';
        }
    }
    return out.str();
}

std::string StoreModel::CountErrors() const
{
    std::ostringstream out;
    for (const ListRecord& l : lists)
    {
        int unchecked = 0;
        for (const ItemRecord& i : l.items)
            unchecked += i.checked == 0;
        if (l.itemCount != static_cast<int>(l.items.size()) || l.uncheckedCount != unchecked)
            out << Utf8(l.name) << ": stored counts " << l.itemCount << '/' << l.uncheckedCount << ", items "
                << l.items.size() << '/' << unchecked << '\n';
    }
    return out.str();
}

ListRecord* StoreModel::Find(int32_t id)
{
    for (ListRecord& l : lists)
        if (l.id == id)
            return &l;
    return nullptr;
}

std::string OrphanErrors()
{
    using namespace ObjectStore;
    std::set<int32_t> lists;
    Database db;
    if (!db.Open(u"KvTyChecklists"))
        return "cannot open the checklists\n";
    for (bool more = db.SeekFirst(); more; more = db.SeekNext())
    {
        PropertyList props;
        if (!db.Read(props) || !FindProp(props, 0))
            return "unreadable checklist record\n";
        lists.insert(FindProp(props, 0)->number);
    }
    Database items;
    if (!items.Open(u"KvTyItems"))
        return "cannot open the items\n";
    std::ostringstream out;
    for (bool more = items.SeekFirst(); more; more = items.SeekNext())
    {
        PropertyList props;
        if (!items.Read(props) || !FindProp(props, 1))
            return "unreadable item record\n";
        if (!lists.count(FindProp(props, 1)->number))
            out << "item of missing checklist " << FindProp(props, 1)->number << '\n';
    }
    return out.str();
}

uint64_t Fnv1a(const std::string& text)
{
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : text)
        h = (h ^ c) * 1099511628211ull;
    return h;
}

std::string Utf8(const std::u16string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i)
    {
        uint32_t c = text[i];
        if (c >= 0xd800 && c < 0xdc00 && i + 1 < text.size() && text[i + 1] >= 0xdc00 && text[i + 1] < 0xe000)
            c = 0x10000 + ((c - 0xd800) << 10) + (text[++i] - 0xdc00);
        if (c < 0x80)
            out += static_cast<char>(c);
        else if (c < 0x800)
            out += {static_cast<char>(0xc0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3f))};
        else if (c < 0x10000)
            out += {static_cast<char>(0xe0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3f)),
                    static_cast<char>(0x80 | (c & 0x3f))};
        else
            out += {static_cast<char>(0xf0 | (c >> 18)), static_cast<char>(0x80 | ((c >> 12) & 0x3f)),
                    static_cast<char>(0x80 | ((c >> 6) & 0x3f)), static_cast<char>(0x80 | (c & 0x3f))};
    }
    return out;
}

std::string StorePath() { return Paths::DataDir() + "/objectstore.db"; }
std::string RegistryPath() { return Paths::ConfigDir() + "/registry.db"; }

std::string IntegrityCheck(const std::string& path)
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
    {
        std::string err = db ? sqlite3_errmsg(db) : "open failed";
        sqlite3_close(db);
        return err;
    }
    std::string result;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr) != SQLITE_OK)
        result = sqlite3_errmsg(db);
    else
    {
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW)
            result += reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        if (rc != SQLITE_DONE)
            result += sqlite3_errmsg(db);
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return result;
}

std::string ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

bool WriteFileBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}
