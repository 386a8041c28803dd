// libFuzzer target: bytes taken as a formula text. Creating and evaluating
// must never crash; the answer must agree with the error code, every code
// must be one the formula object documents and every position must lie in
// the trimmed text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "dico/formula.h"

namespace {

using tavelnor::dico::FormulaValue;

// Answers a few fields of every kind, of the own table and of table "T".
class FuzzSource : public tavelnor::dico::FormulaFieldSource {
 public:
  bool Lookup(std::string_view table, std::string_view name, int32_t index,
              FormulaValue* out) override {
    if (name.empty()) return false;
    switch (name[0]) {
      case 'A': *out = FormulaValue::Integer(index < 0 ? 7 : index); break;
      case 'B': *out = FormulaValue::Real(2.5); break;
      case 'C': *out = FormulaValue::RealAlt(-0.5); break;
      case 'D': *out = FormulaValue::Date(tavelnor::record::sDate{29, 2, 2000}); break;
      case 'H': *out = FormulaValue::Time(tavelnor::record::sTime{0, 30, 59, 23}); break;
      case 'T': *out = FormulaValue::Text(table.empty() ? "texte" : table); break;
      case 'V': *out = FormulaValue::Bool(true); break;
      case 'N': *out = FormulaValue(); break;
      default: return false;
    }
    return true;
  }
};

bool KnownCode(int code) {
  switch (code) {
    case 0: case 1: case 6: case 7: case 10: case 12: case 13: case 14: case 15: case 17:
    case 19: case 21: case 22: case 23: case 24: case 30: case 31: case 32: case 33:
      return true;
    default:
      return false;
  }
}

void Check(const tavelnor::dico::Formula& f) {
  if (!KnownCode(f.ErrorCode())) std::abort();
  if (f.ErrorPosition() < 0 || static_cast<size_t>(f.ErrorPosition()) > f.Text().size()) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  tavelnor::dico::Formula f;
  bool created = f.Create(nullptr, nullptr, text);
  Check(f);
  if (created != (f.ErrorCode() == 0)) std::abort();
  FuzzSource source;
  for (bool division_check : {true, false}) {
    f.SetDivisionCheck(division_check);
    FormulaValue value;
    bool ok = f.Evaluate(&value, &source);
    Check(f);
    if (ok != (f.ErrorCode() == 0) || (ok && !created)) std::abort();
    (void)value.ToText();
  }
  return 0;
}
