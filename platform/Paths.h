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
}

#endif
