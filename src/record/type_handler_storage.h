// Where a handler's value lives.
//
// TypeDirectHandler<T> holds the value itself: its data address is the
// address of that value and copying the storage copies the value.
// TypeIndirectHandler<T> looks at someone else's bytes: an address, the bytes
// available there (given by Aim) and, for the text kinds, a declared length
// that SetSize changes and Aim resets to the aimed length. Reads and writes
// use min(declared, available) bytes, so SetSize never widens the window past
// what the owner aimed at; an un-aimed or too short window reads as the empty
// value and ignores writes.
// Both give the generic handler the same small interface.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "record/text_fields.h"
#include "record/type_handler_values.h"

namespace tavelnor::record {

template <typename T>
class TypeDirectHandler {
 public:
  using ValueType = T;
  using Codec = ValueCodec<T>;
  using Value = typename Codec::Value;
  static constexpr ValueShape kShape = Codec::kShape;
  static constexpr bool kIndirect = false;
  static_assert(kShape != ValueShape::kCharArray, "char arrays live only in record bytes");

  TypeDirectHandler(int32_t /*length*/, bool /*fixed_length*/) {}

  Value Load() const { return value_; }
  void Store(const Value& value) { value_ = value; }
  uint8_t* Data() { return reinterpret_cast<uint8_t*>(&value_); }
  int32_t Size() const { return static_cast<int32_t>(sizeof(T)); }
  void SetSize(int32_t /*size*/, int32_t /*default_size*/) {}

  bool IsZero() const {
    if constexpr (kShape == ValueShape::kFixed) {
      return EncodesToZero(value_);
    } else {
      return ContentOf(value_).empty();
    }
  }

  // Fixed kinds copy their little-endian byte form.
  int32_t CopyOut(void* dest, int32_t length, int32_t offset) const {
    if constexpr (kShape == ValueShape::kFixed) {
      uint8_t bytes[Codec::kWidth];
      Codec::Encode(value_, bytes);
      return CopySlice(bytes, Codec::kWidth, dest, length, offset);
    } else {
      std::string_view content = ContentOf(value_);
      return CopySlice(reinterpret_cast<const uint8_t*>(content.data()),
                       static_cast<int32_t>(content.size()), dest, length, offset);
    }
  }

  int32_t CopyIn(const void* src, int32_t length) {
    if (src == nullptr || length <= 0) return 0;
    if constexpr (kShape == ValueShape::kFixed) {
      uint8_t bytes[Codec::kWidth];
      Codec::Encode(value_, bytes);
      int32_t n = std::min(length, Codec::kWidth);
      std::memcpy(bytes, src, static_cast<size_t>(n));
      value_ = Codec::Decode(bytes);
      return n;
    } else {
      value_ = ValueFromContent<Value>(
          std::string_view(static_cast<const char*>(src), static_cast<size_t>(length)));
      return length;
    }
  }

  void Construct() {
    if constexpr (kShape == ValueShape::kHeapString) value_ = Value();
  }
  void Destroy() {
    if constexpr (kShape == ValueShape::kHeapString) value_ = Value();
  }

 private:
  T value_{};
};

template <typename T>
class TypeIndirectHandler {
 public:
  using ValueType = T;
  using Codec = ValueCodec<T>;
  using Value = typename Codec::Value;
  static constexpr ValueShape kShape = Codec::kShape;
  static constexpr bool kIndirect = true;
  // Text kinds whose length is declared rather than fixed by the type.
  static constexpr bool kResizable =
      kShape == ValueShape::kCharArray || kShape == ValueShape::kHeapString;

  // `length`: the declared length of the resizable kinds, ignored otherwise.
  // `fixed_length`: char arrays are written fixed-length, not zero-terminated.
  TypeIndirectHandler(int32_t length, bool fixed_length)
      : size_(kResizable ? std::max(length, 0) : TypeSize()), fixed_length_(fixed_length) {}

  void Aim(uint8_t* data, int32_t length) {
    data_ = length > 0 ? data : nullptr;
    capacity_ = data_ != nullptr ? length : 0;
    if constexpr (kResizable) size_ = capacity_;
  }

  Value Load() const {
    int32_t n = Usable();
    if constexpr (kShape == ValueShape::kFixed) {
      return n >= Codec::kWidth ? Codec::Decode(data_) : Value{};
    } else if constexpr (kShape == ValueShape::kCharArray) {
      return Chaine(ReadTextField(data_, static_cast<size_t>(n)));
    } else if constexpr (kShape == ValueShape::kHeapString) {
      if (n < kHeapStringSlotSize) return Value{};
      return ValueFromContent<Value>(ReadHeapString(data_).view());
    } else {
      if (n < static_cast<int32_t>(kVarPartSlotSize)) return Value{};
      return Value(ReadVarPart(data_));
    }
  }

  void Store(const Value& value) {
    int32_t n = Usable();
    if constexpr (kShape == ValueShape::kFixed) {
      if (n >= Codec::kWidth) Codec::Encode(value, data_);
    } else if constexpr (kShape == ValueShape::kCharArray) {
      if (fixed_length_) {
        WriteFixedLength(data_, static_cast<size_t>(n), value.view(), false);
      } else {
        WriteZeroTerminated(data_, static_cast<size_t>(n), value.view(), false);
      }
    } else if constexpr (kShape == ValueShape::kHeapString) {
      if (n >= kHeapStringSlotSize) WriteHeapString(data_, ContentOf(value));
    } else {
      if (n >= static_cast<int32_t>(kVarPartSlotSize)) AssignVarPart(data_, value.Bytes());
    }
  }

  uint8_t* Data() { return data_; }
  int32_t Size() const { return size_; }
  void SetSize(int32_t size, int32_t default_size) {
    if constexpr (kResizable) size_ = std::max(size < 0 ? default_size : size, 0);
  }

  bool IsZero() const {
    if constexpr (kShape == ValueShape::kFixed || kShape == ValueShape::kCharArray) {
      return AllZero(data_, Usable());
    } else {
      return ContentOf(Load()).empty();
    }
  }

  int32_t CopyOut(void* dest, int32_t length, int32_t offset) const {
    if constexpr (kShape == ValueShape::kFixed || kShape == ValueShape::kCharArray) {
      return CopySlice(data_, Usable(), dest, length, offset);
    } else {
      Value value = Load();
      std::string_view content = ContentOf(value);
      return CopySlice(reinterpret_cast<const uint8_t*>(content.data()),
                       static_cast<int32_t>(content.size()), dest, length, offset);
    }
  }

  int32_t CopyIn(const void* src, int32_t length) {
    if (src == nullptr || length <= 0 || data_ == nullptr) return 0;
    if constexpr (kShape == ValueShape::kFixed || kShape == ValueShape::kCharArray) {
      int32_t n = std::min(length, Usable());
      std::memmove(data_, src, static_cast<size_t>(n));
      return n;
    } else {
      if (Usable() < TypeSizeOrSlot()) return 0;
      Store(ValueFromContent<Value>(
          std::string_view(static_cast<const char*>(src), static_cast<size_t>(length))));
      return length;
    }
  }

  void Construct() {
    if constexpr (kShape == ValueShape::kHeapString) {
      if (Usable() >= kHeapStringSlotSize) ConstructHeapString(data_);
    }
  }
  void Destroy() {
    if constexpr (kShape == ValueShape::kHeapString) {
      if (Usable() >= kHeapStringSlotSize) DestroyHeapString(data_);
    }
  }

  // Char arrays: every usable byte set to `byte`, the last one to 0 unless
  // the array is fixed-length.
  void FillArray(uint8_t byte) {
    if constexpr (kShape == ValueShape::kCharArray) {
      int32_t n = Usable();
      if (n <= 0) return;
      std::memset(data_, byte, static_cast<size_t>(n));
      if (!fixed_length_) data_[n - 1] = 0;
    }
  }

 private:
  static constexpr int32_t TypeSize() {
    if constexpr (kShape == ValueShape::kFixed) {
      return Codec::kWidth;
    } else if constexpr (kShape == ValueShape::kBlob) {
      return static_cast<int32_t>(kVarPartSlotSize);
    } else {
      return 0;
    }
  }
  static constexpr int32_t TypeSizeOrSlot() {
    return kShape == ValueShape::kHeapString ? kHeapStringSlotSize : TypeSize();
  }
  int32_t Usable() const { return data_ == nullptr ? 0 : std::min(size_, capacity_); }

  uint8_t* data_ = nullptr;
  int32_t capacity_ = 0;
  int32_t size_;
  bool fixed_length_;
};

}  // namespace tavelnor::record
