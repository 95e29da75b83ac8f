#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "practice/options.hpp"
#include "practice/practice_list.hpp"
#include "security/security.hpp"
#include "store/connection.hpp"
#include "ui/clock.hpp"
#include "ui/launcher.hpp"
#include "ui/prompter.hpp"
#include "ui/settings.hpp"

namespace vantrell::practice {

inline constexpr const char* settingsKey = "Software\\Vantrell";
inline constexpr const char* rootDataPathValue = "Root Data Path";
inline constexpr const char* currentPracticeValue = "Current Practice";
inline constexpr const char* captionPrefix = "QelVantrell Advanced - ";
inline constexpr const char* conversionProgram = "vantrell-convert";
inline constexpr const char* tutorialProgram = "vantrell-tutorial";
inline constexpr const char* backupProgramMissing =
    "The backup program was not found beside this program.";

// The files the program keeps for itself. The start-up marker lives in the
// user's state directory (a program directory is not writable on a shared
// workstation).
struct ProgramPlaces {
  std::filesystem::path stateDirectory;
  std::filesystem::path startupMarker() const { return stateDirectory / "shutdown.cp"; }
  // ~/.local/state/vantrell (or $XDG_STATE_HOME/vantrell).
  static ProgramPlaces forCurrentUser();
};

// What the program needs to reach the person and the machine while it opens
// practices.
struct Surroundings {
  ui::Prompter& prompter;
  ui::Settings& settings;
  ui::Launcher& launcher;
  const ui::Clock& clock;
  ProgramPlaces places;
  std::string ownerName;  // shown to other workstations while this one holds a record
  // The login dialog; without one, a practice with users cannot be opened.
  security::LoginPrompt* loginPrompt = nullptr;
};

// An open practice: its session, its options, the window caption and who is
// logged in.
struct OpenPractice {
  store::DataLocation location;
  std::unique_ptr<store::Connection> connection;
  // The exclusive-operation lock held shared while the practice is open, so no
  // conversion or maintenance starts under this workstation; let go before the
  // connection closes.
  std::shared_ptr<store::RecordLock> inUse;
  Options options;
  std::string caption;
  std::unique_ptr<security::Security> security;
};

enum class OpenOutcome { Opened, NotOpened, QuitProgram };

// Opens a practice the way the system does: the exclusive-operation lock, the
// connection, missing tables, the options, the data version and conversion, the
// start-up marker, the caption. Every failure leaves no practice open.
class PracticeOpener {
 public:
  // firstOpenAfterStartUp: the next practice to open is the first since the
  // program started, so the start-up marker is checked and written then.
  PracticeOpener(Surroundings& surroundings, store::Connection& root,
                 bool firstOpenAfterStartUp = false)
      : surroundings_(surroundings), root_(root), firstOpenAfterStartUp_(firstOpenAfterStartUp) {}

  OpenOutcome open(const store::DataLocation& location);
  // Runs once the lock check has passed, just before the practice connects:
  // the program lets go of the practice it had open.
  void beforeConnecting(std::function<void()> action) { beforeConnecting_ = std::move(action); }
  std::unique_ptr<OpenPractice> takeOpened() { return std::move(opened_); }

  static constexpr const char* incompatible = "This data is not compatible with this program.";
  static constexpr const char* upgradeWarning =
      "This data must be upgraded to work with this newer version of the program.  It will now be "
      "automatically converted to work with the current version of QelVantrell for Windows.\n"
      "You should back up your data before proceeding with this conversion.  ";
  static constexpr const char* conversionFailed =
      "The conversion process did not complete successfully";
  static constexpr const char* conversionLockMessage =
      "Autoconversion in progress.  Cannot open data.";
  static constexpr const char* dataDoesNotExist =
      "This data doesn't exist, select a different set of data.";
  static constexpr const char* nameRemoved = "Data Set Name has been removed.";
  static constexpr const char* improperShutDown =
      "*** WARNING *** WARNING *** WARNING *** WARNING *** WARNING ***\n"
      "This program was not properly shut down.\n"
      "To properly shut down QelVantrell do one of the following: \n"
      "   * Click the \"X\" in the upper right hand corner of the program\n"
      "   * Press the keyboard sequence \"Alt\" + \"F4\"\n"
      "   * Click on the \"Exit\" speed button\n"
      "   * From the menu bar select \"File\" and then \"Exit\"\n";
  static constexpr const char* startupMarkerLine =
      "This file is created upon startup of QelVantrell and deleted upon proper shut down of the "
      "program.";

 private:
  std::unique_ptr<store::Connection> connect(const store::DataLocation& location);
  // The data version as stored, read even from an options table of an older layout.
  std::optional<std::int64_t> storedDataVersion(store::Connection& connection);
  OpenOutcome convert(const store::DataLocation& location,
                      std::unique_ptr<store::Connection>& connection,
                      std::shared_ptr<store::RecordLock>& inUse);
  // Takes the exclusive-operation lock shared through the practice's session;
  // no hold (and the busy message shown) when an exclusive operation runs.
  std::shared_ptr<store::RecordLock> holdInUse(store::Connection& connection);
  void checkStartupMarker(const store::DataLocation& location);

  Surroundings& surroundings_;
  store::Connection& root_;
  bool firstOpenAfterStartUp_;
  std::function<void()> beforeConnecting_;
  std::unique_ptr<OpenPractice> opened_;
};

// The improper-shut-down log of a practice: a directory keeps it as qvclose.cp;
// a server practice keeps it in the state directory under its own name.
std::filesystem::path improperShutDownLog(const store::DataLocation& location,
                                          const ProgramPlaces& places);

}  // namespace vantrell::practice
