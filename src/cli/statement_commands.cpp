#include "command_tree.hpp"

namespace vantrell::cli {

void addStatementCommands(CLI::App& app, Action& chosen) {
  CLI::App* statement =
      app.add_subcommand("statement", "patient statements: creating, managing and printing them");
  addStatementCreationVerbs(statement, chosen);
  addStatementPrintingVerbs(statement, chosen);
}

}  // namespace vantrell::cli
