#pragma once

#include <map>
#include <stdexcept>
#include <optional>
#include <string>
#include <vector>

namespace vantrell::cli {

// Exit codes of vantrell-cli.
enum ExitCode : int { done = 0, refused = 1, usageError = 2, engineFailure = 3 };

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The parsed command line: global options (allowed anywhere), the noun and
// verb, plain arguments, command options (--chart C) and FIELD=VALUE pairs.
struct CommandLine {
  std::optional<std::string> root;
  std::optional<std::string> practice;
  bool server = false;
  std::optional<std::string> user;
  std::optional<std::string> password;
  bool yes = false;
  bool json = false;
  bool help = false;
  bool resetPractice = false;  // as F8 held at start-up
  bool resetRoot = false;      // as F7 held at start-up
  std::string noun;
  std::string verb;
  std::vector<std::string> arguments;
  std::map<std::string, std::string> options;
  std::vector<std::pair<std::string, std::string>> fields;

  bool has(const std::string& option) const { return options.count(option) != 0; }
  // Throws UsageError naming the bad argument.
  static CommandLine parse(const std::vector<std::string>& arguments);
};

}  // namespace vantrell::cli
