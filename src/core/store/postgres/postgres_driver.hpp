#pragma once

#include <memory>
#include <string>

#include "store/driver.hpp"

namespace vantrell::store {

// Where a practice lives on the database server: a database and a schema in
// it. Written "database/schema", or just "schema" for the server's default
// database. The server itself is found from VANTRELL_SERVER (a connection string
// such as "host=clinic-db port=5432 user=vantrell") and the usual PG* variables.
struct ServerPractice {
  std::string database;  // empty: the connection string's default
  std::string schema;
  static ServerPractice parse(const std::string& path);
  std::string display() const;
};

std::unique_ptr<Driver> openPostgresDriver(const ServerPractice& practice, std::string ownerName,
                                           bool createSchema);

}  // namespace vantrell::store
