#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/typing.hpp"
#include "reference/reference_check.hpp"
#include "security/security.hpp"
#include "store/connection.hpp"
#include "store/record.hpp"
#include "ui/clock.hpp"
#include "ui/prompter.hpp"

namespace vantrell::reference {

// What makes one code table's window: its key, its guarded operations, its
// checks and messages, and what a delete searches, asks, cascades and audits.
struct CodeTable {
  const char* table = "";        // "QVPRO"
  const char* keyField = "";     // "Code 1"
  const char* keyTag = "";       // the unique tag on the key
  std::optional<CodeKind> kind;  // what the delete check searches; none: nothing refers to it
  int newItem = -1, editItem = -1, viewItem = -1,
      deleteItem = -1;  // permission items; -1 unguarded
  std::string deleteQuestion = "Are you sure you want to delete this record?";
  const char* auditKind = "";    // "Deleted Procedure"
  const char* auditPrefix = "";  // "Procedure code: "
  // The message for a code that exists already.
  std::function<std::string(const std::string& code)> duplicate;
  // Values of a new record before the saved defaults.
  std::function<void(store::Record&)> newValues;
  // Fills what follows from the key when it is left (Code 2 and Code 3).
  std::function<void(store::Record&)> keyLeft;
  // The checks of a save after the key's: the first message, or none.
  std::function<std::optional<std::string>(store::Connection&, const store::Record&,
                                           const ui::Clock&)>
      check;
  // Deletes what belongs to the code (allowed amounts) after the confirmation.
  std::function<void(store::Connection&, const std::string& code)> cascade;
  // Whether the key itself is acceptable; refused with keyRefusal.
  std::function<bool(const std::string& code)> keyAccepted;
  std::string keyRefusal;
  std::string keyRequired = "Field 'Code' must have a value.";
};

// The code tables of the practice, each by the name the command line uses:
// code, multilink, carrier, insclass, provider, refprovider, diagnosis,
// billcode, address, receiver, rejection.
const CodeTable* findCodeTable(const std::string& noun);
const std::vector<std::pair<std::string, const CodeTable*>>& codeTables();

// The edit window of a code table: a new record or a stored one, its checks in
// order with the system's texts, and the delete with its reference check.
class CodeWindow {
 public:
  CodeWindow(store::Connection& practice, const CodeTable& table, ui::Prompter& prompter,
             const ui::Clock& clock, security::Security* security);

  // A new record: the table's new values, then the saved field defaults.
  bool startNew();
  // A stored record by its key; false with the system's message when there is none.
  bool open(const std::string& code);
  store::Record& record() { return *record_; }
  bool isNew() const { return isNew_; }
  const char* keyField() const { return table_.keyField; }

  // What the practice's options make of a text typed into a field: names and
  // addresses capitalised, amounts without a point in cents.
  std::string asTyped(const std::string& field, const std::string& text) const;
  // Sets fields as typed; the key's exit rules run when the key is set.
  bool setFields(const std::vector<std::pair<std::string, std::string>>& fields);
  // The checks in order; on success the record is stored.
  bool save();
  // The reference check, the confirmation, the cascade, the delete, the audit.
  bool remove(const std::string& code);

 private:
  bool allowed(int item);

  store::Connection& practice_;
  const CodeTable& table_;
  ui::Prompter& prompter_;
  const ui::Clock& clock_;
  security::Security* security_;
  std::optional<store::Record> record_;
  std::string openedKey_;  // the key a stored record was opened by; it stays
  TypingRules typing_;     // the practice's options for names and amounts
  bool isNew_ = false;
};

}  // namespace vantrell::reference
