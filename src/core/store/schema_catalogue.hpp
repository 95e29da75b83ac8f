#pragma once

#include <string_view>
#include <vector>

#include "store/table_definition.hpp"

namespace vantrell::store {

// Every table the program knows, built once from the definitions of the
// subsystems that own them. Immutable after construction.
class SchemaCatalogue {
 public:
  SchemaCatalogue();

  // By name, ignoring case and an ".ADT" extension; nullptr when unknown.
  const TableDefinition* find(std::string_view tableName) const;
  // As find, but throws InputError naming the table when unknown.
  const TableDefinition& get(std::string_view tableName) const;
  const std::vector<TableDefinition>& tables() const { return tables_; }

  // The practice tables in the order missing ones are created; `QVUSR` stands in
  // the list where it is created, in the root data directory.
  const std::vector<std::string_view>& creationOrder() const { return creationOrder_; }
  // Tables kept in the root data directory rather than in a practice.
  static bool belongsToRootDirectory(std::string_view tableName);

 private:
  std::vector<TableDefinition> tables_;
  std::vector<std::string_view> creationOrder_;
};

// The program's catalogue.
const SchemaCatalogue& schemaCatalogue();

}  // namespace vantrell::store
