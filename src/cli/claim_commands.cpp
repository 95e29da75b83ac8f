#include "command_tree.hpp"

namespace vantrell::cli {

void addClaimCommands(CLI::App& app, Action& chosen) {
  CLI::App* claim = app.add_subcommand("claim", "insurance claims: creating, managing, printing and sending them");
  addClaimCreationVerbs(claim, chosen);
  addClaimManagementVerbs(claim, chosen);
  addClaimOutputVerbs(claim, chosen);
  addClaimFormVerbs(claim, chosen);
}

}  // namespace vantrell::cli
