#include "command_line.hpp"

#include <set>

namespace vantrell::cli {
namespace {

// Command options that take a value; a later command adds its own here.
const std::set<std::string> valueOptions = {"--chart", "--case", "--payer", "--filter", "--order", "--name", "--path", "--date", "--document"};
// Command flags without a value.
const std::set<std::string> flagOptions = {"--billing-service", "--estimate", "--estimates", "--complete"};

}  // namespace

CommandLine CommandLine::parse(const std::vector<std::string>& arguments) {
  CommandLine line;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const auto value = [&]() -> std::string {
      if (i + 1 >= arguments.size()) throw UsageError("The option " + argument + " needs a value.");
      return arguments[++i];
    };
    if (argument == "--root") line.root = value();
    else if (argument == "--practice") line.practice = value();
    else if (argument == "--server" || argument == "CS") line.server = true;
    else if (argument == "--user") line.user = value();
    else if (argument == "--password") line.password = value();
    else if (argument == "--yes") line.yes = true;
    else if (argument == "--json") line.json = true;
    else if (argument == "--help" || argument == "-h") line.help = true;
    else if (argument == "--reset-practice") line.resetPractice = true;
    else if (argument == "--reset-root") line.resetRoot = true;
    else if (valueOptions.count(argument) != 0) line.options[argument] = value();
    else if (flagOptions.count(argument) != 0) line.options[argument] = "true";
    else if (argument.rfind("--", 0) == 0) throw UsageError("Unknown option " + argument + ".");
    else if (line.noun.empty()) line.noun = argument;
    else if (line.verb.empty()) line.verb = argument;
    else if (const auto equals = argument.find('='); equals != std::string::npos && equals > 0)
      line.fields.emplace_back(argument.substr(0, equals), argument.substr(equals + 1));
    else line.arguments.push_back(argument);
  }
  return line;
}

}  // namespace vantrell::cli
