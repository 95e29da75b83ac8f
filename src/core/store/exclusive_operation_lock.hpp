#pragma once

#include <memory>
#include <optional>
#include <string>

#include "store/connection.hpp"

namespace vantrell::store {

// The exclusive-operation lock of a practice: a process that must have the
// practice to itself (data conversion, maintenance) holds it with a message
// line for everyone else. A holder that dies leaves nothing behind that keeps
// the practice shut: in a directory the lock file's kernel lock dies with the
// process and the stale files are cleared at the next check; on the server the
// lock is a session lock that ends with the session.
class ExclusiveOperationLock {
 public:
  virtual ~ExclusiveOperationLock() = default;

  // Takes the lock with the message others will see. Throws RecordInUseError
  // (its owner is the holder's message) when another process holds it.
  static std::unique_ptr<ExclusiveOperationLock> take(const DataLocation& location, const std::string& message);

  // The check before a practice opens: no value when the practice is free
  // (stale lock files are removed silently), else the message to show.
  static std::optional<std::string> busyMessage(const DataLocation& location);

  static constexpr const char* lockFileName = "_LpLock.lok";
  static constexpr const char* messageFileName = "_LpLockM.lok";
  static constexpr const char* defaultBusyMessage = "Data set is in use.";
};

}  // namespace vantrell::store
