#include "store/table_creation.hpp"

namespace vantrell::store {

bool ensureTable(Connection& connection, std::string_view tableName) {
  const TableDefinition& table = connection.catalogue().get(tableName);
  if (connection.tableExists(table.name())) return false;
  connection.createTable(table);
  return true;
}

std::vector<std::string> createMissingTables(Connection& practice, Connection* rootDirectory) {
  std::vector<std::string> created;
  for (const auto name : practice.catalogue().creationOrder()) {
    Connection* target = &practice;
    if (SchemaCatalogue::belongsToRootDirectory(name)) {
      if (rootDirectory == nullptr) continue;
      target = rootDirectory;
    }
    if (ensureTable(*target, name)) created.emplace_back(name);
  }
  return created;
}

}  // namespace vantrell::store
