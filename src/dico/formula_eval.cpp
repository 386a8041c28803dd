// The formula evaluator: constants, fields, operator chains, signs, NON and
// the conditional. The functions are in formula_functions.cpp.
#include "dico/formula_eval.h"

#include <cmath>
#include <utility>
#include <variant>

namespace tavelnor::dico::formula {
namespace {

using K = FormulaKind;
namespace err = formula_error;

// Integer results wrap around in 32 bits.
int32_t Wrap(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(v)); }

bool CompareResult(CompareOp op, int cmp) {
  switch (op) {
    case CompareOp::kEq: return cmp == 0;
    case CompareOp::kNe: return cmp != 0;
    case CompareOp::kLt: return cmp < 0;
    case CompareOp::kGt: return cmp > 0;
    case CompareOp::kLe: return cmp <= 0;
    case CompareOp::kGe: return cmp >= 0;
  }
  return false;
}

// NaN compares unequal to everything, as with the plain operators.
bool CompareReals(CompareOp op, double x, double y) {
  switch (op) {
    case CompareOp::kEq: return x == y;
    case CompareOp::kNe: return !(x == y);
    case CompareOp::kLt: return x < y;
    case CompareOp::kGt: return x > y;
    case CompareOp::kLe: return x <= y;
    case CompareOp::kGe: return x >= y;
  }
  return false;
}

template <typename T>
int Order(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

}  // namespace

bool Evaluator::Fail(int code, int32_t position) {
  code_ = code;
  position_ = position;
  return false;
}

bool Evaluator::Eval(const Node& node, FormulaValue* out) {
  return std::visit([&](const auto& body) { return EvalNode(node, body, out); }, node.body);
}

bool Evaluator::EvalNode(const Node&, const Constant& c, FormulaValue* out) {
  *out = c.value;
  return true;
}

bool Evaluator::EvalNode(const Node& n, const FieldRef& f, FormulaValue* out) {
  int32_t index = -1;
  if (f.index) {
    FormulaValue v;
    if (!Eval(*f.index, &v)) return false;
    if (v.kind() != K::kInteger) return Fail(err::kUndefinedForKind, f.index->position);
    if (v.integer() < 0) return Fail(err::kUnknownName, n.position);
    index = v.integer();
  }
  if (source_ == nullptr || !source_->Lookup(f.table, f.name, index, out)) {
    return Fail(err::kUnknownName, n.position);
  }
  return true;
}

template <typename Op>
bool Evaluator::EvalChain(const Chain<Op>& chain, FormulaValue* out) {
  FormulaValue acc;
  if (!Eval(*chain.operands[0], &acc)) return false;
  for (size_t i = 0; i < chain.ops.size(); ++i) {
    FormulaValue rhs;
    if (!Eval(*chain.operands[i + 1], &rhs)) return false;
    if (!Combine(chain.ops[i], rhs, chain.positions[i], &acc)) return false;
  }
  *out = std::move(acc);
  return true;
}

bool Evaluator::EvalNode(const Node&, const Arithmetic& a, FormulaValue* out) {
  return EvalChain(a, out);
}
bool Evaluator::EvalNode(const Node&, const Comparison& c, FormulaValue* out) {
  return EvalChain(c, out);
}
bool Evaluator::EvalNode(const Node&, const Logical& l, FormulaValue* out) {
  return EvalChain(l, out);
}

bool Evaluator::Combine(ArithOp op, const FormulaValue& rhs, int32_t position,
                        FormulaValue* acc) {
  const FormulaValue& lhs = *acc;
  K ka = lhs.OperandKind();
  K kb = rhs.OperandKind();
  if (ka == K::kText || kb == K::kText) {
    if (ka != kb) return Fail(err::kTextOrDateMix, position);
    if (op != ArithOp::kAdd) return Fail(err::kUndefinedForKind, position);
    *acc = FormulaValue::Text(Chaine::Concat(lhs.text().view(), rhs.text().view()));
    return true;
  }
  if (ka == K::kDate || kb == K::kDate) {
    if (ka != kb) return Fail(err::kTextOrDateMix, position);
    if (op != ArithOp::kSub) return Fail(err::kUndefinedForKind, position);
    int64_t days = static_cast<int64_t>(lhs.date().DayNumber()) - rhs.date().DayNumber();
    *acc = FormulaValue::Integer(Wrap(days));
    return true;
  }
  bool numbers = (ka == K::kInteger || ka == K::kReal) && (kb == K::kInteger || kb == K::kReal);
  if (!numbers) {
    // Times and booleans have no arithmetic; other pairs do not combine.
    bool same = ka == kb && ka != K::kNone;
    return Fail(same ? err::kUndefinedForKind : err::kKindMix, position);
  }
  if (op == ArithOp::kMod || op == ArithOp::kPow) return Fail(err::kUnknownOperator, position);
  if (op == ArithOp::kDiv) return Divide(lhs, rhs, position, acc);
  if (ka == K::kInteger && kb == K::kInteger) {
    int64_t x = lhs.integer();
    int64_t y = rhs.integer();
    int64_t r = op == ArithOp::kAdd ? x + y : op == ArithOp::kSub ? x - y : x * y;
    *acc = FormulaValue::Integer(Wrap(r));
    return true;
  }
  double x = lhs.AsDouble();
  double y = rhs.AsDouble();
  *acc = FormulaValue::Real(op == ArithOp::kAdd ? x + y : op == ArithOp::kSub ? x - y : x * y);
  return true;
}

bool Evaluator::Divide(const FormulaValue& a, const FormulaValue& b, int32_t position,
                       FormulaValue* out) {
  double x = a.AsDouble();
  double y = b.AsDouble();
  if (y == 0.0) {
    if (division_check_) return Fail(err::kDivisionByZero, position);
    *out = FormulaValue::Real(0.0);
    return true;
  }
  double q = x / y;
  if (a.kind() != K::kInteger || b.kind() != K::kInteger) {
    *out = FormulaValue::Real(q);
  } else if (q == 0.0 && !division_check_) {
    *out = FormulaValue::Real(0.0);
  } else if (q == std::trunc(q)) {
    // |q| <= 2^31: exact in 64 bits.
    *out = FormulaValue::Integer(Wrap(static_cast<int64_t>(q)));
  } else {
    *out = FormulaValue::Real(q);
  }
  return true;
}

bool Evaluator::Combine(CompareOp op, const FormulaValue& rhs, int32_t position,
                        FormulaValue* acc) {
  const FormulaValue& lhs = *acc;
  K ka = lhs.OperandKind();
  K kb = rhs.OperandKind();
  bool result = false;
  if (ka == K::kText || kb == K::kText || ka == K::kDate || kb == K::kDate) {
    if (ka != kb) return Fail(err::kTextOrDateMix, position);
    int cmp = ka == K::kText ? lhs.text().Compare(rhs.text().view())
                             : Order(lhs.date().Packed(), rhs.date().Packed());
    result = CompareResult(op, cmp);
  } else if (ka == K::kTime || kb == K::kTime) {
    if (ka != kb) return Fail(err::kKindMix, position);
    result = CompareResult(op, Order(lhs.time().Packed(), rhs.time().Packed()));
  } else if (lhs.IsNumeric() && rhs.IsNumeric()) {
    if (ka == K::kInteger && kb == K::kInteger) {
      result = CompareResult(op, Order(lhs.integer(), rhs.integer()));
    } else {
      result = CompareReals(op, lhs.AsDouble(), rhs.AsDouble());
    }
  } else {
    return Fail(err::kKindMix, position);
  }
  *acc = FormulaValue::Bool(result);
  return true;
}

bool Evaluator::Combine(LogicOp op, const FormulaValue& rhs, int32_t position,
                        FormulaValue* acc) {
  if (!acc->IsNumeric() || !rhs.IsNumeric()) return Fail(err::kLogicalOperand, position);
  bool x = acc->Truth();
  bool y = rhs.Truth();
  bool r = op == LogicOp::kEt ? (x && y) : op == LogicOp::kOu ? (x || y) : x;
  *acc = FormulaValue::Bool(r);
  return true;
}

bool Evaluator::EvalNode(const Node& n, const Sign& s, FormulaValue* out) {
  FormulaValue v;
  if (!Eval(*s.operand, &v)) return false;
  switch (v.OperandKind()) {
    case K::kInteger:
      *out = FormulaValue::Integer(s.negate ? Wrap(-static_cast<int64_t>(v.integer()))
                                            : v.integer());
      return true;
    case K::kReal:
      *out = FormulaValue::Real(s.negate ? -v.real() : v.real());
      return true;
    default:
      return Fail(err::kUndefinedForKind, n.position);
  }
}

bool Evaluator::EvalNode(const Node& n, const Not& x, FormulaValue* out) {
  FormulaValue v;
  if (!Eval(*x.operand, &v)) return false;
  if (!v.IsNumeric()) return Fail(err::kLogicalOperand, n.position);
  *out = FormulaValue::Bool(!v.Truth());
  return true;
}

bool Evaluator::EvalNode(const Node& n, const Conditional& c, FormulaValue* out) {
  FormulaValue condition;
  if (!Eval(*c.condition, &condition)) return false;
  if (!condition.IsNumeric()) return Fail(err::kConditionKind, n.position);
  // Both branches are computed; only the chosen one's error counts.
  FormulaValue values[2];
  bool ok[2];
  int codes[2];
  int32_t positions[2];
  const Node* branches[2] = {c.first.get(), c.second.get()};
  for (int i = 0; i < 2; ++i) {
    ok[i] = Eval(*branches[i], &values[i]);
    codes[i] = code_;
    positions[i] = position_;
    code_ = 0;
    position_ = 0;
  }
  int chosen = condition.Truth() ? 0 : 1;
  int other = 1 - chosen;
  if (!ok[chosen]) return Fail(codes[chosen], positions[chosen]);
  const FormulaValue& value = values[chosen];
  if (!ok[other] || value.kind() == values[other].kind()) {
    *out = value;
  } else if (value.IsNumeric() && values[other].IsNumeric()) {
    *out = FormulaValue::Real(value.AsDouble());
  } else {
    *out = FormulaValue::Text(value.ToText().view());
  }
  return true;
}

}  // namespace tavelnor::dico::formula
