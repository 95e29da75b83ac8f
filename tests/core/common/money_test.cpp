#include <gtest/gtest.h>

#include "common/money.hpp"

namespace vantrell {
namespace {

// The worked cases of the one cent rounding: the whole part kept, the
// fraction rounded to the nearest cent, halves up on both sides of zero.
TEST(Money, CentRoundingTakesHalvesUp) {
  struct Row {
    const char* name;
    const char* input;
    const char* rounded;
  };
  const Row rows[] = {
      {"positive half", "0.125", "0.13"},
      {"positive half of a larger amount", "2.665", "2.67"},
      {"just below a positive half", "2.6649", "2.66"},
      {"just above a positive half", "2.6651", "2.67"},
      {"smallest positive half", "0.005", "0.01"},
      {"below the smallest half", "0.0049", "0.00"},
      {"negative half goes up, toward zero", "-0.125", "-0.12"},
      {"a typed payment of 10.125", "-10.125", "-10.12"},
      {"negative half of a larger amount", "-2.665", "-2.66"},
      {"odd cent negative half", "-0.135", "-0.13"},
      {"just past a negative half", "-2.6651", "-2.67"},
      {"just short of a negative half", "-2.6649", "-2.66"},
      {"smallest negative half", "-0.005", "0.00"},
      {"beyond the smallest negative half", "-0.0051", "-0.01"},
      {"whole amount", "100", "100.00"},
      {"whole negative amount", "-60", "-60.00"},
      {"cents already", "-19.99", "-19.99"},
  };
  for (const auto& row : rows) {
    const auto money = Money::parse(row.input);
    ASSERT_TRUE(money) << row.name;
    EXPECT_EQ(money->roundedToCents().toString(), row.rounded) << row.name;
  }
}

TEST(Money, ParsesWhatAClerkTypesAndRefusesTheRest) {
  EXPECT_EQ(Money::parse("1,234.56")->tenThousandths(), 12345600);
  EXPECT_EQ(Money::parse("$7.25")->tenThousandths(), 72500);
  EXPECT_EQ(Money::parse("-3.5")->tenThousandths(), -35000);
  EXPECT_EQ(Money::parse(" 12 ")->tenThousandths(), 120000);
  EXPECT_EQ(Money::parse("1,234,567.89")->tenThousandths(), 12345678900);
  EXPECT_EQ(Money::parse("12,345")->tenThousandths(), 123450000);
  // Thousands separators only between groups of three; nothing out of range.
  for (const char* bad :
       {"", "abc", "1.23456", "1.2.3", "--1", "12a", ",5", "1,2,3", "12,34", "1,2345", "1,234,56",
        "1,,234", "1234,567", "1e300", "999999999999999999999", "99999999999999999",
        "900000000000000.01", "100000000000", "-100,000,000,000.00"})
    EXPECT_FALSE(Money::parse(bad)) << bad;
  // The largest amount a double still stores to the ten-thousandth, and back.
  const auto largest = Money::parse("-99,999,999,999.99");
  ASSERT_TRUE(largest);
  EXPECT_EQ(largest->tenThousandths(), -999999999999900);
  EXPECT_EQ(Money::fromDouble(largest->toDouble()), *largest);
}

TEST(Money, StoredDoublesComeBackAtFourDecimals) {
  // 0.1 + 0.2 is not 0.3 as a double; read back it must be.
  EXPECT_EQ(Money::fromDouble(0.1 + 0.2), *Money::parse("0.3"));
  EXPECT_EQ(Money::fromDouble(-60.0).toString(), "-60.00");
  Money total;
  for (int i = 0; i < 10; ++i) total += Money::fromDouble(0.1);
  EXPECT_EQ(total, Money::fromCents(100));
  EXPECT_EQ(Money::fromCents(1000).times(1.0 / 3.0).toPreciseString(), "3.3333");
}

}  // namespace
}  // namespace vantrell
