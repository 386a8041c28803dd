// A variable-length data file for the chunk tests, and the descriptors of
// Get Direct/Chunk and Update Chunk built as a caller lays them out:
//   key 0  id    INTEGER 4 at 1, unique, modifiable
//   key 1  name  STRING 4 at 5, duplicates, modifiable
//   key 2  code  INTEGER 2 at 9, unique, not modifiable
// The fixed part is 32 bytes (record_fixture.h's records); what follows is
// the variable part.
#pragma once

#include "btrieve/chunk_descriptor.h"
#include "record_fixture.h"

namespace tavelnor::btrieve::testing {

// Little-endian byte image of a descriptor.
struct Desc {
  std::vector<uint8_t> bytes;

  Desc& U32(uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
    return *this;
  }
  Desc& Ptr(const void* p) {
    auto v = reinterpret_cast<uintptr_t>(p);
    for (size_t i = 0; i < sizeof v; ++i) bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
    return *this;
  }
  Desc& Bytes(const std::vector<uint8_t>& b) {
    bytes.insert(bytes.end(), b.begin(), b.end());
    return *this;
  }
  // Random chunks, direct form: (offset, length) pairs.
  static Desc Random(const std::vector<std::pair<uint32_t, uint32_t>>& chunks,
                     uint32_t sub = kChunkRandom) {
    Desc d;
    d.U32(sub).U32(static_cast<uint32_t>(chunks.size()));
    for (auto [offset, length] : chunks) d.U32(offset).U32(length);
    return d;
  }
};

inline std::vector<uint8_t> Pattern(size_t n, uint8_t seed) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(seed + i * 7 + (i >> 8));
  return v;
}

class VarFile : public RecordFile {
 protected:
  void SetUp() override {
    path_ = dir_.File("var.btr");
    ASSERT_EQ(b_.Create(path_, ThreeKeySpec(kFileVarRecs)), 0);
    ASSERT_EQ(b_.Open(path_), 0);
  }

  // Inserts a record with a variable part; returns its position.
  uint32_t InsertVar(int32_t id, const std::vector<uint8_t>& var, const std::string& name = "nn") {
    auto r = Rec(id, name, static_cast<int16_t>(id));
    r.insert(r.end(), var.begin(), var.end());
    EXPECT_EQ(b_.Write(kOpInsert, r, 0), 0);
    return b_.Position();
  }
  // The whole record at `pos`, read by Get Direct/Record without key path.
  std::vector<uint8_t> Whole(uint32_t pos) {
    std::vector<uint8_t> r(70000);
    for (int i = 0; i < 4; ++i) r[i] = static_cast<uint8_t>(pos >> (8 * i));
    b_.len = static_cast<uint32_t>(r.size());
    EXPECT_EQ(b_.Call(kOpGetDirect, r.data(), &b_.len, -1), 0);
    r.resize(b_.len);
    return r;
  }
  // Get Direct/Chunk on `pos` with `desc`; `out` gets the bytes returned
  // (capacity: `capacity`, at least the request).
  int16_t GetChunk(uint32_t pos, const Desc& desc, std::vector<uint8_t>* out, size_t capacity = 0) {
    std::vector<uint8_t> buf(std::max(capacity, desc.bytes.size() + 4));
    for (int i = 0; i < 4; ++i) buf[i] = static_cast<uint8_t>(pos >> (8 * i));
    std::memcpy(buf.data() + 4, desc.bytes.data(), desc.bytes.size());
    b_.len = static_cast<uint32_t>(capacity ? capacity : buf.size());
    int16_t st = b_.Call(kOpGetDirect, buf.data(), &b_.len, -2);
    if (st == 0) out->assign(buf.begin(), buf.begin() + b_.len);
    return st;
  }
  // Update Chunk with `desc` (and, for direct forms, the bytes after it).
  int16_t PutChunk(const Desc& desc, int key_num = 0) {
    std::vector<uint8_t> buf = desc.bytes;
    b_.len = static_cast<uint32_t>(buf.size());
    return b_.Call(kOpUpdateChunk, buf.data(), &b_.len, key_num);
  }
  int16_t Truncate(uint32_t at) { return PutChunk(Desc().U32(kChunkTruncate).U32(at)); }
  // Makes `pos` physically current.
  void Reach(uint32_t pos) {
    std::vector<uint8_t> ignored;
    ASSERT_EQ(GetChunk(pos, Desc::Random({{0, 1}}), &ignored), 0);
  }
};

}  // namespace tavelnor::btrieve::testing
