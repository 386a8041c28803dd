// What every typed buffer does unless its kind says otherwise.
#include "record/er_buffer.h"

#include <cstdlib>
#include <cstring>
#include <limits>

#include "record/er_buffer_kinds.h"
#include "record/rtf_text.h"
#include "record/type_catalog.h"
#include "record/value_text.h"

namespace tavelnor::record {

ErBuffer::ErBuffer(int32_t size, bool upper_case) : size_(size), upper_case_(upper_case) {}

ErBuffer::~ErBuffer() { std::free(owned_); }

void ErBuffer::SetData(uint8_t* data) {
  if (owned_ != nullptr && owned_ != data) {
    std::free(owned_);
    owned_ = nullptr;
  }
  data_ = data;
}

void ErBuffer::Allocate() {
  std::free(owned_);
  owned_ = nullptr;
  data_ = nullptr;
  if (size_ <= 0) return;
  owned_ = static_cast<uint8_t*>(std::calloc(static_cast<size_t>(size_), 1));
  data_ = owned_;
}

void ErBuffer::Free() {
  if (owned_ != nullptr && data_ == owned_) data_ = nullptr;
  std::free(owned_);
  owned_ = nullptr;
}

void ErBuffer::CopyFrom(const ErBuffer& other) {
  size_t n = std::min(ByteCount(), other.ByteCount());
  if (n > 0 && data_ != other.data_) std::memmove(data_, other.data_, n);
}

void ErBuffer::SetFromBuffer(const ErBuffer& other) { SetInt64(other.GetInt64()); }

void ErBuffer::CopyOut(void* dest) const {
  if (dest != nullptr && ByteCount() > 0) std::memcpy(dest, data_, ByteCount());
}

void ErBuffer::CopyIn(const void* src) {
  if (src != nullptr && ByteCount() > 0) std::memcpy(data_, src, ByteCount());
}

void ErBuffer::ZeroFill() {
  if (ByteCount() > 0) std::memset(data_, 0, ByteCount());
}

void ErBuffer::SetGuid(const EGuid&) { Clear(); }
void ErBuffer::SetVideo(const sBlobVideo&) { Clear(); }
void ErBuffer::SetSound(const sBlobSound&) { Clear(); }
void ErBuffer::SetImage(const sBlobImage&) { Clear(); }
void ErBuffer::SetBlob(const sBlob&) { Clear(); }

void ErBuffer::SetRichText(const sBlobRichText& value) {
  if (!value.IsEmpty()) SetText(RtfToPlainText(value.Bytes()));
}

void ErBuffer::SetBlobText(const sBlobText& value) {
  if (!value.IsEmpty()) SetText(value.Text());
}

void ErBuffer::SetTime(const sTime& value) {
  // That time of day today, as seconds since 1970-01-01.
  ETimeStamp stamp = ETimeStamp::FromLocal(sDate::Today(), value, TimeZone::Local());
  int64_t seconds = stamp.ToTimeT();
  SetUInt64(seconds < 0 ? 0 : static_cast<uint64_t>(seconds));
}

void ErBuffer::SetTimeT(int64_t seconds) {
  sDate date;
  sTime time;
  ETimeStamp::FromTimeT(seconds).ToLocal(TimeZone::Local(), &date, &time);
  SetDate(date);
}

void ErBuffer::SetDate(const sDate& value) { SetInt64(value.DayNumber()); }
void ErBuffer::SetText(std::string_view) {}
void ErBuffer::SetCurrency(ECurrency value) { SetDouble(value.ToDouble()); }
void ErBuffer::SetDecimal64(EDecimal64 value) { SetDouble(value.ToDouble()); }
void ErBuffer::SetDouble(double) {}
void ErBuffer::SetChar(char value) { SetText(std::string_view(&value, 1)); }
void ErBuffer::SetUInt64(uint64_t value) { SetInt64(static_cast<int64_t>(value)); }
void ErBuffer::SetInt64(int64_t) {}
void ErBuffer::SetBool(bool value) { SetInt64(value ? 1 : 0); }
void ErBuffer::SetMax() {}
void ErBuffer::Clear() { SetMin(); }
void ErBuffer::SetMin() {}

Chaine ErBuffer::GetEditMask(int32_t, int32_t, int32_t, int32_t) const { return Chaine("XX"); }
Chaine ErBuffer::Format(int32_t, int32_t, uint32_t) const { return Chaine(); }

double ErBuffer::GetDouble() const { return 0.0; }

sDate ErBuffer::GetDate() const {
  int64_t n = GetInt64();
  if (n <= 0 || n > std::numeric_limits<int32_t>::max()) return sDate();
  return sDate::FromDayNumber(static_cast<int32_t>(n));
}

ETimeStamp ErBuffer::GetTimeStamp() const {
  return ETimeStamp::FromLocal(GetDate(), sTime(), TimeZone::Local());
}

sTime ErBuffer::GetTime() const { return sTime::FromSeconds(GetInt64()); }
EDecimal32 ErBuffer::GetDecimal32() const { return EDecimal32::FromDouble(GetDouble()); }
int8_t ErBuffer::GetInt8() const { return static_cast<int8_t>(GetInt64()); }
int16_t ErBuffer::GetInt16() const { return static_cast<int16_t>(GetInt64()); }
int32_t ErBuffer::GetInt32() const { return static_cast<int32_t>(GetInt64()); }
uint32_t ErBuffer::GetUInt32() const { return static_cast<uint32_t>(GetInt64()); }
bool ErBuffer::GetBool() const { return GetInt64() != 0; }
EDecimal64 ErBuffer::GetDecimal64() const { return EDecimal64::FromDouble(GetDouble()); }
float ErBuffer::GetFloat() const { return SaturatingToFloat(GetDouble()); }
Chaine ErBuffer::GetText() const { return Chaine(); }
ECurrency ErBuffer::GetCurrency() const { return ECurrency::FromDouble(GetDouble()); }

Chaine ErBuffer::GetBytes() const {
  return Chaine(reinterpret_cast<const char*>(data_), ByteCount());
}

sBlobText ErBuffer::GetBlobText() const { return sBlobText(GetText().view()); }
sBlobRichText ErBuffer::GetRichText() const { return sBlobRichText(PlainTextToRtf(GetText())); }
sBlobImage ErBuffer::GetImage() const { return sBlobImage(); }
sBlobSound ErBuffer::GetSound() const { return sBlobSound(); }
sBlobVideo ErBuffer::GetVideo() const { return sBlobVideo(); }
sBlob ErBuffer::GetBlob() const { return sBlob(); }

EGuid ErBuffer::GetGuid() const {
  EGuid guid;
  if (GetGeneralType() == 25 && !guid.FromText(GetText().view())) return EGuid();
  return guid;
}

int64_t ErBuffer::GetInt64() const { return 0; }
uint64_t ErBuffer::GetUInt64() const { return static_cast<uint64_t>(GetInt64()); }

int ErBuffer::CompareWith(const ErBuffer& other) const {
  int64_t a = GetInt64();
  int64_t b = other.GetInt64();
  return a < b ? -1 : (a > b ? 1 : 0);
}

// Whole-number arithmetic wraps as the machine does; a zero divisor gives 0.
void ErBuffer::Add(const ErBuffer& other) {
  SetInt64(static_cast<int64_t>(static_cast<uint64_t>(GetInt64()) +
                                static_cast<uint64_t>(other.GetInt64())));
}

void ErBuffer::Subtract(const ErBuffer& other) {
  SetInt64(static_cast<int64_t>(static_cast<uint64_t>(GetInt64()) -
                                static_cast<uint64_t>(other.GetInt64())));
}

void ErBuffer::Multiply(const ErBuffer& other) {
  SetInt64(static_cast<int64_t>(static_cast<uint64_t>(GetInt64()) *
                                static_cast<uint64_t>(other.GetInt64())));
}

void ErBuffer::Divide(const ErBuffer& other) {
  int64_t a = GetInt64();
  int64_t b = other.GetInt64();
  if (b == 0) {
    SetInt64(0);
  } else if (b == -1) {
    SetInt64(static_cast<int64_t>(0 - static_cast<uint64_t>(a)));
  } else {
    SetInt64(a / b);
  }
}

bool ErBuffer::IsEmpty() const { return GetInt64() == 0; }

int16_t ErBuffer::ResultType(char, const ErBuffer&, int32_t* size) const {
  if (size != nullptr) *size = -1;
  return kOperatorRefused;
}

std::unique_ptr<ErBuffer> ErBuffer::Combine(char op, const ErBuffer& other) const {
  int32_t size = -1;
  int16_t type = ResultType(op, other, &size);
  if (type == kOperatorRefused) return nullptr;
  std::unique_ptr<ErBuffer> result = CreateBuffer(type, size, upper_case_ ? 1 : 0);
  result->Allocate();
  result->SetFromBuffer(*this);
  switch (op) {
    case '*': result->Multiply(other); break;
    case '+': result->Add(other); break;
    case '-': result->Subtract(other); break;
    case '/': result->Divide(other); break;
    default: break;
  }
  return result;
}

int32_t ErBuffer::GetGeneralType() const {
  return GetTypeDesc(static_cast<uint16_t>(GetTypeCode()))->GetGeneralType();
}

std::unique_ptr<ErBuffer> CreateBuffer(int16_t code, int32_t size, uint8_t upper_case) {
  int32_t resolved = ResolveBufferSize(code, size);
  BufferKind kind = BufferKindForCode(code);
  bool upper = upper_case != 0;
  if (auto b = MakeNumberBuffer(kind, resolved, upper)) return b;
  if (auto b = MakeCalendarBuffer(kind, resolved, upper)) return b;
  if (auto b = MakeBlobBuffer(kind, resolved, upper)) return b;
  if (auto b = MakeTextBuffer(kind, resolved, upper)) return b;
  return MakeTextBuffer(BufferKind::kRaw, resolved, upper);
}

Chaine FitToWidth(std::string_view text, int32_t width, bool right_align) {
  if (width <= 0) return Chaine(text);
  auto w = static_cast<size_t>(std::min(width, kMaxFormatWidth));
  if (text.size() >= w) return Chaine(text.substr(0, w));
  std::string out;
  out.reserve(w);
  if (right_align) out.append(w - text.size(), ' ');
  out.append(text);
  if (!right_align) out.append(w - text.size(), ' ');
  return Chaine(out);
}

}  // namespace tavelnor::record
