// libFuzzer target: a field of any stored type and size decoded from any
// bytes, and any text given as its value, never crash; a value the tool
// prints for a fixed-size field reads back as the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "browse/record_decoder.h"
#include "browse/value_parser.h"

using namespace tavelnor::tool;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  FieldModel f;
  f.name = "F";
  f.type_code = data[0];
  f.size = data[1] % 24;
  f.decimals = data[2] % 9;
  f.kind = StoredKindOf(f.type_code, f.size, &f.scale);
  // Blob slots would name blocks of the part store; their decoding is
  // covered by the tests.
  if (f.kind == StoredKind::kMemo || f.kind == StoredKind::kRichText ||
      f.kind == StoredKind::kBlob || f.kind == StoredKind::kPicture) {
    return 0;
  }
  const uint8_t* record = data + 3;
  const size_t length = size - 3;
  FieldValue value;
  DecodeField(f, record, length, &value);

  const std::string text(reinterpret_cast<const char*>(record), length);
  std::string bytes, error;
  if (EncodeStoredValue(f, text, &bytes, &error) && bytes.size() > f.size) std::abort();

  // What was printed reads back as the field's bytes.
  // (Fields of the kinds' own widths: wider ones carry bytes the value
  // does not hold.)
  const bool canonical = f.kind == StoredKind::kSigned || f.kind == StoredKind::kUnsigned ||
                         f.kind == StoredKind::kFixed ||
                         (f.kind == StoredKind::kDate && f.size == 4) ||
                         (f.kind == StoredKind::kTime && f.size == 4) ||
                         (f.kind == StoredKind::kTimestamp && f.size == 8) ||
                         (f.kind == StoredKind::kGuid && f.size == 16);
  if (canonical && value.type != ValueType::kNull && length >= f.size) {
    if (value.type != ValueType::kBytes && EncodeStoredValue(f, value.text, &bytes, &error) &&
        bytes != std::string(reinterpret_cast<const char*>(record), f.size)) {
      std::abort();
    }
  }
  return 0;
}
