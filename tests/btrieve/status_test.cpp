// Statuses for bad input: position blocks, buffers, key numbers, operations,
// duplicates, read-only and exclusive opens, owner names, clients.
#include <random>

#include "record_fixture.h"

namespace tavelnor::btrieve::testing {
namespace {

using BadInput = RecordFile;

TEST_F(BadInput, GarbledOrClosedPositionBlocksAreNotOpen) {
  Insert(1, "aa", 1);
  std::vector<uint8_t> data(kRecLen);
  uint32_t len = kRecLen;
  uint8_t key[255] = {};
  auto call = [&](uint8_t* block, int op) {
    len = kRecLen;
    return BTRCALL(static_cast<uint16_t>(op), block, data.data(), &len, key, 255, 0);
  };
  const int ops[] = {kOpClose, kOpInsert,      kOpUpdate,    kOpDelete,   kOpGetFirst, kOpGetNext,
                     kOpStat,  kOpGetPosition, kOpGetDirect, kOpStepNext, kOpStepLast};
  std::mt19937 rng(7);
  std::vector<std::vector<uint8_t>> blocks;
  blocks.emplace_back(128, 0);  // never opened
  for (int i = 0; i < 20; ++i) {
    std::vector<uint8_t> garbage(128);
    for (auto& byte : garbage) byte = static_cast<uint8_t>(rng());
    blocks.push_back(garbage);
  }
  for (size_t at : {0u, 8u, 12u, 16u, 23u}) {  // one flipped byte of an open block
    std::vector<uint8_t> flipped(b_.pos, b_.pos + 128);
    flipped[at] ^= 0x01;
    blocks.push_back(flipped);
  }
  for (auto& block : blocks) {
    for (int op : ops) EXPECT_EQ(call(block.data(), op), kFileNotOpen) << "op " << op;
  }
  EXPECT_EQ(call(nullptr, kOpGetFirst), kFileNotOpen);
  // The block itself still works, until it is closed.
  EXPECT_EQ(call(b_.pos, kOpGetFirst), 0);
  std::vector<uint8_t> copy(b_.pos, b_.pos + 128);
  EXPECT_EQ(b_.Close(), 0);
  EXPECT_EQ(call(b_.pos, kOpGetFirst), kFileNotOpen);
  EXPECT_EQ(call(copy.data(), kOpGetFirst), kFileNotOpen);
  EXPECT_EQ(b_.Close(), kFileNotOpen);
}

TEST_F(BadInput, KeyNumbersOutsideTheFileAreRejected) {
  Insert(1, "aa", 1);
  std::vector<uint8_t> data(kRecLen);
  for (int key : {3, 7, 118, 125, -3}) {
    b_.len = kRecLen;
    EXPECT_EQ(b_.Call(kOpGetFirst, data.data(), &b_.len, key), kInvalidKeyNumber) << key;
    b_.len = kRecLen;
    EXPECT_EQ(b_.Call(kOpGetEqual + kGetKeyBias, data.data(), &b_.len, key), kInvalidKeyNumber);
    auto r = Rec(2, "bb", 2);
    EXPECT_EQ(b_.Write(kOpInsert, r, key), kInvalidKeyNumber) << key;
  }
  b_.len = 1920;
  std::vector<uint8_t> stat(1920);
  EXPECT_EQ(b_.Call(kOpStat, stat.data(), &b_.len, 3), kInvalidKeyNumber);
  EXPECT_EQ(Count(), 1u);
}

TEST_F(BadInput, ShortDataBuffersAreNeverOverrun) {
  Insert(1, "aa", 1);
  std::vector<uint8_t> data(kRecLen + 8, 0xCC);
  b_.len = kRecLen - 1;
  EXPECT_EQ(b_.Call(kOpGetFirst, data.data(), &b_.len, 0), kDataBufferTooShort);
  EXPECT_EQ(data, std::vector<uint8_t>(kRecLen + 8, 0xCC));
  EXPECT_EQ(b_.len, 0u);  // a fixed-length record is not cut: nothing delivered
  EXPECT_EQ(b_.Call(kOpStepFirst, data.data(), nullptr, 0), kDataBufferTooShort);
  EXPECT_EQ(b_.Call(kOpGetFirst, nullptr, nullptr, 0), kDataBufferTooShort);

  auto small = Rec(2, "bb", 2);
  b_.len = kRecLen - 1;
  EXPECT_EQ(b_.Call(kOpInsert, small.data(), &b_.len, 0), kDataBufferTooShort);
  EXPECT_EQ(b_.Call(kOpInsert, nullptr, nullptr, 0), kDataBufferTooShort);
  EXPECT_EQ(Count(), 1u);

  uint8_t tiny[8];
  for (int op : {kOpStat, kOpVersion, kOpGetPosition, kOpGetDirect}) {
    b_.len = op == kOpStat ? 8 : 3;
    EXPECT_EQ(b_.Call(op, tiny, &b_.len, 0), kDataBufferTooShort) << op;
  }
}

TEST_F(BadInput, FailedReadsDeliverNothing) {
  Insert(1, "aa", 1);
  Insert(2, "bb", 2);
  const uint32_t first = [&] {
    EXPECT_EQ(ReadId(kOpGetFirst, 0), 1);
    return b_.Position();
  }();
  struct Case {
    const char* what;
    int op;
    int key_num;
    uint32_t capacity;
    std::function<void(std::vector<uint8_t>&)> prepare;
    int16_t status;
    uint32_t length;  // returned
  } cases[] = {
      {"Get Equal of an absent value", kOpGetEqual, 0, 64,
       [&](auto&) { b_.SetKey(IntKey(7).data(), 4); }, kKeyNotFound, 0},
      {"Get Next past the last", kOpGetNext, 0, 64,
       [&](auto&) { ASSERT_EQ(ReadId(kOpGetLast, 0), 2); }, kEndOfFile, 0},
      {"Step Previous before the first", kOpStepPrevious, 0, 64,
       [&](auto&) { ASSERT_EQ(ReadId(kOpStepFirst, 0), 1); }, kEndOfFile, 0},
      {"Get First on a key the file lacks", kOpGetFirst, 5, 64, [](auto&) {}, kInvalidKeyNumber, 0},
      {"Get Direct of a bad address", kOpGetDirect, 0, 64,
       [](auto& d) { d[0] = d[1] = d[2] = d[3] = 0xFF; }, kInvalidRecordAddress, 0},
      {"Get By Percentage above 10,000", kOpGetByPercentage, 0, 64,
       [](auto& d) { d[0] = 0x11, d[1] = 0x27, d[2] = d[3] = 0; }, kInvalidRecordAddress, 0},
      // Get Direct/Record sets currency on 22: callers repositioning through
      // a 4-byte buffer read back their length.
      {"Get Direct into 4 bytes", kOpGetDirect, 0, 4,
       [&](auto& d) { std::memcpy(d.data(), &first, 4); }, kDataBufferTooShort, 4},
  };
  for (Case& c : cases) {
    std::vector<uint8_t> data(80, 0xCC);
    c.prepare(data);
    const std::vector<uint8_t> sent = data;
    b_.len = c.capacity;
    EXPECT_EQ(b_.Call(c.op, data.data(), &b_.len, c.key_num), c.status) << c.what;
    EXPECT_EQ(b_.len, c.length) << c.what;
    EXPECT_EQ(data, sent) << c.what;
  }
}

TEST_F(BadInput, DuplicatesOnUniqueKeysChangeNothing) {
  Insert(1, "aa", 1);
  Insert(2, "aa", 2);
  auto dup_id = Rec(1, "zz", 3);
  EXPECT_EQ(b_.Write(kOpInsert, dup_id, 0), kDuplicateKey);
  auto dup_code = Rec(3, "zz", 2);
  EXPECT_EQ(b_.Write(kOpInsert, dup_code, 0), kDuplicateKey);
  EXPECT_EQ(Count(), 2u);
  b_.SetKey(IntKey(2).data(), 4);
  std::vector<uint8_t> r;
  ASSERT_EQ(b_.Read(kOpGetEqual, &r, 0), 0);
  auto clash = Rec(1, "aa", 2);
  EXPECT_EQ(b_.Write(kOpUpdate, clash, 0), kDuplicateKey);
  auto frozen = Rec(2, "aa", 9);
  EXPECT_EQ(b_.Write(kOpUpdate, frozen, 0), kModifiableKeyChanged);
  ASSERT_EQ(b_.Read(kOpGetEqual, &r, 0), 0);
  EXPECT_EQ(r, Rec(2, "aa", 2));
  // A failed write leaves the indexes as they were.
  b_.SetKey(NameKey("aa").data(), 4);
  ASSERT_EQ(b_.Read(kOpGetEqual, &r, 1), 0);
  EXPECT_EQ(IdOf(r), 1);
  ASSERT_EQ(b_.Read(kOpGetNext, &r, 1), 0);
  EXPECT_EQ(IdOf(r), 2);
  EXPECT_EQ(b_.Read(kOpGetNext, &r, 1), kEndOfFile);
}

TEST_F(BadInput, ReadOnlyOpenRefusesEveryChange) {
  Insert(1, "aa", 1);
  Block ro;
  ASSERT_EQ(ro.Open(path_, -2), 0);
  auto r = Rec(2, "bb", 2);
  EXPECT_EQ(ro.Write(kOpInsert, r, 0), kAccessDenied);
  std::vector<uint8_t> got;
  ASSERT_EQ(ro.Read(kOpGetFirst, &got, 0), 0);
  EXPECT_EQ(ro.Write(kOpUpdate, r, 0), kAccessDenied);
  EXPECT_EQ(ro.Call(kOpDelete, nullptr, &ro.len, 0), kAccessDenied);
  char owner[] = "secret";
  ro.SetKey(owner, sizeof owner);
  ro.len = sizeof owner;
  EXPECT_EQ(ro.Call(kOpSetOwner, owner, &ro.len, 0), kAccessDenied);
  auto index = MakeSpec(kRecLen, {{{11, 2, kKeyDup, kTypeInteger}}});
  ro.len = static_cast<uint32_t>(index.size() - 16);
  EXPECT_EQ(ro.Call(kOpCreateIndex, index.data() + 16, &ro.len, 0), kAccessDenied);
  ro.len = 0;
  EXPECT_EQ(ro.Call(kOpDropIndex, nullptr, &ro.len, 1), kAccessDenied);
  EXPECT_EQ(ro.Close(), 0);
  EXPECT_EQ(Count(), 1u);
  EXPECT_EQ(b_.Stat()[4], 3);  // no key was added or dropped
  ASSERT_EQ(b_.Close(), 0);
  EXPECT_EQ(b_.Open(path_), 0);  // and no owner was set
}

TEST_F(BadInput, ExclusiveOpenExcludesEveryOtherOpen) {
  Block other;
  EXPECT_EQ(other.Open(path_, -4), kIncompatibleMode);
  ASSERT_EQ(b_.Close(), 0);
  ASSERT_EQ(other.Open(path_, -4), 0);
  EXPECT_EQ(b_.Open(path_), kIncompatibleMode);
  EXPECT_EQ(b_.Open(dir_.File("./data.btr")), kIncompatibleMode);  // another spelling
  EXPECT_EQ(b_.Open(path_, -2), kIncompatibleMode);
  ASSERT_EQ(other.Close(), 0);
  EXPECT_EQ(b_.Open(path_, -64), 0);  // sharing biases are accepted
  EXPECT_EQ(other.Open(path_, 5), kInvalidOperation);
}

TEST_F(BadInput, ResetClosesTheFilesOfOneClient) {
  uint8_t client_a[16] = {}, client_b[16] = {};
  client_a[12] = 'A', client_a[13] = 'A', client_a[15] = 1;
  client_b[12] = 'A', client_b[13] = 'B', client_b[15] = 2;
  uint8_t pa[128] = {}, pb[128] = {}, key[255] = {};
  std::memcpy(key, path_.c_str(), path_.size() + 1);
  uint32_t len = 0;
  ASSERT_EQ(BTRCALLID(kOpOpen, pa, nullptr, &len, key, 255, 0, client_a), 0);
  ASSERT_EQ(BTRCALLID(kOpOpen, pb, nullptr, &len, key, 255, 0, client_b), 0);
  std::vector<uint8_t> stat(1920);
  len = 1920;
  EXPECT_EQ(BTRCALLID(kOpStat, pa, stat.data(), &len, key, 255, 0, client_b), kFileNotOpen);
  len = 1920;
  EXPECT_EQ(BTRCALL(kOpStat, pa, stat.data(), &len, key, 255, 0), kFileNotOpen);
  EXPECT_EQ(BTRCALLID(kOpReset, nullptr, nullptr, &len, key, 255, 0, client_a), 0);
  len = 1920;
  EXPECT_EQ(BTRCALLID(kOpStat, pa, stat.data(), &len, key, 255, 0, client_a), kFileNotOpen);
  len = 1920;
  EXPECT_EQ(BTRCALLID(kOpStat, pb, stat.data(), &len, key, 255, 0, client_b), 0);
  len = 1920;
  EXPECT_EQ(b_.Call(kOpStat, stat.data(), &len, 0), 0);  // the default client is untouched
  EXPECT_EQ(BTRCALLID(kOpClose, pb, nullptr, &len, key, 255, 0, client_b), 0);
}

}  // namespace
}  // namespace tavelnor::btrieve::testing
