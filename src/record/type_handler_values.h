// The value types that type handlers hold or look at, and how each lies in
// bytes.
//
// Shapes of a handler's value type T:
//   fixed       : a fixed-width byte form (numbers, dates, times, time stamps,
//                 fixed point, GUID, bool), little-endian, decoded by copy so
//                 that record bytes are never read through a typed pointer
//   char array  : `char *`, a text in a char array of the declared size
//   heap string : `Chaine` and `CString`, a string object lying in the bytes;
//                 all-zero bytes mean no object yet (the empty text)
//   blob        : the blob kinds, an 8-byte slot of blob_value.h
#pragma once

#include <cmath>
#include <compare>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string_view>
#include <type_traits>
#include <utility>

#include "foundation/chaine.h"
#include "record/blob_value.h"
#include "record/byte_form.h"
#include "record/date_value.h"
#include "record/fixed_point.h"
#include "record/guid_value.h"
#include "record/time_value.h"
#include "record/timestamp.h"
#include "record/value_text.h"

namespace tavelnor::record {

// The heap string of code 24: like Chaine, one string object.
struct CString {
  Chaine text;
  friend bool operator==(const CString& a, const CString& b) { return a.text == b.text; }
};

enum class ValueShape { kFixed, kCharArray, kHeapString, kBlob };

template <typename T>
struct ValueCodec;

// Integers and floats: little-endian two's complement / IEEE 754.
template <typename T>
  requires RecordNumber<T>
struct ValueCodec<T> {
  using Value = T;
  static constexpr ValueShape kShape = ValueShape::kFixed;
  static constexpr int32_t kWidth = sizeof(T);
  static T Decode(const uint8_t* bytes) { return LoadLittle<T>(bytes); }
  static void Encode(const T& value, uint8_t* bytes) { StoreLittle<T>(bytes, value); }
};

// Value classes with their own FromBytes/ToBytes.
template <typename T, int32_t kBytes>
struct ClassCodec {
  using Value = T;
  static constexpr ValueShape kShape = ValueShape::kFixed;
  static constexpr int32_t kWidth = kBytes;
  static T Decode(const uint8_t* bytes) { return T::FromBytes(bytes); }
  static void Encode(const T& value, uint8_t* bytes) { value.ToBytes(bytes); }
};

template <> struct ValueCodec<sDate> : ClassCodec<sDate, 4> {};
template <> struct ValueCodec<sTime> : ClassCodec<sTime, 4> {};
template <> struct ValueCodec<ETimeStamp> : ClassCodec<ETimeStamp, 8> {};
template <> struct ValueCodec<EDecimal32> : ClassCodec<EDecimal32, 4> {};
template <> struct ValueCodec<EDecimal64> : ClassCodec<EDecimal64, 8> {};
template <> struct ValueCodec<ECurrency> : ClassCodec<ECurrency, 8> {};
template <> struct ValueCodec<EGuid> : ClassCodec<EGuid, 16> {};

// bool (code 19): one byte, 0 false, anything else true, written as 0 or 1.
template <>
struct ValueCodec<bool> {
  using Value = bool;
  static constexpr ValueShape kShape = ValueShape::kFixed;
  static constexpr int32_t kWidth = 1;
  static bool Decode(const uint8_t* bytes) { return bytes[0] != 0; }
  static void Encode(const bool& value, uint8_t* bytes) { bytes[0] = value ? 1 : 0; }
};

// `char *`: the value read from the array is its text.
template <>
struct ValueCodec<char*> {
  using Value = Chaine;
  static constexpr ValueShape kShape = ValueShape::kCharArray;
};

template <>
struct ValueCodec<Chaine> {
  using Value = Chaine;
  static constexpr ValueShape kShape = ValueShape::kHeapString;
};

template <>
struct ValueCodec<CString> {
  using Value = CString;
  static constexpr ValueShape kShape = ValueShape::kHeapString;
};

template <BlobKind K>
struct ValueCodec<BasicBlob<K>> {
  using Value = BasicBlob<K>;
  static constexpr ValueShape kShape = ValueShape::kBlob;
};

// True when every encoded byte of a fixed value is 0.
template <typename T>
bool EncodesToZero(const T& value) {
  uint8_t bytes[ValueCodec<T>::kWidth];
  ValueCodec<T>::Encode(value, bytes);
  for (uint8_t b : bytes) {
    if (b != 0) return false;
  }
  return true;
}

// --- Heap strings lying in bytes ---------------------------------------------
//
// A string object in a slot of at least sizeof(Chaine) bytes. A Chaine is one
// pointer and holds no pointer to itself, so the slot's object is worked on
// in aligned storage and its bytes put back: the slot may lie at any offset
// of a record. All-zero bytes hold no object and read as the empty text.
// REQUIRES: the slot's bytes are all zero or hold an object put there by
// these functions (owners zero fresh record bytes or construct in place).

inline constexpr int32_t kHeapStringSlotSize = static_cast<int32_t>(sizeof(Chaine));
static_assert(sizeof(CString) == sizeof(Chaine));

Chaine ReadHeapString(const uint8_t* slot);
// Constructs the object first when the slot holds none.
void WriteHeapString(uint8_t* slot, std::string_view text);
// An empty object in place; whatever the bytes held is overwritten, not
// released (for fresh bytes).
void ConstructHeapString(uint8_t* slot);
// Releases the slot's object and zeroes the slot.
void DestroyHeapString(uint8_t* slot);

// --- Content of the object kinds --------------------------------------------
//
// Heap strings and blobs copy their content in and out, never the object's
// bytes, so that a copy can neither duplicate nor leak an owned reference.

inline std::string_view ContentOf(const Chaine& c) { return c.view(); }
inline std::string_view ContentOf(const CString& c) { return c.text.view(); }
template <BlobKind K>
std::string_view ContentOf(const BasicBlob<K>& b) {
  return b.Bytes();
}

// Texts stop at the first zero byte; blobs take every byte.
template <typename V>
V ValueFromContent(std::string_view bytes) {
  if constexpr (std::is_same_v<V, Chaine> || std::is_same_v<V, CString>) {
    Chaine text(bytes.substr(0, bytes.find('\0')));
    if constexpr (std::is_same_v<V, CString>) {
      return CString{text};
    } else {
      return text;
    }
  } else {
    return V(bytes);
  }
}

// --- Bytes -------------------------------------------------------------------

bool AllZero(const uint8_t* bytes, int32_t size);
// Copies at most `length` bytes of `src[0, size)` from `offset` to `dest`;
// answers the count (0 for bad arguments).
int32_t CopySlice(const uint8_t* src, int32_t size, void* dest, int32_t length, int32_t offset);

// --- Numbers -----------------------------------------------------------------

// `value` as T, or 0 when it does not fit (infinities and NaN pass to floats).
template <typename T, typename R>
T NarrowOrZero(R value) {
  if constexpr (std::is_floating_point_v<T>) {
    if constexpr (sizeof(T) < sizeof(R)) {
      if (std::isfinite(value) && std::fabs(value) > std::numeric_limits<T>::max()) return T{0};
    }
    return static_cast<T>(value);
  } else {
    return std::in_range<T>(value) ? static_cast<T>(value) : T{0};
  }
}

// Cut toward zero; 0 for NaN and values outside the target's range.
int64_t DoubleToInt64(double value);
uint64_t DoubleToUInt64(double value);

// Decimal text: integers plainly, doubles and floats in their shortest
// round-trip form with "." as decimal point.
Chaine NumberText(int64_t value);
Chaine NumberText(uint64_t value);
Chaine NumberText(double value);
Chaine NumberText(float value);

// Text to number: leading spaces and tabs skipped, an optional sign, then
// digits; what follows the number is ignored. No number, or one out of
// range, gives 0. Doubles are read by ParseDouble (value_text.h).
int64_t ParseInt64(std::string_view text);
uint64_t ParseUInt64(std::string_view text);

// The four operators on the numeric root types. Integers wrap as two's
// complement; currency sums that do not fit give 0; a zero divisor gives 0.
int64_t ApplyOperator(char op, int64_t a, int64_t b);
uint64_t ApplyOperator(char op, uint64_t a, uint64_t b);
double ApplyOperator(char op, double a, double b);
ECurrency ApplyOperator(char op, ECurrency a, ECurrency b);

}  // namespace tavelnor::record
