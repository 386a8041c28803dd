// Chaine: construction, sharing, copy on write and the text operations.
#include "foundation/chaine.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <stdexcept>

#include "foundation/case_tables.h"
#include "foundation/chaine_buffer.h"
#include "foundation/string_resources.h"

namespace tavelnor {

namespace buffer = chaine_buffer;

namespace {

// Resource numbers travel as small pointer values below this limit.
constexpr uintptr_t kResourceLimit = 65536;

char* NewBuffer(std::string_view text) {
  if (text.empty()) return buffer::EmptyRef();
  char* data = buffer::Allocate(text.size() + 1);
  std::memcpy(data, text.data(), text.size());
  data[text.size()] = '\0';
  buffer::HeaderOf(data)->size = static_cast<uint32_t>(text.size() + 1);
  return data;
}

// Membership of the bytes of a character set.
class ByteSet {
 public:
  explicit ByteSet(std::string_view set) {
    for (char c : set) in_[static_cast<uint8_t>(c)] = true;
  }
  bool Has(char c) const { return in_[static_cast<uint8_t>(c)]; }

 private:
  std::array<bool, 256> in_{};
};

bool Overlaps(std::string_view s, const char* begin, size_t size) {
  std::less_equal<const char*> le;
  return !s.empty() && le(begin, s.data()) && !le(begin + size, s.data());
}

}  // namespace

// ---- construction, sharing, release ----

Chaine::Chaine() : data_(buffer::EmptyRef()) {}

Chaine::Chaine(const char* text) {
  const auto value = reinterpret_cast<uintptr_t>(text);
  if (value == 0) {
    data_ = buffer::EmptyRef();
  } else if (value < kResourceLimit) {
    data_ = NewBuffer(LoadResourceString(static_cast<uint32_t>(value & 0xFFFF)));
  } else {
    data_ = NewBuffer(std::string_view(text));
  }
}

Chaine::Chaine(const char* text, size_t length)
    : data_(text == nullptr ? buffer::EmptyRef() : NewBuffer(std::string_view(text, length))) {}

Chaine::Chaine(std::string_view text) : data_(NewBuffer(text)) {}

Chaine::Chaine(const Chaine& other) : data_(other.data_) { buffer::AddRef(data_); }

Chaine::Chaine(Chaine&& other) noexcept : data_(other.data_) { other.data_ = buffer::EmptyRef(); }

Chaine::~Chaine() { Release(); }

Chaine& Chaine::operator=(const Chaine& other) {
  buffer::AddRef(other.data_);  // first, so that self-assignment is harmless
  Release();
  data_ = other.data_;
  return *this;
}

Chaine& Chaine::operator=(Chaine&& other) noexcept {
  if (this != &other) {
    Release();
    data_ = other.data_;
    other.data_ = buffer::EmptyRef();
  }
  return *this;
}

Chaine Chaine::FromResource(uint32_t id) { return Chaine(LoadResourceString(id)); }

Chaine Chaine::Concat(std::string_view a, std::string_view b) {
  if (a.size() + b.size() == 0) return Chaine();
  char* data = buffer::Allocate(a.size() + b.size() + 1);
  if (!a.empty()) std::memcpy(data, a.data(), a.size());
  if (!b.empty()) std::memcpy(data + a.size(), b.data(), b.size());
  Chaine out(data, AdoptTag{});
  out.SetLength(a.size() + b.size());
  return out;
}

void Chaine::Release() { buffer::Release(data_); }

void Chaine::MakeEmpty() {
  Release();
  data_ = buffer::EmptyRef();
}

size_t Chaine::Length() const { return buffer::HeaderOf(data_)->size - 1; }

int32_t Chaine::RefCount() const {
  return buffer::HeaderOf(data_)->ref_count.load(std::memory_order_relaxed);
}

uint32_t Chaine::Capacity() const { return buffer::HeaderOf(data_)->capacity; }

bool Chaine::IsPoolBlock() const {
  const uint32_t capacity = Capacity();
  return capacity != 0 && capacity % 2 == 0;
}

void Chaine::MakePrivate(size_t size) {
  buffer::Header* header = buffer::HeaderOf(data_);
  const size_t capacity = header->capacity;
  const bool alone = header->ref_count.load(std::memory_order_acquire) == 1 && capacity != 0;
  if (alone && capacity >= size) return;
  const size_t wanted = size > capacity ? buffer::GrowthCapacity(size, capacity)
                                        : std::max<size_t>(header->size, size);
  char* fresh = buffer::Allocate(wanted);
  const size_t keep = std::min<size_t>(header->size, size) - 1;
  std::memcpy(fresh, data_, keep);
  Release();
  data_ = fresh;
  SetLength(keep);
}

void Chaine::SetLength(size_t length) {
  buffer::HeaderOf(data_)->size = static_cast<uint32_t>(length + 1);
  data_[length] = '\0';
}

// ---- comparison and search ----

int Chaine::Compare(std::string_view other) const {
  const std::string_view me = view();
  const size_t n = std::min(me.size(), other.size());
  const int c = n == 0 ? 0 : std::memcmp(me.data(), other.data(), n);
  if (c != 0) return c < 0 ? -1 : 1;
  if (me.size() == other.size()) return 0;
  return me.size() < other.size() ? -1 : 1;
}

int Chaine::CompareNoCase(std::string_view other) const {
  const int c = CompareNoCase1252(view(), other);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

size_t Chaine::Find(char c, size_t from) const { return view().find(c, from); }

size_t Chaine::Find(std::string_view s, size_t from) const { return view().find(s, from); }

size_t Chaine::ReverseFind(char c) const { return view().rfind(c); }

Chaine Chaine::Left(size_t n) const { return n >= Length() ? *this : Chaine(view().substr(0, n)); }

Chaine Chaine::Mid(size_t pos, size_t n) const {
  const size_t length = Length();
  if (pos >= length) return Chaine();
  if (pos == 0 && n >= length) return *this;
  return Chaine(view().substr(pos, n));
}

Chaine Chaine::Right(size_t n) const {
  const size_t length = Length();
  return n >= length ? *this : Chaine(view().substr(length - n));
}

// ---- modification ----

Chaine& Chaine::Append(std::string_view s) {
  if (s.empty()) return *this;
  const size_t length = Length();
  std::string copy;
  if (Overlaps(s, data_, length + 1)) {  // appending a part of itself
    copy.assign(s);
    s = copy;
  }
  if (s.size() > UINT32_MAX - length - 2) throw std::length_error("Chaine too long");
  MakePrivate(length + s.size() + 1);
  std::memcpy(data_ + length, s.data(), s.size());
  SetLength(length + s.size());
  return *this;
}

void Chaine::TrimLeft(std::string_view set) {
  const ByteSet bytes(set);
  const size_t length = Length();
  size_t start = 0;
  while (start < length && bytes.Has(data_[start])) ++start;
  if (start == 0) return;
  if (start == length) return MakeEmpty();
  MakePrivate(length + 1);
  std::memmove(data_, data_ + start, length - start);
  SetLength(length - start);
}

void Chaine::TrimRight(std::string_view set) {
  const ByteSet bytes(set);
  const size_t length = Length();
  size_t end = length;
  while (end > 0 && bytes.Has(data_[end - 1])) --end;
  if (end == length) return;
  if (end == 0) return MakeEmpty();
  MakePrivate(end + 1);
  SetLength(end);
}

void Chaine::DeleteChars(std::string_view set) {
  const ByteSet bytes(set);
  const size_t length = Length();
  size_t first = 0;
  while (first < length && !bytes.Has(data_[first])) ++first;
  if (first == length) return;
  if (std::all_of(data_ + first, data_ + length, [&](char c) { return bytes.Has(c); }) &&
      first == 0) {
    return MakeEmpty();
  }
  MakePrivate(length + 1);
  size_t out = first;
  for (size_t i = first; i < length; ++i) {
    if (!bytes.Has(data_[i])) data_[out++] = data_[i];
  }
  SetLength(out);
}

int Chaine::Replace(std::string_view from, std::string_view to) {
  if (from.empty()) return 0;
  const std::string_view me = view();
  size_t count = 0;
  for (size_t at = me.find(from); at != std::string_view::npos; at = me.find(from, at + from.size())) {
    ++count;
  }
  if (count == 0) return 0;
  const size_t length = me.size() - count * from.size() + count * to.size();
  if (length > UINT32_MAX - 2) throw std::length_error("Chaine too long");
  // Built into a new buffer: `from` and `to` may point into the old one.
  char* fresh = length == 0 ? buffer::EmptyRef() : buffer::Allocate(length + 1);
  size_t out = 0;
  size_t at = 0;
  for (size_t hit = me.find(from); hit != std::string_view::npos; hit = me.find(from, at)) {
    std::memcpy(fresh + out, me.data() + at, hit - at);
    out += hit - at;
    if (!to.empty()) std::memcpy(fresh + out, to.data(), to.size());
    out += to.size();
    at = hit + from.size();
  }
  std::memcpy(fresh + out, me.data() + at, me.size() - at);
  Release();
  data_ = fresh;
  if (length != 0) SetLength(length);
  return static_cast<int>(count);
}

int Chaine::Replace(char from, char to) {
  const size_t length = Length();
  const auto count = std::count(data_, data_ + length, from);
  if (count == 0 || from == to) return static_cast<int>(count);
  MakePrivate(length + 1);
  std::replace(data_, data_ + length, from, to);
  return static_cast<int>(count);
}

namespace {
template <typename Map>
size_t FirstChanged(const char* data, size_t length, Map map) {
  for (size_t i = 0; i < length; ++i) {
    if (map(static_cast<uint8_t>(data[i])) != static_cast<uint8_t>(data[i])) return i;
  }
  return length;
}
}  // namespace

void Chaine::MakeUpper() {
  const size_t length = Length();
  size_t i = FirstChanged(data_, length, [](uint8_t c) { return ToUpper1252(c); });
  if (i == length) return;
  MakePrivate(length + 1);
  for (; i < length; ++i) data_[i] = static_cast<char>(ToUpper1252(static_cast<uint8_t>(data_[i])));
}

void Chaine::MakeLower() {
  const size_t length = Length();
  size_t i = FirstChanged(data_, length, [](uint8_t c) { return ToLower1252(c); });
  if (i == length) return;
  MakePrivate(length + 1);
  for (; i < length; ++i) data_[i] = static_cast<char>(ToLower1252(static_cast<uint8_t>(data_[i])));
}

void Chaine::Truncate(size_t length) {
  if (length >= Length()) return;
  if (length == 0) return MakeEmpty();
  MakePrivate(length + 1);
  SetLength(length);
}

char* Chaine::GetBufferSetLength(size_t length) {
  if (length > UINT32_MAX - 2) throw std::length_error("Chaine too long");
  const size_t keep = std::min(Length(), length);
  MakePrivate(length + 1);
  std::memset(data_ + keep, 0, length - keep);
  SetLength(length);
  return data_;
}

bool Chaine::CopyTo(char* buffer, size_t size) const {
  if (buffer == nullptr || size == 0) return false;
  const size_t length = Length();
  const size_t n = std::min(length, size - 1);
  std::memcpy(buffer, data_, n);
  buffer[n] = '\0';
  return n == length;
}

Chaine operator+(const Chaine& a, std::string_view b) { return Chaine::Concat(a.view(), b); }

}  // namespace tavelnor
