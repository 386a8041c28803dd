// The rows of the record manager benchmark and the two files that hold them:
// a record manager file and a plain SQLite database with the same indexes.
//
// Record layout (200 bytes): 0 id (INTEGER 4, key 0, unique), 4 name
// (STRING 20, key 1, duplicates: about 20 records per name), 24 category
// (INTEGER 2) and 26 code (STRING 8) together key 2, unique; 34.. payload.
// The plain database keeps the record as a blob with its key fields beside it
// in indexed columns, with the record manager's page size and cache size
// (4 KiB pages, 8 MiB of cache) and SQLite's defaults otherwise (rollback
// journal, full sync).
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tavelnor::bench {

inline constexpr uint16_t kRecordLength = 200;
inline constexpr uint16_t kBatch = 300;  // records per Insert Extended call: 60,602 bytes

// Operation codes and statuses used by the benchmark.
enum : uint16_t {
  kOpen = 0,
  kClose = 1,
  kInsert = 2,
  kUpdate = 3,
  kDelete = 4,
  kGetEqual = 5,
  kGetNext = 6,
  kGetFirst = 12,
  kCreate = 14,
  kBeginTransaction = 19,
  kEndTransaction = 20,
  kStepNext = 24,
  kStepFirst = 33,
  kInsertExtended = 40,
};
inline constexpr int16_t kUnknownOperation = 1;
inline constexpr int16_t kEndOfFile = 9;

// 1,000,000, or TAVELNOR_BENCH_RECORDS when set.
uint32_t RecordCount();
std::vector<uint8_t> MakeRecord(uint32_t id);
// Ids 1..RecordCount() in a fixed random order: the insertion order of every file.
const std::vector<uint32_t>& ShuffledIds();
// A scratch folder under the system's temporary folder, made on first use.
std::filesystem::path WorkDir();

// One position block of the record manager and its buffers.
struct Btrieve {
  uint8_t pos[128] = {};
  uint8_t key[255] = {};
  std::vector<uint8_t> data = std::vector<uint8_t>(65535);
  uint32_t len = 0;

  int16_t Call(uint16_t op, int key_num, uint32_t length);
  void SetKey(const void* p, size_t n);
};

// Creates the record manager file at `path` and opens it in `b`.
bool CreateBtrieveFile(const std::string& path, Btrieve* b);
// Inserts every record: one Insert each, or Insert Extended batches.
bool FillBtrieve(Btrieve* b, bool batched);

// Creates the plain database at `path` (replacing it), with its indexes.
sqlite3* OpenSqlite(const std::string& path);
// Inserts every record in one transaction.
bool FillSqlite(sqlite3* db);

}  // namespace tavelnor::bench
