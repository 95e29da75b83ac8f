#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "common/typing.hpp"

namespace vantrell {
namespace {

using Cases = std::vector<std::pair<std::string, std::string>>;

TEST(TypingTest, WordsAreCapitalisedAsNamesAndAddressesAreWritten) {
  const Cases cases = {
      {"o'neal", "O'Neal"},
      {"al", "Al"},
      {"mcdonald", "McDonald"},
      {"smith-jones", "Smith-Jones"},
      {"mary ann", "Mary Ann"},
      {"d'angelo", "D'Angelo"},
      {"123 main st. apt 4b", "123 Main St. Apt 4b"},
      {"st.louis", "St.Louis"},
      // What was typed in capitals is never lowered.
      {"SMITH", "SMITH"},
      {"McDONALD", "McDONALD"},
      {"JONES jr", "JONES Jr"},
      // An apostrophe inside a longer word is no name prefix.
      {"o'neal's don't", "O'Neal's Don't"},
      {"macy", "Macy"},
      {"mc", "Mc"},
      {"", ""},
  };
  for (const auto& [typed, stored] : cases) EXPECT_EQ(capitalizeWords(typed), stored) << typed;
}

TEST(TypingTest, NineDigitsBecomeAnSsnAndOtherTextStaysAsTyped) {
  const Cases cases = {
      {"123456789", "123-45-6789"},
      {"123 45 6789", "123-45-6789"},
      {"123-45-6789", "123-45-6789"},
      {"12345678", "12345678"},
      {"1234567890", "1234567890"},
      {"12345678x", "12345678x"},
      {"", ""},
  };
  for (const auto& [typed, stored] : cases)
    EXPECT_EQ(formatSocialSecurityNumber(typed), stored) << typed;
}

TEST(TypingTest, AmountsWithoutAPointAreReadAsCents) {
  const Cases cases = {
      {"4540", "45.40"},   {"5", "0.05"},    {"75", "0.75"},   {"100", "1.00"},
      {"-4540", "-45.40"}, {"+125", "1.25"}, {"0005", "0.05"}, {"45.4", "45.4"},
      {"45.", "45."},      {"", ""},         {"-", "-"},       {"12a", "12a"},
  };
  for (const auto& [typed, stored] : cases) EXPECT_EQ(placeDecimalPoint(typed), stored) << typed;
}

}  // namespace
}  // namespace vantrell
