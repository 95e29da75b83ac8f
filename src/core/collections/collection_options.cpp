#include "collections/collection_options.hpp"

#include "practice/options.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"

namespace vantrell::collections {

const std::string& standardLetterText() {
  static const std::string text =
      "Our records show that your account is past due. We value you as a patient and know "
      "that an account can be overlooked.\n\n"
      "Please send payment of the balance shown above within ten days of the date of this "
      "letter, or call our office to arrange a payment plan. If you have already sent your "
      "payment, thank you, and please disregard this notice.\n\n"
      "If we do not hear from you, we will have to take further steps to collect this balance.";
  return text;
}

CollectionOptions readCollectionOptions(store::Connection& practice) {
  CollectionOptions options;
  store::ensureTable(practice, "QVCOP");
  store::Table table = practice.openTable("QVCOP");
  if (const auto row = practice::readSingleRow(table)) {
    options.letterText = row->text("Letter Text");
    options.requireAssignTo = row->logical("Require Assign To");
  }
  if (options.letterText.empty()) options.letterText = standardLetterText();
  return options;
}

void saveCollectionOptions(store::Connection& practice, const CollectionOptions& options) {
  store::ensureTable(practice, "QVCOP");
  store::Table table = practice.openTable("QVCOP");
  store::Record row = table.newRecord();
  if (auto stored = practice::readSingleRow(table)) row = *stored;
  row.set("Letter Text", options.letterText);
  row.set("Require Assign To", options.requireAssignTo);
  row.set("Modified By", practice.userCode());
  practice::saveSingleRow(table, row);
}

}  // namespace vantrell::collections
