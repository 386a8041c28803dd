// Blobs: variable-length binary or text values kept outside the fixed part of
// a record (type codes 32 to 37).
//
// In the record a blob occupies an 8-byte slot:
//   offset 0, 4 bytes: length in the upper 24 bits, flags in the low 8
//                      (0x80: modified since it was read)
//   offset 4, 4 bytes: reference to the loaded bytes (0: none)
// The reference names a block of the process-wide part store below; the
// record that holds the slot owns the block. Copying a record duplicates its
// blocks (DuplicateVarPart), clearing it releases them (ReleaseVarPart).
// A reference the store does not know reads as empty and is never freed.
//
// The value classes (`sBlob` and its kinds) own their bytes; they are what
// blob getters answer and what blob setters take.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tavelnor::record {

enum class BlobKind : uint8_t {
  kBinary = 32,
  kText = 33,
  kRichText = 34,
  kImage = 35,
  kSound = 36,
  kVideo = 37,
};

template <BlobKind K>
class BasicBlob {
 public:
  static constexpr BlobKind kKind = K;

  BasicBlob() = default;
  explicit BasicBlob(std::string_view bytes) : bytes_(bytes) {}
  // The same bytes under another kind.
  template <BlobKind Other>
  explicit BasicBlob(const BasicBlob<Other>& other) : bytes_(other.Bytes()) {}

  std::string_view Bytes() const { return bytes_; }
  size_t Size() const { return bytes_.size(); }
  bool IsEmpty() const { return bytes_.empty(); }
  void Assign(std::string_view bytes) { bytes_.assign(bytes); }

  // Text memos: the text up to the first zero byte.
  std::string_view Text() const {
    std::string_view all(bytes_);
    return all.substr(0, all.find('\0'));
  }

  friend bool operator==(const BasicBlob&, const BasicBlob&) = default;

 private:
  std::string bytes_;
};

using sBlob = BasicBlob<BlobKind::kBinary>;
using sBlobText = BasicBlob<BlobKind::kText>;
using sBlobRichText = BasicBlob<BlobKind::kRichText>;
using sBlobImage = BasicBlob<BlobKind::kImage>;
using sBlobSound = BasicBlob<BlobKind::kSound>;
using sBlobVideo = BasicBlob<BlobKind::kVideo>;

// --- Record slots -----------------------------------------------------------

inline constexpr size_t kVarPartSlotSize = 8;
inline constexpr uint8_t kVarPartModified = 0x80;
// The largest length the 24-bit field holds.
inline constexpr uint32_t kMaxVarPartLength = 0xFFFFFF;

uint32_t VarPartLength(const uint8_t* slot);
uint8_t VarPartFlags(const uint8_t* slot);
void SetVarPartFlags(uint8_t* slot, uint8_t flags);
uint32_t VarPartRef(const uint8_t* slot);

// The bytes of the slot's block, cut to the slot's length; empty for an
// unknown reference. The view stays valid until the slot is changed.
std::string_view ReadVarPart(const uint8_t* slot);
// Releases the slot's block, stores `bytes` in a new one and sets the
// modified flag. An empty text leaves no block. False (slot unchanged) when
// the bytes exceed kMaxVarPartLength.
bool AssignVarPart(uint8_t* slot, std::string_view bytes);
// Releases the slot's block; length and reference become 0, flags stay.
void ReleaseVarPart(uint8_t* slot);
// After the slot's bytes were copied from another record: gives this slot a
// block of its own holding the same bytes (an unknown reference becomes none).
void DuplicateVarPart(uint8_t* slot);

// Blocks currently held by the store (tests and leak checks).
size_t LiveVarPartCount();

}  // namespace tavelnor::record
