#ifndef TALLYARD_BENCH_BENCHSUPPORT_H
#define TALLYARD_BENCH_BENCHSUPPORT_H

// Small helpers of the timing programs: medians, a store of n checklists
// and the XDG folders they run on.

#include "store/ListStore.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

inline double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

inline std::u16string BenchName16(int i)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "Checklist %05d", i);
    return std::u16string(buffer, buffer + std::char_traits<char>::length(buffer));
}

/// Stores `count` checklists in one transaction (the store of $XDG_DATA_HOME).
inline bool FillStore(int count)
{
    if (!ListStore::CreateDatabases())
        return false;
    ListStore::Transaction transaction;
    for (int i = 0; i < count; ++i)
    {
        ListRecord list;
        list.name = BenchName16(i);
        list.category = u"Unfiled";
        list.position = static_cast<int16_t>(i);
        list.uncheckedCount = static_cast<int16_t>(i % 37);
        list.itemCount = list.uncheckedCount;
        list.SaveList();
    }
    return transaction.Commit();
}

/// Points XDG_DATA_HOME and XDG_CONFIG_HOME at `root`/data and `root`/config.
inline void UseXdgRoot(const std::string& root)
{
    setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
}

/// A fresh folder for one benchmark's files.
inline std::string MakeTempRoot()
{
    char pattern[] = "/tmp/tallyard-view-bench-XXXXXX";
    const char* dir = mkdtemp(pattern);
    return dir ? dir : "/tmp";
}

#endif
