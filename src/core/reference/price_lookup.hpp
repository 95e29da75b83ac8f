#pragma once

#include <array>
#include <optional>
#include <string>

#include "common/money.hpp"
#include "store/connection.hpp"
#include "store/record.hpp"

namespace vantrell::reference {

// A procedure, payment or adjustment code by its Code 1, ignoring letter case.
std::optional<store::Record> findProcedureCode(store::Connection& practice, const std::string& code);

// The case's price code: an empty one becomes "A" on the case record (the
// caller posts the case). Returns the letter in use.
char casePriceCode(store::Record& caseRecord);

// The price of a code in the column of the letter (Amount A to Amount Z); a
// letter outside A to Z prices at 0.
Money priceOf(const store::Record& procedure, char priceCode);

// The amount of a line: the price, times the units when the practice option
// "Multiply Units Times Amt." is on, cent-rounded.
Money lineAmount(Money price, double units, bool multiplyUnitsTimesAmount);

// The four modifiers of a charge joined without separators, as allowed
// amounts are keyed.
std::string joinedModifiers(const std::array<std::string, 4>& modifiers);

// The allowed amount of a carrier for a procedure with those modifiers, when
// one is kept.
std::optional<Money> allowedAmount(store::Connection& practice, const std::string& carrier,
                                   const std::string& procedure, const std::string& modifiers);

}  // namespace vantrell::reference
