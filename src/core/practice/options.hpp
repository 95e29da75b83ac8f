#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "common/typing.hpp"
#include "store/connection.hpp"
#include "store/record.hpp"
#include "store/table.hpp"
#include "ui/prompter.hpp"

namespace vantrell::practice {

// The data layout this program works with; a practice below it is converted.
inline constexpr std::int64_t currentDataVersion = 19;
// The backup program we ship, named in a new practice's options.
inline constexpr std::string_view suppliedBackupProgram = "vantrell-backup";

// Sets the values a new options row starts with; fields without one stay empty.
void applyNewOptionValues(store::Record& options);

// The options, practice and billing service tables each hold one row and no
// key. Every reader takes the first row, should a second ever appear.
std::optional<store::Record> readSingleRow(store::Table& table);
// Writes the fields the person changed in `row` onto the single row as it is
// stored now, so changes saved meanwhile at another workstation to other
// fields are kept; appends the record when the row is gone. `row` then holds
// what is stored. Throws RecordInUseError while another workstation is saving.
void saveSingleRow(store::Table& table, store::Record& row);

// What the options do to typed names, SSNs and amounts, as stored now; all off
// without an options row.
TypingRules readTypingRules(store::Connection& connection);

// The practice's options as read into memory when the practice opened.
class Options {
 public:
  // Before a practice is open: every option empty.
  Options();
  explicit Options(store::Record record) : record_(std::move(record)) {}

  // Creates the options row of a new practice and fills in what older data
  // versions lack, posting each change. Throws StoreError when the practice
  // has no options table (the caller creates the missing tables first), and
  // InputError, RecordInUseError as the store does.
  static Options readAtPracticeOpen(store::Connection& connection);

  // Each throws InputError for a field the options table does not have.
  bool flag(std::string_view field) const { return record_.logical(field); }  // false when empty
  std::int64_t number(std::string_view field) const {
    return record_.integer(field);
  }  // 0 when empty
  double decimalNumber(std::string_view field) const {
    return record_.number(field);
  }  // 0 when empty
  std::string text(std::string_view field) const { return record_.text(field); }
  const store::Record& record() const { return record_; }

  // Whether the desktop runs the inactivity timer against "Log Off Min".
  bool autoLogOff() const { return flag("Auto Log Off"); }

 private:
  store::Record record_;
};

// The options window: edits the single options row and saves it after its checks.
class OptionsWindow {
 public:
  // securityIsSetUp: the practice has users, so someone can be logged off.
  OptionsWindow(store::Connection& connection, ui::Prompter& prompter, bool securityIsSetUp);

  store::Record& fields() { return row_; }

  // Tells the first check that fails and saves nothing then; otherwise posts
  // the row and returns true. Throws RecordInUseError when another workstation
  // is saving the options at the same moment.
  bool save();

  // The options as the window holds them; after a save that succeeded, what
  // the practice now has, for the caller to keep in memory.
  Options options() const { return Options(row_); }

 private:
  store::Table table_;
  ui::Prompter& prompter_;
  bool securityIsSetUp_;
  store::Record row_;
};

}  // namespace vantrell::practice
