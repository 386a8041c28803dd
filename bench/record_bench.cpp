// The conversions a record read performs most, each next to a plain memcpy
// of the same bytes. Counters report nanoseconds per value ("ns_per_value").
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "record/byte_form.h"
#include "record/date_value.h"
#include "record/er_buffer.h"
#include "record/fixed_point.h"
#include "record/text_fields.h"

namespace tavelnor::record {
namespace {

constexpr size_t kValues = 4096;

// kValues random values of `width` bytes each, filled by `make`.
template <typename Make>
std::vector<uint8_t> Fill(size_t width, Make make) {
  std::vector<uint8_t> bytes(kValues * width);
  std::mt19937_64 rng(7);
  for (size_t i = 0; i < kValues; ++i) make(rng, bytes.data() + i * width);
  return bytes;
}

void Report(benchmark::State& state) {
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kValues));
  state.counters["ns_per_value"] =
      benchmark::Counter(static_cast<double>(state.iterations() * kValues) * 1e-9,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

std::vector<uint8_t> Dates() {
  return Fill(4, [](std::mt19937_64& rng, uint8_t* p) {
    sDate::FromDayNumber(static_cast<int32_t>(2086302 + rng() % 730485)).ToBytes(p);
  });
}

template <size_t kWidth>
void BM_Memcpy(benchmark::State& state) {
  std::vector<uint8_t> src = Fill(kWidth, [](std::mt19937_64& rng, uint8_t* p) {
    for (size_t i = 0; i < kWidth; ++i) p[i] = static_cast<uint8_t>(rng());
  });
  std::vector<uint8_t> dst(src.size());
  for (auto _ : state) {
    for (size_t i = 0; i < kValues; ++i) {
      std::memcpy(dst.data() + i * kWidth, src.data() + i * kWidth, kWidth);
      benchmark::ClobberMemory();
    }
  }
  Report(state);
}

void BM_DateToDayNumber(benchmark::State& state) {
  std::vector<uint8_t> src = Dates();
  for (auto _ : state) {
    for (size_t i = 0; i < kValues; ++i) {
      benchmark::DoNotOptimize(sDate::FromBytes(src.data() + i * 4).DayNumber());
    }
  }
  Report(state);
}

void BM_Decimal32ToDouble(benchmark::State& state) {
  std::vector<uint8_t> src = Fill(4, [](std::mt19937_64& rng, uint8_t* p) {
    EDecimal32::FromRaw(static_cast<int32_t>(rng())).ToBytes(p);
  });
  for (auto _ : state) {
    for (size_t i = 0; i < kValues; ++i) {
      benchmark::DoNotOptimize(EDecimal32::FromBytes(src.data() + i * 4).ToDouble());
    }
  }
  Report(state);
}

void BM_Decimal64ToDouble(benchmark::State& state) {
  std::vector<uint8_t> src = Fill(8, [](std::mt19937_64& rng, uint8_t* p) {
    EDecimal64::FromRaw(static_cast<int64_t>(rng())).ToBytes(p);
  });
  for (auto _ : state) {
    for (size_t i = 0; i < kValues; ++i) {
      benchmark::DoNotOptimize(EDecimal64::FromBytes(src.data() + i * 8).ToDouble());
    }
  }
  Report(state);
}

void BM_CurrencyToDouble(benchmark::State& state) {
  std::vector<uint8_t> src = Fill(8, [](std::mt19937_64& rng, uint8_t* p) {
    ECurrency::FromRaw(static_cast<int64_t>(rng() >> 8)).ToBytes(p);
  });
  for (auto _ : state) {
    for (size_t i = 0; i < kValues; ++i) {
      benchmark::DoNotOptimize(ECurrency::FromBytes(src.data() + i * 8).ToDouble());
    }
  }
  Report(state);
}

template <typename T>
void BM_IntegerGetter(benchmark::State& state) {
  std::vector<uint8_t> src = Fill(sizeof(T), [](std::mt19937_64& rng, uint8_t* p) {
    StoreLittle<T>(p, static_cast<T>(rng()));
  });
  for (auto _ : state) {
    for (size_t i = 0; i < kValues; ++i) {
      benchmark::DoNotOptimize(LoadLittle<T>(src.data() + i * sizeof(T)));
    }
  }
  Report(state);
}

// A 32-byte text field copied through the upper-case table: `accent_every`
// 0 gives random Windows-1252 bytes, n > 0 letters and spaces with one
// accented letter in about n bytes.
void BM_TextCopyUpper(benchmark::State& state) {
  constexpr size_t kWidth = 32;
  const uint64_t accent_every = static_cast<uint64_t>(state.range(0));
  std::vector<uint8_t> src = Fill(kWidth, [&](std::mt19937_64& rng, uint8_t* p) {
    for (size_t i = 0; i < kWidth; ++i) {
      uint64_t r = rng();
      if (accent_every == 0) {
        p[i] = static_cast<uint8_t>(0x20 + r % 0xDF);
      } else if (r % accent_every == 0) {
        p[i] = 0xE9;
      } else {
        p[i] = r % 6 == 0 ? ' ' : static_cast<uint8_t>('a' + (r >> 8) % 26);
      }
    }
  });
  std::vector<uint8_t> dst(src.size());
  for (auto _ : state) {
    for (size_t i = 0; i < kValues; ++i) {
      CopyUpper(dst.data() + i * kWidth, src.data() + i * kWidth, kWidth);
      benchmark::ClobberMemory();
    }
  }
  Report(state);
}

// The same conversions through a typed buffer aimed at each value in turn,
// as a record field reads them (one virtual call per value).
template <typename Read>
void BufferPass(benchmark::State& state, int16_t code, size_t width, std::vector<uint8_t>& src,
                Read read) {
  std::unique_ptr<ErBuffer> buffer = CreateBuffer(code, static_cast<int32_t>(width), 0);
  for (auto _ : state) {
    for (size_t i = 0; i < kValues; ++i) {
      buffer->SetData(src.data() + i * width);
      benchmark::DoNotOptimize(read(*buffer));
    }
  }
  buffer->SetData(nullptr);
  Report(state);
}

void BM_BufferDateDayNumber(benchmark::State& state) {
  std::vector<uint8_t> src = Dates();
  BufferPass(state, 4, 4, src, [](const ErBuffer& b) { return b.GetInt64(); });
}

void BM_BufferInt32(benchmark::State& state) {
  std::vector<uint8_t> src = Fill(4, [](std::mt19937_64& rng, uint8_t* p) {
    StoreLittle<int32_t>(p, static_cast<int32_t>(rng()));
  });
  BufferPass(state, 1, 4, src, [](const ErBuffer& b) { return b.GetInt64(); });
}

void BM_BufferCurrencyDouble(benchmark::State& state) {
  std::vector<uint8_t> src = Fill(8, [](std::mt19937_64& rng, uint8_t* p) {
    StoreLittle<int64_t>(p, static_cast<int64_t>(rng() % 10000000000000ULL));
  });
  BufferPass(state, 29, 8, src, [](const ErBuffer& b) { return b.GetDouble(); });
}

void BM_BufferUpperText(benchmark::State& state) {
  constexpr size_t kWidth = 32;
  std::vector<uint8_t> dst(kValues * kWidth);
  std::unique_ptr<ErBuffer> buffer = CreateBuffer(0, kWidth, 1);
  const std::string_view text = "facture n\xB0 12 r\xE9" "gl\xE9" "e le lundi";
  for (auto _ : state) {
    for (size_t i = 0; i < kValues; ++i) {
      buffer->SetData(dst.data() + i * kWidth);
      buffer->SetText(text);
    }
    benchmark::ClobberMemory();
  }
  buffer->SetData(nullptr);
  Report(state);
}

BENCHMARK(BM_Memcpy<4>)->Name("memcpy_4_bytes");
BENCHMARK(BM_DateToDayNumber)->Name("date_to_day_number");
BENCHMARK(BM_Decimal32ToDouble)->Name("decimal32_to_double");
BENCHMARK(BM_IntegerGetter<int32_t>)->Name("int32_getter");
BENCHMARK(BM_IntegerGetter<uint16_t>)->Name("uint16_getter");
BENCHMARK(BM_Memcpy<8>)->Name("memcpy_8_bytes");
BENCHMARK(BM_Decimal64ToDouble)->Name("decimal64_to_double");
BENCHMARK(BM_CurrencyToDouble)->Name("currency_to_double");
BENCHMARK(BM_IntegerGetter<int64_t>)->Name("int64_getter");
BENCHMARK(BM_Memcpy<32>)->Name("memcpy_32_bytes");
BENCHMARK(BM_TextCopyUpper)->Name("text32_copy_upper_plain")->Arg(1000000);
BENCHMARK(BM_TextCopyUpper)->Name("text32_copy_upper_1_accent_in_64")->Arg(64);
BENCHMARK(BM_TextCopyUpper)->Name("text32_copy_upper_random_1252")->Arg(0);
BENCHMARK(BM_BufferDateDayNumber)->Name("buffer_date_day_number");
BENCHMARK(BM_BufferInt32)->Name("buffer_int32_getter");
BENCHMARK(BM_BufferCurrencyDouble)->Name("buffer_currency_to_double");
BENCHMARK(BM_BufferUpperText)->Name("buffer_zstring32_set_text_upper");

}  // namespace
}  // namespace tavelnor::record

BENCHMARK_MAIN();
