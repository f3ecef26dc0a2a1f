#ifndef TALLYARD_PLATFORM_PROCESS_H
#define TALLYARD_PLATFORM_PROCESS_H

// Process creation: the program names the device's programs and paths;
// they are mapped to this installation's before the process is spawned.

#include <functional>
#include <string>
#include <vector>

/// Starts `application` with `commandLine` as its one argument (posix_spawn,
/// no shell, nothing waited for). "PegHelp.exe" maps to the help viewer and a
/// command line beginning with "\Windows\Tallyard.htm" to the help file.
/// Returns whether the process was started.
bool CreateProcess(const std::u16string& application, const std::u16string& commandLine);

namespace Process
{
/// The argument vector CreateProcess hands to posix_spawn (argv[0] is the
/// program path). Replaceable so tests can see it without spawning.
using Launcher = std::function<bool(const std::vector<std::string>& argv)>;
void SetLauncher(Launcher launcher);
void ResetLauncher();

/// The mapped paths, for tests and the help viewer.
std::string HelpViewerPath();
std::string HelpFilePath();
}

#endif
