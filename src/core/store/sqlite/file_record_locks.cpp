#include "store/sqlite/file_record_locks.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "store/errors.hpp"

namespace vantrell::store {
namespace {

constexpr off_t lockSlots = off_t{1} << 22;
constexpr off_t ownerSlotSize = 64;
constexpr off_t ownerRegionStart = lockSlots;

class FileRecordLocks;

class FileLock final : public RecordLock {
 public:
  FileLock(FileRecordLocks& owner, LockKey key, off_t slot) : owner_(owner), key_(key), slot_(slot) {}
  ~FileLock() override;

 private:
  FileRecordLocks& owner_;
  LockKey key_;
  off_t slot_;
};

class FileRecordLocks final : public RecordLocks, public std::enable_shared_from_this<FileRecordLocks> {
 public:
  FileRecordLocks(const std::filesystem::path& file, std::string scope, std::string ownerName)
      : scope_(std::move(scope)), ownerName_(std::move(ownerName)) {
    descriptor_ = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (descriptor_ < 0)
      throw StoreError("Cannot open the record lock file " + file.string() + ": " +
                       std::strerror(errno));
  }
  ~FileRecordLocks() override {
    if (descriptor_ >= 0) ::close(descriptor_);
  }

  std::shared_ptr<RecordLock> lock(std::string_view table, std::string_view key,
                                   bool exclusive) override {
    const LockKey lockKey = lockKeyFor(scope_, table, key);
    const off_t slot = static_cast<off_t>(
        (static_cast<std::uint64_t>(lockKey.table) * 31u + static_cast<std::uint64_t>(lockKey.record)) %
        static_cast<std::uint64_t>(lockSlots));
    if (!held_.canTake(lockKey, exclusive)) throw RecordInUseError(ownerName_);
    if (held_.isFirst(lockKey)) {
      if (!setLock(slot, exclusive ? F_WRLCK : F_RDLCK)) throw RecordInUseError(readOwner(slot));
      if (exclusive) writeOwner(slot);
    }
    held_.add(lockKey, exclusive);
    return std::make_shared<FileLock>(*this, lockKey, slot);
  }

  void setOwnerName(std::string name) override { ownerName_ = std::move(name); }
  const std::string& ownerName() const override { return ownerName_; }

  void release(LockKey key, off_t slot) {
    if (held_.remove(key)) setLock(slot, F_UNLCK);
  }

 private:
  bool setLock(off_t slot, short type) {
    struct flock request {};
    request.l_type = type;
    request.l_whence = SEEK_SET;
    request.l_start = slot;
    request.l_len = 1;
    request.l_pid = 0;  // required for open file description locks
    if (::fcntl(descriptor_, F_OFD_SETLK, &request) == 0) return true;
    if (errno == EAGAIN || errno == EACCES) return false;
    throw StoreError(std::string("Record lock failed: ") + std::strerror(errno));
  }

  void writeOwner(off_t slot) {
    std::array<char, ownerSlotSize> buffer{};
    std::memcpy(buffer.data(), ownerName_.data(),
                std::min(ownerName_.size(), static_cast<std::size_t>(ownerSlotSize - 1)));
    // The owner's name is a courtesy for the message; a failed write only makes
    // the message less specific.
    [[maybe_unused]] const auto written =
        ::pwrite(descriptor_, buffer.data(), buffer.size(), ownerRegionStart + slot * ownerSlotSize);
  }

  std::optional<std::string> readOwner(off_t slot) const {
    std::array<char, ownerSlotSize> buffer{};
    const auto count =
        ::pread(descriptor_, buffer.data(), buffer.size(), ownerRegionStart + slot * ownerSlotSize);
    if (count <= 0 || buffer[0] == '\0') return std::nullopt;
    return std::string(buffer.data(), strnlen(buffer.data(), buffer.size()));
  }

  int descriptor_ = -1;
  std::string scope_;
  std::string ownerName_;
  HeldLocks held_;
};

FileLock::~FileLock() { owner_.release(key_, slot_); }

// Locks outlive neither their manager nor their session; the session keeps the
// manager alive until every lock is gone.
class SharedFileRecordLocks final : public RecordLocks {
 public:
  explicit SharedFileRecordLocks(std::shared_ptr<FileRecordLocks> inner) : inner_(std::move(inner)) {}
  std::shared_ptr<RecordLock> lock(std::string_view table, std::string_view key,
                                   bool exclusive) override {
    auto held = inner_->lock(table, key, exclusive);
    // Tie the manager's lifetime to the lock.
    struct Keeper final : RecordLock {
      std::shared_ptr<RecordLock> lock;
      std::shared_ptr<FileRecordLocks> manager;
      ~Keeper() override { lock.reset(); }
    };
    auto keeper = std::make_shared<Keeper>();
    keeper->lock = std::move(held);
    keeper->manager = inner_;
    return keeper;
  }
  void setOwnerName(std::string name) override { inner_->setOwnerName(std::move(name)); }
  const std::string& ownerName() const override { return inner_->ownerName(); }

 private:
  std::shared_ptr<FileRecordLocks> inner_;
};

}  // namespace

std::unique_ptr<RecordLocks> openFileRecordLocks(const std::filesystem::path& lockFile,
                                                 std::string scope, std::string ownerName) {
  return std::make_unique<SharedFileRecordLocks>(
      std::make_shared<FileRecordLocks>(lockFile, std::move(scope), std::move(ownerName)));
}

}  // namespace vantrell::store
