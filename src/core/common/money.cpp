#include "common/money.hpp"

#include <cmath>
#include <cstdlib>

#include <fmt/format.h>

namespace vantrell {

Money Money::fromDouble(double value) {
  return Money(static_cast<std::int64_t>(std::llround(value * scale)));
}

std::optional<Money> Money::parse(std::string_view text) {
  std::string digits;
  bool negative = false;
  bool seenPoint = false;
  int decimals = 0;
  // Digits since the last thousands separator (or the start), and whether one was seen.
  int groupDigits = 0;
  bool grouped = false;
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  if (i < text.size() && text[i] == '$') ++i;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      if (seenPoint && ++decimals > 4) return std::nullopt;
      if (!seenPoint) ++groupDigits;
      digits.push_back(c);
    } else if (c == '.' && !seenPoint) {
      if (grouped && groupDigits != 3) return std::nullopt;
      seenPoint = true;
    } else if (c == ',' && !seenPoint) {
      // "1,234" groups thousands; "1,2,3" or "12,34" is not a number anyone meant.
      if (groupDigits == 0 || groupDigits > 3 || (grouped && groupDigits != 3)) return std::nullopt;
      grouped = true;
      groupDigits = 0;
    } else if (c == ' ') {
      break;
    } else {
      return std::nullopt;
    }
  }
  if (grouped && !seenPoint && groupDigits != 3) return std::nullopt;
  for (; i < text.size(); ++i) {
    if (text[i] != ' ') return std::nullopt;
  }
  if (digits.empty()) return std::nullopt;
  for (; decimals < 4; ++decimals) digits.push_back('0');
  const std::size_t firstSignificant = digits.find_first_not_of('0');
  // More than 18 significant digits would not even fit the 64-bit count.
  if (firstSignificant != std::string::npos && digits.size() - firstSignificant > 18)
    return std::nullopt;
  const std::int64_t units = std::strtoll(digits.c_str(), nullptr, 10);
  if (static_cast<double>(units) >= largestAmount * scale) return std::nullopt;
  return Money(negative ? -units : units);
}

bool isAmountField(std::string_view name) {
  const auto has = [&](std::string_view part) { return name.find(part) != std::string_view::npos; };
  return has("Amount") || has("Balance") || name == "Annual Deductible" || name == "Lab Charges" ||
         name == "Cost of Service/Product";
}

Money Money::roundedToCents() const {
  // The whole part is kept and the fraction rounded to cents. A positive half
  // cent is nudged up before rounding (0.125 -> 0.13); a negative one is not,
  // and rounding to the nearest cent takes a half up, toward zero
  // (-0.125 -> -0.12). In ten-thousandths that is floor((units + 50) / 100).
  const std::int64_t shifted = units_ + 50;
  std::int64_t cents = shifted / 100;
  if (shifted % 100 != 0 && shifted < 0) --cents;
  return Money(cents * 100);
}

Money Money::times(double factor) const {
  return Money(static_cast<std::int64_t>(std::llround(static_cast<double>(units_) * factor)));
}

std::string Money::toString() const {
  const Money cents = roundedToCents();
  const std::int64_t magnitude = cents.units_ < 0 ? -cents.units_ : cents.units_;
  return fmt::format("{}{}.{:02}", cents.units_ < 0 ? "-" : "", magnitude / scale,
                     (magnitude % scale) / 100);
}

std::string Money::toGroupedString() const {
  std::string plain = toString();
  const bool negative = !plain.empty() && plain[0] == '-';
  if (negative) plain.erase(0, 1);
  const std::size_t point = plain.find('.');
  std::string grouped = plain.substr(point);
  for (std::size_t digits = 0, i = point; i > 0; --i, ++digits) {
    if (digits > 0 && digits % 3 == 0) grouped.insert(0, 1, ',');
    grouped.insert(0, 1, plain[i - 1]);
  }
  return (negative ? "-" : "") + grouped;
}

std::string Money::toPreciseString() const {
  const std::int64_t magnitude = units_ < 0 ? -units_ : units_;
  std::string fraction = fmt::format("{:04}", magnitude % scale);
  while (fraction.size() > 2 && fraction.back() == '0') fraction.pop_back();
  return fmt::format("{}{}.{}", units_ < 0 ? "-" : "", magnitude / scale, fraction);
}

}  // namespace vantrell
