#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vantrell {

// An amount of money as a signed count of ten-thousandths of a currency unit.
// Range: about +/- 922 trillion units; arithmetic beyond that is not checked.
// Converts to double only at the storage boundary, by explicit call.
class Money {
 public:
  static constexpr std::int64_t scale = 10000;

  constexpr Money() = default;
  static constexpr Money fromTenThousandths(std::int64_t units) { return Money(units); }
  static constexpr Money fromCents(std::int64_t cents) { return Money(cents * 100); }
  // Rounds the stored double to four decimals, half away from zero.
  static Money fromDouble(double value);
  // Parses a decimal as a clerk types it: "12", "-3.5", "1,234.56", "$7.25". At most
  // four decimals, thousands separators only between groups of three digits
  // ("1,2,3" is refused), within range; anything else is rejected (no value)
  // rather than guessed.
  static std::optional<Money> parse(std::string_view text);
  // The largest whole amount a value may have: beyond it is outside the range of money.
  // Amounts are stored as doubles, which keep every ten-thousandth only below about
  // 9e11; a larger amount would come back with other cents than were typed.
  static constexpr double largestAmount = 1.0e11;

  constexpr std::int64_t tenThousandths() const { return units_; }
  double toDouble() const { return static_cast<double>(units_) / scale; }
  constexpr bool isZero() const { return units_ == 0; }

  // The system's one cent rounding: to the nearest cent, halves up
  // (0.125 -> 0.13, -0.125 -> -0.12).
  Money roundedToCents() const;

  // "1234.50", "-0.07": two decimals, no grouping; the form of exports and messages.
  std::string toString() const;
  // All four decimals without trailing zeros beyond two: "12.3456", "12.30".
  std::string toPreciseString() const;
  // "1,234.50", "-0.07": thousands grouped, as messages show amounts.
  std::string toGroupedString() const;

  constexpr Money operator-() const { return Money(-units_); }
  constexpr Money abs() const { return Money(units_ < 0 ? -units_ : units_); }
  constexpr Money& operator+=(Money other) {
    units_ += other.units_;
    return *this;
  }
  constexpr Money& operator-=(Money other) {
    units_ -= other.units_;
    return *this;
  }
  friend constexpr Money operator+(Money a, Money b) { return Money(a.units_ + b.units_); }
  friend constexpr Money operator-(Money a, Money b) { return Money(a.units_ - b.units_); }
  // Multiplying by a quantity (units, a percentage factor) rounds to four decimals.
  Money times(double factor) const;
  friend constexpr auto operator<=>(Money, Money) = default;

 private:
  constexpr explicit Money(std::int64_t units) : units_(units) {}
  std::int64_t units_ = 0;
};

// Whether a stored number field holds an amount of money ("Amount", "Amount A",
// "Copayment Amount", "Annual Deductible", balances), which a clerk types to the
// cent, rather than a count, rate or percentage.
bool isAmountField(std::string_view fieldName);

}  // namespace vantrell
