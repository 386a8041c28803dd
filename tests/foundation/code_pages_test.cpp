// Code pages chosen by name: every byte to UTF-8 and back.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "foundation/platform/code_pages.h"

namespace tavelnor::platform {
namespace {

std::shared_ptr<const CodePage> Must(const char* name) {
  auto page = CodePage::Open(name);
  EXPECT_TRUE(page.ok()) << name << ": " << page.status().message();
  return page.ok() ? *page : nullptr;
}

size_t Characters(const std::string& utf8) {
  size_t n = 0;
  for (char c : utf8) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n;
}

TEST(CodePages, EveryByteOfEveryPageComesBack) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  for (const std::string& name : CodePageNames()) {
    if (name == "utf-8") continue;
    auto page = Must(name.c_str());
    if (!page) continue;
    const std::string utf8 = page->ToUtf8(all);
    EXPECT_EQ(Characters(utf8), 256u) << name << ": one character per byte";
    std::string back;
    char32_t unheld = 0;
    EXPECT_TRUE(page->FromUtf8(utf8, &back, &unheld)) << name << " U+" << std::hex << static_cast<uint32_t>(unheld);
    EXPECT_EQ(back, all) << name;
  }
}

TEST(CodePages, TheirOwnLetters) {
  struct Case {
    const char* name;
    std::string bytes, utf8;
  } cases[] = {
      {"cp866", "\x8F\xE0\xA8\xA2\xA5\xE2", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"},
      {"cp437", "caf\x82 \xB0\x9B", "caf\xC3\xA9 \xE2\x96\x91\xC2\xA2"},
      {"cp850", "\xD5\x9B", "\xC4\xB1\xC3\xB8"},
      {"cp1251", "\xC0\xFF", "\xD0\x90\xD1\x8F"},
      {"cp1252", "\x80\xE9", "\xE2\x82\xAC\xC3\xA9"},
      {"iso-8859-1", "\xA4\xE9", "\xC2\xA4\xC3\xA9"},
      {"iso-8859-15", "\xA4\xBD", "\xE2\x82\xAC\xC5\x93"},
      {"utf-8", "\xC3\xA9\xE9", "\xC3\xA9\xC3\xA9"},  // a stray byte as its Windows-1252 letter
  };
  for (const Case& c : cases) {
    auto page = Must(c.name);
    if (!page) continue;
    EXPECT_EQ(page->ToUtf8(c.bytes), c.utf8) << c.name;
  }
  // The one byte Windows-1251 leaves unassigned keeps its number.
  EXPECT_EQ(Must("cp1251")->ToUtf8("\x98"), "\xC2\x98");
}

TEST(CodePages, TextsTheyCannotHold) {
  std::string out;
  char32_t unheld = 0;
  EXPECT_FALSE(Must("cp866")->FromUtf8("caf\xC3\xA9", &out, &unheld));
  EXPECT_EQ(static_cast<uint32_t>(unheld), 0xE9u);
  EXPECT_EQ(out, "caf") << "what came before the character";
  EXPECT_FALSE(Must("cp1252")->FromUtf8("\xD0\x9F", &out, &unheld));
  EXPECT_EQ(static_cast<uint32_t>(unheld), 0x41Fu);
  EXPECT_FALSE(Must("utf-8")->FromUtf8("\xC0\xAF", &out, &unheld)) << "an overlong form";
  EXPECT_EQ(static_cast<uint32_t>(unheld), 0xFFFDu);
  EXPECT_TRUE(Must("utf-8")->FromUtf8("\xF0\x9F\x98\x80", &out, &unheld));
  EXPECT_EQ(out, "\xF0\x9F\x98\x80");
}

TEST(CodePages, Names) {
  const std::pair<const char*, const char*> spellings[] = {
      {"Windows-1252", "cp1252"}, {"CP1251", "cp1251"},       {"IBM437", "cp437"},
      {"ibm-850", "cp850"},       {"866", "cp866"},           {"latin1", "iso-8859-1"},
      {"ISO_8859-15", "iso-8859-15"}, {"UTF8", "utf-8"},
  };
  for (const auto& [spelt, name] : spellings) {
    auto page = Must(spelt);
    if (page) {
      EXPECT_EQ(page->Name(), name) << spelt;
    }
  }
  const auto unknown = CodePage::Open("koi8-r");
  ASSERT_FALSE(unknown.ok());
  EXPECT_EQ(unknown.status().code(), Status::Code::kInvalidArgument);
  const std::string& error = unknown.status().message();
  EXPECT_NE(error.find("\"koi8-r\""), std::string::npos) << error;
  for (const std::string& name : CodePageNames()) {
    EXPECT_NE(error.find(name), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace tavelnor::platform
