#pragma once

#include <filesystem>

#include "store/engine_maintenance.hpp"

namespace vantrell::store {

// Copies one database file into another with the engine's online backup, a
// batch of pages at a time. The target is written in one transaction of its
// own when `inOneStep` (replacing a live practice: all or nothing), else in
// batches so that progress can be shown and Abort heard. Waits up to
// `busyWaitMilliseconds` for a writer of either file.
void copySqliteFile(const std::filesystem::path& from, const std::filesystem::path& to,
                    bool inOneStep, const CopyProgress& progress, int busyWaitMilliseconds);

// The engine's integrity check of one database file; empty when sound.
std::vector<std::string> sqliteIntegrityProblems(Driver& driver);

}  // namespace vantrell::store
