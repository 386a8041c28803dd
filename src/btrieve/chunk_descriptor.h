// Chunk descriptors: which byte ranges of a record Get Direct/Chunk (23 with
// key number -2) reads and Update Chunk (53) writes.
//
// Get Direct/Chunk: data bytes 0-3 hold the record's address and the
// descriptor follows at 4. Update Chunk: the descriptor starts at 0 and, with
// the direct forms, the new bytes follow it back to back. Offsets count from
// the start of the record (fixed part included). Little-endian; P is the size
// of a pointer in this process (4 in 32-bit builds, 8 in 64-bit ones):
//
//   off   size  field
//   0     4     subfunction: 0x80000000 random direct, 0x80000001 random
//               indirect, 0x80000002 rectangle direct, 0x80000003 rectangle
//               indirect, 0x80000004 truncate (Update Chunk only); plus
//               0x40000000 next in record (offsets ignored: start where the
//               last chunk operation on this record stopped) or, Update Chunk
//               random forms only, 0x20000000 append (start at the record's end)
//   random:
//   4     4     number of chunks, at least 1
//   8     8|8+P per chunk: offset (4), length (4), user pointer (P, indirect only)
//   rectangle:
//   4     4     number of rows, at least 1
//   8     4     offset of the first row
//   12    4     bytes per row
//   16    4     distance between rows in the record
//   20    P     user pointer (indirect; ignored by the direct form)
//   20+P  4     distance between rows in memory (indirect)
//   truncate:
//   4     4     offset: the record ends just before this byte
//
// Direct forms carry the bytes in the data buffer (back to back, from offset
// 0 on reads); indirect forms read from or write to the user pointers, row k
// of a rectangle at pointer + k * memory distance. Indirect forms trust the
// caller's pointers, as the call interface does in-process; a pointer range
// that overlaps the descriptor itself is refused (62).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace tavelnor::btrieve {

inline constexpr uint32_t kChunkRandom = 0x80000000u;
inline constexpr uint32_t kChunkRandomIndirect = 0x80000001u;
inline constexpr uint32_t kChunkRectangle = 0x80000002u;
inline constexpr uint32_t kChunkRectangleIndirect = 0x80000003u;
inline constexpr uint32_t kChunkTruncate = 0x80000004u;
inline constexpr uint32_t kChunkNextInRecord = 0x40000000u;
inline constexpr uint32_t kChunkAppend = 0x20000000u;

// At most this many chunks (or rectangle rows) in one call.
inline constexpr uint32_t kMaxChunkPieces = 65535;

// One byte range. For relative requests `offset` counts from the starting
// point (the intrarecord position or the record's end) instead of from the
// start of the record.
struct ChunkPiece {
  uint32_t offset = 0;
  uint32_t length = 0;
  uint8_t* user = nullptr;  // indirect forms: where the bytes come from or go
};

struct ChunkRequest {
  bool truncate = false;
  uint32_t truncate_at = 0;
  bool next_in_record = false;
  bool append = false;
  bool indirect = false;
  std::vector<ChunkPiece> pieces;  // in order; rectangles give one per row
  size_t descriptor_size = 0;      // bytes the descriptor took
  uint64_t direct_bytes = 0;       // sum of the lengths of the direct pieces
};

// Parses the descriptor at the start of `bytes`. `update` admits the forms
// only Update Chunk knows (truncate, append). Returns 0, 22 when `bytes` ends
// inside the descriptor, 62 for a malformed one.
int ParseChunkDescriptor(std::span<const uint8_t> bytes, bool update, ChunkRequest* out);

}  // namespace tavelnor::btrieve
