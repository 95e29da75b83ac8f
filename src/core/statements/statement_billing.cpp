#include "statements/statement_billing.hpp"

#include <fmt/format.h>

#include <set>

#include "statements/statement_rules.hpp"
#include "store/errors.hpp"
#include "store/names.hpp"
#include "store/table.hpp"
#include "store/trigger_switch.hpp"

namespace vantrell::statements {
namespace {

std::int64_t integerOf(const store::Value& value) {
  const auto* number = std::get_if<std::int64_t>(&value);
  return number != nullptr ? *number : 0;
}

// The cases whose lines are on the statement.
std::set<std::int64_t> casesOn(store::Connection& practice, std::int64_t statement) {
  std::set<std::int64_t> cases;
  auto rows = practice.driver().query(
      "SELECT DISTINCT \"Case Number\" FROM \"QVTRN\" WHERE COALESCE(\"Statement Number\", 0) = ?",
      {store::Value{statement}});
  while (rows->next()) cases.insert(integerOf(rows->column(0, store::FieldType::Integer)));
  return cases;
}

// A comment line in the case's ledger saying the statement went out.
void addBillingNote(store::Connection& practice, const practice::Options& options,
                    std::int64_t caseNumber, Date printDate) {
  const std::string code(store::trimRight(options.text("Statement Bill Note")));
  if (code.empty()) return;
  store::Table codes = practice.openTable("QVPRO");
  codes.setOrder("Primary");
  const auto procedure = codes.seek({store::Value{store::upperAscii(code)}});
  store::Table cases = practice.openTable("QVCAS");
  cases.setOrder("IdxCaseNumber");
  const auto account = cases.seek({store::Value{caseNumber}});
  if (!account) return;
  store::Table ledger = practice.openTable("QVTRN");
  store::Record note = ledger.newRecord();
  note.set("Chart Number", account->text("Chart Number"));
  note.set("Case Number", caseNumber);
  note.set("Date From", printDate);
  note.set("Procedure Code", code);
  note.set("Transaction Type",
           procedure && !procedure->text("Type").empty() ? procedure->text("Type") : "Z");
  if (procedure) note.set("Description", procedure->text("Description").substr(0, 30));
  note.set("Attending Provider", account->text("Assigned Provider"));
  ledger.append(note);
}

}  // namespace

BillingOutcome recordStatementsPrinted(Surroundings surroundings,
                                       const PrintedStatements& printed) {
  BillingOutcome outcome;
  auto& practice = surroundings.practice;
  const auto& options = surroundings.options;
  {
    auto rows = practice.driver().query("SELECT MAX(\"Batch Number\") FROM \"QVSTA\"", {});
    outcome.batch = (rows->next() ? integerOf(rows->column(0, store::FieldType::Integer)) : 0) + 1;
  }
  const Date day = printed.printDate;
  const std::int64_t cycleDays = options.number("Cycle Billing Days");
  const bool cycle = options.flag("Use Cycle Billing") && cycleDays != 0;
  std::set<std::int64_t> billedCases;
  const std::string user =
      surroundings.security != nullptr && !surroundings.security->userCode().empty()
          ? surroundings.security->userCode()
          : practice.userCode();
  store::Table statements = practice.openTable("QVSTA");
  statements.setOrder("Primary");
  store::asBulkOperation(practice, user, "QVTRN", [&] {
    for (const auto number : printed.numbers) {
      auto statement = statements.seek({store::Value{number}});
      if (!statement) continue;
      try {
        statements.edit(*statement);
      } catch (const store::RecordInUseError&) {
        outcome.inUse.push_back(number);
        continue;
      }
      store::Transaction unit(practice);
      practice.driver().execute(
          "UPDATE \"QVTRN\" SET \"Date of Second Statement\" = CASE WHEN \"Date of First "
          "Statement\" IS NOT NULL AND \"Date of Second Statement\" IS NULL THEN ? ELSE \"Date "
          "of Second Statement\" END, \"Date of First Statement\" = COALESCE(\"Date of First "
          "Statement\", ?), \"Date of Last Statement\" = ?, \"Date Modified\" = ? WHERE "
          "COALESCE(\"Statement Number\", 0) = ?",
          {store::Value{day}, store::Value{day}, store::Value{day},
           store::Value{surroundings.clock.now()}, store::Value{number}});
      if (statement->date("Initial Billing Date").isEmpty())
        statement->set("Initial Billing Date", day);
      else if (statement->date("Second Billing Date").isEmpty())
        // The second billing's own date, as the lines' second statement date carries.
        statement->set("Second Billing Date", day);
      statement->set("Last Billing Date", day);
      if (statement->integer("Batch Number") == 0) statement->set("Batch Number", outcome.batch);
      if (statement->text("Status") != statusDone)
        statement->set("Status", std::string(statusSent));
      statement->set("Submission Count", statement->integer("Submission Count") + 1);
      statement->set("Billing Method", std::string(printed.electronic ? "E" : "P"));
      if (cycle)
        statement->set(
            "Next Statement Date",
            Date(std::chrono::year_month_day{day.days() + std::chrono::days{cycleDays}}));
      statements.post(*statement);
      unit.commit();
      outcome.updated.push_back(number);
      if (options.flag("Create Statement Billing Notes")) {
        for (const auto caseNumber : casesOn(practice, number)) billedCases.insert(caseNumber);
      }
    }
    if (!billedCases.empty()) {
      ui::SilentProgress silent;
      ui::Progress& progress = surroundings.progress != nullptr ? *surroundings.progress : silent;
      progress.begin(billingNotesProgress, static_cast<std::int64_t>(billedCases.size()));
      store::Transaction unit(practice);
      std::int64_t done = 0;
      for (const auto caseNumber : billedCases) {
        addBillingNote(practice, options, caseNumber, day);
        ++outcome.billingNotes;
        progress.advance(++done);
      }
      unit.commit();
      progress.end();
    }
  });
  if (!outcome.inUse.empty()) surroundings.prompter.error(billedStatusInUse);
  return outcome;
}

bool mayReprint(Surroundings surroundings, std::int64_t statementNumber) {
  store::Table statements = surroundings.practice.openTable("QVSTA");
  statements.setOrder("Primary");
  const auto statement = statements.seek({store::Value{statementNumber}});
  if (!statement)
    throw store::StoreError(fmt::format("There is no statement {}.", statementNumber));
  if (statement->date("Initial Billing Date").isEmpty()) {
    surroundings.prompter.error(notBilledYet);
    return false;
  }
  return true;
}

std::optional<std::string> statusToRestoreAfterReprint(const std::string& statusBefore) {
  if (statusBefore == statusReadyToSend) return std::nullopt;
  return statusBefore;
}

StatementPrintDialog::StatementPrintDialog(Surroundings surroundings)
    : surroundings_(surroundings) {
  const auto& settings = surroundings_.settings;
  excludeBilledPaid =
      settings.read(settingsKey, "Exclude Paid Billed Entries").value_or("0") == "1";
  const std::string type = settings.read(settingsKey, "Elect Statement Type").value_or("0");
  if (type.size() == 1 && type[0] >= '0' && type[0] <= '2')
    electronicType = static_cast<std::size_t>(type[0] - '0');
}

bool StatementPrintDialog::accept() {
  auto& settings = surroundings_.settings;
  settings.write(settingsKey, "Exclude Paid Billed Entries", excludeBilledPaid ? "1" : "0");
  if (method == Method::Electronic) {
    settings.write(settingsKey, "Elect Statement Type", std::to_string(electronicType));
    surroundings_.prompter.inform(noElectronicSending, "Print/Send Statements");
    return false;
  }
  return true;
}

}  // namespace vantrell::statements
