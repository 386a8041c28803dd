// Bounds-checked little-endian reading and writing of byte images.
//
// ByteReader is a cursor over a borrowed span with a hard limit: every read
// either succeeds completely or fails and leaves the cursor where it was.
// Callers check sizes against Remaining() before allocating anything whose
// size comes from the input. ByteWriter appends to a growing vector.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tavelnor {

inline uint16_t LoadLE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t LoadLE32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline void StoreLE16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void StoreLE32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

class ByteReader {
 public:
  ByteReader() = default;
  explicit ByteReader(std::span<const uint8_t> data) : data_(data) {}
  ByteReader(const uint8_t* data, size_t size) : data_(data, size) {}

  size_t Offset() const { return pos_; }
  size_t Size() const { return data_.size(); }
  size_t Remaining() const { return data_.size() - pos_; }
  bool AtEnd() const { return pos_ == data_.size(); }

  bool Seek(size_t offset) {
    if (offset > data_.size()) return false;
    pos_ = offset;
    return true;
  }
  bool Skip(size_t n) {
    if (n > Remaining()) return false;
    pos_ += n;
    return true;
  }
  bool ReadU8(uint8_t* out) {
    if (Remaining() < 1) return false;
    *out = data_[pos_++];
    return true;
  }
  bool ReadU16(uint16_t* out) {
    if (Remaining() < 2) return false;
    *out = LoadLE16(data_.data() + pos_);
    pos_ += 2;
    return true;
  }
  bool ReadU32(uint32_t* out) {
    if (Remaining() < 4) return false;
    *out = LoadLE32(data_.data() + pos_);
    pos_ += 4;
    return true;
  }
  bool ReadI32(int32_t* out) {
    uint32_t v;
    if (!ReadU32(&v)) return false;
    *out = static_cast<int32_t>(v);
    return true;
  }
  // Borrows n bytes without copying; the span lives as long as the input.
  bool ReadSpan(size_t n, std::span<const uint8_t>* out) {
    if (n > Remaining()) return false;
    *out = data_.subspan(pos_, n);
    pos_ += n;
    return true;
  }
  bool ReadBytes(size_t n, uint8_t* out) {
    if (n > Remaining()) return false;
    if (n) std::memcpy(out, data_.data() + pos_, n);
    pos_ += n;
    return true;
  }
  bool ReadString(size_t n, std::string* out) {
    if (n > Remaining()) return false;
    out->assign(reinterpret_cast<const char*>(data_.data() + pos_), n);
    pos_ += n;
    return true;
  }

 private:
  std::span<const uint8_t> data_;
  size_t pos_ = 0;
};

class ByteWriter {
 public:
  void U8(uint8_t v) { out_.push_back(v); }
  void U16(uint16_t v) {
    uint8_t b[2];
    StoreLE16(b, v);
    out_.insert(out_.end(), b, b + 2);
  }
  void U32(uint32_t v) {
    uint8_t b[4];
    StoreLE32(b, v);
    out_.insert(out_.end(), b, b + 4);
  }
  void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
  void Bytes(const void* p, size_t n) {
    const auto* b = static_cast<const uint8_t*>(p);
    out_.insert(out_.end(), b, b + n);
  }
  void Bytes(std::span<const uint8_t> s) { out_.insert(out_.end(), s.begin(), s.end()); }
  void Text(std::string_view s) { Bytes(s.data(), s.size()); }
  void Zeros(size_t n) { out_.insert(out_.end(), n, 0); }
  size_t Size() const { return out_.size(); }
  std::vector<uint8_t>& buffer() { return out_; }
  std::vector<uint8_t> Take() { return std::move(out_); }

 private:
  std::vector<uint8_t> out_;
};

}  // namespace tavelnor
