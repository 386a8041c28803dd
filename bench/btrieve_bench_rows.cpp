// The rows of the record manager benchmark and the files that hold them.
#include "btrieve_bench_rows.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

#include "btrieve/btrcall.h"
#include "foundation/platform/process.h"

namespace tavelnor::bench {

namespace {

constexpr uint32_t kDuplicateValues = 50000;

std::vector<uint8_t> CreateSpec() {
  // Header, then one 16-byte entry per segment: position (from 1), length,
  // flags, 4 reserved, extended type, null byte, 2 reserved, key number, ACS.
  std::vector<uint8_t> spec(16, 0);
  spec[0] = static_cast<uint8_t>(kRecordLength);
  spec[3] = 0x10;  // page size 4096
  spec[4] = 3;
  auto segment = [&spec](uint16_t position, uint16_t length, uint16_t flags, uint8_t type) {
    uint8_t s[16] = {};
    s[0] = static_cast<uint8_t>(position);
    s[2] = static_cast<uint8_t>(length);
    flags |= 0x0100;  // extended type
    s[4] = static_cast<uint8_t>(flags);
    s[5] = static_cast<uint8_t>(flags >> 8);
    s[10] = type;
    spec.insert(spec.end(), s, s + 16);
  };
  segment(1, 4, 0x0000, 1);          // id: unique INTEGER
  segment(5, 20, 0x0001 | 0x80, 0);  // name: STRING with duplicates
  segment(25, 2, 0x0010, 1);         // category, then
  segment(27, 8, 0x0000, 0);         // code: unique together
  return spec;
}

}  // namespace

uint32_t RecordCount() {
  static const uint32_t count = [] {
    auto env = tavelnor::platform::GetEnv("TAVELNOR_BENCH_RECORDS");
    long v = env ? std::strtol(env->c_str(), nullptr, 10) : 0;
    return v > 0 ? static_cast<uint32_t>(v) : 1000000u;
  }();
  return count;
}

// Record layout: 0 id (INTEGER 4), 4 name (STRING 20), 24 category
// (INTEGER 2) + 26 code (STRING 8), 34.. payload.
std::vector<uint8_t> MakeRecord(uint32_t id) {
  std::vector<uint8_t> r(kRecordLength);
  for (int i = 0; i < 4; ++i) r[i] = static_cast<uint8_t>(id >> (8 * i));
  char text[32];
  std::snprintf(text, sizeof text, "name%06u          ", (id * 7919u) % kDuplicateValues);
  std::memcpy(r.data() + 4, text, 20);
  const uint16_t category = static_cast<uint16_t>(id % 1000);
  r[24] = static_cast<uint8_t>(category);
  r[25] = static_cast<uint8_t>(category >> 8);
  std::snprintf(text, sizeof text, "%08u", id);
  std::memcpy(r.data() + 26, text, 8);
  for (size_t i = 34; i < r.size(); ++i) r[i] = static_cast<uint8_t>(id * 31 + i);
  return r;
}

// Ids 1..n in a fixed random order: the insertion order of every file.
const std::vector<uint32_t>& ShuffledIds() {
  static const std::vector<uint32_t> ids = [] {
    std::vector<uint32_t> v(RecordCount());
    for (uint32_t i = 0; i < v.size(); ++i) v[i] = i + 1;
    std::shuffle(v.begin(), v.end(), std::mt19937(42));
    return v;
  }();
  return ids;
}

std::filesystem::path WorkDir() {
  static const std::filesystem::path dir = [] {
    auto d = std::filesystem::temp_directory_path() /
             ("tavelnor-btrieve-bench-" + std::to_string(tavelnor::platform::CurrentProcessId()));
    std::filesystem::remove_all(d);
    std::filesystem::create_directories(d);
    return d;
  }();
  return dir;
}

int16_t Btrieve::Call(uint16_t op, int key_num, uint32_t length) {
  len = length;
  return BTRCALL(op, pos, data.data(), &len, key, 255, static_cast<int8_t>(key_num));
}

void Btrieve::SetKey(const void* p, size_t n) {
  std::memset(key, 0, sizeof key);
  std::memcpy(key, p, n);
}

bool CreateBtrieveFile(const std::string& path, Btrieve* b) {
  std::vector<uint8_t> spec = CreateSpec();
  std::memcpy(b->data.data(), spec.data(), spec.size());
  b->SetKey(path.c_str(), path.size() + 1);
  if (b->Call(kCreate, 0, static_cast<uint32_t>(spec.size())) != 0) return false;
  b->SetKey(path.c_str(), path.size() + 1);
  return b->Call(kOpen, 0, 0) == 0;
}

// Inserts every record; Insert Extended batches when `batched`.
bool FillBtrieve(Btrieve* b, bool batched) {
  const auto& ids = ShuffledIds();
  if (!batched) {
    for (uint32_t id : ids) {
      std::vector<uint8_t> r = MakeRecord(id);
      std::memcpy(b->data.data(), r.data(), r.size());
      if (b->Call(kInsert, -1, kRecordLength) != 0) return false;
    }
    return true;
  }
  for (size_t i = 0; i < ids.size(); i += kBatch) {
    const uint16_t n = static_cast<uint16_t>(std::min<size_t>(kBatch, ids.size() - i));
    uint8_t* p = b->data.data();
    p[0] = static_cast<uint8_t>(n);
    p[1] = static_cast<uint8_t>(n >> 8);
    size_t at = 2;
    for (uint16_t j = 0; j < n; ++j) {
      std::vector<uint8_t> r = MakeRecord(ids[i + j]);
      p[at] = static_cast<uint8_t>(kRecordLength);
      p[at + 1] = 0;
      std::memcpy(p + at + 2, r.data(), r.size());
      at += 2 + r.size();
    }
    int16_t st = b->Call(kInsertExtended, -1, static_cast<uint32_t>(at));
    if (st == kUnknownOperation && i == 0) return FillBtrieve(b, false);
    if (st != 0) return false;
  }
  return true;
}

sqlite3* OpenSqlite(const std::string& path) {
  std::filesystem::remove(path);
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
      SQLITE_OK) {
    std::fprintf(stderr, "could not open %s\n", path.c_str());
    std::exit(1);
  }
  // The same page size and page cache as the record manager's files.
  sqlite3_exec(db,
               "PRAGMA page_size = 4096; PRAGMA cache_size = -8192;"
               "CREATE TABLE r(id INTEGER NOT NULL, name BLOB NOT NULL, category INTEGER NOT NULL,"
               " code BLOB NOT NULL, rec BLOB NOT NULL);"
               "CREATE UNIQUE INDEX r_id ON r(id);"
               "CREATE INDEX r_name ON r(name);"
               "CREATE UNIQUE INDEX r_composite ON r(category, code);",
               nullptr, nullptr, nullptr);
  return db;
}

bool FillSqlite(sqlite3* db) {
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO r VALUES (?1, ?2, ?3, ?4, ?5)", -1, &st, nullptr);
  bool ok = sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK;
  for (uint32_t id : ShuffledIds()) {
    std::vector<uint8_t> r = MakeRecord(id);
    sqlite3_bind_int64(st, 1, id);
    sqlite3_bind_blob(st, 2, r.data() + 4, 20, SQLITE_TRANSIENT);
    sqlite3_bind_int64(st, 3, id % 1000);
    sqlite3_bind_blob(st, 4, r.data() + 26, 8, SQLITE_TRANSIENT);
    sqlite3_bind_blob(st, 5, r.data(), kRecordLength, SQLITE_TRANSIENT);
    ok = ok && sqlite3_step(st) == SQLITE_DONE;
    sqlite3_reset(st);
  }
  ok = ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_finalize(st);
  return ok;
}

}  // namespace tavelnor::bench
