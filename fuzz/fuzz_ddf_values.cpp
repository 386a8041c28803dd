// libFuzzer target: a dictionary column of any type code, size and
// decimals decoded from any bytes never crashes, decodes the same way twice,
// and its text agrees with its typed value (integers and exact decimals read
// back digit for digit, reals through strtod). A decoded exact decimal,
// boolean or text given back as text encodes to bytes that decode to the
// same text (exact decimals and booleans always encode).
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "ddf/ddf_values.h"

using namespace tavelnor::ddf;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  DdfColumn column;
  column.type = data[0] % 34;
  column.size = static_cast<uint16_t>(data[1] % 72);
  column.decimals = data[2] % 12;
  if (data[3] & 0x80) column.type = data[3];  // codes no column has too
  const std::span<const uint8_t> bytes(data + 4, size - 4);
  auto a = DecodeDdfValue(column, bytes);
  auto b = DecodeDdfValue(column, bytes);
  if (a.ok() != b.ok()) std::abort();
  if (!a.ok()) {
    if (a.status().message().empty() || a.status().message() != b.status().message()) std::abort();
    return 0;
  }
  const DdfValue& v = *a;
  if (v.text != b->text) std::abort();
  switch (v.kind) {
    case ValueKind::kSigned: {
      int64_t back = 0;
      auto r = std::from_chars(v.text.data(), v.text.data() + v.text.size(), back);
      if (r.ec != std::errc() || r.ptr != v.text.data() + v.text.size() || back != v.i) std::abort();
      break;
    }
    case ValueKind::kUnsigned: {
      uint64_t back = 0;
      auto r = std::from_chars(v.text.data(), v.text.data() + v.text.size(), back);
      if (r.ec != std::errc() || back != v.u) std::abort();
      break;
    }
    case ValueKind::kExact: {
      std::string digits;
      for (char c : v.text) {
        if (c >= '0' && c <= '9') digits += c;
      }
      const size_t point = v.text.find('.');
      if ((point == std::string::npos) != (v.scale == 0)) std::abort();
      if (point != std::string::npos && v.text.size() - point - 1 != v.scale) std::abort();
      if ((v.text[0] == '-') != v.negative) std::abort();
      if (v.exact_fits) {
        uint64_t back = 0;
        std::from_chars(digits.data(), digits.data() + digits.size(), back);
        if (back != v.u) std::abort();
      }
      break;
    }
    case ValueKind::kReal: {
      // A 4-byte value prints as the shortest text of its float.
      const double back = std::strtod(v.text.c_str(), nullptr);
      const bool single = static_cast<double>(static_cast<float>(v.d)) == v.d &&
                          std::strtof(v.text.c_str(), nullptr) == static_cast<float>(v.d);
      if (!std::isnan(v.d) && back != v.d && !single) std::abort();
      break;
    }
    default:
      break;
  }
  if (v.kind != ValueKind::kReal) {
    auto stored = EncodeDdfValue(column, v.text);
    const bool must = v.kind == ValueKind::kExact || v.kind == ValueKind::kBool;
    if (stored.ok()) {
      if (stored->size() != column.size) std::abort();
      const std::span<const uint8_t> again(reinterpret_cast<const uint8_t*>(stored->data()), stored->size());
      auto back = DecodeDdfValue(column, again);
      if (!back.ok() || back->text != v.text) std::abort();
    } else if (must && stored.status().code() != tavelnor::Status::Code::kUnsupported) {
      std::abort();
    }
  }
  return 0;
}
