// Export of the store to iCalendar.

#include "sync/IcalExchange.h"

#include "store/IcalStore.h"
#include "store/ListStore.h"
#include "sync/IcalMapping.h"
#include "sync/IcalParallel.h"
#include "sync/IcalText.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <unordered_map>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace IcalExchange
{
namespace
{
using RowKey = int64_t;

RowKey Key(IcalStore::Kind kind, int32_t id)
{
    return (int64_t(kind) << 32) | uint32_t(id);
}

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
    const bool every = category.empty() || category == u"All";
    if (!every)
        IcalStore::EnsureUids();
    std::vector<IcalStore::Extra> rows;
    ListArray lists;
    size_t others = 0;
    auto fail = [&] {
        error = "cannot read the store: " + IcalText::ToUtf8(ListStore::LastError());
        return false;
    };
    if (!IcalStore::LoadAll(rows) || !lists.LoadLists(category) || !lists.LoadAllItems(&others))
        return fail();
    std::unordered_map<RowKey, IcalStore::Extra> byRecord;
    auto index = [&] {
        byRecord.clear();
        byRecord.reserve(rows.size());
        for (IcalStore::Extra& row : rows)
            byRecord.emplace(Key(row.kind, row.id), std::move(row));
        rows.clear();
    };
    index();
    auto rowless = [&] {
        for (const ListRecord& list : lists)
        {
            if (!byRecord.count(Key(IcalStore::Kind::Checklist, list.id)))
                return true;
            for (const ItemRecord& item : list.items)
                if (!byRecord.count(Key(IcalStore::Kind::Item, item.id)))
                    return true;
        }
        return false;
    };
    // Every record has its row once there is nothing to add.
    if (every && (others > 0 || rowless()))
    {
        IcalStore::EnsureUids();
        if (!IcalStore::LoadAll(rows))
            return fail();
        index();
    }
    auto extraOf = [&](IcalStore::Kind kind, int32_t id) -> const IcalStore::Extra* {
        auto it = byRecord.find(Key(kind, id));
        if (it == byRecord.end())
        {
            IcalStore::Extra e;
            e.kind = kind;
            e.id = id;
            e.uid = IcalStore::NewUid();
            it = byRecord.emplace(Key(kind, id), std::move(e)).first;
        }
        return &it->second;
    };

    // What each VTODO is made of, in file order; then the VTODOs, written by
    // libical on all cores, each part in its own text.
    struct Job
    {
        const ListRecord* list;
        const ItemRecord* item; // null for the checklist itself
        const IcalStore::Extra* extra;
        const IcalStore::Extra* listExtra;
    };
    std::vector<Job> jobs;
    for (const ListRecord& list : lists)
    {
        const IcalStore::Extra* listRow = extraOf(IcalStore::Kind::Checklist, list.id);
        jobs.push_back({&list, nullptr, listRow, listRow});
        for (const ItemRecord& item : list.items)
            jobs.push_back({&list, &item, extraOf(IcalStore::Kind::Item, item.id), listRow});
    }
    const std::time_t now = std::time(nullptr);
    std::vector<std::string> parts(IcalParallel::Parts(jobs.size()));
    IcalParallel::ForSlices(jobs.size(), parts.size(), [&](size_t part, size_t first, size_t last) {
        std::string& out = parts[part];
        for (size_t i = first; i < last; ++i)
        {
            const Job& job = jobs[i];
            out += job.item ? IcalMapping::WriteItem(*job.item, *job.extra, job.listExtra->uid, now)
                            : IcalMapping::WriteChecklist(*job.list, *job.extra, now);
        }
    });
    text = IcalMapping::WriteCalendar(parts);
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
