// Current key and key range: bounds spread over segments, the range test,
// the packed key range record, bounds, copies and refusals.
#include "data/key_state.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "btrieve/btrieve_codes.h"
#include "data/key_test_dico.h"

namespace tavelnor::data {
namespace {

using testing::KeyTestDico;
using testing::LoadedKeyDico;
using Bytes = std::vector<uint8_t>;

constexpr int kParNum = 0, kParNom = 1, kParPrix = 4, kLongue = 5;

class KeyStateTest : public ::testing::Test {
 protected:
  Bytes Low() const {
    Bytes out(255);
    out.resize(keys_.LowBoundBytes(out.data(), out.size()));
    return out;
  }
  Bytes High() const {
    Bytes out(255);
    out.resize(keys_.HighBoundBytes(out.data(), out.size()));
    return out;
  }
  // A record with Prix, Qte and Nom set.
  Bytes Record(uint32_t prix, int16_t qte, const char* nom = "") {
    Bytes r(testing::kClientsRecordLength, 0);
    StoreLE32(r.data() + 26, prix);
    StoreLE16(r.data() + 24, static_cast<uint16_t>(qte));
    std::memcpy(r.data() + 4, nom, std::strlen(nom));
    return r;
  }
  bool In(const Bytes& record) { return keys_.InKeyRange(record.data(), record.size()); }

  KeyTestDico d_;
  LoadedKeyDico l_{d_};
  KeyState keys_{l_.table};
};

TEST_F(KeyStateTest, ALowValueAloneSpansEveryKeyBeginningWithIt) {
  const uint8_t low[2] = {0xAA, 0xBB};
  EXPECT_EQ(keys_.SetKeyRange(kParPrix, low, 2, nullptr, 0), 2);
  EXPECT_EQ(keys_.Status(), 0);
  EXPECT_EQ(keys_.Current().number, kParPrix);
  EXPECT_EQ(keys_.Range().flags, kRangeHasLow | kRangeHasHigh);
  // Prix takes the two bytes and keeps its minimum (maximum) for the rest;
  // Qte stays at its minimum (maximum).
  EXPECT_EQ(Low(), (Bytes{0xAA, 0xBB, 0x00, 0x00, 0x00, 0x80}));
  EXPECT_EQ(High(), (Bytes{0xAA, 0xBB, 0xFF, 0xFF, 0xFF, 0x7F}));
  EXPECT_TRUE(In(Record(0xBBAA, -5)));
  EXPECT_TRUE(In(Record(0xFFFFBBAA, 32767)));
  EXPECT_FALSE(In(Record(0xBBA9, 0)));
  // Prix orders as a number: the bounds are 0x0000BBAA and 0xFFFFBBAA.
  EXPECT_TRUE(In(Record(0x1234BBAB, 0)));
  EXPECT_FALSE(In(Record(0xFFFFBBAB, 0)));
}

TEST_F(KeyStateTest, BoundsAreInclusiveUnlessMadeExclusive) {
  const uint8_t low[6] = {100, 0, 0, 0, 5, 0};
  const uint8_t high[6] = {200, 0, 0, 0, 0, 0};
  keys_.SetKeyRange(kParPrix, low, 6, high, 6);
  struct Case {
    uint32_t prix;
    int16_t qte;
    bool inclusive, low_exclusive, high_exclusive;
  } cases[] = {
      {100, 5, true, false, true}, {100, 4, false, false, false}, {150, -9, true, true, true},
      {200, 0, true, true, false}, {200, 1, false, false, false}, {99, 30000, false, false, false},
  };
  for (const Case& c : cases) {
    keys_.SetBoundsExclusive(false, false);
    EXPECT_EQ(In(Record(c.prix, c.qte)), c.inclusive) << c.prix << "/" << c.qte;
    keys_.SetBoundsExclusive(true, false);
    EXPECT_EQ(In(Record(c.prix, c.qte)), c.low_exclusive) << c.prix << "/" << c.qte;
    keys_.SetBoundsExclusive(false, true);
    EXPECT_EQ(In(Record(c.prix, c.qte)), c.high_exclusive) << c.prix << "/" << c.qte;
  }
}

TEST_F(KeyStateTest, RefusalsLeaveTheRangeAsItWas) {
  const uint8_t low[2] = {1, 2};
  keys_.SetKeyRange(kParPrix, low, 2, nullptr, 0);
  const Bytes before = Low();
  std::vector<uint8_t> big(300, 7);
  struct Case {
    int key;
    const uint8_t* low;
    int32_t low_length;
    const uint8_t* high;
    int32_t high_length;
    int32_t status;
  } cases[] = {
      {kParNum, big.data(), 256, nullptr, 0, btrieve::kKeyBufferTooShort},
      {kParNum, nullptr, 0, big.data(), 300, btrieve::kKeyBufferTooShort},
      {kParNum, big.data(), 256, big.data(), 0, btrieve::kKeyBufferTooShort},  // high takes 256
      {kParNum, big.data(), -1, nullptr, 0, btrieve::kKeyBufferTooShort},
      {9, low, 2, nullptr, 0, btrieve::kInvalidKeyNumber},
      {-2, low, 2, nullptr, 0, btrieve::kInvalidKeyNumber},
      {70000, low, 2, nullptr, 0, btrieve::kInvalidKeyNumber},
  };
  keys_.TakeCountStale();
  for (const Case& c : cases) {
    EXPECT_EQ(keys_.SetKeyRange(c.key, c.low, c.low_length, c.high, c.high_length), -1);
    EXPECT_FALSE(keys_.TakeCountStale());
    EXPECT_EQ(keys_.Status(), c.status) << c.key << "/" << c.low_length;
    EXPECT_EQ(keys_.Current().number, kParPrix);
    EXPECT_EQ(Low(), before);
  }
  // 255 bytes fit: the 300-byte key takes them all.
  EXPECT_EQ(keys_.SetKeyRange(kLongue, big.data(), 255, nullptr, 0), 255);
  EXPECT_EQ(Low().size(), 255u);  // a bound never fills more than the key buffer
}

TEST_F(KeyStateTest, ThePackedRecordSetsTheRange) {
  std::vector<uint8_t> packed(packed_range::kSize, 0);
  const uint8_t low[2] = {0x11, 0x22};
  ASSERT_TRUE(WritePackedKeyRange(packed.data(), packed.size(), kParPrix, low, 2, nullptr, 0));
  EXPECT_EQ(LoadLE32(packed.data() + 259), 2u);
  EXPECT_EQ(keys_.SetKeyRangeFrom(packed.data(), packed.size()), 2);
  EXPECT_EQ(High(), (Bytes{0x11, 0x22, 0xFF, 0xFF, 0xFF, 0x7F}));
  // A bound whose length is 0 is absent, whatever its bytes.
  packed[4] = 0x55;
  StoreLE32(packed.data() + 259, 0);
  EXPECT_EQ(keys_.SetKeyRangeFrom(packed.data(), packed.size()), 0);
  EXPECT_FALSE(keys_.HasKeyRange());
  // Too long a bound, or too short a record, is refused.
  StoreLE32(packed.data() + 518, 256);
  EXPECT_EQ(keys_.SetKeyRangeFrom(packed.data(), packed.size()), -1);
  EXPECT_EQ(keys_.Status(), btrieve::kKeyBufferTooShort);
  EXPECT_EQ(keys_.SetKeyRangeFrom(packed.data(), packed_range::kSize - 1), -1);
  EXPECT_EQ(keys_.Status(), btrieve::kIoError);
  EXPECT_EQ(keys_.SetKeyRangeFrom(nullptr, packed_range::kSize), -1);
}

TEST_F(KeyStateTest, KeyLimitsFillThePackedRecord) {
  std::vector<uint8_t> packed(packed_range::kSize, 0xCC);
  StoreLE32(packed.data(), kParPrix);
  StoreLE32(packed.data() + 259, 7);
  StoreLE32(packed.data() + 518, 9);
  ASSERT_TRUE(keys_.GetKeyLimits(packed.data(), packed.size()));
  EXPECT_EQ(Bytes(packed.begin() + 4, packed.begin() + 11), (Bytes{0, 0, 0, 0, 0x00, 0x80, 0xCC}));
  EXPECT_EQ(Bytes(packed.begin() + 263, packed.begin() + 270),
            (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0xCC}));
  EXPECT_EQ(LoadLE32(packed.data() + 259), 7u);  // lengths left alone
  EXPECT_EQ(LoadLE32(packed.data() + 518), 9u);
  EXPECT_FALSE(keys_.Current().IsSet());  // asking limits selects nothing

  // A 300-byte key: 255 bytes each, the length fields untouched.
  StoreLE32(packed.data(), kLongue);
  ASSERT_TRUE(keys_.GetKeyLimits(packed.data(), packed.size()));
  EXPECT_EQ(LoadLE32(packed.data() + 259), 7u);
  EXPECT_EQ(packed[263 + 254], 0xFF);
  EXPECT_EQ(LoadLE32(packed.data() + 518), 9u);

  StoreLE32(packed.data(), 42);
  const Bytes before = packed;
  EXPECT_FALSE(keys_.GetKeyLimits(packed.data(), packed.size()));
  EXPECT_EQ(keys_.Status(), btrieve::kInvalidKeyNumber);
  EXPECT_EQ(packed, before);
  EXPECT_FALSE(keys_.GetKeyLimits(packed.data(), 100));
}

TEST_F(KeyStateTest, UnknownKeysAreAskedOfTheFile) {
  int asked = 0;
  keys_.SetExtendedKeyLookup([&](int n) -> std::optional<EKeyDesc> {
    ++asked;
    if (n != 8) return std::nullopt;
    testing::StatBuilder stat(1);
    stat.Segment(27, 4, 0x0100, 1, 8);
    return DescribeFileKey(stat.bytes(), n, nullptr);
  });
  EXPECT_NE(keys_.KeyDescFor(kParNum), nullptr);
  EXPECT_EQ(asked, 0);
  const EKeyDesc* desc = keys_.KeyDescFor(8);
  ASSERT_NE(desc, nullptr);
  EXPECT_EQ(keys_.KeyDescFor(8), desc);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(keys_.KeyDescFor(9), nullptr);
  EXPECT_EQ(keys_.KeyDescFor(-1), nullptr);

  const uint8_t low[4] = {100, 0, 0, 0};
  EXPECT_EQ(keys_.SetKeyRange(8, low, 4, nullptr, 0), 4);
  EXPECT_TRUE(In(Record(100, 1)));
  EXPECT_FALSE(In(Record(101, 1)));
}

}  // namespace
}  // namespace tavelnor::data
