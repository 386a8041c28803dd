// Reading a file of the earlier engines' 6.0 format, next to a plain
// sequential read of the same file in the same run. The file is built by the
// tests' 6.0 writer: the records of the largest real 6.0 sample (when the
// samples lie beside the project) repeated to TAVELNOR_BENCH_LEGACY_RECORDS
// (100,000) records with a fresh unique number in key 0, else records of the
// same layout made up here.
//
//   plain read     the file read start to end in 64 KiB pieces
//   open           Open (the file mapped, its header, page tables, pages and
//                  record slots checked) and Close, nothing of it known before
//   second open    the same with the file opened before in the process
//   Step scan      Step First + Step Next over every record
//   Get Next scan  Get First + Get Next over key 0
//   Get Equal      Get Equal of every key 0 value, in a shuffled order
//
// Each reports the file's megabytes per second; after the run a summary gives
// the ratios to the plain read, and the memory the open file holds besides
// its mapping (memory allocated, with every key's index built)
// against the indexes' own bytes.
#include <benchmark/benchmark.h>

#include <cinttypes>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "btrieve/btrcall.h"
#include "btrieve/data_file.h"
#if __has_include("btrieve/legacy_data_file.h")
#include "btrieve/legacy_data_file.h"
#define TAVELNOR_LEGACY_SHARED 1
#endif
#include "btrieve/legacy_source.h"
#include "legacy_synth.h"

namespace tavelnor::btrieve::bench {
namespace {

namespace fs = std::filesystem;

constexpr uint16_t kOpen = 0, kClose = 1, kGetEqual = 5, kGetNext = 6, kGetFirst = 12,
                   kStat = 15, kStepNext = 24, kStepFirst = 33;

uint32_t RecordTarget() {
  const char* v = std::getenv("TAVELNOR_BENCH_LEGACY_RECORDS");
  return v != nullptr && std::atoi(v) > 0 ? static_cast<uint32_t>(std::atoi(v)) : 100000;
}

struct Bench {
  std::string path;
  uint64_t bytes = 0;
  uint32_t records = 0;
  uint16_t record_length = 0;
  std::string source;
};

// The largest real 6.0 sample: 950-byte records, a unique 4-byte key first.
synth::SynthFile Template(std::string* source) {
  synth::SynthFile f;
  const fs::path sample = fs::path(TAVELNOR_SOURCE_DIR) / ".." / "shared" / "fixtures" /
                          "btrieve-real" / "v60-wbtrv32-galtela" / "GALTELA.DAT";
  std::unique_ptr<LegacySource> real;
  std::string reason;
  if (OpenLegacySource(sample.string(), &real, &reason) == 0) {
    const FileSpec& spec = real->spec();
    f.record_length = spec.record_length;
    for (const KeyDef& key : spec.keys) {
      synth::SynthKey k;
      for (const Segment& s : key.segments) {
        k.segments.push_back({static_cast<uint16_t>(s.position - 1), s.length,
                              static_cast<uint16_t>(s.flags & ~kKeySegmented), s.raw_type});
        k.acs = s.acs;
      }
      f.keys.push_back(k);
    }
    f.acs = spec.acs;
    real->Scan([&](const LegacyRecord& r) {
      f.records.emplace_back(r.data.begin(), r.data.end());
      return 0;
    });
    *source = "GALTELA.DAT's " + std::to_string(f.records.size()) + " records, repeated";
  }
  if (f.records.empty() || f.keys.empty()) {
    f = synth::SynthFile{};
    f.record_length = 950;
    f.keys.push_back({{{0, 4, 0, kTypeInteger}}, 0});
    f.keys.push_back({{{4, 30, kKeyDup, kTypeString}}, 0});
    for (int i = 0; i < 73; ++i) {
      std::vector<uint8_t> r(950, static_cast<uint8_t>('a' + i % 26));
      std::snprintf(reinterpret_cast<char*>(r.data() + 4), 30, "NAME %d", i % 10);
      f.records.push_back(r);
    }
    *source = "made-up records of GALTELA.DAT's length";
  }
  return f;
}

const Bench& File() {
  static const Bench* bench = [] {
    auto* b = new Bench;
    synth::SynthFile f = Template(&b->source);
    const std::vector<std::vector<uint8_t>> templates = f.records;
    const uint32_t target = RecordTarget();
    f.records.clear();
    f.records.reserve(target);
    // Key 0's first segment takes a unique number: digits in a text type,
    // else the number's bytes.
    const synth::SynthSegment first = f.keys[0].segments[0];
    const bool text = first.type == kTypeString || first.type == kTypeZstring;
    for (uint32_t i = 0; i < target; ++i) {
      std::vector<uint8_t> r = templates[i % templates.size()];
      uint32_t n = i + 1;
      if (text && first.length >= 11) {
        char digits[12];
        std::snprintf(digits, sizeof digits, "%010u", n);
        std::memcpy(r.data() + first.offset, digits, 11);
      } else {
        std::memcpy(r.data() + first.offset, &n, std::min<size_t>(first.length, 4));
      }
      f.records.push_back(std::move(r));
    }
    synth::Written w = synth::WriteVersion6(f);
    const fs::path dir = fs::temp_directory_path() / "tavelnor-legacy-bench";
    fs::create_directories(dir);
    b->path = (dir / "ENLARGED.DAT").string();
    std::ofstream(b->path, std::ios::binary)
        .write(reinterpret_cast<const char*>(w.image.data()), static_cast<std::streamsize>(w.image.size()));
    b->bytes = w.image.size();
    b->records = target;
    b->record_length = f.record_length;
    return b;
  }();
  return *bench;
}

void Report(benchmark::State& state, const char* name) {
  const Bench& b = File();
  state.SetBytesProcessed(static_cast<int64_t>(b.bytes * state.iterations()));
  state.counters["MB_per_sec"] = benchmark::Counter(
      static_cast<double>(b.bytes) / 1e6, benchmark::Counter::kIsIterationInvariantRate);
  state.SetLabel(name);
}

struct Cursor {
  uint8_t pos[128] = {};
  uint8_t key[255] = {};
  std::vector<uint8_t> data = std::vector<uint8_t>(65535);
  int16_t Call(uint16_t op, int key_num = 0) {
    uint32_t len = static_cast<uint32_t>(data.size());
    return BTRCALL(op, pos, data.data(), &len, key, 255, static_cast<int8_t>(key_num));
  }
  bool Open(const std::string& path) {
    std::memset(key, 0, sizeof key);
    std::memcpy(key, path.c_str(), std::min<size_t>(path.size(), 254));
    return BTRCALL(kOpen, pos, data.data(), nullptr, key, 255, -2 /* read-only */) == 0;
  }
};

void BM_PlainRead(benchmark::State& state) {
  const Bench& b = File();
  std::vector<char> buf(65536);
  for (auto _ : state) {
    std::FILE* f = std::fopen(b.path.c_str(), "rb");
    uint64_t sum = 0;
    size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), f)) > 0) sum += static_cast<uint8_t>(buf[n - 1]);
    std::fclose(f);
    benchmark::DoNotOptimize(sum);
  }
  Report(state, "plain read");
}

// Forgets what the process knows of files opened before.
void Forget() {
#ifdef TAVELNOR_LEGACY_SHARED
  LegacyDataFile::ForgetClosedFiles();
#endif
}

void BM_Open(benchmark::State& state) {
  const Bench& b = File();
  for (auto _ : state) {
    state.PauseTiming();
    Forget();
    state.ResumeTiming();
    Cursor c;
    if (!c.Open(b.path)) state.SkipWithError("Open failed");
    c.Call(kClose);
  }
  Report(state, "open");
}

void BM_SecondOpen(benchmark::State& state) {
  const Bench& b = File();
  {
    Cursor first;
    if (!first.Open(b.path)) state.SkipWithError("Open failed");
    first.Call(kClose);
  }
  for (auto _ : state) {
    Cursor c;
    if (!c.Open(b.path)) state.SkipWithError("Open failed");
    c.Call(kClose);
  }
  Report(state, "second open");
}

void Scan(benchmark::State& state, uint16_t first, uint16_t next, int key, const char* name) {
  const Bench& b = File();
  Cursor c;
  if (!c.Open(b.path)) {
    state.SkipWithError("Open failed");
    return;
  }
  for (auto _ : state) {
    uint32_t n = 0;
    for (int16_t st = c.Call(first, key); st == 0; st = c.Call(next, key)) ++n;
    if (n != b.records) state.SkipWithError("records missing");
  }
  c.Call(kClose);
  Report(state, name);
}

void BM_StepScan(benchmark::State& state) { Scan(state, kStepFirst, kStepNext, 0, "Step scan"); }
void BM_GetNextScan(benchmark::State& state) { Scan(state, kGetFirst, kGetNext, 0, "Get Next scan"); }

// Every key 0 value, read through Get First + Get Next, shuffled.
std::vector<std::vector<uint8_t>> KeyValues(Cursor& c) {
  std::vector<std::vector<uint8_t>> values;
  for (int16_t st = c.Call(kGetFirst); st == 0; st = c.Call(kGetNext)) {
    values.emplace_back(c.key, c.key + sizeof c.key);
  }
  uint64_t seed = 88172645463325252ull;
  for (size_t i = values.size(); i > 1; --i) {
    seed ^= seed << 13, seed ^= seed >> 7, seed ^= seed << 17;
    std::swap(values[i - 1], values[seed % i]);
  }
  return values;
}

void BM_GetEqual(benchmark::State& state) {
  const Bench& b = File();
  Cursor c;
  if (!c.Open(b.path)) {
    state.SkipWithError("Open failed");
    return;
  }
  const std::vector<std::vector<uint8_t>> values = KeyValues(c);
  for (auto _ : state) {
    for (const std::vector<uint8_t>& v : values) {
      std::memcpy(c.key, v.data(), v.size());
      if (c.Call(kGetEqual) != 0) state.SkipWithError("Get Equal failed");
    }
  }
  c.Call(kClose);
  state.counters["lookups_per_sec"] = benchmark::Counter(
      static_cast<double>(values.size()), benchmark::Counter::kIsIterationInvariantRate);
  state.SetLabel("Get Equal");
}

// Bytes the process has allocated and not freed (glibc; 0 elsewhere).
uint64_t HeapInUse() {
#ifdef __GLIBC__
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
#else
  return 0;
#endif
}

BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Open)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SecondOpen)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StepScan)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetNextScan)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetEqual)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tavelnor::btrieve::bench

int main(int argc, char** argv) {
  using namespace tavelnor::btrieve;
  benchmark::Initialize(&argc, argv);
  const bench::Bench& b = bench::File();
  std::printf("file: %s, %u records of %u bytes (%s), %.1f MB\n", b.path.c_str(), b.records,
              b.record_length, b.source.c_str(), static_cast<double>(b.bytes) / 1e6);
  benchmark::RunSpecifiedBenchmarks();
  // The memory an open file holds besides its mapping, every key built.
  bench::Forget();
  const uint64_t before = bench::HeapInUse();
  bench::Cursor c;
  if (c.Open(b.path)) {
    uint32_t len = static_cast<uint32_t>(c.data.size());
    BTRCALL(bench::kStat, c.pos, c.data.data(), &len, c.key, 255, 0);
    const int keys = c.data[4] | (c.data[5] << 8);
    for (int k = 0; k < keys; ++k) c.Call(bench::kGetFirst, k);
    const uint64_t after = bench::HeapInUse();
    std::printf("memory besides the mapping: %.1f MB (allocated, %d keys built)\n",
                static_cast<double>(after - before) / 1e6, keys);
#ifdef TAVELNOR_LEGACY_SHARED
    std::unique_ptr<DataFile> file;
    if (DataFile::Open(b.path, &file) == 0 && file->legacy() != nullptr) {
      const size_t bytes = file->legacy()->MemoryBytes();
      std::printf("indexes' own bytes: %.1f MB, %.1f bytes per record; ratio %.2f\n",
                  static_cast<double>(bytes) / 1e6, static_cast<double>(bytes) / b.records,
                  static_cast<double>(after - before) / static_cast<double>(bytes));
    }
#endif
    c.Call(bench::kClose);
  }
  benchmark::Shutdown();
  return 0;
}
