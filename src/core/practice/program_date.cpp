#include "practice/program_date.hpp"

#include <array>

#include <fmt/format.h>

namespace vantrell::practice {
namespace {

// Spelled out here rather than through the locale, so every workstation shows
// the same text.
constexpr std::array<const char*, 12> monthNames = {"January", "February", "March",     "April",
                                                    "May",     "June",     "July",      "August",
                                                    "September", "October", "November", "December"};

std::string monthDayYear(Date date) {
  if (date.isEmpty()) return {};
  const auto day = date.value();
  return fmt::format("{} {}, {:04}", monthNames.at(static_cast<unsigned>(day.month()) - 1),
                     static_cast<unsigned>(day.day()), static_cast<int>(day.year()));
}

}  // namespace

void ProgramDate::set(Date chosen, ui::Prompter& prompter) {
  if (chosen.isEmpty()) return;
  if (chosen > clock_.today()) prompter.warn("The date you have selected is a future date");
  value_ = chosen;
}

std::string ProgramDate::mainWindowText() const { return monthDayYear(value_); }

std::string ProgramDate::panelText() const { return monthDayYear(value_); }

}  // namespace vantrell::practice
