#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "claims/claim_actions.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"
#include "support/practice_rows.hpp"
#include "support/scripted_prompter.hpp"
#include "support/store_fixture.hpp"

namespace vantrell::claims {

using Fields = vantrell::testing::FieldTexts;
using vantrell::testing::ScriptedPrompter;

// A practice with two patients, three carriers (OLD inactive) and Jane Doe's
// insured case; claims and charges are put in straight, as another desk's
// Create Claims would have left them.
class ClaimPractice : public vantrell::testing::EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (IsSkipped() || HasFailure()) return;
    practice_ = space_->connect();
    store::createMissingTables(*practice_, nullptr);
    insert("QVPAT", {{"Chart Number", "DOEJA000"}, {"Last Name", "Doe"}, {"First Name", "Jane"}});
    insert("QVPAT", {{"Chart Number", "SMIJO000"}, {"Last Name", "Smith"}, {"First Name", "John"}});
    insert("QVINS", {{"Code", "MC"}, {"Name", "Medicare"}});
    insert("QVINS", {{"Code", "BC"}, {"Name", "Blue"}});
    insert("QVINS", {{"Code", "OLD"}, {"Name", "Gone"}, {"Inactive", "T"}});
    insert("QVCAS", {{"Chart Number", "DOEJA000"},
                     {"Guarantor", "DOEJO000"},
                     {"Insurance Carrier #1", "MC"},
                     {"Policy Number #1", "POL-1"},
                     {"Group Number #1", "GRP-1"},
                     {"Insurance Carrier #2", "BC"},
                     {"Policy Number #2", "POL-2"},
                     {"Group Number #2", "GRP-2"}});
    caseNumber_ =
        vantrell::testing::singleNumber(*practice_, "SELECT MAX(\"Case Number\") FROM \"QVCAS\"");
  }

  void insert(const char* table, const Fields& fields) {
    vantrell::testing::insertRow(*practice_, table, fields);
  }

  // A claim of Jane Doe's case with the given fields (slots not named stay empty).
  std::int64_t claim(Fields fields, const char* table = "QVCLA") {
    fields.insert(fields.begin(),
                  {{"Chart Number", "DOEJA000"}, {"Case Number", std::to_string(caseNumber_)}});
    insert(table, fields);
    return vantrell::testing::singleNumber(
        *practice_, std::string("SELECT MAX(\"Claim Number\") FROM \"") + table + "\"");
  }

  // An insurance charge of the case, on the claim (0: unbilled).
  std::int64_t charge(std::int64_t claimNumber, const char* amount, Fields more = {}) {
    Fields fields = {{"Chart Number", "DOEJA000"},
                     {"Case Number", std::to_string(caseNumber_)},
                     {"Transaction Type", "A"},
                     {"Procedure Code", "VISIT"},
                     {"Date From", "12/01/2026"},
                     {"Amount", amount},
                     {"Claim Number", std::to_string(claimNumber)},
                     {"Insurance 1 Responsible", "T"},
                     {"Diagnosis Code 1", "R05"}};
    fields.insert(fields.end(), more.begin(), more.end());
    insert("QVTRN", fields);
    return vantrell::testing::singleNumber(*practice_,
                                           "SELECT MAX(\"Entry Number\") FROM \"QVTRN\"");
  }

  store::Record row(const char* table, const char* keyField, std::int64_t key) {
    store::Table rows = practice_->openTable(table);
    rows.setFilter(std::string(keyField) + " = " + std::to_string(key));
    store::PageCursor cursor;
    auto found = rows.nextPage(cursor, 2);
    EXPECT_EQ(found.size(), 1U) << table << " " << key;
    return found.at(0);
  }
  store::Record claimRow(std::int64_t number) { return row("QVCLA", "Claim Number", number); }
  std::int64_t claimOf(std::int64_t entry) {
    return row("QVTRN", "Entry Number", entry).integer("Claim Number");
  }
  std::int64_t count(const std::string& sql) {
    return vantrell::testing::singleNumber(*practice_, sql);
  }

  ClaimSurroundings surroundings(ui::Prompter& prompter, store::Connection* on = nullptr) {
    return {on != nullptr ? *on : *practice_, prompter, nullptr,
            [] { return Date::fromYmd(2026, 12, 5); }};
  }

  std::unique_ptr<store::Connection> practice_;
  std::int64_t caseNumber_ = 0;
};

}  // namespace vantrell::claims
