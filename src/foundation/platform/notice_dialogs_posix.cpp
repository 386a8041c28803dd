// The access layer's two windows on POSIX: their fields as text on stderr.
#include <cstdio>

#include "foundation/platform/notice_dialogs.h"

namespace tavelnor::platform {

struct WaitNotice {};

namespace {
void Line(std::string_view label, std::string_view value) {
  std::fprintf(stderr, "  %.*s %.*s\n", static_cast<int>(label.size()), label.data(),
               static_cast<int>(value.size()), value.data());
}
}  // namespace

WaitNotice* OpenWaitNotice(std::string_view caption, std::string_view text) {
  std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(caption.size()), caption.data(),
               static_cast<int>(text.size()), text.data());
  std::fflush(stderr);
  return new WaitNotice;
}

void CloseWaitNotice(WaitNotice* notice) { delete notice; }

bool ShowErrorDialog(const ErrorDialogContent& c) {
  std::fprintf(stderr, "%s: %s\n", c.title.c_str(), c.header.c_str());
  Line(c.code_label, c.code);
  Line(c.operation_label, c.operation);
  Line(c.file_label, c.file);
  std::fprintf(stderr, "  %s\n", c.description.c_str());
  std::fflush(stderr);
  return true;
}

}  // namespace tavelnor::platform
