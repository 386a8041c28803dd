// Create Index and Drop Index on an open file: key numbers, the index built
// over the records already there, statuses of bad key definitions, and the
// currency that survives or is lost.
#include <algorithm>
#include <random>

#include "btrieve/data_file.h"
#include "record_fixture.h"

namespace tavelnor::btrieve::testing {
namespace {

// The segments of one key as Create Index takes them.
std::vector<uint8_t> KeySpec(const std::vector<SegmentDef>& segments) {
  std::vector<uint8_t> spec = MakeSpec(kRecLen, {segments});
  return {spec.begin() + 16, spec.end()};
}

// Distinct codes (key 2 is unique), in an order unrelated to the ids.
int16_t CodeOf(int32_t id) { return static_cast<int16_t>(id * 37 % 101 - 50); }

// key 3 in the tests: name ascending, then code descending, duplicates.
const std::vector<SegmentDef> kNameCode = {{5, 4, kKeyDup, kTypeString},
                                           {9, 2, kKeyDup | kKeyDescending, kTypeInteger}};

class IndexOps : public RecordFile {
 protected:
  int16_t CreateIndex(std::vector<uint8_t> spec, int key_num) {
    b_.len = static_cast<uint32_t>(spec.size());
    return b_.Call(kOpCreateIndex, spec.data(), &b_.len, key_num);
  }
  int16_t DropIndex(int key_num) {
    b_.len = 0;
    return b_.Call(kOpDropIndex, nullptr, &b_.len, key_num);
  }
  // Ids in the order of key `num`, First to Last, from `block`.
  std::vector<int32_t> Walk(int num, Block* block = nullptr) {
    std::vector<int32_t> ids;
    for (int32_t id = ReadId(kOpGetFirst, num, block); id > -1000;
         id = ReadId(kOpGetNext, num, block)) {
      ids.push_back(id);
    }
    return ids;
  }
  // Stat -1: the key numbers of every key, in the order Stat gives them.
  std::vector<int> KeyNumbers() {
    const std::vector<uint8_t> stat = b_.Stat();
    std::vector<int> numbers;
    bool first = true;
    for (size_t off = 16; off + 16 <= stat.size(); off += 16) {
      if (first) numbers.push_back(stat[off + 14]);
      first = (LoadFlags(stat, off) & kKeySegmented) == 0;
    }
    EXPECT_EQ(numbers.size(), stat[4]);
    return numbers;
  }
  static uint16_t LoadFlags(const std::vector<uint8_t>& stat, size_t off) {
    return static_cast<uint16_t>(stat[off + 4] | (stat[off + 5] << 8));
  }
  // Records 1..40 in one shuffled order, through `block`.
  static void InsertMany(Block& block) {
    std::vector<int32_t> ids(40);
    for (int i = 0; i < 40; ++i) ids[i] = i + 1;
    std::shuffle(ids.begin(), ids.end(), std::mt19937(7));
    const char* names[] = {"ab", "b", "aa", "zz", "b"};
    for (int32_t id : ids) {
      auto r = Rec(id, names[id % 5], CodeOf(id));
      ASSERT_EQ(block.Write(kOpInsert, r, 0), 0);
    }
  }
};

TEST_F(IndexOps, IndexBuiltOverRecordsOrdersThemLikeAFreshOne) {
  InsertMany(b_);
  ASSERT_EQ(CreateIndex(KeySpec(kNameCode), 0), 0);
  EXPECT_EQ(KeyNumbers(), (std::vector<int>{0, 1, 2, 3}));
  std::vector<int32_t> built = Walk(3);

  // A file created with the key from the start, records inserted alike.
  Block fresh;
  std::string other = dir_.File("fresh.btr");
  ASSERT_EQ(fresh.Create(other, MakeSpec(kRecLen, {{{1, 4, 0, kTypeInteger}}, kNameCode})), 0);
  ASSERT_EQ(fresh.Open(other), 0);
  InsertMany(fresh);
  EXPECT_EQ(built, Walk(1, &fresh));
  ASSERT_EQ(built.size(), 40u);
  ASSERT_EQ(fresh.Close(), 0);

  // The key survives a reopen and new records join it.
  ASSERT_EQ(b_.Close(), 0);
  ASSERT_EQ(b_.Open(path_), 0);
  Insert(41, "a", 1000);
  EXPECT_EQ(ReadId(kOpGetFirst, 3), 41);
}

TEST_F(IndexOps, KeyNumbersExplicitOrLowestFree) {
  ASSERT_EQ(CreateIndex(KeySpec({{11, 2, kKeyDup, kTypeInteger}}), 0x80 + 7), 0);
  EXPECT_EQ(CreateIndex(KeySpec({{11, 2, kKeyDup, kTypeInteger}}), 0x80 + 7), kInvalidKeyNumber);
  EXPECT_EQ(CreateIndex(KeySpec({{11, 2, kKeyDup, kTypeInteger}}), 0x80 + 119), kInvalidKeyNumber);
  ASSERT_EQ(DropIndex(0x80 + 1), 0);  // a gap at 1, others keep their numbers
  EXPECT_EQ(KeyNumbers(), (std::vector<int>{0, 2, 7}));
  ASSERT_EQ(CreateIndex(KeySpec({{5, 4, kKeyDup, kTypeString}}), 0), 0);
  EXPECT_EQ(KeyNumbers(), (std::vector<int>{0, 1, 2, 7}));
  ASSERT_EQ(CreateIndex(KeySpec({{5, 2, kKeyDup, kTypeString}}), 0), 0);
  EXPECT_EQ(KeyNumbers(), (std::vector<int>{0, 1, 2, 3, 7}));
  // Numbers with gaps are kept across a reopen.
  ASSERT_EQ(b_.Close(), 0);
  ASSERT_EQ(b_.Open(path_), 0);
  EXPECT_EQ(KeyNumbers(), (std::vector<int>{0, 1, 2, 3, 7}));
  Insert(5, "x", 1);
  EXPECT_EQ(ReadId(kOpGetFirst, 7), 5);
  EXPECT_EQ(ReadId(kOpGetFirst, 6), -1000 - kInvalidKeyNumber);
}

TEST_F(IndexOps, BadKeyDefinitionsAreRefused) {
  struct Case {
    const char* what;
    std::vector<uint8_t> spec;
    int16_t status;
  };
  std::vector<uint8_t> dangling = KeySpec({{1, 2, kKeySegmented, kTypeInteger}});
  std::vector<uint8_t> odd_tail = KeySpec({{1, 2, 0, kTypeInteger}});
  odd_tail.resize(odd_tail.size() + 5);
  const Case cases[] = {
      {"past the record", KeySpec({{31, 4, 0, kTypeInteger}}), kKeyPositionError},
      {"position 0", KeySpec({{0, 2, 0, kTypeInteger}}), kKeyPositionError},
      {"bad length", KeySpec({{1, 3, 0, kTypeInteger}}), kKeyLengthError},
      {"unknown type", KeySpec({{1, 4, 0, 12}}), kInvalidKeyType},
      {"mixed flags",
       KeySpec({{1, 2, kKeyDup, kTypeInteger}, {3, 2, kKeyModifiable, kTypeInteger}}),
       kInconsistentKeyFlags},
      {"short buffer", std::vector<uint8_t>(10, 0), kDataBufferTooShort},
      {"segment missing", dangling, kDataBufferTooShort},
      {"stray bytes", odd_tail, kDataBufferTooShort},
      {"ACS not in file", KeySpec({{5, 4, kKeyAlternate, kTypeString}}), kAcsNotInFile},
      {"odd binary", KeySpec({{12, 3, 0, kTypeUnsignedBinary}}), kKeyLengthError},
      {"autoincrement with duplicates", KeySpec({{12, 4, kKeyDup, kTypeAutoIncrement}}),
       kInconsistentKeyFlags},
      {"autoincrement over key 0", KeySpec({{1, 4, 0, kTypeAutoIncrement}}), kInconsistentKeyFlags},
      {"autoincrement only as a segment",
       KeySpec({{12, 4, 0, kTypeAutoIncrement}, {16, 2, 0, kTypeInteger}}), kInconsistentKeyFlags},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CreateIndex(c.spec, 0), c.status) << c.what;
  }
  EXPECT_EQ(KeyNumbers(), (std::vector<int>{0, 1, 2}));
}

TEST_F(IndexOps, UniqueIndexOverDuplicatesFailsWhole) {
  Insert(1, "aa", 1);
  Insert(2, "aa", 2);
  EXPECT_EQ(CreateIndex(KeySpec({{5, 4, 0, kTypeString}}), 0), kDuplicateKey);
  EXPECT_EQ(KeyNumbers(), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(ReadId(kOpGetFirst, 3), -1000 - kInvalidKeyNumber);
  Insert(3, "aa", 3);  // the records are untouched and still writable
  EXPECT_EQ(Count(), 3u);
}

TEST_F(IndexOps, DropIndexRenumbersOrKeepsNumbers) {
  Insert(1, "b", 20);
  Insert(2, "a", 10);
  Insert(3, "c", 30);
  Block other;
  ASSERT_EQ(other.Open(path_), 0);
  ASSERT_EQ(ReadId(kOpGetFirst, 2, &other), 2);  // other block on code order
  ASSERT_EQ(DropIndex(1), 0);                    // key 2 becomes key 1
  EXPECT_EQ(KeyNumbers(), (std::vector<int>{0, 1}));
  EXPECT_EQ(ReadId(kOpGetNext, 1, &other), 1);  // its currency followed the renumbering
  EXPECT_EQ(ReadId(kOpGetFirst, 2), -1000 - kInvalidKeyNumber);
  EXPECT_EQ(Walk(1), (std::vector<int32_t>{2, 1, 3}));
  EXPECT_EQ(DropIndex(5), kInvalidKeyNumber);
  EXPECT_EQ(DropIndex(125), kInvalidKeyNumber);

  ASSERT_EQ(ReadId(kOpGetFirst, 1), 2);
  ASSERT_EQ(DropIndex(0x80 + 1), 0);  // the current key goes, numbers stay
  EXPECT_EQ(KeyNumbers(), (std::vector<int>{0}));
  EXPECT_EQ(ReadId(kOpGetNext, 1), -1000 - kInvalidKeyNumber);
  EXPECT_EQ(ReadId(kOpGetNext, 0), -1000 - kInvalidPositioning);  // logical currency lost
  EXPECT_EQ(ReadId(kOpStepNext, 0), 3);                           // physical currency stays
  ASSERT_EQ(other.Close(), 0);
}

}  // namespace
}  // namespace tavelnor::btrieve::testing
