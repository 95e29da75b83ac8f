#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "deposit_fixture.hpp"
#include "deposits/deposit_list.hpp"

namespace vantrell::deposits {
namespace {

// What a test deposit holds, kept beside the store as the list's model.
struct ModelDeposit {
  std::int64_t entry = 0;
  int day = 0;
  std::string description, payor, insurance, chart;
  std::int64_t amountCents = 0, unappliedCents = 0;
};

class DepositListOnEngine : public DepositPractice {
 protected:
  // Thirty deposits over three days from a fixed pseudo-random walk; names in
  // mixed case so the orders must compare them upper-cased.
  void makeDeposits() {
    unsigned seed = 29;
    auto next = [&](unsigned range) {
      seed = seed * 1103515245U + 12345U;
      return (seed >> 16) % range;
    };
    const std::vector<std::string> names = {"Aetna", "blue cross", "CIGNA",
                                            "delta", "Eve Smith",  "frank Doe"};
    const std::vector<std::string> codes = {"MC", "bc", "AE", "cg"};
    const std::vector<std::string> charts = {"DOEJA000", "SMIJO000", "ADAAL000", "zedze000"};
    for (int i = 0; i < 30; ++i) {
      ModelDeposit model;
      model.day = 1 + static_cast<int>(next(3));
      model.description =
          "Eob " + std::string(1, static_cast<char>('a' + next(26))) + std::to_string(i);
      model.payor = names[next(static_cast<unsigned>(names.size()))];
      model.insurance = codes[next(static_cast<unsigned>(codes.size()))];
      model.chart = charts[next(static_cast<unsigned>(charts.size()))];
      model.amountCents = 100 * (1 + static_cast<std::int64_t>(next(400)));
      // Fully applied, over-applied and partly applied deposits.
      const unsigned kind = next(4);
      model.unappliedCents = kind == 0 ? 0 : kind == 1 ? -500 : model.amountCents / (1 + kind);
      auto cents = [](std::int64_t value) { return Money::fromCents(value).toString(); };
      model.entry = depositRow({{"Deposit Date", "12/0" + std::to_string(model.day) + "/2026"},
                                {"Description", model.description},
                                {"Payor Name", model.payor},
                                {"Insurance Code", model.insurance},
                                {"Chart Number", model.chart},
                                {"Payment Amount", cents(model.amountCents)},
                                {"Unapplied Amount", cents(model.unappliedCents)}});
      deposits_.push_back(model);
    }
  }
  static std::string upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
  }
  // The model's rows of the day in the order's key, ties by entry number.
  std::vector<std::int64_t> expected(int day, bool unappliedOnly, const std::string& order) const {
    std::vector<ModelDeposit> rows;
    for (const auto& deposit : deposits_) {
      if (deposit.day != day) continue;
      if (unappliedOnly && deposit.unappliedCents <= 0) continue;
      rows.push_back(deposit);
    }
    using Key = std::tuple<std::string, std::int64_t, std::int64_t>;
    std::function<Key(const ModelDeposit&)> key;
    if (order == "Date-Description" || order == "Description")
      key = [](const ModelDeposit& d) { return Key{upper(d.description), 0, d.entry}; };
    else if (order == "Date-Payor" || order == "Payor")
      key = [](const ModelDeposit& d) { return Key{upper(d.payor), 0, d.entry}; };
    else if (order == "Insurance Code")
      key = [](const ModelDeposit& d) { return Key{upper(d.insurance), 0, d.entry}; };
    else if (order == "Patient Chart")
      key = [](const ModelDeposit& d) { return Key{upper(d.chart), 0, d.entry}; };
    else
      key = [](const ModelDeposit& d) { return Key{"", d.amountCents, d.entry}; };
    std::sort(rows.begin(), rows.end(),
              [&](const ModelDeposit& a, const ModelDeposit& b) { return key(a) < key(b); });
    std::vector<std::int64_t> entries;
    for (const auto& row : rows) entries.push_back(row.entry);
    return entries;
  }
  // The leading key of each listed row: ties may come in any order.
  std::vector<std::string> keysOf(const std::vector<std::int64_t>& entries,
                                  const std::string& order) const {
    std::vector<std::string> keys;
    for (const auto entry : entries) {
      const auto& d = *std::find_if(deposits_.begin(), deposits_.end(),
                                    [&](const ModelDeposit& m) { return m.entry == entry; });
      if (order == "Date-Description" || order == "Description")
        keys.push_back(upper(d.description));
      else if (order == "Date-Payor" || order == "Payor")
        keys.push_back(upper(d.payor));
      else if (order == "Insurance Code")
        keys.push_back(upper(d.insurance));
      else if (order == "Patient Chart")
        keys.push_back(upper(d.chart));
      else
        keys.push_back(std::to_string(d.amountCents));
    }
    return keys;
  }
  static std::vector<std::int64_t> listed(DepositList& list) {
    std::vector<std::int64_t> entries;
    for (auto page = list.nextPage(4); !page.empty(); page = list.nextPage(4)) {
      EXPECT_LE(page.size(), 4U);
      for (const auto& row : page) entries.push_back(row.integer("Entry Number"));
    }
    return entries;
  }
  std::vector<ModelDeposit> deposits_;
};

TEST_P(DepositListOnEngine, EachOrderListsOneDayPageByPageAsTheModelSays) {
  makeDeposits();
  ScriptedPrompter prompter{};
  DepositList list(*practice_, prompter);
  EXPECT_EQ(list.order(), "Date-Description");
  EXPECT_EQ(depositSortOrders().size(), 7U);
  std::size_t hidden = 0;
  for (const auto& order : depositSortOrders()) {
    SCOPED_TRACE(order);
    ASSERT_TRUE(list.sortBy(order));
    for (int day = 1; day <= 3; ++day) {
      for (const bool unappliedOnly : {false, true}) {
        list.show(Date::fromYmd(2026, 12, static_cast<unsigned>(day)), unappliedOnly);
        const auto want = expected(day, unappliedOnly, order);
        const auto got = listed(list);
        EXPECT_EQ(keysOf(got, order), keysOf(want, order)) << "day " << day << " " << unappliedOnly;
        auto sortedGot = got;
        auto sortedWant = want;
        std::sort(sortedGot.begin(), sortedGot.end());
        std::sort(sortedWant.begin(), sortedWant.end());
        EXPECT_EQ(sortedGot, sortedWant);
        EXPECT_EQ(list.depositCount(), static_cast<std::int64_t>(want.size()));
        if (unappliedOnly) hidden += expected(day, false, order).size() - want.size();
      }
    }
  }
  EXPECT_GT(hidden, 0U) << "the walk made no fully applied deposits";
  // A day without deposits lists nothing.
  list.show(Date::fromYmd(2026, 11, 30), false);
  EXPECT_TRUE(list.nextPage(4).empty());
  EXPECT_FALSE(list.sortBy("Chart"));
  EXPECT_EQ(prompter.transcript(),
            (std::vector<std::string>{"error: There is no sort order \"Chart\"."}));
}

TEST_P(DepositListOnEngine, UnappliedOnlyHidesZeroAndBelow) {
  const auto zero = depositRow(
      {{"Deposit Date", "12/05/2026"}, {"Payment Amount", "10"}, {"Unapplied Amount", "0"}});
  const auto below = depositRow(
      {{"Deposit Date", "12/05/2026"}, {"Payment Amount", "10"}, {"Unapplied Amount", "-0.01"}});
  const auto cent = depositRow(
      {{"Deposit Date", "12/05/2026"}, {"Payment Amount", "10"}, {"Unapplied Amount", "0.01"}});
  ScriptedPrompter prompter{};
  DepositList list(*practice_, prompter);
  list.show(Date::fromYmd(2026, 12, 5), true);
  EXPECT_EQ(listed(list), (std::vector<std::int64_t>{cent}));
  list.show(Date::fromYmd(2026, 12, 5), false);
  auto all = listed(list);
  std::sort(all.begin(), all.end());
  EXPECT_EQ(all, (std::vector<std::int64_t>{zero, below, cent}));
}

VANTRELL_ON_BOTH_ENGINES(DepositListOnEngine);

}  // namespace
}  // namespace vantrell::deposits
