#include "transactions/apply_dialog.hpp"

#include <algorithm>
#include <numeric>

#include <fmt/format.h>

namespace vantrell::transactions {

ApplyDialog::ApplyDialog(Entry entry, std::vector<ApplyRow> rows, ui::Prompter& prompter)
    : entry_(std::move(entry)), rows_(std::move(rows)), prompter_(prompter) {
  // Insurance payments mark their charges complete as they are applied, unless told otherwise.
  autoComplete_ = entry_.type == 'I';
}

std::string ApplyDialog::title() const {
  return paymentMode() ? "Apply Payment to Charges" : "Apply Adjustment to Charges";
}

std::string ApplyDialog::caption() const {
  return paymentMode() ? fmt::format("Payment From: {}", entry_.payerName) : "Adjustment";
}

std::string ApplyDialog::countText() const {
  return rows_.size() == 1 ? "There is 1 charge entry."
                           : fmt::format("There are {} charge entries.", rows_.size());
}

Money ApplyDialog::remainder() const {
  Money applied;
  for (const auto& row : rows_) applied += row.thisPayment;
  return entry_.amount - applied;
}

void ApplyDialog::setThisPayment(std::size_t index, Money value) {
  ApplyRow& row = rows_.at(index);
  if (negativeMode()) value = -value.abs();
  const Money old = row.thisPayment;
  row.thisPayment = value;
  if (!deductibleMode()) {
    row.totalPaid += value - old;
    row.balance += value - old;
  }
  if (old == Money{} && autoComplete_) row.complete = true;
  // A deductible has no amount of its own to exceed.
  const Money applied = entry_.amount - remainder();
  if (!deductibleMode() && applied.abs() > entry_.amount.abs())
    prompter_.warn("The applied amount exceeds the total amount for this payment.");
}

void ApplyDialog::applyToOldest() {
  if (!applyToOldestShown()) return;  // offered for guarantor payments only
  Money left = remainder();
  if (!(left < Money{})) {
    prompter_.inform("Unapplied amount is $0.00.  No payments added.");
    return;
  }
  std::vector<std::size_t> order(rows_.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  // Unsaved charges (entry 0) are the newest of their day.
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    const auto& x = rows_[a];
    const auto& y = rows_[b];
    if (x.dateFrom != y.dateFrom) return x.dateFrom < y.dateFrom;
    const auto xEntry = x.entryNumber > 0 ? x.entryNumber : INT64_MAX;
    const auto yEntry = y.entryNumber > 0 ? y.entryNumber : INT64_MAX;
    return xEntry < yEntry;
  });
  // Each charge takes at most its balance and never more than is left of the
  // payment: the balance already counts what this payment put on the charge.
  for (const std::size_t index : order) {
    ApplyRow& row = rows_[index];
    const Money open = row.balance.roundedToCents();
    if (!(open > Money{})) continue;
    const Money taken = std::min(open, left.abs());
    left += taken;
    setThisPayment(index, row.thisPayment - taken);
    if (left == Money{}) break;
  }
  left = remainder();
  if (left == Money{})
    prompter_.inform("This Payment has been fully applied.");
  else
    prompter_.inform("All displayed charges have a remainder of $0.00\rThis deposit has $" +
                     left.toGroupedString() + " left unapplied.");
}

}  // namespace vantrell::transactions
