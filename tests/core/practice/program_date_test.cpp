#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "practice/program_date.hpp"
#include "support/scripted_prompter.hpp"

namespace vantrell::practice {
namespace {

using vantrell::testing::ScriptedPrompter;

DateTime at(const char* text) { return *DateTime::parse(text); }

TEST(ProgramDate, StartsAtTodayAndShowsTheFullMonthName) {
  ui::FixedClock clock(at("2026-12-05 23:59:59"));
  const ProgramDate programDate(clock);
  EXPECT_EQ(programDate.value(), Date::fromYmd(2026, 12, 5));
  EXPECT_EQ(programDate.mainWindowText(), "December 5, 2026");
  EXPECT_EQ(programDate.panelText(), "December 5, 2026");

  ui::FixedClock january(at("2027-01-31 08:00:00"));
  EXPECT_EQ(ProgramDate(january).panelText(), "January 31, 2027");
}

TEST(ProgramDate, AFutureDateIsWarnedAboutAndTakenAllTheSame) {
  ui::FixedClock clock(at("2026-12-05 10:00:00"));
  ProgramDate programDate(clock);
  ScriptedPrompter prompter({});

  programDate.set(Date::fromYmd(2026, 9, 1), prompter);
  EXPECT_EQ(programDate.panelText(), "September 1, 2026");
  programDate.set(Date::fromYmd(2026, 12, 5), prompter);
  EXPECT_TRUE(prompter.transcript().empty());

  programDate.set(Date::fromYmd(2026, 12, 6), prompter);
  EXPECT_EQ(programDate.value(), Date::fromYmd(2026, 12, 6));
  EXPECT_EQ(prompter.transcript(), std::vector<std::string>{"warn: The date you have selected is a future date"});

  // "Future" is measured against today when the date is chosen, not at start-up.
  clock.set(at("2026-12-07 09:00:00"));
  programDate.set(Date::fromYmd(2026, 12, 6), prompter);
  EXPECT_EQ(prompter.transcript().size(), 1U);

  // A picker closed without a date leaves the program date alone.
  programDate.set(Date{}, prompter);
  EXPECT_EQ(programDate.mainWindowText(), "December 6, 2026");
}

}  // namespace
}  // namespace vantrell::practice
