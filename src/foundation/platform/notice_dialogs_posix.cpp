// The access layer's two windows on POSIX: their fields as text on stderr.
#include <cstdio>

#include "foundation/platform/notice_dialogs.h"
#include "foundation/platform/text_encoding.h"

namespace tavelnor::platform {

struct WaitNotice {};

namespace {
// Texts are Windows-1252; the terminal gets them in its own character set.
// A file path is written as the system spells it.
void Line(std::string_view label, std::string_view value, bool path = false) {
  const std::string l = TerminalText(label), v = path ? std::string(value) : TerminalText(value);
  std::fprintf(stderr, "  %s %s\n", l.c_str(), v.c_str());
}
}  // namespace

WaitNotice* OpenWaitNotice(std::string_view caption, std::string_view text) {
  std::fprintf(stderr, "%s: %s\n", TerminalText(caption).c_str(), TerminalText(text).c_str());
  std::fflush(stderr);
  return new WaitNotice;
}

void CloseWaitNotice(WaitNotice* notice) { delete notice; }

bool ShowErrorDialog(const ErrorDialogContent& c) {
  std::fprintf(stderr, "%s: %s\n", TerminalText(c.title).c_str(), TerminalText(c.header).c_str());
  Line(c.code_label, c.code);
  Line(c.operation_label, c.operation);
  Line(c.file_label, c.file, true);
  std::fprintf(stderr, "  %s\n", TerminalText(c.description).c_str());
  std::fflush(stderr);
  return true;
}

}  // namespace tavelnor::platform
