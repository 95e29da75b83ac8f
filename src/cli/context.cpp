#include "context.hpp"

#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "store/connection.hpp"
#include "store/errors.hpp"
#include "store/sqlite/sqlite_driver.hpp"
#include "store/table.hpp"

namespace vantrell::cli {
namespace {

std::string ownerName(const GlobalOptions& globals) {
  if (globals.user) return *globals.user;
  const char* login = std::getenv("USER");
  return login != nullptr ? login : "vantrell-cli";
}

}  // namespace

Context::Context(const GlobalOptions& globals)
    : globals_(globals),
      prompter_(globals.yes),
      settings_(ui::IniSettings::defaultFile()),
      launcher_(ui::ProcessLauncher::runningProgramDirectory()),
      login_(globals, prompter_),
      surroundings_{prompter_,
                    settings_,
                    launcher_,
                    clock_,
                    practice::ProgramPlaces::forCurrentUser(),
                    ownerName(globals),
                    &login_} {}

Context::~Context() {
  if (!application_) return;
  try {
    application_->closePractice();
  } catch (const std::exception&) {
    // The presence row goes stale by itself within three minutes.
  }
}

bool CommandLineLogin::run(security::LoginWindow& window) {
  if (!globals_.user) {
    prompter_.error("This practice has users: log in with --user CODE --password PW.");
    return false;
  }
  std::string password = globals_.password.value_or("");
  // "--password -" reads it from standard input, where no other user of the
  // machine can see it as they can see a command line.
  if (password == "-") password = readStandardInputLine();
  return window.submit(*globals_.user, password) == security::LoginWindow::Outcome::LoggedIn;
}

void Context::require(int permissionItem) {
  security::Security* guard = application().security();
  if (guard != nullptr && !guard->hasPermission(permissionItem, false)) throw Refused();
}

app::Application& Context::application() {
  if (application_) return *application_;
  application_ = std::make_unique<app::Application>(surroundings_);
  app::StartupOptions options;
  options.resetPractice = globals_.resetPractice;
  options.resetRoot = globals_.resetRoot;
  options.engine = engine();
  options.rootDirectory = globals_.root;
  options.createRootWithoutAsking = true;
  options.openLastPractice = false;
  // The start-up marker belongs to the desktop program's sessions.
  options.markStartUp = false;
  if (application_->startUp(options) == app::StartupOutcome::Quit) throw Refused();
  return *application_;
}

practice::OpenPractice& Context::openPractice() {
  app::Application& app = application();
  std::string path;
  if (globals_.practice) {
    path = *globals_.practice;
  } else if (const auto last =
                 settings_.read(practice::settingsKey, practice::currentPracticeValue)) {
    path = *last;
  }
  if (path.empty()) throw UsageError("No practice has been opened yet: give --practice PATH.");
  surfaceEngineFailure({engine(), path});
  if (app.openPractice(path) != practice::OpenOutcome::Opened) throw Refused();
  return *app.practice();
}

practice::OpenPractice& Context::openPracticeFor(const std::string& path) {
  app::Application& app = application();
  const auto last = settings_.read(practice::settingsKey, practice::currentPracticeValue);
  const auto outcome = app.openPractice(path);
  if (last)
    settings_.write(practice::settingsKey, practice::currentPracticeValue, *last);
  else
    settings_.remove(practice::settingsKey, practice::currentPracticeValue);
  if (outcome != practice::OpenOutcome::Opened) throw Refused();
  return *app.practice();
}

void surfaceEngineFailure(const store::DataLocation& location) {
  // An engine or file failure ends the command as one (exit code 3), as on the
  // paths that connect directly, not as a refusal. A folder without a
  // dictionary is left to the opener, which refuses it and writes nothing.
  std::error_code ignored;
  const std::filesystem::path folder(location.path);
  if (location.engine == store::Engine::Embedded && std::filesystem::is_directory(folder, ignored) &&
      !std::filesystem::exists(folder / store::dictionaryFileName, ignored))
    return;
  store::Connection::open(location, {"", nullptr, false});
}

bool practiceHasUsers(const store::DataLocation& location) {
  std::error_code ignored;
  if (location.engine == store::Engine::Embedded &&
      !std::filesystem::is_directory(location.path, ignored))
    return false;
  if (!store::Connection::holdsTable(location, "QVSEC")) return false;
  auto probe = store::Connection::open(location, {"", nullptr, false});
  return probe->openTable("QVSEC").count() != 0;
}

}  // namespace vantrell::cli
