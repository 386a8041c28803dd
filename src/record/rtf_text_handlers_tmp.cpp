// Stand-in RTF conversions for this branch's tests; replaced by the real
// converter when the branches meet.
#include "record/rtf_text.h"

namespace tavelnor::record {

std::string RtfToPlainText(std::string_view rtf) { return std::string(rtf); }

std::string PlainTextToRtf(std::string_view text) { return std::string(text); }

}  // namespace tavelnor::record
