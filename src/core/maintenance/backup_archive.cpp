#include "maintenance/backup_archive.hpp"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <signal.h>
#include <sodium.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "practice/options.hpp"
#include "store/engine_maintenance.hpp"

namespace vantrell::maintenance {
namespace {

constexpr const char* manifestName = "manifest.json";
constexpr const char* manifestSumName = "manifest.sha256";
constexpr std::size_t blockSize = 1 << 20;

struct FreeArchive {
  void operator()(archive* handle) const {
    if (handle != nullptr) archive_free(handle);
  }
};
using Archive = std::unique_ptr<archive, FreeArchive>;

std::string hex(const unsigned char* bytes, std::size_t size) {
  std::string text;
  for (std::size_t i = 0; i < size; ++i) text += fmt::format("{:02x}", bytes[i]);
  return text;
}

class Sha256 {
 public:
  Sha256() { crypto_hash_sha256_init(&state_); }
  void add(const void* data, std::size_t size) {
    crypto_hash_sha256_update(&state_, static_cast<const unsigned char*>(data), size);
  }
  std::string finish() {
    unsigned char digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256_final(&state_, digest);
    return hex(digest, sizeof digest);
  }

 private:
  crypto_hash_sha256_state state_{};
};

std::string sha256Of(const std::string& text) {
  Sha256 sum;
  sum.add(text.data(), text.size());
  return sum.finish();
}

std::string sha256OfFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<char> block(blockSize);
  Sha256 sum;
  while (in) {
    in.read(block.data(), static_cast<std::streamsize>(block.size()));
    sum.add(block.data(), static_cast<std::size_t>(in.gcount()));
  }
  return sum.finish();
}

std::string engineWord(store::Engine engine) {
  return engine == store::Engine::Embedded ? "embedded" : "server";
}

std::string toJson(const BackupManifest& manifest) {
  nlohmann::ordered_json json = {{"practice name", manifest.practiceName},
                                 {"practice path", manifest.practicePath},
                                 {"engine", engineWord(manifest.engine)},
                                 {"data version", manifest.dataVersion},
                                 {"program version", manifest.programVersion},
                                 {"date", manifest.date},
                                 {"rows", manifest.rows},
                                 {"files", manifest.files}};
  return json.dump(2) + "\n";
}

BackupManifest fromJson(const std::string& text) {
  const auto json = nlohmann::json::parse(text);
  BackupManifest manifest;
  manifest.practiceName = json.at("practice name").get<std::string>();
  manifest.practicePath = json.at("practice path").get<std::string>();
  manifest.engine = json.at("engine").get<std::string>() == "server" ? store::Engine::Server
                                                                     : store::Engine::Embedded;
  manifest.dataVersion = json.at("data version").get<std::int64_t>();
  manifest.programVersion = json.at("program version").get<std::string>();
  manifest.date = json.at("date").get<std::string>();
  manifest.rows = json.at("rows").get<std::map<std::string, std::int64_t>>();
  manifest.files = json.at("files").get<std::map<std::string, std::string>>();
  return manifest;
}

std::string damaged(const std::filesystem::path& archive) {
  return "The backup " + archive.string() + " is damaged and cannot be restored.";
}

// A folder for the run's scratch files, gone again when the run ends however
// it ends short of a kill; one left by a killed run is cleared by the next.
class WorkFolder {
 public:
  WorkFolder(const std::filesystem::path& parent, const std::string& prefix) {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(parent, ignored)) {
      const auto name = entry.path().filename().string();
      if (name.rfind(prefix, 0) != 0) continue;
      const int owner = std::atoi(name.c_str() + prefix.size());
      if (owner > 0 && ::kill(owner, 0) != 0 && errno == ESRCH)
        std::filesystem::remove_all(entry.path(), ignored);
    }
    path_ = parent / (prefix + std::to_string(::getpid()));
    std::filesystem::remove_all(path_, ignored);
    std::error_code error;
    std::filesystem::create_directory(path_, error);
    if (error) throw std::system_error(error, path_.string());
    // It holds patient data: this person's only.
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, error);
  }
  ~WorkFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  WorkFolder(const WorkFolder&) = delete;
  WorkFolder& operator=(const WorkFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

std::string safeName(const std::string& name) {
  std::string safe;
  for (const char c : name)
    safe += std::isalnum(static_cast<unsigned char>(c)) || c == '-' ? c : '_';
  return safe.empty() ? "practice" : safe;
}

std::string practiceKey(const store::DataLocation& practice) {
  std::string path = practice.path;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  const auto slash = path.find_last_of('/');
  return safeName(slash == std::string::npos ? path : path.substr(slash + 1));
}

// The manifest's description of the practice, read from its data.
void describePractice(store::Connection& data, BackupManifest& manifest) {
  manifest.rows = store::rowCounts(data);
  if (data.tableExists("QVOPT")) {
    const auto version = data.executeSql("SELECT \"Data Version Number\" FROM QVOPT");
    if (!version.rows.empty() && !version.rows[0].empty()) {
      const auto& value = version.rows[0][0];
      if (const auto* number = std::get_if<std::int64_t>(&value)) manifest.dataVersion = *number;
      if (const auto* real = std::get_if<double>(&value))
        manifest.dataVersion = static_cast<std::int64_t>(*real);
    }
  }
  if (data.tableExists("QVPRA")) {
    const auto name = data.executeSql("SELECT \"Practice Name\" FROM QVPRA");
    if (!name.rows.empty() && !name.rows[0].empty())
      if (const auto* text = std::get_if<std::string>(&name.rows[0][0]); text && !text->empty())
        manifest.practiceName = *text;
  }
}

// Turns the archive library's failure into the person's words.
[[noreturn]] void failWriting(archive* handle, const std::filesystem::path& folder) {
  if (archive_errno(handle) == ENOSPC)
    throw BackupError("There is not enough room in " + folder.string() + " for the backup.");
  const char* why = archive_error_string(handle);
  throw BackupError("The backup could not be written to " + folder.string() + ": " +
                    (why != nullptr ? why : "unknown error"));
}

void addText(archive* handle, const std::string& name, const std::string& text,
             const std::filesystem::path& folder) {
  archive_entry* entry = archive_entry_new();
  archive_entry_set_pathname(entry, name.c_str());
  archive_entry_set_size(entry, static_cast<la_int64_t>(text.size()));
  archive_entry_set_filetype(entry, AE_IFREG);
  archive_entry_set_perm(entry, 0600);
  const int header = archive_write_header(handle, entry);
  archive_entry_free(entry);
  if (header != ARCHIVE_OK) failWriting(handle, folder);
  if (archive_write_data(handle, text.data(), text.size()) != static_cast<la_ssize_t>(text.size()))
    failWriting(handle, folder);
}

// Moves the finished archive to `target`, or to `target` with "_2", "_3", ...
// before the extension when that name is taken: two practices of one name, or
// two backups within a second, never replace each other's backup.
std::filesystem::path placeArchive(const std::filesystem::path& partial,
                                   const std::filesystem::path& target) {
  const std::string name = target.filename().string();
  const std::string stem = name.substr(0, name.size() - std::strlen(backupFileExtension));
  for (int copy = 1;; ++copy) {
    const auto candidate =
        copy == 1
            ? target
            : target.parent_path() / (stem + "_" + std::to_string(copy) + backupFileExtension);
    // A hard link is made only where no file of that name is: nothing is replaced.
    if (::link(partial.c_str(), candidate.c_str()) == 0) {
      std::filesystem::remove(partial);
      return candidate;
    }
    if (errno == EEXIST) continue;
    // A folder whose file system has no hard links: the name is checked, then taken.
    std::error_code ignored;
    if (std::filesystem::exists(candidate, ignored)) continue;
    std::filesystem::rename(partial, candidate);
    return candidate;
  }
}

}  // namespace

std::filesystem::path backUpPractice(const store::DataLocation& practice,
                                     const std::filesystem::path& folder, const ui::Clock& clock,
                                     ui::Progress& progress, const ArchiveOpener& openArchive) {
  std::error_code error;
  if (!std::filesystem::is_directory(folder, error))
    throw BackupError("The backup folder " + folder.string() + " does not exist.");
  const DateTime now = clock.now();
  BackupManifest manifest;
  manifest.practicePath = practice.path;
  manifest.practiceName = practiceKey(practice);
  manifest.engine = practice.engine;
  manifest.programVersion = VANTRELL_PROGRAM_VERSION;
  manifest.date = now.toIso();
  std::string stamp = now.toIso();
  std::replace(stamp.begin(), stamp.end(), ' ', '_');
  stamp.erase(std::remove(stamp.begin(), stamp.end(), ':'), stamp.end());
  const auto target = folder / (practiceKey(practice) + "_" + stamp + backupFileExtension);

  progress.begin("Backing up " + practice.path, 100);
  std::filesystem::path data;
  std::filesystem::path placed;
  try {
    WorkFolder work(folder, ".vantrell-backup-");
    // Written in the work folder and renamed when complete: a backup killed
    // part way leaves no half archive among the backups.
    const auto partial = work.path() / (target.filename().string() + ".partial");
    try {
      data = store::copyPracticeData(practice, work.path(),
                                     [&](std::int64_t done, std::int64_t total) {
                                       return progress.advance(total > 0 ? done * 50 / total : 0);
                                     });
    } catch (const store::CopyAborted&) {
      throw;
    } catch (const store::StoreError& failure) {
      if (std::filesystem::space(folder, error).available < (1 << 20))
        throw BackupError("There is not enough room in " + folder.string() + " for the backup.");
      throw BackupError(std::string("The practice could not be copied: ") + failure.what());
    }
    {
      // The copy describes itself; on the server the practice is held still
      // by the exclusive-operation lock while it is dumped and counted.
      const bool embedded = practice.engine == store::Engine::Embedded;
      auto described = store::Connection::open(
          embedded ? store::DataLocation{store::Engine::Embedded, work.path().string()} : practice,
          {"Backup", nullptr, false});
      describePractice(*described, manifest);
    }
    if (practice.engine == store::Engine::Embedded) {
      // Only the database file travels; the lock file opened to count it stays.
      for (const auto& entry : std::filesystem::directory_iterator(work.path()))
        if (entry.path() != data) std::filesystem::remove(entry.path());
    }
    manifest.files[data.filename().string()] = sha256OfFile(data);
    const std::string manifestText = toJson(manifest);

    Archive writer(archive_write_new());
    archive_write_add_filter_zstd(writer.get());
    archive_write_set_format_pax_restricted(writer.get());
    // Patient data: the backup is the person's own, whatever the umask.
    const int descriptor =
        openArchive ? openArchive(partial)
                    : ::open(partial.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (descriptor < 0) {
      if (errno == ENOSPC)
        throw BackupError("There is not enough room in " + folder.string() + " for the backup.");
      throw BackupError("The backup could not be written to " + folder.string() + ": " +
                        std::strerror(errno));
    }
    struct CloseDescriptor {
      int descriptor;
      ~CloseDescriptor() { ::close(descriptor); }
    } closeDescriptor{descriptor};
    if (archive_write_open_fd(writer.get(), descriptor) != ARCHIVE_OK)
      failWriting(writer.get(), folder);
    addText(writer.get(), manifestName, manifestText, folder);
    addText(writer.get(), manifestSumName, sha256Of(manifestText) + "\n", folder);
    const auto size = std::filesystem::file_size(data);
    archive_entry* entry = archive_entry_new();
    archive_entry_set_pathname(entry, data.filename().c_str());
    archive_entry_set_size(entry, static_cast<la_int64_t>(size));
    archive_entry_set_filetype(entry, AE_IFREG);
    archive_entry_set_perm(entry, 0600);
    const int header = archive_write_header(writer.get(), entry);
    archive_entry_free(entry);
    if (header != ARCHIVE_OK) failWriting(writer.get(), folder);
    std::ifstream in(data, std::ios::binary);
    std::vector<char> block(blockSize);
    std::uintmax_t written = 0;
    while (in) {
      in.read(block.data(), static_cast<std::streamsize>(block.size()));
      const auto count = static_cast<std::size_t>(in.gcount());
      if (count == 0) break;
      if (archive_write_data(writer.get(), block.data(), count) != static_cast<la_ssize_t>(count))
        failWriting(writer.get(), folder);
      written += count;
      if (!progress.advance(50 + static_cast<std::int64_t>(size > 0 ? written * 50 / size : 50)))
        throw store::CopyAborted();
    }
    if (archive_write_close(writer.get()) != ARCHIVE_OK) failWriting(writer.get(), folder);
    placed = placeArchive(partial, target);
  } catch (...) {
    progress.end();
    throw;
  }
  progress.end();
  return placed;
}

BackupManifest readManifest(const std::filesystem::path& archiveFile) {
  Archive reader(archive_read_new());
  archive_read_support_filter_all(reader.get());
  archive_read_support_format_tar(reader.get());
  if (archive_read_open_filename(reader.get(), archiveFile.c_str(), blockSize) != ARCHIVE_OK)
    throw BackupError(damaged(archiveFile));
  std::string texts[2];
  for (auto& text : texts) {
    archive_entry* entry = nullptr;
    if (archive_read_next_header(reader.get(), &entry) != ARCHIVE_OK)
      throw BackupError(damaged(archiveFile));
    const std::string name = archive_entry_pathname(entry);
    if (name != (&text == &texts[0] ? manifestName : manifestSumName))
      throw BackupError(damaged(archiveFile));
    std::vector<char> block(64 * 1024);
    la_ssize_t got = 0;
    while ((got = archive_read_data(reader.get(), block.data(), block.size())) > 0)
      text.append(block.data(), static_cast<std::size_t>(got));
    if (got < 0) throw BackupError(damaged(archiveFile));
  }
  if (sha256Of(texts[0]) + "\n" != texts[1]) throw BackupError(damaged(archiveFile));
  try {
    return fromJson(texts[0]);
  } catch (const nlohmann::json::exception&) {
    throw BackupError(damaged(archiveFile));
  }
}

BackupManifest restorePractice(const store::DataLocation& practice,
                               const std::filesystem::path& archiveFile, ui::Progress& progress) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(archiveFile, error))
    throw BackupError("The backup " + archiveFile.string() + " does not exist.");
  const auto manifest = readManifest(archiveFile);
  if (manifest.engine != practice.engine)
    throw BackupError(
        "The backup " + archiveFile.string() + " is of a practice " +
        (manifest.engine == store::Engine::Server ? "on the database server" : "kept in a folder") +
        " and cannot be restored into this one.");
  if (manifest.dataVersion > practice::currentDataVersion)
    throw BackupError(fmt::format(
        "The backup {} holds data version {}, newer than this program's {}; it cannot be "
        "restored here.",
        archiveFile.string(), manifest.dataVersion, practice::currentDataVersion));

  const auto size = std::max<std::uintmax_t>(std::filesystem::file_size(archiveFile), 1);
  progress.begin("Restoring " + practice.path, 100);
  struct EndProgress {
    ui::Progress& progress;
    ~EndProgress() { progress.end(); }
  } endProgress{progress};
  const bool embedded = practice.engine == store::Engine::Embedded;
  WorkFolder work(
      embedded ? std::filesystem::path(practice.path) : std::filesystem::temp_directory_path(),
      embedded ? ".vantrell-restore-" : "vantrell-restore-");

  Archive reader(archive_read_new());
  archive_read_support_filter_all(reader.get());
  archive_read_support_format_tar(reader.get());
  if (archive_read_open_filename(reader.get(), archiveFile.c_str(), blockSize) != ARCHIVE_OK)
    throw BackupError(damaged(archiveFile));
  std::map<std::string, std::string> found;
  archive_entry* entry = nullptr;
  int next = ARCHIVE_OK;
  while ((next = archive_read_next_header(reader.get(), &entry)) == ARCHIVE_OK) {
    const std::string name = archive_entry_pathname(entry);
    std::vector<char> block(blockSize);
    la_ssize_t got = 0;
    if (name == manifestName || name == manifestSumName) {
      while ((got = archive_read_data(reader.get(), block.data(), block.size())) > 0) {
      }
      if (got < 0) throw BackupError(damaged(archiveFile));
      continue;
    }
    if (!manifest.files.contains(name) || name.find('/') != std::string::npos)
      throw BackupError(damaged(archiveFile));
    std::ofstream out(work.path() / name, std::ios::binary | std::ios::trunc);
    Sha256 sum;
    while ((got = archive_read_data(reader.get(), block.data(), block.size())) > 0) {
      sum.add(block.data(), static_cast<std::size_t>(got));
      out.write(block.data(), got);
      if (!out) {
        if (std::filesystem::space(work.path(), error).available < blockSize)
          throw BackupError("There is not enough room in " + work.path().parent_path().string() +
                            " to restore the backup.");
        throw BackupError("The backup could not be unpacked in " + work.path().string() + ".");
      }
      const auto read = static_cast<std::uintmax_t>(archive_filter_bytes(reader.get(), -1));
      if (!progress.advance(
              static_cast<std::int64_t>(std::min<std::uintmax_t>(read * 80 / size, 80))))
        throw store::CopyAborted();
    }
    if (got < 0) throw BackupError(damaged(archiveFile));
    out.close();
    found[name] = sum.finish();
  }
  if (next != ARCHIVE_EOF || found != manifest.files) throw BackupError(damaged(archiveFile));
  reader.reset();
  if (!progress.advance(80)) throw store::CopyAborted();
  const auto data = work.path() / store::practiceDataFileName(practice.engine);
  if (!found.contains(data.filename().string())) throw BackupError(damaged(archiveFile));
  try {
    store::replacePracticeData(practice, data, manifest.rows, work.path());
  } catch (const store::StoreError& failure) {
    throw BackupError("The backup " + archiveFile.string() +
                      " was not restored: " + failure.what() + " The practice is as it was.");
  }
  progress.advance(100);
  return manifest;
}

std::vector<ListedBackup> listBackups(const std::filesystem::path& folder) {
  std::error_code error;
  if (!std::filesystem::is_directory(folder, error))
    throw BackupError("The backup folder " + folder.string() + " does not exist.");
  std::vector<ListedBackup> backups;
  const std::string extension = backupFileExtension;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    const auto name = entry.path().filename().string();
    if (name.size() <= extension.size() ||
        name.compare(name.size() - extension.size(), extension.size(), extension) != 0)
      continue;
    ListedBackup listed{entry.path(), std::nullopt, ""};
    try {
      listed.manifest = readManifest(entry.path());
    } catch (const BackupError& problem) {
      listed.problem = problem.what();
    }
    backups.push_back(std::move(listed));
  }
  std::sort(backups.begin(), backups.end(),
            [](const auto& left, const auto& right) { return left.file > right.file; });
  return backups;
}

}  // namespace vantrell::maintenance

namespace vantrell::maintenance {

std::vector<ListedBackup> listBackupsOf(const std::filesystem::path& folder,
                                        const store::DataLocation& practice) {
  const auto trimmed = [](std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
  };
  const std::string path = trimmed(practice.path);
  const std::string prefix = practiceKey(practice) + "_";
  auto backups = listBackups(folder);
  std::erase_if(backups, [&](const ListedBackup& backup) {
    if (backup.manifest)
      return backup.manifest->engine != practice.engine ||
             trimmed(backup.manifest->practicePath) != path;
    return backup.file.filename().string().rfind(prefix, 0) != 0;
  });
  return backups;
}

}  // namespace vantrell::maintenance
