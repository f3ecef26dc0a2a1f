#include "SyncCounter.h"

#include <sqlite3.h>

#include <atomic>

namespace
{
std::atomic<uint64_t> s_syncs{0};
sqlite3_vfs* s_base = nullptr;
sqlite3_vfs s_vfs;

struct File
{
    sqlite3_file base;
    sqlite3_file* real;
};

sqlite3_file* Real(sqlite3_file* f) { return reinterpret_cast<File*>(f)->real; }

int Close(sqlite3_file* f)
{
    sqlite3_file* real = Real(f);
    const int rc = real->pMethods ? real->pMethods->xClose(real) : SQLITE_OK;
    sqlite3_free(real);
    return rc;
}
int Read(sqlite3_file* f, void* b, int n, sqlite3_int64 o) { return Real(f)->pMethods->xRead(Real(f), b, n, o); }
int Write(sqlite3_file* f, const void* b, int n, sqlite3_int64 o) { return Real(f)->pMethods->xWrite(Real(f), b, n, o); }
int Truncate(sqlite3_file* f, sqlite3_int64 s) { return Real(f)->pMethods->xTruncate(Real(f), s); }
int Sync(sqlite3_file* f, int flags)
{
    ++s_syncs;
    return Real(f)->pMethods->xSync(Real(f), flags);
}
int FileSize(sqlite3_file* f, sqlite3_int64* s) { return Real(f)->pMethods->xFileSize(Real(f), s); }
int Lock(sqlite3_file* f, int l) { return Real(f)->pMethods->xLock(Real(f), l); }
int Unlock(sqlite3_file* f, int l) { return Real(f)->pMethods->xUnlock(Real(f), l); }
int CheckLock(sqlite3_file* f, int* r) { return Real(f)->pMethods->xCheckReservedLock(Real(f), r); }
int FileControl(sqlite3_file* f, int op, void* a) { return Real(f)->pMethods->xFileControl(Real(f), op, a); }
int SectorSize(sqlite3_file* f) { return Real(f)->pMethods->xSectorSize(Real(f)); }
int DeviceChars(sqlite3_file* f) { return Real(f)->pMethods->xDeviceCharacteristics(Real(f)); }
int ShmMap(sqlite3_file* f, int i, int s, int e, void volatile** p) { return Real(f)->pMethods->xShmMap(Real(f), i, s, e, p); }
int ShmLock(sqlite3_file* f, int o, int n, int fl) { return Real(f)->pMethods->xShmLock(Real(f), o, n, fl); }
void ShmBarrier(sqlite3_file* f) { Real(f)->pMethods->xShmBarrier(Real(f)); }
int ShmUnmap(sqlite3_file* f, int d) { return Real(f)->pMethods->xShmUnmap(Real(f), d); }
int Fetch(sqlite3_file* f, sqlite3_int64 o, int n, void** p) { return Real(f)->pMethods->xFetch(Real(f), o, n, p); }
int Unfetch(sqlite3_file* f, sqlite3_int64 o, void* p) { return Real(f)->pMethods->xUnfetch(Real(f), o, p); }

const sqlite3_io_methods s_methods = {3,         Close,      Read,        Write,        Truncate,    Sync,
                                      FileSize,  Lock,       Unlock,      CheckLock,    FileControl, SectorSize,
                                      DeviceChars, ShmMap,   ShmLock,     ShmBarrier,   ShmUnmap,    Fetch,
                                      Unfetch};

int Open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags, int* outFlags)
{
    File* file = reinterpret_cast<File*>(f);
    file->base.pMethods = nullptr;
    file->real = static_cast<sqlite3_file*>(sqlite3_malloc(s_base->szOsFile));
    if (!file->real)
        return SQLITE_NOMEM;
    file->real->pMethods = nullptr;
    const int rc = s_base->xOpen(s_base, name, file->real, flags, outFlags);
    if (rc != SQLITE_OK || !file->real->pMethods)
    {
        sqlite3_free(file->real);
        file->real = nullptr;
        return rc != SQLITE_OK ? rc : SQLITE_CANTOPEN;
    }
    file->base.pMethods = &s_methods;
    return SQLITE_OK;
}
}

namespace SyncCounter
{
bool Install()
{
    s_base = sqlite3_vfs_find(nullptr);
    if (!s_base)
        return false;
    s_vfs = *s_base;
    s_vfs.zName = "tallyard-sync-counter";
    s_vfs.szOsFile = int(sizeof(File));
    s_vfs.xOpen = Open;
    return sqlite3_vfs_register(&s_vfs, 1) == SQLITE_OK;
}

uint64_t Syncs()
{
    return s_syncs.load();
}
}
