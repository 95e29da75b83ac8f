#include "command_tree.hpp"

namespace vantrell::cli {

// The electronic claim receivers are a code table: `vantrell-cli receiver
// add|edit|delete|show|list` comes with the other code tables
// (reference_commands.cpp), with the receiver window's checks and its delete
// check; nothing more is added here.
void addReceiverCommands(CLI::App& /*app*/, Action& /*chosen*/) {}

}  // namespace vantrell::cli
