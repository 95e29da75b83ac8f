#include "security/password_rules.hpp"

#include <cctype>

#include "store/table.hpp"
#include "store/table_creation.hpp"

namespace vantrell::security {
namespace {

std::optional<store::Record> rulesRow(store::Connection& practice) {
  if (!practice.tableExists("QVLPM")) return std::nullopt;
  store::Table table = practice.openTable("QVLPM");
  store::PageCursor cursor;
  auto rows = table.nextPage(cursor, 1);
  if (rows.empty()) return std::nullopt;
  return rows.front();
}

}  // namespace

PasswordRules PasswordRules::read(store::Connection& practice) {
  PasswordRules rules;
  if (const auto row = rulesRow(practice)) {
    rules.renewalIntervalDays = row->integer("Renewal Interval");
    rules.reusePeriodDays = row->integer("Reuse Period");
    rules.minCharacters = row->integer("Min Characters");
    rules.maxCharacters = row->integer("Max Characters");
    rules.alphanumeric = row->logical("Alphanumeric");
    rules.maxAttempts = row->integer("Max Attempts");
    rules.disablePeriodMinutes = row->integer("Disable Period");
  }
  return rules;
}

std::optional<std::string> PasswordRules::breach(const std::string& password) const {
  const auto length = static_cast<std::int64_t>(password.size());
  if (minCharacters > 0 && length < minCharacters)
    return "Your password does not meet the minimum character requirement of " + std::to_string(minCharacters) +
           ".  Please create a new one.";
  if (maxCharacters > 0 && length > maxCharacters)
    return "Your password exceeds the maximum character requirement of " + std::to_string(maxCharacters) +
           ".  Please create a new one.";
  if (alphanumeric) {
    bool letter = false;
    bool digit = false;
    for (const char c : password) {
      letter = letter || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
      digit = digit || (c >= '0' && c <= '9');
    }
    if (!letter || !digit) return std::string("This password needs to contain both alpha and numeric characters.");
  }
  return std::nullopt;
}

LoginPasswordManagementWindow::LoginPasswordManagementWindow(store::Connection& practice, ui::Prompter& prompter)
    : practice_(practice), prompter_(prompter), row_(practice.catalogue().get("QVLPM")) {
  if (auto stored = rulesRow(practice)) row_ = std::move(*stored);
}

bool LoginPasswordManagementWindow::checkField(const std::string& fieldName) {
  if (fieldName == "Max Characters" && row_.integer("Max Characters") > 75) {
    prompter_.error("This value cannot exceed 75.");
    return false;
  }
  if (fieldName == "Min Characters" && row_.integer("Min Characters") > 74) {
    prompter_.error("This value cannot exceed 74.");
    return false;
  }
  return true;
}

bool LoginPasswordManagementWindow::close() {
  if (!checkField("Max Characters") || !checkField("Min Characters")) return false;
  if (row_.integer("Max Characters") == 0) {
    prompter_.inform("The Maximum Characters field must have a value greater than 0.  The default value will be added.");
    row_.set("Max Characters", defaultMaxCharacters);
  }
  if (row_.integer("Min Characters") >= row_.integer("Max Characters")) {
    prompter_.error(
        "The \"Minimum Characters\" value must be less than the \"Maximum Characters\" value.  Please correct this "
        "before proceeding.");
    return false;
  }
  if (row_.logical("Alphanumeric") && row_.integer("Min Characters") <= 1) {
    prompter_.error("You must set the minimum number of characters greater than 1 to enforce the alphanumeric property.");
    return false;
  }
  store::ensureTable(practice_, "QVLPM");
  store::Table table = practice_.openTable("QVLPM");
  if (row_.isStored()) table.post(row_);
  else table.append(row_);
  return true;
}

}  // namespace vantrell::security
