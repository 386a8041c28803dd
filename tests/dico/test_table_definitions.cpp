// Table definitions: physical record length, page size choice, data file
// names and the walks over a table's keys, links and fields.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "dico/dico_handler.h"
#include "dico/dico_test_builder.h"
#include "dico/dico_test_support.h"

namespace tavelnor::dico {
namespace {

using testing::DicoTestBuilder;
using testing::IdsOf;
using testing::LoadedDico;

template <typename T>
std::vector<DDicoBase*> AsBase(const std::vector<T*>& objects) {
  return std::vector<DDicoBase*>(objects.begin(), objects.end());
}

struct PhysicalCase {
  const char* name;
  uint32_t unit_size;
  uint32_t flags;
  std::vector<uint32_t> key_flags;
  uint32_t expected;
};

class PhysicalLength : public ::testing::TestWithParam<PhysicalCase> {};

TEST_P(PhysicalLength, AddsTheFileOverhead) {
  const PhysicalCase& c = GetParam();
  DicoTestBuilder b;
  auto t = b.AddTable("T");
  b.SetWord(t.table, base::kUnitSize, c.unit_size);
  b.SetWord(t.table, base::kFlags, c.flags);
  for (size_t i = 0; i < c.key_flags.size(); ++i) {
    b.AddKey(t.keys, "K" + std::to_string(i), c.key_flags[i]);
  }
  // Another table's duplicate key does not count.
  auto other = b.AddTable("Autre");
  b.AddKey(other.keys, "Dup", 0x1);
  LoadedDico l(b);
  auto* table = static_cast<DRubricTable*>(l[t.table]);
  EXPECT_EQ(table->GetPhysicalRecordLength(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PhysicalLength,
    ::testing::Values(
        PhysicalCase{"RecordPlusTwo", 100, 0, {}, 102},
        PhysicalCase{"VariableLengthAddsFour", 100, 0x0001, {}, 106},
        PhysicalCase{"BlankTruncationAloneAddsTwo", 100, 0x0002, {}, 104},
        PhysicalCase{"VatsAloneAddsFour", 100, 0x0800, {}, 106},
        PhysicalCase{"VatsWithTruncationAddsEight", 100, 0x0802, {}, 110},
        PhysicalCase{"AllThreeFlags", 100, 0x0803, {}, 114},
        PhysicalCase{"OtherLowBitsAddNothing", 100, 0x0044, {}, 102},
        PhysicalCase{"EightPerDuplicateKey", 100, 0, {0x1, 0x0, 0x3, 0x2}, 118},
        PhysicalCase{"SaturatesAtTheTop", UINT32_MAX - 1, 0x0803, {0x1}, UINT32_MAX}),
    [](const auto& info) { return std::string(info.param.name); });

struct PageCase {
  const char* name;
  uint32_t physical_length;  // reached with a record of physical_length - 2 bytes
  uint32_t expected;
};

class BestPageSize : public ::testing::TestWithParam<PageCase> {};

TEST_P(BestPageSize, LeastWasteThenSmallest) {
  const PageCase& c = GetParam();
  DicoTestBuilder b;
  auto t = b.AddTable("T");
  b.SetWord(t.table, base::kUnitSize, c.physical_length - 2);
  LoadedDico l(b);
  auto* table = static_cast<DRubricTable*>(l[t.table]);
  ASSERT_EQ(table->GetPhysicalRecordLength(), c.physical_length);
  EXPECT_EQ(table->ComputeBestPageSize(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BestPageSize,
    ::testing::Values(PageCase{"Record100Takes512", 100, 512},
                      PageCase{"Record1000Takes1024", 1000, 1024},
                      PageCase{"Record5000Takes4096", 5000, 4096},
                      PageCase{"Record4096HasNoCandidate", 4096, 4096},
                      PageCase{"Record4095FitsOnlyTheLargest", 4095, 4096},
                      PageCase{"Record512TakesTheNextPage", 512, 1024},
                      PageCase{"EqualWastesTakeTheSmallest", 768, 1024},
                      PageCase{"ExactFitWins", 1018, 1024},
                      PageCase{"ExactFitOnALargerPage", 1022, 3072},
                      PageCase{"EmptyRecordTakes512", 2, 512}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BestPageSizeEdges, DuplicateKeysAndFlagsCountInTheChoice) {
  // 1000 bytes alone take 1024; with the overhead of two duplicate keys and
  // variable-length records (R = 1022) the 1024 page still holds exactly one.
  DicoTestBuilder b;
  auto t = b.AddTable("T");
  b.SetWord(t.table, base::kUnitSize, 1000);
  b.SetWord(t.table, base::kFlags, 0x0001);
  b.AddKey(t.keys, "A", 0x1);
  b.AddKey(t.keys, "B", 0x1);
  LoadedDico l(b);
  auto* table = static_cast<DRubricTable*>(l[t.table]);
  EXPECT_EQ(table->GetPhysicalRecordLength(), 1022u);
  // Wastes: 1024 -> 1018, 1536 -> 508, 2048 -> 1020, 2560 -> 510, 3072 -> 0.
  EXPECT_EQ(table->ComputeBestPageSize(), 3072u);
}

struct FileNameCase {
  const char* name;
  const char* table_name;
  const char* default_file;  // null: none
  uint32_t flags;
  const char* root_extension;  // null: none
  bool under_root;
  const char* expected;
};

class FileName : public ::testing::TestWithParam<FileNameCase> {};

TEST_P(FileName, FollowsTheNamingRules) {
  const FileNameCase& c = GetParam();
  DicoTestBuilder b;
  if (c.root_extension) b.SetString(b.root(), 68, c.root_extension);
  const uint32_t parent = c.under_root ? b.root() : b.Add(kStruct, b.root(), "Groupe");
  auto t = b.AddTable(c.table_name, parent);
  if (c.default_file) b.SetString(t.table, 83, c.default_file);
  b.SetWord(t.table, base::kFlags, c.flags);
  LoadedDico l(b);
  auto* table = static_cast<DRubricTable*>(l[t.table]);
  EXPECT_EQ(table->GetFileName().str(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FileName,
    ::testing::Values(
        FileNameCase{"TableNameWithBtr", "Clients", nullptr, 0, nullptr, true, "Clients.btr"},
        FileNameCase{"RootExtension", "Clients", nullptr, 0, "dat", true, "Clients.dat"},
        FileNameCase{"EmptyRootExtensionMeansBtr", "Clients", nullptr, 0, "", true,
                     "Clients.btr"},
        FileNameCase{"DefaultNameWithoutDot", "Clients", "CLIFIC", 0, nullptr, true,
                     "CLIFIC.btr"},
        FileNameCase{"DefaultNameKeepsItsExtension", "Clients", "clients.old", 0, "dat", true,
                     "clients.old"},
        FileNameCase{"EmptyDefaultNameFallsBackToTheTable", "Clients", "", 0, nullptr, true,
                     "Clients.btr"},
        FileNameCase{"EightCharacterTitle", "T", "Abcdefghijkl.dat", 0x200000, nullptr, true,
                     "Abcdefgh.dat"},
        FileNameCase{"SevenCharacterTitle", "T", "Abcdefghijkl.dat", 0x100000, nullptr, true,
                     "Abcdefg.dat"},
        FileNameCase{"BothFlagsCutToSeven", "T", "Abcdefghijkl.dat", 0x300000, nullptr, true,
                     "Abcdefg.dat"},
        FileNameCase{"ShortTitleUnchanged", "T", "Abc.dat", 0x300000, nullptr, true, "Abc.dat"},
        FileNameCase{"CutTableNameGetsTheDefaultExtension", "Fournisseurs", nullptr, 0x200000,
                     nullptr, true, "Fourniss.btr"},
        FileNameCase{"OnlyTheLastDotSplits", "T", "Abcdefghij.v2.dat", 0x200000, nullptr, true,
                     "Abcdefgh.dat"},
        FileNameCase{"NotUnderTheRootNoExtension", "Clients", nullptr, 0, "dat", false,
                     "Clients"},
        FileNameCase{"NotUnderTheRootCutStaysBare", "Fournisseurs", nullptr, 0x100000,
                     nullptr, false, "Fournis"}),
    [](const auto& info) { return std::string(info.param.name); });

class TableWalks : public ::testing::Test {
 protected:
  void SetUp() override {
    t = b.AddTable("Clients");
    nom = b.AddField(t.data, "Nom", 0, 30, 0);
    adresse = b.Add(kVarStruct, t.data, "Adresse");
    rue = b.AddField(adresse, "Rue", 0, 40, 30, 0, kVarInNode);
    zone = b.AddVarPerso(t.data, "Zone", 20, 70);
    ext_title = b.Add(kTitleMemory, t.table, "Les extensions");
    memo = b.AddField(ext_title, "Memo", 0, 10, 0, 7);
    k1 = b.AddKey(t.keys, "ParNom");
    b.AddSegment(k1, "Nom", nom, 0);
    k2 = b.AddKey(t.keys, "ParRue");
    other = b.AddTable("Factures");
    other_field = b.AddField(other.data, "Numero", 2, 4, 0);
    other_key = b.AddKey(other.keys, "ParNumero");
    l1 = b.AddLink(t.links, "VersFactures", other.table, other_key);
    l2 = b.AddLink(t.links, "VersStock", other.table, 0);
  }

  DicoTestBuilder b;
  DicoTestBuilder::Table t, other;
  uint32_t nom = 0, adresse = 0, rue = 0, zone = 0, ext_title = 0, memo = 0, k1 = 0, k2 = 0;
  uint32_t other_field = 0, other_key = 0, l1 = 0, l2 = 0;
};

TEST_F(TableWalks, KeysLinksAndFieldsInTreeOrderAndFieldsFoundInThisTableOnly) {
  auto empty = b.AddTable("Vide");
  LoadedDico l(b);
  auto* table = static_cast<DRubricTable*>(l[t.table]);
  EXPECT_EQ(IdsOf(AsBase(table->GetKeys())), (std::vector<uint32_t>{k1, k2}));
  EXPECT_EQ(IdsOf(AsBase(table->GetLinks())), (std::vector<uint32_t>{l1, l2}));
  EXPECT_EQ(IdsOf(table->GetFields()), (std::vector<uint32_t>{nom, adresse, rue, zone, memo}));
  EXPECT_EQ(IdsOf(table->GetVariables()), (std::vector<uint32_t>{nom, rue, memo}));
  ASSERT_NE(table->FindField("Nom"), nullptr);
  EXPECT_EQ(table->FindField("Nom")->Id(), nom);
  ASSERT_NE(table->FindField("Rue"), nullptr);
  EXPECT_EQ(table->FindField("Rue")->Id(), rue);
  EXPECT_EQ(table->FindField("Numero"), nullptr) << "a field of another table";
  EXPECT_EQ(table->FindField("ParNom"), nullptr) << "a key is not a field";
  EXPECT_EQ(table->FindField(""), nullptr);
  auto* factures = static_cast<DRubricTable*>(l[other.table]);
  ASSERT_NE(factures->FindField("Numero"), nullptr);
  EXPECT_EQ(factures->FindField("Numero")->Id(), other_field);

  auto* vide = static_cast<DRubricTable*>(l[empty.table]);
  EXPECT_TRUE(vide->GetKeys().empty());
  EXPECT_TRUE(vide->GetLinks().empty());
  EXPECT_TRUE(vide->GetFields().empty());
  EXPECT_EQ(vide->GetTableSegmentCount(), 0u);
}

}  // namespace
}  // namespace tavelnor::dico
