#ifndef TALLYARD_SYNC_SYNCCOMMAND_H
#define TALLYARD_SYNC_SYNCCOMMAND_H

// `tallyard-cli sync [--url URL] [--user NAME] [--password-file FILE]`: one
// sync of the store, with the account of Sync Settings or, for this run
// only, the options given. Exit status 0 synced, 1 failed, 2 usage error.

#include <iosfwd>
#include <string>
#include <vector>

namespace Sync
{
/// `args` are the words after "sync".
int RunSyncCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
extern const char* const kSyncUsage;
}

#endif
