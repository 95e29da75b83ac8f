#pragma once

#include <string>

namespace vantrell::store::messages {

// The system's own texts for engine failures, shown unchanged.
inline constexpr const char* dataNotFound =
    "Data is not found.  The data path has changed or the server is not found.  Check the "
    "server and retry the connection or change the data path.";
inline constexpr const char* recordInUseViewing =
    "The current record is in use.  Opened for viewing only.";
inline constexpr const char* recordInUseBatch =
    "The current record is in use.  This process cannot complete.";

inline std::string recordInUseBy(const std::string& owner) {
  return "The current record is in use by: " + owner + ".  Opened for viewing only.";
}
inline std::string recordInUseBatchBy(const std::string& owner) {
  return "The current record is in use by: " + owner + ".  This process cannot complete.";
}
inline std::string noRightsTo(const std::string& path) {
  return "You do not have rights to " + path + ".";
}
// Our own text for a database file the engine cannot read as one: what to do
// about it, for whoever looks after the practice's files.
inline std::string damagedDatabase(const std::string& file) {
  return "The file " + file +
         " is not a practice database or is damaged.  Restore it from a backup.";
}

}  // namespace vantrell::store::messages
