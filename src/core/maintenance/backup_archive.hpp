#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
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
// `openArchive` opens the file the archive is written to (-1 and errno set
// when it cannot); by default a new file only this person may read.
using ArchiveOpener = std::function<int(const std::filesystem::path& file)>;
std::filesystem::path backUpPractice(const store::DataLocation& practice,
                                     const std::filesystem::path& folder, const ui::Clock& clock,
                                     ui::Progress& progress, const ArchiveOpener& openArchive = {});

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
// Only those of one practice: by their manifest, or by their name when the
// manifest cannot be read.
std::vector<ListedBackup> listBackupsOf(const std::filesystem::path& folder,
                                        const store::DataLocation& practice);

}  // namespace vantrell::maintenance
