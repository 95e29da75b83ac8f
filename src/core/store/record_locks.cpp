#include "store/record_locks.hpp"

namespace vantrell::store {
namespace {

// FNV-1a: stable across runs and machines, which every workstation's lock
// numbers must be.
std::uint32_t hash(std::string_view text, std::uint32_t seed = 2166136261u) {
  std::uint32_t value = seed;
  for (const char character : text) {
    const auto c = static_cast<unsigned char>(character);
    value ^= (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c;
    value *= 16777619u;
  }
  return value;
}

}  // namespace

LockKey lockKeyFor(std::string_view scope, std::string_view table, std::string_view key) {
  const std::uint32_t tableHash = hash(table, hash(scope));
  // Record number 0 is the whole table (an empty key); a record never gets it.
  std::uint32_t record = key.empty() ? 0u : (hash(key, tableHash) & 0x7fffffffu);
  if (!key.empty() && record == 0) record = 1;
  return LockKey{static_cast<std::int32_t>(tableHash & 0x7fffffffu), static_cast<std::int32_t>(record)};
}

}  // namespace vantrell::store
