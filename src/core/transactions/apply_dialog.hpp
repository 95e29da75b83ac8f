#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/date.hpp"
#include "common/money.hpp"
#include "ui/prompter.hpp"

namespace vantrell::transactions {

// One charge in the apply dialog.
struct ApplyRow {
  std::int64_t chargeReference = 0;
  std::int64_t entryNumber = 0;  // for the oldest-first order; 0 for an unsaved charge
  bool complete = false;
  bool completeAtOpening = false;  // the charge's paid mark when the dialog opened
  Date dateFrom;
  std::string documentNumber;
  std::string procedureCode;
  Money amount;   // the charge
  Money balance;  // its remainder, this entry's applications counted
  Money
      totalPaid;  // the charge's bucket for this entry's payer (adjustments: its adjustment amount)
  Money thisPayment;  // this entry applied to the charge
};

// The apply dialog: spreads one payment or adjustment over the case's charges.
// Built by the transaction window from a payment line, edited here, and
// written back by the window when it closes.
class ApplyDialog {
 public:
  struct Entry {
    std::int64_t reference = 0;
    char type = 'I';
    std::string whoPaid;
    std::string payerName;  // shown as "Payment From: %s"
    Money amount;
    bool adjustmentNegative = false;  // the code's "Adjustment Amount Negativ"
  };

  ApplyDialog(Entry entry, std::vector<ApplyRow> rows, ui::Prompter& prompter);

  const Entry& entry() const { return entry_; }
  std::vector<ApplyRow>& rows() { return rows_; }
  const std::vector<ApplyRow>& rows() const { return rows_; }

  bool paymentMode() const { return entry_.type >= 'I' && entry_.type <= 'R'; }
  bool deductibleMode() const { return entry_.type == 'P'; }
  bool takeBackMode() const { return entry_.type == 'V'; }
  // Amounts typed into "this payment" are made negative.
  bool negativeMode() const { return paymentMode() || entry_.adjustmentNegative; }

  // "Apply Payment to Charges" / "Apply Adjustment to Charges".
  std::string title() const;
  // "Payment From: Medicare" / "Adjustment".
  std::string caption() const;
  // "There is 1 charge entry." / "There are 3 charge entries."
  std::string countText() const;
  bool remainderShown() const { return !deductibleMode(); }
  bool autoCompleteShown() const { return paymentMode() && entry_.whoPaid != "G"; }
  bool applyToOldestShown() const { return paymentMode() && entry_.whoPaid == "G"; }
  bool autoComplete() const { return autoComplete_; }
  void setAutoComplete(bool on) { autoComplete_ = on; }

  // The entry's amount less everything applied in the rows.
  Money remainder() const;
  // Typing an amount into "this payment" of a row.
  void setThisPayment(std::size_t row, Money value);
  void setComplete(std::size_t row, bool complete) { rows_.at(row).complete = complete; }
  // Fills "this payment" oldest charge first until nothing is left.
  void applyToOldest();

 private:
  Entry entry_;
  std::vector<ApplyRow> rows_;
  ui::Prompter& prompter_;
  bool autoComplete_ = false;
};

}  // namespace vantrell::transactions
