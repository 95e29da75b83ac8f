#pragma once

#include <chrono>
#include <compare>
#include <optional>
#include <string>
#include <string_view>

namespace vantrell {

// A calendar date that may be empty, as date fields of the practice tables are.
class Date {
 public:
  Date() = default;  // empty
  explicit Date(std::chrono::year_month_day day);
  static Date fromYmd(int year, unsigned month, unsigned day);
  // "yyyy-mm-dd" or "mm/dd/yyyy"; an empty or blank text is the empty date.
  // Returns no value for anything else, including impossible days (02/30/2026).
  static std::optional<Date> parse(std::string_view text);

  bool isEmpty() const { return !day_.has_value(); }
  // Throws std::logic_error when empty: callers check isEmpty first.
  std::chrono::year_month_day value() const;
  std::chrono::sys_days days() const { return std::chrono::sys_days{value()}; }

  std::string toIso() const;            // "2026-12-05", "" when empty
  std::string toMonthDayYear() const;   // "12/05/2026", "" when empty

  friend bool operator==(const Date&, const Date&) = default;
  // Empty sorts before every date, as empty keys do.
  friend std::strong_ordering operator<=>(const Date& a, const Date& b);

 private:
  std::optional<std::chrono::year_month_day> day_;
};

// A date and time to the second (timestamp fields), possibly empty.
class DateTime {
 public:
  DateTime() = default;
  explicit DateTime(std::chrono::sys_seconds instant) : instant_(instant) {}
  // "yyyy-mm-dd hh:mm:ss" (or with 'T'); a date alone means midnight.
  static std::optional<DateTime> parse(std::string_view text);

  bool isEmpty() const { return !instant_.has_value(); }
  std::chrono::sys_seconds value() const;
  Date date() const;
  std::string toIso() const;  // "2026-12-05 14:07:37", "" when empty

  friend bool operator==(const DateTime&, const DateTime&) = default;

 private:
  std::optional<std::chrono::sys_seconds> instant_;
};

}  // namespace vantrell
