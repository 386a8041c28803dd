// Formulas: tables of texts with their value or their error code and
// position, one table per part of the language.
#include <gtest/gtest.h>

#include <climits>

#include "dico/formula_test_support.h"

namespace tavelnor::dico {
namespace {

using namespace testing;  // NOLINT: value shorthands
namespace e = formula_error;

class FormulaTable : public ::testing::TestWithParam<FormulaCase> {};

TEST_P(FormulaTable, GivesItsValueOrError) {
  ExpectOutcome(GetParam(), RunFormula(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(
    Arithmetic, FormulaTable,
    ::testing::Values(
        Ok("10/4", R(2.5)), Ok("10/5", I(2)), Ok("0/5", I(0)), Ok("7-2-1", I(4)),
        Ok("2+3*4", I(14)), Ok("2*3+4", I(10)), Ok("(2+3)*4", I(20)), Ok("100/10/5", I(2)),
        Ok("2*-3", I(-6)), Ok("7 - -2", I(9)), Ok("-2*3+1", I(-5)), Ok("--3", I(3)),
        Ok("+4", I(4)), Ok("-(2.5)", R(-2.5)), Ok("(((7)))", I(7)), Ok("  12   ", I(12)),
        Ok("2147483647+1", I(INT32_MIN)), Ok("3000000000", R(3e9)), Ok("1.5+1", R(2.5)),
        Ok("1,5*2", R(3.0)), Ok("1 + SI 1 ALORS 2 SINON 3", I(3)),
        Ok("\"ab\"+\"cd\"", T("abcd")), Ok("\"say \"\"hi\"\"\"", T("say \"hi\"")),
        Ok("\"a+b\" + \"(c\"", T("a+b(c")), Ok("\"\"", T("")),
        Ok("DATE(01/03/2000)-DATE(1/2/2000)", I(29)),
        Ok("DATE(1/1/2001)-DATE(31/12/2000)", I(1)), Ok("DATE(1/1/2000)-DATE(2/1/2000)", I(-1)),
        Err("10/0", e::kDivisionByZero, 2), Err("1+10/0", e::kDivisionByZero, 4),
        Err("1.5/0", e::kDivisionByZero, 3), Err("\"a\"-\"b\"", e::kUndefinedForKind, 3),
        Err("\"a\"*2", e::kTextOrDateMix, 3), Err("1+\"a\"", e::kTextOrDateMix, 1),
        Err("DATE(1/1/2000)+1", e::kTextOrDateMix, 14),
        Err("DATE(1/1/2000)+DATE(1/1/2000)", e::kUndefinedForKind, 14),
        Err("HEURE(1:00)+HEURE(2:00)", e::kUndefinedForKind, 11),
        Err("HEURE(1:00)+1", e::kKindMix, 11), Err("(1>0)+1", e::kKindMix, 5),
        Err("5%2", e::kUnknownOperator, 1), Err("5^2", e::kUnknownOperator, 1),
        Err("\"a\"%\"b\"", e::kUndefinedForKind, 3), Err("-\"a\"", e::kUndefinedForKind, 0),
        Err("1 +", e::kSyntax, 3), Err("*5", e::kSyntax, 0), Err("2abc", e::kSyntax, 0),
        Err("1.5.2", e::kSyntax, 0), Err("1.", e::kSyntax, 0), Err("()", e::kSyntax, 1),
        Err("", e::kSyntax, 0), Err(" \t ", e::kSyntax, 0),
        Err("1 + PRIX", e::kUnknownName, 4)));  // no field source: no name is known

INSTANTIATE_TEST_SUITE_P(
    Balance, FormulaTable,
    ::testing::Values(
        Err("(1+2", e::kUnclosedParen, 0), Err("((1)", e::kUnclosedParen, 0),
        Err("1+2)", e::kExtraParen, 3), Err("1)+(2", e::kExtraParen, 1),
        Err("A[1", e::kUnclosedBracket, 0), Err("A]", e::kExtraBracket, 1),
        Err("{A", e::kUnclosedBrace, 0), Err("A}", e::kExtraBrace, 1),
        Err("\"abc", e::kUnclosedQuote, 0), Err("1 + \"abc", e::kUnclosedQuote, 4),
        Err("  (1", e::kUnclosedParen, 0), Err("  1+2)  ", e::kExtraParen, 3),
        Err("([)]", e::kSyntax, 0), Ok("\"(\" + \")\"", T("()"))));

INSTANTIATE_TEST_SUITE_P(
    Functions, FormulaTable,
    ::testing::Values(
        Ok("ENTIER(2.7)", I(2)), Ok("ENTIER(-2.7)", I(-2)), Ok("ENTIER(5)", I(5)),
        Ok("ENTIER(99999999999.5)", I(INT32_MAX)), Ok("entier(2.7)", I(2)),
        Ok("Entier (2.7)", I(2)), Ok("ARRONDI(2.5)", I(3)), Ok("ARRONDI(2.49)", I(2)),
        Ok("ARRONDI(-2.5)", I(-2)), Ok("ARRONDI(7)", I(7)), Ok("ARRONDI(10/4)", I(3)),
        Ok("EUROS(655.957)", R(100.0)), Ok("FRANCS(100)", R(655.96)), Ok("EUROS(0)", R(0.0)),
        Ok("AJOUTE_JOURS(DATE(31/12/1999), 1)", D(1, 1, 2000)),
        Ok("AJOUTE_JOURS(DATE(1/3/2000),-1)", D(29, 2, 2000)),
        Ok("JOUR(DATE(5/6/2007))", I(5)), Ok("MOIS(DATE(5/6/2007))", I(6)),
        Ok("ANNEE(DATE(5/6/2007))", I(2007)), Ok("DATE()", D(0, 0, 0)),
        Ok("AJOUTE_HEURES(HEURE(23:30), 2)", H(1, 30)),
        Ok("AJOUTE_MINUTES(HEURE(0:10:05), -20)", H(23, 50, 5)),
        Ok("AJOUTE_HEURES(HEURE(1:02:03:04), 1)", H(2, 2, 3, 4)), Ok("HEURE()", H(0, 0)),
        Ok("LONGUEUR(\"abc\")", I(3)), Ok("LONGUEUR(\"\")", I(0)),
        Ok("CHAINE_DANS(\"abcdef\", \"cd\")", B(true)), Ok("CHAINE_DANS(\"abc\", \"x\")", B(false)),
        Ok("CHAINE_DANS(\"abc\", \"\")", B(false)), Ok("CHAINE_DANS(\"\", \"a\")", B(false)),
        Ok("CHAINE_DANS(\"a,b\", \",\")", B(true)),
        Err("ENTIER(\"a\")", e::kUndefinedForKind, 0),
        Err("EUROS(DATE())", e::kUndefinedForKind, 0),
        Err("JOUR(5)", e::kUndefinedForKind, 0),
        Err("AJOUTE_JOURS(DATE(1/1/2000), 1.5)", e::kUndefinedForKind, 29),
        Err("AJOUTE_HEURES(HEURE(1:00), \"x\")", e::kUndefinedForKind, 27),
        Err("AJOUTE_MINUTES(5, 1)", e::kUndefinedForKind, 0),
        Err("LONGUEUR(5)", e::kUndefinedForKind, 0),
        Err("CHAINE_DANS(\"a\", 1)", e::kUndefinedForKind, 17),
        Err("AJOUTE_JOURS(DATE(1/1/2000))", e::kSyntax, 12),
        Err("DATE(31/2/2000)", e::kSyntax, 5), Err("HEURE(25:00)", e::kSyntax, 6),
        Err("DATE(1-1-2000)", e::kSyntax, 5), Err("INCONNU(1)", e::kSyntax, 7),
        Err("ENTIER()", e::kSyntax, 7)));

INSTANTIATE_TEST_SUITE_P(
    Conditions, FormulaTable,
    ::testing::Values(
        Ok("1 < 2", B(true)), Ok("2 < 1", B(false)), Ok("1 = 1.0", B(true)),
        Ok("2 <> 2", B(false)), Ok("2 <> 3", B(true)), Ok("1 <= 1", B(true)),
        Ok("2 >= 3", B(false)), Ok("3 > 2", B(true)), Ok("1 < 2 = 1", B(true)),
        Ok("\"abc\" < \"abd\"", B(true)), Ok("\"b\" > \"abc\"", B(true)),
        Ok("\"\xE9\" > \"z\"", B(true)), Ok("\"a\" = \"a\"", B(true)),
        Ok("DATE(31/12/1999) < DATE(1/1/2000)", B(true)),
        Ok("HEURE(9:00) > HEURE(10:00)", B(false)),
        Ok("1 ET 0", B(false)), Ok("1 ET 2", B(true)), Ok("0 OU 0.5", B(true)),
        Ok("1 OX 0", B(true)), Ok("0 OX 1", B(false)), Ok("NON(0)", B(true)),
        Ok("NON (2.5)", B(false)), Ok("1 OU 0 ET 0", B(true)), Ok("(1 OU 0) ET 0", B(false)),
        Ok("0 ET 1 OU 1", B(true)), Ok("(1)ET(0)", B(false)), Ok("1 et 1", B(true)),
        Ok("NON(1) OU 1", B(true)), Ok("1 ET-1", B(true)),
        Err("\"1\" = 1", e::kTextOrDateMix, 4), Err("DATE(1/1/2000) = 1", e::kTextOrDateMix, 15),
        Err("HEURE(1:00) = 1", e::kKindMix, 12), Err("\"a\" ET 1", e::kLogicalOperand, 4),
        Err("1 OU \"a\"", e::kLogicalOperand, 2), Err("NON(DATE(1/1/2000))", e::kLogicalOperand, 0),
        Err("1 OX HEURE(1:00)", e::kLogicalOperand, 2), Err("1 ET", e::kSyntax, 4),
        Err("1 < > 2", e::kSyntax, 4)));

INSTANTIATE_TEST_SUITE_P(
    Conditionals, FormulaTable,
    ::testing::Values(
        Ok("SI 1 ALORS 2 SINON 3", I(2)), Ok("SI 0 ALORS 2 SINON 3", I(3)),
        Ok("si 1 alors 2 sinon 3", I(2)), Ok("SI(1>0) ALORS(10) SINON(20)", I(10)),
        Ok("SI 2.5 ALORS 1 SINON 0", I(1)), Ok("SI 1 < 2 ALORS \"oui\" SINON \"non\"", T("oui")),
        Ok("SI 1 ALORS SI 0 ALORS 1 SINON 2 SINON 3", I(2)),
        Ok("SI 0 ALORS 1 SINON SI 0 ALORS 2 SINON 3", I(3)),
        Ok("SI SI 0 ALORS 0 SINON 1 ALORS 5 SINON 6", I(5)),
        Ok("SI 1 ALORS (SI 0 ALORS 1 SINON 4) SINON 3", I(4)),
        Ok("1 + (SI 1 ALORS 2 SINON 3)", I(3)), Ok("SI 1 ALORS 3 SINON 4", I(3)),
        // Branches of different kinds.
        Ok("SI 1 ALORS 2 SINON 2.5", R(2.0)), Ok("SI 0 ALORS 2 SINON 2.5", R(2.5)),
        Ok("SI 1 ALORS 1 > 0 SINON 2", R(1.0)), Ok("SI 1 ALORS 2 SINON \"x\"", T("2")),
        Ok("SI 0 ALORS 2 SINON \"x\"", T("x")), Ok("SI 1 ALORS 2.5 SINON \"x\"", T("2.5")),
        Ok("SI 1 ALORS DATE(5/6/2007) SINON 1", T("05/06/2007")),
        Ok("SI 1 ALORS HEURE(9:05) SINON \"x\"", T("09:05")),
        Ok("SI 1 ALORS 1 > 0 SINON \"x\"", T("1")),
        // The other branch's errors are dropped, and its kind with them.
        Ok("SI 1 ALORS 7 SINON 1/0", I(7)), Ok("SI 1 ALORS 7 SINON \"a\" - 1", I(7)),
        Err("SI 0 ALORS 7 SINON 1/0", e::kDivisionByZero, 20),
        Err("SI \"a\" ALORS 1 SINON 2", e::kConditionKind, 0),
        Err("SI HEURE(1:00) ALORS 1 SINON 2", e::kConditionKind, 0),
        Err("SI 1 ALORS 2", e::kIncompleteSi, 0), Err("SI 1 SINON 2 ALORS 3", e::kIncompleteSi, 0),
        Err("SI 1 ALORS SI 0 ALORS 1 SINON 2", e::kIncompleteSi, 0),
        Err("2 * (SI 1 ALORS 2)", e::kIncompleteSi, 5), Err("SI", e::kIncompleteSi, 0),
        Err("SI 1 ALORS SINON 2", e::kSyntax, 11)));

// The division switch off: no error, the real 0 for every zero quotient.
class DivisionSwitchOff : public ::testing::TestWithParam<FormulaCase> {};

TEST_P(DivisionSwitchOff, GivesARealZero) {
  ExpectOutcome(GetParam(), RunFormula(GetParam().text, nullptr, false));
}

INSTANTIATE_TEST_SUITE_P(Cases, DivisionSwitchOff,
                         ::testing::Values(Ok("10/0", R(0.0)), Ok("0/5", R(0.0)),
                                           Ok("1.5/0", R(0.0)), Ok("10/4", R(2.5)),
                                           Ok("10/5", I(2)), Ok("-10/5", I(-2))));

}  // namespace
}  // namespace tavelnor::dico
