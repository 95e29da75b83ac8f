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

// Writes an audit entry of a delete or a sensitive edit: the kind ("Deleted
// Procedure") and what it was about, with the chart number when there is one.
void writeAuditEntry(store::Connection& practice, const std::string& kind, const std::string& chartNumber,
                     const std::string& text, const DateTime& when);
// An audit line whose whole text the system gives ("Deleted Case 12").
void writeAuditLine(store::Connection& practice, const std::string& chartNumber, const std::string& comment,
                    const DateTime& when);

}  // namespace vantrell::security
