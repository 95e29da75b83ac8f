#include <gtest/gtest.h>

#include "common/money.hpp"

namespace vantrell {
namespace {

TEST(Money, CentRoundingTakesHalvesUpInMagnitude) {
  struct Row {
    const char* input;
    const char* rounded;
  };
  const Row rows[] = {
      {"0.125", "0.13"},  {"2.665", "2.67"},   {"2.6649", "2.66"}, {"-0.125", "-0.13"},
      {"-2.6651", "-2.67"}, {"0.0049", "0.00"}, {"0.005", "0.01"},  {"100", "100.00"},
  };
  for (const auto& row : rows) {
    const auto money = Money::parse(row.input);
    ASSERT_TRUE(money) << row.input;
    EXPECT_EQ(money->roundedToCents().toString(), row.rounded) << row.input;
  }
}

TEST(Money, ParsesWhatAClerkTypesAndRefusesTheRest) {
  EXPECT_EQ(Money::parse("1,234.56")->tenThousandths(), 12345600);
  EXPECT_EQ(Money::parse("$7.25")->tenThousandths(), 72500);
  EXPECT_EQ(Money::parse("-3.5")->tenThousandths(), -35000);
  EXPECT_EQ(Money::parse(" 12 ")->tenThousandths(), 120000);
  for (const char* bad : {"", "abc", "1.23456", "1.2.3", "--1", "12a", ",5"})
    EXPECT_FALSE(Money::parse(bad)) << bad;
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
