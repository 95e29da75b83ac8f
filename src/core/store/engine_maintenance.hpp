#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "store/connection.hpp"
#include "store/errors.hpp"

namespace vantrell::store {

// What the backup and file maintenance programs ask of the engine. Whatever
// differs between the embedded engine and the server stays behind this seam.

// Told how far a long copy is (done of total, in the engine's units); returns
// false to stop it at the next point where stopping leaves nothing changed.
using CopyProgress = std::function<bool(std::int64_t done, std::int64_t total)>;

// Stopped by the person's Abort.
class CopyAborted : public StoreError {
 public:
  CopyAborted() : StoreError("The operation was aborted; nothing was changed.") {}
};

// The engine's own check of the stored data; empty when it finds nothing wrong.
std::vector<std::string> checkIntegrity(Connection& practice);
// Rebuilds every index of the practice's tables.
void rebuildIndexes(Connection& practice);
// Gives back unused space and renews the planner's statistics.
void compactAndAnalyze(Connection& practice);
// Rows per table of the practice, by table name.
std::map<std::string, std::int64_t> rowCounts(Connection& practice);

// A consistent copy of the practice's data into `folder` as one file whose
// name is returned: the embedded database copied page by page with the
// engine's online backup (readers at other workstations may go on), or the
// server's dump of the practice's schema in its custom format.
std::filesystem::path copyPracticeData(const DataLocation& location,
                                       const std::filesystem::path& folder,
                                       const CopyProgress& progress);

// Puts the copy made by copyPracticeData in place of the practice's data, as
// one transaction of the engine: until it commits, the practice is as it was,
// whatever happens to this process. Before anything is replaced the copy is
// opened on its own and must pass the engine's check and hold exactly
// `expectedRows`; otherwise StoreError says what is wrong. `work` is a folder
// for scratch files.
void replacePracticeData(const DataLocation& location, const std::filesystem::path& copy,
                         const std::map<std::string, std::int64_t>& expectedRows,
                         const std::filesystem::path& work);

// The file name copyPracticeData gives its copy on each engine.
std::string practiceDataFileName(Engine engine);

}  // namespace vantrell::store
