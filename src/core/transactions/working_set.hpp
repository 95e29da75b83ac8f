#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/money.hpp"
#include "store/record.hpp"

namespace vantrell::transactions {

// Which ledger the window works on: the practice's, or the estimates twin
// (pretreatment plans), whose rows carry "Posted".
enum class Ledger { Transactions, Estimates };
const char* ledgerTable(Ledger ledger);  // "QVTRN", "QVTRNE"

// A check number no real check carries: new payment lines hold it as the
// number they were loaded with.
inline constexpr const char* newCheckNumberSentinel = "\x01new";

// One line of the transaction window: a ledger row with every stored field,
// and what the window keeps beside it until the save.
struct TransactionLine {
  explicit TransactionLine(store::Record ledgerRow) : row(std::move(ledgerRow)) {}

  store::Record row;
  std::int64_t newEntryNumber = 0;  // the temporary key (below 0) of a line not yet stored
  std::int64_t oldClaimNumber = 0;  // Claim Number as loaded
  std::string oldProcedureCode;     // as loaded or last saved
  Money oldAmount;                  // as loaded or last saved
  bool didEdit = false;
  std::string oldCheckNumber;  // payment lines: as loaded, or the sentinel
  bool isNewPayment = false;   // payment lines entered since the case was loaded

  std::int64_t entryNumber() const { return row.integer("Entry Number"); }
  bool isStored() const { return entryNumber() > 0; }
  // How rules and application rows name the line: its Entry Number once
  // stored, its negative New Entry Number before.
  std::int64_t reference() const { return isStored() ? entryNumber() : newEntryNumber; }
  char type() const;  // Transaction Type, '\0' when blank
  Money amount() const { return row.money("Amount"); }
};

// A working copy of one QVPAX row: part of a payment or adjustment applied to
// a charge. References below 0 name unsaved lines.
struct ApplicationRow {
  std::int64_t chargeReference = 0;
  std::int64_t paymentReference = 0;
  Money paymentAmount;
  std::string whoPaid;
  std::int64_t depositId = 0;
  bool deleted = false;
};

// A text cut to a number of whole UTF-8 characters: the code tables keep
// longer descriptions than a ledger line's fields hold.
std::string cutToCharacters(const std::string& text, std::size_t characters);

// "11 26   " -> the four modifiers each followed by a blank.
std::string joinedModifiersForDisplay(const store::Record& line);
// Amount plus every paid bucket and the adjustment amount.
Money remainderOf(const store::Record& charge);
// Per unit when units multiply the price, else the amount.
Money unitAmountOf(const store::Record& charge, bool multiplyUnitsTimesAmount);

// The charges, payments and applications of one chart and case (and
// document), held in memory from loading until the save.
struct WorkingSet {
  std::string chartNumber;
  std::int64_t caseNumber = 0;
  std::vector<TransactionLine> charges;
  std::vector<TransactionLine> payments;
  std::vector<ApplicationRow> applications;
  // Stored lines taken off the lists; their rows go at the save.
  std::vector<TransactionLine> deletedCharges;
  std::vector<TransactionLine> deletedPayments;
  std::int64_t nextChargeNumber = -1;
  std::int64_t nextPaymentNumber = -1;

  TransactionLine* chargeByReference(std::int64_t reference);
  TransactionLine* paymentByReference(std::int64_t reference);
  ApplicationRow* application(std::int64_t paymentReference, std::int64_t chargeReference);
  // Whether anything would reach the ledger at a save.
  bool hasUnsavedLines() const;
  bool hasDeletedLines() const { return !deletedCharges.empty() || !deletedPayments.empty(); }
};

}  // namespace vantrell::transactions
