// Typed buffers: the factory, extremes and empty tests of every kind, the
// conversions between kinds, comparisons, arithmetic and Combine.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "foundation/string_resources.h"
#include "record/buffer_kinds.h"
#include "record/er_buffer.h"
#include "record/type_codes.h"
#include "record/french_locale_test.h"

namespace tavelnor::record {
namespace {

class BufferTest : public FrenchLocaleTest {
 protected:
  // An allocated buffer of `code` and `size`.
  static std::unique_ptr<ErBuffer> Make(int16_t code, int32_t size = -1, uint8_t upper = 0) {
    auto b = CreateBuffer(code, size, upper);
    b->Allocate();
    return b;
  }
  static std::string Bytes(const ErBuffer& b) { return b.GetBytes().str(); }
};

// The factory follows the catalog's kind and default size for every code;
// a given size wins, and a Chaine buffer always has room for its object.
TEST_F(BufferTest, FactoryFollowsTheKindAndDefaultSizeOfEachCode) {
  for (int code = -1; code <= 300; ++code) {
    SCOPED_TRACE(code);
    auto b = CreateBuffer(static_cast<int16_t>(code), -1, 0);
    ASSERT_NE(b, nullptr);
    const bool raw = BufferKindForCode(static_cast<int16_t>(code)) == BufferKind::kRaw;
    EXPECT_EQ(b->GetTypeCode(), raw ? -1 : code);
    if (code != TYPE_CHAINE) {
      EXPECT_EQ(b->Size(), ResolveBufferSize(static_cast<int16_t>(code), -1));
    }
  }
  EXPECT_EQ(CreateBuffer(TYPE_INT64, 8, 0)->Size(), 8);
  EXPECT_EQ(CreateBuffer(TYPE_NC_ZSTRING, 10, 0)->Size(), 10);
  EXPECT_EQ(CreateBuffer(-1, 0, 0)->Size(), 0);
  EXPECT_GE(CreateBuffer(TYPE_CHAINE, -1, 0)->Size(), 4);
  EXPECT_GE(CreateBuffer(TYPE_CHAINE, 1, 0)->Size(), static_cast<int32_t>(sizeof(void*)));
}

struct ExtremeRow {
  int16_t code;
  int32_t size;
  const char* max_text;
  const char* min_text;
  const char* clear_text;
  bool empty_after_clear;
};

TEST_F(BufferTest, ExtremesAndClearOfEachKind) {
  const ExtremeRow rows[] = {
      {TYPE_LONG, -1, "2147483647", "-2147483648", "0", true},
      {TYPE_INT, -1, "2147483647", "-2147483648", "0", true},
      {TYPE_INT8, -1, "127", "-128", "0", true}, {TYPE_UINT8, -1, "255", "0", "0", true},
      {TYPE_INT16, -1, "32767", "-32768", "0", true}, {TYPE_UINT16, -1, "65535", "0", "0", true},
      {TYPE_UINT32, -1, "4294967295", "0", "0", true},
      {TYPE_INT64, 8, "9223372036854775807", "-9223372036854775808", "0", true},
      {TYPE_UINT64, 8, "18446744073709551615", "0", "0", true},
      {TYPE_DOUBLE, -1, "1.7976931348623157e+308", "2.2250738585072014e-308", "0", true},
      {TYPE_FLOAT, -1, "3.4028234663852886e+38", "1.1754943508222875e-38", "0", true},
      {TYPE_DATE, -1, "31/12/2999", "01/01/1000", "01/01/1000", false},
      {TYPE_TIME, -1, "23:59:59", "00:00:00", "00:00:00", true},
      {TYPE_OLDBOOL, -1, "Vrai", "Faux", "Faux", true},
      {TYPE_BOOL, -1, "Vrai", "Faux", "Faux", true},
      {TYPE_DECIMAL32, -1, "2147483,647", "-2147483,648", "0,000", true},
      {TYPE_DECIMAL64, -1, "2147483647,0000000", "-922337203685,4775808", "0,0000000", true},
      {TYPE_CURRENCY, 8, "922337203685477,5807", "-922337203685477,5808", "0,0000", true},
      {TYPE_CHARACTER, -1, "\x7F", "\x80", "", true},
      {TYPE_GUID, 16, "{00000000-0000-0000-0000-000000000000}",
       "{00000000-0000-0000-0000-000000000000}", "{00000000-0000-0000-0000-000000000000}", true},
  };
  for (const ExtremeRow& r : rows) {
    SCOPED_TRACE(r.code);
    auto b = Make(r.code, r.size);
    b->SetMax();
    EXPECT_EQ(b->GetText(), r.max_text);
    b->SetMin();
    EXPECT_EQ(b->GetText(), r.min_text);
    b->SetMax();
    b->Clear();
    EXPECT_EQ(b->GetText(), r.clear_text);
    EXPECT_EQ(b->IsEmpty(), r.empty_after_clear);
  }
}

TEST_F(BufferTest, WholeNumbersWrapFromIntegersAndHoldFromTextAndDoubles) {
  auto i8 = Make(TYPE_INT8);
  i8->SetInt64(300);
  EXPECT_EQ(i8->GetInt64(), 44);
  i8->SetText("300");
  EXPECT_EQ(i8->GetInt64(), 127);
  i8->SetDouble(-1e30);
  EXPECT_EQ(i8->GetInt64(), -128);
  auto u16 = Make(TYPE_UINT16);
  u16->SetText("-5");
  EXPECT_EQ(u16->GetInt64(), 0);
  u16->SetDouble(12.9);
  EXPECT_EQ(u16->GetInt64(), 12);
  auto i64 = Make(TYPE_INT64, 8);
  i64->SetInt64(4294967296);
  EXPECT_FALSE(i64->IsEmpty());
  auto empty64 = Make(TYPE_INT64);  // the default size of code 26 is 0
  empty64->SetInt64(5);
  EXPECT_EQ(empty64->GetInt64(), 0);
}

TEST_F(BufferTest, RecordBytesAreLittleEndian) {
  auto i32 = Make(TYPE_LONG);
  i32->SetInt64(0x01020304);
  EXPECT_EQ(Bytes(*i32), "\x04\x03\x02\x01");
  auto d = Make(TYPE_DATE);
  d->SetDate(sDate{31, 12, 2014});
  EXPECT_EQ(Bytes(*d), "\x1F\x0C\xDE\x07");
  auto t = Make(TYPE_TIME);
  t->SetText("13:45:30");
  EXPECT_EQ(Bytes(*t), std::string("\x00\x1E\x2D\x0D", 4));
  auto dec = Make(TYPE_DECIMAL32);
  dec->SetText("1,5");
  EXPECT_EQ(Bytes(*dec), std::string("\xDC\x05\x00\x00", 4));
}

TEST_F(BufferTest, TextsFollowTheirWriteRules) {
  auto z = Make(TYPE_ZSTRING, 4);
  z->SetText("ABCDEF");
  EXPECT_EQ(Bytes(*z), std::string("ABC\0", 4));
  auto s = Make(TYPE_STR, 4);
  s->SetText("ABCDEF");
  EXPECT_EQ(Bytes(*s), "ABCD");
  auto up = Make(TYPE_ZSTRING, 8, 1);
  up->SetText("\xE9t\xED");  // é t í
  EXPECT_EQ(up->GetText(), "\xC9T\xED");
  auto c = Make(TYPE_CHARACTER);
  c->SetText("xyz");
  EXPECT_EQ(c->GetText(), "x");
  c->SetChar('q');
  EXPECT_EQ(c->GetText(), "Q");
  auto upper_c = Make(TYPE_CHARACTER, -1, 1);
  auto src = Make(TYPE_ZSTRING, 8);
  src->SetText("hello");
  upper_c->SetFromBuffer(*src);
  EXPECT_EQ(upper_c->GetText(), "H");
}

TEST_F(BufferTest, ConversionsGoThroughTheTargetsGetter) {
  auto text = Make(TYPE_ZSTRING, 40);
  auto date = Make(TYPE_DATE);
  text->SetText("29/02/2000");
  date->SetFromBuffer(*text);
  EXPECT_EQ(date->GetDate(), (sDate{29, 2, 2000}));
  EXPECT_EQ(date->GetInt64(), 2451604);
  auto n = Make(TYPE_LONG);
  n->SetFromBuffer(*date);  // a date as a number is its day number
  EXPECT_EQ(n->GetInt64(), 2451604);
  text->SetFromBuffer(*date);
  EXPECT_EQ(text->GetText(), "29/02/2000");

  auto cur = Make(TYPE_CURRENCY, 8);
  cur->SetText("1 234,5678");
  auto dec32 = Make(TYPE_DECIMAL32);
  dec32->SetFromBuffer(*cur);
  EXPECT_EQ(dec32->GetText(), "1234,567");  // cut, not rounded
  auto dec64 = Make(TYPE_DECIMAL64);
  dec64->SetFromBuffer(*cur);
  EXPECT_EQ(dec64->GetText(), "1234,5678000");
  auto back = Make(TYPE_CURRENCY, 8);
  back->SetFromBuffer(*dec64);
  EXPECT_TRUE(back->IsEqual(*cur));

  auto b = Make(TYPE_BOOL);
  text->SetText("  oui ");
  b->SetFromBuffer(*text);
  EXPECT_TRUE(b->GetBool());
  auto old = Make(TYPE_OLDBOOL);
  old->SetInt64(-7);
  EXPECT_EQ(Bytes(*old), std::string("\x01\x00\x00\x00", 4));

  auto guid = Make(TYPE_GUID, 16);
  text->SetText("{00112233-4455-6677-8899-AABBCCDDEEFF}");
  guid->SetFromBuffer(*text);
  EXPECT_EQ(Bytes(*guid).substr(0, 4), std::string("\x33\x22\x11\x00", 4));
  EXPECT_FALSE(guid->IsEmpty());
  EXPECT_EQ(guid->GetText(), "{00112233-4455-6677-8899-AABBCCDDEEFF}");
}

TEST_F(BufferTest, ComparisonsUseTheGetterOfTheOwnType) {
  auto n = Make(TYPE_LONG);
  auto t = Make(TYPE_ZSTRING, 8);
  n->SetInt64(5);
  t->SetText("5");
  EXPECT_TRUE(n->IsEqual(*t));
  t->SetText("10");
  EXPECT_TRUE(n->IsLess(*t));       // 5 < 10 as numbers
  EXPECT_TRUE(t->IsLess(*n));       // "10" < "5" as texts
  t->SetText("\xE9");               // é sorts after z as an unsigned byte
  auto z = Make(TYPE_ZSTRING, 8);
  z->SetText("z");
  EXPECT_TRUE(t->IsGreater(*z));
  EXPECT_TRUE(z->IsLessOrEqual(*t));
  EXPECT_TRUE(z->IsNotEqual(*t));

  // Dates order by their packed bytes: year, then month, then day.
  auto d1 = Make(TYPE_DATE);
  auto d2 = Make(TYPE_DATE);
  d1->SetDate(sDate{31, 1, 2001});
  d2->SetDate(sDate{1, 2, 2001});
  EXPECT_TRUE(d1->IsLess(*d2));
  EXPECT_TRUE(d2->IsGreaterOrEqual(*d1));

  auto u = Make(TYPE_UINT64, 8);
  auto big = Make(TYPE_UINT64, 8);
  u->SetUInt64(1);
  big->SetMax();
  EXPECT_TRUE(u->IsLess(*big));  // unsigned, not -1
}

struct ResultRow {
  int16_t code;
  int32_t size;
  char op;
  int16_t other_code;
  int16_t expect_type;
  int32_t expect_size;
};

TEST_F(BufferTest, ResultTypeOfEachKind) {
  const ResultRow rows[] = {
      {TYPE_LONG, -1, '+', TYPE_LONG, TYPE_LONG, -1},
      {TYPE_INT8, -1, '*', TYPE_LONG, TYPE_LONG, -1},
      {TYPE_LONG, -1, '/', TYPE_LONG, TYPE_DOUBLE, -1},
      {TYPE_INT64, 8, '-', TYPE_LONG, TYPE_INT64, -1},
      {TYPE_UINT64, 8, '+', TYPE_LONG, TYPE_UINT64, -1},
      {TYPE_BOOL, -1, '+', TYPE_BOOL, TYPE_LONG, -1},
      {TYPE_LONG, -1, '%', TYPE_LONG, kOperatorRefused, -1},
      {TYPE_FLOAT, -1, '/', TYPE_LONG, TYPE_DOUBLE, -1},
      {TYPE_DECIMAL32, -1, '*', TYPE_DOUBLE, TYPE_DOUBLE, -1},
      {TYPE_DECIMAL32, -1, '*', TYPE_LONG, TYPE_DECIMAL64, -1},
      {TYPE_CURRENCY, 8, '/', TYPE_DOUBLE, TYPE_DECIMAL64, -1},
      {TYPE_DATE, -1, '+', TYPE_LONG, TYPE_DATE, -1},
      {TYPE_DATE, -1, '+', TYPE_DATE, kOperatorRefused, -1},
      {TYPE_DATE, -1, '-', TYPE_DATE, TYPE_LONG, -1},
      {TYPE_DATE, -1, '-', TYPE_LONG, TYPE_DATE, -1},
      {TYPE_DATE, -1, '*', TYPE_LONG, kOperatorRefused, -1},
      {TYPE_TIME, -1, '-', TYPE_LONG, TYPE_TIME, -1},
      {TYPE_TIMESTAMP, -1, '+', TYPE_LONG, kOperatorRefused, -1},
      {TYPE_GUID, 16, '+', TYPE_GUID, kOperatorRefused, -1},
      {TYPE_BLOB, -1, '+', TYPE_BLOB, kOperatorRefused, -1},
      {TYPE_BLOBRICHTEXT, -1, '+', TYPE_BLOBTEXT, TYPE_BLOBRICHTEXT, 8},
      {TYPE_ZSTRING, 10, '-', TYPE_ZSTRING, kOperatorRefused, -1},
  };
  for (const ResultRow& r : rows) {
    SCOPED_TRACE(testing::Message() << r.code << " " << r.op << " " << r.other_code);
    auto a = Make(r.code, r.size);
    auto b = Make(r.other_code, r.other_code == TYPE_GUID ? 16 : -1);
    int32_t size = 12345;
    EXPECT_EQ(a->ResultType(r.op, *b, &size), r.expect_type);
    EXPECT_EQ(size, r.expect_size);
  }
}

TEST_F(BufferTest, CombineMakesANewBufferOfTheResultType) {
  auto abc = Make(-1, 3);
  auto de = Make(-1, 2);
  abc->SetText("ABC");
  de->SetText("DE");
  auto joined = abc->Combine('+', *de);
  ASSERT_NE(joined, nullptr);
  EXPECT_EQ(joined->Size(), 5);
  EXPECT_EQ(Bytes(*joined), "ABCDE");
  EXPECT_EQ(abc->Combine('*', *de), nullptr);

  auto seven = Make(TYPE_LONG);
  auto two = Make(TYPE_LONG);
  seven->SetInt64(7);
  two->SetInt64(2);
  auto quotient = seven->Combine('/', *two);
  ASSERT_NE(quotient, nullptr);
  EXPECT_EQ(quotient->GetTypeCode(), TYPE_DOUBLE);
  EXPECT_DOUBLE_EQ(quotient->GetDouble(), 3.5);
  auto product = seven->Combine('*', *two);
  EXPECT_EQ(product->GetTypeCode(), TYPE_LONG);
  EXPECT_EQ(product->GetInt64(), 14);

  auto d1 = Make(TYPE_DATE);
  auto d2 = Make(TYPE_DATE);
  d1->SetDate(sDate{1, 3, 2000});
  d2->SetDate(sDate{1, 2, 2000});
  auto days = d1->Combine('-', *d2);
  EXPECT_EQ(days->GetTypeCode(), TYPE_LONG);
  EXPECT_EQ(days->GetInt64(), 29);
  auto later = d2->Combine('+', *two);
  EXPECT_EQ(later->GetDate(), (sDate{3, 2, 2000}));
  auto earlier = d1->Combine('-', *two);
  EXPECT_EQ(earlier->GetDate(), (sDate{28, 2, 2000}));

  auto dec = Make(TYPE_DECIMAL32);
  dec->SetText("1,5");
  auto dec_product = dec->Combine('*', *seven);
  EXPECT_EQ(dec_product->GetTypeCode(), TYPE_DECIMAL64);
  EXPECT_EQ(dec_product->GetText(), "10,5000000");
}

TEST_F(BufferTest, ArithmeticEdgeCases) {
  auto t = Make(TYPE_TIME);
  auto secs = Make(TYPE_LONG);
  t->SetText("23:59:50");
  secs->SetInt64(15);
  t->Add(*secs);
  EXPECT_EQ(t->GetText(), "00:00:05");  // round the clock
  t->Subtract(*secs);
  EXPECT_EQ(t->GetText(), "23:59:50");

  auto zero = Make(TYPE_LONG);
  auto n = Make(TYPE_LONG);
  n->SetInt64(9);
  n->Divide(*zero);
  EXPECT_EQ(n->GetInt64(), 0);
  n->SetMin();
  auto minus_one = Make(TYPE_INT64, 8);
  minus_one->SetInt64(-1);
  n->Divide(*minus_one);  // no trap: wraps as the machine would
  EXPECT_EQ(n->GetInt64(), INT32_MIN);

  auto u = Make(TYPE_UINT64, 8);
  u->SetMax();
  auto one = Make(TYPE_UINT64, 8);
  one->SetUInt64(1);
  u->Add(*one);
  EXPECT_TRUE(u->IsEmpty());

  auto c = Make(TYPE_CURRENCY, 8);
  c->SetMax();
  auto cur_one = Make(TYPE_CURRENCY, 8);
  cur_one->SetInt64(1);
  c->Add(*cur_one);  // leaves the stored range: the default 0
  EXPECT_TRUE(c->IsEmpty());

  auto d = Make(TYPE_DECIMAL32);
  d->SetText("10");
  auto three = Make(TYPE_DECIMAL32);
  three->SetText("3");
  d->Divide(*three);
  EXPECT_EQ(d->GetText(), "3,333");
}

TEST_F(BufferTest, EditMasksAndFormats) {
  auto n = Make(TYPE_LONG);
  EXPECT_EQ(n->GetEditMask(4), "9999");
  EXPECT_EQ(n->GetEditMask(0), "999999999");
  EXPECT_EQ(n->GetEditMask(20), "999999999");
  auto d = Make(TYPE_DATE);
  EXPECT_EQ(d->GetEditMask(0), "99/99/9999");
  EXPECT_EQ(d->GetEditMask(5), "99/99");
  EXPECT_EQ(d->GetEditMask(-1), "");
  EXPECT_EQ(Make(TYPE_TIMESTAMP)->GetEditMask(0), "99/99/9999 99:99");
  EXPECT_EQ(Make(TYPE_TIME)->GetEditMask(0), "99:99");
  EXPECT_EQ(Make(TYPE_ZSTRING, 8)->GetEditMask(3), "XX");

  d->SetDate(sDate{5, 7, 2021});
  EXPECT_EQ(d->Format(12, 0, 0), "05/07/2021  ");
  EXPECT_EQ(d->Format(5, 0, 0), "05/07");
  EXPECT_EQ(d->Format(0, 0, kFormatAlternate), "05/07/21");

  auto dec = Make(TYPE_DECIMAL32);
  dec->SetText("1,5");
  EXPECT_EQ(dec->Format(8, 3, 0), "   1,500");
  EXPECT_EQ(dec->Format(3, 3, 0), "1,5");
  n->SetInt64(-42);
  EXPECT_EQ(n->Format(5, 0, 0), "  -42");
  auto dbl = Make(TYPE_DOUBLE);
  dbl->SetDouble(2.5);
  EXPECT_EQ(dbl->Format(0, 2, 0), "2,50");
  dbl->SetDouble(12.5);
  EXPECT_EQ(dbl->Format(0, 2, kFormatAlternate), "douze euros et cinquante centimes");
}

TEST_F(BufferTest, ChaineBufferHoldsAStringObject) {
  auto a = Make(TYPE_CHAINE);
  EXPECT_TRUE(a->IsEmpty());
  a->SetText("bonjour");
  EXPECT_EQ(a->GetText(), "bonjour");
  auto b = Make(TYPE_CHAINE);
  b->CopyFrom(*a);
  a->SetText("autre");
  EXPECT_EQ(b->GetText(), "bonjour");
  // Out and in treat the other side as a string slot: both hold a reference.
  std::vector<uint8_t> slot(a->Size(), 0);
  a->CopyOut(slot.data());
  b->CopyIn(slot.data());
  EXPECT_EQ(b->GetText(), "autre");
  auto holder = Make(TYPE_CHAINE);
  holder->CopyIn(slot.data());
  holder->ZeroFill();
  EXPECT_TRUE(holder->IsEmpty());
  b->CopyIn(slot.data());  // the slot's own reference is still alive
  EXPECT_EQ(b->GetText(), "autre");
  auto release = Make(TYPE_CHAINE);
  release->SetData(slot.data());
  release->Clear();  // gives up the slot's reference
  EXPECT_TRUE(std::all_of(slot.begin(), slot.end(), [](uint8_t x) { return x == 0; }));
  auto joined = a->Combine('+', *b);
  EXPECT_EQ(joined->GetText(), "autreautre");
}

TEST_F(BufferTest, BlobBuffersKeepTheirBytesInTheStore) {
  size_t before = LiveVarPartCount();
  {
    auto memo = Make(TYPE_BLOBTEXT);
    EXPECT_TRUE(memo->IsEmpty());
    memo->SetText("ligne 1\r\nligne 2");
    EXPECT_EQ(memo->GetText(), "ligne 1\r\nligne 2");
    EXPECT_EQ(memo->GetInt64(), 16);
    EXPECT_EQ(LiveVarPartCount(), before + 1);
    const uint8_t* slot = memo->Data();
    EXPECT_EQ(VarPartLength(slot), 16u);
    EXPECT_EQ(VarPartFlags(slot) & kVarPartModified, kVarPartModified);

    auto copy = Make(TYPE_BLOBTEXT);
    memo->CopyOut(copy->Data());  // the copy gets its own block
    EXPECT_EQ(LiveVarPartCount(), before + 2);
    memo->Clear();
    EXPECT_TRUE(memo->IsEmpty());
    EXPECT_EQ(copy->GetText(), "ligne 1\r\nligne 2");

    auto image = Make(TYPE_BLOBIMAGE);
    image->SetImage(sBlobImage(std::string_view("BM\0\1", 4)));
    EXPECT_EQ(image->GetInt64(), 4);
    EXPECT_EQ(image->GetImage().Size(), 4u);
    image->SetSound(sBlobSound("x"));  // another kind clears it
    EXPECT_TRUE(image->IsEmpty());
    int32_t size = 0;
    EXPECT_EQ(memo->ResultType('+', *copy, &size), TYPE_ZSTRING);
  }
  EXPECT_EQ(LiveVarPartCount(), before);  // owned blocks released with their buffers
}

TEST_F(BufferTest, RichTextMemosHoldADocumentAndGiveItsText) {
  auto rtf = Make(TYPE_BLOBRICHTEXT);
  rtf->SetText("Ligne {1}\r\n\xC9t\xE9");
  EXPECT_EQ(rtf->GetBytes().Left(5), "{\\rtf");
  EXPECT_EQ(rtf->GetText(), "Ligne {1}\r\n\xC9t\xE9");
  // A text set from a rich-text memo takes its plain text, and only when
  // the memo holds something.
  auto z = Make(TYPE_ZSTRING, 32);
  z->SetText("garde");
  z->SetRichText(sBlobRichText());
  EXPECT_EQ(z->GetText(), "garde");
  z->SetRichText(rtf->GetRichText());
  EXPECT_EQ(z->GetText(), "Ligne {1}\r\n\xC9t\xE9");
  // Joining two memos gives a rich-text memo holding both texts.
  auto other = Make(TYPE_BLOBTEXT);
  other->SetText("!");
  auto joined = rtf->Combine('+', *other);
  ASSERT_NE(joined, nullptr);
  EXPECT_EQ(joined->GetTypeCode(), TYPE_BLOBRICHTEXT);
  EXPECT_EQ(joined->GetText(), "Ligne {1}\r\n\xC9t\xE9!");
  auto as_rtf = Make(TYPE_BLOBRICHTEXT);
  as_rtf->SetFromBuffer(*z);  // through GetRichText of the text buffer
  EXPECT_EQ(as_rtf->GetText(), z->GetText());
}

TEST_F(BufferTest, BuffersWithoutRoomNeverTouchMemory) {
  const int16_t codes[] = {-1, 0, 1, 2, 4, 5, 6, 7, 9, 12, 13, 14, 15, 16, 18, 19, 20, 21,
                           22, 23, 25, 26, 27, 28, 29, 30, 32, 33, 34, 35, 36, 37, 128, 161};
  auto other = Make(TYPE_ZSTRING, 8);
  other->SetText("12");
  auto exercise = [&](ErBuffer& b) {
    b.SetMax();
    b.SetText("999");
    b.SetInt64(7);
    b.SetDouble(1.5);
    b.SetFromBuffer(*other);
    b.Add(*other);
    b.Divide(*other);
    (void)b.IsEqual(*other);
    (void)b.Combine('+', *other);
  };
  for (int16_t code : codes) {
    SCOPED_TRACE(code);
    // No data: everything reads as zero.
    auto none = CreateBuffer(code, 0, 0);
    exercise(*none);
    EXPECT_EQ(none->GetInt64(), 0);
    EXPECT_TRUE(none->GetBytes().IsEmpty());
    EXPECT_EQ(none->Data(), nullptr);
    // One byte of data under a kind that needs more: the byte is left alone.
    auto small = CreateBuffer(code, 1, 0);
    uint8_t one = 0x5A;
    bool one_byte_kind = BufferKindForCode(code) == BufferKind::kRaw || code == TYPE_ZSTRING ||
                         code == TYPE_STR || code == TYPE_AUTRE || code == TYPE_INT8 ||
                         code == TYPE_UINT8 || code == TYPE_BOOL || code == TYPE_CHARACTER;
    if (code == TYPE_CHAINE) continue;  // its size is raised to a pointer's
    small->SetData(&one);
    exercise(*small);
    if (!one_byte_kind) {
      EXPECT_EQ(one, 0x5A);
      EXPECT_EQ(small->GetInt64(), 0);
    }
    small->SetData(nullptr);
  }
}

}  // namespace
}  // namespace tavelnor::record
