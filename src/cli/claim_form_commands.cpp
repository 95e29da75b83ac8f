#include "command_tree.hpp"

namespace vantrell::cli {

void addClaimFormVerbs(CLI::App* /*claim*/, Action& /*chosen*/) {}

}  // namespace vantrell::cli
