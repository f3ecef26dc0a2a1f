// Export of the store to iCalendar.

#include "sync/IcalExchange.h"

#include "store/IcalStore.h"
#include "store/ListStore.h"
#include "sync/IcalMapping.h"
#include "sync/IcalText.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace IcalExchange
{
namespace
{
using RowKey = std::pair<int, int32_t>;

std::string Errno(const std::string& what)
{
    return what + ": " + std::strerror(errno);
}

std::string DirOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}
}

bool ExportText(const std::u16string& category, std::string& text, std::string& error)
{
    // A store that cannot be written still exports; records without a
    // stored UID then get one for this file only.
    IcalStore::EnsureUids();
    std::vector<IcalStore::Extra> rows;
    ListArray lists;
    if (!IcalStore::LoadAll(rows) || !lists.LoadLists(category))
    {
        error = "cannot read the store: " + IcalText::ToUtf8(ListStore::LastError());
        return false;
    }
    std::map<RowKey, IcalStore::Extra> byRecord;
    for (IcalStore::Extra& row : rows)
    {
        const RowKey key{int(row.kind), row.id};
        byRecord.emplace(key, std::move(row));
    }
    auto extraOf = [&](IcalStore::Kind kind, int32_t id) -> const IcalStore::Extra& {
        auto it = byRecord.find({int(kind), id});
        if (it == byRecord.end())
        {
            IcalStore::Extra e;
            e.kind = kind;
            e.id = id;
            e.uid = IcalStore::NewUid();
            it = byRecord.emplace(RowKey{int(kind), id}, std::move(e)).first;
        }
        return it->second;
    };

    const std::time_t now = std::time(nullptr);
    std::vector<std::string> todos;
    for (ListRecord& list : lists)
    {
        if (!list.LoadItems(FilterAll))
        {
            error = "cannot read the store: " + IcalText::ToUtf8(ListStore::LastError());
            return false;
        }
        const IcalStore::Extra& listRow = extraOf(IcalStore::Kind::Checklist, list.id);
        todos.push_back(IcalMapping::WriteChecklist(list, listRow, now));
        for (const ItemRecord& item : list.items)
            todos.push_back(IcalMapping::WriteItem(item, extraOf(IcalStore::Kind::Item, item.id), listRow.uid, now));
        list.items.clear();
    }
    text = IcalMapping::WriteCalendar(todos);
    return true;
}

bool ExportFile(const std::string& path, const std::u16string& category, std::string& error)
{
    std::string text;
    if (!ExportText(category, text, error))
        return false;
    const std::string dir = DirOf(path);
    std::string temp = path + ".XXXXXX";
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
    {
        error = Errno("cannot write " + path);
        return false;
    }
    struct Guard
    {
        std::string path;
        bool keep = false;
        ~Guard()
        {
            if (!keep)
                ::unlink(path.c_str());
        }
    } guard{temp};
    ::fchmod(fd, 0644 & ~[] {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return mask;
    }());
    size_t done = 0;
    while (done < text.size())
    {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
        {
            error = Errno("cannot write " + path);
            ::close(fd);
            return false;
        }
        done += size_t(n);
    }
    if (::fsync(fd) != 0)
    {
        error = Errno("cannot write " + path);
        ::close(fd);
        return false;
    }
    if (::close(fd) != 0)
    {
        error = Errno("cannot write " + path);
        return false;
    }
    if (::rename(temp.c_str(), path.c_str()) != 0)
    {
        error = Errno("cannot write " + path);
        return false;
    }
    guard.keep = true;
    if (const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dfd >= 0)
    {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}
}
