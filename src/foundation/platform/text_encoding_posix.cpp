// Texts for the terminal in the environment's character set.
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <cctype>
#include <cerrno>
#include <string>

#include "foundation/platform/text_encoding.h"

namespace tavelnor::platform {
namespace {

bool IsUtf8(std::string charset) {
  std::string plain;
  for (char c : charset) {
    if (c != '-' && c != '_') plain += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return plain == "UTF8";
}

// ASCII-only locales (C, POSIX) name no character set worth keeping to.
bool IsAscii(const std::string& charset) {
  return charset.empty() || charset == "ANSI_X3.4-1968" || charset == "ASCII" ||
         charset == "US-ASCII" || charset == "646";
}

}  // namespace

std::string TerminalCharset() {
  // The environment's locale, read without changing the process's own.
  locale_t environment = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
  if (environment == static_cast<locale_t>(nullptr)) return "UTF-8";
  std::string charset = nl_langinfo_l(CODESET, environment);
  freelocale(environment);
  if (IsAscii(charset) || IsUtf8(charset)) return "UTF-8";
  return charset;
}

std::string TerminalText(std::string_view cp1252) {
  static const std::string charset = TerminalCharset();
  if (IsUtf8(charset)) return Cp1252ToUtf8(cp1252);
  const std::string target = charset + "//TRANSLIT";
  iconv_t cd = iconv_open(target.c_str(), "WINDOWS-1252");
  if (cd == reinterpret_cast<iconv_t>(-1)) return Cp1252ToUtf8(cp1252);
  std::string in(cp1252), out(cp1252.size() * 4 + 16, '\0');
  char* src = in.data();
  size_t src_left = in.size();
  char* dst = out.data();
  size_t dst_left = out.size();
  while (src_left > 0) {
    if (iconv(cd, &src, &src_left, &dst, &dst_left) != static_cast<size_t>(-1)) break;
    if (errno != EILSEQ && errno != EINVAL) break;
    // A character the target cannot show becomes "?".
    ++src;
    --src_left;
    if (dst_left == 0) break;
    *dst++ = '?';
    --dst_left;
  }
  iconv_close(cd);
  out.resize(out.size() - dst_left);
  return out;
}

}  // namespace tavelnor::platform
