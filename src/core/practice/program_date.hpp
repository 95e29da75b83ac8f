#pragma once

#include <string>

#include "common/date.hpp"
#include "ui/clock.hpp"
#include "ui/prompter.hpp"

namespace vantrell::practice {

// The date new entries default to. It lives only in memory: every start of the
// program begins again with today.
class ProgramDate {
 public:
  explicit ProgramDate(const ui::Clock& clock) : clock_(clock), value_(clock.today()) {}

  Date value() const { return value_; }

  // Takes the chosen date, warning first when it lies after today. The caller
  // checks the "Set Program Date" permission before offering the picker. An
  // empty date (the picker closed without one) leaves the program date as it is.
  void set(Date chosen, ui::Prompter& prompter);

  // "December 5, 2026": the start-up display of the main window.
  std::string mainWindowText() const;
  // "December 5, 2026": the date panel after a date was chosen.
  std::string panelText() const;

 private:
  const ui::Clock& clock_;
  Date value_;
};

}  // namespace vantrell::practice
