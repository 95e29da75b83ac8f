#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "ui/prompter.hpp"

namespace vantrell::bench {

inline double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The person at the keyboard during a benchmark: every question gets the same
// answer, a choice the same button, a text field nothing; what the program
// says is printed as far as `shown` allows and counted.
class BenchPrompter final : public ui::Prompter {
 public:
  enum class Shown { Everything, AllButInformation, Nothing };
  explicit BenchPrompter(bool yes, int choice = 0, Shown shown = Shown::Everything)
      : yes_(yes), choice_(choice), shown_(shown) {}

  int choose(const std::string&, const std::string&, const std::vector<std::string>&) override {
    return choice_;
  }
  std::optional<std::string> askText(const std::string&, const std::string&) override {
    return std::nullopt;
  }
  int messages = 0;

 protected:
  void say(Severity severity, const std::string&, const std::string& text) override {
    ++messages;
    if (shown_ == Shown::Everything ||
        (shown_ == Shown::AllButInformation && severity != Severity::Information))
      fmt::print("  message: {}\n", text);
  }
  bool ask(Question, const std::string&, const std::string&) override { return yes_; }

 private:
  bool yes_;
  int choice_;
  Shown shown_;
};

}  // namespace vantrell::bench
