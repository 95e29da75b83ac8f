#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace vantrell::files {

// A practice folder and its files are shared by the practice's staff through
// the folder's group and by nobody else; a person's own settings are theirs.
// The modes are set exactly, whatever the umask of the process.
inline constexpr mode_t sharedFolderMode = 0770;
inline constexpr mode_t sharedFileMode = 0660;
inline constexpr mode_t privateFolderMode = 0700;
inline constexpr mode_t privateFileMode = 0600;

// Creates the missing folders of the path, each new one with the mode (a
// setgid bit it inherits from its parent is kept, so the staff's group passes
// down). Folders that exist are left as they are.
void createFolders(const std::filesystem::path& folder, mode_t mode, std::error_code& error);

// open(2) that gives a file it creates exactly the mode. flags must not hold
// O_CREAT or O_EXCL; a missing file is created. Returns the descriptor, or -1
// with errno set.
int openCreating(const std::filesystem::path& file, int flags, mode_t mode);

// Creates the file empty with the mode when it is missing; an existing file
// is left alone. False with errno set when it could not be created.
bool ensureFile(const std::filesystem::path& file, mode_t mode);

// Appends the text to the file, creating it with the mode when missing.
bool appendToFile(const std::filesystem::path& file, const std::string& text, mode_t mode);
// Replaces the file's contents with the text, creating it with the mode when missing.
bool replaceFileContents(const std::filesystem::path& file, const std::string& text, mode_t mode);

}  // namespace vantrell::files
