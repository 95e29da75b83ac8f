#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace vantrell::cli {

// Exit codes of vantrell-cli.
enum ExitCode : int { done = 0, refused = 1, usageError = 2, engineFailure = 3 };

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The options every command takes, wherever they stand on the line.
struct GlobalOptions {
  std::optional<std::string> root;
  std::optional<std::string> practice;
  bool server = false;
  std::optional<std::string> user;
  std::optional<std::string> password;  // "-": one line of standard input
  bool yes = false;
  bool json = false;
  bool resetPractice = false;  // as F8 held at start-up
  bool resetRoot = false;      // as F7 held at start-up
};

class Context;
// A verb with its arguments bound, run once the whole line has been read.
using Action = std::function<int(Context&)>;
// FIELD=VALUE pairs in the order given; the field is a display name.
using Fields = std::vector<std::pair<std::string, std::string>>;

// A whole decimal number, read in full ("12x", "1.5", "0x10" and " 7" are
// refused), from minimum to maximum. Throws UsageError naming the value and
// the argument it was given for.
std::int64_t parseWholeNumber(const std::string& text, const std::string& argument,
                              std::int64_t minimum = 1,
                              std::int64_t maximum = std::numeric_limits<std::int64_t>::max());

// One line of standard input without its line break: where a password comes
// from when the line says "-", out of sight of other users of the machine.
std::string readStandardInputLine();

}  // namespace vantrell::cli
