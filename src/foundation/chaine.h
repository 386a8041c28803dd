// Chaine: the library's 8-bit (Windows-1252) string, reference-counted and
// copied on write.
//
// A Chaine is one pointer to zero-terminated character data preceded by a
// 12-byte header {int32 refcount (atomic), uint32 size = length + 1,
// uint32 capacity (even: pool block, odd: heap block)}. Buffers of size 64 or
// less come from the process-wide block pool ("BlockStorage V2"), so a Chaine
// made by one copy of the library may be released by another. All empty
// strings share one static buffer that is never freed.
//
// Thread-safety: copies and releases may happen on any thread (atomic counts);
// a single Chaine object is not safe for concurrent modification.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tavelnor {

class Chaine {
 public:
  Chaine();
  // A pointer value of 65536 or more is zero-terminated text and is copied;
  // a smaller non-zero value is a string resource number (low 16 bits);
  // null gives the empty string.
  Chaine(const char* text);  // NOLINT: implicit, as the library passes texts freely
  Chaine(const char* text, size_t length);
  Chaine(std::string_view text);  // NOLINT
  Chaine(const std::string& text) : Chaine(std::string_view(text)) {}  // NOLINT
  Chaine(const Chaine& other);
  Chaine(Chaine&& other) noexcept;
  ~Chaine();
  Chaine& operator=(const Chaine& other);
  Chaine& operator=(Chaine&& other) noexcept;

  static Chaine FromResource(uint32_t id);
  // a followed by b, in one buffer of exactly the combined size.
  static Chaine Concat(std::string_view a, std::string_view b);

  const char* c_str() const { return data_; }
  operator std::string_view() const { return {data_, Length()}; }  // NOLINT
  std::string_view view() const { return {data_, Length()}; }
  std::string str() const { return std::string(view()); }
  size_t Length() const;
  bool IsEmpty() const { return Length() == 0; }
  char operator[](size_t i) const { return data_[i]; }

  // Comparisons: plain is byte-wise (unsigned); NoCase goes through the
  // upper-case table. With equal prefixes the shorter string is smaller.
  int Compare(std::string_view other) const;
  int CompareNoCase(std::string_view other) const;
  bool EqualsNoCase(std::string_view other) const { return CompareNoCase(other) == 0; }

  // Searching; npos when absent.
  static constexpr size_t npos = static_cast<size_t>(-1);
  size_t Find(char c, size_t from = 0) const;
  size_t Find(std::string_view s, size_t from = 0) const;
  size_t ReverseFind(char c) const;
  Chaine Left(size_t n) const;
  Chaine Mid(size_t pos, size_t n = npos) const;
  Chaine Right(size_t n) const;

  // Modifying operations make the buffer private first (copy on write).
  Chaine& Append(std::string_view s);
  Chaine& operator+=(std::string_view s) { return Append(s); }
  Chaine& operator+=(char c) { return Append(std::string_view(&c, 1)); }
  void TrimLeft(std::string_view set = " \t\r\n");
  void TrimRight(std::string_view set = " \t\r\n");
  void Trim(std::string_view set = " \t\r\n") { TrimRight(set); TrimLeft(set); }
  void DeleteChars(std::string_view set);                 // removes every byte of the set
  int Replace(std::string_view from, std::string_view to);  // every occurrence; returns the count
  int Replace(char from, char to);
  void MakeUpper();  // through the upper-case table
  void MakeLower();  // through the lower-case table
  void Truncate(size_t length);
  // Writable access to exactly `length` bytes (plus the terminator); the
  // string then has that length.
  char* GetBufferSetLength(size_t length);

  // Copies into a caller's fixed buffer of `size` bytes, truncating and
  // always terminating when size > 0. Returns false when it had to truncate.
  bool CopyTo(char* buffer, size_t size) const;

  // Introspection for tests and diagnostics.
  int32_t RefCount() const;
  uint32_t Capacity() const;
  bool IsPoolBlock() const;
  bool SharesBufferWith(const Chaine& other) const { return data_ == other.data_; }

  // Hidden friends: found only when a Chaine takes part, so that comparisons
  // of plain strings elsewhere stay unambiguous.
  friend bool operator==(const Chaine& a, const Chaine& b) { return a.Compare(b.view()) == 0; }
  friend bool operator==(const Chaine& a, std::string_view b) { return a.Compare(b) == 0; }
  friend bool operator==(const Chaine& a, const char* b) { return a.Compare(b) == 0; }
  friend bool operator==(const Chaine& a, const std::string& b) { return a.Compare(b) == 0; }
  friend bool operator<(const Chaine& a, const Chaine& b) { return a.Compare(b.view()) < 0; }

 private:
  struct AdoptTag {};
  Chaine(char* data, AdoptTag) : data_(data) {}  // takes over one reference
  void Release();
  void MakeEmpty();  // switches to the shared empty buffer
  // Makes the buffer private (reference count 1) with room for `size` bytes,
  // terminator included, keeping the text that fits in size - 1. A buffer
  // owned alone and large enough is kept; otherwise one new buffer is taken,
  // of the same size when only sharing forced the copy, else by the growth rule.
  void MakePrivate(size_t size);
  // REQUIRES: private buffer with room for length + 1.
  void SetLength(size_t length);
  char* data_;
};

Chaine operator+(const Chaine& a, std::string_view b);

// Ordering for case-insensitive maps (FDictionnaryNoCase).
struct ChaineLessNoCase {
  bool operator()(const Chaine& a, const Chaine& b) const { return a.CompareNoCase(b.view()) < 0; }
};

}  // namespace tavelnor
