#pragma once

#include <vector>

#include "store/connection.hpp"
#include "store/record.hpp"

namespace vantrell::security {

// The permissions window: the permission list by window and process, with a
// column per access level.
class PermissionsWindow {
 public:
  explicit PermissionsWindow(store::Connection& practice);
  std::vector<store::Record>& rows() { return rows_; }
  store::Record* row(int item);
  // Posts a row. Level 1 always keeps "Security"/"Permissions", so nobody can
  // lock every user out of the permissions themselves.
  void post(store::Record& row);
  void setLevel(int item, int level, bool allowed);

 private:
  store::Connection& practice_;
  std::vector<store::Record> rows_;
};

}  // namespace vantrell::security
