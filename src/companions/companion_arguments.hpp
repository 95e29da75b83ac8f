#pragma once

#include <optional>
#include <string>

#include "store/connection.hpp"

namespace vantrell::companions {

// What the main program passes a companion program: "--server" (or "CS") and
// the practice's path.
inline std::optional<store::DataLocation> practiceArgument(int argc, char** argv) {
  store::DataLocation location;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--server" || argument == "CS") location.engine = store::Engine::Server;
    else location.path = argument;
  }
  if (location.path.empty()) return std::nullopt;
  return location;
}

}  // namespace vantrell::companions
