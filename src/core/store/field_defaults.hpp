#pragma once

#include "store/connection.hpp"
#include "store/record.hpp"
#include "ui/prompter.hpp"

namespace vantrell::store {

// Saved field defaults (QVDEF): values a practice wants on every new patient,
// case, address, carrier, contact or provider.
class FieldDefaults {
 public:
  explicit FieldDefaults(Connection& connection) : connection_(connection) {}

  // Whether a field may carry a default: never a field of the table's first
  // index key, an autoincrement or date field, a balance or identity number.
  static bool mayCarryDefault(const TableDefinition& table, std::size_t fieldIndex);

  // Asks first; on Yes writes every field of the record that has a value and
  // may carry a default, and deletes the saved default of each empty one.
  // Returns false when the person said No (nothing changed).
  bool save(const Record& record, ui::Prompter& prompter);
  // Assigns the saved defaults of the record's table to a new record.
  void apply(Record& record);
  // Deletes every saved default of the table and says so.
  void remove(const TableDefinition& table, ui::Prompter& prompter);

  static constexpr const char* confirmSave =
      "Are you sure you want to save these fields as defaults for all new records?";
  static constexpr const char* removed = "Default values have been removed.";

 private:
  Connection& connection_;
};

}  // namespace vantrell::store
