// BtrvFile against a scripted record manager: Open's retries, Stat's effects,
// the forms of Get Direct, key currency, Create's retries and transactions.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

#include "data/btrv_constants.h"
#include "data/btrv_file.h"
#include "data/btrv_test_support.h"
#include "data/data_context.h"
#include "foundation/byte_reader.h"

namespace tavelnor::data {
namespace {

using testing::Answer;
using testing::DialogRecorder;
using testing::RegistrySandbox;
using testing::ReportRecorder;
using testing::ScriptedRecordManager;

// A Stat answer: record length, version byte, file flags, and segments given
// as (flags, extended type).
Answer StatAnswer(uint16_t record_length, uint8_t version, uint16_t file_flags, uint8_t keys,
                  std::vector<std::pair<uint16_t, uint8_t>> segments) {
  return {0, [=](uint8_t* d, uint32_t* len, uint8_t*) {
            StoreLE16(d, record_length);
            StoreLE16(d + 2, 1024);
            d[4] = keys;
            d[5] = version;
            StoreLE16(d + 10, file_flags);
            size_t at = 16;
            for (auto [flags, type] : segments) {
              StoreLE16(d + at + 4, flags);
              d[at + 10] = type;
              at += 16;
            }
            *len = static_cast<uint32_t>(at);
          }};
}

class BtrvFileTest : public ::testing::Test {
 protected:
  RegistrySandbox registry_;
  ScriptedRecordManager rm_;
  ReportRecorder reports_;
  DialogRecorder dialogs_;
  // A Stat that leaves records of `length` bytes and no flags.
  void StatOf(uint16_t length) {
    rm_.Then(StatAnswer(length, 0x70, 0, 0, {}));
    ASSERT_EQ(file_.Stat(), 0);
  }

  BtrvFile file_;
  const Chaine path_ = "/data/CLIENT.DAT";
};

TEST_F(BtrvFileTest, OpenSendsOwnerPathAndModeThenStats) {
  file_.SetOwnerName("SECRET123");
  rm_.Then(0);
  rm_.Then(StatAnswer(120, 0x70, 0x0001, 1, {{0x0100, 15}}));
  EXPECT_EQ(file_.Open(path_, static_cast<int16_t>(0xFE)), 0);
  ASSERT_EQ(rm_.ops(), (std::vector<uint16_t>{0, 15}));
  const auto& open = rm_.calls()[0];
  EXPECT_EQ(open.key_text, "/data/CLIENT.DAT");
  EXPECT_EQ(open.key_num, static_cast<int8_t>(0xFE));
  EXPECT_EQ(open.data_len, 9u) << "eight characters kept, with the zero";
  EXPECT_EQ(std::string(open.data.begin(), open.data.end()), std::string("SECRET12\0", 9));
  EXPECT_EQ(rm_.calls()[1].key_num, -1);
  EXPECT_EQ(rm_.calls()[1].data_len, kStatBufferSize);
  EXPECT_TRUE(file_.is_open());
  EXPECT_EQ(file_.record_length(), 120);
  EXPECT_EQ(file_.flags(), kBtrvOpen | kBtrvAutoIncrement | kBtrvVariableLength);
  EXPECT_EQ(file_.creation_path().view(), path_.view()) << "POSIX: the path itself";
}

TEST_F(BtrvFileTest, StatSeesOldFormatsAndAutoIncrementInLaterKeys) {
  rm_.Then(StatAnswer(50, 0x50, 0, 2, {{0x0110, 1}, {0x0100, 0}, {0x0100, 15}}));
  EXPECT_EQ(file_.Stat(), 0);
  EXPECT_EQ(file_.flags(), kBtrvOldFormat | kBtrvAutoIncrement);
  rm_.Then(StatAnswer(50, 0x60, 0, 1, {{0x0100, 14}}));
  EXPECT_EQ(file_.Stat(), 0);
  EXPECT_EQ(file_.flags(), 0) << "each Stat sets the three flags afresh";
}

TEST_F(BtrvFileTest, OpenGivesUpAfterThreeLocks) {
  rm_.ThenMany({85, 85, 85});  // a fourth attempt would meet success
  EXPECT_EQ(file_.Open(path_), 85);
  EXPECT_EQ(rm_.ops(), (std::vector<uint16_t>{0, 0, 0}));
  EXPECT_FALSE(file_.is_open());
  ASSERT_FALSE(reports_.reports().empty());
  EXPECT_EQ(reports_.reports().back().status, 85);
  EXPECT_EQ(reports_.reports().back().operation, 0);
  EXPECT_EQ(dialogs_.notices_opened, 0) << "Open never waits";
  // The third attempt still counts.
  rm_.ThenMany({85, 85, 0});
  EXPECT_EQ(file_.Open(path_), 0);
  EXPECT_EQ(rm_.ops(), (std::vector<uint16_t>{0, 0, 0, 0, 0, 0, 15}));
}

TEST_F(BtrvFileTest, WrongOwnerIsDroppedAndOpenRetried) {
  file_.SetOwnerName("OLD");
  rm_.ThenMany({51, 0});
  EXPECT_EQ(file_.Open(path_), 0);
  ASSERT_GE(rm_.calls().size(), 2u);
  EXPECT_EQ(rm_.calls()[1].data_len, 1u) << "empty owner name, its zero only";
  EXPECT_TRUE(file_.owner_name().IsEmpty());
  EXPECT_TRUE(reports_.reports().empty());
}

TEST_F(BtrvFileTest, MissingOwnerIsReportedOnce) {
  rm_.ThenMany({51, 51});
  EXPECT_EQ(file_.Open(path_), 51);
  EXPECT_EQ(rm_.ops(), (std::vector<uint16_t>{0}));
  ASSERT_EQ(reports_.reports().size(), 1u);
  EXPECT_EQ(reports_.reports()[0].status, 51);
  EXPECT_EQ(reports_.reports()[0].file, "/data/CLIENT.DAT");
}

TEST_F(BtrvFileTest, PathTooLongForTheKeyBufferIsRefused) {
  const std::string long_path = "/" + std::string(300, 'a');
  EXPECT_EQ(file_.Open(Chaine(long_path)), 11);
  EXPECT_TRUE(rm_.calls().empty());
  ASSERT_EQ(reports_.reports().size(), 1u);
  EXPECT_EQ(reports_.reports()[0].status, 11);
}

TEST_F(BtrvFileTest, ReadsPassTheRecordLengthAndFollowKeys) {
  StatOf(30);
  uint8_t rec[30], key[255];
  std::memset(key, 'x', sizeof key);
  rm_.Then({0, [](uint8_t*, uint32_t* len, uint8_t*) { *len = 26; }});
  EXPECT_EQ(file_.Get(btrieve::kOpGetFirst, rec, key, 1, btrieve::kBiasSingleNoWait), 0);
  EXPECT_EQ(rm_.calls().back().op, 212);
  EXPECT_EQ(rm_.calls().back().data_len, 30u);
  EXPECT_EQ(rm_.calls().back().key_text, "") << "Get First clears the key buffer";
  EXPECT_EQ(file_.record_length(), 26) << "the length written back is the next read's";
  EXPECT_EQ(file_.current_key(), 1);
  file_.Get(btrieve::kOpGetNext, rec, key, -1);
  EXPECT_EQ(file_.current_key(), 1) << "-1 leaves the current key";
  file_.Step(btrieve::kOpStepNext, rec);
  EXPECT_EQ(file_.current_key(), -1);
  EXPECT_EQ(rm_.calls().back().key_num, -1);
  file_.Insert(rec, 30, key, 3);
  EXPECT_EQ(file_.current_key(), 3);
  file_.Extended(btrieve::kOpGetNextExtended, rec, 65536 + 20, key, 1);
  EXPECT_EQ(rm_.calls().back().data_len, 20u);
  EXPECT_EQ(file_.current_key(), -1);
}

TEST_F(BtrvFileTest, GetDirectOfShortRecordsGoesThroughFourBytes) {
  StatOf(3);
  uint8_t rec[3] = {0xEE, 0xEE, 0xEE}, key[255] = {};
  rm_.Then({0, [](uint8_t* d, uint32_t*, uint8_t*) { d[0] = 'a', d[1] = 'b', d[2] = 'c'; }});
  EXPECT_EQ(file_.GetDirect(9, rec, key, 0), 0);
  EXPECT_EQ(rm_.calls().back().data_len, 4u);
  EXPECT_EQ(std::string(rec, rec + 3), "abc");
}

TEST_F(BtrvFileTest, RepositioningGetDirectAccepts22WithLength4) {
  StatOf(30);
  ASSERT_EQ(BtrvFile::RecordManagerVersion(), 7) << "the scripted Version answers 7";
  rm_.Then(22);
  EXPECT_EQ(file_.GetDirect(5, nullptr, nullptr, 1), 0);
  EXPECT_EQ(rm_.calls().back().data_len, 4u);
  EXPECT_EQ(file_.current_key(), 1);
  EXPECT_TRUE(reports_.reports().empty());
  EXPECT_EQ(BtrvFile::RepositionLength(6, 30), 30);
  EXPECT_EQ(BtrvFile::RepositionLength(0, 30), 30) << "a failed Version counts as old";
}

TEST_F(BtrvFileTest, CreateSendsTheSpecificationAtTheCreationPath) {
  file_.SetFileName(path_);
  file_.BeginCreationSpec(40, 0, 1, 0);
  ASSERT_EQ(file_.AddKeySegment(0, 4, 0x0001, 1), 0);
  ASSERT_EQ(file_.AddKeySegment(4, 10, 0x0000, 11), 0);
  EXPECT_EQ(file_.Create(), 0);
  ASSERT_EQ(rm_.calls().size(), 1u);
  const auto& c = rm_.calls()[0];
  EXPECT_EQ(c.op, 14);
  EXPECT_EQ(c.key_num, 0);
  EXPECT_EQ(c.key_text, "/data/CLIENT.DAT");
  EXPECT_EQ(c.data_len, 48u);
  EXPECT_EQ(c.data[2] | (c.data[3] << 8), 1024) << "page size 0 becomes 1024";
  EXPECT_NE(file_.creation_spec(), nullptr) << "kept until the next Open";
}

TEST_F(BtrvFileTest, TransactionHoldsTheDataContextSection) {
  auto other_thread_enters = [] {
    bool got = false;
    std::thread([&] {
      got = DataContext::Process().section().try_lock();
      if (got) DataContext::Process().section().unlock();
    }).join();
    return got;
  };
  rm_.ThenMany({0, 0});
  EXPECT_EQ(file_.BeginTransaction(), 0);
  EXPECT_EQ(rm_.calls().back().op, 1019);
  EXPECT_TRUE(BtrvFile::InTransaction());
  EXPECT_FALSE(other_thread_enters());
  EXPECT_EQ(file_.EndTransaction(), 0);
  EXPECT_EQ(rm_.calls().back().op, 20);
  EXPECT_FALSE(BtrvFile::InTransaction());
  EXPECT_TRUE(other_thread_enters());
  rm_.Then(39);
  EXPECT_EQ(file_.AbortTransaction(), 39) << "without Begin: nothing to leave";
  EXPECT_EQ(rm_.calls().back().op, 21);
}

}  // namespace
}  // namespace tavelnor::data
