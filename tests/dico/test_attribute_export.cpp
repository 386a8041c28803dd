// The attribute export: the documented attributes of a field in their order.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "dico/attribute_export.h"
#include "dico/dico_handler.h"
#include "dico/dico_test_builder.h"
#include "dico/dico_test_support.h"

namespace tavelnor::dico {
namespace {

using testing::DicoTestBuilder;
using testing::LoadedDico;

using Attrs = std::vector<std::pair<std::string, std::string>>;

class AttributeExport : public ::testing::Test {
 protected:
  void SetUp() override {
    b_.AddCountry("France", 3);
    b_.AddCountry("Suisse", 7);
    b_.AddMacro("Paie", 1);
    t_ = b_.AddTable("Ventes");
    f_ = b_.AddField(t_.data, "Montant", 7, 8, 30);
    b_.SetString(f_, base::kHeader, "Montant HT");
    b_.SetWord(f_, base::kFlags, 0x10008);
    b_.SetWord(f_, base::kInternalFlags, 0x0080001F);
    b_.SetByte(f_, base::kCountries, 0x80 | 0x08);
    b_.SetByte(f_, base::kCountries + 1, 0x80);
    b_.SetByte(f_, base::kMacros, 0x01);
    b_.SetString(f_, 71, "Double");
    b_.SetByte(f_, 84, 2);
    b_.SetString(f_, 85, "Montants");
    std::memcpy(b_.Image(f_) + 116, "99999999", 8);
  }

  static Attrs Export(const DDicoBase* o) {
    AttrNode node;
    o->ExportAttributes(node);
    return node.attributes;
  }

  DicoTestBuilder b_;
  DicoTestBuilder::Table t_;
  uint32_t f_ = 0;
};

TEST_F(AttributeExport, FieldAttributesInTheirOrder) {
  LoadedDico l(b_);
  const std::string id = std::to_string(f_);
  const Attrs want = {
      {"isa", "Variable"}, {"usertype", "2"}, {"accel", id}, {"name", "Montant"},
      {"ddfname", "Montant"}, {"header", "Montant HT"}, {"desc", "Montant HT"},
      {"flags", "0x10008"}, {"btrflags", "0x8"}, {"internalflags", "0x820000"},
      {"macros", "Paie"}, {"countriesexclude", "false"}, {"countries", "France,Suisse"},
      {"class", ""}, {"diskoffset", "30"}, {"size", "8"}, {"type", "7"}, {"typestr", "Double"},
      {"nbitems", "1"}, {"internalsize", "8"}, {"linkedto", ""}, {"formula", ""}, {"mask", ""},
      {"precision", "2"}, {"category", "Montants"}, {"stringtable", ""}, {"numfunc", ""},
      {"format", ""}, {"fieldid", ""}, {"controlsize", ""}, {"controlchar", ""}, {"min", ""},
      {"max", "99999999"},
      {std::string(kAbsentAttribute), "ddfname,desc,formula,mask,stringtable,controlchar"}};
  EXPECT_EQ(Export(l[f_]), want);
}

}  // namespace
}  // namespace tavelnor::dico
