#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "store/lock_owner.hpp"

namespace vantrell::store {

// A held record lock; destroying it lets the record go.
class RecordLock {
 public:
  virtual ~RecordLock() = default;
};

// Record locks of one session. Locks conflict between sessions, between
// processes and between two holders in one process; a process that dies leaves
// none behind. The owner answers "in use by" and tells this program's own
// holders from others.
class RecordLocks {
 public:
  virtual ~RecordLocks() = default;
  // Throws RecordInUseError (with the owner when known) if the record is held.
  // Shared holders exclude only an exclusive one (a table opened shared against
  // one opened exclusive).
  virtual std::shared_ptr<RecordLock> lock(std::string_view table, std::string_view key,
                                           bool exclusive = true) = 0;
  virtual void setOwner(LockOwner owner) = 0;
  virtual const LockOwner& owner() const = 0;
};

// Two 31-bit numbers naming a record lock: one for the table, one for the key.
struct LockKey {
  std::int32_t table = 0;
  std::int32_t record = 0;
  friend auto operator<=>(const LockKey&, const LockKey&) = default;
};
LockKey lockKeyFor(std::string_view scope, std::string_view table, std::string_view key);

// The locks this process holds through one session: a second holder in the same
// process is refused here, since engine locks may not see the difference.
class HeldLocks {
 public:
  bool canTake(LockKey key, bool exclusive) const {
    const auto found = held_.find(key);
    return found == held_.end() || (!exclusive && !found->second.exclusive);
  }
  // True when this is the first holder in the process (the engine lock must be taken).
  bool isFirst(LockKey key) const { return held_.count(key) == 0; }
  void add(LockKey key, bool exclusive) {
    auto& entry = held_[key];
    ++entry.count;
    entry.exclusive = exclusive;
  }
  // True when the last holder in the process let go (the engine lock must go).
  bool remove(LockKey key) {
    const auto found = held_.find(key);
    if (found == held_.end()) return false;
    if (--found->second.count > 0) return false;
    held_.erase(found);
    return true;
  }

 private:
  struct Entry {
    int count = 0;
    bool exclusive = false;
  };
  std::map<LockKey, Entry> held_;
};

}  // namespace vantrell::store
