// The common part of the text buffers (char arrays, one character, Chaine,
// text memos): every value is read from and written as text, texts compare
// byte by byte as unsigned bytes, "+" joins texts.
#pragma once

#include <string_view>

#include "record/er_buffer.h"

namespace tavelnor::record {

class TextBuffer : public ErBuffer {
 public:
  using ErBuffer::ErBuffer;

  void SetFromBuffer(const ErBuffer& other) override { SetText(other.GetText().view()); }
  void SetTime(const sTime& value) override { SetText(value.ToText().view()); }
  void SetDate(const sDate& value) override { SetText(value.ToText().view()); }
  // "%.2f" of the value.
  void SetDouble(double value) override;
  // Two decimals.
  void SetDecimal64(EDecimal64 value) override;
  void SetInt64(int64_t value) override;
  void SetUInt64(uint64_t value) override;

  Chaine Format(int32_t width, int32_t decimals, uint32_t flags) const override;

  // Getters read the text with the value classes' readers.
  double GetDouble() const override;
  sDate GetDate() const override;
  ETimeStamp GetTimeStamp() const override;
  sTime GetTime() const override;
  EDecimal32 GetDecimal32() const override;
  bool GetBool() const override;
  EDecimal64 GetDecimal64() const override;
  ECurrency GetCurrency() const override;
  int64_t GetInt64() const override;
  uint64_t GetUInt64() const override;

  // Joins the other's text; the other operations leave the text alone.
  void Add(const ErBuffer& other) override;
  void Subtract(const ErBuffer&) override {}
  void Multiply(const ErBuffer&) override {}
  void Divide(const ErBuffer&) override {}
  bool IsEmpty() const override { return GetText().IsEmpty(); }
  int16_t GetArithmeticType() const override { return 2; }

 protected:
  int CompareWith(const ErBuffer& other) const override;
  // "+" gives a zero-terminated text of own length + other's + `extra`.
  int16_t JoinResult(char op, const ErBuffer& other, int32_t* size, int32_t extra) const;
};

// The room a Chaine kept at a buffer's address takes.
inline constexpr size_t kChaineSlotSize = sizeof(Chaine) > 4 ? sizeof(Chaine) : 4;

}  // namespace tavelnor::record
