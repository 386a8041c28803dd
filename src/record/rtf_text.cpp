// RTF memo <-> plain text. The reader is a single pass over the bytes with an
// explicit stack of group states (no recursion). Groups nested deeper than
// kMaxDepth are only counted: they keep the "\uc" of the deepest tracked group
// and remember where an untracked destination began, so any input runs in
// linear time and bounded memory. "\'hh" bytes are taken as Windows-1252
// whatever "\ansicpg" says.
#include "record/rtf_text.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tavelnor::record {
namespace {

constexpr size_t kMaxDepth = 256;
constexpr int64_t kMaxParameter = 0x7FFFFFFF;  // larger parameters saturate

// Code points of Windows-1252 bytes 0x80..0x9F; 0 where the byte is unassigned.
constexpr std::array<uint16_t, 32> kHighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// Groups whose content is never text, each name between spaces.
constexpr std::string_view kDestinations =
    " fonttbl colortbl stylesheet info pict listtable listoverridetable revtbl rsidtbl generator"
    " xmlnstbl datastore themedata colorschememapping latentstyles object objdata fldinst filetbl"
    " pgdsctbl ";

// Words written as one Windows-1252 byte each, 0x91 onwards.
constexpr std::array<std::string_view, 7> kPunctuation = {
    "lquote", "rquote", "ldblquote", "rdblquote", "bullet", "endash", "emdash"};

char To1252(int64_t code_point) {
  if (code_point < 0) return '?';
  if (code_point < 0x80 || (code_point >= 0xA0 && code_point <= 0xFF)) {
    return static_cast<char>(code_point);
  }
  for (size_t i = 0; i < kHighControls.size(); ++i) {
    if (kHighControls[i] != 0 && kHighControls[i] == code_point) {
      return static_cast<char>(0x80 + i);
    }
  }
  return '?';
}

int HexValue(int c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsLetter(int c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(int c) { return c >= '0' && c <= '9'; }

// A read cursor over the input: Peek and Next give -1 at the end.
class Cursor {
 public:
  explicit Cursor(std::string_view s) : s_(s) {}
  int Peek() const { return pos_ < s_.size() ? static_cast<uint8_t>(s_[pos_]) : -1; }
  int Next() { return pos_ < s_.size() ? static_cast<uint8_t>(s_[pos_++]) : -1; }
  void Skip(size_t n) { pos_ += std::min(n, s_.size() - pos_); }
  std::string_view Letters() {
    const size_t start = pos_;
    while (IsLetter(Peek())) ++pos_;
    return s_.substr(start, pos_ - start);
  }

 private:
  std::string_view s_;
  size_t pos_ = 0;
};

struct Group {
  bool skip = false;  // a destination: nothing inside is text
  int64_t uc = 1;     // fallback characters after "\uN"
};

// The reader's state between tokens.
class Reader {
 public:
  explicit Reader(std::string_view rtf) : in_(rtf) {}

  std::string Run() {
    in_.Skip(1);  // the opening brace
    groups_.push_back(Group{});
    for (int c = in_.Next(); c >= 0 && !groups_.empty(); c = in_.Next()) {
      if (c == '{') {
        fallback_ = 0;
        if (groups_.size() < kMaxDepth) {
          groups_.push_back(groups_.back());
        } else {
          ++untracked_;
        }
      } else if (c == '}') {
        fallback_ = 0;
        if (untracked_ == 0) {
          groups_.pop_back();
        } else {
          if (untracked_ == skip_from_) skip_from_ = 0;
          --untracked_;
        }
      } else if (c == '\\') {
        Control();
      } else if (c != '\r' && c != '\n') {
        Emit(static_cast<char>(c));
      }
    }
    return std::move(out_);
  }

 private:
  // A character of text, unless the group is skipped or it is \uN fallback.
  void Emit(std::string_view text) {
    if (fallback_ > 0) {
      --fallback_;
    } else if (!groups_.back().skip && skip_from_ == 0) {
      out_ += text;
    }
  }
  void Emit(char c) { Emit(std::string_view(&c, 1)); }

  // Marks the innermost group as a destination.
  void SetSkip() {
    if (untracked_ == 0) {
      groups_.back().skip = true;
    } else if (skip_from_ == 0) {
      skip_from_ = untracked_;
    }
  }

  void Control() {
    const int c = in_.Peek();
    if (!IsLetter(c)) {
      in_.Next();
      if (c == '\'') {
        const int hi = HexValue(in_.Peek());
        if (hi >= 0) in_.Next();
        const int lo = hi >= 0 ? HexValue(in_.Peek()) : -1;
        if (lo >= 0) in_.Next();
        Emit(lo >= 0 ? std::string(1, static_cast<char>(hi * 16 + lo)) : std::string());
      } else if (c == '\\' || c == '{' || c == '}') {
        Emit(static_cast<char>(c));
      } else if (c == '\r' || c == '\n') {
        Emit("\r\n");
      } else if (c == '~') {
        Emit('\xA0');
      } else if (c == '_') {
        Emit('-');
      } else if (c == '*') {
        SetSkip();
      } else if (c >= 0) {
        Emit(std::string_view());  // "\-" and other symbols: nothing, but one fallback unit
      }
      return;
    }
    const std::string_view word = in_.Letters();
    bool has_parameter = false;
    bool negative = false;
    int64_t parameter = 0;
    if (in_.Peek() == '-') {
      in_.Next();
      negative = true;
    }
    while (IsDigit(in_.Peek())) {
      has_parameter = true;
      parameter = std::min(parameter * 10 + (in_.Next() - '0'), kMaxParameter);
    }
    if (negative && !has_parameter) Emit('-');  // not a parameter: the hyphen is text
    if (negative) parameter = -parameter;
    if (in_.Peek() == ' ') in_.Next();
    Word(word, has_parameter, parameter);
  }

  void Word(std::string_view word, bool has_parameter, int64_t parameter) {
    if (word == "bin") {
      if (has_parameter && parameter > 0) in_.Skip(static_cast<size_t>(parameter));
    } else if (word == "uc") {
      if (has_parameter && parameter >= 0 && untracked_ == 0) groups_.back().uc = parameter;
    } else if (word == "u") {
      if (!has_parameter) return;
      const int64_t code_point = parameter < 0 ? parameter + 65536 : parameter;
      Emit(To1252(code_point));
      fallback_ = groups_.back().uc;
    } else if (word == "par" || word == "line" || word == "page" || word == "sect" ||
               word == "row") {
      Emit("\r\n");
    } else if (word == "tab" || word == "cell") {
      Emit('\t');
    } else if (auto p = std::find(kPunctuation.begin(), kPunctuation.end(), word);
               p != kPunctuation.end()) {
      Emit(static_cast<char>(0x91 + (p - kPunctuation.begin())));
    } else {
      if (kDestinations.find(" " + std::string(word) + " ") != std::string_view::npos) SetSkip();
      if (fallback_ > 0) --fallback_;  // formatting words count as one fallback unit
    }
  }

  Cursor in_;
  std::vector<Group> groups_;
  size_t untracked_ = 0;  // open groups beyond kMaxDepth
  size_t skip_from_ = 0;  // untracked level of the outermost untracked destination, or 0
  int64_t fallback_ = 0;  // fallback characters still to drop
  std::string out_;
};

}  // namespace

std::string RtfToPlainText(std::string_view rtf) {
  if (!rtf.starts_with("{\\rtf")) return std::string(rtf);
  return Reader(rtf).Run();
}

std::string PlainTextToRtf(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out =
      "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fnil\\fcharset0 Arial;}}\r\n"
      "\\f0\\fs20 ";
  out.reserve(out.size() + text.size() * 2 + 3);
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<uint8_t>(text[i]);
    if (c == '\\' || c == '{' || c == '}') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out += "\\par\r\n";
    } else if (c == '\t') {
      out += "\\tab ";
    } else if (c < 0x20 || c >= 0x80) {
      out += "\\'";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  out += '}';
  return out;
}

}  // namespace tavelnor::record
