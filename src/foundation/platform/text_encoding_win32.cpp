// The system's own windows take Windows-1252 as it is.
#include "foundation/platform/text_encoding.h"

namespace tavelnor::platform {

std::string TerminalText(std::string_view cp1252) { return std::string(cp1252); }

std::string TerminalCharset() { return "WINDOWS-1252"; }

}  // namespace tavelnor::platform
