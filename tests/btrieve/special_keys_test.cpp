// AUTOINCREMENT keys, key-only files, null keys (all-segment and any-segment
// forms) and variable-length records.
#include "record_fixture.h"

namespace tavelnor::btrieve::testing {
namespace {

class SpecialKeys : public ::testing::Test {
 protected:
  void Open(std::vector<uint8_t> spec) {
    ASSERT_EQ(b_.Create(path_, spec), 0);
    ASSERT_EQ(b_.Open(path_), 0);
  }
  ScratchDir dir_;
  std::string path_ = dir_.File("special.btr");
  Block b_;
};

TEST_F(SpecialKeys, AutoIncrementFillsZeroWithTheNextValue) {
  Open(MakeSpec(12, {{{1, 4, 0, kTypeAutoIncrement}}, {{5, 4, kKeyDup, kTypeString}}}));
  auto insert = [&](int32_t value, int key_num = 0) {
    std::vector<uint8_t> r(12, 'x');
    std::memcpy(r.data(), &value, 4);
    int16_t st = b_.Write(kOpInsert, r, key_num);
    int32_t stored;
    std::memcpy(&stored, r.data(), 4);
    return st == 0 ? stored : -1000 - st;
  };
  EXPECT_EQ(insert(0), 1);
  EXPECT_EQ(b_.key[0], 1);  // the key buffer holds the completed key
  EXPECT_EQ(insert(0, 1), 2);
  EXPECT_EQ(insert(10), 10);
  EXPECT_EQ(insert(-20), -20);  // a negative value counts by its absolute value
  EXPECT_EQ(insert(0), 21);
  EXPECT_EQ(insert(21), -1000 - kDuplicateKey);
  EXPECT_EQ(insert(-21), -1000 - kDuplicateKey);
  // Deleting the top record gives its number back.
  std::vector<uint8_t> got;
  ASSERT_EQ(b_.Read(kOpGetLast, &got, 0), 0);
  ASSERT_EQ(b_.Call(kOpDelete, nullptr, &b_.len, 0), 0);
  EXPECT_EQ(insert(0), 21);
}

TEST_F(SpecialKeys, KeyOnlyFilesAreReachedThroughTheirKeyAlone) {
  Open(MakeSpec(253, {{{1, 4, 0, kTypeInteger}}}, kFileKeyOnly));
  std::vector<uint8_t> r(253, 'k');
  for (int32_t id : {2, 1, 3}) {
    std::memcpy(r.data(), &id, 4);
    ASSERT_EQ(b_.Write(kOpInsert, r, 0), 0);
  }
  std::vector<uint8_t> got;
  ASSERT_EQ(b_.Read(kOpGetFirst, &got, 0), 0);
  ASSERT_EQ(got.size(), 253u);
  // Nothing walks or addresses the records physically.
  uint8_t buf[300] = {1, 0, 0, 0};
  const struct {
    int op;
    int key_num;
  } refused[] = {{kOpStepFirst, 0},    {kOpStepLast, 0},         {kOpStepNext, 0},
                 {kOpStepPrevious, 0}, {kOpStepNextExtended, 0}, {kOpStepPreviousExtended, 0},
                 {kOpGetPosition, 0},  {kOpGetDirect, 0},        {kOpGetDirect, -1},
                 {kOpGetDirect, -2},   {kOpGetByPercentage, -1}, {kOpFindPercentage, -1},
                 {kOpCreateIndex, 0},  {kOpDropIndex, 0}};
  for (const auto& c : refused) {
    b_.len = sizeof buf;
    EXPECT_EQ(b_.Call(c.op, buf, &b_.len, c.key_num), kNotAllowedNow) << c.op << " " << c.key_num;
  }
  // The key path still works, from where the Get left it.
  ASSERT_EQ(b_.Read(kOpGetNext, &got, 0), 0);
  EXPECT_EQ(got[0], 2);
  buf[0] = 0x10, buf[1] = 0x27;  // 10,000: the last record
  b_.len = sizeof buf;
  ASSERT_EQ(b_.Call(kOpGetByPercentage, buf, &b_.len, 0), 0);
  EXPECT_EQ(buf[0], 3);
}

TEST_F(SpecialKeys, NullKeysStayOutOfTheirIndexOnly) {
  // key 0: two segments, null when all are null; key 1: the same, null when any is.
  Open(MakeSpec(8, {{{1, 2, kKeyNullAll, kTypeString, ' '}, {3, 2, kKeyNullAll, kTypeInteger, 0}},
                    {{1, 2, kKeyNullAny, kTypeString, ' '}, {3, 2, kKeyNullAny, kTypeInteger, 0}},
                    {{5, 4, 0, kTypeInteger}}}));
  struct Row {
    const char* text;
    int16_t number;
  } rows[] = {{"  ", 0}, {"  ", 5}, {"ab", 0}, {"ab", 5}, {"  ", 0}};
  for (int i = 0; i < 5; ++i) {
    std::vector<uint8_t> r(8, 0);
    std::memcpy(r.data(), rows[i].text, 2);
    std::memcpy(r.data() + 2, &rows[i].number, 2);
    r[4] = static_cast<uint8_t>(i);
    ASSERT_EQ(b_.Write(kOpInsert, r, 2), 0) << "null values never collide: " << i;
  }
  auto walk = [&](int key_num) {
    std::vector<int> ids;
    std::vector<uint8_t> r;
    for (int st = b_.Read(kOpGetFirst, &r, key_num); st == 0;
         st = b_.Read(kOpGetNext, &r, key_num)) {
      ids.push_back(r[4]);
    }
    return ids;
  };
  EXPECT_EQ(walk(0), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(walk(1), (std::vector<int>{3}));
  EXPECT_EQ(walk(2), (std::vector<int>{0, 1, 2, 3, 4}));
  // Steps see every record; Get Direct on a path where the record is null gives 44.
  std::vector<uint8_t> r;
  ASSERT_EQ(b_.Read(kOpStepFirst, &r, 0), 0);
  uint32_t pos = b_.Position();
  std::vector<uint8_t> data(8);
  std::memcpy(data.data(), &pos, 4);
  b_.len = 8;
  EXPECT_EQ(b_.Call(kOpGetDirect, data.data(), &b_.len, 0), kInvalidKeyPath);
  // An Insert whose key is null on the path leaves no logical position there.
  std::vector<uint8_t> blank(8, 0);
  std::memcpy(blank.data(), "  ", 2);
  blank[4] = 9;
  ASSERT_EQ(b_.Write(kOpInsert, blank, 0), 0);
  EXPECT_EQ(b_.Read(kOpGetNext, &r, 0), kInvalidPositioning);
}

TEST_F(SpecialKeys, SearchesFollowTheKeyOrderNotTheRawBytes) {
  Open(MakeSpec(12, {{{1, 4, kKeyNoCase, kTypeZstring}}, {{5, 2, kKeyDescending, kTypeInteger}}}));
  const char* names[] = {"abc", "\xE9t\xE9", "Abd", "x"};
  for (int16_t i = 0; i < 4; ++i) {
    std::vector<uint8_t> r(12, 0);
    std::memcpy(r.data(), names[i], std::strlen(names[i]));
    std::memcpy(r.data() + 4, &i, 2);
    ASSERT_EQ(b_.Write(kOpInsert, r, 0), 0);
  }
  auto get = [&](int op, int key_num, const void* key, size_t n) {
    b_.SetKey(key, n);
    std::vector<uint8_t> r;
    int16_t st = b_.Read(op, &r, key_num);
    return st == 0 ? static_cast<int>(r[4]) : -1000 - st;
  };
  EXPECT_EQ(get(kOpGetEqual, 0, "ABC", 4), 0);
  EXPECT_EQ(get(kOpGetEqual, 0, "\xC9T\xC9", 4), 1);  // upper-case through the 1252 table
  EXPECT_EQ(get(kOpGetGreater, 0, "ABC", 4), 2);
  EXPECT_EQ(get(kOpGetEqual, 0, "AB\0", 4), -1000 - kKeyNotFound);
  // On a descending key "greater" means later in the index, so smaller values.
  int16_t two = 2;
  EXPECT_EQ(get(kOpGetGreater, 1, &two, 2), 1);
  EXPECT_EQ(get(kOpGetLess, 1, &two, 2), 3);
  EXPECT_EQ(get(kOpGetFirst, 1, &two, 2), 3);
  int16_t sixteen = 16;
  EXPECT_EQ(get(kOpGetGreaterOrEqual, 1, &sixteen, 2), 3);
  EXPECT_EQ(get(kOpGetLessOrEqual, 1, &sixteen, 2), -1000 - kEndOfFile);
}

}  // namespace
}  // namespace tavelnor::btrieve::testing
