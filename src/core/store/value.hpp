#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "common/date.hpp"
#include "common/money.hpp"
#include "store/table_definition.hpp"

namespace vantrell::store {

// One stored value. monostate is the empty value (an unset date, number or
// logical); empty character fields hold an empty string.
using Value = std::variant<std::monostate, std::string, std::int64_t, double, Money, bool, Date,
                           DateTime>;

bool isEmptyValue(const Value& value);

// Converts a value to the alternative the field type keeps (std::string for
// character and memo, std::int64_t for integers, double, Money, bool, Date,
// DateTime), or throws InputError naming the field and the value.
Value coerceToField(const FieldDefinition& field, Value value);

// Reads a value typed as a clerk types it: numbers and money as decimals,
// logicals as true/false, T/F, yes/no, 1/0, dates as yyyy-mm-dd or mm/dd/yyyy.
Value parseFieldText(const FieldDefinition& field, std::string_view text);

// The value as text for export and display: ISO dates, "true"/"false", money with
// four decimals trimmed to two, doubles without noise ("12.5").
std::string valueToText(const Value& value);

}  // namespace vantrell::store
