// sTime conversions.
#include "record/time_value.h"

#include "foundation/locale.h"

namespace tavelnor::record {

void sTime::ToBytes(uint8_t* bytes) const {
  bytes[0] = hundredths;
  bytes[1] = second;
  bytes[2] = minute;
  bytes[3] = hour;
}

uint32_t sTime::Packed() const {
  return hundredths | (second << 8) | (minute << 16) | (static_cast<uint32_t>(hour) << 24);
}

sTime sTime::FromPacked(uint32_t packed) {
  return sTime{static_cast<uint8_t>(packed), static_cast<uint8_t>(packed >> 8),
               static_cast<uint8_t>(packed >> 16), static_cast<uint8_t>(packed >> 24)};
}

sTime sTime::FromSeconds(int64_t seconds) {
  if (seconds < 0) return sTime{};
  return sTime{0, static_cast<uint8_t>(seconds % 60), static_cast<uint8_t>((seconds / 60) % 60),
               static_cast<uint8_t>((seconds / 3600) % 24)};
}

Chaine sTime::ToText(int style) const {
  return Chaine(FormatTime(CivilTime{hour, minute, second, hundredths}, style, CurrentLocale()));
}

bool sTime::FromText(std::string_view text, int style) {
  *this = sTime{};
  if (style == -1) {
    std::string_view t = text;
    while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
    while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
    if (!t.empty() && t.size() <= 2 && t.find_first_not_of("0123456789") == t.npos) {
      int h = t.size() == 1 ? t[0] - '0' : (t[0] - '0') * 10 + (t[1] - '0');
      if (h < 24) {
        hour = static_cast<uint8_t>(h);
        return true;
      }
    }
  }
  std::optional<CivilTime> read;
  if (style != 0) read = ParseTime(text, style, CurrentLocale());
  if (!read) return text.empty();
  *this = sTime{static_cast<uint8_t>(read->hundredths), static_cast<uint8_t>(read->second),
                static_cast<uint8_t>(read->minute), static_cast<uint8_t>(read->hour)};
  return true;
}

bool sTime::FromColonText(std::string_view text) {
  *this = sTime{};
  int fields[4] = {0, 0, 0, 0};
  size_t pos = 0;
  for (int f = 0; f < 4; ++f) {
    int digits = 0;
    while (digits < 2 && pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
      fields[f] = fields[f] * 10 + (text[pos++] - '0');
      ++digits;
    }
    if (digits == 0) return false;
    if (pos == text.size()) break;
    if (text[pos] != ':' || f == 3) return false;
    ++pos;
    if (pos == text.size()) return false;
  }
  sTime t{static_cast<uint8_t>(fields[3]), static_cast<uint8_t>(fields[2]),
          static_cast<uint8_t>(fields[1]), static_cast<uint8_t>(fields[0])};
  if (!t.IsValid()) return false;
  *this = t;
  return true;
}

}  // namespace tavelnor::record
