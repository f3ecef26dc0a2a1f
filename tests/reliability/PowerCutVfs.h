#ifndef TALLYARD_TESTS_RELIABILITY_POWERCUTVFS_H
#define TALLYARD_TESTS_RELIABILITY_POWERCUTVFS_H

// An SQLite VFS, registered as the default, that keeps every write in memory
// until the file is synced and only then puts it in the file. A process that
// uses it and is killed leaves on disk what a power cut would: the synced
// writes, nothing else.

/// Registers the VFS as the default (once per process).
void InstallPowerCutVfs();

#endif
