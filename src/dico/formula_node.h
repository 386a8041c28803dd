// The tree a formula parses into. Internal to the formula object: the parser
// builds it, the evaluator walks it.
//
// Runs of operators of one precedence ("a - b - c", "x ET y ET z") are held
// as one chain node with the operands in text order and evaluated from the
// left, so that long runs group to the left without making the tree deep.
// Every node comes from a parse step one level deeper than its parent's, so
// the tree is never deeper than the parser's nesting limit.
//
// Ownership: each node owns its children (std::unique_ptr); the tree is
// immutable once built. Positions are character indexes in the trimmed
// formula text.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "dico/formula_value.h"

namespace tavelnor::dico::formula {

struct Node;
using NodePtr = std::unique_ptr<Node>;

// A constant of kind 0 to 6.
struct Constant {
  FormulaValue value;
};

// A field: `name` of the formula's own table (empty `table`) or of `table`,
// optionally the item `index` of an array field.
struct FieldRef {
  std::string table;
  std::string name;
  NodePtr index;  // null: no index
};

// Arithmetic operators. The parser also splits at '%' and '^' so that they
// reach the evaluator, which rejects them (operator outside the four).
enum class ArithOp : char {
  kAdd = '+', kSub = '-', kMul = '*', kDiv = '/', kMod = '%', kPow = '^'
};
enum class CompareOp : uint8_t { kEq, kLt, kGt, kLe, kGe, kNe };
enum class LogicOp : uint8_t { kEt, kOu, kOx };

// operands.size() == ops.size() + 1 == positions.size() + 1; ops[i] joins
// the running result with operands[i + 1]; positions[i] is where ops[i] is.
template <typename Op>
struct Chain {
  std::vector<NodePtr> operands;
  std::vector<Op> ops;
  std::vector<int32_t> positions;
};
using Arithmetic = Chain<ArithOp>;
using Comparison = Chain<CompareOp>;
using Logical = Chain<LogicOp>;

// A sign written before an operand: "+x" or "-x".
struct Sign {
  bool negate = false;
  NodePtr operand;
};

enum class NumericFn : uint8_t { kEntier, kArrondi, kEuros, kFrancs };
enum class DateFn : uint8_t { kAjouteJours, kJour, kMois, kAnnee };
enum class TimeFn : uint8_t { kAjouteHeures, kAjouteMinutes };
enum class TextFn : uint8_t { kLongueur, kChaineDans };

// Functions of one or two arguments (`second` null for one).
template <typename Fn>
struct Function {
  Fn fn;
  NodePtr first;
  NodePtr second;
};
using NumericFunction = Function<NumericFn>;
using DateFunction = Function<DateFn>;
using TimeFunction = Function<TimeFn>;
using TextFunction = Function<TextFn>;

struct Not {
  NodePtr operand;
};

// SI condition ALORS first SINON second.
struct Conditional {
  NodePtr condition;
  NodePtr first;
  NodePtr second;
};

struct Node {
  int32_t position = 0;
  std::variant<Constant, FieldRef, Arithmetic, Comparison, Logical, Sign, NumericFunction,
               DateFunction, TimeFunction, TextFunction, Not, Conditional>
      body;
};

}  // namespace tavelnor::dico::formula
