#include "command_tree.hpp"

namespace vantrell::cli {

void addStatementCreationVerbs(CLI::App* /*statement*/, Action& /*chosen*/) {}

void addQuickBalanceCommand(CLI::App& /*app*/, Action& /*chosen*/) {}

}  // namespace vantrell::cli
