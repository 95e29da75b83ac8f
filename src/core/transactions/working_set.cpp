#include "transactions/working_set.hpp"

#include <algorithm>

namespace vantrell::transactions {

const char* ledgerTable(Ledger ledger) {
  return ledger == Ledger::Estimates ? "QVTRNE" : "QVTRN";
}

char TransactionLine::type() const {
  const std::string text = row.text("Transaction Type");
  return text.empty() ? '\0' : text[0];
}

std::string cutToCharacters(const std::string& text, std::size_t characters) {
  std::size_t taken = 0;
  std::size_t end = 0;
  while (end < text.size() && taken < characters) {
    const auto lead = static_cast<unsigned char>(text[end]);
    end += lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : 4;
    ++taken;
  }
  return text.substr(0, std::min(end, text.size()));
}

std::string joinedModifiersForDisplay(const store::Record& line) {
  std::string joined;
  for (int modifier = 1; modifier <= 4; ++modifier)
    joined += line.text("Modifier " + std::to_string(modifier)) + " ";
  return joined;
}

Money remainderOf(const store::Record& charge) {
  Money remainder = charge.money("Amount");
  for (const char* bucket :
       {"Guarantor Amount Paid", "Insurance 1 Amount Paid", "Insurance 2 Amount Paid",
        "Insurance 3 Amount Paid", "Attorney Amount Paid", "Adjustment Amount"})
    remainder += charge.money(bucket);
  return remainder;
}

Money unitAmountOf(const store::Record& charge, bool multiplyUnitsTimesAmount) {
  const double units = charge.number("Units");
  if (units == 0.0 || !multiplyUnitsTimesAmount) return charge.money("Amount");
  return Money::fromDouble(charge.money("Amount").toDouble() / units).roundedToCents();
}

TransactionLine* WorkingSet::chargeByReference(std::int64_t reference) {
  for (auto& line : charges) {
    if (line.reference() == reference) return &line;
  }
  return nullptr;
}

TransactionLine* WorkingSet::paymentByReference(std::int64_t reference) {
  for (auto& line : payments) {
    if (line.reference() == reference) return &line;
  }
  return nullptr;
}

ApplicationRow* WorkingSet::application(std::int64_t paymentReference,
                                        std::int64_t chargeReference) {
  for (auto& row : applications) {
    if (row.paymentReference == paymentReference && row.chargeReference == chargeReference)
      return &row;
  }
  return nullptr;
}

bool WorkingSet::hasUnsavedLines() const {
  for (const auto* lines : {&charges, &payments}) {
    for (const auto& line : *lines) {
      if (line.didEdit || !line.isStored()) return true;
    }
  }
  return false;
}

}  // namespace vantrell::transactions
