#pragma once

#include <memory>
#include <stdexcept>

#include "app/application.hpp"
#include "command_line.hpp"
#include "console_prompter.hpp"
#include "security/login_window.hpp"
#include "ui/clock.hpp"
#include "ui/launcher.hpp"
#include "ui/settings.hpp"

namespace vantrell::cli {

// A rule of the system refused the command; its message is already shown.
class Refused : public std::runtime_error {
 public:
  Refused() : std::runtime_error("refused") {}
};

// The login of the command line: the --user and --password it was given, tried once.
class CommandLineLogin final : public security::LoginPrompt {
 public:
  CommandLineLogin(const GlobalOptions& globals, ui::Prompter& prompter)
      : globals_(globals), prompter_(prompter) {}
  bool run(security::LoginWindow& window) override;

 private:
  const GlobalOptions& globals_;
  ui::Prompter& prompter_;
};

// Everything a command works with: the ports as the command line fills them,
// and the application with its root data directory and open practice.
class Context {
 public:
  explicit Context(const GlobalOptions& globals);
  // A run ends as a session does: the user logs out.
  ~Context();

  const GlobalOptions& globals() const { return globals_; }
  bool json() const { return globals_.json; }
  ui::Prompter& prompter() { return prompter_; }
  ui::Settings& settings() { return settings_; }
  store::Engine engine() const {
    return globals_.server ? store::Engine::Server : store::Engine::Embedded;
  }

  // Connects to the root data directory (made when missing) without opening a practice.
  app::Application& application();
  // Opens --practice, or the practice opened last, and logs in. Throws Refused
  // when it does not open.
  practice::OpenPractice& openPractice();
  // Opens the practice at `path` and logs in, leaving the practice opened last
  // as it was: the command works on that practice without moving to it.
  // Throws Refused when it does not open.
  practice::OpenPractice& openPracticeFor(const std::string& path);
  // The guard of a command: refused with the system's message (no override on
  // the command line).
  void require(int permissionItem);

 private:
  const GlobalOptions& globals_;
  ConsolePrompter prompter_;
  ui::IniSettings settings_;
  ui::ProcessLauncher launcher_;
  ui::SystemClock clock_;
  CommandLineLogin login_;
  practice::Surroundings surroundings_;
  std::unique_ptr<app::Application> application_;
};

// Connects to the practice once so that an engine or file failure surfaces as
// a StoreError rather than as the opener's refusal.
void surfaceEngineFailure(const store::DataLocation& location);

// Whether the practice at `location` has users, so that security is on there.
// A directory that does not exist holds no practice and so no users.
bool practiceHasUsers(const store::DataLocation& location);

}  // namespace vantrell::cli
