// Formulas: fields read through the field source, the formula object's life cycle, deep nesting.
#include <gtest/gtest.h>

#include <string>

#include "dico/dico_classes.h"
#include "dico/dico_test_builder.h"
#include "dico/dico_test_support.h"
#include "dico/formula_test_support.h"

namespace tavelnor::dico {
namespace {

using namespace testing;  // NOLINT: value shorthands and the dictionary builder
namespace e = formula_error;

class FormulaFields : public ::testing::TestWithParam<FormulaCase> {
 protected:
  FormulaFields() {
    source_.Set("", "PRIX", -1, I(21));
    source_.Set("", "Prix HT", -1, R(10.5));
    source_.Set("", "TAUX", -1, FormulaValue::RealAlt(0.5));
    source_.Set("", "QTE", 2, I(5));
    source_.Set("", "VIDE", -1, FormulaValue());
    source_.Set("CLIENT", "NOM", -1, T("Dupont"));
    source_.Set("CLIENT", "TEL", 0, T("0102"));
  }
  MapSource source_;
};

TEST_P(FormulaFields, ReadsThroughTheSource) {
  ExpectOutcome(GetParam(), RunFormula(GetParam().text, &source_));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FormulaFields,
    ::testing::Values(
        Ok("PRIX * 2", I(42)), Ok("CLIENT.NOM + \"!\"", T("Dupont!")), Ok("QTE[2] + 1", I(6)),
        Ok("QTE[1+1]", I(5)), Ok("CLIENT.TEL[0]", T("0102")), Ok("{Prix HT} * 2", R(21.0)),
        Ok("TAUX", FormulaValue::RealAlt(0.5)), Ok("TAUX * 2", R(1.0)), Ok("-TAUX", R(-0.5)),
        Ok("SI 1 ALORS TAUX SINON 1", R(0.5)), Ok("ENTIER(TAUX + 2)", I(2)),
        Ok("SI PRIX > 20 ALORS \"cher\" SINON \"bon\"", T("cher")), Ok("VIDE", FormulaValue()),
        Err("VIDE + 1", e::kKindMix, 5), Err("SI VIDE ALORS 1 SINON 2", e::kConditionKind, 0),
        Err("PRIX + ABSENT", e::kUnknownName, 7), Err("CLIENT.PRIX", e::kUnknownName, 0),
        Err("QTE[\"a\"]", e::kUndefinedForKind, 4), Err("QTE[0-1]", e::kUnknownName, 0),
        Err("QTE[3]", e::kUnknownName, 0), Err("PRIX HT", e::kSyntax, 4),
        Err("CLIENT.", e::kSyntax, 0), Err(".NOM", e::kSyntax, 0), Err("{}", e::kSyntax, 0),
        Err("QTE[1]2", e::kSyntax, 3), Err("A.B.C", e::kSyntax, 3)));

TEST(FormulaFieldSource, IsAskedWithTableNameAndIndex) {
  MapSource source;
  source.Set("CLIENT", "NOM", -1, T("x"));
  source.Set("", "QTE", 2, T("y"));
  Outcome o = RunFormula("CLIENT.NOM + QTE[1 + 1]", &source);
  EXPECT_EQ(o.value, T("xy"));
  ASSERT_EQ(source.asked.size(), 2u);
  EXPECT_EQ(source.asked[0], MapSource::Key("CLIENT", "NOM", -1));
  EXPECT_EQ(source.asked[1], MapSource::Key("", "QTE", 2));
}

TEST(FormulaObject, ParsesAFieldsFormulaFromTheDictionary) {
  DicoTestBuilder b;
  auto t = b.AddTable("FACTURE");
  uint32_t total = b.AddField(t.data, "TOTAL", 1, 4);
  uint32_t plain = b.AddField(t.data, "PRIX", 1, 4, 4);
  b.SetString(total, 67, " \t PRIX * 2 \t");
  LoadedDico l(b);
  auto* table = static_cast<DRubricTable*>(l[t.table]);
  auto* field = static_cast<DVariable*>(l[total]);
  Formula f;
  ASSERT_TRUE(f.Create(field, table, field->Formula()));
  EXPECT_EQ(f.Text(), "PRIX * 2");
  EXPECT_EQ(f.Table(), table);
  EXPECT_EQ(f.Field(), field);
  MapSource source;
  source.Set("", "PRIX", -1, I(4));
  FormulaValue v;
  EXPECT_TRUE(f.Evaluate(&v, &source));
  EXPECT_EQ(v, I(8));
  // A field without a formula hands out null: an empty text.
  auto* without = static_cast<DVariable*>(l[plain]);
  ASSERT_EQ(without->Formula(), nullptr);
  EXPECT_FALSE(f.Create(without, table, without->Formula()));
  EXPECT_EQ(f.ErrorCode(), e::kSyntax);
}

TEST(FormulaObject, TextEndsAtAZeroByte) {
  Formula f;
  ASSERT_TRUE(f.Create(nullptr, nullptr, std::string_view("2*3\0+junk(", 10)));
  FormulaValue v;
  ASSERT_TRUE(f.Evaluate(&v));
  EXPECT_EQ(v, I(6));
}

TEST(FormulaObject, RecreateAndReevaluateResetTheError) {
  Formula f;
  EXPECT_FALSE(f.Create(nullptr, nullptr, "(1"));
  ASSERT_TRUE(f.Create(nullptr, nullptr, "SI PRIX < 0 ALORS 0 SINON 10 / PRIX"));
  EXPECT_EQ(f.ErrorCode(), 0);
  MapSource source;
  source.Set("", "PRIX", -1, I(-5));
  EXPECT_TRUE(f.Evaluate(nullptr, &source));  // null result: the value is dropped
  source.Set("", "PRIX", -1, I(0));
  FormulaValue v;
  EXPECT_FALSE(f.Evaluate(&v, &source));
  EXPECT_EQ(f.ErrorCode(), e::kDivisionByZero);
  EXPECT_EQ(f.ErrorPosition(), 29);
  source.Set("", "PRIX", -1, I(5));
  EXPECT_TRUE(f.Evaluate(&v, &source));
  EXPECT_EQ(f.ErrorCode(), 0);
  EXPECT_EQ(v, I(2));
}

TEST(FormulaObject, DivisionSwitchIsOnUntilTurnedOff) {
  Formula f;
  EXPECT_TRUE(f.DivisionCheck());
  ASSERT_TRUE(f.Create(nullptr, nullptr, "1/0"));
  EXPECT_FALSE(f.Evaluate(nullptr));
  f.SetDivisionCheck(false);
  FormulaValue v;
  EXPECT_TRUE(f.Evaluate(&v));
  EXPECT_EQ(v, R(0.0));
}

std::string Repeat(std::string_view s, size_t n) {
  std::string out;
  out.reserve(s.size() * n);
  for (size_t i = 0; i < n; ++i) out += s;
  return out;
}

TEST(FormulaRobustness, DeepNestingIsRefused) {
  EXPECT_EQ(RunFormula(Repeat("(", 100000) + "1" + Repeat(")", 100000)).error, e::kTooDeep);
  EXPECT_EQ(RunFormula(Repeat("-", 100000) + "1").error, e::kTooDeep);
  EXPECT_EQ(RunFormula(Repeat("NON(", 5000) + "1" + Repeat(")", 5000)).error, e::kTooDeep);
  EXPECT_EQ(RunFormula(Repeat("SI 1 ALORS ", 1000) + "1" + Repeat(" SINON 0", 1000)).error,
            e::kTooDeep);
  EXPECT_EQ(RunFormula(Repeat("ENTIER(", 5000) + "1" + Repeat(")", 5000)).error, e::kTooDeep);
  EXPECT_EQ(RunFormula("A[" + Repeat("A[", 5000) + "1" + Repeat("]", 5001)).error, e::kTooDeep);
  // Unbalanced, the balance check answers first.
  Outcome open = RunFormula(Repeat("(", 100000));
  EXPECT_EQ(open.error, e::kUnclosedParen);
  EXPECT_EQ(open.position, 0);
}

}  // namespace
}  // namespace tavelnor::dico
