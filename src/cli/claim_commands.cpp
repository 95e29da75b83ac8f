#include "command_tree.hpp"

namespace vantrell::cli {

void addClaimCommands(CLI::App& app, Action& chosen) {
  CLI::App* claim = app.add_subcommand("claim", "insurance claims: creating and managing them");
  addClaimCreationVerbs(claim, chosen);
  addClaimManagementVerbs(claim, chosen);
}

}  // namespace vantrell::cli
