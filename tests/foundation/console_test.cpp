// The platform seam's console: terminals told from files, and the command
// line in UTF-8.
#include "foundation/platform/console.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <stdlib.h>  // __argc, __argv
#endif

namespace tavelnor::platform {
namespace {

TEST(Console, FilesAndBadDescriptorsAreNoTerminals) {
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  EXPECT_FALSE(IsTerminal(fileno(file)));
  std::fclose(file);
  EXPECT_FALSE(IsTerminal(-1));
  EXPECT_FALSE(IsTerminal(4000));  // no such descriptor
  EXPECT_FALSE(IsTerminal(-7));
}

// Arguments that the system cannot account for (a count other than the
// process's own) come back as given.
TEST(Console, ArgumentsOtherThanTheProcesssComeBackAsGiven) {
  std::string a = "prog", b = "two words", c = "caf\xc3\xa9", d;
  std::vector<char*> argv = {a.data(), b.data(), c.data(), d.data()};
  const std::vector<std::string> args = Utf8Arguments(static_cast<int>(argv.size()), argv.data());
  EXPECT_EQ(args, (std::vector<std::string>{a, b, c, d}));
}

#if defined(_WIN32)
// On Windows the arguments are read again from the wide command line: the
// same texts as the C runtime's for this test program's ASCII arguments.
TEST(Console, ArgumentsOfTheProcessComeFromTheWideCommandLine) {
  const std::vector<std::string> args = Utf8Arguments(__argc, __argv);
  ASSERT_EQ(args.size(), static_cast<size_t>(__argc));
  for (int i = 0; i < __argc; ++i) EXPECT_EQ(args[i], __argv[i]) << i;
  EXPECT_NE(args[0].find("test_win32"), std::string::npos);
}
#endif

}  // namespace
}  // namespace tavelnor::platform
