#pragma once

#include <optional>
#include <string>

#include "store/connection.hpp"

namespace vantrell::companions {

// What the main program passes a companion program: "--server" (or "CS") and
// the practice's path. Anything else (an option such as --help, a second path)
// is no practice: the caller prints its usage rather than making a practice
// of that name.
inline std::optional<store::DataLocation> practiceArgument(int argc, char** argv) {
  store::DataLocation location;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--server" || argument == "CS")
      location.engine = store::Engine::Server;
    else if (argument.empty() || argument[0] == '-' || !location.path.empty())
      return std::nullopt;
    else
      location.path = argument;
  }
  if (location.path.empty()) return std::nullopt;
  return location;
}

}  // namespace vantrell::companions
