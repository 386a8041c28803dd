// RTF memo <-> plain text: reading documents as an editor writes them, cut and
// unbalanced input, and the writer's form.
#include <gtest/gtest.h>

#include <string>

#include "record/rtf_text.h"

namespace tavelnor::record {
namespace {

std::string Doc(const std::string& body) { return "{\\rtf1\\ansi " + body + "}"; }

TEST(RtfReadTest, EditorDocument) {
  const std::string rtf =
      "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1036"
      "{\\fonttbl{\\f0\\fnil\\fcharset0 Calibri;}{\\f1\\fswiss\\fprq2\\fcharset0 Arial;}}\r\n"
      "{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}\r\n"
      "{\\stylesheet{\\s0\\snext0 Normal;}}{\\info{\\title Memo}{\\author Desk 4}}\r\n"
      "{\\*\\generator Memo Writer 2.1;}\\viewkind4\\uc1 \r\n"
      "\\pard\\sa200\\sl276\\slmult1\\f0\\fs22\\lang1036 Caf\\'e9 d\\u233?j\\u224? "
      "{\\b gras{\\i  et italique}}\\par\r\n"
      "{\\pict\\wmetafile8\\picw100\\pich100 0100090000035000\r\n0000ffff}"
      "\\cf1 Ligne\\tab deux\\cf0\\line fin\\par\r\n}";
  EXPECT_EQ(RtfToPlainText(rtf), "Caf\xE9 d\xE9j\xE0 gras et italique\r\nLigne\tdeux\r\nfin\r\n");
}

struct ReadCase {
  const char* name;
  std::string body;  // inside "{\rtf1\ansi ...}"
  std::string text;
};

TEST(RtfReadTest, Tokens) {
  const ReadCase cases[] = {
      {"escapes", "a\\\\b\\{c\\}", "a\\b{c}"},
      {"hex bytes", "\\'e9\\'C9\\'00x", std::string("\xE9\xC9\0x", 4)},
      {"bad hex is dropped", "\\'zz\\'4", "zz"},
      {"one space ends a word", "\\b  two\\b0\\i x", " twox"},
      {"raw line breaks are not text", "a\r\nb\nc\rd", "abcd"},
      {"escaped line break", "a\\\r\nb\\\nc", "a\r\nb\r\nc"},
      {"breaks and tabs", "a\\par b\\line c\\tab d\\page e", "a\r\nb\r\nc\td\r\ne"},
      {"symbols", "\\~\\-\\_\\lquote\\rquote\\emdash\\bullet", "\xA0-\x91\x92\x97\x95"},
      {"negative and huge parameters", "\\li-720 a\\fs99999999999999999999 b", "ab"},
      {"hyphen without digits is text", "\\b-x", "-x"},
      {"unicode with fallback", "\\u233?\\u8364 E", "\xE9\x80"},
      {"negative unicode adds 65536", "\\u-65303?\\u-1279 fx", "\xE9?x"},
      {"uc sets the fallback length", "\\uc2\\u8364 EUx\\uc0\\u233 y", "\x80x\xE9y"},
      {"uc is scoped to its group", "{\\uc2 a}\\u233 xy", "a\xE9y"},
      {"hex byte is one fallback unit", "\\u233\\'e9x", "\xE9x"},
      {"control word is one fallback unit", "\\u233\\b x", "\xE9x"},
      {"group ends the fallback", "\\u233{x}", "\xE9x"},
      {"star destination", "{\\*\\unknown skipped {nested}}x", "x"},
      {"named destinations", "{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red1;}{\\info{\\title T}}x",
       "x"},
      {"binary data is skipped whole", "{\\pict\\bin4 }{\\}x}y", "y"},
      {"text after the document", "a}b{c", "a"},
  };
  for (const ReadCase& c : cases) {
    EXPECT_EQ(RtfToPlainText(Doc(c.body)), c.text) << c.name;
  }
}

TEST(RtfReadTest, UnicodeToWindows1252) {
  const std::pair<int, std::string> cases[] = {
      {0x41, "A"},      {0xA0, "\xA0"},   {0xFF, "\xFF"},   {0x20AC, "\x80"},
      {0x201A, "\x82"}, {0x0152, "\x8C"}, {0x017D, "\x8E"}, {0x2019, "\x92"},
      {0x2122, "\x99"}, {0x0178, "\x9F"}, {0x80, "?"},      {0x81, "?"},
      {0x9F, "?"},      {0x100, "?"},     {0x3A9, "?"},     {0xFFFD, "?"},
  };
  for (const auto& [code_point, byte] : cases) {
    EXPECT_EQ(RtfToPlainText(Doc("\\u" + std::to_string(code_point) + "?")), byte) << code_point;
  }
}

TEST(RtfReadTest, NotRtfPassesThrough) {
  const std::string texts[] = {"",      "plain {\\rtf1 x}", " {\\rtf1 x}",
                               "{\\rt", "{\\RTF1 x}",       std::string("\0\xFF{\\", 4)};
  for (const std::string& text : texts) {
    EXPECT_EQ(RtfToPlainText(text), text);
  }
}

TEST(RtfDamageTest, CutAndUnbalanced) {
  const ReadCase cases[] = {
      {"unclosed", "{\\rtf1 abc", "abc"}, {"cut after backslash", "{\\rtf1 ab\\", "ab"},
      {"cut in a hex byte", "{\\rtf1 ab\\'e", "ab"},
      {"cut in a destination", "{\\rtf1 a{\\fonttbl x", "a"},
      {"cut in binary data", "{\\rtf1 a\\bin999999999 xyz", "a"},
      {"extra closing braces", "{\\rtf1 a}}}}", "a"}, {"header only", "{\\rtf", ""},
  };
  for (const ReadCase& c : cases) {
    EXPECT_EQ(RtfToPlainText(c.body), c.text) << c.name;
  }
}

TEST(RtfWriteTest, Form) {
  EXPECT_EQ(PlainTextToRtf("a\\b{c}\t1\xE9\x01\r\nx\ny\rz"),
            "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}}\r\n"
            "\\f0\\fs20 a\\\\b\\{c\\}\\tab 1\\'e9\\'01\\par\r\nx\\par\r\ny\\par\r\nz}");
}

}  // namespace
}  // namespace tavelnor::record
