#include <gtest/gtest.h>

#include <map>
#include <random>

#include "store/errors.hpp"
#include "store/group_totals.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"
#include "support/store_fixture.hpp"

namespace vantrell::store {
namespace {

using vantrell::testing::EngineTest;

class GroupTotalsOnEngine : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (IsSkipped() || HasFailure()) return;
    connection_ = space_->connect();
    for (const char* name : {"QVTRN", "QVPAX"}) ensureTable(*connection_, name);
  }

  std::unique_ptr<Connection> connection_;
};

// Ledger lines of a few charts with amounts in cents that a binary sum cannot
// hold exactly, beside a model kept in the test: per chart, and per chart and
// type, over the lines with a type.
TEST_P(GroupTotalsOnEngine, LedgerTotalsMatchAModelToTheCent) {
  const std::vector<std::string> charts = {"BAKER0", "ADAMS0", "CRUZ00", "DIAZ00"};
  const std::vector<std::string> types = {"A", "M", "Q", ""};
  std::map<std::string, std::int64_t> byChart;  // cents
  std::map<std::pair<std::string, std::string>, std::int64_t> byChartType;
  std::mt19937 random(16);
  Table ledger = connection_->openTable("QVTRN");
  Transaction transaction(*connection_);
  for (int line = 0; line < 400; ++line) {
    const std::string& chart = charts[random() % charts.size()];
    const std::string& type = types[random() % types.size()];
    // 0.10, 0.20, ... and now and then a negative or a larger amount.
    std::int64_t cents = static_cast<std::int64_t>(random() % 7 + 1) * 10;
    if (line % 9 == 0) cents = -static_cast<std::int64_t>(random() % 100000) - 1;
    Record row = ledger.newRecord();
    row.set("Chart Number", chart);
    row.set("Transaction Type", type);
    row.set("Amount", Money::fromTenThousandths(cents * 100));
    ledger.append(row);
    if (type.empty()) continue;
    byChart[chart] += cents;
    byChartType[{chart, type}] += cents;
  }
  transaction.commit();

  const auto perChart =
      groupTotals(*connection_, "QVTRN", {"Chart Number"}, {"Amount"}, "Transaction Type <> ''");
  ASSERT_EQ(perChart.size(), byChart.size());
  auto expected = byChart.begin();
  for (const auto& totals : perChart) {
    EXPECT_EQ(valueToText(totals.group.at(0)), expected->first);  // in chart order
    EXPECT_EQ(totals.totals.at(0), Money::fromTenThousandths(expected->second * 100))
        << expected->first;
    ++expected;
  }

  const auto perType = groupTotals(*connection_, "QVTRN", {"Chart Number", "Transaction Type"},
                                   {"Amount", "Amount"}, "Transaction Type <> ''");
  ASSERT_EQ(perType.size(), byChartType.size());
  auto model = byChartType.begin();
  for (const auto& totals : perType) {
    EXPECT_EQ(valueToText(totals.group.at(0)), model->first.first);
    EXPECT_EQ(valueToText(totals.group.at(1)), model->first.second);
    EXPECT_EQ(totals.totals.at(0), Money::fromTenThousandths(model->second * 100));
    EXPECT_EQ(totals.totals.at(1), totals.totals.at(0));
    ++model;
  }

  // No group: one row of grand totals; a filter nothing passes: no rows.
  std::int64_t all = 0;
  for (const auto& [chart, cents] : byChart) all += cents;
  const auto grand = groupTotals(*connection_, "QVTRN", {}, {"Amount"}, "Transaction Type <> ''");
  ASSERT_EQ(grand.size(), 1u);
  EXPECT_EQ(grand[0].totals.at(0), Money::fromTenThousandths(all * 100));
  EXPECT_TRUE(
      groupTotals(*connection_, "QVTRN", {"Chart Number"}, {"Amount"}, "Chart Number = 'NOBODY'")
          .empty());

  EXPECT_THROW(groupTotals(*connection_, "QVTRN", {"No Such Field"}, {"Amount"}), InputError);
  EXPECT_THROW(groupTotals(*connection_, "NOTABLE", {"Chart Number"}, {"Amount"}), InputError);
}

// Applications without a charge reference group with the empty number (0),
// ahead of every charge, as the index keys order them; a double field sums
// exactly too.
TEST_P(GroupTotalsOnEngine, AnEmptyReferenceGroupsFirstAsZero) {
  Table applications = connection_->openTable("QVPAX");
  const auto apply = [&](std::int64_t payment, std::optional<std::int64_t> charge, double amount) {
    Record row = applications.newRecord();
    row.set("Payment Reference", payment);
    if (charge) row.set("Charge Reference", *charge);
    row.set("Payment Amount", amount);
    applications.append(row);
  };
  apply(7, 12, 0.1);
  apply(8, 12, 0.2);
  apply(9, 3, -25.05);
  apply(10, std::nullopt, 4.0);
  apply(11, 3, 0.7);
  const auto sums = groupTotals(*connection_, "QVPAX", {"Charge Reference"}, {"Payment Amount"});
  ASSERT_EQ(sums.size(), 3u);
  EXPECT_EQ(sums[0].group.at(0), Value{std::int64_t{0}});
  EXPECT_EQ(sums[0].totals.at(0), Money::fromTenThousandths(40000));
  EXPECT_EQ(sums[1].group.at(0), Value{std::int64_t{3}});
  EXPECT_EQ(sums[1].totals.at(0), Money::fromTenThousandths(-243500));
  EXPECT_EQ(sums[2].group.at(0), Value{std::int64_t{12}});
  EXPECT_EQ(sums[2].totals.at(0), Money::fromTenThousandths(3000));
  const auto ranged = groupTotals(*connection_, "QVPAX", {"Charge Reference"}, {"Payment Amount"},
                                  "Charge Reference >= 4");
  ASSERT_EQ(ranged.size(), 1u);
  EXPECT_EQ(ranged[0].group.at(0), Value{std::int64_t{12}});
}

VANTRELL_ON_BOTH_ENGINES(GroupTotalsOnEngine);

}  // namespace
}  // namespace vantrell::store
