#ifndef TALLYARD_TESTS_RELIABILITY_FAULTVFS_H
#define TALLYARD_TESTS_RELIABILITY_FAULTVFS_H

// An SQLite VFS layered over the default one and registered as the default:
// it counts writes, syncs, truncates and deletes, can make the k-th of them
// fail (once or from then on), and keeps, per file, whether something was
// written since the file's last sync.

#include <string>
#include <vector>

namespace FaultVfs
{
enum class Op
{
    Write,
    Sync,
    Truncate,
    Delete
};

const char* Name(Op op);

/// Registers the shim as the default VFS (once per process).
void Install();

/// Fails the k-th (1-based) `op` counted from now; with `persistent` every
/// later one too. `diskFull` makes write faults report SQLITE_FULL.
void Arm(Op op, int k, bool persistent, bool diskFull = false);
void Disarm();
/// Faults injected since the last Arm().
int Injected();

/// Operations of each kind seen since the last ResetCounts().
int Count(Op op);
void ResetCounts();

/// Files (main databases, journals, WALs) written since their last sync.
std::vector<std::string> UnsyncedFiles();
/// Whether a WAL file was opened since Install().
bool WalSeen();
}

#endif
