#include "context.hpp"

#include <cstdlib>
#include <iostream>

#include "store/connection.hpp"
#include "store/errors.hpp"

namespace vantrell::cli {
namespace {

std::string ownerName(const CommandLine& line) {
  if (line.user) return *line.user;
  const char* login = std::getenv("USER");
  return login != nullptr ? login : "vantrell-cli";
}

}  // namespace

Context::Context(const CommandLine& line)
    : line_(line),
      prompter_(line.yes),
      settings_(ui::IniSettings::defaultFile()),
      launcher_(ui::ProcessLauncher::runningProgramDirectory()),
      login_(line, prompter_),
      surroundings_{prompter_, settings_, launcher_, clock_, practice::ProgramPlaces::forCurrentUser(),
                    ownerName(line), &login_} {}

Context::~Context() {
  if (!application_) return;
  try {
    application_->closePractice();
  } catch (const std::exception&) {
    // The presence row goes stale by itself within three minutes.
  }
}

bool CommandLineLogin::run(security::LoginWindow& window) {
  if (!line_.user) {
    prompter_.error("This practice has users: log in with --user CODE --password PW.");
    return false;
  }
  std::string password = line_.password.value_or("");
  if (password == "-") {
    // "--password -" reads it from standard input, where no other user of the
    // machine can see it as they can see a command line.
    std::getline(std::cin, password);
    if (!password.empty() && password.back() == '\r') password.pop_back();
  }
  return window.submit(*line_.user, password) == security::LoginWindow::Outcome::LoggedIn;
}

void Context::require(int permissionItem) {
  security::Security* guard = application().security();
  if (guard != nullptr && !guard->hasPermission(permissionItem, false)) throw Refused();
}

app::Application& Context::application() {
  if (application_) return *application_;
  application_ = std::make_unique<app::Application>(surroundings_);
  app::StartupOptions options;
  options.resetPractice = line_.resetPractice;
  options.resetRoot = line_.resetRoot;
  options.engine = engine();
  options.rootDirectory = line_.root;
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
  if (line_.practice) {
    path = *line_.practice;
  } else if (const auto last = settings_.read(practice::settingsKey, practice::currentPracticeValue)) {
    path = *last;
  }
  if (path.empty()) throw UsageError("No practice has been opened yet: give --practice PATH.");
  // An engine or file failure ends the command as one (exit code 3), as on the
  // paths that connect directly, not as a refusal.
  store::Connection::open({engine(), path}, {"", nullptr, false});
  if (app.openPractice(path) != practice::OpenOutcome::Opened) throw Refused();
  return *app.practice();
}

}  // namespace vantrell::cli
