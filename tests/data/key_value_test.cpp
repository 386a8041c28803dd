// Segment and key values: limits, record reads and writes, spreading and
// packing of flat key bytes, and ordering.
#include "data/key_value.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "data/key_desc.h"
#include "data/key_test_dico.h"

namespace tavelnor::data {
namespace {

using testing::KeyTestDico;
using testing::LoadedKeyDico;

std::vector<uint8_t> Packed(const EKeyValue& key, size_t room = 255) {
  std::vector<uint8_t> out(room, 0xEE);
  out.resize(key.PackBytes(out.data(), room));
  return out;
}

TEST(SegmentValueTest, LimitsComeFromTheType) {
  ESegmentValue v("N", record::TYPE_INT16, 2, 0, false, nullptr);
  v.SetMin();
  EXPECT_EQ(v.Buffer()->GetInt64(), -32768);
  v.SetMax();
  EXPECT_EQ(v.Buffer()->GetInt64(), 32767);
}

TEST(SegmentValueTest, RecordAccessStaysInsideTheRecord) {
  ESegmentValue v("P", record::TYPE_UINT32, 4, 6, false, nullptr);
  std::vector<uint8_t> record(10, 0);
  record[6] = 0x2A;
  ASSERT_TRUE(v.ReadFromRecord(record.data(), record.size()));
  EXPECT_EQ(v.Buffer()->GetInt64(), 42);
  EXPECT_FALSE(v.ReadFromRecord(record.data(), 9));  // one byte short
  EXPECT_FALSE(v.ReadFromRecord(nullptr, 10));
  ESegmentValue far("F", record::TYPE_UINT32, 4, 100, false, nullptr);
  EXPECT_FALSE(far.WriteToRecord(record.data(), record.size()));
  v.SetMax();
  ASSERT_TRUE(v.WriteToRecord(record.data(), record.size()));
  EXPECT_EQ(std::vector<uint8_t>(record.begin() + 6, record.end()),
            (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(record[5], 0);
}

struct OrderCase {
  uint16_t type;
  uint16_t size;
  std::vector<uint8_t> a, b;
  int ascending;  // sign of a against b
};

class SegmentOrderTest : public ::testing::TestWithParam<OrderCase> {};

TEST_P(SegmentOrderTest, FollowsTheTypeAndReversesWhenDescending) {
  const OrderCase& c = GetParam();
  for (bool descending : {false, true}) {
    ESegmentValue a("a", c.type, c.size, 0, descending, nullptr);
    ESegmentValue b("b", c.type, c.size, 0, descending, nullptr);
    a.CopyIn(c.a.data(), c.a.size());
    b.CopyIn(c.b.data(), c.b.size());
    EXPECT_EQ(a.Compare(b), descending ? -c.ascending : c.ascending) << "type " << c.type;
    EXPECT_EQ(b.Compare(a), descending ? c.ascending : -c.ascending);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Types, SegmentOrderTest,
    ::testing::Values(
        OrderCase{record::TYPE_LONG, 4, {0xFF, 0xFF, 0xFF, 0xFF}, {1, 0, 0, 0}, -1},  // -1 < 1
        OrderCase{record::TYPE_UINT32, 4, {0xFF, 0xFF, 0xFF, 0xFF}, {1, 0, 0, 0}, 1},
        OrderCase{record::TYPE_INT16, 2, {7, 0}, {7, 0}, 0},
        OrderCase{record::TYPE_ZSTRING, 6, {'a', 'b', 0, 'x'}, {'a', 'b', 0, 'y'}, 0},
        OrderCase{record::TYPE_ZSTRING, 6, {'A', 'b'}, {'a', 'b'}, -1},
        OrderCase{record::TYPE_NC_ZSTRING, 6, {'A', 'b'}, {'a', 'b'}, 0},
        OrderCase{record::TYPE_NC_AUTRE_NODESC, 4, {'x', 'Y'}, {'X', 'z'}, -1},
        OrderCase{record::TYPE_AUTRE_NODESC, 3, {0x80, 0}, {0x7F, 0xFF}, 1}));

class KeyValueTest : public ::testing::Test {
 protected:
  EKeyValue Key(uint32_t number) {
    return EKeyValue::FromDesc(DescribeTableKeys(*l_.table).at(number), l_.table);
  }
  KeyTestDico d_;
  LoadedKeyDico l_{d_};
};

TEST_F(KeyValueTest, ValuesFollowTheDescription) {
  const EKeyValue prix = Key(4);
  ASSERT_EQ(prix.SegmentCount(), 2u);
  EXPECT_EQ(prix.Segment(0).Name(), "Prix");
  EXPECT_EQ(prix.Segment(0).Offset(), 26);
  EXPECT_EQ(prix.Segment(1).Offset(), 24);
  EXPECT_EQ(prix.TotalLength(), 6u);
  const EKeyValue partial = Key(2);
  ASSERT_EQ(partial.SegmentCount(), 1u);
  EXPECT_EQ(partial.Segment(0).Offset(), 17);
  EXPECT_EQ(partial.Segment(0).Handler(), EFInfosHandler::Default());
  EXPECT_TRUE(Key(3).IsEmpty());
}

TEST_F(KeyValueTest, WholeFieldsTakeTheirDeclaredLimits) {
  const uint8_t max[8] = {0x10, 0x27, 0, 0, 0, 0, 0, 0};  // 10000
  std::memcpy(d_.b.Image(d_.prix) + 116, max, 8);
  LoadedKeyDico l(d_);
  EKeyValue prix = EKeyValue::FromDesc(DescribeTableKeys(*l.table).at(4), l.table);
  prix.SetMax();
  EXPECT_EQ(prix.Segment(0).Buffer()->GetInt64(), 10000);
  EXPECT_EQ(prix.Segment(1).Buffer()->GetInt64(), 32767);
}

TEST_F(KeyValueTest, SpreadingFillsSegmentsInOrder) {
  EKeyValue key = Key(4);
  key.SetMin();
  const uint8_t bytes[5] = {1, 2, 3, 4, 5};
  EXPECT_EQ(key.SpreadBytes(bytes, 5), 5u);
  // The second segment keeps its second minimum byte.
  EXPECT_EQ(Packed(key), (std::vector<uint8_t>{1, 2, 3, 4, 5, 0x80}));
  EXPECT_EQ(key.SpreadBytes(bytes, 2), 2u);
  EXPECT_EQ(Packed(key), (std::vector<uint8_t>{1, 2, 3, 4, 5, 0x80}));
  const uint8_t many[9] = {9, 9, 9, 9, 9, 9, 9, 9, 9};
  EXPECT_EQ(key.SpreadBytes(many, 9), 6u);  // no more than the key holds
  EXPECT_EQ(Packed(key, 3), (std::vector<uint8_t>{9, 9, 9}));
}

TEST_F(KeyValueTest, RecordRoundTripAndComparison) {
  std::vector<uint8_t> record(testing::kClientsRecordLength, 0);
  EKeyValue key = Key(4);
  const uint8_t value[6] = {0x64, 0, 0, 0, 3, 0};  // Prix 100, Qte 3
  key.SpreadBytes(value, 6);
  key.WriteToRecord(record.data(), record.size());
  EXPECT_EQ(record[26], 0x64);
  EXPECT_EQ(record[24], 3);
  EKeyValue read = Key(4);
  read.ReadFromRecord(record.data(), record.size());
  EXPECT_EQ(read.Compare(key), 0);
  record[24] = 4;
  read.ReadFromRecord(record.data(), record.size());
  EXPECT_EQ(read.Compare(key), 1);
  EXPECT_FALSE(read.Compare(Key(0)).has_value());  // segment counts differ
}

}  // namespace
}  // namespace tavelnor::data
