// EDecimal32, EDecimal64 and ECurrency: range rules, text readers, the
// formatter, products, quotients and conversions.
#include "record/fixed_point.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace tavelnor::record {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

enum class Kind { kDec32, kDec64, kCurrency };

// The raw stored value each kind reads from a number or a text.
int64_t RawOf(Kind kind, double value) {
  if (kind == Kind::kDec32) return EDecimal32::FromDouble(value).Raw();
  if (kind == Kind::kDec64) return EDecimal64::FromDouble(value).Raw();
  return ECurrency::FromDouble(value).Raw();
}

int64_t RawOf(Kind kind, const char* text) {
  if (kind == Kind::kDec32) return EDecimal32::FromText(text).Raw();
  if (kind == Kind::kDec64) return EDecimal64::FromText(text).Raw();
  return ECurrency::FromText(text).Raw();
}

struct FromDoubleCase {
  Kind kind;
  double value;
  int64_t raw;
};

TEST(FixedPointTest, FromDouble) {
  constexpr Kind k32 = Kind::kDec32, k64 = Kind::kDec64, kCur = Kind::kCurrency;
  const FromDoubleCase cases[] = {
      {k32, 2000000.0, 2000000000}, {k32, -2000000.0, -2000000000}, {k32, 2000000.5, 0},
      {k32, -2000000.001, 0}, {k32, -1.5, -1500}, {k32, 1.5, 1500}, {k32, 0.0, 0}, {k32, -0.0, 0},
      {k32, 0.0004, 0}, {k32, 0.0005, 1}, {k32, -0.0005, -1}, {k32, 1.0005, 1000},
      {k32, 1.2345, 1234} /* printed 1.234: the binary value is below */,
      {k32, kNaN, 0}, {k32, kInf, 0}, {k32, -kInf, 0}, {k32, 1999999.9999, 2000000000},
      {k64, 1.5, 15000000}, {k64, -0.00000006, -1}, {k64, -0.00000004, 0},
      {k64, 123456.1234567, 1234561234567}, {k64, 1000000000001.0, 0},
      {k64, -1000000000001.0, 0}, {k64, 900000000000.0, 9000000000000000000},
      {k64, 1000000000000.0, 0},  // in range but beyond the 64-bit stored form
      {k64, kNaN, 0}, {kCur, -1.23456, -12346}, {kCur, 1.23455, 12345}, {kCur, 0.00005, 0},
      {kCur, 0.00006, 1}, {kCur, -0.00006, -1}, {kCur, 12.5, 125000}, {kCur, kNaN, 0},
      {kCur, kInf, 0}, {kCur, 100000000000000.0, 0}, {kCur, -100000000000000.0, 0},
      {kCur, 1099511627776.0, 10995116277760000},
  };
  for (const FromDoubleCase& c : cases) {
    EXPECT_EQ(RawOf(c.kind, c.value), c.raw) << static_cast<int>(c.kind) << ": " << c.value;
  }
}

struct FromTextCase {
  Kind kind;
  const char* text;
  int64_t raw;
};

TEST(FixedPointTest, FromText) {
  constexpr Kind k32 = Kind::kDec32, k64 = Kind::kDec64, kCur = Kind::kCurrency;
  const FromTextCase cases[] = {
      {k32, " 12,3456", 12345}, {k32, "-0.5", -500}, {k32, "12", 12000}, {k32, "12.", 12000},
      {k32, ".5", 500}, {k32, "1 2 3", 123000}, {k32, "+7,1", 7100}, {k32, "7,1-", -7100},
      {k32, "1,2 3", 1230}, {k32, "1,2 34", 1230}, {k32, "12a34", 12000}, {k32, "", 0},
      {k32, "abc", 0}, {k32, "1.2.3", 1200}, {k32, "2147483,647", 2147483647},
      {k32, "2147483,648", 0}, {k32, "-2147483,648", INT32_MIN}, {k32, "99999999999999999999", 0},
      {k32, "12345678901234567890123456789012345678901234567890", 0},
      {k64, "1,123456789", 11234567}, {k64, "-0,0000001", -1},
      {k64, "922337203685,4775807", INT64_MAX}, {k64, "922337203685,4775808", 0},
      {kCur, "1 234,56789", 12345679}, {kCur, "1 234,56784", 12345678}, {kCur, "0,99995", 10000},
      {kCur, "-0,99995", -10000}, {kCur, "  \t-12.5", -125000}, {kCur, "+3", 30000},
      {kCur, "12,", 120000}, {kCur, "1 x", 10000}, {kCur, "1'234.5", 12345000},
      {kCur, "12,3a4", 123000}, {kCur, "x12", 0}, {kCur, ",5", 0}, {kCur, "", 0},
      {kCur, "99999999999999,9999", 999999999999999999}, {kCur, "100000000000000", 0},
      {kCur, "12 345 678", 123456780000}, {kCur, "12  345", 120000},
  };
  for (const FromTextCase& c : cases) {
    EXPECT_EQ(RawOf(c.kind, c.text), c.raw) << static_cast<int>(c.kind) << ": '" << c.text << "'";
  }
  std::string sixty(60, '1');
  EXPECT_EQ(EDecimal32::FromText(sixty).Raw(), 0);
  std::string fifty = std::string(46, ' ') + "1,25";
  EXPECT_EQ(EDecimal32::FromText(fifty).Raw(), 1250);
  EXPECT_EQ(EDecimal32::FromText(std::string(47, ' ') + "1,25").Raw(), 0) << "51 characters";
  EXPECT_EQ(EDecimal32::FromText("3,5xyz", 0).Raw(), 3500) << "length 0: up to the zero";
  EXPECT_EQ(EDecimal32::FromText("3,5xyz", 2).Raw(), 3000);
  EXPECT_EQ(EDecimal32::FromText(nullptr, 0).Raw(), 0);
}

struct FormatCase {
  int32_t raw;
  int32_t width;
  int32_t decimals;
  const char* text;
};

TEST(Decimal32Test, Format) {
  const FormatCase cases[] = {
      {1500, 0, 3, "1,500"}, {1500, 0, -1, "1,5"}, {1500, 0, 0, "1"}, {1500, 0, 2, "1,50"},
      {-500, 0, 3, "-0,500"}, {0, 0, -1, ""}, {0, 0, 0, ""}, {0, 0, 2, "0,00"},
      {1500, 8, 3, "   1,500"}, {1500, 3, 3, "1,5"}, {1500, 5, 3, "1,500"}, {1500, 0, 5, "1,50000"},
      {1000, 0, -1, "1"}, {500, 0, -1, "0,5"}, {500, 0, 0, ""}, {-500, 0, 0, "-0"},
      {-1500, 0, 1, "-1,5"}, {1999, 0, 1, "1,9"}, {-12345, 0, -1, "-12,345"},
      {INT32_MIN, 0, 3, "-2147483,648"}, {INT32_MAX, 0, -1, "2147483,647"}, {7, 0, 3, "0,007"},
      {7, 0, 2, "0,00"}, {1500, -4, 3, "1,500"}, {0, 4, 2, "0,00"}, {0, 3, 2, "0,0"},
  };
  for (const FormatCase& c : cases) {
    EXPECT_EQ(EDecimal32::FromRaw(c.raw).Format(c.width, c.decimals), c.text)
        << c.raw << " w=" << c.width << " d=" << c.decimals;
  }
}

TEST(Decimal32Test, FormatLengthLimits) {
  // Joined texts of 99 characters or more keep the integer text alone.
  EXPECT_EQ(EDecimal32::FromRaw(1500).Format(0, 96).Length(), 98u);
  EXPECT_EQ(EDecimal32::FromRaw(1500).Format(0, 97), "1");
  EXPECT_EQ(EDecimal32::FromRaw(0).Format(0, 96).Length(), 98u);
  EXPECT_EQ(EDecimal32::FromRaw(0).Format(0, INT32_MAX), "0");
  EXPECT_EQ(EDecimal32::FromRaw(1500).Format(INT32_MAX, 3).Length(),
            static_cast<size_t>(kMaxFormatWidth));
}

TEST(Decimal64Test, Format) {
  EXPECT_EQ(EDecimal64::FromRaw(15000000).Format(0, -1), "1,5");
  EXPECT_EQ(EDecimal64::FromRaw(-1).Format(0, -1), "-0,0000001");
  EXPECT_EQ(EDecimal64::FromRaw(-1).Format(0, 3), "-0,000");
  EXPECT_EQ(EDecimal64::FromRaw(INT64_MIN).Format(0, 7), "-922337203685,4775808");
}

TEST(Decimal32Test, ProductsAndQuotients) {
  auto d = [](int32_t raw) { return EDecimal32::FromRaw(raw); };
  EXPECT_EQ(Multiply(d(1500), d(2000)).Raw(), 3000);
  EXPECT_EQ(Multiply(d(-1500), d(1500)).Raw(), -2250);
  EXPECT_EQ(Multiply(d(0), d(1500)).Raw(), 0);
  EXPECT_EQ(Multiply(d(2000000000), d(2000)).Raw(), 0) << "out of range";
  EXPECT_EQ(Divide(d(3000), d(2000)).Raw(), 1500);
  EXPECT_EQ(Divide(d(1000), d(3000)).Raw(), 333);
  EXPECT_EQ(Divide(d(2000), d(3000)).Raw(), 667);
  EXPECT_EQ(Divide(d(1500), d(0)).Raw(), 0);
  EXPECT_EQ(Divide(d(0), d(1500)).Raw(), 0);
}

TEST(CurrencyTest, ConversionsAndFormat) {
  ECurrency c = ECurrency::FromRaw(-123456789);
  EXPECT_EQ(ToDecimal64(c).Raw(), -123456789000);
  EXPECT_EQ(ToDecimal64(ECurrency::FromRaw(INT64_MAX)).Raw(), 0);
  EXPECT_EQ(ToCurrency(EDecimal64::FromRaw(-123456789999)).Raw(), -123456789);
  EXPECT_EQ(ToDecimal32(c).Raw(), -12345678);
  EXPECT_EQ(ToDecimal32(ECurrency::FromRaw(INT64_MAX)).Raw(), 0);
  EXPECT_EQ(ECurrency::FromInteger(-7).Raw(), -70000);
  EXPECT_EQ(ECurrency::FromInteger(INT64_MAX).Raw(), 0);
  EXPECT_EQ(c.ToInteger(), -12345);
  EXPECT_DOUBLE_EQ(c.ToDouble(), -12345.6789);
  EXPECT_EQ(EDecimal32::FromRaw(-1999).ToInteger(), -1);
  EXPECT_DOUBLE_EQ(EDecimal32::FromRaw(-1999).ToDouble(), -1.999);
  EXPECT_EQ(EDecimal64::FromRaw(-19999999).ToInteger(), -1);
  EXPECT_EQ(c.Format(), "-12345,6789");
  EXPECT_EQ(ECurrency::FromRaw(5).Format(0, 2), "0,00");
  EXPECT_EQ(Multiply(ECurrency::FromRaw(15000), ECurrency::FromRaw(20000)).Raw(), 30000);
  EXPECT_EQ(Divide(ECurrency::FromRaw(10000), ECurrency::FromRaw(30000)).Raw(), 3333);
  EXPECT_EQ(Divide(ECurrency::FromRaw(10000), ECurrency()).Raw(), 0);
}

}  // namespace
}  // namespace tavelnor::record
