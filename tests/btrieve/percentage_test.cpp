// Get By Percentage and Find Percentage on a key path and in physical order:
// the ends are 0 and 10000, the two operations invert each other, and the
// currency rules hold.
#include "record_fixture.h"

namespace tavelnor::btrieve::testing {
namespace {

class Percentage : public RecordFile {
 protected:
  // Get By Percentage: the id read, or -1000 - status.
  int32_t GetAt(int percent, int key_num) {
    std::vector<uint8_t> r(512, 0);
    r[0] = static_cast<uint8_t>(percent);
    r[1] = static_cast<uint8_t>(percent >> 8);
    b_.len = static_cast<uint32_t>(r.size());
    int16_t st = b_.Call(kOpGetByPercentage, r.data(), &b_.len, key_num);
    return st == 0 ? IdOf(r) : -1000 - st;
  }
  // Find Percentage of a key value (key path) or of an address (-1): the
  // percentage, or -1000 - status.
  int FindOf(const std::vector<uint8_t>& key, int key_num) {
    uint8_t data[4] = {};
    if (key_num == -1) {
      std::memcpy(data, key.data(), 4);
    } else {
      b_.SetKey(key.data(), key.size());
    }
    b_.len = 4;
    int16_t st = b_.Call(kOpFindPercentage, data, &b_.len, key_num);
    if (st != 0) return -1000 - st;
    EXPECT_EQ(b_.len, 4u);
    EXPECT_EQ(data[2] | data[3], 0);
    return data[0] | (data[1] << 8);
  }
  static std::vector<uint8_t> Address(uint32_t pos) {
    return {static_cast<uint8_t>(pos), static_cast<uint8_t>(pos >> 8),
            static_cast<uint8_t>(pos >> 16), static_cast<uint8_t>(pos >> 24)};
  }
};

TEST_F(Percentage, EmptyOneAndTwoRecords) {
  EXPECT_EQ(GetAt(0, 0), -1000 - kEndOfFile);
  EXPECT_EQ(GetAt(5000, -1), -1000 - kEndOfFile);
  EXPECT_EQ(FindOf(IntKey(1), 0), -1000 - kEndOfFile);
  Insert(5, "aa", 1);
  EXPECT_EQ(GetAt(0, 0), 5);
  EXPECT_EQ(GetAt(10000, 0), 5);
  EXPECT_EQ(FindOf(IntKey(5), 0), 0);
  Insert(3, "bb", 2);
  EXPECT_EQ(FindOf(IntKey(3), 0), 0);
  EXPECT_EQ(FindOf(IntKey(5), 0), 10000);
  EXPECT_EQ(GetAt(0, 0), 3);
  EXPECT_EQ(GetAt(1, 0), 5);  // any step past the first rank reaches the second
  EXPECT_EQ(GetAt(10000, 0), 5);
  // Physical order: 5 was inserted first.
  EXPECT_EQ(GetAt(0, -1), 5);
  EXPECT_EQ(GetAt(10000, -1), 3);
}

TEST_F(Percentage, InverseOverTenThousandAndOneRecords) {
  const int n = 10001;
  for (int i = 0; i < n; ++i) Insert(n - i, "", static_cast<int16_t>(i));  // ids descend physically
  for (int id : {1, 2, 17, 5000, 5001, 9999, 10000, n}) {
    const int percent = FindOf(IntKey(id), 0);
    EXPECT_EQ(percent, id - 1);
    EXPECT_EQ(GetAt(percent, 0), id);
    EXPECT_EQ(b_.key[0] | (b_.key[1] << 8), id);  // the key comes back
  }
  // Physical order follows Step order: record i holds id n - i.
  for (int percent : {0, 1, 2500, 9999, 10000}) {
    const int32_t id = GetAt(percent, -1);
    ASSERT_GT(id, 0);
    EXPECT_EQ(id, n - percent);
    EXPECT_EQ(FindOf(Address(b_.Position()), -1), percent);
  }
}

TEST_F(Percentage, CurrencyOnKeyPathAndPhysicalOrder) {
  Insert(3, "aa", 1);
  Insert(1, "bb", 2);
  Insert(2, "cc", 3);
  // A value above 10,000 is no percentage: refused, and neither currency moves.
  auto refused = [&] {
    for (int key_num : {0, -1}) {
      EXPECT_EQ(GetAt(10001, key_num), -1000 - kInvalidRecordAddress);
      EXPECT_EQ(GetAt(0xFFFF, key_num), -1000 - kInvalidRecordAddress);
    }
  };
  // Key path: both currencies.
  ASSERT_EQ(GetAt(5000, 0), 2);
  refused();
  EXPECT_EQ(ReadId(kOpGetNext, 0), 3);
  ASSERT_EQ(GetAt(5000, 0), 2);
  refused();
  EXPECT_EQ(ReadId(kOpStepPrevious, 0), 1);
  // Physical order: no logical currency afterwards.
  ASSERT_EQ(GetAt(0, -1), 3);
  EXPECT_EQ(ReadId(kOpGetNext, 0), -1000 - kInvalidPositioning);
  ASSERT_EQ(GetAt(0, -1), 3);
  EXPECT_EQ(ReadId(kOpStepNext, 0), 1);
}

}  // namespace
}  // namespace tavelnor::btrieve::testing
