#include "deposits/deposit_list.hpp"

#include <array>
#include <utility>

#include "store/table_creation.hpp"

namespace vantrell::deposits {
namespace {

// Each order's name and the tag that serves it.
const std::array<std::pair<const char*, const char*>, 7> orders = {{
    {"Date-Description", "Primary"},
    {"Date-Payor", "Payor"},
    {"Insurance Code", "Idxinsurance"},
    {"Patient Chart", "IdxChartNumber"},
    {"Amount", "IdxPaymentAmount"},
    {"Description", "IdxDescription"},
    {"Payor", "IdxPayor"},
}};

store::Table openDeposits(store::Connection& practice) {
  store::ensureTable(practice, "QVDEP");
  return practice.openTable("QVDEP");
}

}  // namespace

const std::vector<std::string>& depositSortOrders() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> list;
    for (const auto& [name, tag] : orders) list.emplace_back(name);
    return list;
  }();
  return names;
}

DepositList::DepositList(store::Connection& practice, ui::Prompter& prompter)
    : prompter_(prompter), deposits_(openDeposits(practice)) {
  sortBy(orders.front().first);
}

void DepositList::show(const Date& depositDate, bool unappliedOnly) {
  date_ = depositDate;
  unappliedOnly_ = unappliedOnly;
  std::string filter = "Deposit Date = CTOD('" + depositDate.toMonthDayYear() + "')";
  // An over-applied deposit (below 0) has nothing left to apply either.
  if (unappliedOnly) filter += " AND (Unapplied Amount > 0)";
  deposits_.setFilter(filter);
  restart();
}

bool DepositList::sortBy(const std::string& order) {
  for (const auto& [name, tag] : orders) {
    if (order != name) continue;
    deposits_.setOrder(tag);
    order_ = name;
    restart();
    return true;
  }
  prompter_.error("There is no sort order \"" + order + "\".");
  return false;
}

std::vector<store::Record> DepositList::nextPage(std::size_t limit) {
  return deposits_.nextPage(cursor_, limit);
}

}  // namespace vantrell::deposits
