// Name generators: the check codes, normalisation over the forbidden bytes,
// and the file-definition names derived from parents.
#include <gtest/gtest.h>

#include "dico/dico_handler.h"
#include "dico/dico_names.h"
#include "dico/dico_test_builder.h"

namespace tavelnor::dico {
namespace {

using testing::DicoTestBuilder;

class NamesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    clients_ = b_.AddTable("Clients");
    b_.SetString(clients_.table, base::kDdfName, "CLIENTS");
    code_ = b_.AddField(clients_.data, "Code", 0, 10);
    nom_ = b_.AddField(clients_.data, "Nom", 0, 40, 10);
    b_.SetString(nom_, base::kDdfName, "CLIENTS.Nom");
    ASSERT_EQ(handler_.LoadImage(b_.Bytes(), kLoadNameIndex), LoadResult::kLoaded)
        << handler_.LastLoadStatus().ToString();
  }
  DDicoBase* Obj(uint32_t id) { return handler_.FindById(id); }

  DicoTestBuilder b_;
  DicoTestBuilder::Table clients_;
  uint32_t code_ = 0, nom_ = 0;
  DDicoHandler handler_;
};

TEST(NameRules, ForbiddenBytesAreExactlyTheSixtyNine) {
  int count = 0;
  for (int c = 0; c < 256; ++c) count += IsForbiddenNameByte(static_cast<unsigned char>(c));
  // 69 listed bytes, one of them (5E) listed twice.
  EXPECT_EQ(count, 68);
  EXPECT_TRUE(IsForbiddenNameByte(0xE9));   // é
  EXPECT_FALSE(IsForbiddenNameByte(0xC9));  // É is allowed
  EXPECT_FALSE(IsForbiddenNameByte('_'));
}

TEST(NameRules, NormalisationRemovesEveryForbiddenByte) {
  EXPECT_EQ(NormalizeName("Prix unitaire (\x80)"), "Prixunitaire\x80");
  EXPECT_EQ(NormalizeName("D\xE9" "bit-Cr\xE9" "dit"), "DbitCrdit");
  EXPECT_EQ(NormalizeName("a.b,c;d"), "abcd");
}

TEST_F(NamesTest, NameChecksAnswerTheirCodes) {
  DNameDicoName names;
  const DDicoBase& field = *Obj(code_);
  EXPECT_EQ(names.Check(field, "CodeClient"), kNameOk);
  EXPECT_EQ(names.Check(field, "Code.Client"), kNameHasDot);
  EXPECT_EQ(names.Check(field, "Code Client"), kNameHasSpace);
  EXPECT_EQ(names.Check(field, "Code\tClient"), kNameHasSpace);
  EXPECT_EQ(names.Check(field, "Code#Client"), kNameHasForbidden);
  EXPECT_EQ(names.Check(field, "Cl\xE9"), kNameHasForbidden);
}

TEST_F(NamesTest, FileDefinitionChecks) {
  DDDFDicoName ddf;
  DDDFDicoName ddf_spaces(true);
  const DDicoBase& field = *Obj(code_);
  EXPECT_EQ(ddf.Check(field, "CLIENTS.Code"), kNameOk);
  EXPECT_EQ(ddf.Check(field, "CLIENTS.CodeClientXX"), kNameTooLong);  // 20 characters
  EXPECT_EQ(ddf.Check(field, "CLIENTS.CodeClientX"), kNameOk);        // 19
  EXPECT_EQ(ddf.Check(field, "CLIENTS.Code Client"), kNameHasSpace);
  EXPECT_EQ(ddf_spaces.Check(field, "CLIENTS.Code Client"), kNameOk);
  EXPECT_EQ(ddf_spaces.Check(field, "CLIENTS.Code\tX"), kNameHasSpace);
  // Another field of the same table and group already bears it, in any case.
  EXPECT_EQ(ddf.Check(field, "clients.nom"), kNameTaken);
  // The object itself does not count.
  EXPECT_EQ(ddf.Check(*Obj(nom_), "CLIENTS.Nom"), kNameOk);
}

TEST_F(NamesTest, GeneratedFileDefinitionNames) {
  DDDFDicoName ddf;
  // A field under the record-layout title takes the table's name as prefix.
  EXPECT_EQ(ddf.Generate(*Obj(code_), "Code"), "CLIENTS.Code");
  // A container's is the proposed text itself.
  EXPECT_EQ(ddf.Generate(*Obj(clients_.table), "CLI"), "CLI");
  // Internal flag 0x10000 on the parent drops the prefix.
  DDicoBase* table = Obj(clients_.table);
  table->SetInternalFlags(table->InternalFlags() | iflag::kNoDdfPrefix);
  EXPECT_EQ(ddf.Generate(*Obj(code_), "Code"), "Code");
}

TEST_F(NamesTest, GeneratorAppliesAllFourParts) {
  DGenDicoName gen;
  DDicoBase* field = Obj(code_);
  EXPECT_EQ(gen.Check(*field, "Code client"), kNameHasSpace);
  gen.Apply(*field, "Num\xE9ro client");
  EXPECT_STREQ(field->NameText(), "Numroclient");
  EXPECT_STREQ(field->DdfNameText(), "CLIENTS.Numroclient");
  EXPECT_STREQ(field->HeaderPoolText(), "Num\xE9ro client");
  EXPECT_STREQ(field->DescPoolText(), "Num\xE9ro client");
  EXPECT_TRUE(field->InternalFlags() & iflag::kStructureModified);
  // The new name is found through the name index.
  EXPECT_EQ(handler_.FindByName(clients_.table, 2, "NUMROCLIENT"), field);
}

}  // namespace
}  // namespace tavelnor::dico
