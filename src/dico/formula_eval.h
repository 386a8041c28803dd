// The formula evaluator: walks a parsed tree and computes its value.
// Internal to the formula object.
//
// The first error stops the walk; its code and the position of the node
// (or operator) that found it are kept. The tree's depth is bounded by the
// parser, so the recursive walk is too.
#pragma once

#include <cstdint>

#include "dico/formula.h"
#include "dico/formula_node.h"

namespace tavelnor::dico::formula {

class Evaluator {
 public:
  Evaluator(FormulaFieldSource* source, bool division_check)
      : source_(source), division_check_(division_check) {}

  // Evaluates `node` into *out; false after an error (see code()).
  bool Eval(const Node& node, FormulaValue* out);

  int code() const { return code_; }
  int32_t position() const { return position_; }

 private:
  bool Fail(int code, int32_t position);

  bool EvalNode(const Node& n, const Constant& c, FormulaValue* out);
  bool EvalNode(const Node& n, const FieldRef& f, FormulaValue* out);
  bool EvalNode(const Node& n, const Arithmetic& a, FormulaValue* out);
  bool EvalNode(const Node& n, const Comparison& c, FormulaValue* out);
  bool EvalNode(const Node& n, const Logical& l, FormulaValue* out);
  bool EvalNode(const Node& n, const Sign& s, FormulaValue* out);
  bool EvalNode(const Node& n, const NumericFunction& f, FormulaValue* out);
  bool EvalNode(const Node& n, const DateFunction& f, FormulaValue* out);
  bool EvalNode(const Node& n, const TimeFunction& f, FormulaValue* out);
  bool EvalNode(const Node& n, const TextFunction& f, FormulaValue* out);
  bool EvalNode(const Node& n, const Not& x, FormulaValue* out);
  bool EvalNode(const Node& n, const Conditional& c, FormulaValue* out);

  // Operands from the left, each joined to the running result.
  template <typename Op>
  bool EvalChain(const Chain<Op>& chain, FormulaValue* out);
  // One step of a chain: *acc = *acc op rhs.
  bool Combine(ArithOp op, const FormulaValue& rhs, int32_t position, FormulaValue* acc);
  bool Combine(CompareOp op, const FormulaValue& rhs, int32_t position, FormulaValue* acc);
  bool Combine(LogicOp op, const FormulaValue& rhs, int32_t position, FormulaValue* acc);
  bool Divide(const FormulaValue& a, const FormulaValue& b, int32_t position, FormulaValue* out);
  // The arguments of a function of one or two arguments.
  template <typename Fn>
  bool EvalArguments(const Function<Fn>& f, FormulaValue* first, FormulaValue* second);

  FormulaFieldSource* source_;
  bool division_check_;
  int code_ = 0;
  int32_t position_ = 0;
};

}  // namespace tavelnor::dico::formula
