// The pieces of the browsing commands that need no dictionary: exchange
// slots read into values, their text forms, the escapes of the output
// formats, code page conversions and key bounds from text.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "browse/exchange_values.h"
#include "browse/key_bounds.h"
#include "browse/record_writers.h"
#include "browse/schema_lists.h"
#include "browse/text_codec.h"
#include "tavelnor/zavl.h"

namespace tavelnor::tool {
namespace {

// --- dates, times, amounts ------------------------------------------------------

TEST(DayNumbers, CountFromTheFirstOfJanuaryOfYearOne) {
  struct Case {
    int32_t day_number;
    const char* text;
  };
  const Case cases[] = {
      {1, "01/01/0001"},         {730120, "01/01/2000"},    {730120 + 59, "29/02/2000"},
      {730120 + 60, "01/03/2000"}, {730120 - 1, "31/12/1999"}, {693595, "31/12/1899"},
      {3652059, "31/12/9999"},   {0, ""},                   {-3, "#-3"},
      {3652060, "#3652060"},
  };
  for (const Case& c : cases) EXPECT_EQ(FormatDate(c.day_number), c.text) << c.day_number;
  int d = 0, m = 0, y = 0;
  ASSERT_TRUE(DayNumberToDate(730120 + 365, &d, &m, &y));  // 2000 is a leap year
  EXPECT_EQ(d, 31);
  EXPECT_EQ(m, 12);
  EXPECT_EQ(y, 2000);
  ASSERT_TRUE(DayNumberToDate(730120 + 366 + 365, &d, &m, &y));  // 2001 is not
  EXPECT_EQ(d, 1);
  EXPECT_EQ(m, 1);
  EXPECT_EQ(y, 2002);
}

TEST(TimesAndTimeStamps, ReadAsClockTexts) {
  EXPECT_EQ(FormatTime(0), "00:00:00");
  EXPECT_EQ(FormatTime(3723000), "01:02:03");
  EXPECT_EQ(FormatTime(86399999), "23:59:59") << "milliseconds are dropped, not rounded";
  std::string text, iso;
  ASSERT_TRUE(FormatDateTime(36526.5, &text, &iso));
  EXPECT_EQ(text, "01/01/2000 12:00:00");
  EXPECT_EQ(iso, "2000-01-01 12:00:00");
  ASSERT_TRUE(FormatDateTime(-1.25, &text, &iso)) << "before the epoch the fraction is still the time";
  EXPECT_EQ(text, "29/12/1899 06:00:00");
  ASSERT_TRUE(FormatDateTime(1.0 - 1e-9, &text, &iso)) << "a time rounding up to midnight";
  EXPECT_EQ(text, "31/12/1899 00:00:00");
  EXPECT_FALSE(FormatDateTime(0.0, &text, &iso)) << "the empty time stamp";
  EXPECT_FALSE(FormatDateTime(1e300, &text, &iso));
}

TEST(Amounts, TakeThePrecisionOrTheShortestExactForm) {
  EXPECT_EQ(FormatAmount(1234.5, 2), "1234.50");
  EXPECT_EQ(FormatAmount(-12.255, 1), "-12.3");
  EXPECT_EQ(FormatAmount(-0.001, 2), "0.00") << "no negative zero";
  EXPECT_EQ(FormatAmount(0.1, 0), "0.1");
  EXPECT_EQ(FormatAmount(3, 0), "3");
  EXPECT_EQ(FormatAmount(1.0 / 3, 0), "0.3333333333333333");
}

TEST(Guids, UseTheWindowsByteOrder) {
  const uint8_t bytes[16] = {0x40, 0xFC, 0x29, 0x6B, 0x47, 0xCA, 0x67, 0x10,
                             0xB3, 0x1D, 0x00, 0xDD, 0x01, 0x06, 0x62, 0xDA};
  EXPECT_EQ(FormatGuid(bytes), "6B29FC40-CA47-1067-B31D-00DD010662DA");
}

// --- slots ------------------------------------------------------------------------------

Column Slot(uint8_t type, uint32_t size, int32_t precision = 0) {
  Column c;
  c.name = "F";
  c.type = type;
  c.size = size;
  c.precision = precision;
  return c;
}

std::vector<uint8_t> MemorySlot(const std::string& block) {
  std::vector<uint8_t> slot(ZAVL_MEMORY_SLOT_SIZE, 0);
  const uint32_t length = static_cast<uint32_t>(block.size());
  std::memcpy(slot.data(), &length, 4);
  const char* pointer = block.empty() ? nullptr : block.data();
  std::memcpy(slot.data() + 4, &pointer, sizeof pointer);
  return slot;
}

TEST(Slots, EachExchangeTypeReadsAsItsValue) {
  const uint8_t text[6] = {'C', 0xC9, 'x', 0, 'y', 'z'};
  Cell c = DecodeSlot(Slot(ZAVL_FT_STRING, 6), text);
  EXPECT_EQ(c.kind, CellKind::kText);
  EXPECT_EQ(c.text, "C\xC3\x89x") << "stops at the zero, Windows-1252 into UTF-8";

  const uint8_t full[3] = {'a', 'b', 'c'};
  EXPECT_EQ(DecodeSlot(Slot(ZAVL_FT_STRING, 3), full).text, "abc") << "no zero within the slot";

  const uint8_t small[2] = {0xFE, 0xFF};
  c = DecodeSlot(Slot(ZAVL_FT_SMALLINT, 2), small);
  EXPECT_EQ(c.kind, CellKind::kInteger);
  EXPECT_EQ(c.integer, -2);

  const uint8_t integer[4] = {0x00, 0x00, 0x00, 0x80};
  EXPECT_EQ(DecodeSlot(Slot(ZAVL_FT_INTEGER, 4), integer).integer, INT32_MIN);

  const uint8_t yes[1] = {1}, no[1] = {0};
  EXPECT_EQ(DecodeSlot(Slot(ZAVL_FT_BOOLEAN, 1), yes).text, "true");
  EXPECT_EQ(DecodeSlot(Slot(ZAVL_FT_BOOLEAN, 1), no).text, "false");
  EXPECT_EQ(DecodeSlot(Slot(ZAVL_FT_BOOLEAN, 1), no).kind, CellKind::kBool);

  uint8_t real[8];
  const double amount = 99.5;
  std::memcpy(real, &amount, 8);
  c = DecodeSlot(Slot(ZAVL_FT_FLOAT, 8, 2), real);
  EXPECT_EQ(c.kind, CellKind::kReal);
  EXPECT_EQ(c.text, "99.50");
  EXPECT_DOUBLE_EQ(c.real, 99.5);

  const int32_t day = 730120;
  uint8_t date[4];
  std::memcpy(date, &day, 4);
  c = DecodeSlot(Slot(ZAVL_FT_DATE, 4), date);
  EXPECT_EQ(c.kind, CellKind::kDate);
  EXPECT_EQ(c.text, "01/01/2000");
  EXPECT_EQ(c.iso, "2000-01-01");
  const uint8_t zero[16] = {};
  EXPECT_EQ(DecodeSlot(Slot(ZAVL_FT_DATE, 4), zero).kind, CellKind::kEmpty) << "the empty date";
  EXPECT_EQ(DecodeSlot(Slot(ZAVL_FT_DATETIME, 8), zero).kind, CellKind::kEmpty);

  const int32_t ms = 45296000;
  uint8_t time[4];
  std::memcpy(time, &ms, 4);
  EXPECT_EQ(DecodeSlot(Slot(ZAVL_FT_TIME, 4), time).text, "12:34:56");

  const uint8_t bytes[3] = {0x00, 0xAB, 0x10};
  c = DecodeSlot(Slot(ZAVL_FT_BYTES, 3), bytes);
  EXPECT_EQ(c.text, "00AB10");
  EXPECT_EQ(c.bytes, std::string("\x00\xAB\x10", 3));

  EXPECT_EQ(DecodeSlot(Slot(ZAVL_FT_GUID, 16), zero).text, "00000000-0000-0000-0000-000000000000");
  const uint8_t ch[1] = {0x80};
  EXPECT_EQ(DecodeSlot(Slot(ZAVL_FT_FIXEDCHAR, 1), ch).text, "\xE2\x82\xAC");  // €
  EXPECT_EQ(DecodeSlot(Slot(0, 4), zero).kind, CellKind::kEmpty) << "a slot of no known type";
}

TEST(Slots, MemoryBlocksGiveMemoTextAndBlobSizes) {
  const std::string memo("ligne\nsuite\xE9\0", 13);  // a text memo may end with its zero
  std::vector<uint8_t> slot = MemorySlot(memo);
  Cell c = DecodeSlot(Slot(ZAVL_FT_MEMO, ZAVL_MEMORY_SLOT_SIZE), slot.data());
  EXPECT_EQ(c.kind, CellKind::kText);
  EXPECT_EQ(c.text, "ligne\nsuite\xC3\xA9");

  const std::string blob("\x01\x02\x00\x04", 4);
  slot = MemorySlot(blob);
  c = DecodeSlot(Slot(ZAVL_FT_BLOB, ZAVL_MEMORY_SLOT_SIZE), slot.data());
  EXPECT_EQ(c.kind, CellKind::kBlock);
  EXPECT_EQ(c.text, "<4 bytes>");
  EXPECT_EQ(c.bytes, blob);
  EXPECT_EQ(JsonValue(c), "{\"size\":4}");

  slot = MemorySlot("");
  EXPECT_EQ(DecodeSlot(Slot(ZAVL_FT_GRAPHIC, ZAVL_MEMORY_SLOT_SIZE), slot.data()).kind,
            CellKind::kEmpty);
  EXPECT_EQ(DecodeSlot(Slot(ZAVL_FT_MEMO, ZAVL_MEMORY_SLOT_SIZE), slot.data()).text, "");
  // A slot too short to hold a pointer is not read as one.
  EXPECT_EQ(DecodeSlot(Slot(ZAVL_FT_BLOB, 4), MemorySlot(blob).data()).kind, CellKind::kEmpty);
}

TEST(Layouts, SkipFieldsWithoutSlotAndPackTheRest) {
  std::vector<FieldInfo> fields(4);
  fields[0] = {"Code", ZAVL_FT_STRING, 9};
  fields[1] = {"Son", 0, 0};  // no slot
  fields[2] = {"Montant", ZAVL_FT_FLOAT, 8, 2};
  fields[3] = {"Notes", ZAVL_FT_MEMO, static_cast<int32_t>(ZAVL_MEMORY_SLOT_SIZE)};
  const std::vector<Column> layout = LayoutFromFields(fields);
  ASSERT_EQ(layout.size(), 3u);
  EXPECT_EQ(layout[1].name, "Montant");
  EXPECT_EQ(layout[1].offset, 9u);
  EXPECT_EQ(layout[1].precision, 2);
  EXPECT_EQ(layout[2].offset, 17u);
  EXPECT_EQ(LayoutSize(layout), 17u + ZAVL_MEMORY_SLOT_SIZE);
  EXPECT_EQ(LayoutSize({}), 0u);
  EXPECT_EQ(layout[0].element, 0);
}

TEST(Layouts, ElementsOfAnArrayGetNumberedNames) {
  std::vector<FieldInfo> fields(4);
  fields[0] = {"Mois", ZAVL_FT_FLOAT, 8};
  fields[1] = {"Total", ZAVL_FT_FLOAT, 8};
  fields[2] = {"Mois", ZAVL_FT_FLOAT, 8};
  fields[3] = {"MOIS", ZAVL_FT_FLOAT, 8};
  const std::vector<Column> layout = LayoutFromFields(fields);
  ASSERT_EQ(layout.size(), 4u);
  EXPECT_EQ(layout[0].name, "Mois[1]");
  EXPECT_EQ(layout[1].name, "Total");
  EXPECT_EQ(layout[2].name, "Mois[2]");
  EXPECT_EQ(layout[3].name, "MOIS[3]") << "SQL column names ignore case";
  EXPECT_EQ(layout[2].field, "Mois");
  EXPECT_EQ(layout[2].element, 2);
  EXPECT_EQ(layout[1].element, 0);
}

// --- text -------------------------------------------------------------------------------

TEST(CodePage, RoundTripsAndRefusals) {
  const std::string cp("\xC9t\xE9 \x80\x9C", 6);
  const std::string utf8 = Cp1252ToUtf8(cp);
  EXPECT_EQ(utf8, "\xC3\x89t\xC3\xA9 \xE2\x82\xAC\xC5\x93");  // Été €œ
  std::string back;
  ASSERT_TRUE(Utf8ToCp1252(utf8, &back));
  EXPECT_EQ(back, cp);
  EXPECT_EQ(Cp1252ToUtf8("\x81"), "\xEF\xBF\xBD") << "an unassigned byte";
  EXPECT_FALSE(Utf8ToCp1252("\xE6\x97\xA5", &back)) << "no Windows-1252 form";
  EXPECT_FALSE(Utf8ToCp1252("ab\xC3", &back)) << "cut in the middle of a character";
  EXPECT_FALSE(Utf8ToCp1252("\xFF", &back));
}

TEST(Escapes, CsvJsonAndTableCells) {
  EXPECT_EQ(CsvField("plain"), "plain");
  EXPECT_EQ(CsvField("a,b"), "\"a,b\"");
  EXPECT_EQ(CsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
  EXPECT_EQ(CsvField("two\nlines"), "\"two\nlines\"");
  EXPECT_EQ(CsvField(" padded"), "\" padded\"");
  EXPECT_EQ(JsonString("a\"b\\c\n\x01"), "\"a\\\"b\\\\c\\n\\u0001\"");
  EXPECT_EQ(EscapeControls("a\tb\nc\x7F"), "a\\tb\\nc\\x7f");
  EXPECT_EQ(Utf8Width("\xC3\x89mile"), 5u);
  EXPECT_EQ(Utf8Cut("\xC3\x89milienne", 4), "\xC3\x89mi\xE2\x80\xA6");
  EXPECT_EQ(Utf8Cut("court", 5), "court");
}

TEST(TextTables, AlignColumnsByCharactersAndRightAlignNumbers) {
  TextTable table({"name", "n"}, {false, true});
  table.AddRow({"\xC3\x89mile", "7"});
  table.AddRow({"Bo", "1234"});
  std::ostringstream aligned, plain;
  table.Print(aligned, true);
  table.Print(plain, false);
  EXPECT_EQ(aligned.str(),
            "name      n\n"
            "-----  ----\n"
            "\xC3\x89mile     7\n"
            "Bo     1234\n");
  EXPECT_EQ(plain.str(), "\xC3\x89mile\t7\nBo\t1234\n");
}

TEST(Writers, CsvAndJsonLinesOfOneRecord) {
  std::vector<Column> layout = {Slot(ZAVL_FT_STRING, 10), Slot(ZAVL_FT_FLOAT, 8, 2),
                                Slot(ZAVL_FT_DATE, 4)};
  layout[0].name = "Nom";
  layout[1].name = "Solde";
  layout[2].name = "Le \"jour\"";
  Cell name{CellKind::kText, "Dupont, J"};
  Cell amount{CellKind::kReal, "-3.50"};
  amount.real = -3.5;
  Cell empty;
  std::ostringstream csv, jsonl;
  auto w = MakeRecordWriter(OutputFormat::kCsv, layout, csv);
  w->Row({name, amount, empty});
  w->Finish();
  EXPECT_EQ(csv.str(), "Nom,Solde,\"Le \"\"jour\"\"\"\r\n\"Dupont, J\",-3.50,\r\n");
  w = MakeRecordWriter(OutputFormat::kJsonl, layout, jsonl);
  w->Row({name, amount, empty});
  EXPECT_EQ(jsonl.str(), "{\"Nom\":\"Dupont, J\",\"Solde\":-3.50,\"Le \\\"jour\\\"\":null}\n");
  std::ostringstream table;
  w = MakeRecordWriter(OutputFormat::kTable, layout, table);
  Cell memo{CellKind::kText, "a\n" + std::string(60, 'x')};
  w->Row({memo, amount, empty});
  EXPECT_TRUE(table.str().empty()) << "the aligned table waits for its last row";
  w->Finish();
  const std::string cut = "a\\n" + std::string(kTableCellWidth - 4, 'x') + "\xE2\x80\xA6";
  EXPECT_NE(table.str().find(cut + "  -3.50\n"), std::string::npos) << table.str();
  OutputFormat f;
  EXPECT_TRUE(ParseOutputFormat("jsonl", &f));
  EXPECT_EQ(f, OutputFormat::kJsonl);
  EXPECT_FALSE(ParseOutputFormat("xml", &f));
}

// --- key bounds -------------------------------------------------------------------------

TEST(KeyValues, EncodingsOfText) {
  struct Case {
    const char* text;
    KeyEncoding encoding;
    bool ok;
    std::string bytes;
  };
  const Case cases[] = {
      {"42", KeyEncoding::kAuto, true, std::string("\x2A\0\0\0", 4)},
      {"-1", KeyEncoding::kAuto, true, "\xFF\xFF\xFF\xFF"},
      {"C001", KeyEncoding::kAuto, true, "C001"},
      {"4294967296", KeyEncoding::kAuto, true, "4294967296"},  // too big: text
      {"\xC3\x89t\xC3\xA9", KeyEncoding::kText, true, "\xC9t\xE9"},
      {"42", KeyEncoding::kText, true, "42"},
      {"300", KeyEncoding::kInt16, true, std::string("\x2C\x01", 2)},
      {"40000", KeyEncoding::kInt16, false, ""},
      {"12x", KeyEncoding::kInt32, false, ""},
      {"0aFF", KeyEncoding::kHex, true, std::string("\x0A\xFF", 2)},
      {"0aF", KeyEncoding::kHex, false, ""},
      {"zz", KeyEncoding::kHex, false, ""},
      {"", KeyEncoding::kText, false, ""},
  };
  for (const Case& c : cases) {
    std::string bytes, error;
    KeyEncoding used;
    EXPECT_EQ(EncodeKeyValue(c.text, c.encoding, &bytes, &used, &error), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(bytes, c.bytes) << c.text;
    } else {
      EXPECT_FALSE(error.empty()) << c.text;
    }
  }
  std::string bytes, error;
  KeyEncoding used;
  EXPECT_FALSE(EncodeKeyValue(std::string(256, 'a'), KeyEncoding::kText, &bytes, &used, &error));
}

TEST(KeyValues, BoundsOpenAtTheHighEndTakeTheTopOfTheEncoding) {
  KeyBounds b;
  std::string error;
  ASSERT_TRUE(BuildKeyBounds(std::string("5"), std::nullopt, std::nullopt, KeyEncoding::kAuto, &b,
                             &error));
  EXPECT_EQ(*b.low, std::string("\x05\0\0\0", 4));
  EXPECT_EQ(*b.high, "\xFF\xFF\xFF\x7F");
  ASSERT_TRUE(BuildKeyBounds(std::string("B"), std::nullopt, std::nullopt, KeyEncoding::kAuto, &b,
                             &error));
  EXPECT_EQ(*b.high, std::string(255, '\xFF'));
  ASSERT_TRUE(BuildKeyBounds(std::nullopt, std::string("C"), std::nullopt, KeyEncoding::kAuto, &b,
                             &error));
  EXPECT_FALSE(b.low.has_value());
  EXPECT_EQ(*b.high, "C");
  ASSERT_TRUE(BuildKeyBounds(std::nullopt, std::nullopt, std::string("C0"), KeyEncoding::kAuto, &b,
                             &error));
  EXPECT_EQ(*b.low, "C0");
  EXPECT_FALSE(b.high.has_value()) << "a low bound alone selects the keys that begin with it";

  EXPECT_FALSE(BuildKeyBounds(std::string("A"), std::nullopt, std::string("B"), KeyEncoding::kAuto,
                              &b, &error));
  EXPECT_FALSE(BuildKeyBounds(std::string("A"), std::string("9"), std::nullopt, KeyEncoding::kAuto,
                              &b, &error))
      << "text and integer bounds together";
  KeyEncoding e;
  EXPECT_TRUE(ParseKeyEncoding("int16", &e));
  EXPECT_EQ(e, KeyEncoding::kInt16);
  EXPECT_FALSE(ParseKeyEncoding("date", &e));
}

}  // namespace
}  // namespace tavelnor::tool
