#include "store/record_locks.hpp"

#include <unistd.h>

#include <charconv>

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

const std::string& hostName() {
  static const std::string name = [] {
    char buffer[256] = {};
    if (::gethostname(buffer, sizeof buffer - 1) != 0) return std::string();
    std::string text(buffer);
    // The separator of the encoded form never appears inside a part.
    for (char& c : text) {
      if (c == ':') c = '-';
    }
    return text;
  }();
  return name;
}

}  // namespace

LockOwner LockOwner::thisProcess(std::string user) {
  return LockOwner{std::move(user), hostName(), static_cast<std::int64_t>(::getpid())};
}

LockOwner LockOwner::named(std::string text) {
  return LockOwner{std::move(text), "", 0};
}

bool LockOwner::isThisProcess() const {
  return isSession() && process == static_cast<std::int64_t>(::getpid()) &&
         workstation == hostName();
}

std::string LockOwner::display() const {
  if (!isSession() || workstation == hostName()) return user.empty() ? workstation : user;
  if (user.empty()) return workstation;
  return user + " at " + workstation;
}

std::string LockOwner::encoded() const {
  if (!isSession()) return user;
  return std::to_string(process) + ":" + workstation + ":" + user;
}

LockOwner LockOwner::decode(std::string_view text) {
  const auto first = text.find(':');
  const auto second = first == std::string_view::npos ? first : text.find(':', first + 1);
  std::int64_t process = 0;
  if (second != std::string_view::npos && first > 0) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + first, process);
    if (error == std::errc{} && end == text.data() + first && process > 0)
      return LockOwner{std::string(text.substr(second + 1)),
                       std::string(text.substr(first + 1, second - first - 1)), process};
  }
  return named(std::string(text));
}

LockKey lockKeyFor(std::string_view scope, std::string_view table, std::string_view key) {
  const std::uint32_t tableHash = hash(table, hash(scope));
  // Record number 0 is the whole table (an empty key); a record never gets it.
  std::uint32_t record = key.empty() ? 0u : (hash(key, tableHash) & 0x7fffffffu);
  if (!key.empty() && record == 0) record = 1;
  return LockKey{static_cast<std::int32_t>(tableHash & 0x7fffffffu),
                 static_cast<std::int32_t>(record)};
}

}  // namespace vantrell::store
