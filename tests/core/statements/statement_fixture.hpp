#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "practice/options.hpp"
#include "statements/statement_creation.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"
#include "support/practice_rows.hpp"
#include "support/scripted_prompter.hpp"
#include "support/store_fixture.hpp"
#include "ui/clock.hpp"
#include "ui/settings.hpp"

namespace vantrell::statements {

using Fields = vantrell::testing::FieldTexts;

// A practice with patients, cases and ledger lines written straight into the
// tables, the state a statement run starts from; the clock stands on
// 2026-06-15.
class StatementPractice : public vantrell::testing::EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (IsSkipped() || HasFailure()) return;
    practice_ = space_->connect();
    store::createMissingTables(*practice_, nullptr);
    options_ = vantrell::testing::newPracticeOptions(*practice_);
  }

  void insert(const char* table, const Fields& fields) {
    vantrell::testing::insertRow(*practice_, table, fields);
  }
  void patient(const std::string& chart, const std::string& phone = "") {
    insert("QVPAT", {{"Chart Number", chart}, {"Last Name", chart}, {"Phone 1", phone}});
  }
  // A case of the patient whose statements go to the guarantor.
  std::int64_t caseOf(const std::string& chart, const std::string& guarantor,
                      bool printsStatements = true, const Fields& more = {}) {
    Fields fields = {{"Chart Number", chart},
                     {"Guarantor", guarantor},
                     {"Print Patient Statements", printsStatements ? "T" : "F"}};
    fields.insert(fields.end(), more.begin(), more.end());
    insert("QVCAS", fields);
    return number("SELECT MAX(\"Case Number\") FROM \"QVCAS\"");
  }
  // A guarantor-responsible charge; `more` adds or overrides fields.
  std::int64_t charge(const std::string& chart, std::int64_t caseNumber, const std::string& amount,
                      const Fields& more = {}) {
    Fields fields = {{"Chart Number", chart},   {"Case Number", std::to_string(caseNumber)},
                     {"Transaction Type", "A"}, {"Date From", "2026-05-01"},
                     {"Amount", amount},        {"Guarantor Responsible", "T"}};
    for (const auto& [field, value] : more) {
      bool replaced = false;
      for (auto& existing : fields) {
        if (existing.first == field) {
          existing.second = value;
          replaced = true;
        }
      }
      if (!replaced) fields.emplace_back(field, value);
    }
    insert("QVTRN", fields);
    return number("SELECT MAX(\"Entry Number\") FROM \"QVTRN\"");
  }
  // A new practice starts with the option on.
  void enforceAcceptAssignment(bool on) {
    auto row = options_.record();
    row.set("Enforce Accept Assignment", on);
    options_ = practice::Options(row);
  }
  std::int64_t number(const std::string& sql) {
    const auto value = practice_->executeSql(sql).rows.at(0).at(0);
    if (const auto* whole = std::get_if<std::int64_t>(&value)) return *whole;
    return 0;
  }
  std::int64_t statementOf(std::int64_t entry) {
    return number(
        "SELECT COALESCE(\"Statement Number\", 0) FROM \"QVTRN\" WHERE \"Entry Number\" = " +
        std::to_string(entry));
  }
  // Every statement, by number.
  std::map<std::int64_t, store::Record> statements() {
    std::map<std::int64_t, store::Record> found;
    store::Table table = practice_->openTable("QVSTA");
    table.setOrder("Primary");
    table.forEach(
        [&](const store::Record& row) { found.emplace(row.integer("Statement Number"), row); });
    return found;
  }

  Surroundings surroundings(ui::Prompter& prompter, ui::Progress* progress = nullptr) {
    return {*practice_, options_, prompter, settings_, clock_, nullptr, progress};
  }
  // A range-mode run with the dialog filled by `fill`.
  CreationOutcome createInRange(vantrell::testing::ScriptedPrompter& prompter,
                                const std::function<void(StatementCreateDialog&)>& fill = {},
                                ui::Progress* progress = nullptr) {
    CreationOutcome outcome;
    createStatements(
        surroundings(prompter, progress), "", true, true, createFromStatementList,
        [&](StatementCreateDialog& dialog) {
          if (fill) fill(dialog);
          return true;
        },
        &outcome);
    return outcome;
  }

  std::unique_ptr<store::Connection> practice_;
  practice::Options options_;
  ui::MemorySettings settings_;
  ui::FixedClock clock_{*DateTime::parse("2026-06-15 10:00:00")};
};

}  // namespace vantrell::statements
