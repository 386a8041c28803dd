// The chunk operations: Get Direct/Chunk (23 with key number -2) reads byte
// ranges of a record, Update Chunk (53) writes them into the current record,
// growing or cutting its variable-length part. Descriptors: chunk_descriptor.h.
//
// Reads: a chunk that starts past the end of the record gives 103 and
// nothing; one that runs past the end delivers the bytes there are, and the
// chunks after it nothing, with status 0 (only the data length shows it).
// Writes: a chunk may start at the record's end (it appends) but not past it
// (103); a fixed-length record never changes length (103 for a chunk that
// would grow it); truncation keeps the fixed part whole (62 below it, 103
// past the end). Either way the intrarecord position moves to just after the
// last byte accessed, for the next-in-record forms.
#include <algorithm>
#include <cstring>

#include "btrieve/btrieve_codes.h"
#include "btrieve/chunk_descriptor.h"
#include "btrieve/engine.h"
#include "foundation/byte_reader.h"

namespace tavelnor::btrieve {

namespace {

// Records grow through Update Chunk up to this size (132 beyond).
constexpr uint64_t kMaxRecordBytes = uint64_t{256} << 20;

// Whether an indirect chunk's memory overlaps [begin, end).
bool Overlaps(const ChunkRequest& req, const uint8_t* begin, const uint8_t* end) {
  if (!req.indirect) return false;
  const auto lo = reinterpret_cast<uintptr_t>(begin);
  const auto hi = reinterpret_cast<uintptr_t>(end);
  for (const ChunkPiece& piece : req.pieces) {
    const auto p = reinterpret_cast<uintptr_t>(piece.user);
    if (piece.length > 0 && p < hi && p + piece.length > lo) return true;
  }
  return false;
}

// Where offsets of a relative request start; 106 without an intrarecord
// position on this record.
int StartOffset(const Cursor& cursor, const ChunkRequest& req, uint32_t pos, size_t size,
                uint64_t* base) {
  *base = 0;
  if (req.append) *base = size;
  if (req.next_in_record) {
    if (cursor.chunk_record != pos || cursor.chunk_record == 0) return kNoIntrarecordPosition;
    *base = cursor.chunk_offset;
  }
  return kOk;
}

uint64_t OffsetOf(const ChunkRequest& req, const ChunkPiece& piece, uint64_t base) {
  return (req.next_in_record || req.append) ? base + piece.offset : piece.offset;
}

void Remember(Cursor& cursor, uint32_t pos, uint64_t end) {
  cursor.chunk_record = pos;
  cursor.chunk_offset = static_cast<uint32_t>(std::min<uint64_t>(end, UINT32_MAX));
}

int WritePieces(Cursor& cursor, const ChunkRequest& req, const uint8_t* source, uint32_t pos,
                std::vector<uint8_t>* record, uint64_t* end) {
  const FileSpec& spec = cursor.data().spec();
  uint64_t base = 0;
  if (int st = StartOffset(cursor, req, pos, record->size(), &base); st != kOk) return st;
  *end = base;
  for (const ChunkPiece& piece : req.pieces) {
    const uint64_t offset = OffsetOf(req, piece, base);
    const uint64_t stop = offset + piece.length;
    if (offset > record->size()) return kChunkOffsetTooBig;
    if (!spec.variable_length() && stop > spec.record_length) return kChunkOffsetTooBig;
    if (stop > kMaxRecordBytes) return kFileSizeLimit;
    if (stop > record->size()) record->resize(stop);
    const uint8_t* from = req.indirect ? piece.user : source;
    if (piece.length > 0) std::memcpy(record->data() + offset, from, piece.length);
    if (!req.indirect) source += piece.length;
    *end = stop;
  }
  return kOk;
}

}  // namespace

int DoGetDirectChunk(Cursor& cursor, const Call& call) {
  if (call.data == nullptr || call.data_len == nullptr || *call.data_len < 8) {
    return kDataBufferTooShort;
  }
  const uint32_t capacity = *call.data_len;
  ChunkRequest req;
  if (int st = ParseChunkDescriptor({call.data + 4, capacity - 4}, false, &req); st != kOk) {
    return st;
  }
  if (Overlaps(req, call.data, call.data + 4 + req.descriptor_size)) return kInvalidDescriptor;
  if (req.direct_bytes > capacity) return kDataBufferTooShort;
  const uint32_t pos = LoadLE32(call.data);
  if (pos == 0) return kInvalidRecordAddress;
  std::vector<uint8_t> record;
  uint64_t stamp = 0;
  if (int st = cursor.data().Read(pos, &record, &stamp); st != kOk) return st;
  uint64_t base = 0;
  if (int st = StartOffset(cursor, req, pos, record.size(), &base); st != kOk) return st;

  // Plan first: nothing is delivered when a chunk starts past the end.
  struct Part {
    const ChunkPiece* piece;
    uint64_t offset;
    uint64_t bytes;
  };
  std::vector<Part> parts;
  uint64_t end = base;
  for (const ChunkPiece& piece : req.pieces) {
    const uint64_t offset = OffsetOf(req, piece, base);
    if (offset > record.size()) return kChunkOffsetTooBig;
    const uint64_t bytes = std::min<uint64_t>(piece.length, record.size() - offset);
    parts.push_back({&piece, offset, bytes});
    end = offset + bytes;
    if (bytes < piece.length) break;  // the record ends inside this chunk
  }
  std::vector<uint8_t> direct;
  uint64_t delivered = 0;
  for (const Part& part : parts) {
    const uint8_t* from = record.data() + part.offset;
    if (req.indirect) {
      if (part.bytes > 0) std::memcpy(part.piece->user, from, part.bytes);
    } else {
      direct.insert(direct.end(), from, from + part.bytes);
    }
    delivered += part.bytes;
  }
  if (!direct.empty()) std::memcpy(call.data, direct.data(), direct.size());
  *call.data_len = static_cast<uint32_t>(delivered);
  // The record becomes physically current; the key path stays where it was.
  cursor.SetPhysical(pos, stamp);
  cursor.after_extended = false;
  Remember(cursor, pos, end);
  return kOk;
}

int DoUpdateChunk(Cursor& cursor, const Call& call) {
  if (cursor.read_only) return kAccessDenied;
  if (cursor.physical != Cursor::Physical::kOn || cursor.collapsed || cursor.after_extended) {
    return kInvalidPositioning;
  }
  if (call.data == nullptr || call.data_len == nullptr || *call.data_len < 4) {
    return kDataBufferTooShort;
  }
  ChunkRequest req;
  if (int st = ParseChunkDescriptor({call.data, *call.data_len}, true, &req); st != kOk) {
    return st;
  }
  if (Overlaps(req, call.data, call.data + req.descriptor_size)) return kInvalidDescriptor;
  if (req.descriptor_size + req.direct_bytes > *call.data_len) return kDataBufferTooShort;
  DataFile& data = cursor.data();
  const uint32_t pos = cursor.physical_pos;
  std::vector<uint8_t> record;
  if (int st = data.Read(pos, &record); st != kOk) {
    return st == kInvalidRecordAddress ? kConflict : st;  // another client deleted it
  }
  uint64_t end = 0;
  if (req.truncate) {
    if (req.truncate_at < data.spec().record_length) return kInvalidDescriptor;
    if (req.truncate_at > record.size()) return kChunkOffsetTooBig;
    record.resize(req.truncate_at);
    end = req.truncate_at;
  } else if (int st = WritePieces(cursor, req, call.data + req.descriptor_size, pos, &record, &end);
             st != kOk) {
    return st;
  }
  // Is the logical record this one? Then it follows its new key value.
  Entry before;
  const bool logical_here = cursor.logical_key >= 0 &&
                            data.EntryOf(cursor.logical_key, pos, &before) == kOk &&
                            before.k == cursor.logical_entry;
  WriteResult written;
  written.key = logical_here ? cursor.logical_key : -1;
  int st = data.Update(pos, record, cursor.physical_stamp, &written);
  if (st != kOk) return st;
  cursor.physical_stamp = written.stamp;
  if (logical_here) {
    if (written.indexed) {
      cursor.logical_entry = std::move(written.entry);
    } else {
      cursor.DropLogical();  // the key became null: the record left the path
    }
  }
  Remember(cursor, pos, end);
  if (data.spec().FindKey(call.key_num) != nullptr)
    (void)ReturnKey(cursor, call, call.key_num, record);
  return kOk;
}

}  // namespace tavelnor::btrieve
