#include <gtest/gtest.h>

#include "common/date.hpp"

namespace vantrell {
namespace {

TEST(Date, ParsesBothFormsAndRefusesImpossibleDays) {
  EXPECT_EQ(Date::parse("2026-12-05")->toMonthDayYear(), "12/05/2026");
  EXPECT_EQ(Date::parse("2/29/2024")->toIso(), "2024-02-29");
  EXPECT_TRUE(Date::parse("")->isEmpty());
  EXPECT_TRUE(Date::parse("   ")->isEmpty());
  for (const char* bad : {"2025-02-29", "13/01/2026", "02/30/2026", "2026-1-5", "12/05/26", "yesterday"})
    EXPECT_FALSE(Date::parse(bad)) << bad;
}

TEST(Date, EmptySortsFirstAndTimestampsKeepTheirDay) {
  EXPECT_LT(Date{}, *Date::parse("0001-01-01"));
  EXPECT_LT(*Date::parse("2026-01-31"), *Date::parse("2026-02-01"));
  const auto stamp = DateTime::parse("2026-12-05 23:59:59");
  ASSERT_TRUE(stamp);
  EXPECT_EQ(stamp->date().toIso(), "2026-12-05");
  EXPECT_EQ(stamp->toIso(), "2026-12-05 23:59:59");
  EXPECT_FALSE(DateTime::parse("2026-12-05 24:00:00"));
  EXPECT_EQ(DateTime::parse("2026-12-05")->toIso(), "2026-12-05 00:00:00");
}

}  // namespace
}  // namespace vantrell
