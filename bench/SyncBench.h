#ifndef TALLYARD_BENCH_SYNCBENCH_H
#define TALLYARD_BENCH_SYNCBENCH_H

// The editor's part of the sync benchmark: ticks in the checklist editor
// while the program's automatic syncs run, and the same ticks with sync off.

#include "sync/CalDavHttp.h"

#include <cstddef>
#include <functional>

struct EditorTicks
{
    double syncOn = 0;  ///< median ms of the ticks made while a sync ran
    double syncOff = 0; ///< median ms with automatic sync off
    double cpuOn = 0;   ///< median ms of the windows' thread's own CPU in a tick
    double cpuOff = 0;
    double queuedOn = 0; ///< median ms the windows' thread waited for a core in a tick
    double queuedOff = 0;
    size_t onCount = 0;
    size_t offCount = 0;
    int syncs = 0;           ///< automatic syncs that ended, all of them well
    size_t syncRequests = 0; ///< requests of those syncs
};

/// Runs the editor on the first checklist of the store; `requests` reads
/// the request count of the relay in front of the server.
bool MeasureEditorTicks(int argc, char** argv, const CalDav::Account& account,
                        const std::function<size_t()>& requests, EditorTicks& out);

#endif
