#include "command_tree.hpp"

namespace vantrell::cli {

void addDepositVerbs(CLI::App* /*deposit*/, Action& /*chosen*/) {}

}  // namespace vantrell::cli
