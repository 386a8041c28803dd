// Chunk reads and writes (Get Direct/Chunk, Update Chunk) against a byte
// array model, the access layer's pattern for variable-length parts, plain
// reads of variable-length records, and the statuses of bad descriptors.
#include <random>

#include "chunk_fixture.h"

namespace tavelnor::btrieve::testing {
namespace {

TEST_F(VarFile, ChunkOperationsFollowAByteArrayModel) {
  std::vector<uint8_t> model = Rec(1, "aa", 1);
  const std::vector<uint8_t> start = Pattern(100, 3);
  model.insert(model.end(), start.begin(), start.end());
  const uint32_t pos = InsertVar(1, start, "aa");  // physically current from here on
  std::mt19937 rng(2024);
  for (int step = 0; step < 400; ++step) {
    const uint32_t size = static_cast<uint32_t>(model.size());
    const uint32_t len = rng() % 300;
    const uint32_t at =
        kRecLen + rng() % (size - kRecLen + 1);  // in the variable part or at its end
    const std::vector<uint8_t> bytes = Pattern(len, static_cast<uint8_t>(step));
    switch (rng() % 5) {
      case 0:  // write
        ASSERT_EQ(PutChunk(Desc::Random({{at, len}}).Bytes(bytes)), 0) << step;
        if (at + len > model.size()) model.resize(at + len);
        std::copy(bytes.begin(), bytes.end(), model.begin() + at);
        break;
      case 1: {  // append, in two chunks
        const std::vector<uint8_t> tail = Pattern(5, 9);
        ASSERT_EQ(PutChunk(Desc::Random({{0, len}, {0, 5}}, kChunkRandom | kChunkAppend)
                               .Bytes(bytes)
                               .Bytes(tail)),
                  0);
        model.insert(model.end(), bytes.begin(), bytes.end());
        model.insert(model.end(), tail.begin(), tail.end());
        break;
      }
      case 2:  // cut
        ASSERT_EQ(Truncate(at), 0);
        model.resize(at);
        break;
      case 3: {  // an empty read sets the intrarecord position; the write goes on from there
        std::vector<uint8_t> none;
        ASSERT_EQ(GetChunk(pos, Desc::Random({{at, 0}}), &none), 0);
        EXPECT_TRUE(none.empty());
        ASSERT_EQ(
            PutChunk(Desc::Random({{999, len}}, kChunkRandom | kChunkNextInRecord).Bytes(bytes)),
            0);
        if (at + len > model.size()) model.resize(at + len);
        std::copy(bytes.begin(), bytes.end(), model.begin() + at);
        break;
      }
      default: {  // read two chunks, the second possibly running past the end
        const uint32_t a = rng() % size;
        const uint32_t b = rng() % (size + 50);
        std::vector<uint8_t> got;
        int16_t st = GetChunk(pos, Desc::Random({{a, len}, {b, len}}), &got, 4096);
        std::vector<uint8_t> want(model.begin() + a, model.begin() + std::min(a + len, size));
        if (a + len <= size) {
          if (b > size) {
            EXPECT_EQ(st, kChunkOffsetTooBig) << step;
            break;
          }
          want.insert(want.end(), model.begin() + b, model.begin() + std::min(b + len, size));
        }
        ASSERT_EQ(st, 0) << step;
        EXPECT_EQ(got, want) << step;
        break;
      }
    }
    ASSERT_EQ(Whole(pos), model) << "step " << step;
  }
}

TEST_F(VarFile, RectanglesReadAndWriteRowsAtADistance) {
  const uint32_t pos = InsertVar(2, Pattern(200, 0));
  Reach(pos);
  // Three rows of 4 bytes, 10 apart, starting at 40: direct form.
  Desc put;
  put.U32(kChunkRectangle).U32(3).U32(40).U32(4).U32(10).Ptr(nullptr).U32(0);
  put.Bytes({1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3});
  ASSERT_EQ(PutChunk(put), 0);
  std::vector<uint8_t> model = Whole(pos);
  EXPECT_EQ(model[40], 1);
  EXPECT_EQ(model[53], 2);
  EXPECT_EQ(model[63], 3);
  EXPECT_EQ(model[44], Pattern(200, 0)[44 - kRecLen]);
  // Indirect form: rows land 8 bytes apart in the caller's memory.
  std::vector<uint8_t> memory(24, 0xEE);
  Desc get;
  get.U32(kChunkRectangleIndirect).U32(3).U32(40).U32(4).U32(10).Ptr(memory.data()).U32(8);
  std::vector<uint8_t> direct;
  ASSERT_EQ(GetChunk(pos, get, &direct), 0);
  EXPECT_EQ(direct.size(), 12u);  // the data length counts indirect bytes too
  EXPECT_EQ(memory, (std::vector<uint8_t>{1, 1, 1, 1, 0xEE, 0xEE, 0xEE, 0xEE,
                                          2, 2, 2, 2, 0xEE, 0xEE, 0xEE, 0xEE,
                                          3, 3, 3, 3, 0xEE, 0xEE, 0xEE, 0xEE}));
}

TEST_F(VarFile, UpdateChunkKeepsIndexesAndKeyBufferInStep) {
  const uint32_t pos = InsertVar(5, Pattern(20, 0), "bb");
  InsertVar(6, Pattern(20, 0), "cc");
  EXPECT_EQ(GetBy(kOpGetEqual, 1, NameKey("bb")), 5);
  // Rename "bb" to "zz" through a chunk over the key bytes.
  ASSERT_EQ(PutChunk(Desc::Random({{4, 2}}).Bytes({'z', 'z'}), 1), 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(b_.key), 4), "zz  ");
  EXPECT_EQ(GetBy(kOpGetEqual, 1, NameKey("bb")), -1000 - kKeyNotFound);
  EXPECT_EQ(GetBy(kOpGetEqual, 1, NameKey("zz")), 5);
  EXPECT_EQ(ReadId(kOpGetPrevious, 1), 6);  // its neighbours are those of the new value
  Reach(pos);
  // A changed non-modifiable key and a duplicate unique key leave the record alone.
  EXPECT_EQ(PutChunk(Desc::Random({{8, 1}}).Bytes({99})), kModifiableKeyChanged);
  EXPECT_EQ(PutChunk(Desc::Random({{0, 1}}).Bytes({6})), kDuplicateKey);
  EXPECT_EQ(IdOf(Whole(pos)), 5);
}

TEST_F(VarFile, PlainReadsReturnWhatFitsOfTheVariablePart) {
  const std::vector<uint8_t> var = Pattern(50, 4);
  InsertVar(1, var);
  std::vector<uint8_t> buf(kRecLen + 20, 0xEE);
  b_.len = static_cast<uint32_t>(buf.size());
  b_.SetKey(IntKey(1).data(), 4);
  EXPECT_EQ(b_.Call(kOpGetEqual, buf.data(), &b_.len, 0), kDataBufferTooShort);
  EXPECT_EQ(b_.len, kRecLen + 20);
  EXPECT_EQ(std::vector<uint8_t>(buf.begin() + kRecLen, buf.end()),
            std::vector<uint8_t>(var.begin(), var.begin() + 20));
  // Shorter than the fixed part: nothing at all.
  std::vector<uint8_t> small(kRecLen - 1, 0xEE);
  b_.len = static_cast<uint32_t>(small.size());
  EXPECT_EQ(b_.Call(kOpStepFirst, small.data(), &b_.len, 0), kDataBufferTooShort);
  EXPECT_EQ(small, std::vector<uint8_t>(kRecLen - 1, 0xEE));
  EXPECT_EQ(b_.len, 0u);
  std::vector<uint8_t> whole;
  ASSERT_EQ(b_.Read(kOpStepFirst, &whole, 0, 4096), 0);
  EXPECT_EQ(whole.size(), kRecLen + var.size());
}

// ------------------------------------------------------------------ statuses

TEST_F(VarFile, ChunksRunningPastTheEndStopQuietly) {
  const uint32_t pos = InsertVar(1, Pattern(8, 0));  // 40 bytes in all
  std::vector<uint8_t> got;
  ASSERT_EQ(GetChunk(pos, Desc::Random({{36, 10}, {0, 4}}), &got), 0);
  EXPECT_EQ(got.size(), 4u);  // 4 bytes of the first chunk, none of the second
  ASSERT_EQ(GetChunk(pos, Desc::Random({{40, 10}}), &got), 0);
  EXPECT_TRUE(got.empty());
  EXPECT_EQ(GetChunk(pos, Desc::Random({{41, 1}}), &got), kChunkOffsetTooBig);
  EXPECT_EQ(GetChunk(pos, Desc::Random({{0, 4}, {41, 1}}), &got), kChunkOffsetTooBig);
}

TEST_F(VarFile, BadChunkReadsAreRefused) {
  const uint32_t pos = InsertVar(1, Pattern(8, 0));
  std::vector<uint8_t> got;
  uint8_t buf[64] = {};
  struct Case {
    const char* name;
    Desc desc;
    int16_t status;
  } cases[] = {
      {"no chunk", Desc::Random({}), kInvalidDescriptor},
      {"unknown form", Desc().U32(0x80000007).U32(1).U32(0).U32(1), kInvalidDescriptor},
      {"form without high bit", Desc().U32(0).U32(1).U32(0).U32(1), kInvalidDescriptor},
      {"truncate is for updates", Desc().U32(kChunkTruncate).U32(32), kInvalidDescriptor},
      {"append is for updates", Desc::Random({{0, 1}}, kChunkRandom | kChunkAppend),
       kInvalidDescriptor},
      {"count past the buffer", Desc().U32(kChunkRandom).U32(3).U32(0).U32(1), kDataBufferTooShort},
      {"cut descriptor", Desc().U32(kChunkRandom), kDataBufferTooShort},
      {"zero rows", Desc().U32(kChunkRectangle).U32(0).U32(0).U32(1).U32(1).Ptr(nullptr).U32(0),
       kInvalidDescriptor},
      {"null user pointer", Desc().U32(kChunkRandomIndirect).U32(1).U32(0).U32(4).Ptr(nullptr),
       kInvalidDescriptor},
      {"too many chunks", Desc().U32(kChunkRandom).U32(70000), kInvalidDescriptor},
      {"indirect into other memory", Desc().U32(kChunkRandomIndirect).U32(1).U32(0).U32(4).Ptr(buf),
       kOk},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GetChunk(pos, c.desc, &got), c.status) << c.name;
  }
  // Indirect memory overlapping the descriptor itself.
  std::vector<uint8_t> call(64, 0);
  call[0] = static_cast<uint8_t>(pos);
  call[1] = static_cast<uint8_t>(pos >> 8);
  Desc self;
  self.U32(kChunkRandomIndirect).U32(1).U32(0).U32(8).Ptr(call.data() + 6);
  std::memcpy(call.data() + 4, self.bytes.data(), self.bytes.size());
  b_.len = 64;
  EXPECT_EQ(b_.Call(kOpGetDirect, call.data(), &b_.len, -2), kInvalidDescriptor);
  // A buffer too short for the bytes asked, a missing buffer, a bad address.
  EXPECT_EQ(GetChunk(pos, Desc::Random({{0, 40}}), &got, 30), kDataBufferTooShort);
  b_.len = 4;
  EXPECT_EQ(b_.Call(kOpGetDirect, buf, &b_.len, -2), kDataBufferTooShort);
  EXPECT_EQ(b_.Call(kOpGetDirect, nullptr, nullptr, -2), kDataBufferTooShort);
  EXPECT_EQ(GetChunk(pos + 100, Desc::Random({{0, 4}}), &got), kInvalidRecordAddress);
  EXPECT_EQ(GetChunk(0, Desc::Random({{0, 4}}), &got), kInvalidRecordAddress);
}

TEST_F(VarFile, BadChunkWritesLeaveTheRecordAlone) {
  const uint32_t pos = InsertVar(1, Pattern(8, 0));  // 40 bytes
  const std::vector<uint8_t> before = Whole(pos);
  Reach(pos);
  struct Case {
    const char* name;
    Desc desc;
    int16_t status;
  } cases[] = {
      {"start past the end", Desc::Random({{41, 1}}).Bytes({1}), kChunkOffsetTooBig},
      {"second start past the end", Desc::Random({{40, 1}, {42, 1}}).Bytes({1, 2}),
       kChunkOffsetTooBig},
      {"bytes missing", Desc::Random({{0, 4}}).Bytes({1, 2}), kDataBufferTooShort},
      {"truncate inside the fixed part", Desc().U32(kChunkTruncate).U32(kRecLen - 1),
       kInvalidDescriptor},
      {"truncate past the end", Desc().U32(kChunkTruncate).U32(41), kChunkOffsetTooBig},
      {"append with next in record",
       Desc::Random({{0, 1}}, kChunkRandom | kChunkAppend | kChunkNextInRecord).Bytes({1}),
       kInvalidDescriptor},
      {"append to a rectangle",
       Desc().U32(kChunkRectangle | kChunkAppend).U32(1).U32(0).U32(1).U32(1).Ptr(nullptr).U32(0),
       kInvalidDescriptor},
      {"undocumented bits", Desc().U32(kChunkRandom | 0x00800000).U32(1).U32(0).U32(1),
       kInvalidDescriptor},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PutChunk(c.desc), c.status) << c.name;
  }
  EXPECT_EQ(Whole(pos), before);
  uint32_t zero = 0;
  EXPECT_EQ(b_.Call(kOpUpdateChunk, nullptr, &zero, 0), kDataBufferTooShort);
}

TEST_F(RecordFile, FixedLengthRecordsNeverChangeLength) {
  Insert(1, "aa", 1);
  ASSERT_EQ(ReadId(kOpGetFirst, 0), 1);
  auto put = [this](const Desc& d) {
    std::vector<uint8_t> buf = d.bytes;
    b_.len = static_cast<uint32_t>(buf.size());
    return b_.Call(kOpUpdateChunk, buf.data(), &b_.len, 0);
  };
  EXPECT_EQ(put(Desc::Random({{kRecLen - 2, 4}}).Bytes({1, 2, 3, 4})), kChunkOffsetTooBig);
  EXPECT_EQ(put(Desc().U32(kChunkTruncate).U32(kRecLen - 4)), kInvalidDescriptor);
  EXPECT_EQ(put(Desc().U32(kChunkTruncate).U32(kRecLen)), 0);
  ASSERT_EQ(put(Desc::Random({{kRecLen - 2, 2}}).Bytes({0xAB, 0xCD})), 0);
  std::vector<uint8_t> r;
  ASSERT_EQ(b_.Read(kOpGetFirst, &r, 0), 0);
  ASSERT_EQ(r.size(), kRecLen);
  EXPECT_EQ(r[kRecLen - 1], 0xCD);
}

}  // namespace
}  // namespace tavelnor::btrieve::testing
