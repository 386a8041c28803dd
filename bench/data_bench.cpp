// The data engine against the bare record manager on a large table of the
// demo dictionary ("Ecritures", key 0 on the entry number).
//
//   BM_BareGetNext        Get First + Get Next through BTRCALL, whole table
//   BM_TableFirstNext     EDataTable First + Next, whole table
//   BM_BareRangeGetNext   Get Greater or Equal + Get Next to the high value
//   BM_TableRangeFirstNext  First + Next under a key range of 10% of the rows
//   BM_TableRangeCount    RecordCount(force) under that range
//   BM_ExportedExchangeFirstNext  ZAVL_GetFirst + ZAVL_GetNext in exchange mode
//   BM_ExportCsv, BM_ExportJsonl, BM_ExportSqlite  the tool's export of the
//                         table in one format (argument: records, 0 = all);
//                         "peak_MB" is the growth of the peak resident set
//                         during the export, which must not grow with the
//                         number of records
//
// The table is built once in $TMPDIR/tavelnor-bench-data (kept between runs)
// with TAVELNOR_BENCH_ROWS rows (1,000,000 by default). Items per second are
// records read; the ratio of the table loops to the bare loops is the
// overhead the data engine adds.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "browse/record_writers.h"
#include "browse/sqlite_export.h"
#include "browse/table_reader.h"
#include "btrieve/btrcall.h"
#include "btrieve/btrieve_codes.h"
#include "data/edata_table.h"
#include "dico/compiler/dico_compiler.h"
#include "dico/dico_classes.h"
#include "dico/dico_handler.h"
#include "record/er_field.h"
#include "tavelnor/zavl.h"

namespace {

namespace fs = std::filesystem;
using namespace tavelnor;

uint32_t Rows() {
  const char* env = std::getenv("TAVELNOR_BENCH_ROWS");
  return env ? static_cast<uint32_t>(std::strtoul(env, nullptr, 10)) : 1000000u;
}

struct Company {
  Company() {
    folder = fs::temp_directory_path() / "tavelnor-bench-data";
    fs::create_directories(folder);
    const fs::path source =
        fs::path(TAVELNOR_SOURCE_DIR) / "demo" / "tavelnor-demo.json";
    const fs::path dico_file = folder / "demo.dic";
    if (!dico::BuildDicoFile(source, dico_file, 11, dico::Container::kPlain).ok()) std::abort();
    if (dico.Load(Chaine(dico_file.string()), dico::kLoadNameIndex) != dico::LoadResult::kLoaded) {
      std::abort();
    }
    table = static_cast<const dico::DRubricTable*>(dico.FindTable("Ecritures"));
    if (!table) std::abort();
    rows = Rows();
    path = (folder / ("ECRITURES-" + std::to_string(rows) + ".DAT")).string();
    Fill();
  }

  void Fill() {
    data::EDataTable t;
    t.SetVariablePartsOption(true);
    if (!t.Open(table, Chaine(path))) std::abort();
    if (t.RawRecordCount(true) == rows) return;
    if (!t.DeleteAll()) std::abort();
    record::ErField* number = t.FieldByName("NumeroEcriture");
    record::ErField* journal = t.FieldByName("CodeJournal");
    record::ErField* libelle = t.FieldByName("Libelle");
    if (!number || !journal || !libelle) std::abort();
    const size_t number_at = number->Data() - t.RecordBuffer();
    for (uint32_t i = 0; i < rows; ++i) {
      if (i % 10000 == 0 && t.BeginTransaction() != 0) std::abort();
      uint8_t* r = t.RecordBuffer();
      std::memset(r, 0, t.RecordLength());
      const uint32_t n = i + 1;
      std::memcpy(r + number_at, &n, 4);
      std::memcpy(journal->Data(), i % 3 ? "VE" : "AC", 2);
      std::snprintf(reinterpret_cast<char*>(libelle->Data()), 40, "Ecriture %u", n);
      if (!t.InsertNoCurrency()) std::abort();
      if (i % 10000 == 9999 || i + 1 == rows) {
        if (t.EndTransaction() != 0) std::abort();
      }
    }
  }

  fs::path folder;
  dico::DDicoHandler dico;
  const dico::DRubricTable* table = nullptr;
  uint32_t rows = 0;
  std::string path;
};

Company& TheCompany() {
  static Company company;
  return company;
}

// The 10% range: entry numbers from 45% to 55% of the table.
uint32_t RangeLow() { return TheCompany().rows / 100 * 45 + 1; }
uint32_t RangeHigh() { return RangeLow() + TheCompany().rows / 10 - 1; }

struct BareFile {
  BareFile() {
    Company& c = TheCompany();
    std::string name = c.path;
    name.push_back('\0');
    uint32_t len = 0;
    if (BTRCALL(btrieve::kOpOpen, pos, nullptr, &len, name.data(),
                static_cast<uint8_t>(name.size()), 0) != 0) {
      std::abort();
    }
    record.resize(c.table->GetRecordLength() + 64);
  }
  ~BareFile() {
    uint32_t len = 0;
    BTRCALL(btrieve::kOpClose, pos, nullptr, &len, nullptr, 0, 0);
  }
  int16_t Get(uint16_t op, int8_t key_num) {
    uint32_t len = static_cast<uint32_t>(record.size());
    return BTRCALL(op, pos, record.data(), &len, key, sizeof key, key_num);
  }
  uint8_t pos[128] = {};
  uint8_t key[255] = {};
  std::vector<uint8_t> record;
};

void BM_BareGetNext(benchmark::State& state) {
  BareFile f;
  int64_t n = 0;
  for (auto _ : state) {
    for (int16_t st = f.Get(btrieve::kOpGetFirst, 0); st == 0; st = f.Get(btrieve::kOpGetNext, 0))
      ++n;
  }
  state.SetItemsProcessed(n);
}

void BM_BareGetNextPosition(benchmark::State& state) {
  BareFile f;
  int64_t n = 0;
  for (auto _ : state) {
    for (int16_t st = f.Get(btrieve::kOpGetFirst, 0); st == 0; st = f.Get(btrieve::kOpGetNext, 0)) {
      uint8_t where[4];
      uint32_t len = 4;
      BTRCALL(btrieve::kOpGetPosition, f.pos, where, &len, nullptr, 0, 0);
      ++n;
    }
  }
  state.SetItemsProcessed(n);
}
BENCHMARK(BM_BareGetNextPosition)->Unit(benchmark::kMillisecond);

void BM_TableFirstNext(benchmark::State& state) {
  data::EDataTable t;
  t.SetVariablePartsOption(true);
  if (!t.Open(TheCompany().table, Chaine(TheCompany().path))) std::abort();
  t.SetKeyRange(0, nullptr, 0, nullptr, 0);
  int64_t n = 0;
  for (auto _ : state) {
    for (int32_t p = t.First(); p != -1; p = t.Next()) ++n;
  }
  state.SetItemsProcessed(n);
}

void BM_BareRangeGetNext(benchmark::State& state) {
  BareFile f;
  const uint32_t low = RangeLow(), high = RangeHigh();
  int64_t n = 0;
  for (auto _ : state) {
    std::memcpy(f.key, &low, 4);
    for (int16_t st = f.Get(btrieve::kOpGetGreaterOrEqual, 0); st == 0;
         st = f.Get(btrieve::kOpGetNext, 0)) {
      uint32_t v = 0;
      std::memcpy(&v, f.key, 4);
      if (v > high) break;
      ++n;
    }
  }
  state.SetItemsProcessed(n);
}

std::unique_ptr<data::EDataTable> RangedTable() {
  auto t = std::make_unique<data::EDataTable>();
  t->SetVariablePartsOption(true);
  if (!t->Open(TheCompany().table, Chaine(TheCompany().path))) std::abort();
  const uint32_t low = RangeLow(), high = RangeHigh();
  if (t->SetKeyRange(0, reinterpret_cast<const uint8_t*>(&low), 4,
                     reinterpret_cast<const uint8_t*>(&high), 4) < 0) {
    std::abort();
  }
  return t;
}

void BM_TableRangeFirstNext(benchmark::State& state) {
  auto t = RangedTable();
  int64_t n = 0;
  for (auto _ : state) {
    for (int32_t p = t->First(); p != -1; p = t->Next()) ++n;
  }
  state.SetItemsProcessed(n);
}

void BM_TableRangeCount(benchmark::State& state) {
  auto t = RangedTable();
  uint32_t count = 0;
  for (auto _ : state) benchmark::DoNotOptimize(count = t->RecordCount(true));
  state.counters["count"] = count;
}

// The exported interface in exchange mode, as a host reads the table.
void BM_ExportedExchangeFirstNext(benchmark::State& state) {
  Company& c = TheCompany();
  const std::string dico_path = (c.folder / "demo.dic").string();
  ZAVL_Schema* schema = ZAVL_OpenSchema(dico_path.c_str(), SCHEMA_EXCHANGE);
  ZAVL_Data* data = schema ? ZAVL_OpenFile(schema, "Ecritures", c.path.c_str(), 0) : nullptr;
  if (!data) std::abort();
  ZAVL_SetKeyrange(data, 0, nullptr, 0, nullptr, 0);
  int64_t n = 0;
  for (auto _ : state) {
    for (int32_t p = ZAVL_GetFirst(data); p != -1; p = ZAVL_GetNext(data)) ++n;
  }
  state.SetItemsProcessed(n);
  ZAVL_CloseData(data);
  ZAVL_CloseSchema(schema);
}

// The resident set's peak since the last reset, in kB.
long PeakKb() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  return 0;
}
void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

enum class Format { kCsv, kJsonl, kSqlite };

// The tool's export of the table: decoded records into one format.
void ExportTable(benchmark::State& state, Format format) {
  Company& c = TheCompany();
  const std::string dico_path = (c.folder / "demo.dic").string();
  tool::DictionaryModel model;
  std::string why;
  if (!model.Load(dico_path, &why)) std::abort();
  const tool::TableModel* table = model.FindTable("Ecritures");
  tool::Schema schema(dico_path, SCHEMA_QUIET);
  if (!table || !schema.ok()) std::abort();
  const fs::path out = c.folder / "export";
  fs::create_directories(out);
  int64_t n = 0;
  long peak = 0;
  for (auto _ : state) {
    ResetPeak();
    const long before = PeakKb();
    tool::TableReader reader;
    tool::WalkError error;
    if (!reader.Open(schema, *table, c.path, &error)) std::abort();
    tool::WalkOptions walk;
    walk.limit = state.range(0) > 0 ? state.range(0) : -1;
    std::ofstream file;
    std::unique_ptr<tool::RecordWriter> writer;
    tool::SqliteExport db;
    if (format == Format::kSqlite) {
      if (!db.Create((out / "bench.sqlite").string(), {table}) || !db.BeginTable(*table)) std::abort();
    } else {
      file.open(out / "bench.out", std::ios::binary);
      writer = tool::MakeRecordWriter(format == Format::kCsv ? tool::OutputFormat::kCsv
                                                             : tool::OutputFormat::kJsonl,
                                      *table, tool::WriteOptions{}, file);
    }
    const bool ok = reader.Walk(
        walk,
        [&](const std::vector<tool::FieldValue>& values) {
          ++n;
          if (writer) {
            writer->Row(values);
            return true;
          }
          return db.AddRow(values);
        },
        &error);
    if (!ok) std::abort();
    if (format == Format::kSqlite && (!db.EndTable() || !db.Finish(model.Categories()))) std::abort();
    peak = std::max(peak, PeakKb() - before);
  }
  state.SetItemsProcessed(n);
  state.counters["peak_MB"] = static_cast<double>(peak) / 1024.0;
}

void BM_ExportCsv(benchmark::State& state) { ExportTable(state, Format::kCsv); }
void BM_ExportJsonl(benchmark::State& state) { ExportTable(state, Format::kJsonl); }
void BM_ExportSqlite(benchmark::State& state) { ExportTable(state, Format::kSqlite); }

BENCHMARK(BM_BareGetNext)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TableFirstNext)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportedExchangeFirstNext)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareRangeGetNext)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TableRangeFirstNext)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TableRangeCount)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ExportCsv)->Arg(100000)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ExportJsonl)->Arg(100000)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ExportSqlite)->Arg(100000)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
