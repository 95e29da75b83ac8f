#include "command_tree.hpp"

namespace vantrell::cli {

void addClaimManagementVerbs(CLI::App* /*claim*/, Action& /*chosen*/) {}

}  // namespace vantrell::cli
