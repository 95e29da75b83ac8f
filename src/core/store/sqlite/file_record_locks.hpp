#pragma once

#include <filesystem>
#include <memory>

#include "store/record_locks.hpp"

namespace vantrell::store {

// Record locks for the embedded engine: an open-file-description lock on one
// byte per lock number in a lock file of the data directory. The kernel drops
// them when the holder's process ends, however it ends. The owner (user,
// workstation, process) is written into a slot of the same file after the
// byte is won, so a refused caller can read who holds it.
std::unique_ptr<RecordLocks> openFileRecordLocks(const std::filesystem::path& lockFile,
                                                 std::string scope, LockOwner owner);

}  // namespace vantrell::store
