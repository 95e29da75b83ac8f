#pragma once

#include <filesystem>
#include <memory>

#include "store/driver.hpp"

namespace vantrell::store {

// The embedded engine: one database file per data directory ("qvddf.add", the
// practice's dictionary), shared between processes in WAL mode.
// Throws ConnectionError when the directory is missing (unless asked to create
// it) and RightsError when it may not be written. A writer that waits longer
// than busyWaitMilliseconds for another gives up with RecordInUseError, which
// names the other writer when it is known.
std::unique_ptr<Driver> openSqliteDriver(const std::filesystem::path& directory,
                                         std::string ownerName, bool createDirectory,
                                         int busyWaitMilliseconds = 15000);

inline constexpr const char* dictionaryFileName = "qvddf.add";
inline constexpr const char* recordLockFileName = "qvlocks.lok";
// How every session sets up the database file: WAL lets readers at other
// workstations go on while one writes; a 64 MB page cache keeps a large save
// (or an import of a whole ledger) from spilling half-written pages.
inline constexpr const char* sqliteSessionSettings =
    "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA cache_size=-65536; "
    "PRAGMA temp_store=MEMORY";

}  // namespace vantrell::store
