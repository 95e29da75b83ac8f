#include "command_tree.hpp"

namespace vantrell::cli {

void addClaimCreationVerbs(CLI::App* /*claim*/, Action& /*chosen*/) {}

}  // namespace vantrell::cli
