// The message seam's own box on POSIX: no user interface, so the text is
// written to stderr and answered as a non-interactive host would.
#include <cstdio>

#include "foundation/platform/message_box.h"

namespace tavelnor::platform {

MessageAnswer ShowSystemMessage(std::string_view text, MessageButtons buttons) {
  std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
  std::fflush(stderr);
  return buttons == MessageButtons::kYesNo ? MessageAnswer::kNo : MessageAnswer::kOk;
}

}  // namespace tavelnor::platform
