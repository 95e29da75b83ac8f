#include "practice/practice_opening.hpp"

#include <unistd.h>

#include <cstdlib>

#include "common/file_modes.hpp"
#include "maintenance/data_conversion.hpp"
#include "maintenance/practice_maintenance.hpp"
#include "store/errors.hpp"
#include "store/exclusive_operation_lock.hpp"
#include "store/names.hpp"
#include "store/table_creation.hpp"

namespace vantrell::practice {
namespace {

// A folder that exists and may be written but holds neither options nor
// patients is no practice. Looking writes nothing into it; a missing folder
// and missing rights are reported by connecting, as before.
bool isFolderWithoutPractice(const store::DataLocation& location) {
  if (location.engine != store::Engine::Embedded) return false;
  std::error_code error;
  if (!std::filesystem::is_directory(location.path, error) ||
      ::access(location.path.c_str(), W_OK) != 0)
    return false;
  for (const auto& table : store::Connection::tablesAt(location)) {
    if (store::equalsIgnoringCase(table, "QVOPT") || store::equalsIgnoringCase(table, "QVPAT"))
      return false;
  }
  return true;
}

}  // namespace

ProgramPlaces ProgramPlaces::forCurrentUser() {
  if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && *state != '\0')
    return {std::filesystem::path(state) / "vantrell"};
  const char* home = std::getenv("HOME");
  return {std::filesystem::path(home != nullptr ? home : ".") / ".local" / "state" / "vantrell"};
}

std::filesystem::path improperShutDownLog(const store::DataLocation& location,
                                          const ProgramPlaces& places) {
  if (location.engine == store::Engine::Embedded)
    return std::filesystem::path(location.path) / "qvclose.cp";
  std::string name = location.path;
  for (char& c : name) {
    if (c == '/') c = '_';
  }
  return places.stateDirectory / ("server-" + name + "-qvclose.cp");
}

std::unique_ptr<store::Connection> PracticeOpener::connect(const store::DataLocation& location) {
  try {
    auto connection =
        store::Connection::open(location, {surroundings_.ownerName, &surroundings_.clock, false});
    surroundings_.settings.write(settingsKey, currentPracticeValue, location.path);
    return connection;
  } catch (const store::MissingPracticeError&) {
    surroundings_.prompter.error(dataDoesNotExist);
  } catch (const store::ConnectionError& error) {
    surroundings_.prompter.error(error.what());
  } catch (const store::RightsError& error) {
    surroundings_.prompter.error(error.what());
  }
  return nullptr;
}

std::optional<std::int64_t> PracticeOpener::storedDataVersion(store::Connection& connection) {
  const auto columns = connection.driver().columnNames("QVOPT");
  bool hasVersion = false;
  for (const auto& column : columns) hasVersion = hasVersion || column == "Data Version Number";
  if (!hasVersion) return std::nullopt;
  const auto result = connection.executeSql("SELECT \"Data Version Number\" FROM QVOPT");
  if (result.rows.empty()) return std::nullopt;
  if (const auto* number = std::get_if<std::int64_t>(&result.rows[0][0])) return *number;
  return std::nullopt;
}

OpenOutcome PracticeOpener::open(const store::DataLocation& location) {
  opened_.reset();
  ui::Prompter& prompter = surroundings_.prompter;
  try {
    // Opening never makes a practice: a new one is made by the new practice
    // window before it is opened. Looked at first, so that a folder holding no
    // practice gets no lock file either.
    if (isFolderWithoutPractice(location)) {
      prompter.error(dataDoesNotExist);
      return OpenOutcome::NotOpened;
    }
    if (const auto busy = store::ExclusiveOperationLock::busyMessage(location)) {
      prompter.error(*busy);
      return OpenOutcome::NotOpened;
    }
    if (beforeConnecting_) beforeConnecting_();
    auto connection = connect(location);
    if (!connection) return OpenOutcome::NotOpened;
    // The check above only looked; from here on this workstation holds the
    // lock shared, as every other workstation in the practice does.
    auto inUse = holdInUse(*connection);
    if (!inUse) return OpenOutcome::NotOpened;
    if (connection->tableExists("QVPAT") && !connection->tableExists("QVOPT"))
      store::createMissingTables(*connection, &root_);
    if (!connection->tableExists("QVOPT")) {
      prompter.error(dataDoesNotExist);
      return OpenOutcome::NotOpened;
    }
    // An options table of an older layout cannot be read as a record: its
    // version decides, and the conversion brings it up to date.
    std::optional<std::int64_t> version;
    if (maintenance::lacksCataloguedFields(*connection, "QVOPT")) {
      version = storedDataVersion(*connection).value_or(currentDataVersion - 1);
      if (version >= currentDataVersion) version = currentDataVersion - 1;
    } else {
      version = Options::readAtPracticeOpen(*connection).number("Data Version Number");
    }
    if (*version == 1) {
      prompter.error(incompatible);
      return OpenOutcome::NotOpened;
    }
    if (*version < currentDataVersion) {
      const OpenOutcome converted = convert(location, connection, inUse);
      if (converted != OpenOutcome::Opened) return converted;
    }
    Options options = Options::readAtPracticeOpen(*connection);
    if (options.number("Data Version Number") < currentDataVersion) {
      prompter.error(conversionFailed);
      return OpenOutcome::QuitProgram;
    }
    if (firstOpenAfterStartUp_) {
      checkStartupMarker(location);
      firstOpenAfterStartUp_ = false;
    }
    const auto name = PracticeList(root_).nameOf(location.path);
    auto opened = std::make_unique<OpenPractice>(
        OpenPractice{location, std::move(connection), std::move(inUse), std::move(options),
                     std::string(captionPrefix) + (name ? *name : nameRemoved), nullptr});
    // The login comes here once users are set up; while there are none,
    // security is off and every operation is allowed.
    opened_ = std::move(opened);
    return OpenOutcome::Opened;
  } catch (const store::StoreError& error) {
    prompter.error(error.what());
  }
  return OpenOutcome::NotOpened;
}

std::shared_ptr<store::RecordLock> PracticeOpener::holdInUse(store::Connection& connection) {
  try {
    return store::ExclusiveOperationLock::holdShared(connection);
  } catch (const store::RecordInUseError& busy) {
    surroundings_.prompter.error(busy.owner() ? busy.owner()->display()
                                              : store::ExclusiveOperationLock::defaultBusyMessage);
  }
  return nullptr;
}

OpenOutcome PracticeOpener::convert(const store::DataLocation& location,
                                    std::unique_ptr<store::Connection>& connection,
                                    std::shared_ptr<store::RecordLock>& inUse) {
  ui::Prompter& prompter = surroundings_.prompter;
  const std::vector<std::string> choices = {"Continue w/o Backup", "&Backup Data Now", "Cancel"};
  for (;;) {
    const int choice = prompter.choose("Warning", upgradeWarning, choices);
    if (choice == 0) break;
    if (choice == 1) {
      // The practice's options may not be readable before the conversion:
      // the supplied backup program does it.
      inUse.reset();
      connection.reset();
      maintenance::runWithPracticeFreed(
          surroundings_, location,
          maintenance::backupCommandLine("", "", surroundings_.launcher.programDirectory(),
                                         location, "backup"));
      connection = connect(location);
      if (!connection) return OpenOutcome::NotOpened;
      inUse = holdInUse(*connection);
      if (!inUse) return OpenOutcome::NotOpened;
      continue;
    }
    return OpenOutcome::QuitProgram;
  }
  if (const auto busy = store::ExclusiveOperationLock::busyMessage(location)) {
    prompter.error(*busy);
    return OpenOutcome::NotOpened;
  }
  inUse.reset();
  connection.reset();
  {
    std::unique_ptr<store::ExclusiveOperationLock> lock;
    try {
      lock = store::ExclusiveOperationLock::take(location, conversionLockMessage);
    } catch (const store::RecordInUseError& busy) {
      // Another workstation has the practice open, or another conversion runs.
      prompter.error(busy.owner() ? busy.owner()->display()
                                  : store::ExclusiveOperationLock::defaultBusyMessage);
      return OpenOutcome::NotOpened;
    }
    std::vector<std::string> arguments;
    if (location.engine == store::Engine::Server) arguments.emplace_back("--server");
    arguments.push_back(location.path);
    if (surroundings_.launcher.exists(conversionProgram))
      surroundings_.launcher.run(conversionProgram, arguments);
  }
  // The conversion is judged by the data version it leaves behind.
  connection = connect(location);
  if (!connection) return OpenOutcome::NotOpened;
  inUse = holdInUse(*connection);
  if (!inUse) return OpenOutcome::NotOpened;
  const auto version = storedDataVersion(*connection);
  if (maintenance::lacksCataloguedFields(*connection, "QVOPT") || !version ||
      *version < currentDataVersion) {
    prompter.error(conversionFailed);
    return OpenOutcome::QuitProgram;
  }
  return OpenOutcome::Opened;
}

void PracticeOpener::checkStartupMarker(const store::DataLocation& location) {
  const auto marker = surroundings_.places.startupMarker();
  std::error_code error;
  if (std::filesystem::exists(marker, error)) {
    surroundings_.prompter.warn(improperShutDown);
    const auto log = improperShutDownLog(location, surroundings_.places);
    const bool inPractice = location.engine == store::Engine::Embedded;
    files::createFolders(log.parent_path(),
                         inPractice ? files::sharedFolderMode : files::privateFolderMode, error);
    files::appendToFile(log, surroundings_.clock.now().toIso() + "\n",
                        inPractice ? files::sharedFileMode : files::privateFileMode);
    return;
  }
  files::createFolders(marker.parent_path(), files::privateFolderMode, error);
  files::replaceFileContents(marker, std::string(startupMarkerLine) + "\n", files::privateFileMode);
}

}  // namespace vantrell::practice
