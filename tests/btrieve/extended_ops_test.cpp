// Extended operations along key paths and the physical order: start rules,
// the filter limit, end of file, currency afterwards, variable-length
// records; Insert Extended, which keeps the records before a failing one.
#include "chunk_fixture.h"
#include "extended_fixture.h"

namespace tavelnor::btrieve::testing {
namespace {

const std::vector<std::pair<uint16_t, uint16_t>> kIdField = {{4, 0}};

TEST_F(People, GetNextExtendedWalksTheKeyPath) {
  // Name order: BOB 6, Bob 2, ann 1 8 11, bob 4, carl 3, dora 5, eve 7, ...
  ASSERT_EQ(ReadId(kOpGetFirst, 1), 6);
  std::vector<Returned> got;
  ASSERT_EQ(Extended(b_, kOpGetNextExtended, Request({}, kIdField, 3), 1, &got), 0);
  EXPECT_EQ(Ids(got), (std::vector<int32_t>{2, 1, 8}));
  EXPECT_EQ(got[1].pos, positions_[0]);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(b_.key), 8), "ann     ");
  EXPECT_EQ(ReadId(kOpGetNext, 1), 11);  // on from the last record examined
  ASSERT_EQ(Extended(b_, kOpGetPreviousExtended, Request({}, kIdField, 2), 1, &got), 0);
  EXPECT_EQ(Ids(got), (std::vector<int32_t>{8, 1}));
  // "UC" after Get Equal: the record found comes first.
  auto bob = Text("bob", 8);
  b_.SetKey(bob.data(), 8);
  ASSERT_EQ(ReadId(kOpGetEqual, 1), 4);
  ASSERT_EQ(Extended(b_, kOpGetNextExtended, Request({}, kIdField, 2, 0, "UC"), 1, &got), 0);
  EXPECT_EQ(Ids(got), (std::vector<int32_t>{4, 3}));
  // After a Get Key Equal the run of duplicates counts as one value.
  auto ann = Text("ann", 8);
  b_.SetKey(ann.data(), 8);
  std::vector<uint8_t> none(kPersonLen);
  b_.len = 0;
  ASSERT_EQ(b_.Call(kOpGetEqual + kGetKeyBias, none.data(), &b_.len, 1), 0);
  ASSERT_EQ(Extended(b_, kOpGetNextExtended, Request({}, kIdField, 1), 1, &got), 0);
  EXPECT_EQ(Ids(got), (std::vector<int32_t>{4}));
}

TEST_F(People, AFailedFirstTermOnTheKeyEndsTheWalkWithTheFilterLimit) {
  ASSERT_EQ(GetEqual(4), 4);
  std::vector<Returned> got;
  auto below7 = Request({{kTypeInteger, 4, 0, kLt, kLast, Int(7, 4)}}, kIdField, 100, 0, "UC");
  EXPECT_EQ(Extended(b_, kOpGetNextExtended, below7, 0, &got), kFilterLimitReached);
  EXPECT_EQ(Ids(got), (std::vector<int32_t>{4, 5, 6}));
  EXPECT_EQ(b_.Position(), positions_[6]);  // 7 was examined
  auto above2 = Request({{kTypeInteger, 4, 0, kGt, kLast, Int(2, 4)}}, kIdField);
  EXPECT_EQ(Extended(b_, kOpGetPreviousExtended, above2, 0, &got), kFilterLimitReached);
  EXPECT_EQ(Ids(got), (std::vector<int32_t>{6, 5, 4, 3}));
  // Equality stops once the walk has passed the value.
  ASSERT_EQ(ReadId(kOpGetFirst, 0), 1);
  auto is1 = Request({{kTypeInteger, 4, 0, kEq, kLast, Int(1, 4)}}, kIdField, 100, 0, "UC");
  EXPECT_EQ(Extended(b_, kOpGetNextExtended, is1, 0, &got), kFilterLimitReached);
  EXPECT_EQ(Ids(got), (std::vector<int32_t>{1}));
  EXPECT_EQ(b_.Position(), positions_[1]);
  // No limit when the first term is joined by OR, compares another field,
  // or the path is another key.
  const std::vector<std::vector<Term>> unlimited = {
      {{kTypeInteger, 4, 0, kLt, kOr, Int(7, 4)}, {kTypeInteger, 2, 32, kEq, kLast, Int(999, 2)}},
      {{kTypeInteger, 2, 32, kLt, kAnd, Int(100, 2)}, {kTypeInteger, 4, 0, kLt, kLast, Int(7, 4)}},
  };
  for (const auto& terms : unlimited) {
    ASSERT_EQ(GetEqual(4), 4);
    EXPECT_EQ(Extended(b_, kOpGetNextExtended, Request(terms, kIdField, 100, 0, "UC"), 0, &got),
              kEndOfFile);
    EXPECT_EQ(Ids(got), (std::vector<int32_t>{4, 5, 6}));
  }
  ASSERT_EQ(ReadId(kOpGetFirst, 1), 6);
  EXPECT_EQ(Extended(b_, kOpGetNextExtended,
                     Request({{kTypeInteger, 4, 0, kLt, kLast, Int(3, 4)}}, kIdField), 1, &got),
            kEndOfFile);
  EXPECT_EQ(Ids(got), (std::vector<int32_t>{2, 1}));
}

TEST_F(People, AfterAnExtendedOperationWritesNeedANewPosition) {
  ASSERT_EQ(ReadId(kOpGetFirst, 0), 1);
  std::vector<Returned> got;
  ASSERT_EQ(Extended(b_, kOpGetNextExtended, Request({}, kIdField, 1), 0, &got), 0);
  ASSERT_EQ(Ids(got), (std::vector<int32_t>{2}));
  auto r = Bytes(people_[1]);
  EXPECT_EQ(b_.Write(kOpUpdate, r, 0), kInvalidPositioning);
  EXPECT_EQ(b_.Call(kOpDelete, nullptr, &b_.len, 0), kInvalidPositioning);
  std::vector<uint8_t> chunk = Desc::Random({{40, 1}}).Bytes({1}).bytes;
  b_.len = static_cast<uint32_t>(chunk.size());
  EXPECT_EQ(b_.Call(kOpUpdateChunk, chunk.data(), &b_.len, 0), kInvalidPositioning);
  EXPECT_EQ(ReadId(kOpGetNext, 0), 3);  // a plain read positions again
  r = Bytes(people_[2]);
  EXPECT_EQ(b_.Write(kOpUpdate, r, 0), 0);
  // Key paths: another key gives 7, no key position 8, an unknown key 6.
  EXPECT_EQ(Extended(b_, kOpGetNextExtended, Request({}, kIdField), 1, &got), kDifferentKeyNumber);
  EXPECT_EQ(Extended(b_, kOpGetNextExtended, Request({}, kIdField), 5, &got), kInvalidKeyNumber);
  ASSERT_EQ(StepFirst(), 0);
  EXPECT_EQ(Extended(b_, kOpGetNextExtended, Request({}, kIdField), 0, &got), kInvalidPositioning);
  std::vector<uint8_t> request = Request({}, kIdField);
  request.resize(8192);
  ASSERT_EQ(GetEqual(5), 5);
  b_.len = 8192;
  EXPECT_EQ(b_.Call(kOpGetNextExtended, request.data(), &b_.len, 0, 3), kKeyBufferTooShort);
  // No Step Extended right after a Delete.
  ASSERT_EQ(b_.Call(kOpDelete, nullptr, &b_.len, 0), 0);
  EXPECT_EQ(Extended(b_, kOpStepNextExtended, Request({}, kIdField), 0, &got), kInvalidPositioning);
}

// ------------------------------------------------------------ Insert Extended

// The Insert Extended buffer for `records`.
std::vector<uint8_t> Batch(const std::vector<std::vector<uint8_t>>& records) {
  std::vector<uint8_t> out = Int(static_cast<int64_t>(records.size()), 2);
  for (const auto& r : records) {
    auto n = Int(static_cast<int64_t>(r.size()), 2);
    out.insert(out.end(), n.begin(), n.end());
    out.insert(out.end(), r.begin(), r.end());
  }
  return out;
}

using InsertExtended = RecordFile;

// Every record up to a failing one is kept; the answer counts them and gives
// their positions, the key buffer holds the last one's key and it is current.
TEST_F(InsertExtended, KeepsTheRecordsBeforeAFailingOneAndReturnsTheirPositions) {
  Insert(1, "aa", 1);
  struct Case {
    const char* name;
    std::vector<uint8_t> buf;
    int16_t status;
    std::vector<int32_t> kept;
  } cases[] = {
      {"every record", Batch({Rec(50, "bb", 50), Rec(30, "cc", 30), Rec(40, "aa", 40)}), 0,
       {50, 30, 40}},
      {"duplicate of a stored record",
       Batch({Rec(2, "bb", 2), Rec(3, "cc", 3), Rec(1, "dd", 4), Rec(9, "ee", 9)}),
       kDuplicateKey,
       {2, 3}},
      {"duplicate inside the batch", Batch({Rec(5, "bb", 5), Rec(6, "cc", 5)}), kDuplicateKey, {5}},
      {"record shorter than the fixed part",
       Batch({Rec(7, "bb", 7), std::vector<uint8_t>(kRecLen - 1, 0), Rec(8, "ff", 8)}),
       kDataBufferTooShort,
       {7}},
      {"the first record fails", Batch({Rec(1, "xx", 10)}), kDuplicateKey, {}},
  };
  uint32_t count = Count();
  for (Case& c : cases) {
    b_.len = static_cast<uint32_t>(c.buf.size());
    EXPECT_EQ(b_.Call(kOpInsertExtended, c.buf.data(), &b_.len, 0), c.status) << c.name;
    if (!c.kept.empty()) {  // the key of the last record kept
      EXPECT_EQ(IdOf(std::vector<uint8_t>(b_.key, b_.key + 4)), c.kept.back()) << c.name;
    }
    // The first word counts the records kept, their addresses follow.
    ASSERT_EQ(b_.len, 2 + 4 * c.kept.size()) << c.name;
    ASSERT_EQ(c.buf[0] | (c.buf[1] << 8), static_cast<int>(c.kept.size())) << c.name;
    count += static_cast<uint32_t>(c.kept.size());
    EXPECT_EQ(Count(), count) << c.name;
    Block other;
    ASSERT_EQ(other.Open(path_), 0);
    for (size_t i = 0; i < c.kept.size(); ++i) {
      std::vector<uint8_t> r(kRecLen);
      std::memcpy(r.data(), c.buf.data() + 2 + 4 * i, 4);
      other.len = kRecLen;
      ASSERT_EQ(other.Call(kOpGetDirect, r.data(), &other.len, -1), 0) << c.name;
      EXPECT_EQ(IdOf(r), c.kept[i]) << c.name;
    }
    ASSERT_EQ(other.Close(), 0);
    if (c.kept.empty()) continue;
    // The last record kept is current.
    uint32_t last = 0;
    std::memcpy(&last, c.buf.data() + 2 + 4 * (c.kept.size() - 1), 4);
    EXPECT_EQ(b_.Position(), last) << c.name;
  }
  // A batch that keeps nothing leaves currency alone: 7 is still current.
  EXPECT_EQ(ReadId(kOpGetPrevious, 0), 5);
}

TEST_F(InsertExtended, KeptRecordsBelongToTheCallersTransaction) {
  Insert(1, "aa", 1);
  for (int op : {kOpAbortTransaction, kOpEndTransaction}) {
    b_.len = 0;
    ASSERT_EQ(b_.Call(kOpBeginTransaction, nullptr, &b_.len, 0), 0);
    auto buf = Batch({Rec(2, "bb", 2), Rec(1, "cc", 3)});
    b_.len = static_cast<uint32_t>(buf.size());
    ASSERT_EQ(b_.Call(kOpInsertExtended, buf.data(), &b_.len, 0), kDuplicateKey);
    EXPECT_EQ(buf[0], 1);
    b_.len = 0;
    ASSERT_EQ(b_.Call(op, nullptr, &b_.len, 0), 0);
    EXPECT_EQ(Count(), op == kOpAbortTransaction ? 1u : 2u);
  }
}

TEST_F(InsertExtended, MalformedBatchesInsertNothing) {
  Insert(1, "aa", 1);
  struct Case {
    const char* name;
    std::vector<uint8_t> buf;
  } cases[] = {
      {"bytes after the last record",
       [] {
         auto b = Batch({Rec(2, "bb", 2)});
         b.push_back(0);
         return b;
       }()},
      {"count larger than the records",
       [] {
         auto b = Batch({Rec(2, "bb", 2)});
         b[0] = 2;
         return b;
       }()},
      {"length past the buffer",
       [] {
         auto b = Batch({Rec(2, "bb", 2)});
         b[2] = kRecLen + 1;
         return b;
       }()},
      {"absurd count", {0xFF, 0xFF, 4, 0}},
  };
  for (Case& c : cases) {
    b_.len = static_cast<uint32_t>(c.buf.size());
    EXPECT_EQ(b_.Call(kOpInsertExtended, c.buf.data(), &b_.len, 0), kInvalidInsertExtended)
        << c.name;
    EXPECT_EQ(Count(), 1u) << c.name;
  }
  auto buf = Batch({Rec(2, "bb", 2)});
  b_.len = 1;
  EXPECT_EQ(b_.Call(kOpInsertExtended, buf.data(), &b_.len, 0), kDataBufferTooShort);
  b_.len = static_cast<uint32_t>(buf.size());
  EXPECT_EQ(b_.Call(kOpInsertExtended, buf.data(), &b_.len, 7), kInvalidKeyNumber);
  Block reader;
  ASSERT_EQ(reader.Open(path_, -2), 0);
  reader.len = static_cast<uint32_t>(buf.size());
  EXPECT_EQ(reader.Call(kOpInsertExtended, buf.data(), &reader.len, 0), kAccessDenied);
  ASSERT_EQ(reader.Close(), 0);
  EXPECT_EQ(Count(), 1u);
}

}  // namespace
}  // namespace tavelnor::btrieve::testing
