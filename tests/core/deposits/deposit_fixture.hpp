#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "deposits/deposit_window.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"
#include "support/practice_rows.hpp"
#include "support/scripted_prompter.hpp"
#include "support/store_fixture.hpp"

namespace vantrell::deposits {

using Fields = vantrell::testing::FieldTexts;
using vantrell::testing::ScriptedPrompter;

// Jane Doe's practice of the payment tests, with the patient payment codes of
// each method (CASH J, CHECK K, CARD L, copay cash CCASH M) and the options
// that give new deposits their codes.
class DepositPractice : public vantrell::testing::EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (IsSkipped() || HasFailure()) return;
    practice_ = space_->connect();
    store::createMissingTables(*practice_, nullptr);
    vantrell::testing::insertPaymentPractice(*practice_);
    insert("QVPRO", {{"Code 1", "CASH"}, {"Type", "J"}});
    insert("QVPRO", {{"Code 1", "CCASH"}, {"Type", "M"}});
    insert("QVPRO", {{"Code 1", "CARD"}, {"Type", "L"}});
    insert("QVPRO", {{"Code 1", "PWO"}, {"Type", "S"}});
    insert("QVOPT", {{"Default Cash Payment Code", "CASH"},
                     {"Default Check Paymnt Code", "CHECK"},
                     {"Credit Card Payment Code", "CARD"},
                     {"Patient Write Off Code", "PWO"}});
  }

  void insert(const char* table, const Fields& fields) {
    vantrell::testing::insertRow(*practice_, table, fields);
  }
  std::int64_t lastNumber(const char* table, const char* field) {
    return vantrell::testing::singleNumber(
        *practice_, std::string("SELECT MAX(\"") + field + "\") FROM \"" + table + "\"");
  }
  std::int64_t count(const std::string& sql) {
    return vantrell::testing::singleNumber(*practice_, sql);
  }

  // A deposit as another desk left it; returns its entry number.
  std::int64_t depositRow(Fields fields) {
    insert("QVDEP", fields);
    return lastNumber("QVDEP", "Entry Number");
  }
  // A payment line of the deposit, put in straight as payment application
  // would have left it.
  std::int64_t paymentRow(std::int64_t deposit, const char* type, const char* amount,
                          const char* check = "") {
    insert("QVTRN", {{"Chart Number", "DOEJA000"},
                     {"Transaction Type", type},
                     {"Procedure Code", "INS"},
                     {"Date From", "12/01/2026"},
                     {"Amount", amount},
                     {"Who Paid", "1"},
                     {"Check Number", check},
                     {"Deposit ID", std::to_string(deposit)}});
    return lastNumber("QVTRN", "Entry Number");
  }

  store::Record row(const char* table, const char* keyField, std::int64_t key) {
    store::Table rows = practice_->openTable(table);
    rows.setFilter(std::string(keyField) + " = " + std::to_string(key));
    store::PageCursor cursor;
    auto found = rows.nextPage(cursor, 2);
    EXPECT_EQ(found.size(), 1U) << table << " " << key;
    return found.at(0);
  }
  store::Record depositOf(std::int64_t entry) { return row("QVDEP", "Entry Number", entry); }

  std::vector<std::string> auditComments() {
    std::vector<std::string> comments;
    store::ensureTable(*practice_, "QVAUD");
    store::Table audit = practice_->openTable("QVAUD");
    audit.forEach([&](const store::Record& entry) { comments.push_back(entry.text("Comment")); });
    return comments;
  }

  DepositSurroundings surroundings(ui::Prompter& prompter) {
    return {*practice_, prompter, nullptr, [] { return Date::fromYmd(2026, 12, 5); }};
  }

  std::unique_ptr<store::Connection> practice_;
};

}  // namespace vantrell::deposits
