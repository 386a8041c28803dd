// Dictionary loading against the time of only reading (and inflating) the
// same file. Prints the ratios at the end; the target for a plain file is at
// most 5x.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include <zlib.h>

#include "bench/synthetic_dico.h"
#include "dico/gzip_stream.h"
#include "foundation/platform/files.h"
#include "tavelnor/zavl.h"

namespace {

std::filesystem::path g_plain, g_gzip;
size_t g_objects = 0;

void WriteFile(const std::filesystem::path& p, const std::vector<uint8_t>& bytes) {
  std::ofstream out(p, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void Prepare() {
  const auto dir = std::filesystem::temp_directory_path() / "tavelnor-bench";
  std::filesystem::create_directories(dir);
  auto img = tavelnor::bench::MakeSyntheticDico(2000, 60);
  for (int k = 0; k < tavelnor::dico::kKindCount; ++k) g_objects += img.Count(k);
  const auto bytes = tavelnor::dico::WriteDicoImage(img, 11);
  g_plain = dir / "synthetic.dic";
  g_gzip = dir / "synthetic-gz.dic";
  WriteFile(g_plain, bytes);
  WriteFile(g_gzip, tavelnor::dico::GzipCompress(bytes));
}

// Inflates a whole gzip member with one zlib call into a buffer sized from
// its length trailer: the least work that inflating can take.
std::vector<uint8_t> InflateAll(const std::vector<uint8_t>& gz) {
  const size_t n = gz.size();
  const uint32_t size = static_cast<uint32_t>(gz[n - 4]) | (static_cast<uint32_t>(gz[n - 3]) << 8) |
                        (static_cast<uint32_t>(gz[n - 2]) << 16) |
                        (static_cast<uint32_t>(gz[n - 1]) << 24);
  std::vector<uint8_t> out(size);
  z_stream zs{};
  inflateInit2(&zs, 16 + MAX_WBITS);
  zs.next_in = const_cast<Bytef*>(gz.data());
  zs.avail_in = static_cast<uInt>(n);
  zs.next_out = out.data();
  zs.avail_out = static_cast<uInt>(out.size());
  const int rc = inflate(&zs, Z_FINISH);
  inflateEnd(&zs);
  if (rc != Z_STREAM_END) out.clear();
  return out;
}

// The baseline: the file read into memory in one go and, for a gzip file,
// inflated; nothing else.
void ReadOnly(benchmark::State& state, const std::filesystem::path* path) {
  for (auto _ : state) {
    auto bytes = tavelnor::platform::ReadWholeFile(path->string());
    if (!bytes.ok()) state.SkipWithError("read failed");
    if (tavelnor::dico::HasGzipMagic(bytes.value())) {
      auto inflated = InflateAll(bytes.value());
      if (inflated.empty()) state.SkipWithError("inflate failed");
      benchmark::DoNotOptimize(inflated);
    }
    benchmark::DoNotOptimize(bytes);
  }
}

void OpenSchema(benchmark::State& state, const std::filesystem::path* path) {
  for (auto _ : state) {
    ZAVL_Schema* s = ZAVL_OpenSchema(path->string().c_str(), 0);
    if (!s) state.SkipWithError("ZAVL_OpenSchema failed");
    ZAVL_CloseSchema(s);
  }
  state.counters["objects"] = static_cast<double>(g_objects);
}

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const auto& r : runs) times_[r.benchmark_name()] = r.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  void PrintRatios() const {
    // With --benchmark_repetitions the medians are compared.
    auto find = [&](const std::string& name) {
      auto it = times_.find(name + "_median");
      return it != times_.end() ? it : times_.find(name);
    };
    auto ratio = [&](const char* a, const char* b) {
      auto ia = find(a), ib = find(b);
      if (ia == times_.end() || ib == times_.end() || ib->second == 0) return;
      std::printf("%-40s %.2fx (%s / %s)\n", (std::string(a) + " ratio").c_str(),
                  ia->second / ib->second, a, b);
    };
    std::printf("\nObjects in the synthetic dictionary: %zu\n", g_objects);
    ratio("OpenSchema/plain", "ReadOnly/plain");
    ratio("OpenSchema/gzip", "ReadOnly/gzip");
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  Prepare();
  benchmark::RegisterBenchmark("ReadOnly/plain", ReadOnly, &g_plain)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("OpenSchema/plain", OpenSchema, &g_plain)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("ReadOnly/gzip", ReadOnly, &g_gzip)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("OpenSchema/gzip", OpenSchema, &g_gzip)->Unit(benchmark::kMillisecond);
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
