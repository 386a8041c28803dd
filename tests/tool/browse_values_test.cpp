// The pieces of the browsing commands that need no data file: stored
// fields decoded into exact values, command-line values encoded back into
// stored bytes, the output forms, code page conversions and key bounds.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <cstring>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "browse/key_bounds.h"
#include "browse/record_decoder.h"
#include "browse/record_writers.h"
#include "browse/text_codec.h"
#include "browse/value_parser.h"
#include "record/blob_value.h"

namespace tavelnor::tool {
namespace {

FieldModel Field(const std::string& name, uint16_t code, uint32_t size, int32_t decimals = 0,
                 uint32_t offset = 0) {
  FieldModel f;
  f.name = f.field = name;
  f.type_code = code;
  f.size = size;
  f.offset = offset;
  f.precision = f.decimals = decimals;
  f.kind = StoredKindOf(code, size, &f.scale);
  return f;
}

FieldValue Decode(const FieldModel& f, const std::string& bytes) {
  FieldValue v;
  DecodeField(f, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &v);
  return v;
}

std::string Bytes(std::initializer_list<int> list) {
  std::string out;
  for (int b : list) out += static_cast<char>(b);
  return out;
}

// --- stored values ----------------------------------------------------------------------

TEST(Decoding, TextsKeepEveryByteOfTheirField) {
  EXPECT_EQ(Decode(Field("Siret", 7, 14), "95894920800051").text, "95894920800051")
      << "a fixed-length text filling its field";
  EXPECT_EQ(Decode(Field("Nom", 0, 6), std::string("ab\0cd\0", 6)).text, "ab")
      << "a zero-terminated text ends at its zero";
  EXPECT_EQ(Decode(Field("Nom", 0, 3), "abc").text, "abc") << "no zero within the field";
  EXPECT_EQ(Decode(Field("Nom", 136, 4), "\xC9t\xE9\x81").text, "\xC3\x89t\xC3\xA9\xC2\x81");
  EXPECT_EQ(Decode(Field("C", 21, 1), "\x80").text, "\xE2\x82\xAC");
  EXPECT_EQ(Decode(Field("Octets", 14, 3), "\x01\xAB\xFF").type, ValueType::kBytes);
  EXPECT_EQ(Decode(Field("Loin", 0, 4, 0, 2), "abc").type, ValueType::kNull)
      << "a field past the end of the record";
}

TEST(Decoding, IntegersByWidthAndSign) {
  EXPECT_EQ(Decode(Field("a", 13, 1), "\xFF").integer, -1);
  EXPECT_EQ(Decode(Field("a", 14, 1), "\xFF").integer, 255);
  EXPECT_EQ(Decode(Field("a", 15, 2), Bytes({0, 0x80})).integer, -32768);
  EXPECT_EQ(Decode(Field("a", 16, 2), Bytes({0, 0x80})).integer, 32768);
  EXPECT_EQ(Decode(Field("a", 1, 4), Bytes({0, 0, 0, 0x80})).text, "-2147483648");
  EXPECT_EQ(Decode(Field("a", 18, 4), "\xFF\xFF\xFF\xFF").text, "4294967295");
  const FieldValue big = Decode(Field("a", 27, 8), std::string(8, '\xFF'));
  EXPECT_EQ(big.type, ValueType::kUnsigned);
  EXPECT_EQ(big.text, "18446744073709551615");
  EXPECT_EQ(Decode(Field("a", 26, 8), Bytes({0, 0, 0, 0, 0, 0, 0, 0x80})).text,
            "-9223372036854775808");
}

TEST(Decoding, AmountsAreExactDecimalText) {
  // value x 1000, x 10000000, x 10000.
  EXPECT_EQ(Decode(Field("m", 12, 4, 2), Bytes({0x79, 0x29, 0xED, 0xFF})).text, "-1234.567")
      << "more digits than declared are kept";
  EXPECT_EQ(Decode(Field("m", 29, 8, 2), Bytes({0x08, 0xE2, 0x01, 0, 0, 0, 0, 0})).text, "12.34");
  EXPECT_EQ(Decode(Field("m", 29, 8, 4), Bytes({0x08, 0xE2, 0x01, 0, 0, 0, 0, 0})).text,
            "12.3400");
  EXPECT_EQ(Decode(Field("m", 20, 8, 0), Bytes({0, 0, 0, 0, 0, 0, 0, 0x80})).text,
            "-922337203685.4775808");
  EXPECT_EQ(FixedPointText(-5, 4, 2), "-0.0005");
  EXPECT_EQ(FixedPointText(0, 3, 2), "0.00");
  EXPECT_EQ(FixedPointText(120, 3, 0), "0.12");

  double d = 0.1;
  std::string bytes(reinterpret_cast<const char*>(&d), 8);
  EXPECT_EQ(Decode(Field("r", 2, 8, 2), bytes).text, "0.10");
  d = 1.0 / 3;
  bytes.assign(reinterpret_cast<const char*>(&d), 8);
  EXPECT_EQ(Decode(Field("r", 2, 8, 2), bytes).text, "0.3333333333333333");
  const float f = 0.1f;
  EXPECT_EQ(Decode(Field("r", 23, 4), std::string(reinterpret_cast<const char*>(&f), 4)).text, "0.1")
      << "a single's own shortest form";
  d = std::numeric_limits<double>::quiet_NaN();
  bytes.assign(reinterpret_cast<const char*>(&d), 8);
  EXPECT_EQ(Decode(Field("r", 2, 8), bytes).text, "NaN");
  d = -0.0;
  bytes.assign(reinterpret_cast<const char*>(&d), 8);
  EXPECT_EQ(Decode(Field("r", 2, 8, 2), bytes).text, "0.00");
}

TEST(Decoding, DatesTimesAndTimeStampsInIso) {
  EXPECT_EQ(Decode(Field("d", 4, 4), Bytes({31, 12, 0xDE, 0x07})).text, "2014-12-31");
  EXPECT_EQ(Decode(Field("d", 4, 4), std::string(4, '\0')).type, ValueType::kNull);
  EXPECT_EQ(Decode(Field("d", 4, 4), Bytes({40, 13, 0xDE, 0x07})).text, "2014-13-40")
      << "parts that make no date come out as they are";
  EXPECT_EQ(Decode(Field("t", 5, 4), Bytes({0, 5, 30, 14})).text, "14:30:05");
  EXPECT_EQ(Decode(Field("t", 5, 4), Bytes({25, 5, 30, 14})).text, "14:30:05.25");
  EXPECT_EQ(Decode(Field("t", 5, 4), std::string(4, '\0')).text, "00:00:00");
  auto stamp = [](int64_t ticks) {
    return Decode(Field("s", 28, 8), std::string(reinterpret_cast<const char*>(&ticks), 8));
  };
  EXPECT_EQ(stamp(0).type, ValueType::kNull);
  EXPECT_EQ(stamp(1).text, "0001-01-01T00:00:00Z") << "the first instant is stored as 1";
  // 2000-01-01 is day 730119 after 0001-01-01.
  const int64_t y2k = 730119LL * 86400 * 10000000;
  EXPECT_EQ(stamp(y2k + 45296LL * 10000000 + 1234500).text, "2000-01-01T12:34:56.12345Z");
  EXPECT_EQ(stamp(-5).text, "-5") << "outside what ISO years hold: the tick count";
  EXPECT_EQ(Decode(Field("g", 30, 16), Bytes({0x40, 0xFC, 0x29, 0x6B, 0x47, 0xCA, 0x67, 0x10, 0xB3,
                                              0x1D, 0x00, 0xDD, 0x01, 0x06, 0x62, 0xDA}))
                .text,
            "6B29FC40-CA47-1067-B31D-00DD010662DA");
  EXPECT_EQ(Decode(Field("b", 19, 1), "\x01").text, "true");
  EXPECT_EQ(Decode(Field("b", 6, 4), Bytes({0, 0, 0, 0})).text, "false");
}

TEST(Decoding, VariablePartsComeWhole) {
  std::string record(16, '\0');
  auto* slot = reinterpret_cast<uint8_t*>(record.data());
  const std::string blob("a\0b\xFF", 4);
  ASSERT_TRUE(record::AssignVarPart(slot, blob));
  ASSERT_TRUE(record::AssignVarPart(slot + 8, "Ligne 1\nLigne \xE9\0\0"));
  FieldValue v;
  DecodeField(Field("Donnees", 32, 8), slot, 16, &v);
  EXPECT_EQ(v.type, ValueType::kBlob);
  EXPECT_EQ(v.bytes, blob) << "every byte, the zero too";
  DecodeField(Field("Notes", 33, 8, 0, 8), slot, 16, &v);
  EXPECT_EQ(v.type, ValueType::kText);
  EXPECT_EQ(v.text, "Ligne 1\nLigne \xC3\xA9") << "the padding zeros left out";
  record::ReleaseVarPart(slot);
  record::ReleaseVarPart(slot + 8);
  DecodeField(Field("Donnees", 32, 8), slot, 16, &v);
  EXPECT_EQ(v.type, ValueType::kNull);

  // A picture as its BMP file image: a 14-byte file header before the DIB.
  std::string dib(40, '\0');
  dib[0] = 40;  // header size
  dib[4] = 1;   // width
  dib[8] = 1;   // height
  dib[12] = 1;  // planes
  dib[14] = 24; // bits per pixel
  dib += std::string(4, '\x7F');
  ASSERT_TRUE(record::AssignVarPart(slot, dib));
  DecodeField(Field("Logo", 35, 8), slot, 16, &v);
  EXPECT_EQ(v.bytes.substr(0, 2), "BM");
  EXPECT_EQ(v.bytes.size(), dib.size() + 14);
  EXPECT_EQ(v.bytes.substr(14), dib);
  record::ReleaseVarPart(slot);
}

// --- values from the command line -------------------------------------------------------

TEST(ValueParsing, PrintedAndLocalFormsGiveTheSameStoredValue) {
  struct Case {
    FieldModel field;
    std::vector<const char*> forms;
    const char* decoded;
  };
  const Case cases[] = {
      {Field("d", 4, 4), {"2014-12-31", "31/12/2014"}, "2014-12-31"},
      {Field("t", 5, 4), {"14:30:05.25", "14:30:05,25"}, "14:30:05.25"},
      {Field("t", 5, 4), {"14:30"}, "14:30:00"},
      {Field("s", 28, 8), {"2000-01-01T12:34:56.5Z", "2000-01-01 12:34:56.5", "01/01/2000 12:34:56.5"},
       "2000-01-01T12:34:56.5Z"},
      {Field("m", 29, 8, 2), {"12.5", "12,50", "+12.5000"}, "12.50"},
      {Field("m", 12, 4, 2), {"-1234.567"}, "-1234.567"},
      {Field("r", 2, 8, 2), {"0.1", "0,1"}, "0.10"},
      {Field("b", 19, 1), {"true", "1", "Oui", "VRAI"}, "true"},
      {Field("n", 1, 4), {"-42"}, "-42"},
      {Field("u", 18, 4), {"4294967295"}, "4294967295"},
      {Field("c", 128, 8), {"\xC3\xA9t\xC3\xA9"}, "\xC3\x89T\xC3\x89"},  // été, in capitals
      {Field("g", 30, 16), {"6B29FC40-CA47-1067-B31D-00DD010662DA", "{6b29fc40-ca47-1067-b31d-00dd010662da}"},
       "6B29FC40-CA47-1067-B31D-00DD010662DA"},
  };
  for (const Case& c : cases) {
    for (const char* form : c.forms) {
      std::string bytes, error;
      ASSERT_TRUE(EncodeStoredValue(c.field, form, &bytes, &error)) << form << ": " << error;
      bytes.resize(c.field.size, '\0');
      EXPECT_EQ(Decode(c.field, bytes).text, c.decoded) << form;
    }
  }
}

// Upper-case text kinds take the capitals the chosen code page holds; a
// letter whose capital it lacks (ÿ in code page 437) stays as it is.
TEST(ValueParsing, CapitalsOfTheStoredCodePage) {
  struct Restore {
    ~Restore() { EXPECT_TRUE(ChooseStoredCodePage("cp1252").ok()); }
  } restore;
  const std::pair<const char*, const char*> cases[] = {
      {"cp866", "\xD0\xBC\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0 \xD1\x9E"},  // москва ў
      {"cp437", "\xC3\xA9t\xC3\xA9 \xC3\xBF"},                                    // été ÿ
      {"iso-8859-15", "\xC5\x93uvre \xC3\xBF"},                                     // œuvre ÿ
  };
  const char* capitals[] = {"\xD0\x9C\xD0\x9E\xD0\xA1\xD0\x9A\xD0\x92\xD0\x90 \xD0\x8E",
                            "\xC3\x89T\xC3\x89 \xC3\xBF", "\xC5\x92UVRE \xC5\xB8"};
  for (size_t i = 0; i < std::size(cases); ++i) {
    ASSERT_TRUE(ChooseStoredCodePage(cases[i].first).ok());
    std::string bytes, error;
    ASSERT_TRUE(EncodeStoredValue(Field("c", 128, 16), cases[i].second, &bytes, &error)) << error;
    bytes.resize(16, '\0');
    EXPECT_EQ(Decode(Field("c", 128, 16), bytes).text, capitals[i]) << cases[i].first;
  }
}

TEST(ValueParsing, RefusesWhatTheFieldCannotHold) {
  const std::pair<FieldModel, const char*> refused[] = {
      {Field("d", 4, 4), "2014-02-30"},       {Field("d", 4, 4), "31/12/14"},
      {Field("t", 5, 4), "24:00"},            {Field("t", 5, 4), "12:00:00.123"},
      {Field("n", 15, 2), "40000"},           {Field("n", 1, 4), "12x"},
      {Field("u", 16, 2), "-1"},              {Field("m", 29, 8), "1.23456"},
      {Field("m", 12, 4), "3000000"},         {Field("b", 19, 1), "peut-etre"},
      {Field("c", 0, 4), "cinq!"},             {Field("c", 0, 8), "\xE6\x97\xA5"},
      {Field("blob", 32, 8), "x"},            {Field("g", 30, 16), "6B29FC40"},
  };
  for (const auto& [field, text] : refused) {
    std::string bytes, error;
    EXPECT_FALSE(EncodeStoredValue(field, text, &bytes, &error)) << text;
    EXPECT_FALSE(error.empty()) << text;
  }
  std::string bytes, error;
  ASSERT_TRUE(EncodeStoredValue(Field("c", 0, 10), "ab", &bytes, &error));
  EXPECT_EQ(bytes, "ab") << "a text gives its own bytes, so that it can stand for a prefix";
}

// --- text -------------------------------------------------------------------------------

TEST(CodePage, RoundTripsAndRefusals) {
  const std::string cp("\xC9t\xE9 \x80\x9C", 6);
  const std::string utf8 = Cp1252ToUtf8(cp);
  EXPECT_EQ(utf8, "\xC3\x89t\xC3\xA9 \xE2\x82\xAC\xC5\x93");  // Été €œ
  std::string back;
  ASSERT_TRUE(Utf8ToCp1252(utf8, &back));
  EXPECT_EQ(back, cp);
  // Every byte has a character and comes back, the unassigned ones too.
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  ASSERT_TRUE(Utf8ToCp1252(Cp1252ToUtf8(all), &back));
  EXPECT_EQ(back, all);
  EXPECT_EQ(Cp1252ToUtf8("\x81"), "\xC2\x81") << "an unassigned byte as its C1 control";
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


TEST(Writers, CsvAndJsonLinesKeepEveryValueWhole) {
  TableModel table;
  table.name = "T";
  table.fields = {Field("Nom", 0, 10), Field("Solde", 29, 8, 2), Field("Le \"jour\"", 4, 4),
                  Field("Photo", 35, 8), Field("Octets", 14, 2)};
  std::vector<FieldValue> row(5);
  row[0].type = ValueType::kText;
  row[0].text = "Dupont, J";
  row[1].type = ValueType::kDecimal;
  row[1].text = "-3.5000";
  row[2].type = ValueType::kDate;
  row[2].text = "2014-12-31";
  row[3].type = ValueType::kBlob;
  row[3].bytes = std::string("BM\0\xFF", 4);
  row[4].type = ValueType::kBytes;
  row[4].bytes = "\x01\xAB";
  std::ostringstream csv, jsonl, local;
  WriteOptions options;
  auto w = MakeRecordWriter(OutputFormat::kCsv, table, options, csv);
  w->Row(row);
  EXPECT_EQ(csv.str(),
            "Nom,Solde,\"Le \"\"jour\"\"\",Photo,Octets\r\n"
            "\"Dupont, J\",-3.5000,2014-12-31,Qk0A/w==,01AB\r\n");
  w = MakeRecordWriter(OutputFormat::kJsonl, table, options, jsonl);
  w->Row(row);
  row[3].type = ValueType::kNull;
  w->Row(row);
  EXPECT_EQ(jsonl.str(),
            "{\"Nom\":\"Dupont, J\",\"Solde\":-3.5000,\"Le \\\"jour\\\"\":\"2014-12-31\","
            "\"Photo\":\"Qk0A/w==\",\"Octets\":\"01AB\"}\n"
            "{\"Nom\":\"Dupont, J\",\"Solde\":-3.5000,\"Le \\\"jour\\\"\":\"2014-12-31\","
            "\"Photo\":null,\"Octets\":\"01AB\"}\n");
  options.dates = DateMode::kLocale;
  options.blobs = BlobMode::kHex;
  row[3].type = ValueType::kBlob;
  w = MakeRecordWriter(OutputFormat::kCsv, table, options, local);
  w->Row(row);
  EXPECT_NE(local.str().find(",31/12/2014,424D00FF,"), std::string::npos) << local.str();
}

TEST(Writers, BlobsAsFilesBesideTheExport) {
  const std::string folder = ::testing::TempDir() + "tavelnor-blob-files";
  std::filesystem::remove_all(folder);
  TableModel table;
  table.fields = {Field("Logo", 35, 8), Field("Son", 36, 8)};
  std::vector<FieldValue> row(2);
  row[0].type = row[1].type = ValueType::kBlob;
  row[0].bytes = "BMpicture";
  row[1].bytes = std::string("\0sound", 6);
  WriteOptions options;
  options.blobs = BlobMode::kFiles;
  options.blob_folder = folder + "/T.blobs";
  options.blob_base = folder;
  std::ostringstream csv;
  auto w = MakeRecordWriter(OutputFormat::kCsv, table, options, csv);
  w->Row(row);
  EXPECT_EQ(csv.str(), "Logo,Son\r\nT.blobs/Logo/00000001.bmp,T.blobs/Son/00000001.bin\r\n");
  std::ifstream in(folder + "/T.blobs/Son/00000001.bin", std::ios::binary);
  const std::string back((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(back, row[1].bytes);
  EXPECT_TRUE(w->Error().empty());
  std::filesystem::remove_all(folder);
}

TEST(Writers, TheTableStreamsInColumnsOfDeclaredWidth) {
  TableModel table;
  table.fields = {Field("Notes", 33, 8), Field("Solde", 29, 8, 2), Field("Code", 0, 5)};
  std::vector<FieldValue> row(3);
  row[0].type = ValueType::kText;
  row[0].text = "a\n" + std::string(60, 'x');
  row[1].type = ValueType::kDecimal;
  row[1].text = "-3.50";
  row[2].type = ValueType::kText;
  row[2].text = "C1";
  std::ostringstream out;
  auto w = MakeRecordWriter(OutputFormat::kTable, table, WriteOptions{}, out);
  w->Row(row);
  const std::string first = out.str();
  EXPECT_NE(first.find("-3.50  C1\n"), std::string::npos) << "the row is out before the end:\n" << first;
  const std::string cut = "a\\n" + std::string(kTableCellWidth - 4, 'x') + "\xE2\x80\xA6";
  EXPECT_NE(first.find(cut), std::string::npos) << first;
  const std::string header = first.substr(0, first.find('\n'));
  EXPECT_EQ(header.find("Code"), header.size() - 4) << "a 5-byte text takes the width of its name";
  OutputFormat f;
  EXPECT_TRUE(ParseOutputFormat("jsonl", &f));
  EXPECT_FALSE(ParseOutputFormat("xml", &f));
  BlobMode b;
  EXPECT_TRUE(ParseBlobMode("files", &b));
  EXPECT_FALSE(ParseBlobMode("zip", &b));
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
    EXPECT_EQ(EncodeKeyValue(c.text, c.encoding, nullptr, &bytes, &used, &error), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(bytes, c.bytes) << c.text;
    } else {
      EXPECT_FALSE(error.empty()) << c.text;
    }
  }
  std::string bytes, error;
  KeyEncoding used;
  EXPECT_FALSE(EncodeKeyValue(std::string(256, 'a'), KeyEncoding::kText, nullptr, &bytes, &used, &error));
}

TEST(KeyValues, BoundsOpenAtTheHighEndTakeTheTopOfTheEncoding) {
  KeyBounds b;
  std::string error;
  ASSERT_TRUE(BuildKeyBounds(std::string("5"), std::nullopt, std::nullopt, KeyEncoding::kAuto, nullptr, &b,
                             &error));
  EXPECT_EQ(*b.low, std::string("\x05\0\0\0", 4));
  EXPECT_EQ(*b.high, "\xFF\xFF\xFF\x7F");
  ASSERT_TRUE(BuildKeyBounds(std::string("B"), std::nullopt, std::nullopt, KeyEncoding::kAuto, nullptr, &b,
                             &error));
  EXPECT_EQ(*b.high, std::string(255, '\xFF'));
  ASSERT_TRUE(BuildKeyBounds(std::nullopt, std::string("C"), std::nullopt, KeyEncoding::kAuto, nullptr, &b,
                             &error));
  EXPECT_FALSE(b.low.has_value());
  EXPECT_EQ(*b.high, "C");
  ASSERT_TRUE(BuildKeyBounds(std::nullopt, std::nullopt, std::string("C0"), KeyEncoding::kAuto, nullptr, &b,
                             &error));
  EXPECT_EQ(*b.low, "C0");
  EXPECT_FALSE(b.high.has_value()) << "a low bound alone selects the keys that begin with it";

  EXPECT_FALSE(BuildKeyBounds(std::string("A"), std::nullopt, std::string("B"), KeyEncoding::kAuto,
                              nullptr, &b, &error));
  EXPECT_FALSE(BuildKeyBounds(std::string("A"), std::string("9"), std::nullopt, KeyEncoding::kAuto,
                              nullptr, &b, &error))
      << "text and integer bounds together";
  KeyEncoding e;
  EXPECT_TRUE(ParseKeyEncoding("int16", &e));
  EXPECT_EQ(e, KeyEncoding::kInt16);
  EXPECT_FALSE(ParseKeyEncoding("date", &e));
}


TEST(KeyValues, AutoFollowsTheFirstSegmentsField) {
  KeyBounds b;
  std::string error;
  const FieldModel postal = Field("CodePostal", 0, 6);
  ASSERT_TRUE(BuildKeyBounds(std::nullopt, std::nullopt, std::string("69001"), KeyEncoding::kAuto,
                             &postal, &b, &error));
  EXPECT_EQ(*b.low, "69001") << "digits on a text key stay text";
  const FieldModel date = Field("Date", 4, 4);
  ASSERT_TRUE(BuildKeyBounds(std::string("2014-12-31"), std::nullopt, std::nullopt,
                             KeyEncoding::kAuto, &date, &b, &error));
  EXPECT_EQ(*b.low, Bytes({31, 12, 0xDE, 0x07}));
  const FieldModel number = Field("N", 15, 2);
  ASSERT_TRUE(BuildKeyBounds(std::string("7"), std::nullopt, std::nullopt, KeyEncoding::kAuto,
                             &number, &b, &error));
  EXPECT_EQ(*b.high, "\xFF\x7F") << "the top of a 16-bit signed segment";
  EXPECT_FALSE(BuildKeyBounds(std::string("abc"), std::nullopt, std::nullopt, KeyEncoding::kAuto,
                              &number, &b, &error))
      << "a value the key cannot hold is an error";
  EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace tavelnor::tool
