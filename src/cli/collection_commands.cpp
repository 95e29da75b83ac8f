#include "command_tree.hpp"

namespace vantrell::cli {

// Not written yet.
void addCollectionCommands(CLI::App& /*app*/, Action& /*chosen*/) {}

}  // namespace vantrell::cli
