#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>

#include "store/postgres/postgres_driver.hpp"

namespace vantrell::store {

// The practice's schema dumped by the server's own dump program in its custom
// format, without owners or grants (a restore may run under another login).
void dumpServerPractice(const ServerPractice& practice, const std::filesystem::path& file);

// Restores a dump made by dumpServerPractice as the practice's schema in one
// server transaction: the practice's schema is renamed aside, the dump's is
// made and checked against `expectedRows`, then the old one is dropped. A
// failure or a lost connection at any point rolls all of it back.
void restoreServerPractice(const ServerPractice& practice, const std::filesystem::path& dump,
                           const std::map<std::string, std::int64_t>& expectedRows,
                           const std::filesystem::path& work);

}  // namespace vantrell::store
