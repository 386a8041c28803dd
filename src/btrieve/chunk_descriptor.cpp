// Parsing chunk descriptors (layout in chunk_descriptor.h).
#include "btrieve/chunk_descriptor.h"

#include <cstring>
#include <limits>

#include "btrieve/btrieve_codes.h"
#include "foundation/byte_reader.h"

namespace tavelnor::btrieve {

namespace {

constexpr size_t kPointerSize = sizeof(void*);

bool ReadPointer(ByteReader& r, uint8_t** out) {
  std::span<const uint8_t> raw;
  if (!r.ReadSpan(kPointerSize, &raw)) return false;
  uintptr_t value = 0;
  for (size_t i = kPointerSize; i > 0; --i) value = (value << 8) | raw[i - 1];
  *out = reinterpret_cast<uint8_t*>(value);
  return true;
}

int ParseRandom(ByteReader& r, ChunkRequest* out) {
  uint32_t count = 0;
  if (!r.ReadU32(&count)) return kDataBufferTooShort;
  if (count == 0 || count > kMaxChunkPieces) return kInvalidDescriptor;
  const size_t each = 8 + (out->indirect ? kPointerSize : 0);
  if (r.Remaining() / each < count) return kDataBufferTooShort;
  out->pieces.resize(count);
  uint64_t relative = 0;
  for (ChunkPiece& piece : out->pieces) {
    r.ReadU32(&piece.offset);
    r.ReadU32(&piece.length);
    if (out->indirect && (!ReadPointer(r, &piece.user) || piece.user == nullptr)) {
      return kInvalidDescriptor;
    }
    if (out->next_in_record || out->append) {
      // Each chunk follows the one before it.
      piece.offset = static_cast<uint32_t>(relative);
      relative += piece.length;
      if (relative > std::numeric_limits<uint32_t>::max()) return kInvalidDescriptor;
    }
  }
  return kOk;
}

int ParseRectangle(ByteReader& r, ChunkRequest* out) {
  uint32_t rows = 0, first = 0, row_bytes = 0, row_distance = 0, memory_distance = 0;
  uint8_t* user = nullptr;
  if (!r.ReadU32(&rows) || !r.ReadU32(&first) || !r.ReadU32(&row_bytes) ||
      !r.ReadU32(&row_distance) || !ReadPointer(r, &user) || !r.ReadU32(&memory_distance)) {
    return kDataBufferTooShort;
  }
  if (rows == 0 || rows > kMaxChunkPieces) return kInvalidDescriptor;
  if (out->indirect && user == nullptr) return kInvalidDescriptor;
  const uint64_t base = out->next_in_record ? 0 : first;
  if (base + uint64_t{row_distance} * (rows - 1) > std::numeric_limits<uint32_t>::max()) {
    return kInvalidDescriptor;
  }
  out->pieces.resize(rows);
  for (uint32_t k = 0; k < rows; ++k) {
    ChunkPiece& piece = out->pieces[k];
    piece.offset = static_cast<uint32_t>(base + uint64_t{row_distance} * k);
    piece.length = row_bytes;
    if (out->indirect) {
      piece.user = reinterpret_cast<uint8_t*>(reinterpret_cast<uintptr_t>(user) +
                                              uintptr_t{memory_distance} * k);
    }
  }
  return kOk;
}

}  // namespace

int ParseChunkDescriptor(std::span<const uint8_t> bytes, bool update, ChunkRequest* out) {
  *out = ChunkRequest{};
  ByteReader r(bytes);
  uint32_t sub = 0;
  if (!r.ReadU32(&sub)) return kDataBufferTooShort;
  out->next_in_record = (sub & kChunkNextInRecord) != 0;
  out->append = (sub & kChunkAppend) != 0;
  const uint32_t form = sub & ~(kChunkNextInRecord | kChunkAppend);
  if (out->append && (!update || out->next_in_record)) return kInvalidDescriptor;
  int status = kOk;
  switch (form) {
    case kChunkRandom:
    case kChunkRandomIndirect:
      out->indirect = form == kChunkRandomIndirect;
      status = ParseRandom(r, out);
      break;
    case kChunkRectangle:
    case kChunkRectangleIndirect:
      if (out->append) return kInvalidDescriptor;
      out->indirect = form == kChunkRectangleIndirect;
      status = ParseRectangle(r, out);
      break;
    case kChunkTruncate:
      if (!update || out->append || out->next_in_record) return kInvalidDescriptor;
      out->truncate = true;
      if (!r.ReadU32(&out->truncate_at)) return kDataBufferTooShort;
      break;
    default:
      return kInvalidDescriptor;
  }
  if (status != kOk) return status;
  out->descriptor_size = r.Offset();
  if (!out->indirect) {
    for (const ChunkPiece& piece : out->pieces) out->direct_bytes += piece.length;
  }
  return kOk;
}

}  // namespace tavelnor::btrieve
