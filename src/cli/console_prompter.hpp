#pragma once

#include <iostream>
#include <string>
#include <vector>

#include "ui/prompter.hpp"

namespace vantrell::cli {

// The Prompter of the command line: the system's texts go to stderr unchanged;
// questions take the answer of --yes, or No when the run is not interactive.
class ConsolePrompter final : public ui::Prompter {
 public:
  explicit ConsolePrompter(bool answerYes) : answerYes_(answerYes) {}
  void inform(const std::string& text) override { std::cerr << text << '\n'; }
  void warn(const std::string& text) override { std::cerr << text << '\n'; }
  void error(const std::string& text) override { std::cerr << text << '\n'; }
  bool askYesNo(const std::string& text) override { return ask(text); }
  bool askOkCancel(const std::string& text) override { return ask(text); }
  int choose(const std::string& title, const std::string& text,
             const std::vector<std::string>&) override {
    std::cerr << title << '\n';
    if (!text.empty()) std::cerr << text << '\n';
    return answerYes_ ? 0 : -1;
  }
  std::optional<std::string> askText(const std::string& text, const std::string& initial) override {
    // The command line takes such answers as options; the initial value stands.
    std::cerr << text << '\n';
    if (initial.empty()) return std::nullopt;
    return initial;
  }

 private:
  bool ask(const std::string& text) {
    std::cerr << text << (answerYes_ ? " Yes\n" : " No\n");
    return answerYes_;
  }
  bool answerYes_;
};

}  // namespace vantrell::cli
