#include "common/typing.hpp"

#include <array>
#include <cctype>
#include <string_view>

namespace vantrell {
namespace {

bool isLetter(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) != 0;
}
bool isDigit(char c) {
  return std::isdigit(static_cast<unsigned char>(c)) != 0;
}
char raised(char c) {
  return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}
char lowered(char c) {
  return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool separatesWords(char c) {
  return c == ' ' || c == '-' || c == '.' || c == '/' || c == ',';
}

}  // namespace

std::string capitalizeWords(const std::string& text) {
  std::string result = text;
  std::size_t wordStart = 0;
  for (std::size_t i = 0; i < result.size(); ++i) {
    if (separatesWords(result[i])) {
      wordStart = i + 1;
      continue;
    }
    if (!isLetter(result[i])) continue;
    const std::size_t inWord = i - wordStart;
    const bool first = inWord == 0;
    // O'Neal: one letter, an apostrophe, the name.
    const bool afterApostrophe =
        inWord == 2 && result[i - 1] == '\'' && isLetter(result[wordStart]);
    // McDonald: the letter after the Mc prefix.
    const bool afterMc = inWord == 2 && lowered(result[wordStart]) == 'm' &&
                         result[wordStart + 1] == 'c' && i + 1 < result.size() &&
                         isLetter(result[i + 1]);
    if (first || afterApostrophe || afterMc) result[i] = raised(result[i]);
  }
  return result;
}

std::string formatSocialSecurityNumber(const std::string& text) {
  std::string digits;
  for (const char c : text) {
    if (isDigit(c)) {
      digits += c;
    } else if (c != ' ' && c != '-') {
      return text;
    }
  }
  if (digits.size() != 9) return text;
  return digits.substr(0, 3) + "-" + digits.substr(3, 2) + "-" + digits.substr(5);
}

std::string placeDecimalPoint(const std::string& text) {
  std::string_view rest(text);
  std::string sign;
  if (!rest.empty() && (rest.front() == '-' || rest.front() == '+')) {
    if (rest.front() == '-') sign = "-";
    rest.remove_prefix(1);
  }
  if (rest.empty()) return text;
  for (const char c : rest) {
    if (!isDigit(c)) return text;
  }
  std::string digits(rest);
  while (digits.size() > 3 && digits.front() == '0') digits.erase(digits.begin());
  while (digits.size() < 3) digits.insert(digits.begin(), '0');
  return sign + digits.substr(0, digits.size() - 2) + "." + digits.substr(digits.size() - 2);
}

bool isNameOrAddressField(const std::string& field) {
  static constexpr std::array<std::string_view, 9> fields = {
      "Name",     "Last Name", "First Name", "Middle Initial", "Street 1",
      "Street 2", "City",      "Contact",    "Employer Name"};
  for (const auto name : fields) {
    if (field == name) return true;
  }
  return false;
}

}  // namespace vantrell
