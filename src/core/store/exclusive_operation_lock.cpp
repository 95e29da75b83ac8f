#include "store/exclusive_operation_lock.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "common/file_modes.hpp"
#include "store/errors.hpp"
#include "store/sqlite/file_record_locks.hpp"
#include "store/sqlite/sqlite_driver.hpp"

namespace vantrell::store {
namespace {

// The lock is a record lock on a name no table has, so every session of the
// practice (embedded: the directory's record lock file; server: the
// practice's advisory key space) sees it.
constexpr const char* practiceLockTable = "_LpLock";
constexpr const char* wholePractice = "";

std::string firstLine(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

std::string directoryBusyMessage(const std::filesystem::path& directory) {
  const std::string line = firstLine(directory / ExclusiveOperationLock::messageFileName);
  return line.empty() ? std::string(ExclusiveOperationLock::defaultBusyMessage) : line;
}

// While any session holds the lock (shared or not), no exclusive holder lives:
// lock files still there were left by one that died.
void clearStaleFiles(const std::filesystem::path& directory) {
  std::error_code ignored;
  std::filesystem::remove(directory / ExclusiveOperationLock::messageFileName, ignored);
  std::filesystem::remove(directory / ExclusiveOperationLock::lockFileName, ignored);
}

// The text a refused caller shows. A holder whose name is a plain text (not a
// workstation's session) is an exclusive holder, and the text is its message.
std::string serverBusyMessage(const RecordInUseError& refused) {
  if (refused.owner() && !refused.owner()->isSession() && !refused.owner()->user.empty())
    return refused.owner()->user;
  return ExclusiveOperationLock::defaultBusyMessage;
}

class DirectoryLock final : public ExclusiveOperationLock {
 public:
  DirectoryLock(std::filesystem::path directory, std::unique_ptr<RecordLocks> locks,
                std::shared_ptr<RecordLock> lock, int descriptor)
      : directory_(std::move(directory)),
        locks_(std::move(locks)),
        lock_(std::move(lock)),
        descriptor_(descriptor) {}
  ~DirectoryLock() override {
    // The files go first, while the lock still keeps others from reading them.
    clearStaleFiles(directory_);
    if (descriptor_ >= 0) ::close(descriptor_);
    lock_.reset();
  }

 private:
  std::filesystem::path directory_;
  std::unique_ptr<RecordLocks> locks_;
  std::shared_ptr<RecordLock> lock_;
  int descriptor_;
};

std::unique_ptr<ExclusiveOperationLock> takeInDirectory(const std::filesystem::path& directory,
                                                        const std::string& message) {
  std::error_code error;
  if (!std::filesystem::is_directory(directory, error))
    throw ConnectionError(directory.string(), "the directory does not exist");
  if (::access(directory.c_str(), W_OK) != 0) throw RightsError(directory.string());
  auto locks = openFileRecordLocks(directory / recordLockFileName, "", LockOwner::named(message));
  std::shared_ptr<RecordLock> lock;
  try {
    lock = locks->lock(practiceLockTable, wholePractice, true);
  } catch (const RecordInUseError&) {
    throw RecordInUseError(LockOwner::named(directoryBusyMessage(directory)));
  }
  // The system's files: the lock file kept open for writing, and the message.
  const int descriptor = files::openCreating(directory / ExclusiveOperationLock::lockFileName,
                                             O_RDWR | O_CLOEXEC, files::sharedFileMode);
  if (descriptor < 0) throw RightsError(directory.string());
  files::replaceFileContents(directory / ExclusiveOperationLock::messageFileName, message + "\r\n",
                             files::sharedFileMode);
  return std::make_unique<DirectoryLock>(directory, std::move(locks), std::move(lock), descriptor);
}

std::optional<std::string> busyInDirectory(const std::filesystem::path& directory) {
  std::unique_ptr<RecordLocks> locks;
  try {
    locks = openFileRecordLocks(directory / recordLockFileName, "", LockOwner::thisProcess(""));
  } catch (const StoreError&) {
    // A directory this user may not write holds no lock of this user's, and
    // opening it is refused with its own message.
    return std::nullopt;
  }
  try {
    const auto hold = locks->lock(practiceLockTable, wholePractice, false);
    clearStaleFiles(directory);
    return std::nullopt;
  } catch (const RecordInUseError&) {
    return directoryBusyMessage(directory);
  }
}

// On the server the exclusive holder is a session of its own whose name is
// the message.
class ServerLock final : public ExclusiveOperationLock {
 public:
  ServerLock(std::unique_ptr<Connection> connection, std::shared_ptr<RecordLock> lock)
      : connection_(std::move(connection)), lock_(std::move(lock)) {}
  ~ServerLock() override { lock_.reset(); }

 private:
  std::unique_ptr<Connection> connection_;
  std::shared_ptr<RecordLock> lock_;
};

}  // namespace

std::unique_ptr<ExclusiveOperationLock> ExclusiveOperationLock::take(const DataLocation& location,
                                                                     const std::string& message) {
  if (location.engine == Engine::Embedded) return takeInDirectory(location.path, message);
  auto connection = Connection::open(location, {message, nullptr, false});
  // Others see the message, not a workstation, as the holder's name.
  connection->driver().locks().setOwner(LockOwner::named(message));
  try {
    auto lock = connection->driver().locks().lock(practiceLockTable, wholePractice, true);
    return std::make_unique<ServerLock>(std::move(connection), std::move(lock));
  } catch (const RecordInUseError& refused) {
    throw RecordInUseError(LockOwner::named(serverBusyMessage(refused)));
  }
}

std::optional<std::string> ExclusiveOperationLock::busyMessage(const DataLocation& location) {
  if (location.engine == Engine::Embedded) {
    std::error_code error;
    if (!std::filesystem::is_directory(location.path, error)) return std::nullopt;
    return busyInDirectory(location.path);
  }
  std::unique_ptr<Connection> connection;
  try {
    connection = Connection::open(location, {"", nullptr, false});
  } catch (const MissingPracticeError&) {
    return std::nullopt;
  }
  try {
    connection->driver().locks().lock(practiceLockTable, wholePractice, false);
    return std::nullopt;
  } catch (const RecordInUseError& busy) {
    return serverBusyMessage(busy);
  }
}

std::shared_ptr<RecordLock> ExclusiveOperationLock::holdShared(Connection& practice) {
  try {
    return practice.driver().locks().lock(practiceLockTable, wholePractice, false);
  } catch (const RecordInUseError& busy) {
    std::string message = serverBusyMessage(busy);
    const auto directory = std::filesystem::path(practice.location());
    std::error_code error;
    if (std::filesystem::is_directory(directory, error)) message = directoryBusyMessage(directory);
    throw RecordInUseError(LockOwner::named(message));
  }
}

}  // namespace vantrell::store
