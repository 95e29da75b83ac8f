#include "command_tree.hpp"

namespace vantrell::cli {

void addClaimOutputVerbs(CLI::App* /*claim*/, Action& /*chosen*/) {}

}  // namespace vantrell::cli
