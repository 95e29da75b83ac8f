#include "command_tree.hpp"

namespace vantrell::cli {

void addDepositApplicationVerbs(CLI::App* /*deposit*/, Action& /*chosen*/) {}

}  // namespace vantrell::cli
