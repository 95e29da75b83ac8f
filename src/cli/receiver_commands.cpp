#include "command_tree.hpp"

namespace vantrell::cli {

void addReceiverCommands(CLI::App& /*app*/, Action& /*chosen*/) {}

}  // namespace vantrell::cli
