// The standard error reporter: what the error dialog shows, its panes, the
// message box it falls back to, and the status texts.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "data/btrv_constants.h"
#include "data/btrv_dialogs.h"
#include "data/btrv_help_texts.h"
#include "data/btrv_test_support.h"
#include "data/btrv_texts.h"
#include "foundation/platform/message_box.h"
#include "foundation/platform/path_text.h"
#include "foundation/platform/shell.h"

namespace tavelnor::data {
namespace {

using testing::DialogRecorder;
using testing::FrenchResources;
using testing::RegistrySandbox;

BtrvErrorReport MakeReport(int status, int operation, const char* file, const char* text = "") {
  return {status, operation, file, text};
}

class ReportTest : public ::testing::Test {
 protected:
  RegistrySandbox registry_;
  FrenchResources french_;
};

TEST_F(ReportTest, DialogShowsTheReportsFields) {
  DialogRecorder dialogs;
  EBtrieve::ReportBtrieveError(MakeReport(2, 206, "/data/CLIENT.DAT"));
  ASSERT_EQ(dialogs.dialogs.size(), 1u);
  const platform::ErrorDialogContent& c = dialogs.dialogs[0];
  EXPECT_EQ(c.title, "Tavelnor");
  EXPECT_EQ(c.header, "Une erreur de base de donn\xE9" "es a \xE9t\xE9 rencontr\xE9" "e.");
  EXPECT_EQ(c.code, "2");
  EXPECT_EQ(c.operation, "Unknown(206)");
  EXPECT_EQ(c.file, "/data/CLIENT.DAT");
  EXPECT_EQ(c.description, StatusDescription(2));
  EXPECT_EQ(c.tab_labels[0], "D\xE9tail");
  EXPECT_FALSE(c.show_link) << "no switch in the option word";
  EXPECT_NE(c.panes[0].find("Statut 2"), std::string::npos);
  EXPECT_NE(c.panes[0].find("7.0-"), std::string::npos) << c.panes[0];
  EXPECT_EQ(c.panes[0].find('%'), std::string::npos) << "every marker replaced";
  EXPECT_EQ(c.panes[1], FindHelpText("Btrv-2.rtf"));
}

TEST_F(ReportTest, GivenTextUnknownOperationAndMissingFile) {
  DialogRecorder dialogs;
  registry_.Options(0x0400);
  EBtrieve::ReportBtrieveError(MakeReport(20, -1, "", "Impossible de lire"));
  ASSERT_EQ(dialogs.dialogs.size(), 1u);
  const platform::ErrorDialogContent& c = dialogs.dialogs[0];
  EXPECT_EQ(c.header, "Impossible de lire");
  EXPECT_EQ(c.operation, "<Inconnue>");
  EXPECT_EQ(c.file, "<Inconnu>");
  EXPECT_TRUE(c.show_link);
  EXPECT_NE(c.panes[0].find("<Non disponible>"), std::string::npos)
      << "no version asked of a record manager that is not there";
}

TEST_F(ReportTest, DiagnosticPaneByStatus) {
  // Shared text, a named text the library lacks, no entry at all.
  EXPECT_EQ(EBtrvErrDlg::DiagnosticText(8), FindHelpText("Btrv-3;5;6;7;8;9;10.rtf"));
  EXPECT_EQ(EBtrvErrDlg::DiagnosticText(85), FindHelpText("IDR_EDLG_DIAGDEF"));
  EXPECT_EQ(EBtrvErrDlg::DiagnosticText(4), FindHelpText("IDR_EDLG_DIAGDEF"));
  EXPECT_FALSE(FindHelpText("IDR_EDLG_DIAGDEF").empty());
  for (int status : {2, 3, 5, 10, 18, 20, 22, 25, 30, 54, 86, 88, 94, 95, 860, 861}) {
    EXPECT_NE(EBtrvErrDlg::DiagnosticText(status), FindHelpText("IDR_EDLG_DIAGDEF")) << status;
  }
}

TEST_F(ReportTest, DiagnosticFileBesideTheProgramWins) {
  const std::string folder =
      platform::JoinPath(platform::DirectoryPart(platform::HostExecutablePath()), "BtrvErrs");
  const bool made = std::filesystem::create_directory(folder);
  const std::string file = platform::JoinPath(folder, "BTRV-86.rtf");
  ASSERT_FALSE(std::filesystem::exists(file));
  std::ofstream(file) << "{\\rtf1 site text}";
  EXPECT_EQ(EBtrvErrDlg::DiagnosticText(86), "{\\rtf1 site text}");
  std::filesystem::remove(file);
  if (made) std::filesystem::remove(folder);
  EXPECT_EQ(EBtrvErrDlg::DiagnosticText(86), FindHelpText("Btrv-86.rtf"));
}

TEST_F(ReportTest, StatusDescriptionsInBothLanguagesWithFallbacks) {
  const std::string fr = StatusDescription(12);
  EXPECT_FALSE(fr.empty());
  SetResourceLanguage(kLangGerman);
  const std::string de = StatusDescription(12);
  EXPECT_EQ(StatusDescription(70), "Unbekannter Fehler");
  SetResourceLanguage(kLangFrench);
  EXPECT_NE(fr, de);
  EXPECT_EQ(StatusDescription(70), "Erreur inconnue") << "70 has no text";
  EXPECT_EQ(StatusDescription(-5), "Erreur inconnue");
  EXPECT_EQ(StatusDescription(100000), "Erreur inconnue");
  int described = 0;
  for (int status = 1; status <= 178; ++status) {
    if (!LoadResourceString(btrids::kStatusBase + status, kLangFrench).empty()) {
      ++described;
      EXPECT_FALSE(LoadResourceString(btrids::kStatusBase + status, kLangGerman).empty())
          << status;
    }
  }
  EXPECT_GE(described, 140);
}

}  // namespace
}  // namespace tavelnor::data
