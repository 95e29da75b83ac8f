// vantrell-backup PRACTICE backup|restore|view [CS] [--folder DIR] [--file FILE]:
// the backup program the main program starts with the practice freed (it
// holds the practice's exclusive-operation lock meanwhile). The backup folder
// is the one the person chose last (remembered in the settings) unless
// --folder names another; a restore takes the backup handed over in the
// settings or named by --file, else the newest backup of the practice there.

#include <cstdlib>
#include <iostream>
#include <optional>

#include "console_progress.hpp"
#include "maintenance/backup_archive.hpp"
#include "maintenance/practice_maintenance.hpp"
#include "store/engine_maintenance.hpp"
#include "store/errors.hpp"
#include "ui/clock.hpp"
#include "ui/settings.hpp"

namespace {

using namespace vantrell;

int usage() {
  std::cerr << "Usage: vantrell-backup PRACTICE backup|restore|view [CS] [--folder DIR] "
               "[--file FILE]\n";
  return 2;
}

std::filesystem::path defaultFolder() {
  const char* data = std::getenv("XDG_DATA_HOME");
  const char* home = std::getenv("HOME");
  std::filesystem::path base =
      data != nullptr && *data != '\0'
          ? std::filesystem::path(data)
          : std::filesystem::path(home != nullptr ? home : ".") / ".local" / "share";
  const auto folder = base / "vantrell" / "Backups";
  std::error_code ignored;
  std::filesystem::create_directories(folder, ignored);
  std::filesystem::permissions(folder, std::filesystem::perms::owner_all, ignored);
  return folder;
}

void printManifest(const maintenance::BackupManifest& manifest) {
  std::cout << "  Practice:        " << manifest.practiceName << " (" << manifest.practicePath
            << ")\n  Made:            " << manifest.date << " by program version "
            << manifest.programVersion << ", data version " << manifest.dataVersion << '\n';
  std::int64_t rows = 0;
  for (const auto& [table, count] : manifest.rows) rows += count;
  std::cout << "  Tables:          " << manifest.rows.size() << " with " << rows << " rows\n";
  for (const auto& [file, sum] : manifest.files)
    std::cout << "  File:            " << file << " SHA-256 " << sum << '\n';
}

}  // namespace

int main(int argc, char** argv) {
  std::string practicePath, operation;
  std::optional<std::string> folderOption, fileOption;
  store::Engine engine = store::Engine::Embedded;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "CS" || argument == "--server") {
      engine = store::Engine::Server;
    } else if ((argument == "--folder" || argument == "--file") && i + 1 < argc) {
      (argument == "--folder" ? folderOption : fileOption) = argv[++i];
    } else if (!argument.empty() && argument[0] == '-') {
      return usage();
    } else if (practicePath.empty()) {
      practicePath = argument;
    } else if (operation.empty()) {
      operation = argument;
    } else {
      return usage();
    }
  }
  if (practicePath.empty() ||
      (operation != "backup" && operation != "restore" && operation != "view"))
    return usage();
  // View is given the practice followed by "\*.*", the backups of that place.
  for (const std::string pattern : {"\\*.*", "/*.*"})
    if (practicePath.size() > pattern.size() &&
        practicePath.compare(practicePath.size() - pattern.size(), pattern.size(), pattern) == 0)
      practicePath.erase(practicePath.size() - pattern.size());
  const store::DataLocation practice{engine, practicePath};

  ui::IniSettings settings(ui::IniSettings::defaultFile());
  std::filesystem::path folder;
  if (folderOption) {
    folder = *folderOption;
    settings.write(maintenance::backupSettingsKey, maintenance::backupFolderValue,
                   std::filesystem::absolute(folder).string());
  } else if (const auto remembered =
                 settings.read(maintenance::backupSettingsKey, maintenance::backupFolderValue)) {
    folder = *remembered;
  } else {
    folder = defaultFolder();
  }

  companions::ConsoleProgress progress;
  try {
    if (operation == "backup") {
      ui::SystemClock clock;
      const auto file = maintenance::backUpPractice(practice, folder, clock, progress);
      std::cout << "Backed up to " << file.string() << '\n';
      return 0;
    }
    if (operation == "view") {
      // The backups of this practice; the folder may hold other practices' too.
      const auto backups = maintenance::listBackupsOf(folder, practice);
      std::cout << backups.size() << " backup(s) of " << practicePath << " in " << folder.string()
                << '\n';
      for (const auto& backup : backups) {
        std::cout << backup.file.filename().string() << '\n';
        if (backup.manifest)
          printManifest(*backup.manifest);
        else
          std::cout << "  " << backup.problem << '\n';
      }
      return 0;
    }
    std::filesystem::path file;
    if (fileOption) {
      file = *fileOption;
    } else if (const auto handed =
                   settings.read(maintenance::backupSettingsKey, maintenance::restoreFileValue)) {
      file = *handed;
      settings.remove(maintenance::backupSettingsKey, maintenance::restoreFileValue);
    } else {
      for (const auto& backup : maintenance::listBackups(folder)) {
        if (backup.manifest && backup.manifest->practicePath == practicePath &&
            backup.manifest->engine == engine &&
            (file.empty() || backup.manifest->date > maintenance::readManifest(file).date))
          file = backup.file;
      }
      if (file.empty()) {
        std::cerr << "There is no backup of " << practicePath << " in " << folder.string() << ".\n";
        return 1;
      }
    }
    const auto manifest = maintenance::restorePractice(practice, file, progress);
    std::cout << "Restored " << file.string() << " (made " << manifest.date << ")\n";
    return 0;
  } catch (const store::CopyAborted& aborted) {
    std::cerr << aborted.what() << '\n';
    return 3;
  } catch (const maintenance::BackupError& refused) {
    std::cerr << refused.what() << '\n';
    return 1;
  } catch (const std::exception& error) {
    std::cerr << error.what() << '\n';
    return 1;
  }
}
