// Data file paths: joining a folder with the names dictionaries hold, and
// where a table's data file lies.
#include <gtest/gtest.h>

#include <string>

#include "dico/data_paths.h"
#include "dico/dico_handler.h"
#include "dico/dico_test_builder.h"
#include "dico/dico_test_support.h"
#include "paths/special_paths.h"

namespace tavelnor::dico {
namespace {

using testing::DicoTestBuilder;
using testing::TempDir;

struct JoinCase {
  const char* folder;
  const char* name;
  const char* expected;
};

TEST(DataPathJoin, FollowsTheJoiningRules) {
  const JoinCase cases[] = {
      {"/data/compta", "", "/data/compta"},
      {"/data/compta", "Clients.btr", "/data/compta/Clients.btr"},
      {"/data/compta/", "Clients.btr", "/data/compta/Clients.btr"},
      {"/data/compta", "/srv/autre/Clients.btr", "/srv/autre/Clients.btr"},
      {"/data/compta", "\\Partage\\Clients.btr", "/Partage/Clients.btr"},
      {"/data/compta", "Archives\\2024\\Clients.btr", "/data/compta/Archives/2024/Clients.btr"},
      {"/data/compta", "..\\Commun\\Tva.btr", "/data/Commun/Tva.btr"},
      {"/data/compta", ".\\.\\Clients.btr", "/data/compta/Clients.btr"},
      {"/data", "..\\..\\..\\x.btr", "/x.btr"},  // never above the root
      {"relatif", "..\\..\\x.btr", "../x.btr"},
      {"", "Clients.btr", "Clients.btr"},
      {"/data//compta", "a//b.btr", "/data/compta/a/b.btr"},
      {"C:\\Compta", "\\Commun\\Tva.btr", "C:/Commun/Tva.btr"},
      {"/data", "D:\\Autre\\x.btr", "D:/Autre/x.btr"},
  };
  for (const JoinCase& c : cases) {
    EXPECT_EQ(JoinDataPath(c.folder, c.name), c.expected) << c.folder << " + " << c.name;
  }
  EXPECT_EQ(ParentFolder("/data/compta/Compta.dic"), "/data/compta");
  EXPECT_EQ(ParentFolder("/Compta.dic"), "/");
  EXPECT_EQ(ParentFolder("Compta.dic"), "");
}

class DataFilePath : public ::testing::Test {
 protected:
  void TearDown() override { SetCommonFolderSource(nullptr); }

  // A dictionary written under <temp>/app/dico/ holding one table "Clients"
  // with the given flags, loaded from that file.
  DRubricTable* LoadTable(uint32_t flags, const char* default_file = nullptr) {
    DicoTestBuilder b;
    auto t = b.AddTable("Clients");
    b.SetWord(t.table, base::kFlags, flags);
    if (default_file != nullptr) b.SetString(t.table, 83, default_file);
    std::filesystem::create_directories(dir_.Path("app/dico"));
    path_ = dir_.Write("app/dico/Compta.dic", b.Bytes(kMaxLevel));
    EXPECT_EQ(h_.Load(Chaine(path_), kLoadNameIndex), LoadResult::kLoaded);
    return static_cast<DRubricTable*>(h_.FindById(t.table));
  }

  TempDir dir_;
  testing::SettingsGuard guard_;
  DDicoHandler h_;
  std::string path_;
};

TEST_F(DataFilePath, FollowsTheFolderFlags) {
  SetCommonFolderSource([] { return std::string("/srv/partage/Common"); });
  struct Case {
    uint32_t flags;
    const char* default_file;
    std::string expected;
  };
  const Case cases[] = {
      {0, nullptr, dir_.Path("app/dico/Clients.btr")},  // beside the dictionary
      {0x10000, "Donnees\\Clients.dat", dir_.Path("app/Donnees/Clients.dat")},  // one folder up
      {0x20000, nullptr, "/srv/partage/Common/Clients.btr"},  // the common folder
      {0x30000, nullptr, dir_.Path("app/Clients.btr")},  // one folder up wins over common
  };
  for (const Case& c : cases) {
    DRubricTable* table = LoadTable(c.flags, c.default_file);
    ASSERT_NE(table, nullptr) << c.flags;
    EXPECT_EQ(table->GetFilePath().str(), c.expected) << std::hex << c.flags;
  }
}

TEST_F(DataFilePath, CommonFolderIsTheSpecialPathByDefault) {
  std::filesystem::create_directories(dir_.Path("partage/Common"));
  ASSERT_TRUE(paths::ForceSpecialPath(4, dir_.Path("partage/Common")));
  DRubricTable* table = LoadTable(0x20000);
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->GetFilePath().str(), dir_.Path("partage/Common/Clients.btr"));
  ASSERT_TRUE(paths::ForceSpecialPath(4, ""));
}

TEST_F(DataFilePath, WithoutADictionaryFileOnlyTheNameRemains) {
  DicoTestBuilder b;
  auto t = b.AddTable("Stock");
  testing::LoadedDico l(b);
  EXPECT_EQ(static_cast<DRubricTable*>(l[t.table])->GetFilePath().str(), "Stock.btr");
}

}  // namespace
}  // namespace tavelnor::dico
