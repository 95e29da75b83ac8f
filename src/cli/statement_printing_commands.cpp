#include "command_tree.hpp"

namespace vantrell::cli {

void addStatementPrintingVerbs(CLI::App* /*statement*/, Action& /*chosen*/) {}

}  // namespace vantrell::cli
