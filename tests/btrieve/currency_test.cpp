// Currency: logical (per key) and physical positions across mixed sequences of
// Get, Get Key, Step, Get Direct, Insert, Update and Delete.
#include "record_fixture.h"

namespace tavelnor::btrieve::testing {
namespace {

constexpr int32_t kEnd = -1000 - kEndOfFile;
constexpr int32_t kNoPosition = -1000 - kInvalidPositioning;
constexpr int32_t kOtherKey = -1000 - kDifferentKeyNumber;

class Currency : public RecordFile {
 protected:
  void SetUp() override {
    RecordFile::SetUp();
    // Physical order 1..6; name order aa(4) bb(1,2,5) cc(3) dd(6).
    Insert(1, "bb", 10);
    Insert(2, "bb", 20);
    Insert(3, "cc", 30);
    Insert(4, "aa", 40);
    Insert(5, "bb", 50);
    Insert(6, "dd", 60);
  }
  void Reopen() {
    ASSERT_EQ(b_.Close(), 0);
    ASSERT_EQ(b_.Open(path_), 0);
  }
  std::vector<int32_t> Walk(int first_op, int next_op, int key_num) {
    std::vector<int32_t> ids;
    for (int32_t id = ReadId(first_op, key_num); id > 0; id = ReadId(next_op, key_num)) {
      ids.push_back(id);
    }
    return ids;
  }
};

TEST_F(Currency, DuplicatesComeInInsertionOrderBothWays) {
  EXPECT_EQ(Walk(kOpGetFirst, kOpGetNext, 1), (std::vector<int32_t>{4, 1, 2, 5, 3, 6}));
  EXPECT_EQ(Walk(kOpGetLast, kOpGetPrevious, 1), (std::vector<int32_t>{6, 3, 5, 2, 1, 4}));
}

TEST_F(Currency, SearchOperationsLandOnTheRightEndOfARun) {
  struct Case {
    int op;
    const char* name;
    int32_t id;
  } cases[] = {
      {kOpGetEqual, "bb", 1},          {kOpGetEqual, "bc", -1000 - kKeyNotFound},
      {kOpGetGreaterOrEqual, "bb", 1}, {kOpGetGreaterOrEqual, "ba", 1},
      {kOpGetGreater, "bb", 3},        {kOpGetLessOrEqual, "bb", 5},
      {kOpGetLess, "bb", 4},           {kOpGetLess, "aa", kEnd},
      {kOpGetGreater, "dd", kEnd},     {kOpGetLessOrEqual, "zz", 6},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GetBy(c.op, 1, NameKey(c.name)), c.id) << "op " << c.op << " " << c.name;
  }
}

TEST_F(Currency, GetKeyPositionsWithoutDataAndCollapsesDuplicates) {
  std::vector<uint8_t> data(kRecLen, 0xEE);
  b_.SetKey(NameKey("bb").data(), 4);
  b_.len = 0;
  ASSERT_EQ(b_.Call(kOpGetEqual + kGetKeyBias, data.data(), &b_.len, 1), 0);
  EXPECT_EQ(data, std::vector<uint8_t>(kRecLen, 0xEE));
  EXPECT_EQ(ReadId(kOpGetNext, 1), 3);  // the run of "bb" counts as one value
  ASSERT_EQ(b_.Call(kOpGetFirst + kGetKeyBias, data.data(), &b_.len, 1), 0);
  ASSERT_EQ(b_.Call(kOpGetNext + kGetKeyBias, data.data(), &b_.len, 1), 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(b_.key), 4), "bb  ");
  ASSERT_EQ(b_.Call(kOpGetNext + kGetKeyBias, data.data(), &b_.len, 1), 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(b_.key), 4), "cc  ");
}

TEST_F(Currency, UpdateOrDeleteAfterGetKeyHasNoPosition) {
  std::vector<uint8_t> data(kRecLen);
  b_.SetKey(IntKey(2).data(), 4);
  ASSERT_EQ(b_.Call(kOpGetEqual + kGetKeyBias, data.data(), &b_.len, 0), 0);
  auto r = Rec(2, "xx", 20);
  EXPECT_EQ(b_.Write(kOpUpdate, r, 0), kInvalidPositioning);
  EXPECT_EQ(b_.Call(kOpDelete, nullptr, &b_.len, 0), kInvalidPositioning);
  EXPECT_EQ(Count(), 6u);
}

TEST_F(Currency, StepsFollowPhysicalOrderAndDropTheLogicalPosition) {
  Reopen();
  EXPECT_EQ(ReadId(kOpStepPrevious, 0), kNoPosition);
  EXPECT_EQ(ReadId(kOpStepNext, 0), 1);  // right after Open
  EXPECT_EQ(ReadId(kOpGetNext, 0), kNoPosition);
  EXPECT_EQ(Walk(kOpStepFirst, kOpStepNext, 0), (std::vector<int32_t>{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(Walk(kOpStepLast, kOpStepPrevious, 0), (std::vector<int32_t>{6, 5, 4, 3, 2, 1}));
  // A Get leaves the physical neighbours of the record it read.
  EXPECT_EQ(GetBy(kOpGetEqual, 1, NameKey("aa")), 4);
  EXPECT_EQ(ReadId(kOpStepNext, 0), 5);
  EXPECT_EQ(ReadId(kOpStepPrevious, 0), 4);
}

TEST_F(Currency, UpdateWithAnotherKeyNumberSpoilsTheNextGetNext) {
  EXPECT_EQ(GetBy(kOpGetEqual, 0, IntKey(2)), 2);
  auto r = Rec(2, "bb", 20, 0x55);
  ASSERT_EQ(b_.Write(kOpUpdate, r, 1), 0);
  EXPECT_EQ(ReadId(kOpGetNext, 0), kOtherKey);
}

TEST_F(Currency, DeleteKeepsBothKindsOfNeighbours) {
  EXPECT_EQ(GetBy(kOpGetEqual, 1, NameKey("cc")), 3);
  ASSERT_EQ(b_.Call(kOpDelete, nullptr, &b_.len, 1), 0);
  EXPECT_EQ(ReadId(kOpGetNext, 1), 6);
  EXPECT_EQ(GetBy(kOpGetEqual, 1, NameKey("cc")), -1000 - kKeyNotFound);

  EXPECT_EQ(GetBy(kOpGetEqual, 0, IntKey(2)), 2);
  ASSERT_EQ(b_.Call(kOpDelete, nullptr, &b_.len, 0), 0);
  EXPECT_EQ(ReadId(kOpStepPrevious, 0), kNoPosition);
  auto r = Rec(2, "bb", 20);
  EXPECT_EQ(b_.Write(kOpUpdate, r, 0), kInvalidPositioning);
  EXPECT_EQ(b_.Call(kOpDelete, nullptr, &b_.len, 0), kInvalidPositioning);
  EXPECT_EQ(ReadId(kOpStepNext, 0), 4);  // 3 is gone too
  EXPECT_EQ(Count(), 4u);
}

TEST_F(Currency, InsertWithoutCurrencyChangeKeepsTheLogicalPosition) {
  EXPECT_EQ(GetBy(kOpGetEqual, 0, IntKey(2)), 2);
  Insert(100, "ee", 100, -1);
  EXPECT_EQ(ReadId(kOpGetNext, 0), 3);
  Insert(101, "ee", 101, 0);
  EXPECT_EQ(ReadId(kOpGetNext, 0), kEnd);
  EXPECT_EQ(ReadId(kOpGetPrevious, 0), 100);
  // Insert makes the new record physically current, NCC or not.
  Insert(50, "ee", 102, -1);
  EXPECT_EQ(ReadId(kOpStepPrevious, 0), 101);
}

TEST_F(Currency, KeyMovingUpdateFollowsTheNewValue) {
  EXPECT_EQ(GetBy(kOpGetEqual, 0, IntKey(2)), 2);
  uint32_t pos = b_.Position();
  auto r = Rec(5 * 10, "bb", 20);
  ASSERT_EQ(b_.Write(kOpUpdate, r, 0), 0);
  EXPECT_EQ(b_.key[0], 50);
  EXPECT_EQ(b_.Position(), pos);  // positions are stable across Update
  EXPECT_EQ(ReadId(kOpGetPrevious, 0), 6);
  EXPECT_EQ(ReadId(kOpGetNext, 0), 50);
  EXPECT_EQ(ReadId(kOpGetNext, 0), kEnd);
}

TEST_F(Currency, GetDirectEntersAnotherKeyPath) {
  EXPECT_EQ(ReadId(kOpStepFirst, 0), 1);
  ASSERT_EQ(ReadId(kOpStepNext, 0), 2);
  uint32_t pos = b_.Position();
  EXPECT_NE(pos, 0u);
  std::vector<uint8_t> data(kRecLen);
  std::memcpy(data.data(), &pos, 4);
  b_.len = kRecLen;
  ASSERT_EQ(b_.Call(kOpGetDirect, data.data(), &b_.len, 1), 0);
  EXPECT_EQ(IdOf(data), 2);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(b_.key), 4), "bb  ");
  EXPECT_EQ(ReadId(kOpGetNext, 1), 5);
  EXPECT_EQ(ReadId(kOpGetNext, 1), 3);
}

TEST_F(Currency, GetDirectShortBufferNoKeyPathOrBadAddress) {
  ASSERT_EQ(GetBy(kOpGetEqual, 0, IntKey(5)), 5);
  uint32_t pos = b_.Position();
  ASSERT_EQ(ReadId(kOpStepFirst, 0), 1);
  uint8_t four[4];  // too short for the record, yet it positions
  std::memcpy(four, &pos, 4);
  b_.len = 4;
  EXPECT_EQ(b_.Call(kOpGetDirect, four, &b_.len, 1), kDataBufferTooShort);
  EXPECT_EQ(ReadId(kOpGetNext, 1), 3);
  std::vector<uint8_t> data(kRecLen);
  std::memcpy(data.data(), &pos, 4);
  b_.len = kRecLen;
  ASSERT_EQ(b_.Call(kOpGetDirect, data.data(), &b_.len, -1), 0);
  EXPECT_EQ(ReadId(kOpGetNext, 0), kNoPosition);
  EXPECT_EQ(ReadId(kOpStepNext, 0), 6);
  for (uint32_t bad : {0u, pos + 1000, 0xFFFFFFFFu}) {
    std::memcpy(data.data(), &bad, 4);
    b_.len = kRecLen;
    EXPECT_EQ(b_.Call(kOpGetDirect, data.data(), &b_.len, 0), kInvalidRecordAddress) << bad;
  }
}

}  // namespace
}  // namespace tavelnor::btrieve::testing
