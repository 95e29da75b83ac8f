#include "store/sqlite/file_record_locks.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "common/file_modes.hpp"
#include "store/errors.hpp"

namespace vantrell::store {
namespace {

// Each lock number owns one byte far beyond the end of the file: (table << 31)
// + record, so no two lock numbers share a byte. Locks past the end of a file
// take no space. The holder's name goes into a small slot near the start of
// the file; slots are shared by hash, so in a rare collision the message may
// name the wrong person, never the wrong lock.
constexpr off_t lockRegionStart = off_t{1} << 32;
constexpr off_t ownerSlots = off_t{1} << 16;
constexpr off_t ownerSlotSize = 128;

off_t lockByte(LockKey key) {
  return lockRegionStart + (static_cast<off_t>(key.table) << 31) + static_cast<off_t>(key.record);
}

off_t ownerSlot(LockKey key) {
  const auto mixed =
      static_cast<std::uint64_t>(key.table) * 2654435761u + static_cast<std::uint64_t>(key.record);
  return static_cast<off_t>(mixed % static_cast<std::uint64_t>(ownerSlots)) * ownerSlotSize;
}

class FileRecordLocks;

class FileLock final : public RecordLock {
 public:
  FileLock(std::weak_ptr<FileRecordLocks> owner, LockKey key)
      : owner_(std::move(owner)), key_(key) {}
  ~FileLock() override;

 private:
  std::weak_ptr<FileRecordLocks> owner_;
  LockKey key_;
};

class FileRecordLocks final : public std::enable_shared_from_this<FileRecordLocks> {
 public:
  FileRecordLocks(const std::filesystem::path& file, std::string scope, LockOwner owner)
      : scope_(std::move(scope)), owner_(std::move(owner)) {
    descriptor_ = files::openCreating(file, O_RDWR | O_CLOEXEC, files::sharedFileMode);
    if (descriptor_ < 0)
      throw StoreError("Cannot open the record lock file " + file.string() + ": " +
                       std::strerror(errno));
  }
  // Closing the descriptor lets every lock of the session go at once, as the
  // server does when a session ends.
  ~FileRecordLocks() {
    if (descriptor_ >= 0) ::close(descriptor_);
  }

  std::shared_ptr<RecordLock> lock(std::string_view table, std::string_view key, bool exclusive) {
    const LockKey lockKey = lockKeyFor(scope_, table, key);
    if (!held_.canTake(lockKey, exclusive)) throw RecordInUseError(owner_);
    if (held_.isFirst(lockKey)) {
      if (!setLock(lockByte(lockKey), exclusive ? F_WRLCK : F_RDLCK))
        throw RecordInUseError(readOwner(lockKey));
      if (exclusive) writeOwner(lockKey);
    }
    held_.add(lockKey, exclusive);
    return std::make_shared<FileLock>(weak_from_this(), lockKey);
  }

  void release(LockKey key) {
    if (held_.remove(key)) setLock(lockByte(key), F_UNLCK);
  }

  void setOwner(LockOwner owner) { owner_ = std::move(owner); }
  const LockOwner& owner() const { return owner_; }

 private:
  bool setLock(off_t byte, short type) {
    struct flock request {};
    request.l_type = type;
    request.l_whence = SEEK_SET;
    request.l_start = byte;
    request.l_len = 1;
    request.l_pid = 0;  // required for open file description locks
    if (::fcntl(descriptor_, F_OFD_SETLK, &request) == 0) return true;
    if (errno == EAGAIN || errno == EACCES) return false;
    throw StoreError(std::string("Record lock failed: ") + std::strerror(errno));
  }

  void writeOwner(LockKey key) {
    std::array<char, ownerSlotSize> buffer{};
    const std::string encoded = owner_.encoded();
    std::memcpy(buffer.data(), encoded.data(),
                std::min(encoded.size(), static_cast<std::size_t>(ownerSlotSize - 1)));
    // The owner's name is a courtesy for the message; a failed write only makes
    // the message less specific.
    [[maybe_unused]] const auto written =
        ::pwrite(descriptor_, buffer.data(), buffer.size(), ownerSlot(key));
  }

  std::optional<LockOwner> readOwner(LockKey key) const {
    std::array<char, ownerSlotSize> buffer{};
    const auto count = ::pread(descriptor_, buffer.data(), buffer.size(), ownerSlot(key));
    if (count <= 0 || buffer[0] == '\0') return std::nullopt;
    return LockOwner::decode(
        std::string_view(buffer.data(), strnlen(buffer.data(), buffer.size())));
  }

  int descriptor_ = -1;
  std::string scope_;
  LockOwner owner_;
  HeldLocks held_;
};

FileLock::~FileLock() {
  if (auto owner = owner_.lock()) owner->release(key_);
}

class SessionFileLocks final : public RecordLocks {
 public:
  explicit SessionFileLocks(std::shared_ptr<FileRecordLocks> inner) : inner_(std::move(inner)) {}
  std::shared_ptr<RecordLock> lock(std::string_view table, std::string_view key,
                                   bool exclusive) override {
    return inner_->lock(table, key, exclusive);
  }
  void setOwner(LockOwner owner) override { inner_->setOwner(std::move(owner)); }
  const LockOwner& owner() const override { return inner_->owner(); }

 private:
  std::shared_ptr<FileRecordLocks> inner_;
};

}  // namespace

std::unique_ptr<RecordLocks> openFileRecordLocks(const std::filesystem::path& lockFile,
                                                 std::string scope, LockOwner owner) {
  return std::make_unique<SessionFileLocks>(
      std::make_shared<FileRecordLocks>(lockFile, std::move(scope), std::move(owner)));
}

}  // namespace vantrell::store
