// Buffers of the text kinds and the raw buffer.
#include <algorithm>
#include <cstring>
#include <memory>

#include "foundation/case_tables.h"
#include "record/bool_value.h"
#include "record/er_buffer_kinds.h"
#include "record/er_buffer_text.h"
#include "record/text_fields.h"
#include "record/type_codes.h"
#include "record/type_handler_values.h"
#include "record/value_text.h"

namespace tavelnor::record {
namespace {

int CompareBytes(std::string_view a, std::string_view b) {
  int c = a.compare(b);  // char_traits<char> compares as unsigned bytes
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

bool AllZero(const uint8_t* p, size_t n) {
  return std::all_of(p, p + n, [](uint8_t b) { return b == 0; });
}

// The bytes as they are: text up to the first zero byte, bytes compared as
// they are, "+" lays the other's bytes after this buffer's.
class ErBufferRaw final : public ErBuffer {
 public:
  using ErBuffer::ErBuffer;
  void SetFromBuffer(const ErBuffer& other) override { Put(other.GetBytes().view(), 0); }
  void SetText(std::string_view text) override {
    WriteFixedLength(data_, ByteCount(), text, upper_case_);
  }
  void SetBlob(const sBlob& value) override { Put(value.Bytes(), 0); }
  void SetMax() override {
    if (ByteCount() > 0) std::memset(data_, 0xFF, ByteCount());
  }
  void SetMin() override { ZeroFill(); }
  void Clear() override { ZeroFill(); }
  Chaine Format(int32_t width, int32_t, uint32_t) const override {
    return FitToWidth(GetText().view(), width, false);
  }
  Chaine GetText() const override { return ReadTextFieldChaine(data_, ByteCount()); }
  sBlob GetBlob() const override { return sBlob(GetBytes().view()); }
  // The other's bytes take the end of this buffer: a buffer made for
  // "a + b" holds a's bytes, then b's.
  void Add(const ErBuffer& other) override {
    Chaine bytes = other.GetBytes();
    size_t n = std::min(bytes.Length(), ByteCount());
    Put(bytes.view().substr(0, n), ByteCount() - n);
  }
  void Subtract(const ErBuffer&) override {}
  void Multiply(const ErBuffer&) override {}
  void Divide(const ErBuffer&) override {}
  bool IsEmpty() const override { return data_ == nullptr || AllZero(data_, ByteCount()); }
  int16_t ResultType(char op, const ErBuffer& other, int32_t* size) const override {
    if (size != nullptr) *size = -1;
    if (op != '+') return kOperatorRefused;
    if (size != nullptr) *size = std::max(size_, 0) + std::max(other.Size(), 0);
    return -1;
  }

 protected:
  int CompareWith(const ErBuffer& other) const override {
    return CompareBytes(GetBytes().view(), other.GetBytes().view());
  }

 private:
  // Copies `bytes` at `offset`; the rest of the buffer before the copy is
  // zeroed when writing from the start.
  void Put(std::string_view bytes, size_t offset) {
    size_t count = ByteCount();
    if (offset > count) return;
    size_t n = std::min(bytes.size(), count - offset);
    if (offset == 0 && count > 0) std::memset(data_, 0, count);
    if (n > 0) std::memcpy(data_ + offset, bytes.data(), n);
  }
};

// Char arrays of the declared size: zero-terminated (codes 0 and 9) or of
// fixed length (code 7).
template <int16_t kCode, bool kFixed>
class ErBufferTextArray : public TextBuffer {
 public:
  using TextBuffer::TextBuffer;
  int16_t GetTypeCode() const override { return kCode; }
  void SetText(std::string_view text) override {
    if constexpr (kFixed) {
      WriteFixedLength(data_, ByteCount(), text, upper_case_);
    } else {
      WriteZeroTerminated(data_, ByteCount(), text, upper_case_);
    }
  }
  // A fixed-length text takes the whole part of a floating-point value.
  void SetDouble(double value) override {
    if constexpr (kFixed) {
      SetText(IntegerText(SaturatingToInt64(value)).view());
    } else {
      TextBuffer::SetDouble(value);
    }
  }
  void SetMax() override {
    size_t n = ByteCount();
    if (n == 0) return;
    std::memset(data_, 0xFF, n);
    if constexpr (!kFixed) data_[n - 1] = 0;
  }
  void SetMin() override { ZeroFill(); }
  void Clear() override { ZeroFill(); }
  Chaine GetText() const override { return ReadTextFieldChaine(data_, ByteCount()); }
  bool IsEmpty() const override { return ByteCount() == 0 || data_[0] == 0; }
  int16_t ResultType(char op, const ErBuffer& other, int32_t* size) const override {
    return JoinResult(op, other, size, kFixed ? 0 : 1);
  }
};

using ErBufferZString = ErBufferTextArray<TYPE_ZSTRING, false>;
using ErBufferStr = ErBufferTextArray<TYPE_STR, true>;

class ErBufferAutre final : public ErBufferZString {
 public:
  using ErBufferZString::ErBufferZString;
  int16_t GetTypeCode() const override { return TYPE_AUTRE; }
};

// One byte: a character as text, a signed byte as a number.
class ErBufferCharacter final : public TextBuffer {
 public:
  using TextBuffer::TextBuffer;
  int16_t GetTypeCode() const override { return TYPE_CHARACTER; }
  void SetText(std::string_view text) override {
    WriteCharacter(data_, ByteCount(), text, upper_case_);
  }
  // Always in capitals, whatever the buffer's flag.
  void SetChar(char value) override {
    WriteCharacter(data_, ByteCount(), std::string_view(&value, 1), true);
  }
  void SetInt64(int64_t value) override { Put(static_cast<uint8_t>(value)); }
  void SetUInt64(uint64_t value) override { Put(static_cast<uint8_t>(value)); }
  void SetMax() override { Put(127); }
  void SetMin() override { Put(static_cast<uint8_t>(-128)); }
  void Clear() override { Put(0); }
  Chaine GetText() const override {
    if (!HasBytes(1) || data_[0] == 0) return Chaine();
    return Chaine(reinterpret_cast<const char*>(data_), 1);
  }
  int64_t GetInt64() const override { return HasBytes(1) ? static_cast<int8_t>(data_[0]) : 0; }
  uint64_t GetUInt64() const override { return static_cast<uint64_t>(GetInt64()); }
  bool IsEmpty() const override { return GetInt64() == 0; }
  int16_t GetArithmeticType() const override { return 1; }
  int16_t ResultType(char op, const ErBuffer& other, int32_t* size) const override {
    int16_t type = JoinResult(op, other, size, 1);
    if (type != kOperatorRefused && size != nullptr) {
      *size = static_cast<int32_t>(other.GetText().Length()) + 1;
    }
    return type;
  }

 private:
  void Put(uint8_t b) {
    if (HasBytes(1)) data_[0] = b;
  }
};

// A Chaine object kept at the data address (at least one pointer wide).
class ErBufferChaine final : public TextBuffer {
 public:
  ErBufferChaine(int32_t size, bool upper_case)
      : TextBuffer(std::max(size, static_cast<int32_t>(kChaineSlotSize)), upper_case) {}
  ~ErBufferChaine() override { ReleaseOwned(); }
  int16_t GetTypeCode() const override { return TYPE_CHAINE; }
  void Free() override {
    ReleaseOwned();
    ErBuffer::Free();
  }
  void CopyFrom(const ErBuffer& other) override { SetText(other.GetText().view()); }
  // Out and in take the other side as a Chaine slot too.
  void CopyOut(void* dest) const override {
    if (dest != nullptr && HasSlot()) {
      WriteHeapString(static_cast<uint8_t*>(dest), ReadHeapString(data_).view());
    }
  }
  void CopyIn(const void* src) override {
    if (src != nullptr && HasSlot()) {
      WriteHeapString(data_, ReadHeapString(static_cast<const uint8_t*>(src)).view());
    }
  }
  void ZeroFill() override {
    if (HasSlot()) DestroyHeapString(data_);
    ErBuffer::ZeroFill();
  }
  void SetText(std::string_view text) override {
    if (!HasSlot()) return;
    Chaine value(text);
    if (upper_case_) value.MakeUpper();
    WriteHeapString(data_, value.view());
  }
  void SetMin() override { Clear(); }
  void Clear() override {
    if (HasSlot()) DestroyHeapString(data_);
  }
  Chaine GetText() const override { return HasSlot() ? ReadHeapString(data_) : Chaine(); }
  Chaine GetBytes() const override { return GetText(); }
  int16_t ResultType(char op, const ErBuffer& other, int32_t* size) const override {
    return JoinResult(op, other, size, 1);
  }

 private:
  bool HasSlot() const { return HasBytes(kChaineSlotSize); }
  void ReleaseOwned() {
    if (OwnsData() && HasSlot()) DestroyHeapString(data_);
  }
};

}  // namespace

// --- TextBuffer ---------------------------------------------------------------

void TextBuffer::SetDouble(double value) { SetText(FixedText(value, 2).view()); }
void TextBuffer::SetDecimal64(EDecimal64 value) { SetText(value.Format(0, 2).view()); }
void TextBuffer::SetInt64(int64_t value) { SetText(IntegerText(value).view()); }
void TextBuffer::SetUInt64(uint64_t value) { SetText(UnsignedText(value).view()); }

Chaine TextBuffer::Format(int32_t width, int32_t, uint32_t) const {
  return FitToWidth(GetText().view(), width, false);
}

double TextBuffer::GetDouble() const { return ParseDouble(GetText().view()); }

sDate TextBuffer::GetDate() const {
  sDate date;
  date.FromText(GetText().view());
  return date;
}

ETimeStamp TextBuffer::GetTimeStamp() const {
  ETimeStamp stamp;
  stamp.FromText(GetText().view());
  return stamp;
}

sTime TextBuffer::GetTime() const {
  sTime time;
  time.FromText(GetText().view());
  return time;
}

EDecimal32 TextBuffer::GetDecimal32() const { return EDecimal32::FromText(GetText().view()); }
EDecimal64 TextBuffer::GetDecimal64() const { return EDecimal64::FromText(GetText().view()); }
ECurrency TextBuffer::GetCurrency() const { return ECurrency::FromText(GetText().view()); }
int64_t TextBuffer::GetInt64() const { return ParseInteger(GetText().view()); }
uint64_t TextBuffer::GetUInt64() const { return ParseUnsigned(GetText().view()); }

// The locale's words, else a number that is not 0.
bool TextBuffer::GetBool() const {
  Chaine text = GetText();
  bool value = false;
  if (BoolFromText(text.view(), &value)) return value;
  return ParseInteger(text.view()) != 0;
}

void TextBuffer::Add(const ErBuffer& other) {
  SetText(Chaine::Concat(GetText().view(), other.GetText().view()).view());
}

int TextBuffer::CompareWith(const ErBuffer& other) const {
  return CompareBytes(GetText().view(), other.GetText().view());
}

int16_t TextBuffer::JoinResult(char op, const ErBuffer& other, int32_t* size,
                               int32_t extra) const {
  if (size != nullptr) *size = -1;
  if (op != '+') return kOperatorRefused;
  if (size != nullptr) {
    *size = static_cast<int32_t>(GetText().Length() + other.GetText().Length()) + extra;
  }
  return TYPE_ZSTRING;
}

std::unique_ptr<ErBuffer> MakeTextBuffer(BufferKind kind, int32_t size, bool upper) {
  switch (kind) {
    case BufferKind::kRaw: return std::make_unique<ErBufferRaw>(size, upper);
    case BufferKind::kZString: return std::make_unique<ErBufferZString>(size, upper);
    case BufferKind::kAutre: return std::make_unique<ErBufferAutre>(size, upper);
    case BufferKind::kStr: return std::make_unique<ErBufferStr>(size, upper);
    case BufferKind::kCharacter: return std::make_unique<ErBufferCharacter>(size, upper);
    case BufferKind::kChaine: return std::make_unique<ErBufferChaine>(size, upper);
    default: return nullptr;
  }
}

}  // namespace tavelnor::record
