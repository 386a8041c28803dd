// The message seam's own box on Windows: a task-modal message box in the ANSI
// code page, captioned with the executable's title.
#include "foundation/platform/win32_headers.h"

#include <string>

#include "foundation/platform/message_box.h"

namespace tavelnor::platform {

namespace {
std::string ExecutableTitle() {
  char buf[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  std::string path(buf, n);
  const size_t slash = path.find_last_of("\\/");
  if (slash != std::string::npos) path.erase(0, slash + 1);
  const size_t dot = path.rfind('.');
  if (dot != std::string::npos && dot > 0) path.erase(dot);
  return path;
}
}  // namespace

MessageAnswer ShowSystemMessage(std::string_view text, MessageButtons buttons) {
  const std::string body(text);
  const std::string caption = ExecutableTitle();
  const UINT style = MB_TASKMODAL | (buttons == MessageButtons::kYesNo
                                         ? (MB_YESNO | MB_ICONQUESTION)
                                         : (MB_OK | MB_ICONEXCLAMATION));
  const int r = MessageBoxA(nullptr, body.c_str(), caption.c_str(), style);
  if (buttons == MessageButtons::kOk) return MessageAnswer::kOk;
  return r == IDYES ? MessageAnswer::kYes : MessageAnswer::kNo;
}

}  // namespace tavelnor::platform
