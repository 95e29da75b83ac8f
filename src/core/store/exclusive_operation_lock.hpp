#pragma once

#include <memory>
#include <optional>
#include <string>

#include "store/connection.hpp"
#include "store/record_locks.hpp"

namespace vantrell::store {

// The exclusive-operation lock of a practice: a process that must have the
// practice to itself (data conversion, maintenance) holds it with a message
// line for everyone else. Every session that works on the practice holds the
// same lock shared, so normal opens never keep each other out, while an
// exclusive operation waits for the practice to be free and keeps everyone
// out until it ends. A holder that dies leaves nothing behind that keeps the
// practice shut: the locks are kernel locks on the directory's lock file (or
// session locks on the server) that end with the process, and the lock files a
// dead holder left are cleared at the next check.
class ExclusiveOperationLock {
 public:
  virtual ~ExclusiveOperationLock() = default;

  // Takes the lock with the message others will see. Throws RecordInUseError
  // whose owner is the text to show when another process holds it, exclusive
  // (its message) or shared ("Data set is in use.").
  static std::unique_ptr<ExclusiveOperationLock> take(const DataLocation& location,
                                                      const std::string& message);

  // The check before a practice opens, which takes the lock shared for a
  // moment only: no value when the practice is free (lock files left by a
  // holder that died are removed silently), else the message to show.
  static std::optional<std::string> busyMessage(const DataLocation& location);

  // Normal use of an open practice: the lock taken shared through the
  // practice's own session and kept as long as the returned hold lives.
  // Throws RecordInUseError whose owner is the busy message.
  static std::shared_ptr<RecordLock> holdShared(Connection& practice);

  static constexpr const char* lockFileName = "_LpLock.lok";
  static constexpr const char* messageFileName = "_LpLockM.lok";
  static constexpr const char* defaultBusyMessage = "Data set is in use.";
};

}  // namespace vantrell::store
