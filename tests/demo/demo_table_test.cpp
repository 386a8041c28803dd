// The table writer of the generator: faults are kept and answered by the
// next insert, and nothing is written outside a field.
#include "demo/generator/demo_table.h"

#include <gtest/gtest.h>

#include <fstream>

#include "data/btrv_test_support.h"
#include "demo/demo_test_support.h"
#include "demo/generator/demo_generator.h"
#include "dico/compiler/dico_compiler.h"

namespace tavelnor::demo::testing {
namespace {

class DemoTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string source = folder_.Path("demo.json");
    std::ofstream(source, std::ios::binary) << DemoDictionarySource();
    ASSERT_TRUE(
        dico::BuildDicoFile(source, folder_.Path("demo.dic"), 0, dico::Container::kPlain).ok());
    ASSERT_EQ(dico_.Load(Chaine(folder_.Path("demo.dic")), dico::kLoadNameIndex),
              dico::LoadResult::kLoaded);
  }
  std::unique_ptr<DemoTable> Open(std::string_view name) {
    auto t = DemoTable::Open(dico_, name);
    EXPECT_TRUE(t.ok()) << t.status().ToString();
    return t.ok() ? std::move(t).value() : nullptr;
  }

  data::testing::RegistrySandbox registry_;
  data::testing::ScratchFolder folder_;
  dico::DDicoHandler dico_;
};

TEST_F(DemoTableTest, WritesFieldsByNameAndClearsAfterEachInsert) {
  auto t = Open("Journaux");
  ASSERT_TRUE(t);
  t->Text("CodeJournal", "VE");
  t->Text("Libelle",
          "Ventes \xC3\xA0 cr\xC3\xA9"
          "dit");  // UTF-8 "à", "é"
  t->Integer("TypeJournal", 2);
  ASSERT_TRUE(t->Insert().ok());
  t->Text("CodeJournal", "OD");
  ASSERT_TRUE(t->Insert().ok());
  EXPECT_EQ(t->Inserted(), 2u);
  t.reset();

  DemoReader reader(folder_.Path("demo.dic"));
  std::vector<std::string> rows;
  reader.ForEach("Journaux", [&](data::EDataTable& j) {
    rows.push_back(Text(j, "CodeJournal") + "/" + Text(j, "Libelle") + "/" +
                   std::to_string(Int(j, "TypeJournal")));
  });
  EXPECT_EQ(rows, (std::vector<std::string>{"OD//0",
                                            "VE/Ventes \xE0 cr\xE9"
                                            "dit/2"}))
      << "the second record starts from zeros";
}

TEST_F(DemoTableTest, KeepsTheFirstFaultAndWritesNothingMore) {
  struct Case {
    const char* what;
    std::function<void(DemoTable&)> write;
    Status::Code code;
  };
  const std::vector<Case> cases = {
      {"unknown field", [](DemoTable& t) { t.Text("Inconnu", "x"); }, Status::Code::kNotFound},
      {"text outside the code page",
       [](DemoTable& t) { t.Text("Intitule", "\xE2\x9C\x93"); },  // U+2713
       Status::Code::kInvalidArgument},
      {"malformed UTF-8", [](DemoTable& t) { t.Memo("Intitule", "\xC3"); },
       Status::Code::kInvalidArgument},
      {"array item past the record", [](DemoTable& t) { t.MoneyItem("SoldeMois", 12, 100); },
       Status::Code::kInvalidArgument},
      {"memo into a field too small for a slot", [](DemoTable& t) { t.Blob("Lettrable", "abc"); },
       Status::Code::kInvalidArgument},
  };
  for (const Case& c : cases) {
    auto t = Open("Comptes");
    ASSERT_TRUE(t);
    t->Text("NumeroCompte", "411000");
    c.write(*t);
    const Status first = t->Insert();
    EXPECT_EQ(first.code(), c.code) << c.what << ": " << first.ToString();
    t->Text("Inconnu2", "y");
    EXPECT_EQ(t->Insert().message(), first.message()) << c.what << ": the first fault stays";
    EXPECT_EQ(t->Inserted(), 0u) << c.what;
    EXPECT_EQ(t->Data().RawRecordCount(true), 0u) << c.what;
  }
  // The last item of the array is inside the record.
  auto t = Open("Comptes");
  ASSERT_TRUE(t);
  t->Text("NumeroCompte", "512000");
  t->MoneyItem("SoldeMois", 11, 12345);
  EXPECT_TRUE(t->Insert().ok());
}

TEST_F(DemoTableTest, OpeningANameThatIsNoTableFails) {
  auto t = DemoTable::Open(dico_, "Systeme");
  ASSERT_FALSE(t.ok());
  EXPECT_EQ(t.status().code(), Status::Code::kNotFound);
  EXPECT_FALSE(DemoTable::Open(dico_, "Absente").ok());
}

}  // namespace
}  // namespace tavelnor::demo::testing
