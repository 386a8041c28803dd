// The rich-text help of the Btrieve error dialog, compiled into the library:
// the technical pane "IDR_EDLG_TECH", the default diagnostic "IDR_EDLG_DIAGDEF",
// one diagnostic per status family, and the "BtrvDiag" index (resource
// "BTRVDIAG" number 16500) that maps a status to its diagnostic's name.
#pragma once

#include <string_view>

namespace tavelnor::data {

// The rich text named `name` (compared without regard to case); empty when
// the library has no such text.
std::string_view FindHelpText(std::string_view name);

// The index: an ini text whose section "BtrvDiag" maps a status in decimal to
// the name of a rich text.
std::string_view BtrvDiagIndex();

}  // namespace tavelnor::data
