#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "statements/statement_creation.hpp"
#include "store/record.hpp"

namespace vantrell::statements {

// The statement edit window: the statement, its guarantor and its lines
// (by chart, case, date and entry), with Remove and Split; Add opens
// AddTransactionsWindow.
class StatementEditWindow {
 public:
  StatementEditWindow(Surroundings surroundings, std::int64_t statementNumber);

  // Reads the statement and its lines; throws StoreError for a statement
  // that is not there.
  void load();
  const store::Record& statement() const { return *statement_; }
  // "- Standard" or "- Remainder".
  std::string titleSuffix() const;
  bool previouslyBilled() const;
  const std::vector<store::Record>& transactions() const { return transactions_; }

  // Takes the chosen lines (indexes into transactions()) off the statement.
  bool remove(const std::vector<std::size_t>& chosen);
  // Moves the chosen lines to a new statement; returns its number.
  std::optional<std::int64_t> split(const std::vector<std::size_t>& chosen);

  static constexpr const char* removeNone = "You must select at least one transaction to remove.";
  static constexpr const char* removeAll = "You cannot remove all transactions from a Statement";
  static constexpr const char* removeOnly =
      "This transaction cannot be removed.\rEvery Statement must have at least one transaction.";
  static constexpr const char* removeOne = "Are you sure you want to remove this transaction?";
  static constexpr const char* removeSeveral =
      "Are you sure you want to remove these transactions?";
  static constexpr const char* splitNone =
      "You must select at least one transaction\rto split from this Statement.";
  static constexpr const char* splitAll = "You cannot move all transactions to a new Statement";
  static constexpr const char* splitOnly =
      "This transaction cannot be moved to a new Statement.\rEvery Statement must have at least "
      "one transaction.";
  static constexpr const char* splitOne =
      "Are you sure you want to move this transaction to a new Statement?";
  static constexpr const char* splitSeveral =
      "Are you sure you want to move these transactions to a new Statement?";

 private:
  // The guards Remove and Split share; false (with the message) when refused.
  bool guard(const std::vector<std::size_t>& chosen, const char* none, const char* all,
             const char* only, const char* one, const char* several);
  std::vector<std::int64_t> entriesOf(const std::vector<std::size_t>& chosen) const;

  Surroundings surroundings_;
  std::int64_t number_;
  std::optional<store::Record> statement_;
  std::vector<store::Record> transactions_;
};

}  // namespace vantrell::statements
