#ifndef TALLYARD_CLI_CLICOMMANDS_H
#define TALLYARD_CLI_CLICOMMANDS_H

// The commands of tallyard-cli, on the same store as the program.

#include <iosfwd>
#include <string>
#include <vector>

namespace Cli
{
enum ExitCode
{
    ExitDone = 0,
    ExitFailed = 1,
    ExitUsage = 2
};

/// Runs one command line (without the program name). Data goes to `out`,
/// the one-line messages ("tallyard-cli: ...") to `err`; `in` is read for
/// "import -".
int Run(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err);

/// A field of "list": backslash, tab and line break written \\, \t, \n.
std::string Escaped(const std::string& field);

extern const char* const Usage;
}

#endif
