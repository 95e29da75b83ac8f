#include "context.hpp"

#include <cstdlib>

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
      surroundings_{prompter_, settings_, launcher_, clock_, practice::ProgramPlaces::forCurrentUser(),
                    ownerName(line)} {}

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
  if (app.openPractice(path) != practice::OpenOutcome::Opened) throw Refused();
  return *app.practice();
}

}  // namespace vantrell::cli
