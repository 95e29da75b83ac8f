#include "app/application.hpp"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "common/file_modes.hpp"
#include "maintenance/practice_maintenance.hpp"
#include "security/permission_list.hpp"
#include "store/errors.hpp"
#include "store/table_creation.hpp"

namespace vantrell::app {

using practice::OpenOutcome;

std::string defaultRootDirectory(store::Engine engine) {
  if (engine == store::Engine::Server) return "vantrell_root";
  const char* data = std::getenv("XDG_DATA_HOME");
  const char* home = std::getenv("HOME");
  const std::filesystem::path base = data != nullptr && *data != '\0'
                                         ? std::filesystem::path(data)
                                         : std::filesystem::path(home != nullptr ? home : ".") / ".local" / "share";
  return (base / "vantrell" / "Data").string();
}

Application::Application(practice::Surroundings& surroundings)
    : surroundings_(surroundings), programDate_(surroundings.clock) {}

Application::~Application() = default;

bool Application::tryRoot(const std::string& path, bool createWithoutAsking, bool& askAgain) {
  ui::Prompter& prompter = surroundings_.prompter;
  const store::DataLocation location{engine_, path};
  askAgain = false;
  if (engine_ == store::Engine::Embedded) {
    std::error_code error;
    const std::filesystem::path directory(path);
    if (!std::filesystem::is_directory(directory, error)) {
      if (!createWithoutAsking) {
        if (!directory.has_parent_path() || !std::filesystem::is_directory(directory.parent_path(), error)) {
          prompter.error(badDrive);
          askAgain = true;
          return false;
        }
        // A new directory in an existing one is a new root, if the person wants it.
        if (!prompter.askYesNo(notARootDirectory)) {
          askAgain = true;
          return false;
        }
        createWithoutAsking = true;
      }
      files::createFolders(directory, files::sharedFolderMode, error);
      if (error) {
        prompter.error(store::RightsError(path).what());
        askAgain = true;
        return false;
      }
    }
    if (::access(directory.c_str(), W_OK) != 0) {
      prompter.error(noRightsToPath);
      askAgain = true;
      return false;
    }
  }
  if (!store::Connection::holdsTable(location, "QVDBLIST")) {
    if (!createWithoutAsking && !prompter.askYesNo(notARootDirectory)) {
      askAgain = true;
      return false;
    }
    auto created = store::Connection::open(location, {surroundings_.ownerName, &surroundings_.clock, true});
    store::ensureTable(*created, "QVDBLIST");
    store::ensureTable(*created, "QVUSR");
  }
  root_ = store::Connection::open(location, {surroundings_.ownerName, &surroundings_.clock, false});
  rootLocation_ = location;
  surroundings_.settings.write(practice::settingsKey, practice::rootDataPathValue, path);
  return true;
}

bool Application::connectRoot(const StartupOptions& options) {
  ui::Prompter& prompter = surroundings_.prompter;
  std::string path = options.rootDirectory.value_or(
      surroundings_.settings.read(practice::settingsKey, practice::rootDataPathValue).value_or(""));
  bool createWithoutAsking = options.createRootWithoutAsking;
  if (path.empty() && options.useDefaultRootWhenUnset && !options.resetRoot) createWithoutAsking = true;
  bool ask = path.empty() && !createWithoutAsking;
  if (path.empty()) path = defaultRootDirectory(engine_);
  for (;;) {
    if (ask) {
      const auto answer = prompter.askText(askRootDirectory, path);
      if (!answer) return false;
      path = *answer;
    }
    try {
      bool askAgain = false;
      if (tryRoot(path, createWithoutAsking, askAgain)) return true;
      if (!askAgain || options.createRootWithoutAsking) return false;
      ask = true;
      createWithoutAsking = false;
    } catch (const store::ConnectionError& error) {
      const std::vector<std::string> choices = {"Retry", "Change Data", "Cancel", "Details"};
      int choice = 3;
      while (choice == 3) {
        choice = prompter.choose(dataFilesNotFound, error.what(), choices);
        if (choice == 3) prompter.inform(error.location() + ": " + error.detail());
      }
      if (choice == 0) {
        ask = false;
        continue;
      }
      if (choice == 1) {
        ask = true;
        continue;
      }
      return false;
    } catch (const store::StoreError& error) {
      prompter.error(error.what());
      if (options.createRootWithoutAsking) return false;
      ask = true;
      createWithoutAsking = false;
    }
  }
}

StartupOutcome Application::startUp(const StartupOptions& options) {
  engine_ = options.engine;
  markStartUp_ = options.markStartUp;
  ui::Settings& settings = surroundings_.settings;
  if (options.resetPractice || options.resetRoot) settings.remove(practice::settingsKey, practice::currentPracticeValue);
  if (options.resetRoot) settings.remove(practice::settingsKey, practice::rootDataPathValue);
  if (!connectRoot(options)) return StartupOutcome::Quit;
  if (!options.openLastPractice) return StartupOutcome::NoPractice;
  if (const auto last = settings.read(practice::settingsKey, practice::currentPracticeValue); last && !last->empty()) {
    const OpenOutcome outcome = openPractice(*last);
    if (outcome == OpenOutcome::Opened) return StartupOutcome::PracticeOpen;
    if (outcome == OpenOutcome::QuitProgram) return StartupOutcome::Quit;
  }
  if (!practiceList().entries().empty()) return StartupOutcome::ShowPracticeList;
  const OpenOutcome tutorial = installTutorial();
  return tutorial == OpenOutcome::Opened ? StartupOutcome::PracticeOpen : StartupOutcome::Quit;
}

void Application::closePractice() {
  // Opening another practice logs the user out of this one.
  if (practice_ && practice_->security && practice_->security->loggedIn()) {
    try {
      practice_->security->logOut();
    } catch (const store::StoreError&) {
      // The presence row goes stale by itself within three minutes.
    }
  }
  practice_.reset();
}

OpenOutcome Application::afterOpen(practice::PracticeOpener& opener, OpenOutcome outcome) {
  if (outcome == OpenOutcome::Opened) {
    practice_ = opener.takeOpened();
    if (markStartUp_) firstOpen_ = false;
    return logIn();
  }
  return outcome;
}

OpenOutcome Application::logIn() {
  practice_->security = std::make_unique<security::Security>(*practice_->connection, *root_, surroundings_.prompter,
                                                             surroundings_.clock);
  security::Security& guard = *practice_->security;
  try {
    if (guard.logInAtOpen(surroundings_.loginPrompt)) return OpenOutcome::Opened;
  } catch (...) {
    // No practice stays open without its login.
    closePractice();
    throw;
  }
  closePractice();
  if (surroundings_.loginPrompt != nullptr && surroundings_.loginPrompt->choseAnotherPractice())
    return OpenOutcome::NotOpened;  // the practice list comes instead
  // A failed login ends the program, which then did shut down properly.
  if (markStartUp_) {
    std::error_code ignored;
    std::filesystem::remove(surroundings_.places.startupMarker(), ignored);
  }
  return OpenOutcome::QuitProgram;
}

bool Application::hasPermission(int item) {
  if (!practice_ || !practice_->security) return true;
  return practice_->security->hasPermission(item, true, surroundings_.loginPrompt);
}

OpenOutcome Application::openPractice(std::string path) {
  practice::PracticeOpener opener(surroundings_, *root_, markStartUp_ && firstOpen_);
  opener.beforeConnecting([this] { closePractice(); });
  return afterOpen(opener, opener.open({engine_, path}));
}

OpenOutcome Application::reconnect(std::string path, const std::string& user, int accessLevel) {
  practice::PracticeOpener opener(surroundings_, *root_, markStartUp_ && firstOpen_);
  opener.beforeConnecting([this] { closePractice(); });
  const OpenOutcome outcome = opener.open({engine_, path});
  if (outcome != OpenOutcome::Opened) return outcome;
  practice_ = opener.takeOpened();
  practice_->security = std::make_unique<security::Security>(
      *practice_->connection, *root_, surroundings_.prompter, surroundings_.clock);
  if (!practice_->security->isOn()) return logIn();
  practice_->security->resumeAs(user, accessLevel);
  return OpenOutcome::Opened;
}

OpenOutcome Application::openFromList(const practice::PracticeEntry& entry) {
  if (!hasPermission(security::permission_item::openPractice)) return OpenOutcome::NotOpened;
  try {
    if (!store::Connection::holdsTable({engine_, entry.path}, "QVOPT")) {
      surroundings_.prompter.error(practice::PracticeOpener::dataDoesNotExist);
      return OpenOutcome::NotOpened;
    }
  } catch (const store::ConnectionError&) {
    surroundings_.prompter.error(practice::PracticeOpener::dataDoesNotExist);
    return OpenOutcome::NotOpened;
  }
  return openPractice(entry.path);
}

bool Application::removeFromList(const practice::PracticeEntry& entry) {
  if (!hasPermission(security::permission_item::deletePractice)) return false;
  if (!surroundings_.prompter.askYesNo(practice::PracticeList::removeQuestion)) return false;
  practiceList().remove(entry);
  return true;
}

OpenOutcome Application::newPractice(const std::string& name, const std::string& path) {
  if (!hasPermission(security::permission_item::newPractice)) return OpenOutcome::NotOpened;
  practice::PracticeOpener opener(surroundings_, *root_, markStartUp_ && firstOpen_);
  opener.beforeConnecting([this] { closePractice(); });
  practice::PracticeCreation creation(surroundings_, *root_, rootLocation_);
  return afterOpen(opener, creation.createPractice(name, path, false, opener));
}

OpenOutcome Application::installTutorial() {
  practice::PracticeOpener opener(surroundings_, *root_, markStartUp_ && firstOpen_);
  opener.beforeConnecting([this] { closePractice(); });
  practice::PracticeCreation creation(surroundings_, *root_, rootLocation_);
  return afterOpen(opener, creation.installTutorial(opener));
}

bool Application::shutDown(
    const std::function<void(maintenance::PracticeMaintenance&)>& prepareBackup) {
  ui::Prompter& prompter = surroundings_.prompter;
  if (practice_ && practice_->options.flag("Remind to Backup on Close")) {
    const std::vector<std::string> choices = {"&Back Up Data Now", "E&xit Program", "Cancel"};
    for (;;) {
      const int choice = prompter.choose(backupReminder, "", choices);
      if (choice == 1) break;
      if (choice == 0) {
        maintenance::PracticeMaintenance maintenance(*this);
        if (prepareBackup) prepareBackup(maintenance);
        if (maintenance.backUp({}) || !practice_) break;
        // Why the backup program failed, when it said so where we could hear it.
        std::string said = surroundings_.launcher.lastOutput();
        while (!said.empty() && (said.back() == '\n' || said.back() == ' ')) said.pop_back();
        if (maintenance.lastExitCode() > 0 && !said.empty())
          prompter.error(
              said.substr(said.rfind('\n') == std::string::npos ? 0 : said.rfind('\n') + 1));
        continue;
      }
      return false;
    }
  }
  closePractice();
  if (markStartUp_) {
    std::error_code ignored;
    std::filesystem::remove(surroundings_.places.startupMarker(), ignored);
  }
  return true;
}

}  // namespace vantrell::app
