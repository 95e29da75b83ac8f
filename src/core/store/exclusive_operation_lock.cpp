#include "store/exclusive_operation_lock.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "common/file_modes.hpp"
#include "store/errors.hpp"
#include "store/postgres/postgres_driver.hpp"

namespace vantrell::store {
namespace {

// The whole lock file, write-locked through its own open file description.
bool lockWholeFile(int descriptor) {
  struct flock request {};
  request.l_type = F_WRLCK;
  request.l_whence = SEEK_SET;
  request.l_start = 0;
  request.l_len = 0;
  request.l_pid = 0;
  if (::fcntl(descriptor, F_OFD_SETLK, &request) == 0) return true;
  if (errno == EAGAIN || errno == EACCES) return false;
  throw StoreError(std::string("Cannot lock the practice: ") + std::strerror(errno));
}

std::string firstLine(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

class DirectoryLock final : public ExclusiveOperationLock {
 public:
  DirectoryLock(std::filesystem::path directory, int descriptor)
      : directory_(std::move(directory)), descriptor_(descriptor) {}
  ~DirectoryLock() override {
    std::error_code ignored;
    std::filesystem::remove(directory_ / messageFileName, ignored);
    std::filesystem::remove(directory_ / lockFileName, ignored);
    ::close(descriptor_);
  }

 private:
  std::filesystem::path directory_;
  int descriptor_;
};

std::unique_ptr<ExclusiveOperationLock> takeInDirectory(const std::filesystem::path& directory,
                                                        const std::string& message) {
  const auto lockFile = directory / ExclusiveOperationLock::lockFileName;
  const int descriptor = files::openCreating(lockFile, O_RDWR | O_CLOEXEC, files::sharedFileMode);
  if (descriptor < 0) throw RightsError(directory.string());
  if (!lockWholeFile(descriptor)) {
    ::close(descriptor);
    const std::string line = firstLine(directory / ExclusiveOperationLock::messageFileName);
    throw RecordInUseError(line.empty() ? ExclusiveOperationLock::defaultBusyMessage : line);
  }
  files::replaceFileContents(directory / ExclusiveOperationLock::messageFileName, message + "\r\n",
                             files::sharedFileMode);
  return std::make_unique<DirectoryLock>(directory, descriptor);
}

std::optional<std::string> busyInDirectory(const std::filesystem::path& directory) {
  const auto lockFile = directory / ExclusiveOperationLock::lockFileName;
  std::error_code error;
  if (!std::filesystem::exists(lockFile, error)) return std::nullopt;
  const int descriptor = ::open(lockFile.c_str(), O_RDWR | O_CLOEXEC);
  if (descriptor < 0) {
    // Gone meanwhile: the holder finished.
    if (errno == ENOENT) return std::nullopt;
    throw RightsError(directory.string());
  }
  const bool free = lockWholeFile(descriptor);
  if (free) {
    // Left by a holder that died: clear it silently.
    std::filesystem::remove(directory / ExclusiveOperationLock::messageFileName, error);
    std::filesystem::remove(lockFile, error);
    ::close(descriptor);
    return std::nullopt;
  }
  ::close(descriptor);
  const std::string line = firstLine(directory / ExclusiveOperationLock::messageFileName);
  return line.empty() ? std::string(ExclusiveOperationLock::defaultBusyMessage) : line;
}

// On the server the lock is a session lock on the practice's whole-practice
// key, held by a session of its own; the holder's session carries the message
// as its name.
class ServerLock final : public ExclusiveOperationLock {
 public:
  ServerLock(std::unique_ptr<Connection> connection, std::shared_ptr<RecordLock> lock)
      : connection_(std::move(connection)), lock_(std::move(lock)) {}
  ~ServerLock() override { lock_.reset(); }

 private:
  std::unique_ptr<Connection> connection_;
  std::shared_ptr<RecordLock> lock_;
};

constexpr const char* practiceLockTable = "_LpLock";

}  // namespace

std::unique_ptr<ExclusiveOperationLock> ExclusiveOperationLock::take(const DataLocation& location,
                                                                     const std::string& message) {
  if (location.engine == Engine::Embedded) return takeInDirectory(location.path, message);
  auto connection = Connection::open(location, {message, nullptr, false});
  auto lock = connection->driver().locks().lock(practiceLockTable, "", true);
  return std::make_unique<ServerLock>(std::move(connection), std::move(lock));
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
    connection->driver().locks().lock(practiceLockTable, "", true);
    return std::nullopt;
  } catch (const RecordInUseError& busy) {
    if (busy.owner() && !busy.owner()->empty()) return *busy.owner();
    return std::string(defaultBusyMessage);
  }
}

}  // namespace vantrell::store
