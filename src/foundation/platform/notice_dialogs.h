// Platform seam: the two windows of the Btrieve access layer — the notice
// shown while a locked record or file is waited for, and the error dialog.
//
// On Windows they are real windows (plain Win32, a rich-text control for the
// panes). On POSIX, where the library has no user interface, both write their
// fields as text to standard error; the data layer lets a host or a test put
// its own reporter in front of them. Texts are Windows-1252 bytes.
#pragma once

#include <string>
#include <string_view>

namespace tavelnor::platform {

struct WaitNotice;  // opaque

// Opens the modeless wait notice, owned by the calling thread's active
// window; it disables that window and captures the mouse until closed. Null
// when nothing could be shown (closing null is allowed).
WaitNotice* OpenWaitNotice(std::string_view caption, std::string_view text);
void CloseWaitNotice(WaitNotice* notice);

// What the error dialog shows, every text already chosen and filled in.
struct ErrorDialogContent {
  std::string title;           // window title
  std::string header;          // the sentence above the values
  std::string code_label, code;
  std::string operation_label, operation;
  std::string file_label, file;
  std::string description;     // the status description
  std::string tab_labels[2];   // "Détail", "Support"
  std::string panes[2];        // rich text shown under each tab
  std::string close_label;
  std::string link_label;      // the documentation button, when shown
  std::string link_address;
  bool show_link = false;
};

// Shows the dialog modally. False when it could not be shown (no user
// interface on the calling thread, or the thread is quitting); the caller then
// falls back to a message box.
bool ShowErrorDialog(const ErrorDialogContent& content);

}  // namespace tavelnor::platform
