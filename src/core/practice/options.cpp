#include "practice/options.hpp"

#include <optional>
#include <utility>

#include <fmt/format.h>

#include "store/errors.hpp"
#include "store/schema_catalogue.hpp"

namespace vantrell::practice {
namespace {

constexpr std::string_view optionTableName = "QVOPT";
constexpr std::int64_t defaultLogOffMinutes = 15;

// The aging buckets and their companions, which rows of older data versions lack.
void applyAgingDefaults(store::Record& options) {
  options.set("Use Zip Code", true);
  options.set("Pat Aging Column 1 Start", std::int64_t{0});
  options.set("Pat Aging Column 1 End", std::int64_t{30});
  options.set("Pat Aging Column 2", std::int64_t{60});
  options.set("Pat Aging Column 3", std::int64_t{90});
  options.set("Pat Age By Date From", true);
  options.set("Pat Age By Statement Date", false);
  options.set("Ins Aging Column 1 Start", std::int64_t{0});
  options.set("Ins Aging Column 1 End", std::int64_t{30});
  options.set("Ins Aging Column 2", std::int64_t{60});
  options.set("Ins Aging Column 3", std::int64_t{90});
  options.set("Ins Aging Column 4", std::int64_t{120});
  options.set("Mark Completed Claims Done", true);
}

// Bucket bounds must start at 0 or later and rise from column to column, or a
// balance would be counted in two buckets or in none. Empty bounds count as 0.
std::optional<std::string> agingRefusal(const store::Record& options, std::string_view fieldPrefix,
                                        std::string_view label, int lastColumn) {
  const std::int64_t start = options.integer(fmt::format("{} Aging Column 1 Start", fieldPrefix));
  if (start < 0) return fmt::format("{} Aging Column 1 Beginning cannot be less than 0", label);
  std::int64_t previous = options.integer(fmt::format("{} Aging Column 1 End", fieldPrefix));
  if (previous < start)
    return fmt::format("{} Aging Column 1 End cannot be less than {}", label, start);
  for (int column = 2; column <= lastColumn; ++column) {
    const std::int64_t bound =
        options.integer(fmt::format("{} Aging Column {}", fieldPrefix, column));
    if (bound <= previous)
      return fmt::format("{} Aging Column {} must be greater than {}", label, column, previous);
    previous = bound;
  }
  return std::nullopt;
}

// The checks of the options window in the order the person is told of them.
std::optional<std::string> firstRefusal(const store::Record& options) {
  if (auto refusal = agingRefusal(options, "Pat", "Patient", 3)) return refusal;
  if (auto refusal = agingRefusal(options, "Ins", "Insurance", 4)) return refusal;
  if (options.logical("Create Billing Notes") && options.isEmpty("Billing Note Code"))
    return "You must fill in a default Claim Billing Note Code if the 'Create claim billing notes' "
           "field is checked.";
  if (options.logical("Create Statement Billing Notes") && options.isEmpty("Statement Bill Note"))
    return "You must fill in a default Statement Billing Note Code if the 'Create statement "
           "billing "
           "notes' field is checked.";
  // A cycle of no days bills nobody, so 0 is as good as no value.
  if (options.logical("Use Cycle Billing") && options.integer("Cycle Billing Days") == 0)
    return "You must fill in a value for \"Cycle Billing Days\" if the \"Use Cycle Billing\" field "
           "is "
           "checked.";
  if (options.logical("Auto Calculate Tax") && options.isEmpty("Default Tax Code"))
    return "You must fill in a code if auto create tax entry is checked.";
  if (options.logical("Auto Log Off") && options.integer("Log Off Min") <= 0)
    return "The auto log off time must be greater than 0.";
  return std::nullopt;
}

}  // namespace

void applyNewOptionValues(store::Record& options) {
  for (const char* field :
       {"Remind to Backup on Close", "Use ENTER for next Field", "Use Sound",
        "Do Word Capitalization", "Multiply Units Times Amt.", "Force Payment Application",
        "Mark Complete", "Calculate Disallowed Amt", "Show Hints", "Show Shortcuts",
        "Use Diagnosis", "Enforce Accept Assignment", "Use Serialized Superbills"})
    options.set(field, true);
  for (const char* field :
       {"Show Cue Cards", "Show Patient List Window", "Show Transaction Window",
        "Show Reminder List", "Show Open Practice List", "Auto. Place Decimal Point",
        "Remind Bill Ins. Charges", "Remind when to Follow up", "Calculate Allowed Amount",
        "Use To Date", "Create Billing Notes", "Use Old Style Transaction Entry",
        "Use Color-coding", "Force Document Number", "Use Classic Icons",
        "Create Statement Billing Notes"})
    options.set(field, false);
  options.set("Default Location Code", std::string("11"));  // office as place of service
  options.set("Backup Program", std::string(suppliedBackupProgram));
  options.set("Data Version Number", currentDataVersion);
  applyAgingDefaults(options);
  // The twelfth case tab is hidden until a practice asks for it.
  for (int tab = 1; tab <= 11; ++tab) options.set(fmt::format("Show Case Tab {}", tab), true);
}

std::optional<store::Record> readSingleRow(store::Table& table) {
  store::PageCursor cursor;
  auto rows = table.nextPage(cursor, 1);
  if (rows.empty()) return std::nullopt;
  return std::move(rows.front());
}

TypingRules readTypingRules(store::Connection& connection) {
  TypingRules rules;
  if (!connection.tableExists("QVOPT")) return rules;
  store::Table table = connection.openTable("QVOPT");
  const auto row = readSingleRow(table);
  if (!row) return rules;
  rules.capitalizeWords = row->logical("Do Word Capitalization");
  rules.formatSsn = row->logical("Auto Format SSN");
  rules.placeDecimalPoint = row->logical("Auto. Place Decimal Point");
  return rules;
}

void saveSingleRow(store::Table& table, store::Record& row) {
  // The row is found afresh rather than where it stood when the window read
  // it: on the server a row's place moves with every write. Another
  // workstation may post between the read and the lock, hence a few tries.
  constexpr int attempts = 3;
  for (int attempt = 1;; ++attempt) {
    const auto stored = readSingleRow(table);
    store::Record current = stored ? *stored : table.newRecord();
    for (std::size_t i = 0; i < current.table().fields().size(); ++i) {
      if (!stored || row.isModified(i)) current.setAt(i, row.value(i));
    }
    if (!stored) {
      table.append(current);
      row = std::move(current);
      return;
    }
    try {
      table.edit(current);
    } catch (const store::RecordInUseError&) {
      throw;
    } catch (const store::StoreError&) {
      if (attempt == attempts) throw;
      continue;
    }
    try {
      table.post(current);
    } catch (...) {
      table.cancel(current);
      throw;
    }
    row = std::move(current);
    return;
  }
}

Options::Options() : record_(store::schemaCatalogue().get(optionTableName)) {}

Options Options::readAtPracticeOpen(store::Connection& connection) {
  store::Table table = connection.openTable(optionTableName);
  store::Record options = table.newRecord();
  // Two workstations opening a practice at once must make one row and fill it
  // in once: the whole check-and-fill runs with the table to itself.
  store::Transaction transaction(connection);
  connection.driver().lockTableUntilCommit(optionTableName);
  if (auto stored = readSingleRow(table)) {
    options = std::move(*stored);
  } else {
    applyNewOptionValues(options);
    table.append(options);
  }
  if (options.isEmpty("Log Off Min")) {
    options.set("Log Off Min", defaultLogOffMinutes);
    table.post(options);
  }
  if (options.isEmpty("Ins Aging Column 4")) {
    applyAgingDefaults(options);
    table.post(options);
  }
  transaction.commit();
  return Options(std::move(options));
}

OptionsWindow::OptionsWindow(store::Connection& connection, ui::Prompter& prompter,
                             bool securityIsSetUp)
    : table_(connection.openTable(optionTableName)),
      prompter_(prompter),
      securityIsSetUp_(securityIsSetUp),
      row_(table_.newRecord()) {
  // The practice open made the row; one removed since then is made again on save.
  if (auto stored = readSingleRow(table_)) {
    row_ = std::move(*stored);
  } else {
    applyNewOptionValues(row_);
  }
}

bool OptionsWindow::save() {
  if (const auto refusal = firstRefusal(row_)) {
    prompter_.error(*refusal);
    return false;
  }
  if (row_.logical("Auto Log Off") && !securityIsSetUp_)
    prompter_.inform(
        "The HIPPA Auto Log Off feature has been selected, but will not be available until "
        "security is "
        "setup for this practice.");
  saveSingleRow(table_, row_);
  return true;
}

}  // namespace vantrell::practice
