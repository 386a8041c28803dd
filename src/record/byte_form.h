// Little-endian loads and stores of the fixed-width number forms of a
// record: 1-, 2-, 4- and 8-byte integers and IEEE 754 floats. Record bytes
// are little-endian whatever the machine.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace tavelnor::record {

template <typename T>
concept RecordNumber = std::is_arithmetic_v<T> && !std::is_same_v<T, bool> &&
                       (sizeof(T) == 1 || sizeof(T) == 2 || sizeof(T) == 4 || sizeof(T) == 8);

namespace byte_form_internal {

template <typename U>
U ByteSwap(U v) {
  U out = 0;
  for (size_t i = 0; i < sizeof(U); ++i) out = static_cast<U>((out << 8) | ((v >> (8 * i)) & 0xFF));
  return out;
}

template <size_t N>
using UnsignedOf = std::conditional_t<
    N == 1, uint8_t,
    std::conditional_t<N == 2, uint16_t, std::conditional_t<N == 4, uint32_t, uint64_t>>>;

}  // namespace byte_form_internal

template <RecordNumber T>
T LoadLittle(const uint8_t* bytes) {
  using U = byte_form_internal::UnsignedOf<sizeof(T)>;
  U u;
  std::memcpy(&u, bytes, sizeof u);
  if constexpr (std::endian::native == std::endian::big) u = byte_form_internal::ByteSwap(u);
  return std::bit_cast<T>(u);
}

template <RecordNumber T>
void StoreLittle(uint8_t* bytes, T value) {
  using U = byte_form_internal::UnsignedOf<sizeof(T)>;
  U u = std::bit_cast<U>(value);
  if constexpr (std::endian::native == std::endian::big) u = byte_form_internal::ByteSwap(u);
  std::memcpy(bytes, &u, sizeof u);
}

}  // namespace tavelnor::record
