// Buffers of dates, times of day, time stamps and GUIDs.
#include <cstring>

#include "foundation/locale.h"
#include "record/byte_form.h"
#include "record/er_buffer_kinds.h"
#include "record/type_codes.h"

namespace tavelnor::record {
namespace {

int Order(auto a, auto b) { return a < b ? -1 : (b < a ? 1 : 0); }

// The edit masks of the calendar kinds: cut to a positive width, empty for a
// negative one.
Chaine CutMask(std::string_view mask, int32_t width) {
  if (width < 0) return Chaine();
  if (width > 0 && static_cast<size_t>(width) < mask.size()) return Chaine(mask.substr(0, width));
  return Chaine(mask);
}

// A 4-byte date: day, month, two-byte year. Dates compare and order as the
// unsigned 32-bit number their bytes form.
class ErBufferDate final : public ErBuffer {
 public:
  using ErBuffer::ErBuffer;
  int16_t GetTypeCode() const override { return TYPE_DATE; }
  void SetFromBuffer(const ErBuffer& other) override { SetDate(other.GetDate()); }
  void SetDate(const sDate& value) override {
    if (HasBytes(4)) value.ToBytes(data_);
  }
  // A day number; 0 and numbers outside the calendar give the empty date.
  void SetInt64(int64_t value) override {
    SetDate(value > 0 && value <= INT32_MAX ? sDate::FromDayNumber(static_cast<int32_t>(value))
                                            : sDate());
  }
  void SetText(std::string_view text) override {
    sDate date;
    date.FromText(text);
    SetDate(date);
  }
  void SetMax() override { SetDate(sDate::Maximum()); }
  void SetMin() override { SetDate(sDate::Minimum()); }
  void Clear() override { SetDate(sDate::Minimum()); }
  Chaine GetEditMask(int32_t width, int32_t, int32_t, int32_t) const override {
    return CutMask(kDateEditMask, width);
  }
  // The alternate form writes the date in the locale's short-year style.
  Chaine Format(int32_t width, int32_t, uint32_t flags) const override {
    sDate date = GetDate();
    if ((flags & kFormatAlternate) != 0 && !date.IsEmpty()) {
      CivilDate civil{date.day, date.month, date.year};
      return FitToWidth(FormatDate(civil, kDateStyleShortYear, CurrentLocale()), width, false);
    }
    return FitToWidth(GetText().view(), width, false);
  }
  sDate GetDate() const override { return HasBytes(4) ? sDate::FromBytes(data_) : sDate(); }
  Chaine GetText() const override { return GetDate().ToText(); }
  int64_t GetInt64() const override { return GetDate().DayNumber(); }
  // Moves the date by the other's value in days.
  void Add(const ErBuffer& other) override { MoveDays(other.GetInt64()); }
  void Subtract(const ErBuffer& other) override {
    int64_t days = other.GetInt64();
    MoveDays(days == INT64_MIN ? INT64_MAX : -days);
  }
  bool IsEmpty() const override { return GetDate().IsEmpty(); }
  int16_t ResultType(char op, const ErBuffer& other, int32_t* size) const override {
    if (size != nullptr) *size = -1;
    bool other_is_date = other.GetTypeCode() == TYPE_DATE;
    if (op == '+') return other_is_date ? kOperatorRefused : int16_t{TYPE_DATE};
    if (op == '-') return other_is_date ? int16_t{TYPE_LONG} : int16_t{TYPE_DATE};
    return kOperatorRefused;
  }

 protected:
  int CompareWith(const ErBuffer& other) const override {
    return Order(GetDate().Packed(), other.GetDate().Packed());
  }

 private:
  void MoveDays(int64_t days) {
    if (days > INT32_MAX || days < INT32_MIN) {
      SetDate(sDate());
      return;
    }
    SetDate(GetDate().Add(0, 0, static_cast<int32_t>(days)));
  }
};

constexpr int64_t kSecondsPerDay = 86400;

// A 4-byte time of day: hundredths, seconds, minutes, hours.
class ErBufferTime final : public ErBuffer {
 public:
  using ErBuffer::ErBuffer;
  int16_t GetTypeCode() const override { return TYPE_TIME; }
  void SetFromBuffer(const ErBuffer& other) override { SetTime(other.GetTime()); }
  void SetTime(const sTime& value) override {
    if (HasBytes(4)) value.ToBytes(data_);
  }
  // A number of seconds, kept to the time of day.
  void SetInt64(int64_t value) override { SetTime(sTime::FromSeconds(value)); }
  void SetText(std::string_view text) override {
    sTime time;
    time.FromText(text);
    SetTime(time);
  }
  void SetMax() override { SetTime(sTime::Maximum()); }
  void SetMin() override { SetTime(sTime()); }
  void Clear() override { SetTime(sTime()); }
  Chaine GetEditMask(int32_t width, int32_t, int32_t, int32_t) const override {
    return CutMask(kTimeEditMask, width);
  }
  Chaine Format(int32_t width, int32_t, uint32_t) const override {
    return FitToWidth(GetText().view(), width, false);
  }
  sTime GetTime() const override { return HasBytes(4) ? sTime::FromBytes(data_) : sTime(); }
  Chaine GetText() const override { return GetTime().ToText(); }
  int64_t GetInt64() const override { return GetTime().ToSeconds(); }
  // Seconds added or taken away go round the clock.
  void Add(const ErBuffer& other) override { MoveSeconds(other.GetInt64() % kSecondsPerDay); }
  void Subtract(const ErBuffer& other) override {
    MoveSeconds(-(other.GetInt64() % kSecondsPerDay));
  }
  bool IsEmpty() const override { return GetTime().IsEmpty(); }
  int16_t ResultType(char op, const ErBuffer&, int32_t* size) const override {
    if (size != nullptr) *size = -1;
    return op == '+' || op == '-' ? int16_t{TYPE_TIME} : kOperatorRefused;
  }

 protected:
  int CompareWith(const ErBuffer& other) const override {
    return Order(GetTime().Packed(), other.GetTime().Packed());
  }

 private:
  void MoveSeconds(int64_t delta) {
    sTime now = GetTime();
    int64_t s = ((now.ToSeconds() + delta) % kSecondsPerDay + kSecondsPerDay) % kSecondsPerDay;
    sTime moved = sTime::FromSeconds(s);
    moved.hundredths = now.hundredths;
    SetTime(moved);
  }
};

// An 8-byte time stamp; its whole-number form is seconds since 1970-01-01.
class ErBufferTimeStamp final : public ErBuffer {
 public:
  using ErBuffer::ErBuffer;
  int16_t GetTypeCode() const override { return TYPE_TIMESTAMP; }
  void SetFromBuffer(const ErBuffer& other) override { Put(other.GetTimeStamp()); }
  void SetTimeT(int64_t seconds) override { Put(ETimeStamp::FromTimeT(seconds)); }
  void SetDate(const sDate& value) override {
    Put(ETimeStamp::FromLocal(value, sTime(), TimeZone::Local()));
  }
  void SetInt64(int64_t value) override { Put(ETimeStamp::FromTimeT(value)); }
  void SetUInt64(uint64_t value) override {
    Put(value > INT64_MAX ? ETimeStamp() : ETimeStamp::FromTimeT(static_cast<int64_t>(value)));
  }
  // Days since 30/12/1899 local time.
  void SetDouble(double value) override { Put(ETimeStamp::FromOleDays(value)); }
  void SetText(std::string_view text) override {
    ETimeStamp stamp;
    stamp.FromText(text);
    Put(stamp);
  }
  void SetMax() override { Put(ETimeStamp::Maximum()); }
  void SetMin() override { Put(ETimeStamp()); }
  void Clear() override { Put(ETimeStamp()); }
  Chaine GetEditMask(int32_t width, int32_t, int32_t, int32_t) const override {
    return CutMask(kTimeStampEditMask, width);
  }
  Chaine Format(int32_t width, int32_t, uint32_t) const override {
    return FitToWidth(GetText().view(), width, false);
  }
  double GetDouble() const override { return Get().ToOleDays(); }
  sDate GetDate() const override {
    sDate date;
    sTime time;
    Get().ToLocal(TimeZone::Local(), &date, &time);
    return date;
  }
  ETimeStamp GetTimeStamp() const override { return Get(); }
  sTime GetTime() const override {
    sDate date;
    sTime time;
    Get().ToLocal(TimeZone::Local(), &date, &time);
    return time;
  }
  Chaine GetText() const override { return Get().ToText(); }
  int64_t GetInt64() const override { return Get().IsEmpty() ? 0 : Get().ToTimeT(); }
  void Add(const ErBuffer&) override {}
  void Subtract(const ErBuffer&) override {}
  void Multiply(const ErBuffer&) override {}
  void Divide(const ErBuffer&) override {}
  bool IsEmpty() const override { return Get().IsEmpty(); }

 protected:
  int CompareWith(const ErBuffer& other) const override {
    return Order(Get().Ticks(), other.GetTimeStamp().Ticks());
  }

 private:
  ETimeStamp Get() const { return HasBytes(8) ? ETimeStamp::FromBytes(data_) : ETimeStamp(); }
  void Put(ETimeStamp value) {
    if (HasBytes(8)) value.ToBytes(data_);
  }
};

// A 16-byte GUID. Its whole-number form is 0 for the null GUID only: the
// first eight bytes, or the last eight when those are all zero.
class ErBufferGuid final : public ErBuffer {
 public:
  using ErBuffer::ErBuffer;
  int16_t GetTypeCode() const override { return TYPE_GUID; }
  void SetFromBuffer(const ErBuffer& other) override { SetGuid(other.GetGuid()); }
  void SetGuid(const EGuid& value) override {
    if (HasBytes(16)) value.ToBytes(data_);
  }
  void SetText(std::string_view text) override {
    EGuid guid;
    guid.FromText(text);
    SetGuid(guid);
  }
  void SetInt64(int64_t) override { Clear(); }
  void SetMax() override { Clear(); }
  void SetMin() override { Clear(); }
  void Clear() override { SetGuid(EGuid()); }
  Chaine Format(int32_t width, int32_t, uint32_t) const override {
    return FitToWidth(GetText().view(), width, false);
  }
  EGuid GetGuid() const override { return HasBytes(16) ? EGuid::FromBytes(data_) : EGuid(); }
  Chaine GetText() const override { return GetGuid().ToText(); }
  int64_t GetInt64() const override {
    if (!HasBytes(16)) return 0;
    int64_t low = LoadLittle<int64_t>(data_);
    return low != 0 ? low : LoadLittle<int64_t>(data_ + 8);
  }
  void Add(const ErBuffer&) override {}
  void Subtract(const ErBuffer&) override {}
  void Multiply(const ErBuffer&) override {}
  void Divide(const ErBuffer&) override {}

 protected:
  int CompareWith(const ErBuffer& other) const override {
    uint8_t a[16];
    uint8_t b[16];
    GetGuid().ToBytes(a);
    other.GetGuid().ToBytes(b);
    int c = std::memcmp(a, b, 16);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
  }
};

}  // namespace

std::unique_ptr<ErBuffer> MakeCalendarBuffer(BufferKind kind, int32_t size, bool upper) {
  switch (kind) {
    case BufferKind::kDate: return std::make_unique<ErBufferDate>(size, upper);
    case BufferKind::kTime: return std::make_unique<ErBufferTime>(size, upper);
    case BufferKind::kTimeStamp: return std::make_unique<ErBufferTimeStamp>(size, upper);
    case BufferKind::kGuid: return std::make_unique<ErBufferGuid>(size, upper);
    default: return nullptr;
  }
}

}  // namespace tavelnor::record
