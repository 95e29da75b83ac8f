#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/date.hpp"
#include "practice/options.hpp"
#include "store/connection.hpp"
#include "ui/clock.hpp"
#include "ui/prompter.hpp"

namespace vantrell::maintenance {

// The tutorial practice is typed in through the windows a clerk uses, so it
// keeps every rule they keep. Each question is answered Yes; an error or a
// warning means the tutorial broke a rule, and the installation stops with it.
class TutorialPrompter final : public ui::Prompter {
 public:
  int choose(const std::string& title, const std::string&,
             const std::vector<std::string>&) override {
    keep("Unexpected choice: " + title);
    return -1;
  }
  std::optional<std::string> askText(const std::string& text, const std::string&) override {
    keep("Unexpected question: " + text);
    return std::nullopt;
  }

  // Throws std::runtime_error naming the step, with the first message the
  // windows gave, or saying it was refused when a window said no silently.
  void require(bool done, const std::string& step);
  // A warning the next steps may give without it meaning a broken rule; empty for none.
  void tolerate(std::string warning) { tolerated_ = std::move(warning); }

 protected:
  void say(Severity severity, const std::string&, const std::string& text) override {
    if (severity == Severity::Error || (severity == Severity::Warning && text != tolerated_))
      keep(text);
  }
  bool ask(Question, const std::string&, const std::string&) override { return true; }

 private:
  void keep(const std::string& text) {
    if (!message_) message_ = text;
  }
  std::optional<std::string> message_;
  std::string tolerated_;
};

// Where the tutorial's story begins and ends: the ledger runs from the first
// day to the last, whatever the workstation's calendar says.
inline const Date tutorialFirstDay = Date::fromYmd(2026, 7, 1);
inline const Date tutorialLastDay = Date::fromYmd(2026, 11, 30);

// Patients, guarantors and their cases through the patient and case windows,
// then their visits, insurance payments, write-offs, deductibles and patient
// payments through the transaction entry window, day by day. The code tables
// must hold the tutorial's codes already. The same seed gives the same practice.
void enterTutorialAccounts(store::Connection& practice, const practice::Options& options,
                           TutorialPrompter& prompter, ui::FixedClock& clock);

}  // namespace vantrell::maintenance
