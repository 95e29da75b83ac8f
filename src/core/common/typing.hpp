#pragma once

#include <string>

namespace vantrell {

// What the practice's options do to text as it is typed into a window.
struct TypingRules {
  bool capitalizeWords = false;    // names and addresses
  bool formatSsn = false;          // nine digits become 123-45-6789
  bool placeDecimalPoint = false;  // an amount without a point is in cents
};

// Raises the first letter of every word (after a space, a hyphen, a period or
// a slash), the letter after a one-letter prefix and an apostrophe (O'Neal,
// D'Angelo) and the letter after "Mc" (McDonald). Never lowers a letter: what
// the person typed in capitals stays so.
std::string capitalizeWords(const std::string& text);

// Nine digits, however separated, as 123-45-6789; anything else as typed.
std::string formatSocialSecurityNumber(const std::string& text);

// An amount typed as whole digits (with a sign) read as cents: 4540 is 45.40,
// 5 is 0.05. With a point, or not a plain number, as typed.
std::string placeDecimalPoint(const std::string& text);

// Whether a field of a patient, guarantor or code holds a name or an address.
bool isNameOrAddressField(const std::string& field);

}  // namespace vantrell
