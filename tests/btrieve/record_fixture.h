// A data file with three keys for the currency and status tests:
//   key 0  id    INTEGER 4 at 1, unique, modifiable
//   key 1  name  STRING 4 at 5, duplicates, modifiable
//   key 2  code  INTEGER 2 at 9, unique, not modifiable
// Records are 32 bytes; bytes 11.. carry a payload.
#pragma once

#include "btrieve_test_util.h"

namespace tavelnor::btrieve::testing {

inline constexpr uint16_t kRecLen = 32;

inline std::vector<uint8_t> Rec(int32_t id, const std::string& name, int16_t code,
                                uint8_t payload = 0) {
  std::vector<uint8_t> r(kRecLen, payload);
  for (int i = 0; i < 4; ++i) r[i] = static_cast<uint8_t>(static_cast<uint32_t>(id) >> (8 * i));
  for (int i = 0; i < 4; ++i) r[4 + i] = i < static_cast<int>(name.size()) ? name[i] : ' ';
  r[8] = static_cast<uint8_t>(code);
  r[9] = static_cast<uint8_t>(static_cast<uint16_t>(code) >> 8);
  return r;
}

inline int32_t IdOf(const std::vector<uint8_t>& r) {
  return static_cast<int32_t>(uint32_t{r[0]} | (uint32_t{r[1]} << 8) | (uint32_t{r[2]} << 16) |
                              (uint32_t{r[3]} << 24));
}

inline std::vector<uint8_t> ThreeKeySpec(uint16_t file_flags = 0) {
  return MakeSpec(kRecLen,
                  {{{1, 4, kKeyModifiable, kTypeInteger}},
                   {{5, 4, kKeyDup | kKeyModifiable, kTypeString}},
                   {{9, 2, 0, kTypeInteger}}},
                  file_flags);
}

// The distinct value count of each key, as Stat reports them.
inline std::vector<uint32_t> DistinctCounts(Block& b) {
  const std::vector<uint8_t> stat = b.Stat();
  std::vector<uint32_t> counts;
  for (size_t off = 16; off + 16 <= stat.size(); off += 16) {
    counts.push_back(stat[off + 6] | (stat[off + 7] << 8) | (stat[off + 8] << 16) |
                     (uint32_t{stat[off + 9]} << 24));
  }
  return counts;
}

// Creates `path` holding records 1..5 ("n1"/"n0" names, codes id * 10).
inline void CreateSeeded(const std::string& path) {
  Block b;
  ASSERT_EQ(b.Create(path, ThreeKeySpec()), 0);
  ASSERT_EQ(b.Open(path), 0);
  for (int32_t id = 1; id <= 5; ++id) {
    auto r = Rec(id, "n" + std::to_string(id % 2), static_cast<int16_t>(id * 10));
    ASSERT_EQ(b.Write(kOpInsert, r, 0), 0);
  }
  ASSERT_EQ(b.Close(), 0);
}

class RecordFile : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.File("data.btr");
    ASSERT_EQ(b_.Create(path_, ThreeKeySpec()), 0);
    ASSERT_EQ(b_.Open(path_), 0);
  }
  void TearDown() override { (void)b_.Close(); }

  void Insert(int32_t id, const std::string& name, int16_t code, int key_num = 0) {
    auto r = Rec(id, name, code);
    ASSERT_EQ(b_.Write(kOpInsert, r, key_num), 0) << "insert " << id;
  }
  // The id of the record a read returns, or -1000 - status.
  int32_t ReadId(int op, int key_num, Block* block = nullptr) {
    std::vector<uint8_t> r;
    int16_t st = (block ? *block : b_).Read(op, &r, key_num);
    return st == 0 ? IdOf(r) : -1000 - st;
  }
  int32_t GetBy(int op, int key_num, const std::vector<uint8_t>& key) {
    b_.SetKey(key.data(), key.size());
    return ReadId(op, key_num);
  }
  static std::vector<uint8_t> IntKey(int32_t v) {
    auto r = Rec(v, "", 0);
    return {r.begin(), r.begin() + 4};
  }
  static std::vector<uint8_t> NameKey(const std::string& name) {
    auto r = Rec(0, name, 0);
    return {r.begin() + 4, r.begin() + 8};
  }
  uint32_t Count() {
    const std::vector<uint8_t> stat = b_.Stat();
    return uint32_t{stat[6]} | (uint32_t{stat[7]} << 8) | (uint32_t{stat[8]} << 16);
  }

  ScratchDir dir_;
  std::string path_;
  Block b_;
};

}  // namespace tavelnor::btrieve::testing
