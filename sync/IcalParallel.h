#ifndef TALLYARD_SYNC_ICALPARALLEL_H
#define TALLYARD_SYNC_ICALPARALLEL_H

// Spreads independent work on the records of a large file over the cores.
// libical keeps its error code and temporary buffers per thread; the UTC
// zone it hands out is made once, here, before any worker starts.

#include <libical/ical.h>

#include <algorithm>
#include <cstddef>
#include <thread>
#include <vector>

namespace IcalParallel
{
/// How many parts `count` records are cut into: one per core, none smaller
/// than `least` records, at least one.
inline size_t Parts(size_t count, size_t least = 512)
{
    const size_t cores = std::max(1u, std::thread::hardware_concurrency());
    return std::max<size_t>(1, std::min(cores, count / std::max<size_t>(least, 1)));
}

/// Calls work(part, begin, end) for `parts` consecutive slices of [0, count),
/// the last on the calling thread, and returns when all are done.
template <typename F>
void ForSlices(size_t count, size_t parts, F work)
{
    parts = std::max<size_t>(1, std::min(parts, std::max<size_t>(count, 1)));
    icaltimezone_get_utc_timezone();
    std::vector<std::thread> threads;
    for (size_t p = 0; p + 1 < parts; ++p)
        threads.emplace_back([&work, p, count, parts] { work(p, count * p / parts, count * (p + 1) / parts); });
    work(parts - 1, count * (parts - 1) / parts, count);
    for (std::thread& t : threads)
        t.join();
}
}

#endif
