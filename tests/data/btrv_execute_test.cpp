// BtrvExecute against a scripted record manager: lock biases and waits, the
// status corrections, short buffers, silent and quiet statuses, and what is
// reported.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "data/btrv_constants.h"
#include "data/btrv_execute.h"
#include "data/btrv_test_support.h"

namespace tavelnor::data {
namespace {

using testing::DialogRecorder;
using testing::RegistrySandbox;
using testing::ReportRecorder;
using testing::ScratchFolder;
using testing::ScriptedRecordManager;

class BtrvExecuteTest : public ::testing::Test {
 protected:
  int16_t Run(uint16_t op, uint16_t bias = 0, const char* file = "/data/CLIENT.DAT",
              bool accept_short = false, bool quiet = false, const BtrvClientId* id = nullptr,
              uint16_t* len = nullptr) {
    uint16_t own_len = 40;
    return BtrvExecute(op, pos_, data_, len != nullptr ? len : &own_len, key_, 0, bias, id, file,
                       accept_short, quiet);
  }

  RegistrySandbox registry_;
  ScriptedRecordManager rm_;
  ReportRecorder reports_;
  DialogRecorder dialogs_;
  uint8_t pos_[128] = {};
  uint8_t data_[64] = {};
  uint8_t key_[255] = {};
};

struct BiasCase {
  const char* name;
  uint16_t op;
  uint16_t bias;
  uint16_t first_issued;
};

class BiasTest : public BtrvExecuteTest, public ::testing::WithParamInterface<BiasCase> {};

TEST_P(BiasTest, FirstCallCarriesTheNoWaitFormOnlyWhereBiasesApply) {
  rm_.Then(0);
  EXPECT_EQ(Run(GetParam().op, GetParam().bias), 0);
  ASSERT_EQ(rm_.calls().size(), 1u);
  EXPECT_EQ(rm_.calls()[0].op, GetParam().first_issued);
}

INSTANTIATE_TEST_SUITE_P(
    Operations, BiasTest,
    ::testing::Values(BiasCase{"GetNextSingleWait", 6, 100, 206},
                      BiasCase{"GetLastMultipleWait", 13, 300, 413},
                      BiasCase{"GetNextNoWaitKept", 6, 200, 206},
                      BiasCase{"GetDirectSingleWait", 23, 100, 223},
                      BiasCase{"StepNext", 24, 100, 224},
                      BiasCase{"StepPreviousExtended", 39, 400, 439},
                      BiasCase{"GetEqualDropsIt", 5, 100, 5}, BiasCase{"InsertDropsIt", 2, 200, 2},
                      BiasCase{"GetByPercentageDropsIt", 44, 100, 44},
                      BiasCase{"NoBias", 6, 0, 6}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BtrvExecuteTest, WaitBiasIsRetriedInItsWaitFormUntilTheLockGoes) {
  rm_.ThenMany({84, 84, 84, 0});
  EXPECT_EQ(Run(btrieve::kOpGetNext, btrieve::kBiasSingleWait), 0);
  EXPECT_EQ(rm_.ops(), (std::vector<uint16_t>{206, 106, 106, 106}));
  EXPECT_EQ(dialogs_.notices_opened, 1);
  EXPECT_EQ(dialogs_.notices_closed, 1);
  EXPECT_TRUE(reports_.reports().empty());
}

TEST_F(BtrvExecuteTest, NoWaitBiasReturnsTheLockAtOnceAndSilently) {
  rm_.Then(84);
  EXPECT_EQ(Run(btrieve::kOpGetNext, btrieve::kBiasSingleNoWait), 84);
  EXPECT_EQ(rm_.calls().size(), 1u);
  EXPECT_EQ(dialogs_.notices_opened, 0);
  EXPECT_TRUE(reports_.reports().empty());
}

TEST_F(BtrvExecuteTest, InsertIsRepeatedOn85WithOneNotice) {
  rm_.ThenMany({85, 85, 85, 5});
  EXPECT_EQ(Run(btrieve::kOpInsert), 5);
  EXPECT_EQ(rm_.ops(), (std::vector<uint16_t>{2, 2, 2, 2}));
  EXPECT_EQ(dialogs_.notices_opened, 1);
  EXPECT_EQ(dialogs_.notices_closed, 1);
  EXPECT_EQ(dialogs_.notice_caption, "Tavelnor");
  EXPECT_EQ(dialogs_.notice_text, ELockDlg::Text());
  EXPECT_TRUE(reports_.reports().empty()) << "5 is a silent status";
}

TEST_F(BtrvExecuteTest, OpenNeverWaitsAndReports85) {
  rm_.Then(85);
  EXPECT_EQ(Run(btrieve::kOpOpen, btrieve::kBiasSingleWait), 85);
  EXPECT_EQ(rm_.calls().size(), 1u);
  ASSERT_EQ(reports_.reports().size(), 1u);
  EXPECT_EQ(reports_.reports()[0].status, 85);
  EXPECT_EQ(reports_.reports()[0].operation, 0);
}

TEST_F(BtrvExecuteTest, StatusCorrectionsDependOnTheOperationAndThePath) {
  ScratchFolder folder;
  folder.Write("exists.dat", "x");
  std::filesystem::create_directory(folder.Path("adir"));
  const struct {
    uint16_t op;
    int16_t status;
    std::string path;
    int16_t answer;
  } cases[] = {
      // Create's 11 is success only over a regular file.
      {btrieve::kOpCreate, 11, folder.Path("exists.dat"), 0},
      {btrieve::kOpCreate, 11, folder.Path("adir"), 11},
      {btrieve::kOpCreate, 11, folder.Path("missing.dat"), 11},
      {btrieve::kOpOpen, 11, folder.Path("exists.dat"), 11},
      // Open's 35 is file-not-found (silent) when the folder exists.
      {btrieve::kOpOpen, 35, folder.Path("CLIENT.DAT"), 12},
      {btrieve::kOpOpen, 35, folder.Path("nofolder/CLIENT.DAT"), 35},
      {btrieve::kOpOpen, 35, "CLIENT.DAT", 35},  // no folder part
      {btrieve::kOpGetEqual, 35, folder.Path("CLIENT.DAT"), 35},
  };
  for (const auto& c : cases) {
    rm_.Then(c.status);
    EXPECT_EQ(Run(c.op, 0, c.path.c_str()), c.answer) << c.op << " " << c.path;
  }
  EXPECT_EQ(reports_.reports().size(), 6u) << "neither the success nor 12 is reported";
}

TEST_F(BtrvExecuteTest, ShortBufferAcceptedOnlyWhereAllowed) {
  uint16_t four = 4;
  rm_.Then(22);
  EXPECT_EQ(Run(btrieve::kOpGetDirect, 0, "f", false, false, nullptr, &four), 0);
  uint16_t forty = 40;
  rm_.Then(22);
  EXPECT_EQ(Run(btrieve::kOpGetDirect, 0, "f", false, false, nullptr, &forty), 22);
  rm_.Then(22);
  EXPECT_EQ(Run(btrieve::kOpGetNext, 0, "f", /*accept_short=*/true), 0);
  rm_.Then(22);
  EXPECT_EQ(Run(btrieve::kOpGetNext, 0, "f"), 22);
  ASSERT_EQ(reports_.reports().size(), 2u);
  EXPECT_EQ(reports_.reports()[1].operation, 6);
}

TEST_F(BtrvExecuteTest, SilentStatusesAreNeverReported) {
  for (int status : {3, 4, 5, 8, 9, 12, 44, 51, 59, 60, 64, 77, 78, 80, 81, 82, 84, 85, 103}) {
    rm_.Then(static_cast<int16_t>(status));
    EXPECT_EQ(Run(btrieve::kOpGetEqual), status);
  }
  EXPECT_TRUE(reports_.reports().empty());
  for (int status : {2, 43, 46, 88}) {
    rm_.Then(static_cast<int16_t>(status));
    EXPECT_EQ(Run(btrieve::kOpGetEqual), status);
  }
  // 43 is quiet without switches: only 2, 46 and 88 are reported.
  ASSERT_EQ(reports_.reports().size(), 3u);
  EXPECT_EQ(reports_.reports()[0].status, 2);
  EXPECT_EQ(reports_.reports()[0].file, "/data/CLIENT.DAT");
  EXPECT_EQ(reports_.reports()[0].message, "");
}

TEST_F(BtrvExecuteTest, ReportCarriesTheOperationAsIssued) {
  rm_.Then(2);
  EXPECT_EQ(Run(btrieve::kOpGetNext, btrieve::kBiasSingleNoWait), 2);
  ASSERT_EQ(reports_.reports().size(), 1u);
  EXPECT_EQ(reports_.reports()[0].operation, 206);
  EXPECT_EQ(OperationDisplayName(206), "Unknown(206)");
  EXPECT_EQ(OperationDisplayName(6), "GetNext");
  EXPECT_EQ(OperationDisplayName(200), "Single record no wait lock");
  EXPECT_EQ(OperationDisplayName(-1), "Unknown(-1)");
}

TEST_F(BtrvExecuteTest, ClientIdUsedOnlyWithANonZeroClientNumber) {
  BtrvClientId id;
  id.bytes[0] = 9;  // not the client number
  Run(btrieve::kOpGetFirst, 0, "f", false, false, &id);
  id.bytes[15] = 1;
  Run(btrieve::kOpGetFirst, 0, "f", false, false, &id);
  Run(btrieve::kOpGetFirst, 0, "f", false, false, &ProcessClientId());
  ASSERT_EQ(rm_.calls().size(), 3u);
  EXPECT_FALSE(rm_.calls()[0].with_id);
  EXPECT_TRUE(rm_.calls()[1].with_id);
  EXPECT_FALSE(rm_.calls()[2].with_id);
}

}  // namespace
}  // namespace tavelnor::data
