#include "accounts/chart_number.hpp"

#include <fmt/format.h>

#include "store/names.hpp"
#include "store/table.hpp"

namespace vantrell::accounts {
namespace {

bool isEightDigits(const std::string& chart) {
  if (chart.size() != 8) return false;
  for (const char c : chart) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// The first `count` characters of a UTF-8 name: a letter with an accent is one
// character (and becomes one "0"), not the two bytes it is stored in.
std::string leadingCharacters(const std::string& name, std::size_t count) {
  std::string result;
  std::size_t taken = 0;
  for (std::size_t i = 0; i < name.size() && taken < count; ++taken) {
    const auto lead = static_cast<unsigned char>(name[i]);
    const std::size_t length = lead < 0x80          ? 1
                               : (lead >> 5) == 0x6 ? 2
                               : (lead >> 4) == 0xE ? 3
                                                    : 4;
    result += length == 1 ? name[i] : '\x01';  // any non-ASCII character is replaced below
    i += length;
  }
  return result;
}

}  // namespace

bool chartNumberExists(store::Connection& practice, const std::string& chartNumber) {
  store::Table patients = practice.openTable("QVPAT");
  patients.setOrder("Primary");
  return patients.seek({store::Value{store::upperAscii(chartNumber)}}).has_value();
}

std::string nextNumericChartNumber(store::Connection& practice) {
  // Walk down from "99999999" in key order to the highest eight-digit number;
  // anything else (names, short numbers) is stepped over.
  auto rows = practice.driver().query(
      "SELECT UPPER(\"Chart Number\") FROM \"QVPAT\" WHERE UPPER(\"Chart Number\") <= ? "
      "ORDER BY UPPER(\"Chart Number\") DESC",
      {store::Value{std::string("99999999")}});
  while (rows->next()) {
    const std::string read = store::valueToText(rows->column(0, store::FieldType::Character));
    const std::string chart(store::trimRight(read));
    if (!isEightDigits(chart)) continue;
    // Past the last number the count starts over at the first.
    if (chart == "99999999") return "00000001";
    return fmt::format("{:08d}", std::stol(chart) + 1);
  }
  return "00000001";
}

std::string chartNumberStem(const std::string& lastName, const std::string& firstName) {
  std::string stem = store::upperAscii(leadingCharacters(lastName, 3) +
                                       leadingCharacters(firstName, 2) + "00000000");
  stem.resize(8);
  for (char& c : stem) {
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z'))) c = '0';
  }
  return stem;
}

std::optional<std::string> nameChartNumber(store::Connection& practice, const std::string& lastName,
                                           const std::string& firstName) {
  std::string candidate = chartNumberStem(lastName, firstName);
  int counter = 9000;
  std::size_t prefixLength = 5;
  std::size_t suffixLength = 3;
  while (chartNumberExists(practice, candidate)) {
    ++counter;
    if (counter == 10000) {
      prefixLength = 4;
      suffixLength = 4;
    }
    // The counter's leading digit only marks the range: 9001 gives "001",
    // 10000 gives "0000".
    if (counter > 19999) return std::nullopt;
    candidate = candidate.substr(0, prefixLength) + std::to_string(counter).substr(1, suffixLength);
  }
  return candidate;
}

}  // namespace vantrell::accounts
