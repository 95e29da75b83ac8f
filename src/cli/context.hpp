#pragma once

#include <memory>
#include <stdexcept>

#include "app/application.hpp"
#include "command_line.hpp"
#include "security/login_window.hpp"
#include "console_prompter.hpp"
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
  CommandLineLogin(const CommandLine& line, ui::Prompter& prompter) : line_(line), prompter_(prompter) {}
  bool run(security::LoginWindow& window) override;

 private:
  const CommandLine& line_;
  ui::Prompter& prompter_;
};

// Everything a command works with: the ports as the command line fills them,
// and the application with its root data directory and open practice.
class Context {
 public:
  explicit Context(const CommandLine& line);
  // A run ends as a session does: the user logs out.
  ~Context();

  const CommandLine& line() const { return line_; }
  ui::Prompter& prompter() { return prompter_; }
  store::Engine engine() const { return line_.server ? store::Engine::Server : store::Engine::Embedded; }

  // Connects to the root data directory (made when missing) without opening a practice.
  app::Application& application();
  // Opens --practice, or the practice opened last, and logs in. Throws Refused
  // when it does not open.
  practice::OpenPractice& openPractice();
  // The guard of a command: refused with the system's message (no override on
  // the command line).
  void require(int permissionItem);

 private:
  const CommandLine& line_;
  ConsolePrompter prompter_;
  ui::IniSettings settings_;
  ui::ProcessLauncher launcher_;
  ui::SystemClock clock_;
  CommandLineLogin login_;
  practice::Surroundings surroundings_;
  std::unique_ptr<app::Application> application_;
};

int schemaCommand(Context& context);
int tableCommand(Context& context);
int practiceCommand(Context& context);
int optionsCommand(Context& context);
int practiceInfoCommand(Context& context);
int userCommand(Context& context);
int permissionCommand(Context& context);
int loginLogCommand(Context& context);
bool isCodeTableNoun(const std::string& noun);
int codeTableCommand(Context& context);
int patientCommand(Context& context);
int caseCommand(Context& context);
int chargeCommand(Context& context);
int ledgerCommand(Context& context);
int paymentCommand(Context& context);
int balanceCommand(Context& context);
int recalcCommand(Context& context);

}  // namespace vantrell::cli
