#include "store/ListStore.h"
#include "store/StoreDetail.h"

#include <algorithm>

using namespace StoreDetail;
using ObjectStore::Property;
using ObjectStore::PropertyList;

bool CategoryList::LoadCategories()
{
    clear();
    ObjectStore::Database db;
    if (!db.Open(CategoriesDb, CatOrderSort))
        return Result(false);
    for (bool more = db.SeekFirst(); more; more = db.SeekNext())
    {
        PropertyList props;
        if (!db.Read(props))
        {
            clear();
            return Result(false);
        }
        CategoryRecord record;
        record.name = TextOf(props, CatName);
        record.order = int16_t(NumberOf(props, CatOrder));
        push_back(std::move(record));
    }
    std::stable_sort(begin(), end(), [](const CategoryRecord& a, const CategoryRecord& b) { return a.order < b.order; });
    return true;
}

bool CategoryList::SaveCategories() const
{
    // Old and new categories are swapped in one transaction, so a failed
    // write loses nothing of the stored list.
    ObjectStore::Transaction tx;
    ObjectStore::Database db;
    if (!db.Open(CategoriesDb))
        return Result(false);
    bool ok = true;
    for (bool more = db.SeekFirst(); ok && more; more = db.SeekNext())
    {
        if (const ObjectStore::ObjectId oid = db.CurrentObjectId(); oid != 0)
            ok = db.Delete(oid);
    }
    for (auto it = begin(); ok && it != end(); ++it)
        ok = db.Add({Property::String(CatName, it->name), Property::Int16(CatOrder, it->order)});
    // A change the file refused is reported once, with its reason, by the
    // program's notice (a refused commit at once): no second box here.
    if (ok)
        return Result(tx.Commit());
    if (!tx.Refused())
        ShowMessage(ListStore::LastError(), u"Error");
    return Result(false);
}
