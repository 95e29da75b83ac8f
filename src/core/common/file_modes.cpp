#include "common/file_modes.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace vantrell::files {
namespace {

bool writeAll(int descriptor, const std::string& text) {
  std::size_t written = 0;
  while (written < text.size()) {
    const ssize_t step = ::write(descriptor, text.data() + written, text.size() - written);
    if (step < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    written += static_cast<std::size_t>(step);
  }
  return true;
}

bool writeAndClose(int descriptor, const std::string& text) {
  if (descriptor < 0) return false;
  const bool written = writeAll(descriptor, text);
  const int savedError = errno;
  const bool closed = ::close(descriptor) == 0;
  if (!written) errno = savedError;
  return written && closed;
}

}  // namespace

void createFolders(const std::filesystem::path& folder, mode_t mode, std::error_code& error) {
  error.clear();
  if (folder.empty() || std::filesystem::is_directory(folder, error)) return;
  error.clear();
  const auto parent = folder.parent_path();
  if (!parent.empty() && parent != folder) {
    createFolders(parent, mode, error);
    if (error) return;
  }
  if (::mkdir(folder.c_str(), mode) != 0) {
    // Made meanwhile by another process: theirs is as good as ours.
    if (errno == EEXIST && std::filesystem::is_directory(folder, error)) return;
    error = std::error_code(errno, std::generic_category());
    return;
  }
  struct stat made {};
  if (::stat(folder.c_str(), &made) != 0 ||
      ::chmod(folder.c_str(), mode | (made.st_mode & S_ISGID)) != 0)
    error = std::error_code(errno, std::generic_category());
}

int openCreating(const std::filesystem::path& file, int flags, mode_t mode) {
  for (;;) {
    const int existing = ::open(file.c_str(), flags);
    if (existing >= 0 || errno != ENOENT) return existing;
    const int created = ::open(file.c_str(), flags | O_CREAT | O_EXCL, mode);
    if (created < 0) {
      if (errno == EEXIST) continue;  // another process was quicker: open theirs
      return -1;
    }
    if (::fchmod(created, mode) != 0) {
      const int savedError = errno;
      ::close(created);
      errno = savedError;
      return -1;
    }
    return created;
  }
}

bool ensureFile(const std::filesystem::path& file, mode_t mode) {
  const int descriptor = openCreating(file, O_RDONLY | O_CLOEXEC, mode);
  if (descriptor < 0) return false;
  ::close(descriptor);
  return true;
}

bool appendToFile(const std::filesystem::path& file, const std::string& text, mode_t mode) {
  return writeAndClose(openCreating(file, O_WRONLY | O_APPEND | O_CLOEXEC, mode), text);
}

bool replaceFileContents(const std::filesystem::path& file, const std::string& text, mode_t mode) {
  return writeAndClose(openCreating(file, O_WRONLY | O_TRUNC | O_CLOEXEC, mode), text);
}

}  // namespace vantrell::files
