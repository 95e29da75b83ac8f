#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "store/connection.hpp"
#include "ui/clock.hpp"
#include "ui/progress.hpp"

namespace vantrell::maintenance {

// A backup is one zstd-compressed tar file: manifest.json, manifest.sha256
// (the manifest's own checksum) and the practice's data (the embedded
// database file, or the server's dump of the practice's schema).
struct BackupManifest {
  std::string practiceName;  // the practice information's name, else the folder's
  std::string practicePath;
  store::Engine engine = store::Engine::Embedded;
  std::int64_t dataVersion = 0;
  std::string programVersion;
  std::string date;                          // when it was made, yyyy-mm-dd hh:mm:ss
  std::map<std::string, std::int64_t> rows;  // per table
  std::map<std::string, std::string> files;  // SHA-256 in hex, per file of the archive
};

// A backup that cannot be made or restored; what() is the message for the person.
class BackupError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

inline constexpr const char* backupFileExtension = ".tar.zst";

// Backs up the practice into `folder` as "<practice>_<yyyy-mm-dd>_<hhmmss>.tar.zst"
// and returns the file. Nothing is left in the folder when it fails or is
// aborted. The practice must be free of other workstations (the caller holds
// its exclusive-operation lock).
std::filesystem::path backUpPractice(const store::DataLocation& practice,
                                     const std::filesystem::path& folder, const ui::Clock& clock,
                                     ui::Progress& progress);

// Replaces the practice's data with the backup's once the archive, its
// checksums, its data version and the restored copy have all been checked;
// any failure, an Abort or the end of this process before that leaves the
// practice as it was.
BackupManifest restorePractice(const store::DataLocation& practice,
                               const std::filesystem::path& archive, ui::Progress& progress);

// The manifest at the head of a backup; BackupError when it is not a backup or
// is damaged there.
BackupManifest readManifest(const std::filesystem::path& archive);

struct ListedBackup {
  std::filesystem::path file;
  std::optional<BackupManifest> manifest;
  std::string problem;  // why the manifest could not be read
};
// The backups in a folder, newest name first.
std::vector<ListedBackup> listBackups(const std::filesystem::path& folder);

}  // namespace vantrell::maintenance
