// The base type handler: no type, neutral answers.
#include "record/type_handler.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>

#include "record/rtf_text.h"

namespace tavelnor::record {

std::unique_ptr<ETypeHandler> ETypeHandler::Clone() const {
  return std::unique_ptr<ETypeHandler>(new ETypeHandler(*this));
}

bool ETypeHandler::IsEmpty() const {
  const uint8_t* data = GetData();
  int32_t size = GetSize();
  if (data == nullptr || size <= 0) return true;
  return std::all_of(data, data + size, [](uint8_t b) { return b == 0; });
}

int32_t ETypeHandler::CopyOut(void* dest, int32_t length, int32_t offset) const {
  const uint8_t* data = GetData();
  int32_t size = GetSize();
  if (dest == nullptr || data == nullptr || length <= 0 || offset < 0 || offset >= size) return 0;
  int32_t n = std::min(length, size - offset);
  std::memcpy(dest, data + offset, static_cast<size_t>(n));
  return n;
}

int32_t ETypeHandler::CopyIn(const void* src, int32_t length) {
  uint8_t* data = GetData();
  int32_t n = std::min(length, GetSize());
  if (src == nullptr || data == nullptr || n <= 0) return 0;
  std::memmove(data, src, static_cast<size_t>(n));
  return n;
}

ETimeStamp ETypeHandler::GetTimeStamp() const {
  sDate date;
  GetDate(&date);
  return ETimeStamp::FromLocal(date, sTime(), TimeZone::Local());
}

sTime ETypeHandler::GetTime() const { return sTime::FromSeconds(GetInt64()); }

bool ETypeHandler::GetDate(sDate* date) const {
  int64_t day_number = GetInt64();
  sDate d;
  if (day_number > 0 && day_number <= std::numeric_limits<int32_t>::max()) {
    d = sDate::FromDayNumber(static_cast<int32_t>(day_number));
  }
  if (date != nullptr) *date = d;
  return d.IsValid();
}

sBlobRichText ETypeHandler::GetRichText() const {
  return sBlobRichText(PlainTextToRtf(GetText().view()));
}

std::unique_ptr<ETypeHandler> ETypeHandler::Add(const ETypeHandler& /*other*/) const {
  return std::make_unique<ETypeHandler>();
}

std::unique_ptr<ETypeHandler> ETypeHandler::Subtract(const ETypeHandler& /*other*/) const {
  return std::make_unique<ETypeHandler>();
}

std::unique_ptr<ETypeHandler> ETypeHandler::Multiply(const ETypeHandler& /*other*/) const {
  return std::make_unique<ETypeHandler>();
}

std::unique_ptr<ETypeHandler> ETypeHandler::Divide(const ETypeHandler& /*other*/) const {
  return std::make_unique<ETypeHandler>();
}

int32_t GeneralTypeOfCategory(int32_t category) {
  switch (category) {
    case 2:
    case 26:
    case 27:
    case 29:
      return 2;
    case 4:
    case 5:
      return 26;
    case 25:
    case 34:
    case 161:
      return 25;
    case 35:
    case 36:
    case 37:
      return 32;
    default:
      return -1;
  }
}

int32_t ETypeHandler::GetGeneralType() const { return GeneralTypeOfCategory(GetCategory()); }

}  // namespace tavelnor::record
