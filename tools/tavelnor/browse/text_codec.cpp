// Windows-1252 and UTF-8, and the escapes of the output formats.
#include "browse/text_codec.h"

#include "foundation/platform/text_encoding.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <utility>

namespace tavelnor::tool {

bool NextCodePoint(std::string_view text, size_t& i, uint32_t* cp) {
  const auto b = static_cast<uint8_t>(text[i]);
  size_t extra = 0;
  uint32_t value = 0;
  if (b < 0x80) {
    value = b;
  } else if ((b & 0xE0) == 0xC0) {
    extra = 1;
    value = b & 0x1F;
  } else if ((b & 0xF0) == 0xE0) {
    extra = 2;
    value = b & 0x0F;
  } else if ((b & 0xF8) == 0xF0) {
    extra = 3;
    value = b & 0x07;
  } else {
    return false;
  }
  if (extra > 0 && i + extra >= text.size()) return false;
  for (size_t k = 1; k <= extra; ++k) {
    const auto c = static_cast<uint8_t>(text[i + k]);
    if ((c & 0xC0) != 0x80) return false;
    value = (value << 6) | (c & 0x3F);
  }
  i += extra + 1;
  *cp = value;
  return true;
}

void AppendCodePoint(uint32_t cp, std::string* out) {
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

namespace {

std::shared_ptr<const platform::CodePage>& Chosen() {
  // Windows-1252 uses the library's own table: opening it cannot fail.
  static std::shared_ptr<const platform::CodePage> chosen =
      platform::CodePage::Open("cp1252").value();
  return chosen;
}

}  // namespace

const platform::CodePage& StoredCodePage() { return *Chosen(); }

Status ChooseStoredCodePage(std::string_view name) {
  auto page = platform::CodePage::Open(name);
  if (!page.ok()) return page.status();
  Chosen() = std::move(page).value();
  return Status::Ok();
}

std::string StoredToUtf8(std::string_view bytes) { return StoredCodePage().ToUtf8(bytes); }

void AppendStoredAsUtf8(std::string_view bytes, std::string* out) {
  StoredCodePage().AppendUtf8(bytes, out);
}

bool Utf8ToStored(std::string_view text, std::string* out, std::string* problem) {
  char32_t unheld = 0;
  if (StoredCodePage().FromUtf8(text, out, &unheld)) return true;
  if (unheld == 0xFFFD) {
    *problem = "\"" + std::string(text) + "\" is not UTF-8 text";
    return false;
  }
  // The character itself, and its number for the terminals that cannot show it.
  std::string character;
  for (size_t i = 0; i < text.size();) {
    const size_t start = i;
    uint32_t cp = 0;
    if (!NextCodePoint(text, i, &cp)) break;
    if (cp == unheld) {
      character = std::string(text.substr(start, i - start));
      break;
    }
  }
  char number[16];
  std::snprintf(number, sizeof number, "U+%04X", static_cast<unsigned>(unheld));
  *problem = "\"" + std::string(text) + "\" holds \"" + character + "\" (" + number +
             "), which code page " + StoredCodePage().Name() + " cannot hold";
  return false;
}

std::string Cp1252ToUtf8(std::string_view text) { return platform::Cp1252ToUtf8(text); }

bool Utf8ToCp1252(std::string_view text, std::string* out) {
  out->clear();
  size_t i = 0;
  while (i < text.size()) {
    uint32_t cp = 0;
    if (!NextCodePoint(text, i, &cp)) return false;
    const int byte = platform::Cp1252ByteOf(cp);
    if (byte < 0) return false;
    *out += static_cast<char>(byte);
  }
  return true;
}

size_t Utf8Width(std::string_view text) {
  size_t n = 0;
  for (char ch : text) {
    if ((static_cast<uint8_t>(ch) & 0xC0) != 0x80) ++n;
  }
  return n;
}

std::string Utf8Cut(std::string_view text, size_t width) {
  if (Utf8Width(text) <= width) return std::string(text);
  if (width == 0) return std::string();
  std::string out;
  size_t n = 0;
  for (char ch : text) {
    const bool starts = (static_cast<uint8_t>(ch) & 0xC0) != 0x80;
    if (starts && ++n > width - 1) break;
    out += ch;
  }
  return out + "\xE2\x80\xA6";  // …
}

void AppendCsvField(std::string_view text, std::string* out) {
  const bool quote = text.find_first_of(",\"\r\n") != std::string_view::npos ||
                     (!text.empty() && (text.front() == ' ' || text.back() == ' '));
  if (!quote) {
    out->append(text);
    return;
  }
  *out += '"';
  for (char ch : text) {
    if (ch == '"') *out += '"';
    *out += ch;
  }
  *out += '"';
}

std::string CsvField(std::string_view text) {
  std::string out;
  AppendCsvField(text, &out);
  return out;
}

void AppendJsonString(std::string_view text, std::string* out) {
  *out += '"';
  for (char ch : text) {
    const auto b = static_cast<uint8_t>(ch);
    switch (ch) {
      case '"': *out += "\\\""; break;
      case '\\': *out += "\\\\"; break;
      case '\n': *out += "\\n"; break;
      case '\r': *out += "\\r"; break;
      case '\t': *out += "\\t"; break;
      default:
        if (b < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", b);
          *out += buf;
        } else {
          *out += ch;
        }
    }
  }
  *out += '"';
}

std::string JsonString(std::string_view text) {
  std::string out;
  AppendJsonString(text, &out);
  return out;
}

std::string FileSafeName(std::string_view name) {
  std::string out;
  for (char c : name) {
    const bool awkward = c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' || c == '"' ||
                         c == '<' || c == '>' || c == '|' || static_cast<unsigned char>(c) < 0x20;
    out += awkward ? '_' : c;
  }
  return out.empty() || out == "." || out == ".." ? "_" + out : out;
}

bool HexToBytes(std::string_view hex, std::string* bytes) {
  auto digit = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  bytes->clear();
  if (hex.size() % 2 != 0) return false;
  for (size_t i = 0; i < hex.size(); i += 2) {
    const int hi = digit(hex[i]), lo = digit(hex[i + 1]);
    if (hi < 0 || lo < 0) return false;
    *bytes += static_cast<char>(hi * 16 + lo);
  }
  return true;
}

void AppendBase64(std::string_view bytes, std::string* out) {
  static const char* kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const uint32_t v = (static_cast<uint8_t>(bytes[i]) << 16) |
                       (static_cast<uint8_t>(bytes[i + 1]) << 8) | static_cast<uint8_t>(bytes[i + 2]);
    *out += kAlphabet[v >> 18];
    *out += kAlphabet[(v >> 12) & 63];
    *out += kAlphabet[(v >> 6) & 63];
    *out += kAlphabet[v & 63];
  }
  const size_t rest = bytes.size() - i;
  if (rest > 0) {
    uint32_t v = static_cast<uint32_t>(static_cast<uint8_t>(bytes[i])) << 16;
    if (rest == 2) v |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[i + 1])) << 8;
    *out += kAlphabet[v >> 18];
    *out += kAlphabet[(v >> 12) & 63];
    *out += rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
    *out += '=';
  }
}

void AppendHex(std::string_view bytes, std::string* out) {
  static const char* kDigits = "0123456789ABCDEF";
  for (char ch : bytes) {
    const auto b = static_cast<uint8_t>(ch);
    *out += kDigits[b >> 4];
    *out += kDigits[b & 15];
  }
}

std::string EscapeControls(std::string_view text) {
  std::string out;
  for (char ch : text) {
    const auto b = static_cast<uint8_t>(ch);
    if (ch == '\n') {
      out += "\\n";
    } else if (ch == '\r') {
      out += "\\r";
    } else if (ch == '\t') {
      out += "\\t";
    } else if (b < 0x20 || b == 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", b);
      out += buf;
    } else {
      out += ch;
    }
  }
  return out;
}

}  // namespace tavelnor::tool
