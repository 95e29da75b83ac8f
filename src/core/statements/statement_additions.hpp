#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "statements/ledger_rows.hpp"
#include "statements/statement_creation.hpp"
#include "store/record.hpp"

namespace vantrell::statements {

// A ledger line that may be added to the statement, as the list shows it.
struct AdditionCandidate {
  LedgerRow row;
  Date dateTo;
  std::string documentNumber, description, provider, procedureCode;
  double units = 0;
};

// Adding transactions to an existing statement, opened from the statement
// edit window: the statement's status is checked first, then the lines of the
// statement's guarantor that may go on it are listed.
class AddTransactionsWindow {
 public:
  AddTransactionsWindow(Surroundings surroundings, std::int64_t statementNumber);

  // The status check and the candidates; false (with the message shown) when
  // the window does not open.
  bool open();
  const std::vector<AdditionCandidate>& candidates() const { return candidates_; }
  // "Add" with the chosen rows (indexes into candidates()); false when the
  // window stays open (nothing chosen, or the question answered No).
  bool add(const std::vector<std::size_t>& chosen);

  static constexpr const char* mustBeSent =
      "To add a transaction to a Statement the Statement must\rbe marked as Sent.";
  static constexpr const char* mustBeReady =
      "To add a transaction to a Statement the Statement must\rbe marked as Ready To Send.";
  static constexpr const char* noCandidates =
      "There are no qualifying transactions to add to this Statement.";
  static constexpr const char* nothingChosen = "You must select at least one transaction to add.";
  static constexpr const char* addOne =
      "Are you sure you want to add this transaction to this statement?";
  static constexpr const char* addSeveral =
      "Are you sure you want to add these transactions to this statement?";

 private:
  Surroundings surroundings_;
  std::int64_t number_;
  std::optional<store::Record> statement_;
  std::vector<AdditionCandidate> candidates_;
};

}  // namespace vantrell::statements
