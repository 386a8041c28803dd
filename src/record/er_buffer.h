// ErBuffer: a typed window on a run of bytes.
//
// A buffer knows the type of the value stored at its data address and its
// size, and reads, writes, compares, formats and combines that value. One
// subclass exists per base type code; buffers are made by CreateBuffer only.
// The data normally belongs to someone else (a record); a buffer frees only
// what its own Allocate gave. Every conversion between two types goes through
// a setter of the target and a getter of the source.
//
// Nothing here throws or reads outside the buffer: a buffer without data, or
// smaller than its type's width, reads as the type's zero and ignores writes.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "foundation/chaine.h"
#include "record/blob_value.h"
#include "record/date_value.h"
#include "record/fixed_point.h"
#include "record/guid_value.h"
#include "record/time_value.h"
#include "record/timestamp.h"

namespace tavelnor::record {

// Format option: dates in the second locale style, floating and fixed-point
// numbers as an amount in words.
inline constexpr uint32_t kFormatAlternate = 0x04;

// The result type ResultType answers for an operator the type refuses.
inline constexpr int16_t kOperatorRefused = -2;

class ErBuffer {
 public:
  ErBuffer(int32_t size, bool upper_case);
  ErBuffer(const ErBuffer&) = delete;
  ErBuffer& operator=(const ErBuffer&) = delete;
  virtual ~ErBuffer();

  uint8_t* Data() const { return data_; }
  // Aims the buffer at bytes it does not own (what Allocate gave is freed).
  void SetData(uint8_t* data);
  int32_t Size() const { return size_; }
  bool UpperCase() const { return upper_case_; }
  // True while the data is what Allocate gave.
  bool OwnsData() const { return owned_ != nullptr && owned_ == data_; }

  virtual int16_t GetTypeCode() const { return -1; }
  // `size` zero bytes owned by the buffer (none when the size is 0).
  virtual void Allocate();
  virtual void Free();
  // Copies min(own size, other size) bytes from a buffer of the same kind.
  virtual void CopyFrom(const ErBuffer& other);
  // Takes the value of a buffer of any type through the getter of this type.
  virtual void SetFromBuffer(const ErBuffer& other);
  virtual void CopyOut(void* dest) const;
  virtual void CopyIn(const void* src);
  virtual void ZeroFill();

  virtual void SetGuid(const EGuid& value);
  virtual void SetVideo(const sBlobVideo& value);
  virtual void SetSound(const sBlobSound& value);
  virtual void SetImage(const sBlobImage& value);
  virtual void SetRichText(const sBlobRichText& value);
  virtual void SetBlobText(const sBlobText& value);
  virtual void SetBlob(const sBlob& value);
  virtual void SetTime(const sTime& value);
  virtual void SetTimeT(int64_t seconds);
  virtual void SetDate(const sDate& value);
  virtual void SetText(std::string_view text);
  virtual void SetCurrency(ECurrency value);
  virtual void SetDecimal64(EDecimal64 value);
  virtual void SetDouble(double value);
  virtual void SetChar(char value);
  virtual void SetUInt64(uint64_t value);
  virtual void SetInt64(int64_t value);
  virtual void SetBool(bool value);
  virtual void SetMax();
  virtual void Clear();
  virtual void SetMin();

  // The input mask for a width (the three further arguments are unused by
  // every kind); "XX" unless the kind has its own.
  virtual Chaine GetEditMask(int32_t width, int32_t arg2 = 0, int32_t arg3 = 0,
                             int32_t arg4 = 0) const;
  // The value's text cut or padded to `width` (0: as long as needed).
  virtual Chaine Format(int32_t width, int32_t decimals, uint32_t flags) const;

  virtual double GetDouble() const;
  virtual sDate GetDate() const;
  virtual ETimeStamp GetTimeStamp() const;
  virtual sTime GetTime() const;
  virtual EDecimal32 GetDecimal32() const;
  virtual int8_t GetInt8() const;
  virtual int16_t GetInt16() const;
  virtual int32_t GetInt32() const;
  virtual uint32_t GetUInt32() const;
  virtual bool GetBool() const;
  virtual EDecimal64 GetDecimal64() const;
  virtual float GetFloat() const;
  virtual Chaine GetText() const;
  virtual ECurrency GetCurrency() const;
  // The raw `size` bytes.
  virtual Chaine GetBytes() const;
  virtual sBlobText GetBlobText() const;
  virtual sBlobRichText GetRichText() const;
  virtual sBlobImage GetImage() const;
  virtual sBlobSound GetSound() const;
  virtual sBlobVideo GetVideo() const;
  virtual sBlob GetBlob() const;
  virtual EGuid GetGuid() const;
  virtual int64_t GetInt64() const;
  virtual uint64_t GetUInt64() const;

  bool IsEqual(const ErBuffer& other) const { return CompareWith(other) == 0; }
  bool IsLessOrEqual(const ErBuffer& other) const { return CompareWith(other) <= 0; }
  bool IsGreaterOrEqual(const ErBuffer& other) const { return CompareWith(other) >= 0; }
  bool IsNotEqual(const ErBuffer& other) const { return CompareWith(other) != 0; }
  bool IsLess(const ErBuffer& other) const { return CompareWith(other) < 0; }
  bool IsGreater(const ErBuffer& other) const { return CompareWith(other) > 0; }

  virtual void Add(const ErBuffer& other);
  virtual void Subtract(const ErBuffer& other);
  virtual void Multiply(const ErBuffer& other);
  virtual void Divide(const ErBuffer& other);

  virtual bool IsEmpty() const;
  // The type code of `this op other` and its size (-1: the type's default),
  // or kOperatorRefused.
  virtual int16_t ResultType(char op, const ErBuffer& other, int32_t* size) const;
  // The type code in which this type computes.
  virtual int16_t GetArithmeticType() const { return 1; }
  // A new buffer holding `this op other`; null when the operator is refused.
  virtual std::unique_ptr<ErBuffer> Combine(char op, const ErBuffer& other) const;
  // The general type of the descriptor of this buffer's code.
  virtual int32_t GetGeneralType() const;

 protected:
  // <0, 0, >0: this value against the other's, read through this type's getter.
  virtual int CompareWith(const ErBuffer& other) const;
  // True when `n` bytes can be read at the data address.
  bool HasBytes(size_t n) const {
    return data_ != nullptr && size_ > 0 && static_cast<size_t>(size_) >= n;
  }
  size_t ByteCount() const { return data_ != nullptr && size_ > 0 ? static_cast<size_t>(size_) : 0; }

  uint8_t* data_ = nullptr;
  int32_t size_ = 0;
  bool upper_case_ = false;

 private:
  uint8_t* owned_ = nullptr;
};

// A new buffer for `code`: the kind the buffer factory registers for it (raw
// for every other code), with the code's default size when `size` is
// negative. Never null.
std::unique_ptr<ErBuffer> CreateBuffer(int16_t code, int32_t size, uint8_t upper_case);

// The text cut to `width` or padded with spaces (on the left when
// `right_align`); width 0 or less keeps the text.
Chaine FitToWidth(std::string_view text, int32_t width, bool right_align);

}  // namespace tavelnor::record
