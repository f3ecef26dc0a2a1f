#ifndef TALLYARD_PLATFORM_PATHS_H
#define TALLYARD_PLATFORM_PATHS_H

#include <string>

namespace Paths
{
/// $XDG_DATA_HOME/tallyard (default ~/.local/share/tallyard), read afresh
/// from the environment at every call.
std::string DataDir();
/// $XDG_CONFIG_HOME/tallyard (default ~/.config/tallyard).
std::string ConfigDir();
/// Creates `dir` and its missing parents, the last one with mode 0700.
/// True when it exists as a folder afterwards.
bool EnsureDir(const std::string& dir);
/// Removes the files of `dir` whose names begin with `prefix` and that were
/// last changed more than `minAgeSeconds` ago: temporaries left by a process
/// killed while it made a file. Young ones may belong to a running process.
void RemoveStaleFiles(const std::string& dir, const std::string& prefix, long minAgeSeconds);
}

#endif
