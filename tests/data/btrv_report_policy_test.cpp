// The registry switches of error reporting: the option word, the
// "ShowBtrvErr" listing, and the typed registry values behind them.
#include <gtest/gtest.h>

#include "data/btrv_constants.h"
#include "data/btrv_execute.h"
#include "data/btrv_report_policy.h"
#include "data/btrv_test_support.h"
#include "foundation/platform/registry_values.h"

namespace tavelnor::data {
namespace {

using platform::RegistryHive;
using platform::RegistryValue;
using testing::RegistrySandbox;
using testing::ReportRecorder;
using testing::ScriptedRecordManager;

constexpr char kShowKey[] = "SOFTWARE\\OXA\\Tavelnor\\ShowBtrvErr";

class ReportPolicyTest : public ::testing::Test {
 protected:
  // One read that ends with `status`; answers whether it was reported.
  bool Reported(int16_t status, bool quiet = false) {
    const size_t before = reports_.reports().size();
    rm_.Then(status);
    uint8_t pos[128] = {}, data[16] = {}, key[255] = {};
    uint16_t len = sizeof data;
    EXPECT_EQ(BtrvExecute(btrieve::kOpGetEqual, pos, data, &len, key, 0, 0, nullptr, "f.dat", false,
                          quiet),
              status);
    return reports_.reports().size() > before;
  }
  std::string Listed(int status) {
    Result<RegistryValue> v = platform::ReadRegistryValue(RegistryHive::kLocalMachine, kShowKey,
                                                          std::to_string(status));
    if (!v.ok()) return "absent";
    if (v->type != RegistryValue::Type::kNumber) return "not a number";
    return std::to_string(static_cast<int32_t>(v->number));
  }

  RegistrySandbox registry_;
  ScriptedRecordManager rm_;
  ReportRecorder reports_;
};

TEST_F(ReportPolicyTest, OptionWordTakesTheUserValueInTheLowHalf) {
  registry_.Options(0x0202);
  registry_.Machine("[Software\\OXA\\Common\\Settings]\nOXAOption=dword:00000404\n");
  const ReportOptions o = ReadReportOptions();
  EXPECT_EQ(o.word, 0x04040202u);
  EXPECT_TRUE(o.show());
  EXPECT_FALSE(o.strict()) << "the machine's half lies outside both masks";
}

TEST_F(ReportPolicyTest, WithoutSwitchesNothingIsListed) {
  EXPECT_TRUE(Reported(2));
  EXPECT_EQ(Listed(2), "absent");
}

TEST_F(ReportPolicyTest, ShowListsEveryStatusMetWithMinusOne) {
  registry_.Options(0x0002);
  EXPECT_TRUE(Reported(2));
  EXPECT_EQ(Listed(2), "-1");
  EXPECT_TRUE(Reported(43)) << "show lets quiet statuses through";
  EXPECT_EQ(Listed(43), "-1");
  EXPECT_FALSE(Reported(43, /*quiet=*/true)) << "unless the caller asks for quiet";
  EXPECT_FALSE(Reported(4)) << "silent statuses never reach the listing";
  EXPECT_EQ(Listed(4), "absent");
}

TEST_F(ReportPolicyTest, ListedZeroSilencesAStatus) {
  registry_.Options(0x0200);
  registry_.Machine(std::string("[") + kShowKey + "]\n2=dword:00000000\n");
  EXPECT_FALSE(Reported(2));
  EXPECT_EQ(Listed(2), "0");
}

TEST_F(ReportPolicyTest, StrictReportsAQuietStatusOnlyWhenListedWithOne) {
  registry_.Options(0x0004);
  EXPECT_FALSE(Reported(43));
  EXPECT_EQ(Listed(43), "-1");
  registry_.Machine(std::string("[") + kShowKey + "]\n43=dword:00000001\n");
  EXPECT_TRUE(Reported(43));
  EXPECT_TRUE(Reported(2)) << "strict leaves other statuses alone";
}

TEST_F(ReportPolicyTest, ListedValuesOfOtherTypes) {
  registry_.Options(0x0004);
  // A text is read as a decimal number and written back as a number; any
  // other type counts as 0.
  registry_.Machine(std::string("[") + kShowKey + "]\n43=1\n2=hex:01\n");
  EXPECT_TRUE(Reported(43));
  EXPECT_EQ(Listed(43), "1");
  EXPECT_FALSE(Reported(2));
  EXPECT_EQ(Listed(2), "0");
}

TEST(RegistryValuesTest, WritingKeepsTheRestOfTheHive) {
  RegistrySandbox registry;
  registry.Machine(
      "; machine\n[Other]\nA=1\n[SOFTWARE\\X]\nB=text\nC=dword:00000005\n\n[Last]\nD=2\n");
  ASSERT_TRUE(
      platform::WriteRegistryDword(RegistryHive::kLocalMachine, "software\\x", "c", 7).ok());
  ASSERT_TRUE(platform::WriteRegistryDword(RegistryHive::kLocalMachine, "SOFTWARE\\X", "E",
                                           0xFFFFFFFF).ok());
  ASSERT_TRUE(platform::WriteRegistryDword(RegistryHive::kLocalMachine, "New\\Key", "F", 1).ok());
  EXPECT_EQ(registry.MachineText(),
            "; machine\n[Other]\nA=1\n[SOFTWARE\\X]\nB=text\nc=dword:00000007\n"
            "E=dword:ffffffff\n\n[Last]\nD=2\n[New\\Key]\nF=dword:00000001\n");
  Result<RegistryValue> b = platform::ReadRegistryValue(RegistryHive::kLocalMachine,
                                                        "SOFTWARE\\X", "B");
  ASSERT_TRUE(b.ok());
  EXPECT_EQ(b->type, RegistryValue::Type::kText);
  EXPECT_EQ(b->text, "text");
  Result<RegistryValue> e = platform::ReadRegistryValue(RegistryHive::kLocalMachine,
                                                        "SOFTWARE\\X", "E");
  ASSERT_TRUE(e.ok());
  EXPECT_EQ(e->number, 0xFFFFFFFFu);
  EXPECT_FALSE(
      platform::ReadRegistryValue(RegistryHive::kLocalMachine, "SOFTWARE\\X", "Z").ok());
}

}  // namespace
}  // namespace tavelnor::data
