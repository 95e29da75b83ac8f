#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "practice/practice_creation.hpp"
#include "practice/practice_opening.hpp"
#include "practice/program_date.hpp"

namespace vantrell::maintenance {
class PracticeMaintenance;
}

namespace vantrell::app {

struct StartupOptions {
  bool resetPractice = false;  // F8 held: forget the practice opened last
  bool resetRoot = false;      // F7 held: forget it and the root data directory
  store::Engine engine = store::Engine::Embedded;  // "CS": the database server
  std::optional<std::string> rootDirectory;        // given on the command line
  // The command line makes a missing root data directory without asking.
  bool createRootWithoutAsking = false;
  // A new user (no root data directory set, none asked for with F7) starts on
  // the default one in the user's data folder, made without asking.
  bool useDefaultRootWhenUnset = false;
  bool openLastPractice = true;
  // The desktop program checks and writes the start-up marker at its first open.
  bool markStartUp = true;
};

enum class StartupOutcome { PracticeOpen, ShowPracticeList, NoPractice, Quit };

// The program from start-up to shut-down: the root data directory, the open
// practice, the program date.
class Application {
 public:
  explicit Application(practice::Surroundings& surroundings);
  ~Application();

  // Start-up in the system's order: settings and their resets, the root data
  // directory, the practice opened last, else the practice list or the tutorial.
  StartupOutcome startUp(const StartupOptions& options);

  store::Connection& root() { return *root_; }
  const store::DataLocation& rootLocation() const { return rootLocation_; }
  practice::PracticeList practiceList() { return practice::PracticeList(*root_); }
  practice::OpenPractice* practice() { return practice_.get(); }
  practice::ProgramDate& programDate() { return programDate_; }
  const ui::Clock& clock() const { return surroundings_.clock; }
  practice::Surroundings& surroundings() { return surroundings_; }

  // By value: the path may belong to the practice that closes first.
  practice::OpenOutcome openPractice(std::string path);
  // Opens the practice again after a companion program had it, with the user
  // who was logged in carrying on without a new login.
  practice::OpenOutcome reconnect(std::string path, const std::string& user, int accessLevel);
  practice::OpenOutcome newPractice(const std::string& name, const std::string& path);
  practice::OpenOutcome installTutorial();
  // The practice list's OK: only a directory that holds a practice is taken.
  practice::OpenOutcome openFromList(const practice::PracticeEntry& entry);
  // The practice list's Remove, after the system's question.
  bool removeFromList(const practice::PracticeEntry& entry);

  // Shut-down: the backup reminder when the options ask for it, then the
  // user's presence and the start-up marker go. False when the person chose to stay.
  // The window side prepares the reminder's backup as it does its menu command's
  // (the person chooses the folder).
  bool shutDown(const std::function<void(maintenance::PracticeMaintenance&)>& prepareBackup = {});
  // Logs the user out and closes the practice, with no questions (the end of
  // a command-line run, or opening another practice).
  void closePractice();

  // The guard of every guarded command: true with no practice open (nobody is
  // logged in to refuse anything), else the logged-in user's permission, with
  // the chance of an override login.
  bool hasPermission(int item);
  security::Security* security() { return practice_ ? practice_->security.get() : nullptr; }

  static constexpr const char* askRootDirectory =
      "Cannot connect to the QelVantrell data directory.  Enter the QelVantrell data directory.";
  static constexpr const char* notARootDirectory =
      "This is not an existing root data directory.  Do you want to create a new one?";
  static constexpr const char* noRightsToPath = "You do not have rights to this path.";
  static constexpr const char* badDrive = "The specified drive path does not exist check your spelling then try again.";
  static constexpr const char* dataFilesNotFound = "Data files not found";
  static constexpr const char* backupReminder = "Backup Reminder";

 private:
  bool connectRoot(const StartupOptions& options);
  bool tryRoot(const std::string& path, bool createWithoutAsking, bool& askAgain);
  practice::OpenOutcome afterOpen(practice::PracticeOpener& opener, practice::OpenOutcome outcome);
  // The login of a practice just opened; a failed one ends the program.
  practice::OpenOutcome logIn();

  practice::Surroundings& surroundings_;
  store::Engine engine_ = store::Engine::Embedded;
  bool markStartUp_ = true;
  bool firstOpen_ = true;
  store::DataLocation rootLocation_;
  std::unique_ptr<store::Connection> root_;
  std::unique_ptr<practice::OpenPractice> practice_;
  practice::ProgramDate programDate_;
};

// The root data directory a new user starts with: ~/.local/share/vantrell/Data
// (or under $XDG_DATA_HOME); on the server, the practice "vantrell_root".
std::string defaultRootDirectory(store::Engine engine);

}  // namespace vantrell::app
