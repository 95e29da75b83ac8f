#pragma once

#include <deque>
#include <initializer_list>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "ui/prompter.hpp"

namespace vantrell::testing {

// Answers questions from a script and records every text it was shown, so a
// test can check the system's exact words and their order.
class ScriptedPrompter final : public ui::Prompter {
 public:
  ScriptedPrompter(std::initializer_list<bool> answers) : answers_(answers) {}

  int choose(const std::string& title, const std::string& text,
             const std::vector<std::string>& choices) override {
    captions_.push_back(title);
    std::string line = "choose: " + title + (text.empty() ? "" : "\n" + text);
    for (const auto& choice : choices) line += " [" + choice + "]";
    if (!choices_.empty()) {
      transcript_.push_back(std::move(line));
      const int picked = choices_.front();
      choices_.pop_front();
      return picked;
    }
    return answer(std::move(line)) ? 0 : -1;
  }
  // Answers to choose, in order (an index, or -1 to cancel).
  void scriptChoice(int index) { choices_.push_back(index); }
  // Answers to askText, in order; an empty optional cancels.
  void scriptText(std::optional<std::string> answer) { texts_.push_back(std::move(answer)); }
  std::optional<std::string> askText(const std::string& text, const std::string&) override {
    captions_.push_back("");
    transcript_.push_back("text: " + text);
    if (texts_.empty()) throw std::logic_error("unscripted text question: " + text);
    auto answer = texts_.front();
    texts_.pop_front();
    return answer;
  }
  const std::vector<std::string>& transcript() const { return transcript_; }
  // The caption of every message and question, in the transcript's order (empty where none).
  const std::vector<std::string>& captions() const { return captions_; }

 protected:
  void say(Severity severity, const std::string& caption, const std::string& text) override {
    captions_.push_back(caption);
    const char* kind = severity == Severity::Information ? "inform: "
                       : severity == Severity::Warning   ? "warn: "
                                                         : "error: ";
    transcript_.push_back(kind + text);
  }
  bool ask(Question question, const std::string& caption, const std::string& text) override {
    captions_.push_back(caption);
    return answer((question == Question::YesNo ? "ask: " : "ok/cancel: ") + text);
  }

 private:
  bool answer(std::string line) {
    transcript_.push_back(std::move(line));
    if (answers_.empty()) throw std::logic_error("unscripted question: " + transcript_.back());
    const bool result = answers_.front();
    answers_.pop_front();
    return result;
  }

  std::deque<bool> answers_;
  std::deque<std::optional<std::string>> texts_;
  std::deque<int> choices_;
  std::vector<std::string> transcript_;
  std::vector<std::string> captions_;
};

}  // namespace vantrell::testing
