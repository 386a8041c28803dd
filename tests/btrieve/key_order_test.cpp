// Key ordering: for each key type and flag, random values inserted in random
// order must come back from Get First/Next (and Get Last/Previous) in the
// order of a reference sort of the decoded values, duplicates in insertion
// order.
#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <random>

#include "btrieve_test_util.h"
#include "foundation/case_tables.h"

namespace tavelnor::btrieve::testing {
namespace {

constexpr uint16_t kRecordLength = 64;
constexpr size_t kIdOffset = 60;
constexpr int kValues = 300;

using Bytes = const uint8_t*;

uint64_t LE(Bytes p, size_t n) {
  uint64_t v = 0;
  for (size_t i = n; i > 0; --i) v = (v << 8) | p[i - 1];
  return v;
}
int64_t SignedLE(Bytes p, size_t n) {
  uint64_t v = LE(p, n);
  if (n < 8 && (v >> (8 * n - 1))) v |= ~uint64_t{0} << (8 * n);
  return static_cast<int64_t>(v);
}
void PutLE(uint8_t* p, uint64_t v, size_t n) {
  for (size_t i = 0; i < n; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
// Random integer in a range that also hits the edges and small values often.
int64_t Pick(std::mt19937& rng, int64_t lo, int64_t hi) {
  switch (rng() % 6) {
    case 0:
      return lo;
    case 1:
      return hi;
    case 2:
      return static_cast<int64_t>(rng() % 7) - 3;
    default:
      return std::uniform_int_distribution<int64_t>(lo, hi)(rng);
  }
}
long double Bfloat(Bytes p, size_t n) {
  uint8_t exponent = p[n - 1];
  if (exponent == 0) return 0;
  bool negative = p[n - 2] & 0x80;
  int bits = static_cast<int>(8 * (n - 1) - 1);
  uint64_t mantissa = LE(p, n - 1) & ((uint64_t{1} << bits) - 1);
  long double v = std::ldexp(static_cast<long double>((uint64_t{1} << bits) | mantissa),
                             exponent - 128 - bits - 1);
  return negative ? -v : v;
}
std::string Text(Bytes p, size_t n) { return std::string(reinterpret_cast<const char*>(p), n); }
const char kAlphabet[] = {'a', 'A', 'b', 'B', 'z', ' ', '\xE9', '\xC9', '0', '\x7F', '\xFF'};
void RandomText(std::mt19937& rng, uint8_t* p, size_t n) {
  for (size_t i = 0; i < n; ++i) p[i] = static_cast<uint8_t>(kAlphabet[rng() % sizeof kAlphabet]);
}

// Packed decimal of `v` in n bytes, sign nibble C or F (+) or D (-).
void PutDecimal(std::mt19937& r, uint8_t* p, size_t n, int64_t v) {
  uint64_t m = static_cast<uint64_t>(v < 0 ? -v : v);
  std::vector<uint8_t> nibbles(2 * n);
  nibbles[2 * n - 1] = v < 0 ? 0xD : (r() % 2 ? 0xC : 0xF);
  for (size_t i = 2 * n - 1; i > 0; --i, m /= 10) nibbles[i - 1] = static_cast<uint8_t>(m % 10);
  for (size_t i = 0; i < n; ++i)
    p[i] = static_cast<uint8_t>((nibbles[2 * i] << 4) | nibbles[2 * i + 1]);
}
int64_t GetDecimal(Bytes p, size_t n) {
  int64_t v = 0;
  for (size_t i = 0; i + 1 < 2 * n; ++i)
    v = v * 10 + ((i % 2 == 0) ? p[i / 2] >> 4 : p[i / 2] & 15);
  return (p[n - 1] & 15) == 0xD ? -v : v;
}
// Zoned digits with the sign overpunched on the last one, both positive forms.
void PutNumeric(std::mt19937& r, uint8_t* p, size_t n, int64_t v) {
  uint64_t m = static_cast<uint64_t>(v < 0 ? -v : v);
  for (size_t i = n; i > 0; --i, m /= 10) p[i - 1] = static_cast<uint8_t>('0' + m % 10);
  int last = p[n - 1] - '0';
  if (v < 0) {
    p[n - 1] = static_cast<uint8_t>(last == 0 ? '}' : 'J' + last - 1);
  } else if (r() % 2) {
    p[n - 1] = static_cast<uint8_t>(last == 0 ? '{' : 'A' + last - 1);
  }
}
int64_t GetNumeric(Bytes p, size_t n) {
  int64_t v = 0;
  for (size_t i = 0; i + 1 < n; ++i) v = v * 10 + (p[i] - '0');
  uint8_t c = p[n - 1];
  bool negative = c == '}' || (c >= 'J' && c <= 'R');
  int last = c >= '0' && c <= '9'   ? c - '0'
             : c == '{' || c == '}' ? 0
             : negative             ? c - 'J' + 1
                                    : c - 'A' + 1;
  v = v * 10 + last;
  return negative ? -v : v;
}
void PutNumericSts(uint8_t* p, size_t n, int64_t v) {
  uint64_t m = static_cast<uint64_t>(v < 0 ? -v : v);
  for (size_t i = n - 1; i > 0; --i, m /= 10) p[i - 1] = static_cast<uint8_t>('0' + m % 10);
  p[n - 1] = v < 0 ? '-' : '+';
}
int64_t GetNumericSts(Bytes p, size_t n) {
  int64_t v = 0;
  for (size_t i = 0; i + 1 < n; ++i) v = v * 10 + (p[i] - '0');
  return p[n - 1] == '-' ? -v : v;
}

struct OrderCase {
  const char* name;
  std::vector<SegmentDef> segments;
  std::function<void(std::mt19937&, uint8_t*)> generate;  // fills the key region
  std::function<bool(Bytes, Bytes)> less;                 // decoded order
};

OrderCase IntegerCase(uint16_t n, uint16_t flags = 0) {
  int64_t lo = n == 8 ? INT64_MIN : -(int64_t{1} << (8 * n - 1));
  int64_t hi = n == 8 ? INT64_MAX : (int64_t{1} << (8 * n - 1)) - 1;
  bool desc = flags & kKeyDescending;
  return {desc ? "integer-desc" : "integer",
          {{1, n, static_cast<uint16_t>(kKeyDup | flags), kTypeInteger}},
          [=](std::mt19937& r, uint8_t* p) { PutLE(p, static_cast<uint64_t>(Pick(r, lo, hi)), n); },
          [=](Bytes a, Bytes b) {
            return desc ? SignedLE(a, n) > SignedLE(b, n) : SignedLE(a, n) < SignedLE(b, n);
          }};
}

template <typename F>
OrderCase FloatCase(uint8_t type, uint16_t n, F generate, std::function<bool(Bytes, Bytes)> less) {
  return {type == kTypeFloat ? "float" : "bfloat", {{1, n, kKeyDup, type}}, generate, less};
}

std::vector<OrderCase> Cases() {
  std::vector<OrderCase> cases;
  for (uint16_t n : {1, 2, 4, 8}) cases.push_back(IntegerCase(n));
  cases.push_back(IntegerCase(4, kKeyDescending));
  for (uint16_t n : {1, 2, 4, 6}) {
    cases.push_back({"unsigned-binary",
                     {{1, n, kKeyDup, kTypeUnsignedBinary}},
                     [=](std::mt19937& r, uint8_t* p) {
                       for (size_t i = 0; i < n; ++i)
                         p[i] = static_cast<uint8_t>(r() % 3 ? r() : 0);
                     },
                     [=](Bytes a, Bytes b) {
                       for (size_t i = n; i > 0; --i) {
                         if (a[i - 1] != b[i - 1]) return a[i - 1] < b[i - 1];
                       }
                       return false;
                     }});
  }
  cases.push_back(FloatCase(
      kTypeFloat, 8,
      [](std::mt19937& r, uint8_t* p) {
        double v = r() % 8 == 0 ? (r() % 2 ? 0.0 : -0.0)
                                : std::ldexp(static_cast<double>(Pick(r, -1000000, 1000000)),
                                             static_cast<int>(r() % 80) - 40);
        std::memcpy(p, &v, 8);
      },
      [](Bytes a, Bytes b) {
        double x, y;
        std::memcpy(&x, a, 8);
        std::memcpy(&y, b, 8);
        return x < y;
      }));
  cases.push_back(FloatCase(
      kTypeFloat, 4,
      [](std::mt19937& r, uint8_t* p) {
        float v = static_cast<float>(Pick(r, -5000, 5000)) / static_cast<float>(1 + r() % 16);
        std::memcpy(p, &v, 4);
      },
      [](Bytes a, Bytes b) {
        float x, y;
        std::memcpy(&x, a, 4);
        std::memcpy(&y, b, 4);
        return x < y;
      }));
  for (uint16_t n : {4, 8}) {
    cases.push_back(FloatCase(
        kTypeBfloat, n,
        [=](std::mt19937& r, uint8_t* p) {
          for (size_t i = 0; i < n; ++i) p[i] = static_cast<uint8_t>(r());
          p[n - 1] = static_cast<uint8_t>(r() % 5 == 0 ? 0 : 120 + r() % 20);
        },
        [=](Bytes a, Bytes b) { return Bfloat(a, n) < Bfloat(b, n); }));
  }
  cases.push_back({"date",
                   {{1, 4, kKeyDup, kTypeDate}},
                   [](std::mt19937& r, uint8_t* p) {
                     p[0] = static_cast<uint8_t>(1 + r() % 31);
                     p[1] = static_cast<uint8_t>(1 + r() % 12);
                     PutLE(p + 2, 1990 + r() % 40, 2);
                   },
                   [](Bytes a, Bytes b) {
                     auto v = [](Bytes p) { return LE(p + 2, 2) * 10000 + p[1] * 100 + p[0]; };
                     return v(a) < v(b);
                   }});
  cases.push_back({"time",
                   {{1, 4, kKeyDup, kTypeTime}},
                   [](std::mt19937& r, uint8_t* p) {
                     p[0] = static_cast<uint8_t>(r() % 100);
                     p[1] = static_cast<uint8_t>(r() % 60);
                     p[2] = static_cast<uint8_t>(r() % 60);
                     p[3] = static_cast<uint8_t>(r() % 24);
                   },
                   [](Bytes a, Bytes b) {
                     auto v = [](Bytes p) {
                       return ((p[3] * 100 + p[2]) * 100 + p[1]) * 100 + p[0];
                     };
                     return v(a) < v(b);
                   }});
  for (uint16_t flags : {0, int{kKeyDescending}, int{kKeyNoCase}}) {
    bool desc = flags & kKeyDescending;
    bool nocase = flags & kKeyNoCase;
    cases.push_back({nocase ? "string-nocase"
                     : desc ? "string-desc"
                            : "string",
                     {{1, 5, static_cast<uint16_t>(kKeyDup | flags), kTypeString}},
                     [](std::mt19937& r, uint8_t* p) { RandomText(r, p, r() % 4 ? 5 : 0); },
                     [=](Bytes a, Bytes b) {
                       std::string x = Text(a, 5), y = Text(b, 5);
                       if (nocase) return CompareNoCase1252(x, y) < 0;
                       return desc ? y < x : x < y;
                     }});
  }
  cases.push_back({"zstring",
                   {{1, 6, kKeyDup, kTypeZstring}},
                   [](std::mt19937& r, uint8_t* p) {
                     for (size_t i = 0; i < 6; ++i) p[i] = static_cast<uint8_t>(r());
                     size_t n = r() % 7;
                     RandomText(r, p, n);
                     if (n < 6) p[n] = 0;
                   },
                   [](Bytes a, Bytes b) {
                     auto z = [](Bytes p) { return std::string(Text(p, 6).c_str()); };
                     return z(a) < z(b);
                   }});
  cases.push_back({"lstring",
                   {{1, 6, kKeyDup, kTypeLstring}},
                   [](std::mt19937& r, uint8_t* p) {
                     for (size_t i = 0; i < 6; ++i) p[i] = static_cast<uint8_t>(r() % 3 ? 0 : r());
                     p[0] = static_cast<uint8_t>(r() % 6);
                   },
                   [](Bytes a, Bytes b) { return Text(a + 1, a[0]) < Text(b + 1, b[0]); }});
  cases.push_back(
      {"autoincrement",  // unique, as AUTOINCREMENT keys are: no two absolute values alike
       {{1, 4, 0, kTypeAutoIncrement}},
       [k = std::make_shared<int64_t>(0)](std::mt19937& r, uint8_t* p) {
         const int64_t magnitude = ++*k * 7919 % 100003 + 1;  // a permutation of 1..100003
         PutLE(p, static_cast<uint64_t>(r() % 2 ? magnitude : -magnitude), 4);
       },
       [](Bytes a, Bytes b) { return std::llabs(SignedLE(a, 4)) < std::llabs(SignedLE(b, 4)); }});
  cases.push_back({"string-asc-integer-desc",
                   {{1, 2, kKeyDup, kTypeString}, {3, 2, kKeyDup | kKeyDescending, kTypeInteger}},
                   [](std::mt19937& r, uint8_t* p) {
                     RandomText(r, p, 2);
                     p[1] = 'a';
                     PutLE(p + 2, static_cast<uint64_t>(Pick(r, -5, 5)), 2);
                   },
                   [](Bytes a, Bytes b) {
                     if (Text(a, 2) != Text(b, 2)) return Text(a, 2) < Text(b, 2);
                     return SignedLE(a + 2, 2) > SignedLE(b + 2, 2);
                   }});
  cases.push_back(
      {"decimal",
       {{1, 5, kKeyDup, kTypeDecimal}},
       [](std::mt19937& r, uint8_t* p) { PutDecimal(r, p, 5, Pick(r, -999999999, 999999999)); },
       [](Bytes a, Bytes b) { return GetDecimal(a, 5) < GetDecimal(b, 5); }});
  cases.push_back(
      {"numeric",
       {{1, 6, kKeyDup, kTypeNumeric}},
       [](std::mt19937& r, uint8_t* p) { PutNumeric(r, p, 6, Pick(r, -999999, 999999)); },
       [](Bytes a, Bytes b) { return GetNumeric(a, 6) < GetNumeric(b, 6); }});
  cases.push_back({"numeric-sts",
                   {{1, 5, kKeyDup, kTypeNumericSts}},
                   [](std::mt19937& r, uint8_t* p) { PutNumericSts(p, 5, Pick(r, -9999, 9999)); },
                   [](Bytes a, Bytes b) { return GetNumericSts(a, 5) < GetNumericSts(b, 5); }});
  return cases;
}

void PrintTo(const OrderCase& c, std::ostream* os) { *os << c.name; }

class KeyOrder : public ::testing::TestWithParam<OrderCase> {};

TEST_P(KeyOrder, WalksInReferenceOrder) {
  const OrderCase& c = GetParam();
  ScratchDir dir;
  Block b;
  std::string path = dir.File("order.btr");
  ASSERT_EQ(b.Create(path, MakeSpec(kRecordLength, {c.segments})), 0);
  ASSERT_EQ(b.Open(path), 0);
  std::mt19937 rng(20261205);
  std::vector<std::vector<uint8_t>> records;
  for (uint32_t id = 0; id < kValues; ++id) {
    std::vector<uint8_t> rec(kRecordLength, 0);
    c.generate(rng, rec.data());
    PutLE(rec.data() + kIdOffset, id, 4);
    ASSERT_EQ(b.Write(kOpInsert, rec, 0), 0) << "value " << id;
    records.push_back(rec);
  }
  std::vector<std::vector<uint8_t>> expected = records;
  std::stable_sort(expected.begin(), expected.end(),
                   [&](const auto& x, const auto& y) { return c.less(x.data(), y.data()); });
  std::vector<uint8_t> rec;
  ASSERT_EQ(b.Read(kOpGetFirst, &rec, 0), 0);
  for (size_t i = 0; i < expected.size(); ++i) {
    ASSERT_EQ(rec, expected[i]) << c.name << " forward at " << i;
    ASSERT_EQ(b.Read(kOpGetNext, &rec, 0), i + 1 == expected.size() ? kEndOfFile : kOk);
  }
  ASSERT_EQ(b.Read(kOpGetLast, &rec, 0), 0);
  for (size_t i = expected.size(); i > 0; --i) {
    ASSERT_EQ(rec, expected[i - 1]) << c.name << " backward at " << i - 1;
    ASSERT_EQ(b.Read(kOpGetPrevious, &rec, 0), i == 1 ? kEndOfFile : kOk);
  }
  EXPECT_EQ(b.Close(), 0);
}

INSTANTIATE_TEST_SUITE_P(Types, KeyOrder, ::testing::ValuesIn(Cases()), [](const auto& info) {
  std::string name = std::string(info.param.name) + "_" + std::to_string(info.index);
  std::replace(name.begin(), name.end(), '-', '_');
  return name;
});

}  // namespace
}  // namespace tavelnor::btrieve::testing
