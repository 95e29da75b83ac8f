#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/dialect.hpp"
#include "store/expression.hpp"
#include "store/value.hpp"

namespace vantrell::store {

// A piece of SQL and the values bound to its '?' placeholders, in order.
struct SqlFragment {
  std::string sql;
  std::vector<Value> parameters;
};

// Turns a filter into a SQL condition. An empty string or CTOD('') compares as
// the empty value. Throws FilterError for comparisons that make no sense
// (a date field against a word, a logical against a number).
SqlFragment filterToSql(const TableDefinition& table, std::string_view filter,
                        const Dialect& dialect);

// One part of an index key, as SQL and as the kind of value a seek binds to it.
struct KeyPart {
  std::string sql;
  FieldType type = FieldType::Character;
  bool upperCase = false;
  const FieldDefinition* field = nullptr;  // set when the part is a single field
};

std::vector<KeyPart> keyParts(const TableDefinition& table, std::string_view key,
                              const Dialect& dialect);
// The key parts of a tag; a case-insensitive tag compares its text parts upper-cased.
std::vector<KeyPart> tagKeyParts(const TableDefinition& table, const TagDefinition& tag,
                                 const Dialect& dialect);
std::vector<KeyPart> keyPartsForFields(const TableDefinition& table,
                                       const std::vector<std::string>& fieldNames,
                                       const Dialect& dialect);
// The value a seek or range binds for a key part.
Value keyValue(const KeyPart& part, Value given, const Dialect& dialect);

}  // namespace vantrell::store
