// The record manager next to plain SQLite doing the same work on the same
// rows, in one run: 1,000,000 records of 200 bytes with three keys (a unique
// integer, a string with duplicates, a unique two-segment key).
//
//   record manager                      plain SQLite
//   Step Next over the whole file       rowid scan
//   Get Next over the string key        scan of the string index
//   random Get Equal on the integer     point lookups, one statement each
//   Insert of every record in one       inserts with the same indexes in one
//   transaction (when the record        transaction
//   manager offers transactions)
//   Get Equal + Update of 100,000       point lookup + update of the blob, in
//   records in one transaction          one transaction
//   Get Equal + Delete of 100,000       point lookup + delete, in one
//   records in one transaction          transaction
//
// Each benchmark reports "ops_per_sec"; after the run a summary gives the
// ratios to plain SQLite and the process's peak memory. The files live in a
// scratch folder under the system's temporary folder (TMPDIR). The record
// count can be lowered with TAVELNOR_BENCH_RECORDS for a quick run.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "btrieve_bench_rows.h"
#include "foundation/platform/resource_usage.h"

namespace tavelnor::bench {
namespace {

constexpr uint32_t kLookups = 200000;
constexpr uint32_t kWrites = 100000;  // records updated, then deleted

std::map<std::string, double>& Results() {
  static std::map<std::string, double> results;
  return results;
}

void Report(benchmark::State& state, const char* name, uint64_t ops) {
  state.counters["ops_per_sec"] =
      benchmark::Counter(static_cast<double>(ops), benchmark::Counter::kIsRate);
  state.SetItemsProcessed(static_cast<int64_t>(ops));
  state.SetLabel(name);
}

Btrieve& ReadFile() {
  static Btrieve* file = [] {
    auto* b = new Btrieve;
    const std::string path = (WorkDir() / "read.btr").string();
    if (!CreateBtrieveFile(path, b) || !FillBtrieve(b, true)) {
      std::fprintf(stderr, "could not build %s\n", path.c_str());
      std::exit(1);
    }
    return b;
  }();
  return *file;
}

void BM_BtrieveStepNext(benchmark::State& state) {
  Btrieve& b = ReadFile();
  uint64_t ops = 0;
  for (auto _ : state) {
    int16_t st = b.Call(kStepFirst, 0, kRecordLength);
    while (st == 0) {
      ++ops;
      st = b.Call(kStepNext, 0, kRecordLength);
    }
    if (st != kEndOfFile) state.SkipWithError("Step Next failed");
  }
  Report(state, "BtrieveStepNext", ops);
}

void BM_BtrieveGetNextOnKey(benchmark::State& state) {
  Btrieve& b = ReadFile();
  uint64_t ops = 0;
  for (auto _ : state) {
    int16_t st = b.Call(kGetFirst, 1, kRecordLength);
    while (st == 0) {
      ++ops;
      st = b.Call(kGetNext, 1, kRecordLength);
    }
    if (st != kEndOfFile) state.SkipWithError("Get Next failed");
  }
  Report(state, "BtrieveGetNextOnKey", ops);
}

std::vector<uint32_t> LookupIds() {
  std::vector<uint32_t> ids(kLookups);
  std::mt19937 rng(7);
  for (uint32_t& id : ids) id = 1 + rng() % RecordCount();
  return ids;
}

void BM_BtrieveGetEqual(benchmark::State& state) {
  Btrieve& b = ReadFile();
  const std::vector<uint32_t> ids = LookupIds();
  uint64_t ops = 0;
  for (auto _ : state) {
    for (uint32_t id : ids) {
      uint8_t k[4] = {static_cast<uint8_t>(id), static_cast<uint8_t>(id >> 8),
                      static_cast<uint8_t>(id >> 16), static_cast<uint8_t>(id >> 24)};
      std::memcpy(b.key, k, 4);
      if (b.Call(kGetEqual, 0, kRecordLength) != 0) state.SkipWithError("Get Equal failed");
      ++ops;
    }
  }
  Report(state, "BtrieveGetEqual", ops);
}

void BM_BtrieveInsert(benchmark::State& state, bool batched) {
  uint64_t ops = 0;
  for (auto _ : state) {
    state.PauseTiming();
    Btrieve b;
    const std::string path = (WorkDir() / "insert.btr").string();
    if (!CreateBtrieveFile(path, &b)) state.SkipWithError("create failed");
    state.ResumeTiming();
    const int16_t begin = b.Call(kBeginTransaction, 0, 0);
    if (!FillBtrieve(&b, batched)) state.SkipWithError("insert failed");
    if (begin == 0 && b.Call(kEndTransaction, 0, 0) != 0) state.SkipWithError("commit failed");
    state.PauseTiming();
    state.counters["in_transaction"] = begin == 0 ? 1 : 0;
    (void)b.Call(kClose, 0, 0);
    std::filesystem::remove(path);
    state.ResumeTiming();
    ops += RecordCount();
  }
  Report(state, batched ? "BtrieveInsertExtended" : "BtrieveInsert", ops);
}

// The first kWrites ids of the insertion order: each once, spread over the file.
std::vector<uint32_t> WriteIds() {
  const std::vector<uint32_t>& all = ShuffledIds();
  return {all.begin(), all.begin() + std::min<size_t>(kWrites, all.size())};
}

// Get Equal on the integer key, then Update (a payload byte changed) or Delete.
void BM_BtrieveRewrite(benchmark::State& state, bool remove) {
  Btrieve& b = ReadFile();
  const std::vector<uint32_t> ids = WriteIds();
  uint64_t ops = 0;
  for (auto _ : state) {
    if (b.Call(kBeginTransaction, 0, 0) != 0) state.SkipWithError("begin failed");
    for (uint32_t id : ids) {
      uint8_t k[4] = {static_cast<uint8_t>(id), static_cast<uint8_t>(id >> 8),
                      static_cast<uint8_t>(id >> 16), static_cast<uint8_t>(id >> 24)};
      std::memcpy(b.key, k, 4);
      if (b.Call(kGetEqual, 0, kRecordLength) != 0) state.SkipWithError("Get Equal failed");
      b.data[kRecordLength - 1]++;
      if (b.Call(remove ? kDelete : kUpdate, 0, kRecordLength) != 0) {
        state.SkipWithError(remove ? "Delete failed" : "Update failed");
      }
      ++ops;
    }
    if (b.Call(kEndTransaction, 0, 0) != 0) state.SkipWithError("commit failed");
  }
  Report(state, remove ? "BtrieveDelete" : "BtrieveUpdate", ops);
}

// ---------------------------------------------------------------- plain SQLite

sqlite3* ReadDb() {
  static sqlite3* db = [] {
    sqlite3* d = OpenSqlite((WorkDir() / "read.sqlite").string());
    if (!FillSqlite(d)) std::exit(1);
    return d;
  }();
  return db;
}

// Runs `sql` to the end, copying each row's record and first column key out
// as the record manager copies them into the caller's buffers.
uint64_t Scan(sqlite3* db, const char* sql) {
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
  uint8_t buffer[kRecordLength];
  uint8_t key[255];
  uint64_t rows = 0;
  while (sqlite3_step(st) == SQLITE_ROW) {
    std::memcpy(buffer, sqlite3_column_blob(st, 0), kRecordLength);
    const int n = sqlite3_column_bytes(st, 1);
    if (n > 0) std::memcpy(key, sqlite3_column_blob(st, 1), static_cast<size_t>(n));
    benchmark::DoNotOptimize(buffer);
    ++rows;
  }
  sqlite3_finalize(st);
  return rows;
}

void BM_SqliteRowidScan(benchmark::State& state) {
  sqlite3* db = ReadDb();
  uint64_t ops = 0;
  for (auto _ : state) ops += Scan(db, "SELECT rec, NULL FROM r ORDER BY rowid");
  Report(state, "SqliteRowidScan", ops);
}

void BM_SqliteIndexScan(benchmark::State& state) {
  sqlite3* db = ReadDb();
  uint64_t ops = 0;
  for (auto _ : state) ops += Scan(db, "SELECT rec, name FROM r INDEXED BY r_name ORDER BY name");
  Report(state, "SqliteIndexScan", ops);
}

void BM_SqlitePointLookup(benchmark::State& state) {
  sqlite3* db = ReadDb();
  const std::vector<uint32_t> ids = LookupIds();
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, "SELECT rec FROM r WHERE id = ?1", -1, &st, nullptr);
  uint8_t buffer[kRecordLength];
  uint64_t ops = 0;
  for (auto _ : state) {
    for (uint32_t id : ids) {
      sqlite3_bind_int64(st, 1, id);
      if (sqlite3_step(st) != SQLITE_ROW) state.SkipWithError("lookup failed");
      std::memcpy(buffer, sqlite3_column_blob(st, 0), kRecordLength);
      benchmark::DoNotOptimize(buffer);
      sqlite3_reset(st);
      ++ops;
    }
  }
  sqlite3_finalize(st);
  Report(state, "SqlitePointLookup", ops);
}

void BM_SqliteRewrite(benchmark::State& state, bool remove) {
  sqlite3* db = ReadDb();
  const std::vector<uint32_t> ids = WriteIds();
  sqlite3_stmt *read = nullptr, *write = nullptr;
  sqlite3_prepare_v2(db, "SELECT rec FROM r WHERE id = ?1", -1, &read, nullptr);
  sqlite3_prepare_v2(db,
                     remove ? "DELETE FROM r WHERE id = ?1" : "UPDATE r SET rec = ?2 WHERE id = ?1",
                     -1, &write, nullptr);
  uint8_t buffer[kRecordLength];
  uint64_t ops = 0;
  for (auto _ : state) {
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    for (uint32_t id : ids) {
      sqlite3_bind_int64(read, 1, id);
      if (sqlite3_step(read) != SQLITE_ROW) state.SkipWithError("lookup failed");
      std::memcpy(buffer, sqlite3_column_blob(read, 0), kRecordLength);
      sqlite3_reset(read);
      buffer[kRecordLength - 1]++;
      sqlite3_bind_int64(write, 1, id);
      if (!remove) sqlite3_bind_blob(write, 2, buffer, kRecordLength, SQLITE_STATIC);
      if (sqlite3_step(write) != SQLITE_DONE) state.SkipWithError("write failed");
      sqlite3_reset(write);
      ++ops;
    }
    if (sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
      state.SkipWithError("commit failed");
    }
  }
  sqlite3_finalize(read);
  sqlite3_finalize(write);
  Report(state, remove ? "SqliteDelete" : "SqliteUpdate", ops);
}

void BM_SqliteInsert(benchmark::State& state) {
  uint64_t ops = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const std::string path = (WorkDir() / "insert.sqlite").string();
    sqlite3* db = OpenSqlite(path);
    state.ResumeTiming();
    if (!FillSqlite(db)) state.SkipWithError("insert failed");
    state.PauseTiming();
    sqlite3_close(db);
    std::filesystem::remove(path);
    state.ResumeTiming();
    ops += RecordCount();
  }
  Report(state, "SqliteInsert", ops);
}

BENCHMARK(BM_BtrieveStepNext)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SqliteRowidScan)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BtrieveGetNextOnKey)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SqliteIndexScan)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BtrieveGetEqual)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SqlitePointLookup)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_BtrieveInsert, single, false)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_BtrieveInsert, extended, true)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_SqliteInsert)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
// Last: they change the files the reads above walk.
BENCHMARK_CAPTURE(BM_BtrieveRewrite, update, false)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_SqliteRewrite, update, false)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_BtrieveRewrite, remove, true)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_SqliteRewrite, remove, true)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Collects each benchmark's rate for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      auto it = run.counters.find("ops_per_sec");
      if (it == run.counters.end() || run.error_occurred) continue;
      Results()[run.report_label] = it->second.value;
      auto txn = run.counters.find("in_transaction");
      if (txn != run.counters.end()) Results()[run.report_label + ":txn"] = txn->second.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

void PrintSummary() {
  struct Pair {
    const char* what;
    const char* ours;
    const char* plain;
    double target;
  } pairs[] = {
      {"Step Next / rowid scan", "BtrieveStepNext", "SqliteRowidScan", 0.7},
      {"Get Next / index scan", "BtrieveGetNextOnKey", "SqliteIndexScan", 0.7},
      {"Get Equal / point lookup", "BtrieveGetEqual", "SqlitePointLookup", 0.7},
      {"Insert / insert", "BtrieveInsert", "SqliteInsert", 0.5},
      {"Insert Extended / insert", "BtrieveInsertExtended", "SqliteInsert", 0.5},
      {"Update / update", "BtrieveUpdate", "SqliteUpdate", 0.5},
      {"Delete / delete", "BtrieveDelete", "SqliteDelete", 0.5},
  };
  std::printf("\n%u records of %u bytes, 3 keys\n", RecordCount(), kRecordLength);
  std::printf("%-26s %14s %14s %7s %7s\n", "operation", "ours op/s", "SQLite op/s", "ratio",
              "target");
  for (const Pair& p : pairs) {
    auto ours = Results().find(p.ours);
    auto plain = Results().find(p.plain);
    if (ours == Results().end() || plain == Results().end() || plain->second <= 0) continue;
    auto txn = Results().find(std::string(p.ours) + ":txn");
    const char* note = txn == Results().end() ? ""
                       : txn->second > 0      ? "  (one transaction)"
                                              : "  (no transactions: one commit per call)";
    std::printf("%-26s %14.0f %14.0f %7.2f %7.2f%s\n", p.what, ours->second, plain->second,
                ours->second / plain->second, p.target, note);
  }
  std::printf("peak resident memory: %.1f MiB\n",
              static_cast<double>(tavelnor::platform::PeakResidentBytes()) / (1024.0 * 1024.0));
}

}  // namespace
}  // namespace tavelnor::bench

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  tavelnor::bench::SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  tavelnor::bench::PrintSummary();
  benchmark::Shutdown();
  std::error_code ec;
  std::filesystem::remove_all(tavelnor::bench::WorkDir(), ec);
  return 0;
}
