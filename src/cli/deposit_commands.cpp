#include "command_tree.hpp"

namespace vantrell::cli {

void addDepositCommands(CLI::App& app, Action& chosen) {
  CLI::App* deposit =
      app.add_subcommand("deposit", "deposits and the payments applied from them");
  addDepositVerbs(deposit, chosen);
  addDepositApplicationVerbs(deposit, chosen);
}

}  // namespace vantrell::cli
