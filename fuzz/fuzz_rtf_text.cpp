// libFuzzer target: bytes read as an RTF memo must never crash and give at
// most as many bytes as they hold; the same bytes taken as plain text must
// come back from their RTF form with every line break as "\r\n".
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "record/rtf_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  if (tavelnor::record::RtfToPlainText(bytes).size() > size) std::abort();

  std::string expected;
  for (size_t i = 0; i < size; ++i) {
    if (bytes[i] == '\r' || bytes[i] == '\n') {
      if (bytes[i] == '\r' && i + 1 < size && bytes[i + 1] == '\n') ++i;
      expected += "\r\n";
    } else {
      expected += bytes[i];
    }
  }
  const std::string rtf = tavelnor::record::PlainTextToRtf(bytes);
  if (tavelnor::record::RtfToPlainText(rtf) != expected) std::abort();
  return 0;
}
