#pragma once

#include <optional>
#include <string>

#include "store/connection.hpp"

namespace vantrell::accounts {

// The next free eight-digit chart number: one more than the highest stored
// eight-digit number, "00000001" on a practice without one and after
// "99999999".
std::string nextNumericChartNumber(store::Connection& practice);

// The stem a name makes: three characters of the last name, two of the first,
// zeros to eight, upper case, and every character other than a digit or a
// letter A to Z made "0" (O'Neal, Al gives O0NAL000).
std::string chartNumberStem(const std::string& lastName, const std::string& firstName);

// The first free chart number from the name: the stem, then the stem with
// 001, 002 ... 999 in its last three places, then 0000 onward in its last
// four. No value when every candidate up to 9999 is taken.
std::optional<std::string> nameChartNumber(store::Connection& practice, const std::string& lastName,
                                           const std::string& firstName);

// Whether a patient or guarantor has this chart number (letter case ignored).
bool chartNumberExists(store::Connection& practice, const std::string& chartNumber);

}  // namespace vantrell::accounts
