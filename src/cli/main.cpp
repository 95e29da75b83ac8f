#include <iostream>
#include <string>
#include <vector>

#include "command_tree.hpp"
#include "context.hpp"
#include "store/errors.hpp"

namespace vantrell::cli {
namespace {

int run(std::vector<std::string> arguments) {
  GlobalOptions globals;
  // "CS" is the system's own server switch, and only as the very first
  // argument, so a chart or code named CS stays a value.
  if (!arguments.empty() && arguments.front() == "CS") {
    globals.server = true;
    arguments.erase(arguments.begin());
  }
  CommandTree tree(globals);
  try {
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    tree.app.parse(reversed);
  } catch (const CLI::CallForHelp& help) {
    return tree.app.exit(help, std::cout, std::cerr);
  } catch (const CLI::CallForAllHelp& help) {
    return tree.app.exit(help, std::cout, std::cerr);
  } catch (const CLI::ExtrasError& error) {
    // This version of CLI11 lists the left-over arguments in reverse; the tree
    // still holds them in the order given.
    const auto extras = tree.app.remaining(true);
    std::string listed;
    for (const auto& extra : extras) listed += (listed.empty() ? "" : " ") + extra;
    if (extras.empty())
      std::cerr << error.what();
    else
      std::cerr << (extras.size() > 1 ? "The following arguments were not expected: "
                                      : "The following argument was not expected: ")
                << listed;
    std::cerr << "\nRun with --help for more information.\n";
    return usageError;
  } catch (const CLI::ParseError& error) {
    std::cerr << error.what() << "\nRun with --help for more information.\n";
    return usageError;
  }
  if (!tree.chosen) {
    const auto nouns = tree.app.get_subcommands();
    if (nouns.empty())
      throw UsageError(
          "Name a command: vantrell-cli NOUN VERB. Run with --help for more information.");
    std::string verbs;
    for (const CLI::App* verb : nouns.front()->get_subcommands({}))
      verbs += (verbs.empty() ? "" : ", ") + verb->get_name();
    throw UsageError(nouns.front()->get_name() + " needs a verb: " + verbs + ".");
  }
  Context context(globals);
  return tree.chosen(context);
}

}  // namespace
}  // namespace vantrell::cli

int main(int argc, char** argv) {
  using namespace vantrell;
  try {
    return cli::run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const cli::Refused&) {
    return cli::refused;
  } catch (const cli::UsageError& error) {
    std::cerr << error.what() << '\n';
    return cli::usageError;
  } catch (const store::InputError& error) {
    std::cerr << error.what() << '\n';
    return cli::usageError;
  } catch (const store::RecordInUseError& error) {
    std::cerr << error.what() << '\n';
    return cli::refused;
  } catch (const store::DuplicateKeyError& error) {
    std::cerr << error.what() << '\n';
    return cli::refused;
  } catch (const store::ConnectionError& error) {
    std::cerr << error.what() << '\n' << error.location() << ": " << error.detail() << '\n';
    return cli::engineFailure;
  } catch (const std::exception& error) {
    std::cerr << error.what() << '\n';
    return cli::engineFailure;
  }
}
