#include <iostream>
#include <map>
#include <memory>
#include <set>

#include <fmt/format.h>

#include "command_tree.hpp"
#include "context.hpp"

namespace vantrell::cli {
namespace {

std::string joined(const std::vector<std::string>& words) {
  std::string out;
  for (const auto& word : words) out += (out.empty() ? "" : " ") + word;
  return out;
}

// Per command path ("", "practice", "practice create"): the words that may follow.
// The script keys them with a leading "_", as bash allows no empty key.
void collect(const CLI::App& command, const std::string& path,
             std::map<std::string, std::vector<std::string>>& words,
             std::set<std::string>& valued) {
  auto& here = words[path];
  for (const CLI::App* sub :
       command.get_subcommands([](const CLI::App* sub) { return !sub->get_group().empty(); })) {
    here.push_back(sub->get_name());
    collect(*sub, path.empty() ? sub->get_name() : path + " " + sub->get_name(), words, valued);
  }
  for (const CLI::Option* option : command.get_options()) {
    for (const auto& name : option->get_lnames()) {
      here.push_back("--" + name);
      if (option->get_expected_max() != 0) valued.insert("--" + name);
    }
  }
}

// The script, made from the tree itself so that it knows every command as built.
std::string bashCompletion(const CLI::App& app) {
  std::map<std::string, std::vector<std::string>> words;
  std::set<std::string> valued;
  collect(app, "", words, valued);
  std::vector<std::string> globals;
  for (const CLI::Option* option : app.get_options()) {
    for (const auto& name : option->get_lnames()) globals.push_back("--" + name);
  }
  std::string table;
  for (const auto& [path, list] : words)
    table += fmt::format("  [\"_{}\"]=\"{}\"\n", path, joined(list));
  return fmt::format(
      R"(# bash completion for vantrell-cli, written by "vantrell-cli completion bash"
declare -gA _vantrell_cli_words=(
{})
_vantrell_cli_valued=" {} "
_vantrell_cli_globals="{}"
_vantrell_cli() {{
  local cur=${{COMP_WORDS[COMP_CWORD]}} prev=${{COMP_WORDS[COMP_CWORD-1]}} path="" word i skip=0
  for ((i = 1; i < COMP_CWORD; i++)); do
    word=${{COMP_WORDS[i]}}
    if ((skip)); then skip=0; continue; fi
    case "$_vantrell_cli_valued" in *" $word "*) skip=1; continue ;; esac
    case "$word" in -*|*=*) continue ;; esac
    case " ${{_vantrell_cli_words[_$path]}} " in
      *" $word "*) path="${{path:+$path }}$word" ;;
    esac
  done
  case "$prev" in
    --root|--practice|--path) COMPREPLY=($(compgen -f -- "$cur")); return ;;
  esac
  case "$_vantrell_cli_valued" in *" $prev "*) COMPREPLY=(); return ;; esac
  local offered=${{_vantrell_cli_words[_$path]}}
  # Global options are taken after any command.
  [ -n "$path" ] && offered+=" ${{_vantrell_cli_globals}}"
  COMPREPLY=($(compgen -W "$offered" -- "$cur"))
}}
complete -o default -F _vantrell_cli vantrell-cli
)",
      table, joined({valued.begin(), valued.end()}), joined(globals));
}

}  // namespace

void addCompletionCommand(CLI::App& app, Action& chosen) {
  // Hidden: not a command of the practice, only the shell's.
  CLI::App* completion =
      app.add_subcommand("completion", "print a completion script for the shell")->group("");
  auto shell = std::make_shared<std::string>();
  completion->add_option("SHELL", *shell, "bash")->required()->check(CLI::IsMember({"bash"}));
  // The lambda keeps the option's string alive for as long as the parser may write it.
  onRun(completion, chosen, [&app, shell](Context&) {
    std::cout << bashCompletion(app);
    return done;
  });
}

}  // namespace vantrell::cli
