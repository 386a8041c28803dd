// Code pages by name, and the conversions through their tables.
#include "foundation/platform/code_pages.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <utility>

#include "foundation/platform/text_encoding.h"

namespace tavelnor::platform {
namespace {

struct Known {
  const char* name;
  const char* alias;            // shown in messages; more are accepted
  const char* spellings;        // every accepted spelling, folded, space-separated
  const char* system_name;      // iconv's
  unsigned windows_number;
  CodePage::Kind kind;
};

constexpr Known kKnown[] = {
    {"cp1252", "windows-1252", "cp1252 windows1252 win1252 1252", "", 1252, CodePage::Kind::kCp1252},
    {"cp1251", "windows-1251", "cp1251 windows1251 win1251 1251", "CP1251", 1251,
     CodePage::Kind::kTable},
    {"cp437", "ibm437", "cp437 ibm437 437", "IBM437", 437, CodePage::Kind::kTable},
    {"cp850", "ibm850", "cp850 ibm850 850", "IBM850", 850, CodePage::Kind::kTable},
    {"cp866", "ibm866", "cp866 ibm866 866", "IBM866", 866, CodePage::Kind::kTable},
    {"iso-8859-1", "latin1", "iso88591 latin1 l1 88591", "ISO-8859-1", 28591,
     CodePage::Kind::kTable},
    {"iso-8859-15", "latin9", "iso885915 latin9 l9 885915", "ISO-8859-15", 28605,
     CodePage::Kind::kTable},
    {"utf-8", nullptr, "utf8", "", 65001, CodePage::Kind::kUtf8},
};

// Lower case without "-", "_" and spaces.
std::string Folded(std::string_view name) {
  std::string out;
  for (char c : name) {
    if (c == '-' || c == '_' || c == ' ') continue;
    out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return out;
}

bool Spells(const Known& k, const std::string& folded) {
  std::string_view rest = k.spellings;
  while (!rest.empty()) {
    const size_t end = std::min(rest.find(' '), rest.size());
    if (rest.substr(0, end) == folded) return true;
    rest.remove_prefix(std::min(end + 1, rest.size()));
  }
  return false;
}

void AppendCodePoint(char32_t cp, std::string* out) {
  if (cp < 0x80) {
    *out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    *out += static_cast<char>(0xC0 | (cp >> 6));
    *out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    *out += static_cast<char>(0xE0 | (cp >> 12));
    *out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | (cp >> 18));
    *out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    *out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// The length of the well-formed UTF-8 sequence at `i` (its code point in
// `cp`), 0 when the bytes there are not one.
size_t Sequence(std::string_view text, size_t i, char32_t* cp) {
  const auto b = static_cast<uint8_t>(text[i]);
  size_t n = 0;
  char32_t value = 0, least = 0;
  if (b < 0x80) {
    *cp = b;
    return 1;
  }
  if ((b & 0xE0) == 0xC0) {
    n = 2, value = b & 0x1F, least = 0x80;
  } else if ((b & 0xF0) == 0xE0) {
    n = 3, value = b & 0x0F, least = 0x800;
  } else if ((b & 0xF8) == 0xF0) {
    n = 4, value = b & 0x07, least = 0x10000;
  } else {
    return 0;
  }
  if (i + n > text.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    const auto c = static_cast<uint8_t>(text[i + k]);
    if ((c & 0xC0) != 0x80) return 0;
    value = (value << 6) | (c & 0x3F);
  }
  // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
  if (value < least || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF) return 0;
  *cp = value;
  return n;
}

}  // namespace

CodePage::CodePage(std::string name, Kind kind, const std::array<char32_t, 256>& table)
    : name_(std::move(name)), kind_(kind), to_unicode_(table) {
  if (kind_ != Kind::kTable) return;
  // Unassigned bytes get the character of their own number, or a private-use
  // one when another byte holds that character already.
  std::vector<bool> taken(256, false);
  for (char32_t cp : to_unicode_) {
    if (cp < 256) taken[cp] = true;
  }
  for (size_t b = 0; b < 256; ++b) {
    if (to_unicode_[b] != kNoCharacter) continue;
    to_unicode_[b] = taken[b] ? static_cast<char32_t>(0xF700 + b) : static_cast<char32_t>(b);
  }
  for (size_t b = 0; b < 256; ++b) from_unicode_.emplace_back(to_unicode_[b], static_cast<unsigned char>(b));
  // The first byte wins where two bytes give the same character.
  std::stable_sort(from_unicode_.begin(), from_unicode_.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
}

Result<std::shared_ptr<const CodePage>> CodePage::Open(std::string_view name) {
  const std::string folded = Folded(name);
  for (const Known& k : kKnown) {
    if (!Spells(k, folded)) continue;
    std::array<char32_t, 256> table{};
    if (k.kind == Kind::kTable) {
      if (Status s = SystemCodePageTable(k.system_name, k.windows_number, &table); !s.ok()) {
        return s;
      }
    }
    return std::make_shared<const CodePage>(k.name, k.kind, table);
  }
  return Status::InvalidArgument("unknown encoding \"" + std::string(name) +
                                 "\"; the encodings are " + CodePageNameList());
}

void CodePage::AppendUtf8(std::string_view bytes, std::string* out) const {
  switch (kind_) {
    case Kind::kCp1252:
      AppendCp1252AsUtf8(bytes, out);
      return;
    case Kind::kUtf8:
      for (size_t i = 0; i < bytes.size();) {
        char32_t cp = 0;
        const size_t n = Sequence(bytes, i, &cp);
        if (n == 0) {
          AppendCp1252AsUtf8(bytes.substr(i, 1), out);
          ++i;
        } else {
          out->append(bytes.substr(i, n));
          i += n;
        }
      }
      return;
    case Kind::kTable:
      for (char ch : bytes) AppendCodePoint(to_unicode_[static_cast<uint8_t>(ch)], out);
      return;
  }
}

std::string CodePage::ToUtf8(std::string_view bytes) const {
  std::string out;
  out.reserve(bytes.size());
  AppendUtf8(bytes, &out);
  return out;
}

bool CodePage::FromUtf8(std::string_view utf8, std::string* out, char32_t* unheld) const {
  out->clear();
  char32_t dummy = 0;
  if (unheld == nullptr) unheld = &dummy;
  for (size_t i = 0; i < utf8.size();) {
    char32_t cp = 0;
    const size_t n = Sequence(utf8, i, &cp);
    if (n == 0) {
      *unheld = 0xFFFD;
      return false;
    }
    i += n;
    int byte = -1;
    if (kind_ == Kind::kUtf8) {
      AppendCodePoint(cp, out);
      continue;
    }
    if (kind_ == Kind::kCp1252) {
      byte = Cp1252ByteOf(cp);
    } else {
      const auto at = std::lower_bound(
          from_unicode_.begin(), from_unicode_.end(), cp,
          [](const std::pair<char32_t, unsigned char>& e, char32_t c) { return e.first < c; });
      if (at != from_unicode_.end() && at->first == cp) byte = at->second;
    }
    if (byte < 0) {
      *unheld = cp;
      return false;
    }
    *out += static_cast<char>(byte);
  }
  return true;
}

std::string CodePageNameList() {
  std::string out;
  for (const Known& k : kKnown) {
    if (!out.empty()) out += ", ";
    out += k.name;
    if (k.alias) out += std::string(" (") + k.alias + ")";
  }
  return out;
}

std::vector<std::string> CodePageNames() {
  std::vector<std::string> names;
  for (const Known& k : kKnown) names.emplace_back(k.name);
  return names;
}

}  // namespace tavelnor::platform
