// Converting a typical 30-field record (texts, dates, amounts, integers, one
// memo) into its exchange buffer, next to a memcpy of the record. Counters
// report nanoseconds per record and per field.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "bench/synthetic_dico.h"
#include "data/exchange_layout.h"
#include "dico/dico_handler.h"
#include "dico/dico_image.h"
#include "record/blob_value.h"
#include "record/er_buffer.h"

namespace tavelnor {
namespace {

constexpr double kFields = 30;

struct Typical {
  Typical() {
    const dico::DicoImage img = bench::MakeTypicalTableDico(&length);
    if (handler.LoadImage(dico::WriteDicoImage(img, 11), dico::kLoadNameIndex) != dico::LoadResult::kLoaded) {
      std::abort();
    }
    table = static_cast<const dico::DRubricTable*>(handler.FindTable("Factures"));
    record.assign(length, 0);
    if (table == nullptr || !exchange.Build(*table, record.data(), false)) std::abort();
    // Values in every field, through typed buffers aimed at the record.
    for (size_t i = 0; i < 30; ++i) FillField(i);
    out.assign(exchange.ExchangeSize(), 0);
  }
  ~Typical() {
    exchange.Clear(out.data(), static_cast<uint32_t>(out.size()));
    record::ReleaseVarPart(record.data() + length - 8);
  }
  void FillField(size_t i);

  dico::DDicoHandler handler;
  const dico::DRubricTable* table = nullptr;
  uint32_t length = 0;
  std::vector<uint8_t> record;
  std::vector<uint8_t> out;
  data::ExchangeRecord exchange;
};

void Typical::FillField(size_t i) {
  static const char* kTexts[] = {"Dupont et Fils", "12 rue des Lilas", "Lyon", "FR76 3000",
                                 "Contr\xF4le fiscal", "Net 30", "Remise", "R\xE9" "f. 2024-117"};
  // The layout's order: 8 texts, 5 dates, 5 amounts, 4 quantities, 6+1 integers, memo.
  uint8_t* at = nullptr;
  int16_t code = 0;
  int32_t size = 0;
  uint32_t offset = 0;
  struct { int16_t code; int32_t size; size_t count; } kinds[] = {
      {0, 30, 8}, {4, 4, 5}, {29, 8, 5}, {12, 4, 4}, {1, 4, 6}, {15, 2, 1}, {33, 8, 1}};
  size_t k = i;
  for (const auto& kind : kinds) {
    if (k < kind.count) {
      code = kind.code;
      size = kind.size;
      offset += static_cast<uint32_t>(k) * static_cast<uint32_t>(kind.size);
      break;
    }
    k -= kind.count;
    offset += static_cast<uint32_t>(kind.count) * static_cast<uint32_t>(kind.size);
  }
  at = record.data() + offset;
  auto b = record::CreateBuffer(code, size, 0);
  b->SetData(at);
  switch (code) {
    case 0: b->SetText(kTexts[i % 8]); break;
    case 4: b->SetText("15/03/2024"); break;
    case 29: b->SetText("1 234,56"); break;
    case 12: b->SetText("3,5"); break;
    case 33: b->SetText("Livraison au quai 3, le matin avant 10 h."); break;
    default: b->SetInt64(static_cast<int64_t>(i) * 1000 + 7); break;
  }
  b->SetData(nullptr);
}

void ReportPerField(benchmark::State& state) {
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
  state.counters["ns_per_record"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * 1e-9,
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["ns_per_field"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kFields * 1e-9,
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_RecordMemcpy(benchmark::State& state) {
  Typical t;
  std::vector<uint8_t> copy(t.length);
  for (auto _ : state) {
    std::memcpy(copy.data(), t.record.data(), t.length);
    benchmark::ClobberMemory();
  }
  ReportPerField(state);
}

void BM_ExchangeConvert(benchmark::State& state) {
  Typical t;
  const auto size = static_cast<uint32_t>(t.out.size());
  for (auto _ : state) {
    t.exchange.Convert(t.out.data(), size, t.record.data(), t.length, 0);
    benchmark::ClobberMemory();
  }
  ReportPerField(state);
}

BENCHMARK(BM_RecordMemcpy)->Name("record_memcpy");
BENCHMARK(BM_ExchangeConvert)->Name("exchange_convert_30_fields");

}  // namespace
}  // namespace tavelnor

BENCHMARK_MAIN();
