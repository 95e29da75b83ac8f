#include "command_tree.hpp"

namespace vantrell::cli {

// Not written yet.
void addMaintenanceCommands(CLI::App& /*app*/, Action& /*chosen*/) {}

}  // namespace vantrell::cli
