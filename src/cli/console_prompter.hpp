#pragma once

#include <iostream>
#include <string>
#include <vector>

#include "ui/prompter.hpp"

namespace vantrell::cli {

// The Prompter of the command line: the system's texts go to stderr unchanged,
// after their caption;
// questions take the answer of --yes, or No when the run is not interactive.
class ConsolePrompter final : public ui::Prompter {
 public:
  explicit ConsolePrompter(bool answerYes) : answerYes_(answerYes) {}
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

 protected:
  void say(Severity, const std::string& caption, const std::string& text) override {
    std::cerr << captioned(caption, text) << '\n';
  }
  bool ask(Question, const std::string& caption, const std::string& text) override {
    std::cerr << captioned(caption, text) << (answerYes_ ? " Yes\n" : " No\n");
    return answerYes_;
  }

 private:
  // The caption, where there is one, goes before the text as a box's title would.
  static std::string captioned(const std::string& caption, const std::string& text) {
    return caption.empty() ? text : caption + ": " + text;
  }
  bool answerYes_;
};

}  // namespace vantrell::cli
