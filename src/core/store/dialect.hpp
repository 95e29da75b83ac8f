#pragma once

#include <string>
#include <string_view>

#include "store/table_definition.hpp"
#include "store/value.hpp"

namespace vantrell::store {

// What differs in the SQL text of the two engines. Everything else the store
// writes is common SQL.
class Dialect {
 public:
  virtual ~Dialect() = default;

  virtual std::string_view engineName() const = 0;
  virtual std::string columnDefinition(const FieldDefinition& field) const = 0;
  // The hidden identity of a row and how a bound value of it is written.
  virtual std::string_view rowIdentityColumn() const = 0;
  virtual std::string_view rowIdentityParameter() const = 0;
  // Index keys never hold null, so that ordering, seeks and paging compare plainly:
  // an empty date or number keys as the smallest value of its type.
  virtual std::string keyColumn(std::string quotedColumn, FieldType type) const = 0;
  virtual Value emptyKeyValue(FieldType type) const = 0;
  // A character field blank padded to its width, as concatenated keys expect.
  virtual std::string padded(std::string expression, int width) const = 0;
  virtual std::string contains(std::string haystack, std::string needle) const = 0;
  // Text of a unique-tag violation's index name, as we name indexes.
  static std::string indexName(std::string_view table, std::string_view tag);

  static std::string quoteIdentifier(std::string_view name);
  static std::string quoteLiteral(std::string_view text);
};

}  // namespace vantrell::store
