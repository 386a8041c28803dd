// The message seam's own box on POSIX: no user interface, so the text is
// written to stderr and answered as a non-interactive host would.
#include <cstdio>

#include "foundation/platform/message_box.h"
#include "foundation/platform/text_encoding.h"

namespace tavelnor::platform {

MessageAnswer ShowSystemMessage(std::string_view text, MessageButtons buttons) {
  // Windows-1252 in, the terminal's character set out.
  std::fprintf(stderr, "%s\n", TerminalText(text).c_str());
  std::fflush(stderr);
  return buttons == MessageButtons::kYesNo ? MessageAnswer::kNo : MessageAnswer::kOk;
}

}  // namespace tavelnor::platform
