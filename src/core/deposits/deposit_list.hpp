#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/date.hpp"
#include "store/connection.hpp"
#include "store/record.hpp"
#include "store/table.hpp"
#include "ui/prompter.hpp"

namespace vantrell::deposits {

// The deposit list's sort orders, by the names the list offers them under.
const std::vector<std::string>& depositSortOrders();

// The deposits of one date, a page at a time from the store in the order
// chosen, never the whole table.
class DepositList {
 public:
  DepositList(store::Connection& practice, ui::Prompter& prompter);

  // Shows the deposits of the date, optionally only those with something
  // left to apply, and starts the list over. Until then the list holds every
  // deposit.
  void show(const Date& depositDate, bool unappliedOnly);
  const Date& depositDate() const { return date_; }
  bool unappliedOnly() const { return unappliedOnly_; }

  // Orders by one of depositSortOrders(); false with a message for another name.
  bool sortBy(const std::string& order);
  const std::string& order() const { return order_; }

  // The next rows in order; empty at the end.
  std::vector<store::Record> nextPage(std::size_t limit);
  void restart() { cursor_ = store::PageCursor(); }
  std::int64_t depositCount() { return deposits_.count(); }

 private:
  ui::Prompter& prompter_;
  store::Table deposits_;
  store::PageCursor cursor_;
  Date date_;
  bool unappliedOnly_ = false;
  std::string order_;
};

}  // namespace vantrell::deposits
