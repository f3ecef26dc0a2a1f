#ifndef TALLYARD_BENCH_SYNCCOUNTER_H
#define TALLYARD_BENCH_SYNCCOUNTER_H

// A pass-through default VFS that counts the file syncs SQLite asks for.

#include <cstdint>

namespace SyncCounter
{
/// Registers the counting VFS as the default; call before any file opens.
bool Install();
uint64_t Syncs();
}

#endif
