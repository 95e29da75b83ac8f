#include "accounts/account_deletion.hpp"

#include <vector>

#include "common/money.hpp"
#include "security/audit.hpp"
#include "store/dialect.hpp"
#include "store/names.hpp"
#include "store/schema_catalogue.hpp"
#include "store/table.hpp"

namespace vantrell::accounts {
namespace {

// Which of a referring table's rows the delete takes with it, and so are no
// reference: none, the rows of the patient's own cases, or the case's own.
enum class OwnRows { None, OfTheChart, OfTheCase };

struct Place {
  const char* table;
  const char* field;
  OwnRows own = OwnRows::None;
};

// Searched in this order; the first hit is named in the refusal.
constexpr Place chartPlaces[] = {
    {"QVCAS", "Chart Number", OwnRows::OfTheChart},
    {"QVCAS", "Guarantor", OwnRows::OfTheChart},
    {"QVCAS", "Insured #1", OwnRows::OfTheChart},
    {"QVCAS", "Insured #2", OwnRows::OfTheChart},
    {"QVCAS", "Insured #3", OwnRows::OfTheChart},
    {"QVCLA", "Chart Number", OwnRows::OfTheChart},
    {"QVCASARC", "Chart Number"},
    {"QVCASARC", "Guarantor"},
    {"QVCASARC", "Insured #1"},
    {"QVCASARC", "Insured #2"},
    {"QVCASARC", "Insured #3"},
    {"QVCLAARC", "Chart Number"},
    {"QVDEP", "Chart Number"},
    {"QVDEPARC", "Chart Number"},
    {"QVPLN", "Chart Number"},
    {"QVREC", "Chart Number"},
    {"QVTRN", "Chart Number", OwnRows::OfTheChart},
    {"QVTRNARC", "Chart Number"},
    {"QVELG", "Chart Number"},
    {"QVELGARC", "Chart Number"},
    {"QVOBJ", "Chart Number"},
    {"QVOBJARC", "Chart Number"},
};

constexpr Place casePlaces[] = {
    {"QVCLA", "Case Number", OwnRows::OfTheCase},
    {"QVCASARC", "Case Number"},
    {"QVCLAARC", "Case Number"},
    {"QVDEP", "Case Number"},
    {"QVDEPARC", "Case Number"},
    {"QVPLN", "Case Number"},
    {"QVREC", "Case Number"},
    {"QVTRN", "Case Number", OwnRows::OfTheCase},
    {"QVTRNARC", "Case Number"},
    {"QVELG", "Case Number"},
    {"QVELGARC", "Case Number"},
    {"QVOBJ", "Case Number"},
    {"QVOBJARC", "Case Number"},
};

// Archive tables are made outside the catalogue; their descriptions are the
// system's own.
std::string describeTable(const std::string& table) {
  static const std::pair<const char*, const char*> archives[] = {
      {"QVCASARC", "Case Archive"},       {"QVCLAARC", "Claim Archive"},
      {"QVDEPARC", "Deposit Archive"},    {"QVELGARC", "Eligibility Archive"},
      {"QVOBJARC", "Multimedia Archive"}, {"QVPAXARC", "Pax Archive"},
      {"QVSTAARC", "Statement Archive"},  {"QVTRNARC", "Transaction Archive"}};
  for (const auto& [name, description] : archives) {
    if (store::equalsIgnoringCase(table, name)) return description;
  }
  if (const auto* definition = store::schemaCatalogue().find(table))
    return definition->description();
  return table;
}

template <std::size_t N>
std::optional<AccountReference> firstReference(store::Connection& practice,
                                               const Place (&places)[N], const store::Value& wanted,
                                               const std::string& chartNumber) {
  const std::vector<std::string> existing = practice.tableNames();
  for (const auto& place : places) {
    std::optional<std::string> stored;
    for (const auto& name : existing) {
      if (store::equalsIgnoringCase(name, place.table)) stored = name;
    }
    if (!stored) continue;
    // An older archive may lack the field: it cannot refer through it.
    bool hasField = false;
    for (const auto& column : practice.driver().columnNames(*stored))
      hasField = hasField || column == place.field;
    if (!hasField) continue;
    const std::string table = store::Dialect::quoteIdentifier(*stored);
    const std::string field = store::Dialect::quoteIdentifier(place.field);
    const bool textual = std::holds_alternative<std::string>(wanted);
    std::string sql = "SELECT 1 FROM " + table + " WHERE " +
                      (textual ? "UPPER(" + field + ") = ?" : field + " = ?");
    std::vector<store::Value> parameters = {wanted};
    switch (place.own) {
      case OwnRows::None:
        break;
      case OwnRows::OfTheChart:
        // The patient's own cases go, and with them their entries and claims.
        if (std::string(place.table) == "QVCAS") {
          sql += " AND UPPER(\"Chart Number\") <> ?";
        } else {
          sql +=
              " AND \"Case Number\" NOT IN (SELECT \"Case Number\" FROM \"QVCAS\" WHERE "
              "UPPER(\"Chart Number\") = ?)";
        }
        parameters.emplace_back(chartNumber);
        break;
      case OwnRows::OfTheCase:
        // The case's own entries and claims go with it: nothing of it is left.
        continue;
    }
    auto rows = practice.driver().query(sql + " LIMIT 1", parameters);
    if (rows->next()) return AccountReference{place.field, describeTable(place.table)};
  }
  return std::nullopt;
}

bool holdsTable(store::Connection& practice, const char* table) {
  return practice.tableExists(table);
}

}  // namespace

std::optional<AccountReference> firstPatientReference(store::Connection& practice,
                                                      const std::string& chartNumber) {
  const std::string wanted = store::upperAscii(store::trimRight(chartNumber));
  return firstReference(practice, chartPlaces, store::Value{wanted}, wanted);
}

std::optional<AccountReference> firstCaseReference(store::Connection& practice,
                                                   std::int64_t caseNumber) {
  return firstReference(practice, casePlaces, store::Value{caseNumber}, "");
}

bool caseIsSettled(store::Connection& practice, std::int64_t caseNumber) {
  // Summed in fixed point: doubles summed by the engine can miss zero by a hair.
  Money balance;
  if (holdsTable(practice, "QVTRN")) {
    auto amounts = practice.driver().query(
        "SELECT \"Amount\" FROM \"QVTRN\" WHERE COALESCE(\"Case Number\", 0) = ?",
        {store::Value{caseNumber}});
    while (amounts->next()) {
      const store::Value amount = amounts->column(0, store::FieldType::Double);
      if (const auto* value = std::get_if<double>(&amount)) balance += Money::fromDouble(*value);
    }
  }
  if (balance != Money{}) return false;
  if (!holdsTable(practice, "QVCLA")) return true;
  auto open = practice.driver().query(
      "SELECT 1 FROM \"QVCLA\" WHERE COALESCE(\"Case Number\", 0) = ? AND ("
      "COALESCE(TRIM(\"Claim Status 1\"), '') NOT IN ('', '6') OR "
      "COALESCE(TRIM(\"Claim Status 2\"), '') NOT IN ('', '6') OR "
      "COALESCE(TRIM(\"Claim Status 3\"), '') NOT IN ('', '6')) LIMIT 1",
      {store::Value{caseNumber}});
  return !open->next();
}

void deleteCaseRows(store::Connection& practice, const std::string& chartNumber,
                    std::int64_t caseNumber, const DateTime& when) {
  const store::Value number{caseNumber};
  if (holdsTable(practice, "QVTRN")) {
    if (holdsTable(practice, "QVPAX")) {
      for (const char* reference : {"Charge Reference", "Payment Reference"}) {
        practice.executeSql(std::string("DELETE FROM \"QVPAX\" WHERE \"") + reference +
                                "\" IN (SELECT \"Entry Number\" FROM \"QVTRN\" WHERE "
                                "COALESCE(\"Case Number\", 0) = ?)",
                            {number});
      }
    }
    practice.executeSql("DELETE FROM \"QVTRN\" WHERE COALESCE(\"Case Number\", 0) = ?", {number});
  }
  if (holdsTable(practice, "QVCLA"))
    practice.executeSql("DELETE FROM \"QVCLA\" WHERE COALESCE(\"Case Number\", 0) = ?", {number});
  if (holdsTable(practice, "QVCCD")) {
    auto custom = practice.driver().query(
        "SELECT 1 FROM \"QVCCD\" WHERE COALESCE(\"Case Number\", 0) = ? LIMIT 1", {number});
    if (custom->next()) {
      practice.executeSql("DELETE FROM \"QVCCD\" WHERE COALESCE(\"Case Number\", 0) = ?", {number});
      security::writeAuditLine(practice, chartNumber, "Deleted Case Custom Data", when);
    }
  }
  practice.executeSql("DELETE FROM \"QVCAS\" WHERE \"Case Number\" = ?", {number});
  security::writeAuditLine(practice, chartNumber, "Deleted Case " + std::to_string(caseNumber),
                           when);
}

}  // namespace vantrell::accounts
