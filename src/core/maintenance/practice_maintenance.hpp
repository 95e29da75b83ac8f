#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "practice/practice_opening.hpp"

namespace vantrell::app {
class Application;
}

namespace vantrell::maintenance {

inline constexpr const char* fileMaintenanceProgram = "vantrell-maintain";
// Where the backup program keeps the person's choices: the backup folder, and
// the backup the restore command was given (taken once by the next restore).
inline constexpr const char* backupSettingsKey =
    "Software\\Vantrell\\Radavad Adedarirar 10\\Defaults\\Backup";
inline constexpr const char* backupFolderValue = "Folder";
inline constexpr const char* restoreFileValue = "Restore File";

// What the program is in the middle of when a maintenance command is chosen.
struct WorkInProgress {
  bool unsavedEntries = false;  // a transaction window has entries to save or apply
  bool windowsOpen = false;     // a window stayed open when all were asked to close
};

enum class Operation { BackUp, Restore, FileMaintenance };

// The command lines of the companion programs, exactly as the program runs
// them: a quoted program path, the quoted practice, then words. A practice on
// the server adds the "CS" switch at the end.
std::string backupCommandLine(const std::string& backupProgram,
                              const std::string& backupCommandLineOption,
                              const std::filesystem::path& programDirectory,
                              const store::DataLocation& practice, const std::string& word);
std::string backupCommandLine(const practice::Options& options,
                              const std::filesystem::path& programDirectory,
                              const store::DataLocation& practice, const std::string& word);
// Empty when no backup program is set (view backups is then not offered).
std::string viewBackupsCommandLine(const practice::Options& options,
                                   const std::filesystem::path& programDirectory,
                                   const store::DataLocation& practice);
std::string fileMaintenanceCommandLine(const std::filesystem::path& programDirectory,
                                       const store::DataLocation& practice,
                                       const std::string& userName);
// The words of a command line: blanks separate them, double quotes keep blanks
// inside one.
std::vector<std::string> splitCommandLine(const std::string& commandLine);

// Runs a command line and waits: our own programs (a quoted path) directly, so
// that no shell reads a practice's path; a program of the practice's own
// choosing as its command line says. -1 when it could not run.
int runCommandLine(practice::Surroundings& surroundings, const std::string& commandLine,
                   const std::vector<std::string>& extraArguments = {});
// The same while this process holds the practice's exclusive-operation lock;
// no value (and the message shown) when another workstation is in the practice.
// The caller has let go of the practice itself.
std::optional<int> runWithPracticeFreed(practice::Surroundings& surroundings,
                                        const store::DataLocation& practice,
                                        const std::string& commandLine,
                                        const std::vector<std::string>& extraArguments = {});

// Backing up, restoring, viewing backups and file maintenance of the open
// practice: the checks before each, freeing the practice for the companion
// program, running it, and opening the practice again afterwards.
class PracticeMaintenance {
 public:
  explicit PracticeMaintenance(app::Application& application);

  // True when the backup program ran and ended well (the backup reminder
  // stops asking then).
  bool backUp(const WorkInProgress& work, const std::vector<std::string>& extraArguments = {});
  // False when the practice did not open again; the program must then end.
  bool restore(const WorkInProgress& work, const std::vector<std::string>& extraArguments = {});
  void viewBackups(const std::vector<std::string>& extraArguments = {});
  bool fileMaintenance(const WorkInProgress& work,
                       const std::vector<std::string>& extraArguments = {});

  // The window side's part: closing every window when the checks come to it
  // (false when one stays open), and the person's choices once the checks
  // have passed (the folder, the backup to restore, what file maintenance is
  // to do), which may add arguments; false when the person cancelled.
  using Choices = std::function<bool(Operation, std::vector<std::string>& extraArguments)>;
  void setCloseWindows(std::function<bool()> closeWindows) {
    closeWindows_ = std::move(closeWindows);
  }
  void setChoices(Choices choices) { choices_ = std::move(choices); }

  // The outcome of the last companion program run, -1 when none ran.
  int lastExitCode() const { return lastExitCode_; }

  static constexpr const char* othersInPractice =
      "This option requires other users to exit the program";
  static constexpr const char* restoreWarning =
      "You are about to overwrite all the files in the practice\n"
      "that is currently open in QelVantrell!";
  static constexpr const char* lockMessage = "Maintenance in progress.  Cannot open data.";

 private:
  // The common preconditions in order; false (and the message shown) when one fails.
  bool mayRun(Operation operation, const WorkInProgress& work);
  // Frees the practice, takes it exclusively, runs the command line and opens
  // the practice again (as the same user when sameUser, else with a login);
  // false when it was not opened again.
  bool runFreed(const std::string& commandLine, const std::vector<std::string>& extraArguments,
                bool& ran, bool sameUser);

  app::Application& application_;
  std::function<bool()> closeWindows_;
  Choices choices_;
  int lastExitCode_ = -1;
};

}  // namespace vantrell::maintenance
