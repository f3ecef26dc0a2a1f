#include "tests/reliability/PowerCutVfs.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace
{
// What the process sees of one file: the file's synced bytes plus its
// writes since. Shared by every handle on the same path.
struct Shadow
{
    std::string data;
    bool dirty = false;
};

std::mutex g_mutex;
std::map<std::string, std::shared_ptr<Shadow>> g_shadows;
sqlite3_vfs* g_real = nullptr;
sqlite3_vfs g_vfs;

struct File
{
    sqlite3_file base;
    sqlite3_file* real;
    std::shared_ptr<Shadow>* shadow; // null: passed straight through
};

File* F(sqlite3_file* f) { return reinterpret_cast<File*>(f); }
sqlite3_file* Real(sqlite3_file* f) { return F(f)->real; }

int xClose(sqlite3_file* f)
{
    int rc = Real(f)->pMethods->xClose(Real(f));
    delete F(f)->shadow;
    sqlite3_free(Real(f));
    return rc;
}

int xRead(sqlite3_file* f, void* buf, int n, sqlite3_int64 off)
{
    if (!F(f)->shadow)
        return Real(f)->pMethods->xRead(Real(f), buf, n, off);
    std::lock_guard<std::mutex> lock(g_mutex);
    const std::string& d = (*F(f)->shadow)->data;
    const size_t have = off < static_cast<sqlite3_int64>(d.size()) ? std::min<size_t>(n, d.size() - off) : 0;
    if (have)
        std::memcpy(buf, d.data() + off, have);
    if (have < static_cast<size_t>(n))
    {
        std::memset(static_cast<char*>(buf) + have, 0, n - have);
        return SQLITE_IOERR_SHORT_READ;
    }
    return SQLITE_OK;
}

int xWrite(sqlite3_file* f, const void* buf, int n, sqlite3_int64 off)
{
    if (!F(f)->shadow)
        return Real(f)->pMethods->xWrite(Real(f), buf, n, off);
    std::lock_guard<std::mutex> lock(g_mutex);
    Shadow& s = **F(f)->shadow;
    if (s.data.size() < static_cast<size_t>(off + n))
        s.data.resize(off + n, '\0');
    std::memcpy(s.data.data() + off, buf, n);
    s.dirty = true;
    return SQLITE_OK;
}

int xTruncate(sqlite3_file* f, sqlite3_int64 size)
{
    if (!F(f)->shadow)
        return Real(f)->pMethods->xTruncate(Real(f), size);
    std::lock_guard<std::mutex> lock(g_mutex);
    Shadow& s = **F(f)->shadow;
    s.data.resize(size, '\0');
    s.dirty = true;
    return SQLITE_OK;
}

// Only a sync puts the writes into the file.
int xSync(sqlite3_file* f, int flags)
{
    if (F(f)->shadow)
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        Shadow& s = **F(f)->shadow;
        if (s.dirty)
        {
            sqlite3_file* r = Real(f);
            // The unix VFS takes at most 128 KiB per write.
            int rc = SQLITE_OK;
            for (size_t at = 0; rc == SQLITE_OK && at < s.data.size(); at += 65536)
                rc = r->pMethods->xWrite(r, s.data.data() + at, int(std::min<size_t>(65536, s.data.size() - at)),
                                         sqlite3_int64(at));
            if (rc == SQLITE_OK)
                rc = r->pMethods->xTruncate(r, sqlite3_int64(s.data.size()));
            if (rc != SQLITE_OK)
                return rc;
            s.dirty = false;
        }
    }
    return Real(f)->pMethods->xSync(Real(f), flags);
}

int xFileSize(sqlite3_file* f, sqlite3_int64* size)
{
    if (!F(f)->shadow)
        return Real(f)->pMethods->xFileSize(Real(f), size);
    std::lock_guard<std::mutex> lock(g_mutex);
    *size = sqlite3_int64((*F(f)->shadow)->data.size());
    return SQLITE_OK;
}

int xLock(sqlite3_file* f, int l) { return Real(f)->pMethods->xLock(Real(f), l); }
int xUnlock(sqlite3_file* f, int l) { return Real(f)->pMethods->xUnlock(Real(f), l); }
int xCheckReservedLock(sqlite3_file* f, int* out) { return Real(f)->pMethods->xCheckReservedLock(Real(f), out); }
int xFileControl(sqlite3_file* f, int op, void* arg)
{
    // Memory maps would read the file past the unsynced writes.
    if (op == SQLITE_FCNTL_MMAP_SIZE && F(f)->shadow)
    {
        *static_cast<sqlite3_int64*>(arg) = 0;
        return SQLITE_OK;
    }
    return Real(f)->pMethods->xFileControl(Real(f), op, arg);
}
int xSectorSize(sqlite3_file* f) { return Real(f)->pMethods->xSectorSize(Real(f)); }
int xDeviceCharacteristics(sqlite3_file* f) { return Real(f)->pMethods->xDeviceCharacteristics(Real(f)); }
int xShmMap(sqlite3_file* f, int pg, int sz, int extend, void volatile** p)
{
    return Real(f)->pMethods->xShmMap(Real(f), pg, sz, extend, p);
}
int xShmLock(sqlite3_file* f, int off, int n, int flags) { return Real(f)->pMethods->xShmLock(Real(f), off, n, flags); }
void xShmBarrier(sqlite3_file* f) { Real(f)->pMethods->xShmBarrier(Real(f)); }
int xShmUnmap(sqlite3_file* f, int del) { return Real(f)->pMethods->xShmUnmap(Real(f), del); }
int xFetch(sqlite3_file*, sqlite3_int64, int, void** p)
{
    *p = nullptr;
    return SQLITE_OK;
}
int xUnfetch(sqlite3_file*, sqlite3_int64, void*) { return SQLITE_OK; }

const sqlite3_io_methods* Methods()
{
    static sqlite3_io_methods m = [] {
        sqlite3_io_methods x{};
        x.iVersion = 3;
        x.xClose = xClose;
        x.xRead = xRead;
        x.xWrite = xWrite;
        x.xTruncate = xTruncate;
        x.xSync = xSync;
        x.xFileSize = xFileSize;
        x.xLock = xLock;
        x.xUnlock = xUnlock;
        x.xCheckReservedLock = xCheckReservedLock;
        x.xFileControl = xFileControl;
        x.xSectorSize = xSectorSize;
        x.xDeviceCharacteristics = xDeviceCharacteristics;
        x.xShmMap = xShmMap;
        x.xShmLock = xShmLock;
        x.xShmBarrier = xShmBarrier;
        x.xShmUnmap = xShmUnmap;
        x.xFetch = xFetch;
        x.xUnfetch = xUnfetch;
        return x;
    }();
    return &m;
}

int xOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags)
{
    File* shim = F(file);
    shim->base.pMethods = nullptr;
    auto* real = static_cast<sqlite3_file*>(sqlite3_malloc(g_real->szOsFile));
    if (!real)
        return SQLITE_NOMEM;
    std::memset(real, 0, g_real->szOsFile);
    int rc = g_real->xOpen(g_real, name, real, flags, outFlags);
    if (rc != SQLITE_OK || !real->pMethods || real->pMethods->iVersion < 2)
    {
        if (real->pMethods)
            real->pMethods->xClose(real);
        sqlite3_free(real);
        return rc != SQLITE_OK ? rc : SQLITE_CANTOPEN;
    }
    shim->real = real;
    shim->shadow = nullptr;
    if (name && (flags & (SQLITE_OPEN_MAIN_DB | SQLITE_OPEN_MAIN_JOURNAL | SQLITE_OPEN_WAL)))
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        auto& slot = g_shadows[name];
        if (!slot)
        {
            // First handle in this process: start from what the file holds.
            slot = std::make_shared<Shadow>();
            sqlite3_int64 size = 0;
            real->pMethods->xFileSize(real, &size);
            slot->data.resize(size_t(size));
            if (size > 0 && real->pMethods->xRead(real, slot->data.data(), int(size), 0) != SQLITE_OK)
                slot->data.clear();
        }
        shim->shadow = new std::shared_ptr<Shadow>(slot);
    }
    shim->base.pMethods = Methods();
    return SQLITE_OK;
}

int xDelete(sqlite3_vfs*, const char* name, int syncDir)
{
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_shadows.erase(name);
    }
    return g_real->xDelete(g_real, name, syncDir);
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

void InstallPowerCutVfs()
{
    if (g_real)
        return;
    sqlite3_initialize();
    g_real = sqlite3_vfs_find(nullptr);
    g_vfs = sqlite3_vfs{};
    g_vfs.iVersion = 2;
    g_vfs.szOsFile = sizeof(File);
    g_vfs.mxPathname = g_real->mxPathname;
    g_vfs.zName = "tallyard-power-cut";
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
