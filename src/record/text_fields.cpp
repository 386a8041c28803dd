// Text write and read rules of the char-array kinds.
#include "record/text_fields.h"

#include <cstring>

#include "foundation/case_tables.h"

namespace tavelnor::record {
namespace {

void Copy(uint8_t* dest, std::string_view text, size_t n, bool upper_case) {
  const auto* src = reinterpret_cast<const uint8_t*>(text.data());
  if (upper_case) {
    CopyUpper(dest, src, n);
  } else if (n > 0) {
    std::memcpy(dest, src, n);
  }
}

}  // namespace

void CopyUpper(uint8_t* dest, const uint8_t* src, size_t n) {
  constexpr uint64_t kOnes = 0x0101010101010101ULL;
  constexpr uint64_t kHigh = kOnes * 0x80;
  const uint8_t* table = UpperTable();
  size_t i = 0;
  // Eight bytes at a time while they are all ASCII: there the table only
  // maps a-z, which the bit trick below does (no byte carries into the next
  // since every byte is below 0x80).
  for (; i + 8 <= n; i += 8) {
    uint64_t w;
    std::memcpy(&w, src + i, 8);
    if ((w & kHigh) != 0) {
      for (size_t k = 0; k < 8; ++k) dest[i + k] = table[src[i + k]];
      continue;
    }
    uint64_t at_least_a = w + kOnes * (0x80 - 'a');
    uint64_t above_z = w + kOnes * (0x80 - 'z' - 1);
    uint64_t lower = at_least_a & ~above_z & kHigh;
    w -= lower >> 2;  // 0x80 >> 2 is the 0x20 between the cases
    std::memcpy(dest + i, &w, 8);
  }
  for (; i < n; ++i) dest[i] = table[src[i]];
}

void WriteZeroTerminated(uint8_t* dest, size_t size, std::string_view text, bool upper_case) {
  if (dest == nullptr || size == 0) return;
  if (text.size() >= size - 1) {
    Copy(dest, text, size - 1, upper_case);
    dest[size - 1] = 0;
  } else {
    Copy(dest, text, text.size(), upper_case);
    std::memset(dest + text.size(), 0, size - text.size());
  }
}

void WriteFixedLength(uint8_t* dest, size_t size, std::string_view text, bool upper_case) {
  if (dest == nullptr || size == 0) return;
  if (text.size() >= size) {
    Copy(dest, text, size, upper_case);
  } else {
    Copy(dest, text, text.size(), upper_case);
    std::memset(dest + text.size(), 0, size - text.size());
  }
}

void WriteCharacter(uint8_t* dest, size_t size, std::string_view text, bool upper_case) {
  if (dest == nullptr || size == 0) return;
  uint8_t c = text.empty() ? 0 : static_cast<uint8_t>(text[0]);
  dest[0] = upper_case ? ToUpper1252(c) : c;
}

std::string_view ReadTextField(const uint8_t* src, size_t size) {
  if (src == nullptr || size == 0) return {};
  const void* zero = std::memchr(src, 0, size);
  size_t n = zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - src) : size;
  return {reinterpret_cast<const char*>(src), n};
}

}  // namespace tavelnor::record
