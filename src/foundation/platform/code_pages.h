// Texts stored in an 8-bit code page (or in UTF-8) as UTF-8, and back.
//
// A converter is chosen once by name and then converts any number of values;
// it never changes afterwards and may be shared between threads.
// Windows-1252 goes through the library's own table (text_encoding.h); every
// other 8-bit code page takes its 256 characters from the system once, when
// the converter opens (iconv on POSIX, MultiByteToWideChar on Windows).
//
// Nothing is lost: a byte the code page leaves unassigned (0x98 of
// Windows-1251, the five of Windows-1252) comes out as the character of the
// same number, U+0000 to U+00FF (the C1 controls for 0x80 to 0x9F), or as
// the private-use character U+F700 + byte when the code page already gives
// that character to another byte; encoding turns it back into the same byte.
// "utf-8" keeps well-formed UTF-8 as it is and reads a byte that does not
// belong to a well-formed sequence as its Windows-1252 character.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/status.h"

namespace tavelnor::platform {

class CodePage {
 public:
  // The converter called `name`, case ignored, "-", "_" and spaces too:
  // cp1252 (windows-1252), cp1251 (windows-1251), cp437 (ibm437), cp850
  // (ibm850), cp866 (ibm866), iso-8859-1 (latin1), iso-8859-15 (latin9),
  // utf-8. InvalidArgument when the name is none of these (the message
  // lists them), Unsupported when the system cannot convert it.
  static Result<std::shared_ptr<const CodePage>> Open(std::string_view name);

  // The canonical name ("cp866", "iso-8859-15"...).
  const std::string& Name() const { return name_; }

  std::string ToUtf8(std::string_view bytes) const;
  void AppendUtf8(std::string_view bytes, std::string* out) const;
  // UTF-8 into the code page's bytes; false when the text is malformed
  // (`*unheld` U+FFFD) or holds a character the code page has no byte for
  // (`*unheld` that character). `out` then holds what was converted.
  bool FromUtf8(std::string_view utf8, std::string* out, char32_t* unheld = nullptr) const;

  // For Open: how the bytes convert, and the characters of a kTable page
  // (kNoCharacter for its unassigned bytes).
  enum class Kind { kCp1252, kUtf8, kTable };
  CodePage(std::string name, Kind kind, const std::array<char32_t, 256>& table);

 private:
  std::string name_;
  Kind kind_;
  std::array<char32_t, 256> to_unicode_{};
  std::vector<std::pair<char32_t, unsigned char>> from_unicode_;  // sorted by character
};

// The canonical names with their usual aliases in parentheses, for messages
// and help: "cp1252 (windows-1252), cp1251 (windows-1251), ...".
std::string CodePageNameList();
// The canonical names alone.
std::vector<std::string> CodePageNames();

// For the two platform files: the characters of the 256 bytes of code page
// `system_name` (iconv's name) or `windows_number`, kNoCharacter for a byte
// the code page leaves unassigned. Unsupported when the system does not
// know the code page.
inline constexpr char32_t kNoCharacter = 0xFFFFFFFF;
Status SystemCodePageTable(const char* system_name, unsigned windows_number,
                           std::array<char32_t, 256>* table);

}  // namespace tavelnor::platform
