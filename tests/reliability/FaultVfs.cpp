#include "tests/reliability/FaultVfs.h"

#include <sqlite3.h>

#include <cstring>
#include <map>
#include <mutex>
#include <set>

namespace FaultVfs
{
namespace
{
struct State
{
    std::mutex mutex;
    int counts[4] = {};
    int armedOp = -1;
    int armedK = 0;
    int seen = 0; // armed-kind operations since Arm()
    bool persistent = false;
    bool diskFull = false;
    int injected = 0;
    std::set<std::string> unsynced;
    bool walSeen = false;
};

State& S()
{
    static State s;
    return s;
}

sqlite3_vfs* g_real = nullptr;
sqlite3_vfs g_vfs;

// True when this operation is to fail; counts it either way.
bool Tick(Op op)
{
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    ++s.counts[static_cast<int>(op)];
    if (s.armedOp != static_cast<int>(op))
        return false;
    ++s.seen;
    if (s.seen == s.armedK || (s.persistent && s.seen > s.armedK))
    {
        ++s.injected;
        return true;
    }
    return false;
}

struct ShimFile
{
    sqlite3_file base;
    sqlite3_file* real;
    std::string name;
    bool tracked; // main db, journal or WAL: writes must be synced
};

sqlite3_file* Real(sqlite3_file* f) { return reinterpret_cast<ShimFile*>(f)->real; }
ShimFile* Shim(sqlite3_file* f) { return reinterpret_cast<ShimFile*>(f); }

int xClose(sqlite3_file* f)
{
    int rc = Real(f)->pMethods ? Real(f)->pMethods->xClose(Real(f)) : SQLITE_OK;
    Shim(f)->name.~basic_string();
    sqlite3_free(Real(f));
    return rc;
}

int xRead(sqlite3_file* f, void* buf, int n, sqlite3_int64 off)
{
    return Real(f)->pMethods->xRead(Real(f), buf, n, off);
}

int xWrite(sqlite3_file* f, const void* buf, int n, sqlite3_int64 off)
{
    if (Tick(Op::Write))
        return S().diskFull ? SQLITE_FULL : SQLITE_IOERR_WRITE;
    int rc = Real(f)->pMethods->xWrite(Real(f), buf, n, off);
    if (rc == SQLITE_OK && Shim(f)->tracked)
    {
        std::lock_guard<std::mutex> lock(S().mutex);
        S().unsynced.insert(Shim(f)->name);
    }
    return rc;
}

int xTruncate(sqlite3_file* f, sqlite3_int64 size)
{
    if (Tick(Op::Truncate))
        return SQLITE_IOERR_TRUNCATE;
    int rc = Real(f)->pMethods->xTruncate(Real(f), size);
    if (rc == SQLITE_OK && Shim(f)->tracked)
    {
        std::lock_guard<std::mutex> lock(S().mutex);
        S().unsynced.insert(Shim(f)->name);
    }
    return rc;
}

int xSync(sqlite3_file* f, int flags)
{
    if (Tick(Op::Sync))
        return SQLITE_IOERR_FSYNC;
    int rc = Real(f)->pMethods->xSync(Real(f), flags);
    if (rc == SQLITE_OK)
    {
        std::lock_guard<std::mutex> lock(S().mutex);
        S().unsynced.erase(Shim(f)->name);
    }
    return rc;
}

int xFileSize(sqlite3_file* f, sqlite3_int64* size) { return Real(f)->pMethods->xFileSize(Real(f), size); }
int xLock(sqlite3_file* f, int l) { return Real(f)->pMethods->xLock(Real(f), l); }
int xUnlock(sqlite3_file* f, int l) { return Real(f)->pMethods->xUnlock(Real(f), l); }
int xCheckReservedLock(sqlite3_file* f, int* out) { return Real(f)->pMethods->xCheckReservedLock(Real(f), out); }
int xFileControl(sqlite3_file* f, int op, void* arg) { return Real(f)->pMethods->xFileControl(Real(f), op, arg); }
int xSectorSize(sqlite3_file* f) { return Real(f)->pMethods->xSectorSize(Real(f)); }
int xDeviceCharacteristics(sqlite3_file* f) { return Real(f)->pMethods->xDeviceCharacteristics(Real(f)); }
int xShmMap(sqlite3_file* f, int pg, int sz, int extend, void volatile** p)
{
    return Real(f)->pMethods->xShmMap(Real(f), pg, sz, extend, p);
}
int xShmLock(sqlite3_file* f, int off, int n, int flags) { return Real(f)->pMethods->xShmLock(Real(f), off, n, flags); }
void xShmBarrier(sqlite3_file* f) { Real(f)->pMethods->xShmBarrier(Real(f)); }
int xShmUnmap(sqlite3_file* f, int del) { return Real(f)->pMethods->xShmUnmap(Real(f), del); }
int xFetch(sqlite3_file* f, sqlite3_int64 off, int n, void** p)
{
    return Real(f)->pMethods->xFetch(Real(f), off, n, p);
}
int xUnfetch(sqlite3_file* f, sqlite3_int64 off, void* p) { return Real(f)->pMethods->xUnfetch(Real(f), off, p); }

sqlite3_io_methods MakeMethods(int version)
{
    sqlite3_io_methods m{};
    m.iVersion = version;
    m.xClose = xClose;
    m.xRead = xRead;
    m.xWrite = xWrite;
    m.xTruncate = xTruncate;
    m.xSync = xSync;
    m.xFileSize = xFileSize;
    m.xLock = xLock;
    m.xUnlock = xUnlock;
    m.xCheckReservedLock = xCheckReservedLock;
    m.xFileControl = xFileControl;
    m.xSectorSize = xSectorSize;
    m.xDeviceCharacteristics = xDeviceCharacteristics;
    m.xShmMap = xShmMap;
    m.xShmLock = xShmLock;
    m.xShmBarrier = xShmBarrier;
    m.xShmUnmap = xShmUnmap;
    m.xFetch = xFetch;
    m.xUnfetch = xUnfetch;
    return m;
}

const sqlite3_io_methods* MethodsFor(int version)
{
    static sqlite3_io_methods v1 = MakeMethods(1), v2 = MakeMethods(2), v3 = MakeMethods(3);
    return version >= 3 ? &v3 : version == 2 ? &v2 : &v1;
}

int xOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags)
{
    ShimFile* shim = Shim(file);
    shim->base.pMethods = nullptr;
    auto* real = static_cast<sqlite3_file*>(sqlite3_malloc(g_real->szOsFile));
    if (!real)
        return SQLITE_NOMEM;
    std::memset(real, 0, g_real->szOsFile);
    int rc = g_real->xOpen(g_real, name, real, flags, outFlags);
    if (rc != SQLITE_OK || !real->pMethods)
    {
        if (real->pMethods)
            real->pMethods->xClose(real);
        sqlite3_free(real);
        return rc;
    }
    shim->real = real;
    new (&shim->name) std::string(name ? name : "");
    shim->tracked = (flags & (SQLITE_OPEN_MAIN_DB | SQLITE_OPEN_MAIN_JOURNAL | SQLITE_OPEN_WAL)) != 0;
    if (flags & SQLITE_OPEN_WAL)
    {
        std::lock_guard<std::mutex> lock(S().mutex);
        S().walSeen = true;
    }
    shim->base.pMethods = MethodsFor(real->pMethods->iVersion);
    return SQLITE_OK;
}

int xDelete(sqlite3_vfs*, const char* name, int syncDir)
{
    if (Tick(Op::Delete))
        return SQLITE_IOERR_DELETE;
    int rc = g_real->xDelete(g_real, name, syncDir);
    if (rc == SQLITE_OK)
    {
        std::lock_guard<std::mutex> lock(S().mutex);
        S().unsynced.erase(name);
    }
    return rc;
}

int xAccess(sqlite3_vfs*, const char* n, int f, int* out) { return g_real->xAccess(g_real, n, f, out); }
int xFullPathname(sqlite3_vfs*, const char* n, int sz, char* out) { return g_real->xFullPathname(g_real, n, sz, out); }
void* xDlOpen(sqlite3_vfs*, const char* n) { return g_real->xDlOpen(g_real, n); }
void xDlError(sqlite3_vfs*, int n, char* m) { g_real->xDlError(g_real, n, m); }
void (*xDlSym(sqlite3_vfs*, void* h, const char* s))(void) { return g_real->xDlSym(g_real, h, s); }
void xDlClose(sqlite3_vfs*, void* h) { g_real->xDlClose(g_real, h); }
int xRandomness(sqlite3_vfs*, int n, char* out) { return g_real->xRandomness(g_real, n, out); }
int xSleep(sqlite3_vfs*, int us) { return g_real->xSleep(g_real, us); }
int xCurrentTime(sqlite3_vfs*, double* t) { return g_real->xCurrentTime(g_real, t); }
int xGetLastError(sqlite3_vfs*, int n, char* m) { return g_real->xGetLastError(g_real, n, m); }
int xCurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* t) { return g_real->xCurrentTimeInt64(g_real, t); }
}

const char* Name(Op op)
{
    switch (op)
    {
    case Op::Write:
        return "write";
    case Op::Sync:
        return "sync";
    case Op::Truncate:
        return "truncate";
    case Op::Delete:
        return "delete";
    }
    return "?";
}

void Install()
{
    if (g_real)
        return;
    sqlite3_initialize();
    g_real = sqlite3_vfs_find(nullptr);
    g_vfs = sqlite3_vfs{};
    g_vfs.iVersion = 2;
    g_vfs.szOsFile = sizeof(ShimFile);
    g_vfs.mxPathname = g_real->mxPathname;
    g_vfs.zName = "tallyard-fault";
    g_vfs.xOpen = xOpen;
    g_vfs.xDelete = xDelete;
    g_vfs.xAccess = xAccess;
    g_vfs.xFullPathname = xFullPathname;
    g_vfs.xDlOpen = xDlOpen;
    g_vfs.xDlError = xDlError;
    g_vfs.xDlSym = xDlSym;
    g_vfs.xDlClose = xDlClose;
    g_vfs.xRandomness = xRandomness;
    g_vfs.xSleep = xSleep;
    g_vfs.xCurrentTime = xCurrentTime;
    g_vfs.xGetLastError = xGetLastError;
    g_vfs.xCurrentTimeInt64 = xCurrentTimeInt64;
    sqlite3_vfs_register(&g_vfs, 1);
}

void Arm(Op op, int k, bool persistent, bool diskFull)
{
    std::lock_guard<std::mutex> lock(S().mutex);
    S().armedOp = static_cast<int>(op);
    S().armedK = k;
    S().seen = 0;
    S().persistent = persistent;
    S().diskFull = diskFull;
    S().injected = 0;
}

void Disarm()
{
    std::lock_guard<std::mutex> lock(S().mutex);
    S().armedOp = -1;
}

int Injected()
{
    std::lock_guard<std::mutex> lock(S().mutex);
    return S().injected;
}

int Count(Op op)
{
    std::lock_guard<std::mutex> lock(S().mutex);
    return S().counts[static_cast<int>(op)];
}

void ResetCounts()
{
    std::lock_guard<std::mutex> lock(S().mutex);
    for (int& c : S().counts)
        c = 0;
}

std::vector<std::string> UnsyncedFiles()
{
    std::lock_guard<std::mutex> lock(S().mutex);
    return {S().unsynced.begin(), S().unsynced.end()};
}

bool WalSeen()
{
    std::lock_guard<std::mutex> lock(S().mutex);
    return S().walSeen;
}
}
