#include "common/date.hpp"

#include <charconv>
#include <stdexcept>

#include <fmt/format.h>

namespace vantrell {
namespace {

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

bool readNumber(std::string_view text, int& out) {
  if (text.empty()) return false;
  const auto* end = text.data() + text.size();
  auto [ptr, error] = std::from_chars(text.data(), end, out);
  return error == std::errc{} && ptr == end;
}

std::optional<std::chrono::year_month_day> makeDay(int year, int month, int day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31) return std::nullopt;
  const std::chrono::year_month_day ymd{std::chrono::year{year},
                                        std::chrono::month{static_cast<unsigned>(month)},
                                        std::chrono::day{static_cast<unsigned>(day)}};
  if (!ymd.ok()) return std::nullopt;
  return ymd;
}

}  // namespace

Date::Date(std::chrono::year_month_day day) : day_(day) {
  if (!day.ok()) throw std::invalid_argument("not a calendar date");
}

Date Date::fromYmd(int year, unsigned month, unsigned day) {
  return Date(std::chrono::year_month_day{std::chrono::year{year}, std::chrono::month{month},
                                          std::chrono::day{day}});
}

std::optional<Date> Date::parse(std::string_view text) {
  text = trimmed(text);
  if (text.empty()) return Date{};
  int year = 0;
  int month = 0;
  int day = 0;
  if (text.size() == 10 && text[4] == '-' && text[7] == '-') {
    if (!readNumber(text.substr(0, 4), year) || !readNumber(text.substr(5, 2), month) ||
        !readNumber(text.substr(8, 2), day))
      return std::nullopt;
  } else {
    const auto first = text.find('/');
    const auto second = first == std::string_view::npos ? first : text.find('/', first + 1);
    if (second == std::string_view::npos) return std::nullopt;
    const auto yearText = text.substr(second + 1);
    if (yearText.size() != 4 || !readNumber(text.substr(0, first), month) ||
        !readNumber(text.substr(first + 1, second - first - 1), day) ||
        !readNumber(yearText, year))
      return std::nullopt;
  }
  const auto ymd = makeDay(year, month, day);
  if (!ymd) return std::nullopt;
  return Date(*ymd);
}

std::chrono::year_month_day Date::value() const {
  if (!day_) throw std::logic_error("empty date has no value");
  return *day_;
}

std::string Date::toIso() const {
  if (!day_) return {};
  return fmt::format("{:04}-{:02}-{:02}", static_cast<int>(day_->year()),
                     static_cast<unsigned>(day_->month()), static_cast<unsigned>(day_->day()));
}

std::string Date::toMonthDayYear() const {
  if (!day_) return {};
  return fmt::format("{:02}/{:02}/{:04}", static_cast<unsigned>(day_->month()),
                     static_cast<unsigned>(day_->day()), static_cast<int>(day_->year()));
}

std::strong_ordering operator<=>(const Date& a, const Date& b) {
  if (a.isEmpty() || b.isEmpty()) return !a.isEmpty() <=> !b.isEmpty();
  return a.days() <=> b.days();
}

std::optional<DateTime> DateTime::parse(std::string_view text) {
  text = trimmed(text);
  if (text.empty()) return DateTime{};
  const auto date = Date::parse(text.substr(0, 10));
  if (!date || date->isEmpty()) return std::nullopt;
  int hour = 0;
  int minute = 0;
  int second = 0;
  if (text.size() > 10) {
    const auto time = text.substr(11);
    if ((text[10] != ' ' && text[10] != 'T') || time.size() < 8 || time[2] != ':' || time[5] != ':' ||
        !readNumber(time.substr(0, 2), hour) || !readNumber(time.substr(3, 2), minute) ||
        !readNumber(time.substr(6, 2), second) || hour > 23 || minute > 59 || second > 60)
      return std::nullopt;
    // Fractions of a second (as a server may print them) are dropped.
    if (time.size() > 8 && time[8] != '.') return std::nullopt;
  }
  return DateTime(std::chrono::sys_seconds{date->days()} + std::chrono::hours{hour} +
                  std::chrono::minutes{minute} + std::chrono::seconds{second});
}

std::chrono::sys_seconds DateTime::value() const {
  if (!instant_) throw std::logic_error("empty timestamp has no value");
  return *instant_;
}

Date DateTime::date() const {
  if (!instant_) return {};
  return Date(std::chrono::year_month_day{std::chrono::floor<std::chrono::days>(*instant_)});
}

std::string DateTime::toIso() const {
  if (!instant_) return {};
  const auto day = std::chrono::floor<std::chrono::days>(*instant_);
  const std::chrono::hh_mm_ss time{*instant_ - day};
  return fmt::format("{} {:02}:{:02}:{:02}", date().toIso(), time.hours().count(),
                     time.minutes().count(), time.seconds().count());
}

}  // namespace vantrell
