#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "store/table_definition.hpp"

namespace vantrell::store {

// The system's filter and index-key expressions:
//   Last Name = 'Li' AND Date From >= CTOD('01/31/2026') OR .NOT. Inactive
//   UPPER(Last Name + ', ' + First Name);UPPER(Chart Number)
// Field names stand unquoted (with their blanks); strings take single or double
// quotes; .T. and .F. are logicals; AND, OR, NOT (also .AND. .OR. .NOT. and !).
struct Expression {
  enum class Kind {
    Field,        // fieldIndex
    Text,         // text
    Number,       // text holds the literal as written
    Logical,      // logical
    DateLiteral,  // CTOD(text); text is the month/day/year string
    Upper,        // children[0]
    Concat,       // children[0] + children[1]
    Compare,      // children[0] op children[1]
    And,          // children in order, two or more
    Or,           // children in order, two or more
    Not,
    Empty,  // EMPTY(children[0])
  };
  enum class Operator { Equal, NotEqual, Less, LessOrEqual, Greater, GreaterOrEqual, Contains };

  Kind kind = Kind::Text;
  std::string text;
  bool logical = false;
  std::size_t fieldIndex = 0;
  Operator op = Operator::Equal;
  std::size_t position = 0;  // where the node starts in the source, for messages
  std::vector<std::unique_ptr<Expression>> children;
};

using ExpressionPtr = std::unique_ptr<Expression>;

// Limits on the text of a filter or key, far beyond what a person writes: a
// deeper or longer text is refused with a FilterError that names the limit,
// never followed into a stack overflow of the parser or of the engine.
inline constexpr std::size_t maximumNestingDepth = 64;
inline constexpr std::size_t maximumExpressionLength = 65536;

// Parses a filter (a condition). Throws FilterError naming the filter, the reason
// and the position.
ExpressionPtr parseFilter(const TableDefinition& table, std::string_view filter);

// Parses an index tag key: key parts separated by ';'. Throws FilterError.
std::vector<ExpressionPtr> parseKey(const TableDefinition& table, std::string_view key);

// A filter for the rows where any of the text fields holds the typed text
// anywhere, in any case ("" when nothing was typed): what a list shows while
// the clerk types.
std::string containsAnyFilter(const std::vector<std::string>& fields, std::string_view typed);

}  // namespace vantrell::store
