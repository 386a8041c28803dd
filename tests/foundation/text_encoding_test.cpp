// The library's Windows-1252 texts as the user's terminal shows them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "foundation/platform/message_box.h"
#include "foundation/platform/notice_dialogs.h"
#include "foundation/platform/text_encoding.h"

namespace tavelnor::platform {
namespace {

TEST(TextEncoding, EveryByteHasItsCharacter) {
  EXPECT_EQ(Cp1252ToUtf8("donn\xE9" "es"), "donn\xC3\xA9" "es");
  EXPECT_EQ(Cp1252ToUtf8("\x80\x9C\xFF"), "\xE2\x82\xAC\xC5\x93\xC3\xBF");
  EXPECT_EQ(Cp1252ToUtf8("\x81\x9D"), "\xC2\x81\xC2\x9D") << "unassigned bytes as C1 controls";
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  const std::string utf8 = Cp1252ToUtf8(all);
  // Well-formed UTF-8 with one character per byte.
  size_t characters = 0;
  for (char c : utf8) characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  EXPECT_EQ(characters, all.size());
}

#ifndef _WIN32
TEST(TextEncoding, TheTerminalGetsTheEnvironmentsCharacterSet) {
  const char* saved = std::getenv("LC_ALL");
  const std::string old = saved ? saved : "";
  setenv("LC_ALL", "C", 1);
  EXPECT_EQ(TerminalCharset(), "UTF-8") << "an ASCII-only locale names no character set to keep";
  setenv("LC_ALL", "C.UTF-8", 1);
  EXPECT_EQ(TerminalCharset(), "UTF-8");

  // The reports a host without a user interface sees on standard error.
  ::testing::internal::CaptureStderr();
  ShowSystemMessage("Les donn\xE9" "es du fichier", MessageButtons::kOk);
  ErrorDialogContent c;
  c.title = "Erreur d'acc\xE8s";
  c.header = "Probl\xE8me";
  c.file = "/tmp/donn\xC3\xA9" "es.dat";  // a path, spelt as the system spells it
  c.file_label = "Fichier :";
  ShowErrorDialog(c);
  const std::string out = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(out.find("Les donn\xC3\xA9" "es du fichier\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Erreur d'acc\xC3\xA8s: Probl\xC3\xA8me\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Fichier : /tmp/donn\xC3\xA9" "es.dat\n"), std::string::npos) << out;
  if (saved) {
    setenv("LC_ALL", old.c_str(), 1);
  } else {
    unsetenv("LC_ALL");
  }
}
#endif

}  // namespace
}  // namespace tavelnor::platform
