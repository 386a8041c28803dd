// Create and Stat: a creation specification comes back from Stat as sent,
// with the counts filled in, and every malformed specification is refused
// with its status.
#include "record_fixture.h"

namespace tavelnor::btrieve::testing {
namespace {

class CreateStat : public ::testing::Test {
 protected:
  int16_t Create(std::vector<uint8_t> spec, int mode = 0) { return b_.Create(path_, spec, mode); }
  ScratchDir dir_;
  std::string path_ = dir_.File("spec.btr");
  Block b_;
};

TEST_F(CreateStat, StatReturnsTheSpecificationWithCounts) {
  std::vector<uint8_t> spec =
      MakeSpec(40,
               {{{1, 4, kKeyDup | kKeyRepeatDups | kKeyModifiable, kTypeInteger}},
                {{5, 10, kKeyNullAll, kTypeString, 0x20},
                 {15, 2, kKeyNullAll | kKeyDescending, kTypeInteger}},
                {{17, 6, kKeyNoCase | kKeyDup, kTypeZstring}},
                {{23, 4, kKeyAlternate | kKeyNullAny, kTypeString, '-'}}},
               kFileVarRecs, 2048);
  spec[5] = 0x60;
  std::vector<uint8_t> acs = ReverseAcs("REVERSE");
  spec.insert(spec.end(), acs.begin(), acs.end());
  ASSERT_EQ(Create(spec), 0);
  ASSERT_EQ(b_.Open(path_), 0);
  std::vector<uint8_t> rec(40, 0);
  for (int i = 0; i < 3; ++i) {
    rec[0] = static_cast<uint8_t>(i % 2);  // key 0: two distinct values
    std::memset(rec.data() + 4, i == 0 ? ' ' : 'a' + i, 10);
    rec[14] = rec[15] = 0;
    rec[16] = static_cast<uint8_t>(i);
    std::memset(rec.data() + 22, 'k' + i, 4);
    ASSERT_EQ(b_.Write(kOpInsert, rec, 0), 0);
  }
  std::vector<uint8_t> stat = b_.Stat(-1);
  ASSERT_EQ(stat.size(), spec.size());
  std::vector<uint8_t> expected = spec;
  expected[6] = 3;                           // records
  const uint32_t distinct[] = {2, 2, 3, 3};  // key 1 leaves the blank record out
  for (size_t seg = 0, key = 0; seg < 5; ++seg) {
    uint8_t* s = expected.data() + 16 + 16 * seg;
    s[6] = static_cast<uint8_t>(distinct[key]);
    s[14] = static_cast<uint8_t>(key);
    if (!(s[4] & kKeySegmented)) ++key;
  }
  EXPECT_EQ(stat, expected);
  std::vector<uint8_t> short_form = b_.Stat(0);
  EXPECT_EQ(short_form[4], 4);
  EXPECT_EQ(short_form[5], 0);
  EXPECT_EQ(b_.key[0], 0);
}

TEST_F(CreateStat, MalformedSpecificationsAreRefused) {
  auto base = [] { return MakeSpec(32, {{{1, 4, 0, kTypeInteger}}, {{5, 8, 0, kTypeString}}}); };
  struct Case {
    const char* what;
    std::function<void(std::vector<uint8_t>&)> damage;
    int status;
  } cases[] = {
      {"page size not a multiple of 512", [](auto& s) { s[2] = 0xE8, s[3] = 0x03; },
       kPageSizeError},
      {"page size above 4096", [](auto& s) { s[2] = 0, s[3] = 0x20; }, kPageSizeError},
      {"record length 2", [](auto& s) { s[0] = 2, s[1] = 0; }, kRecordLengthError},
      {"120 keys", [](auto& s) { s[4] = 120; }, kKeyCountError},
      {"more keys than segments", [](auto& s) { s[4] = 3; }, kDataBufferTooShort},
      {"header cut", [](auto& s) { s.resize(10); }, kDataBufferTooShort},
      {"position 0", [](auto& s) { s[16] = 0; }, kKeyPositionError},
      {"past the record", [](auto& s) { s[32] = 30; }, kKeyPositionError},
      {"zero length", [](auto& s) { s[18] = 0; }, kKeyLengthError},
      {"3-byte integer", [](auto& s) { s[18] = 3; }, kKeyLengthError},
      {"type 12", [](auto& s) { s[26] = 12; }, kInvalidKeyType},
      {"type 200", [](auto& s) { s[26] = 200; }, kInvalidKeyType},
      {"3-byte unsigned binary", [](auto& s) { s[26] = kTypeUnsignedBinary, s[18] = 3; },
       kKeyLengthError},
      {"odd old-style binary",
       [](auto& s) {
         s[36] |= kKeyBinary, s[37] &= ~(kKeyExtType >> 8);
         s[34] = 7;
       },
       kKeyLengthError},
      {"5-byte float", [](auto& s) { s[26] = kTypeFloat, s[18] = 5; }, kKeyLengthError},
      {"2-byte date", [](auto& s) { s[26] = kTypeDate, s[18] = 2; }, kKeyLengthError},
      {"4-byte currency", [](auto& s) { s[26] = kTypeCurrency; }, kKeyLengthError},
      {"4-byte logical", [](auto& s) { s[26] = kTypeLogical; }, kKeyLengthError},
      {"3-byte autoincrement", [](auto& s) { s[26] = kTypeAutoIncrement, s[18] = 3; },
       kKeyLengthError},
      {"BLOB type", [](auto& s) { s[26] = 21; }, kInvalidKeyType},
      {"autoincrement with duplicates",
       [](auto& s) { s[26] = kTypeAutoIncrement, s[20] |= kKeyDup; }, kInconsistentKeyFlags},
      {"descending autoincrement",
       [](auto& s) { s[26] = kTypeAutoIncrement, s[20] |= kKeyDescending; }, kInconsistentKeyFlags},
      {"autoincrement segment without its own key",
       [](auto& s) {
         s[4] = 1;
         s[20] |= kKeySegmented;
         s[26] = kTypeAutoIncrement;
       },
       kInconsistentKeyFlags},
      {"key over autoincrement bytes", [](auto& s) { s[26] = kTypeAutoIncrement, s[32] = 3; },
       kInconsistentKeyFlags},
      {"key-only with two keys", [](auto& s) { s[10] = kFileKeyOnly; }, kKeyCountError},
      {"key-only without a key",
       [](auto& s) {
         s[10] = kFileKeyOnly;
         s[4] = 0;
         s.resize(16);
       },
       kKeyCountError},
      {"key-only over 253 bytes",
       [](auto& s) {
         s[10] = kFileKeyOnly;
         s[4] = 1;
         s.resize(32);
         s[0] = 254;
       },
       kRecordLengthError},
      {"ACS without a block", [](auto& s) { s[20] |= kKeyAlternate; }, kInvalidAcs},
      {"mixed duplicate flags",
       [](auto& s) {
         s[4] = 1;
         s[20] |= kKeySegmented | kKeyDup;
       },
       kInconsistentKeyFlags},
      {"ACS block of a wrong kind",
       [](auto& s) {
         std::vector<uint8_t> acs = ReverseAcs("X");
         acs[0] = 0xAB;
         s.insert(s.end(), acs.begin(), acs.end());
       },
       kInvalidAcs},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> spec = base();
    c.damage(spec);
    EXPECT_EQ(Create(spec), c.status) << c.what;
  }
  EXPECT_EQ(Create(base()), 0);
  // An AUTOINCREMENT field may be a segment of a later key, not of an earlier one.
  const std::vector<SegmentDef> autoinc = {{1, 4, 0, kTypeAutoIncrement}};
  const std::vector<SegmentDef> with_name = {{1, 4, 0, kTypeAutoIncrement}, {5, 8, 0, kTypeString}};
  EXPECT_EQ(Create(MakeSpec(32, {autoinc, with_name})), 0);
  EXPECT_EQ(Create(MakeSpec(32, {with_name, autoinc})), kInconsistentKeyFlags);
  std::vector<uint8_t> spec = base();
  uint32_t len = 8;
  b_.SetPath(path_);
  EXPECT_EQ(b_.Call(kOpCreate, spec.data(), &len, 0), kDataBufferTooShort);
  EXPECT_EQ(b_.Call(kOpCreate, nullptr, nullptr, 0), kDataBufferTooShort);
}

TEST_F(CreateStat, AlternateCollatingSequenceOrdersThroughItsMap) {
  std::vector<uint8_t> spec = MakeSpec(8, {{{1, 2, kKeyAlternate | kKeyDup, kTypeString}}});
  std::vector<uint8_t> acs = ReverseAcs("REVERSE");
  spec.insert(spec.end(), acs.begin(), acs.end());
  ASSERT_EQ(Create(spec), 0);
  ASSERT_EQ(b_.Open(path_), 0);
  for (const char* v : {"ab", "zz", "aa", "b0"}) {
    std::vector<uint8_t> rec(8, 0);
    std::memcpy(rec.data(), v, 2);
    ASSERT_EQ(b_.Write(kOpInsert, rec, 0), 0);
  }
  std::string order;
  std::vector<uint8_t> got;
  for (int st = b_.Read(kOpGetFirst, &got, 0); st == 0; st = b_.Read(kOpGetNext, &got, 0)) {
    order += std::string(got.begin(), got.begin() + 2) + " ";
  }
  EXPECT_EQ(order, "zz b0 ab aa ");
}

}  // namespace
}  // namespace tavelnor::btrieve::testing
