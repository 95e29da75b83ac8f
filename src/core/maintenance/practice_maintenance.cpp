#include "maintenance/practice_maintenance.hpp"

#include <unistd.h>

#include "app/application.hpp"
#include "security/permission_list.hpp"
#include "store/errors.hpp"
#include "store/exclusive_operation_lock.hpp"
#include "store/table.hpp"

namespace vantrell::maintenance {
namespace {

// "View Backup Disks" in the permission list.
constexpr int viewBackupsItem = 4;

// The tables whose exclusive opening shows that nobody else works in the practice.
constexpr const char* exclusiveTables[] = {"QVCAS", "QVTRN", "QVCLA", "QVPAT", "QVINS",
                                           "QVPHY", "QVRPH", "QVDIA", "QVPRO", "QVMUL"};

std::string quoted(const std::string& text) {
  return "\"" + text + "\"";
}

bool namesSuppliedProgram(const std::string& program) {
  return std::filesystem::path(program).filename() == practice::suppliedBackupProgram;
}

std::string serverSwitch(const store::DataLocation& practice) {
  return practice.engine == store::Engine::Server ? " CS" : "";
}

std::string suppliedProgramPath(const std::string& named,
                                const std::filesystem::path& programDirectory) {
  const std::filesystem::path program(named);
  return (program.is_absolute() ? program : programDirectory / program).string();
}

}  // namespace

std::string backupCommandLine(const std::string& program, const std::string& programCommandLine,
                              const std::filesystem::path& programDirectory,
                              const store::DataLocation& practice, const std::string& word) {
  if (program.empty() || namesSuppliedProgram(program)) {
    const std::string named =
        program.empty() ? std::string(practice::suppliedBackupProgram) : program;
    return quoted(suppliedProgramPath(named, programDirectory)) + " " + quoted(practice.path) +
           " " + word + serverSwitch(practice);
  }
  return program + " " + programCommandLine;
}

std::string backupCommandLine(const practice::Options& options,
                              const std::filesystem::path& programDirectory,
                              const store::DataLocation& practice, const std::string& word) {
  return backupCommandLine(options.text("Backup Program"), options.text("Backup Command Line"),
                           programDirectory, practice, word);
}

std::string viewBackupsCommandLine(const practice::Options& options,
                                   const std::filesystem::path& programDirectory,
                                   const store::DataLocation& practice) {
  const std::string program = options.text("Backup Program");
  if (program.empty()) return {};
  if (namesSuppliedProgram(program))
    return quoted(suppliedProgramPath(program, programDirectory)) + " " +
           quoted(practice.path + "\\*.*") + " view" + serverSwitch(practice);
  return program + " " + options.text("Backup Command Line");
}

std::string fileMaintenanceCommandLine(const std::filesystem::path& programDirectory,
                                       const store::DataLocation& practice,
                                       const std::string& userName) {
  return quoted((programDirectory / fileMaintenanceProgram).string()) + " " +
         quoted(practice.path) + " QV " + quoted(userName) + serverSwitch(practice);
}

std::vector<std::string> splitCommandLine(const std::string& commandLine) {
  std::vector<std::string> words;
  std::string word;
  bool inQuotes = false, inWord = false;
  for (const char c : commandLine) {
    if (c == '"') {
      inQuotes = !inQuotes;
      inWord = true;
    } else if (c == ' ' && !inQuotes) {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) words.push_back(word);
  return words;
}

PracticeMaintenance::PracticeMaintenance(app::Application& application)
    : application_(application) {}

bool PracticeMaintenance::mayRun(Operation operation, const WorkInProgress& work) {
  ui::Prompter& prompter = application_.surroundings().prompter;
  static constexpr const char* unsaved[] = {
      "There are transactions that need to be saved or applied before you can backup data.",
      "There are transactions that need to be saved or applied before you can restore data.",
      "There are transactions that need to be saved or applied before you can run file "
      "maintenance."};
  static constexpr const char* windows[] = {
      "All windows must be closed before using the Backup program.",
      "All windows must be closed before using the Restore option.",
      "All windows must be closed before using file maintenance."};
  static constexpr int rights[] = {security::permission_item::backupData,
                                   security::permission_item::restoreData,
                                   security::permission_item::fileMaintenance};
  const auto which = static_cast<std::size_t>(operation);
  if (work.unsavedEntries) {
    prompter.error(unsaved[which]);
    return false;
  }
  if (!application_.hasPermission(rights[which])) return false;
  if (work.windowsOpen || (closeWindows_ && !closeWindows_())) {
    prompter.error(windows[which]);
    return false;
  }
  practice::OpenPractice* open = application_.practice();
  if (open == nullptr) return false;
  for (const char* name : exclusiveTables) {
    try {
      if (!open->connection->tableExists(name)) continue;
      auto table = open->connection->openTable(name, store::OpenMode::Exclusive);
    } catch (const store::RecordInUseError&) {
      prompter.error(othersInPractice);
      return false;
    }
  }
  return true;
}

int runCommandLine(practice::Surroundings& surroundings, const std::string& commandLine,
                   const std::vector<std::string>& extraArguments) {
  auto words = splitCommandLine(commandLine);
  if (words.empty()) return -1;
  if (commandLine.front() == '"') {
    const std::string program = words.front();
    words.erase(words.begin());
    words.insert(words.end(), extraArguments.begin(), extraArguments.end());
    if (!surroundings.launcher.exists(program)) {
      surroundings.prompter.error(practice::backupProgramMissing);
      return -1;
    }
    return surroundings.launcher.run(program, words);
  }
  std::string line = commandLine;
  for (const auto& argument : extraArguments) line += " " + argument;
  return surroundings.launcher.run("/bin/sh", {"-c", line});
}

std::optional<int> runWithPracticeFreed(practice::Surroundings& surroundings,
                                        const store::DataLocation& practice,
                                        const std::string& commandLine,
                                        const std::vector<std::string>& extraArguments) {
  std::unique_ptr<store::ExclusiveOperationLock> lock;
  // The server lets go of our own session's hold a moment after it closed.
  for (int attempt = 0; !lock; ++attempt) {
    try {
      lock = store::ExclusiveOperationLock::take(practice, PracticeMaintenance::lockMessage);
    } catch (const store::RecordInUseError&) {
      if (attempt >= 30) {
        surroundings.prompter.error(PracticeMaintenance::othersInPractice);
        return std::nullopt;
      }
      ::usleep(100000);
    }
  }
  return runCommandLine(surroundings, commandLine, extraArguments);
}

bool PracticeMaintenance::runFreed(const std::string& commandLine,
                                   const std::vector<std::string>& extraArguments, bool& ran,
                                   bool sameUser) {
  ran = false;
  const store::DataLocation location = application_.practice()->location;
  std::string user;
  int level = 0;
  if (security::Security* guard = application_.security();
      sameUser && guard != nullptr && guard->loggedIn()) {
    user = guard->userCode();
    level = guard->accessLevel();
  }
  application_.closePractice();
  if (const auto exitCode = runWithPracticeFreed(application_.surroundings(), location, commandLine,
                                                 extraArguments)) {
    lastExitCode_ = *exitCode;
    ran = true;
  }
  if (!user.empty())
    return application_.reconnect(location.path, user, level) == practice::OpenOutcome::Opened;
  return application_.openPractice(location.path) == practice::OpenOutcome::Opened;
}

bool PracticeMaintenance::backUp(const WorkInProgress& work,
                                 const std::vector<std::string>& extraArguments) {
  lastExitCode_ = -1;
  if (!mayRun(Operation::BackUp, work)) return false;
  std::vector<std::string> arguments = extraArguments;
  if (choices_ && !choices_(Operation::BackUp, arguments)) return false;
  practice::OpenPractice& open = *application_.practice();
  const auto line =
      backupCommandLine(open.options, application_.surroundings().launcher.programDirectory(),
                        open.location, "backup");
  bool ran = false;
  // The same user carries on: nobody logs in again after a backup.
  runFreed(line, arguments, ran, true);
  return ran && lastExitCode_ == 0;
}

bool PracticeMaintenance::restore(const WorkInProgress& work,
                                  const std::vector<std::string>& extraArguments) {
  lastExitCode_ = -1;
  if (!mayRun(Operation::Restore, work)) return true;
  std::vector<std::string> arguments = extraArguments;
  if (choices_ && !choices_(Operation::Restore, arguments)) return true;
  if (!application_.surroundings().prompter.askOkCancel(restoreWarning)) return true;
  practice::OpenPractice& open = *application_.practice();
  const auto line =
      backupCommandLine(open.options, application_.surroundings().launcher.programDirectory(),
                        open.location, "restore");
  bool ran = false;
  // The restored practice is opened as at the start, login and all: its
  // users are the backup's.
  return runFreed(line, arguments, ran, false);
}

void PracticeMaintenance::viewBackups(const std::vector<std::string>& extraArguments) {
  lastExitCode_ = -1;
  practice::OpenPractice* open = application_.practice();
  if (open == nullptr) return;
  const auto line = viewBackupsCommandLine(
      open->options, application_.surroundings().launcher.programDirectory(), open->location);
  if (line.empty() || !application_.hasPermission(viewBackupsItem)) return;
  lastExitCode_ = runCommandLine(application_.surroundings(), line, extraArguments);
}

bool PracticeMaintenance::fileMaintenance(const WorkInProgress& work,
                                          const std::vector<std::string>& extraArguments) {
  lastExitCode_ = -1;
  if (!mayRun(Operation::FileMaintenance, work)) return false;
  std::vector<std::string> arguments = extraArguments;
  if (choices_ && !choices_(Operation::FileMaintenance, arguments)) return false;
  practice::OpenPractice& open = *application_.practice();
  const std::string user = open.security ? open.security->userCode() : std::string();
  const auto line = fileMaintenanceCommandLine(
      application_.surroundings().launcher.programDirectory(), open.location, user);
  bool ran = false;
  // Opening the practice again reads its options afresh; the user carries on.
  runFreed(line, arguments, ran, true);
  return ran && lastExitCode_ == 0;
}

}  // namespace vantrell::maintenance
