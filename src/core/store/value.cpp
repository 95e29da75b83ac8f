#include "store/value.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include <fmt/format.h>

#include "common/utf8.hpp"
#include "store/errors.hpp"
#include "store/names.hpp"

namespace vantrell::store {
namespace {

// A refused value as a message shows it: a line from a damaged file may be
// megabytes long, and its first characters are enough to find it. Enough are
// shown that a value a little too long for the widest field (a 128-character
// path) is named in full.
std::string shownValue(std::string_view text) {
  constexpr std::size_t shownCharacters = 200;
  std::size_t at = 0;
  for (std::size_t count = 0; at < text.size() && count < shownCharacters; ++count)
    at += std::max<std::size_t>(utf8CharacterLength(text.substr(at)), 1);
  if (at >= text.size()) return std::string(text);
  return std::string(text.substr(0, at)) + "...";
}

[[noreturn]] void refuse(const FieldDefinition& field, std::string_view shown, std::string_view why) {
  throw InputError(fmt::format("The value \"{}\" is not valid for the field {}: {}.",
                               shownValue(shown), field.name, why));
}

std::optional<double> parseDouble(std::string_view text) {
  text = trimRight(text);
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  double out = 0;
  const auto* end = text.data() + text.size();
  auto [ptr, error] = std::from_chars(text.data(), end, out);
  if (text.empty() || error != std::errc{} || ptr != end || !std::isfinite(out)) return std::nullopt;
  return out;
}

std::optional<bool> parseLogical(std::string_view text) {
  const std::string upper = upperAscii(trimRight(text));
  if (upper == "TRUE" || upper == "T" || upper == "YES" || upper == "Y" || upper == "1" ||
      upper == ".T.")
    return true;
  if (upper == "FALSE" || upper == "F" || upper == "NO" || upper == "N" || upper == "0" ||
      upper == ".F.")
    return false;
  return std::nullopt;
}

// Widths count characters, not bytes: "Peña" is four characters wide.
std::size_t characterCount(std::string_view text) {
  std::size_t count = 0;
  for (const char c : text) count += (static_cast<unsigned char>(c) & 0xC0u) != 0x80u ? 1 : 0;
  return count;
}

Value integerValue(const FieldDefinition& field, std::int64_t number) {
  if (number < std::numeric_limits<std::int32_t>::min() ||
      number > std::numeric_limits<std::int32_t>::max())
    refuse(field, std::to_string(number), "out of the range of a 32-bit integer");
  return number;
}

}  // namespace

bool isEmptyValue(const Value& value) {
  if (std::holds_alternative<std::monostate>(value)) return true;
  if (const auto* text = std::get_if<std::string>(&value)) return trimRight(*text).empty();
  if (const auto* date = std::get_if<Date>(&value)) return date->isEmpty();
  if (const auto* stamp = std::get_if<DateTime>(&value)) return stamp->isEmpty();
  return false;
}

Value coerceToField(const FieldDefinition& field, Value value) {
  if (std::holds_alternative<std::monostate>(value)) {
    if (field.type == FieldType::Character || field.type == FieldType::Memo) return std::string{};
    return value;
  }
  if (const auto* text = std::get_if<std::string>(&value)) {
    if (field.type == FieldType::Character || field.type == FieldType::Memo) {
      // Text is stored as UTF-8 on both engines; the server refuses anything
      // else and would store a NUL nowhere, so neither gets past this point.
      if (text->find('\0') != std::string::npos)
        throw InputError(fmt::format("The value for the field {} holds a NUL character.", field.name));
      if (const auto bad = firstInvalidUtf8(*text))
        throw InputError(fmt::format("The value for the field {} is not UTF-8 text (byte {} is 0x{:02X}).",
                                     field.name, *bad + 1, static_cast<unsigned char>((*text)[*bad])));
      std::string trimmed(trimRight(*text));
      if (field.type == FieldType::Character &&
          characterCount(trimmed) > static_cast<std::size_t>(field.width))
        throw InputError(
            fmt::format("The value \"{}\" is too long for the field {} ({} characters at most).",
                        shownValue(trimmed), field.name, field.width));
      return trimmed;
    }
    return parseFieldText(field, *text);
  }
  switch (field.type) {
    case FieldType::Character:
    case FieldType::Memo:
      return coerceToField(field, Value{valueToText(value)});
    case FieldType::Integer:
    case FieldType::AutoIncrement:
      if (const auto* number = std::get_if<std::int64_t>(&value)) return integerValue(field, *number);
      if (const auto* real = std::get_if<double>(&value)) {
        if (!std::isfinite(*real) || std::trunc(*real) != *real) refuse(field, valueToText(value), "not a whole number");
        if (std::abs(*real) > 2147483647.0) refuse(field, valueToText(value), "out of the range of a 32-bit integer");
        return integerValue(field, static_cast<std::int64_t>(*real));
      }
      if (const auto* flag = std::get_if<bool>(&value)) return std::int64_t{*flag ? 1 : 0};
      break;
    case FieldType::Double:
      if (const auto* real = std::get_if<double>(&value)) return *real;
      if (const auto* number = std::get_if<std::int64_t>(&value)) return static_cast<double>(*number);
      if (const auto* money = std::get_if<Money>(&value)) return money->toDouble();
      break;
    case FieldType::Money:
      if (const auto* money = std::get_if<Money>(&value)) return *money;
      if (const auto* real = std::get_if<double>(&value)) {
        if (!std::isfinite(*real) || std::abs(*real) > 9.0e14) refuse(field, valueToText(value), "too large an amount");
        return Money::fromDouble(*real);
      }
      if (const auto* number = std::get_if<std::int64_t>(&value)) {
        if (*number > 900000000000000 || *number < -900000000000000) refuse(field, valueToText(value), "too large an amount");
        return Money::fromTenThousandths(*number * Money::scale);
      }
      break;
    case FieldType::Logical:
      if (const auto* flag = std::get_if<bool>(&value)) return *flag;
      if (const auto* number = std::get_if<std::int64_t>(&value)) return *number != 0;
      break;
    case FieldType::Date:
      if (const auto* date = std::get_if<Date>(&value)) return *date;
      if (const auto* stamp = std::get_if<DateTime>(&value)) return stamp->date();
      break;
    case FieldType::Timestamp:
      if (const auto* stamp = std::get_if<DateTime>(&value)) return *stamp;
      if (const auto* date = std::get_if<Date>(&value)) {
        if (date->isEmpty()) return DateTime{};
        return DateTime(std::chrono::sys_seconds{date->days()});
      }
      break;
  }
  refuse(field, valueToText(value), fmt::format("a {} field cannot hold it", fieldTypeName(field.type)));
}

Value parseFieldText(const FieldDefinition& field, std::string_view text) {
  const std::string_view trimmed = trimRight(text);
  switch (field.type) {
    case FieldType::Character:
    case FieldType::Memo:
      return coerceToField(field, Value{std::string(text)});
    case FieldType::Integer:
    case FieldType::AutoIncrement: {
      if (trimmed.empty()) return std::monostate{};
      std::int64_t number = 0;
      std::string_view digits = trimmed;
      while (!digits.empty() && digits.front() == ' ') digits.remove_prefix(1);
      if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
      const auto* end = digits.data() + digits.size();
      auto [ptr, error] = std::from_chars(digits.data(), end, number);
      if (digits.empty() || error != std::errc{} || ptr != end) refuse(field, text, "not a whole number");
      return integerValue(field, number);
    }
    case FieldType::Double: {
      if (trimmed.empty()) return std::monostate{};
      // Amounts are typed to the cent and within the range of money; other
      // numbers (units, rates, percentages) may have more decimals.
      if (const auto money = Money::parse(trimmed)) {
        if (isAmountField(field.name) && money->tenThousandths() % 100 != 0)
          refuse(field, text, "an amount has at most two decimals");
        return money->toDouble();
      }
      if (const auto number = parseDouble(trimmed)) {
        if (std::abs(*number) >= Money::largestAmount) refuse(field, text, "beyond the range of money");
        if (isAmountField(field.name) && Money::fromDouble(*number).tenThousandths() % 100 != 0)
          refuse(field, text, "an amount has at most two decimals");
        return *number;
      }
      refuse(field, text, "not a number");
    }
    case FieldType::Money: {
      if (trimmed.empty()) return std::monostate{};
      if (const auto money = Money::parse(trimmed)) return *money;
      refuse(field, text, "not an amount with at most four decimals");
    }
    case FieldType::Logical: {
      if (trimmed.empty()) return std::monostate{};
      if (const auto flag = parseLogical(trimmed)) return *flag;
      refuse(field, text, "not true or false");
    }
    case FieldType::Date: {
      if (const auto date = Date::parse(trimmed)) return *date;
      refuse(field, text, "not a date (yyyy-mm-dd or mm/dd/yyyy)");
    }
    case FieldType::Timestamp: {
      if (const auto stamp = DateTime::parse(trimmed)) return *stamp;
      refuse(field, text, "not a date and time (yyyy-mm-dd hh:mm:ss)");
    }
  }
  refuse(field, text, "unknown field type");
}

std::string valueToText(const Value& value) {
  struct Visitor {
    std::string operator()(std::monostate) const { return {}; }
    std::string operator()(const std::string& text) const { return text; }
    std::string operator()(std::int64_t number) const { return std::to_string(number); }
    std::string operator()(double number) const { return fmt::format("{}", number); }
    std::string operator()(Money money) const { return money.toPreciseString(); }
    std::string operator()(bool flag) const { return flag ? "true" : "false"; }
    std::string operator()(const Date& date) const { return date.toIso(); }
    std::string operator()(const DateTime& stamp) const { return stamp.toIso(); }
  };
  return std::visit(Visitor{}, value);
}

}  // namespace vantrell::store
