// The value decoder on the edges of each form: sign conventions, the
// extremes of each size, the calendar's limits, and the values it refuses.
#include <gtest/gtest.h>

#include <vector>

#include "ddf/ddf_values.h"

namespace tavelnor::ddf {
namespace {

struct Case {
  uint8_t type;
  uint16_t size;
  uint8_t decimals;
  std::vector<uint8_t> bytes;
  const char* text;  // null: refused
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << DdfTypeName(c.type) << "(" << c.size << "," << int(c.decimals) << ") "
      << (c.text ? c.text : "refused");
}

class ValueEdges : public ::testing::TestWithParam<Case> {};

TEST_P(ValueEdges, TextOrRefusal) {
  const Case& c = GetParam();
  auto v = DecodeDdfValue({c.type, c.size, c.decimals}, c.bytes);
  if (!c.text) {
    ASSERT_FALSE(v.ok()) << v->text;
    EXPECT_FALSE(v.status().message().empty());
    return;
  }
  ASSERT_TRUE(v.ok()) << v.status().message();
  EXPECT_EQ(v->text, c.text);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Forms, ValueEdges, ::testing::Values(
    Case{kDdfInteger, 1, 0, {0x80}, "-128"},
    Case{kDdfInteger, 8, 0, {0, 0, 0, 0, 0, 0, 0, 0x80}, "-9223372036854775808"},
    Case{kDdfUnsignedBinary, 8, 0, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, "18446744073709551615"},
    Case{kDdfAutoIncrement, 2, 0, {0xFF, 0x7F}, "32767"},
    Case{kDdfInteger, 3, 0, {1, 2, 3}, nullptr},
    // Floating point: shortest text; BFLOAT 1, 0.5, -1, -3.75 and zero whatever the mantissa.
    Case{kDdfFloat, 4, 0, {0xCD, 0xCC, 0xCC, 0x3D}, "0.1"},
    Case{kDdfFloat, 8, 0, {0x9A, 0x99, 0x99, 0x99, 0x99, 0x99, 0xB9, 0x3F}, "0.1"},
    Case{kDdfBfloat, 4, 0, {0, 0, 0, 0x81}, "1"},
    Case{kDdfBfloat, 4, 0, {0, 0, 0, 0x80}, "0.5"},
    Case{kDdfBfloat, 4, 0, {0, 0, 0x80, 0x81}, "-1"},
    Case{kDdfBfloat, 8, 0, {0, 0, 0, 0, 0, 0, 0xF0, 0x82}, "-3.75"},
    Case{kDdfBfloat, 4, 0, {0x12, 0x34, 0x56, 0}, "0"},
    // Packed decimals: every sign nibble, a negative zero, digits past 9.
    Case{kDdfDecimal, 3, 2, {0x01, 0x23, 0x4C}, "12.34"},
    Case{kDdfDecimal, 3, 2, {0x01, 0x23, 0x4F}, "12.34"},
    Case{kDdfDecimal, 3, 2, {0x01, 0x23, 0x4D}, "-12.34"},
    Case{kDdfDecimal, 3, 2, {0x01, 0x23, 0x4B}, "-12.34"},
    Case{kDdfDecimal, 2, 3, {0x00, 0x0D}, "0.000"},
    Case{kDdfDecimal, 2, 5, {0x12, 0x3C}, "0.00123"},
    Case{kDdfDecimal, 10, 0, {0x99, 0x99, 0x99, 0x99, 0x99, 0x99, 0x99, 0x99, 0x99, 0x9C}, "9999999999999999999"},
    Case{kDdfDecimal, 3, 0, {0x01, 0xA3, 0x4C}, nullptr},
    Case{kDdfDecimal, 2, 0, {0x12, 0x34}, nullptr},
    Case{kDdfMoney, 3, 0, {0x00, 0x50, 0x0D}, "-5.00"},
    Case{kDdfCurrency, 8, 0, {0, 0, 0, 0, 0, 0, 0, 0x80}, "-922337203685477.5808"},
    Case{kDdfCurrency, 8, 0, {0x0F, 0x27, 0, 0, 0, 0, 0, 0}, "0.9999"},
    // The ASCII forms: overpunched, signed ASCII, separate signs, leading blanks.
    Case{kDdfNumeric, 4, 2, {'0', '1', '2', 'C'}, "1.23"},
    Case{kDdfNumeric, 4, 2, {'0', '1', '2', 'L'}, "-1.23"},
    Case{kDdfNumeric, 3, 0, {' ', '5', '}'}, "-50"},
    Case{kDdfNumeric, 3, 0, {'1', '2', '{'}, "120"},
    Case{kDdfNumeric, 3, 0, {'1', '2', 'x'}, nullptr},
    Case{kDdfNumericSa, 3, 1, {'1', '2', 0x73}, "-12.3"},
    Case{kDdfNumericSa, 3, 1, {'1', '2', '3'}, "12.3"},
    Case{kDdfNumericSts, 4, 1, {'1', '2', '3', '-'}, "-12.3"},
    Case{kDdfNumericSts, 4, 1, {'1', '2', '3', '*'}, nullptr},
    Case{kDdfNumericSls, 4, 0, {'+', '0', '0', '7'}, "7"},
    Case{kDdfNumericSls, 4, 0, {' ', '0', '0', '7'}, nullptr},
    Case{kDdfNumericSlb, 4, 0, {' ', '0', '0', '7'}, "7"},
    Case{kDdfNumericStb, 4, 2, {'0', '0', '7', '-'}, "-0.07"},
    Case{kDdfNumericStb, 4, 0, {'0', '-', '7', ' '}, nullptr},
    // Calendar: leap days, no date, impossible days and times.
    Case{kDdfDate, 4, 0, {29, 2, 0xD0, 0x07}, "2000-02-29"},
    Case{kDdfDate, 4, 0, {0, 0, 0, 0}, ""},
    Case{kDdfDate, 4, 0, {29, 2, 0x6C, 0x07}, nullptr},
    Case{kDdfDate, 4, 0, {1, 13, 0xD0, 0x07}, nullptr},
    Case{kDdfTime, 4, 0, {5, 59, 59, 23}, "23:59:59.05"},
    Case{kDdfTime, 4, 0, {0, 0, 0, 24}, nullptr},
    Case{kDdfTimestamp, 8, 0, {0, 0, 0, 0, 0, 0, 0, 0}, "0001-01-01T00:00:00"},
    // 2000-01-01T00:00:00.5: 730119 days and 5,000,000 units.
    Case{kDdfTimestamp, 8, 0, {0x40, 0x8B, 0x30, 0x48, 0x02, 0x22, 0xC1, 0x08}, "2000-01-01T00:00:00.5"},
    Case{kDdfTimestamp, 8, 0, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, nullptr},
    // Truth values and bits of a shared byte.
    Case{kDdfLogical, 2, 0, {0, 1}, "true"},
    Case{kDdfLogical, 1, 0, {0}, "false"},
    Case{kDdfBit, 1, 6, {0x40}, "1"},
    Case{kDdfBit, 1, 5, {0x40}, "0"},
    Case{kDdfBit, 1, 8, {0xFF}, nullptr},
    Case{kDdfGuid, 16, 0, {0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF},
         "00112233-4455-6677-8899-AABBCCDDEEFF"},
    // Texts: the stored bytes, each form's length rules.
    Case{kDdfString, 5, 0, {'a', 0x8F, ' ', ' ', 0}, "a\x8f"},
    Case{kDdfLstring, 5, 0, {2, 'a', 'b', 'c', 'd'}, "ab"},
    Case{kDdfLstring, 3, 0, {3, 'a', 'b'}, nullptr},
    Case{kDdfZstring, 5, 0, {'a', 0, 'b', 0, 0}, "a"},
    Case{kDdfLvar, 10, 0, {3, 0, 'x', 'y', 'z'}, "xyz"},
    Case{kDdfLvar, 10, 0, {9, 0, 'x'}, nullptr},
    Case{kDdfNote, 100, 0, {'n', 'o', 0, 0}, "no"},
    Case{200, 4, 0, {0, 0, 0, 0}, nullptr},
    Case{kDdfInteger, 4, 0, {1, 2}, nullptr}));
// clang-format on

// Typed values where the later steps need more than text.
TEST(ValueKinds, TypedValuesBesideTheText) {
  auto d = DecodeDdfValue({kDdfDecimal, 3, 2}, std::vector<uint8_t>{0x01, 0x23, 0x4D});
  ASSERT_TRUE(d.ok());
  EXPECT_EQ(d->kind, ValueKind::kExact);
  EXPECT_TRUE(d->negative && d->exact_fits);
  EXPECT_EQ(d->u, 1234u);
  EXPECT_EQ(d->scale, 2);
  std::vector<uint8_t> nines(12, 0x99);
  nines.back() = 0x9D;
  auto wide = DecodeDdfValue({kDdfDecimal, 12, 0}, nines);
  ASSERT_TRUE(wide.ok()) << wide.status().message();
  EXPECT_FALSE(wide->exact_fits);
  EXPECT_EQ(wide->text, "-" + std::string(23, '9'));
  auto day = DecodeDdfValue({kDdfDate, 4, 0}, std::vector<uint8_t>{2, 1, 1, 0});
  ASSERT_TRUE(day.ok());
  EXPECT_EQ(day->i, 1);  // 0001-01-02
  auto none = DecodeDdfValue({kDdfDate, 4, 0}, std::vector<uint8_t>(4, 0));
  EXPECT_TRUE(none.ok() && none->empty);
  auto f = DecodeDdfValue({kDdfBfloat, 4, 0}, std::vector<uint8_t>{0, 0, 0x40, 0x82});
  ASSERT_TRUE(f.ok());
  EXPECT_EQ(f->d, 3.0);
  EXPECT_EQ(DecodeDdfValue({kDdfIndexName, 0, 0}, {}).status().code(), Status::Code::kUnsupported);
}

// Values typed as text come back from their stored form as the decoder
// writes them; what does not fit or read is refused.
TEST(ValueEncoding, StoredFormsReadBackAndRefusals) {
  struct Row {
    DdfColumn column;
    const char* given;
    const char* read;  // null: refused
  };
  const Row rows[] = {
      {{kDdfDecimal, 3, 2}, "-12,34", "-12.34"},
      {{kDdfDecimal, 3, 2}, "+0.5", "0.50"},
      {{kDdfDecimal, 3, 2}, "-0", "0.00"},
      {{kDdfDecimal, 3, 2}, "999.99", "999.99"},
      {{kDdfDecimal, 3, 2}, "1000", nullptr},     // 5 digits hold no more
      {{kDdfDecimal, 3, 2}, "1.234", nullptr},    // a third decimal
      {{kDdfDecimal, 3, 2}, "1.230", "1.23"},     // a zero past the scale
      {{kDdfDecimal, 3, 2}, "1.2.3", nullptr},
      {{kDdfDecimal, 12, 0}, "-99999999999999999999999", "-99999999999999999999999"},
      {{kDdfMoney, 4, 0}, "-7.1", "-7.10"},
      {{kDdfNumeric, 4, 1}, "-12.3", "-12.3"},
      {{kDdfNumeric, 4, 1}, "-12.0", "-12.0"},
      {{kDdfNumeric, 4, 1}, "999.9", "999.9"},
      {{kDdfNumericSa, 3, 0}, "-105", "-105"},
      {{kDdfNumericSts, 4, 0}, "-42", "-42"},
      {{kDdfNumericSts, 4, 0}, "1000", nullptr},
      {{kDdfNumericSlb, 4, 2}, "-1.5", "-1.50"},
      {{kDdfNumericSls, 4, 0}, "7", "7"},
      {{kDdfNumericStb, 4, 0}, "-7", "-7"},
      {{kDdfBfloat, 4, 0}, "3", "3"},
      {{kDdfBfloat, 4, 0}, "-0.15625", "-0.15625"},
      {{kDdfBfloat, 8, 0}, "123456789.125", "123456789.125"},
      {{kDdfBfloat, 4, 0}, "0", "0"},
      {{kDdfBfloat, 4, 0}, "1e300", nullptr},
      {{kDdfBfloat, 4, 0}, "x", nullptr},
      {{kDdfLogical, 2, 0}, "yes", "true"},
      {{kDdfLogical, 2, 0}, "maybe", nullptr},
      {{kDdfBit, 1, 6}, "1", "1"},
      {{kDdfLstring, 4, 0}, "abc", "abc"},
      {{kDdfLstring, 4, 0}, "abcd", nullptr},
      {{kDdfLvar, 6, 0}, "abcd", "abcd"},
      {{kDdfNote, 3, 0}, "ab", "ab"},
      {{kDdfInteger, 4, 0}, "1", nullptr},  // given in the layout's own form
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::string(DdfTypeName(r.column.type)) + " \"" + r.given + "\"");
    auto stored = EncodeDdfValue(r.column, r.given);
    if (r.read == nullptr) {
      EXPECT_FALSE(stored.ok());
      continue;
    }
    ASSERT_TRUE(stored.ok()) << stored.status().message();
    ASSERT_EQ(stored->size(), r.column.size);
    const std::vector<uint8_t> bytes(stored->begin(), stored->end());
    auto back = DecodeDdfValue(r.column, bytes);
    ASSERT_TRUE(back.ok()) << back.status().message();
    EXPECT_EQ(back->text, r.read);
  }
  // A bit's byte holds that bit alone.
  auto bit = EncodeDdfValue({kDdfBit, 1, 6}, "true");
  ASSERT_TRUE(bit.ok());
  EXPECT_EQ(*bit, std::string(1, '\x40'));
  // The type text names a column again; another size or name does not.
  DdfColumn column;
  ASSERT_TRUE(ParseDdfTypeTag(DdfTypeTag({kDdfUnsignedBinary, 2, 0}), 2, &column));
  EXPECT_EQ(column.type, kDdfUnsignedBinary);
  ASSERT_TRUE(ParseDdfTypeTag("DDF NUMERICSTS 3", 6, &column));
  EXPECT_EQ(column.decimals, 3);
  EXPECT_FALSE(ParseDdfTypeTag("DDF DATE 0", 6, &column));
  EXPECT_FALSE(ParseDdfTypeTag("DDF PACKED 0", 6, &column));
  EXPECT_FALSE(ParseDdfTypeTag("DECIMAL 2", 6, &column));
  EXPECT_FALSE(ParseDdfTypeTag("DDF DECIMAL 300", 6, &column));
}

}  // namespace
}  // namespace tavelnor::ddf
