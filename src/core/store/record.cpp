#include "store/record.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include <fmt/format.h>

#include "store/errors.hpp"

namespace vantrell::store {
namespace {

std::size_t resolve(const TableDefinition& table, std::string_view fieldName) {
  const auto index = table.fieldIndex(fieldName);
  if (!index)
    throw InputError(fmt::format("The table {} has no field named \"{}\".", table.name(), fieldName));
  return *index;
}

}  // namespace

FieldRef::FieldRef(const TableDefinition& table, std::string_view fieldName)
    : index_(resolve(table, fieldName)) {}

Record::Record(const TableDefinition& table)
    : table_(&table), values_(table.fields().size()), modified_(table.fields().size(), false) {
  for (std::size_t i = 0; i < values_.size(); ++i) {
    const auto type = table.field(i).type;
    if (type == FieldType::Character || type == FieldType::Memo) values_[i] = std::string{};
  }
}

std::size_t Record::indexOf(std::string_view fieldName) const { return resolve(*table_, fieldName); }

const Value& Record::value(std::string_view fieldName) const { return values_[indexOf(fieldName)]; }

void Record::set(std::string_view fieldName, Value value) { setAt(indexOf(fieldName), std::move(value)); }

void Record::set(FieldRef field, Value value) { setAt(field.index(), std::move(value)); }

void Record::setAt(std::size_t index, Value value) {
  values_.at(index) = coerceToField(table_->field(index), std::move(value));
  modified_[index] = true;
}

void Record::setFromText(std::string_view fieldName, std::string_view text) {
  const auto index = indexOf(fieldName);
  values_[index] = parseFieldText(table_->field(index), text);
  modified_[index] = true;
}

void Record::load(std::size_t index, Value value) { values_.at(index) = std::move(value); }

bool Record::isEmpty(std::string_view fieldName) const { return isEmptyValue(value(fieldName)); }

std::string Record::text(std::string_view fieldName) const { return valueToText(value(fieldName)); }

std::int64_t Record::integer(std::string_view fieldName) const {
  const auto& stored = value(fieldName);
  if (const auto* number = std::get_if<std::int64_t>(&stored)) return *number;
  if (const auto* real = std::get_if<double>(&stored)) {
    // Whole-number reads of a stored double beyond 64 bits are nonsense data; clamp them.
    if (!std::isfinite(*real)) return 0;
    if (*real >= 9.2e18) return INT64_MAX;
    if (*real <= -9.2e18) return INT64_MIN;
    return static_cast<std::int64_t>(*real);
  }
  return 0;
}

double Record::number(std::string_view fieldName) const {
  const auto& stored = value(fieldName);
  if (const auto* real = std::get_if<double>(&stored)) return *real;
  if (const auto* number = std::get_if<std::int64_t>(&stored)) return static_cast<double>(*number);
  if (const auto* money = std::get_if<Money>(&stored)) return money->toDouble();
  return 0;
}

Money Record::money(std::string_view fieldName) const {
  const auto& stored = value(fieldName);
  if (const auto* money = std::get_if<Money>(&stored)) return *money;
  if (const auto* real = std::get_if<double>(&stored)) {
    if (!std::isfinite(*real) || std::abs(*real) > 9.0e14) throw InputError("The amount in " + std::string(fieldName) + " is out of range.");
    return Money::fromDouble(*real);
  }
  if (const auto* number = std::get_if<std::int64_t>(&stored))
    return Money::fromTenThousandths(*number * Money::scale);
  return Money{};
}

bool Record::logical(std::string_view fieldName) const {
  const auto* flag = std::get_if<bool>(&value(fieldName));
  return flag != nullptr && *flag;
}

Date Record::date(std::string_view fieldName) const {
  const auto& stored = value(fieldName);
  if (const auto* date = std::get_if<Date>(&stored)) return *date;
  if (const auto* stamp = std::get_if<DateTime>(&stored)) return stamp->date();
  return Date{};
}

DateTime Record::timestamp(std::string_view fieldName) const {
  const auto* stamp = std::get_if<DateTime>(&value(fieldName));
  return stamp != nullptr ? *stamp : DateTime{};
}

bool Record::hasModifications() const {
  return std::any_of(modified_.begin(), modified_.end(), [](bool changed) { return changed; });
}

void Record::clearModifications() { std::fill(modified_.begin(), modified_.end(), false); }

}  // namespace vantrell::store
