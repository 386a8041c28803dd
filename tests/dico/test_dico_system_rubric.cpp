// The system rubric that every load makes sure of: created with its six
// fields, texts from the string resources, completed when partly present and never duplicated.
#include <gtest/gtest.h>

#include <cstdint>

#include "dico/dico_handler.h"
#include "dico/dico_test_builder.h"
#include "dico/dico_test_support.h"
#include "foundation/string_resources.h"

namespace tavelnor::dico {
namespace {

using testing::DicoTestBuilder;
using testing::SettingsGuard;

struct SystemFieldCase {
  const char* name;
  uint32_t id_offset;
  uint32_t type;
  uint32_t size;
  const char* french;
  const char* german;
};

constexpr SystemFieldCase kSystemFields[] = {
    {"Date", 1, 4, 4, "Date", "Datum"},
    {"Heure", 2, 5, 4, "Heure", "Uhrzeit"},
    {"Page", 3, 18, 4, "Page", "Seite"},
    {"Utilisateur", 4, 0, 40, "Utilisateur", "Benutzer"},
    {"Product", 7, 0, 60, "Produit", "Produkt"},
    {"Version", 8, 0, 24, "Version", "Version"},
};

void ExpectSystemRubric(DDicoHandler& h, bool german) {
  DDicoBase* rubric = h.FindById(kSystemIdBase);
  ASSERT_NE(rubric, nullptr);
  EXPECT_EQ(rubric->Kind(), kSystem);
  EXPECT_EQ(rubric->GetName().str(), "Systeme");
  EXPECT_EQ(rubric->GetHeader().str(), german ? "System" : "Syst\xE8me");
  EXPECT_EQ(rubric->GetDescription().str(), german ? "System" : "Syst\xE8me");
  EXPECT_EQ(rubric->GetParent(), h.Root());
  EXPECT_EQ(h.FindTable("SYSTEME"), rubric);
  const auto children = rubric->Children();
  ASSERT_EQ(children.size(), 6u);
  for (size_t i = 0; i < 6; ++i) {
    const SystemFieldCase& c = kSystemFields[i];
    const DDicoBase* f = children[i];
    EXPECT_EQ(f->Id(), kSystemIdBase + c.id_offset) << c.name;
    EXPECT_EQ(f->Kind(), kVarInSystem) << c.name;
    EXPECT_EQ(f->GetName().str(), c.name);
    EXPECT_EQ(f->TypeCode(), c.type) << c.name;
    EXPECT_EQ(f->UnitSize(), c.size) << c.name;
    EXPECT_EQ(f->GetHeader().str(), german ? c.german : c.french) << c.name;
    EXPECT_EQ(f->GetDescription().str(), german ? c.german : c.french) << c.name;
    EXPECT_EQ(h.FindByName(kSystemIdBase, 2, c.name), f) << c.name;
  }
}

TEST(HandlerSystemRubric, IsAddedWithItsSixFieldsInTheResourceLanguage) {
  for (bool german : {false, true}) {
    SettingsGuard guard;
    if (german) SetResourceLanguage(kLangGerman);
    DDicoHandler h;
    ASSERT_EQ(h.LoadImage(DicoTestBuilder().Bytes(11), kLoadNameIndex), LoadResult::kLoaded);
    ExpectSystemRubric(h, german);
    EXPECT_EQ(h.Array(kSystem).Count(), 1u);
    EXPECT_EQ(h.Array(kVarInSystem).Count(), 6u);
  }
}

// A builder whose system rubric holds the first `fields` system fields.
DicoTestBuilder WithSystemRubric(size_t fields) {
  DicoTestBuilder b;
  const uint32_t rubric = b.AddWithId(kSystem, b.root(), "Systeme", kSystemIdBase);
  b.SetString(rubric, base::kHeader, "Syst\xE8me");
  b.SetString(rubric, base::kDesc, "Syst\xE8me");
  for (size_t i = 0; i < fields; ++i) {
    const SystemFieldCase& c = kSystemFields[i];
    const uint32_t f = b.AddWithId(kVarInSystem, rubric, c.name, kSystemIdBase + c.id_offset);
    b.SetByte(f, 79, static_cast<uint8_t>(c.type));
    b.SetWord(f, base::kUnitSize, c.size);
    b.SetString(f, base::kHeader, c.french);
    b.SetString(f, base::kDesc, c.french);
  }
  return b;
}

TEST(HandlerSystemRubric, MissingFieldsAreCompleted) {
  SettingsGuard guard;
  DDicoHandler h;
  ASSERT_EQ(h.LoadImage(WithSystemRubric(1).Bytes(11), kLoadNameIndex), LoadResult::kLoaded);
  ExpectSystemRubric(h, false);
  EXPECT_EQ(h.Array(kVarInSystem).Count(), 6u);
}

}  // namespace
}  // namespace tavelnor::dico
