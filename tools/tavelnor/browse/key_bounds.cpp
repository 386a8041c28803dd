// Key values encoded from text.
#include "browse/key_bounds.h"

#include <charconv>
#include <cstdint>
#include <limits>

#include "browse/text_codec.h"
#include "browse/value_parser.h"

namespace tavelnor::tool {
namespace {

constexpr size_t kMaxKeyBytes = 255;

bool ParseInteger(const std::string& text, int64_t lo, int64_t hi, int64_t* value) {
  if (text.empty()) return false;
  const char* begin = text.data();
  if (*begin == '+') ++begin;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(begin, end, *value);
  return ec == std::errc() && ptr == end && *value >= lo && *value <= hi;
}

std::string LittleEndian(int64_t value, size_t width) {
  std::string out;
  const auto bits = static_cast<uint64_t>(value);
  for (size_t i = 0; i < width; ++i) out += static_cast<char>((bits >> (8 * i)) & 0xFF);
  return out;
}

// The highest value a field's key segment holds.
std::string TopOf(const FieldModel& f) {
  if (f.ddf) return std::string(kMaxKeyBytes, '\xFF');
  switch (f.kind) {
    case StoredKind::kSigned:
    case StoredKind::kFixed: {
      std::string top(f.size, '\xFF');
      if (!top.empty()) top.back() = '\x7F';
      return top;
    }
    case StoredKind::kReal: {
      std::string top;
      if (f.size == 4) {
        const float max = std::numeric_limits<float>::max();
        top.assign(reinterpret_cast<const char*>(&max), 4);
      } else {
        const double max = std::numeric_limits<double>::max();
        top.assign(reinterpret_cast<const char*>(&max), 8);
      }
      return top;
    }
    default: return std::string(kMaxKeyBytes, '\xFF');
  }
}

std::string Top(KeyEncoding used, const FieldModel* first) {
  if (used == KeyEncoding::kField && first != nullptr) return TopOf(*first);
  switch (used) {
    case KeyEncoding::kInt32: return LittleEndian(std::numeric_limits<int32_t>::max(), 4);
    case KeyEncoding::kInt16: return LittleEndian(std::numeric_limits<int16_t>::max(), 2);
    default: return std::string(kMaxKeyBytes, '\xFF');
  }
}

}  // namespace

bool ParseKeyEncoding(const std::string& text, KeyEncoding* out) {
  if (text == "auto") *out = KeyEncoding::kAuto;
  else if (text == "text") *out = KeyEncoding::kText;
  else if (text == "int32") *out = KeyEncoding::kInt32;
  else if (text == "int16") *out = KeyEncoding::kInt16;
  else if (text == "hex") *out = KeyEncoding::kHex;
  else return false;
  return true;
}

bool EncodeKeyValue(const std::string& text, KeyEncoding encoding, const FieldModel* first,
                    std::string* bytes, KeyEncoding* used, std::string* error) {
  int64_t value = 0;
  if (encoding == KeyEncoding::kAuto && first != nullptr) {
    *used = KeyEncoding::kField;
    if (!EncodeStoredValue(*first, text, bytes, error)) return false;
    if (bytes->empty()) {
      *error = "an empty key value";
      return false;
    }
    return true;
  }
  if (encoding == KeyEncoding::kAuto) {
    const bool integer = ParseInteger(text, std::numeric_limits<int32_t>::min(),
                                      std::numeric_limits<int32_t>::max(), &value);
    encoding = integer ? KeyEncoding::kInt32 : KeyEncoding::kText;
  }
  *used = encoding;
  switch (encoding) {
    case KeyEncoding::kInt32:
      if (!ParseInteger(text, std::numeric_limits<int32_t>::min(),
                        std::numeric_limits<int32_t>::max(), &value)) {
        *error = "\"" + text + "\" is not a 32-bit integer";
        return false;
      }
      *bytes = LittleEndian(value, 4);
      return true;
    case KeyEncoding::kInt16:
      if (!ParseInteger(text, std::numeric_limits<int16_t>::min(),
                        std::numeric_limits<int16_t>::max(), &value)) {
        *error = "\"" + text + "\" is not a 16-bit integer";
        return false;
      }
      *bytes = LittleEndian(value, 2);
      return true;
    case KeyEncoding::kHex:
      if (text.empty() || !HexToBytes(text, bytes)) {
        *error = "\"" + text + "\" is not an even run of hexadecimal digits";
        return false;
      }
      break;
    case KeyEncoding::kText:
    case KeyEncoding::kAuto:
    case KeyEncoding::kField:
      if (!Utf8ToStored(text, bytes, error)) return false;
      if (bytes->empty()) {
        *error = "an empty key value";
        return false;
      }
      break;
  }
  if (bytes->size() > kMaxKeyBytes) {
    *error = "a key value longer than 255 bytes";
    return false;
  }
  return true;
}

bool BuildKeyBounds(const std::optional<std::string>& from, const std::optional<std::string>& to,
                    const std::optional<std::string>& prefix, KeyEncoding encoding,
                    const FieldModel* first, KeyBounds* out, std::string* error) {
  *out = KeyBounds{};
  KeyEncoding used_low = encoding, used_high = encoding;
  std::string bytes;
  if (prefix) {
    if (from || to) {
      *error = "--prefix goes alone, without --from or --to";
      return false;
    }
    if (!EncodeKeyValue(*prefix, encoding, first, &bytes, &used_low, error)) return false;
    out->low = bytes;
    return true;
  }
  if (from) {
    if (!EncodeKeyValue(*from, encoding, first, &bytes, &used_low, error)) return false;
    out->low = bytes;
  }
  if (to) {
    if (!EncodeKeyValue(*to, encoding, first, &bytes, &used_high, error)) return false;
    out->high = bytes;
  }
  if (from && to && used_low != used_high) {
    *error = "--from and --to are encoded differently (choose one with --key-type)";
    return false;
  }
  // A low bound alone would select the keys that begin with it.
  if (from && !to) out->high = Top(used_low, first);
  return true;
}

}  // namespace tavelnor::tool
