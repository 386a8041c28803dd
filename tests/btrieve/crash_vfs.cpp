// The counting SQLite file system of crash_vfs.h: each file opened through
// it wraps the default file system's file, placed right after it.
#include "crash_vfs.h"

#include <sqlite3.h>

#include <cstdlib>

namespace tavelnor::btrieve::testing {
namespace {

struct CountedFile {
  sqlite3_file base;
  sqlite3_file* real() { return reinterpret_cast<sqlite3_file*>(this + 1); }
};

sqlite3_vfs* g_real = nullptr;
sqlite3_vfs g_counted;
sqlite3_io_methods g_methods;
long g_steps_left = 0;

void Step() {
  if (--g_steps_left == 0) std::_Exit(kCrashedAtStep);
}

sqlite3_file* Real(sqlite3_file* f) { return reinterpret_cast<CountedFile*>(f)->real(); }

int Close(sqlite3_file* f) { return Real(f)->pMethods->xClose(Real(f)); }
int Read(sqlite3_file* f, void* p, int n, sqlite3_int64 at) {
  return Real(f)->pMethods->xRead(Real(f), p, n, at);
}
int Write(sqlite3_file* f, const void* p, int n, sqlite3_int64 at) {
  Step();
  return Real(f)->pMethods->xWrite(Real(f), p, n, at);
}
int Truncate(sqlite3_file* f, sqlite3_int64 size) {
  Step();
  return Real(f)->pMethods->xTruncate(Real(f), size);
}
int Sync(sqlite3_file* f, int flags) {
  Step();
  return Real(f)->pMethods->xSync(Real(f), flags);
}
int FileSize(sqlite3_file* f, sqlite3_int64* size) {
  return Real(f)->pMethods->xFileSize(Real(f), size);
}
int Lock(sqlite3_file* f, int level) { return Real(f)->pMethods->xLock(Real(f), level); }
int Unlock(sqlite3_file* f, int level) { return Real(f)->pMethods->xUnlock(Real(f), level); }
int CheckReserved(sqlite3_file* f, int* out) {
  return Real(f)->pMethods->xCheckReservedLock(Real(f), out);
}
int FileControl(sqlite3_file* f, int op, void* arg) {
  return Real(f)->pMethods->xFileControl(Real(f), op, arg);
}
int SectorSize(sqlite3_file* f) { return Real(f)->pMethods->xSectorSize(Real(f)); }
int Device(sqlite3_file* f) { return Real(f)->pMethods->xDeviceCharacteristics(Real(f)); }

int Open(sqlite3_vfs*, const char* name, sqlite3_file* f, int flags, int* out_flags) {
  auto* counted = reinterpret_cast<CountedFile*>(f);
  counted->base.pMethods = nullptr;
  int rc = g_real->xOpen(g_real, name, counted->real(), flags, out_flags);
  if (counted->real()->pMethods != nullptr) counted->base.pMethods = &g_methods;
  return rc;
}

int Delete(sqlite3_vfs*, const char* name, int sync_dir) {
  Step();
  return g_real->xDelete(g_real, name, sync_dir);
}

}  // namespace

void CrashAtIoStep(long step) {
  g_real = sqlite3_vfs_find(nullptr);
  if (g_real == nullptr || step <= 0) return;
  g_steps_left = step;
  g_methods = sqlite3_io_methods{};
  // Version 1: no shared memory (WAL) and no memory-mapped reads to count.
  g_methods.iVersion = 1;
  g_methods.xClose = Close;
  g_methods.xRead = Read;
  g_methods.xWrite = Write;
  g_methods.xTruncate = Truncate;
  g_methods.xSync = Sync;
  g_methods.xFileSize = FileSize;
  g_methods.xLock = Lock;
  g_methods.xUnlock = Unlock;
  g_methods.xCheckReservedLock = CheckReserved;
  g_methods.xFileControl = FileControl;
  g_methods.xSectorSize = SectorSize;
  g_methods.xDeviceCharacteristics = Device;
  g_counted = *g_real;
  g_counted.zName = "tavelnor-crash-at-step";
  g_counted.szOsFile = static_cast<int>(sizeof(CountedFile)) + g_real->szOsFile;
  g_counted.xOpen = Open;
  g_counted.xDelete = Delete;
  sqlite3_vfs_register(&g_counted, 1);
}

}  // namespace tavelnor::btrieve::testing
