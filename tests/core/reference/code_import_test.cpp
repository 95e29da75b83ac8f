#include <gtest/gtest.h>

#include <sstream>

#include "reference/code_import.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"
#include "support/store_fixture.hpp"

namespace vantrell::reference {
namespace {

using vantrell::testing::EngineTest;

class CodeImportOnEngine : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (IsSkipped() || HasFailure()) return;
    practice_ = space_->connect();
    store::createMissingTables(*practice_, nullptr);
  }
  ImportResult load(const char* noun, const std::string& csv) {
    std::istringstream in(csv);
    return importCodes(*practice_, *findCodeTable(noun), in, clock_, nullptr);
  }
  ui::FixedClock clock_{*DateTime::parse("2026-12-05 09:00:00")};
  std::unique_ptr<store::Connection> practice_;
};

TEST_P(CodeImportOnEngine, EveryBadRowIsReportedAndNothingOfARefusedFileIsKept) {
  const auto refused = load("code",
                            "Code 1,Description,Type,Tax Rate\r\n"
                            "99213,\"Office visit, established\",A,\r\n"
                            "99213,Twice,A,\r\n"
                            "TAX,Sales tax,G,\r\n"
                            "X1,Wrong type,W,\r\n"
                            "X2,\"A description far longer than the forty characters a code may have\",A,\r\n"
                            "X3,Short row\r\n"
                            "X4,Caf\xe9,A,\r\n");
  ASSERT_EQ(refused.problems.size(), 6u);
  EXPECT_EQ(refused.problems[0].line, 3);
  EXPECT_EQ(refused.problems[0].message, "Procedure code 99213 already exists.\nEnter a unique number.");
  EXPECT_EQ(refused.problems[1].line, 4);
  EXPECT_EQ(refused.problems[1].message, "You need to enter a tax rate.");
  EXPECT_EQ(refused.problems[2].message, "The type \"W\" is not a transaction type.");
  EXPECT_NE(refused.problems[3].message.find("too long for the field Description"), std::string::npos);
  EXPECT_EQ(refused.problems[4].message, "The row has 2 values for 4 columns.");
  EXPECT_EQ(refused.problems[5].message, "Line 8, column 2 holds a byte that is not UTF-8 text.");
  EXPECT_EQ(practice_->openTable("QVPRO").count(), 0);

  const auto missing = load("diagnosis", "Description\r\nHypertension\r\n");
  ASSERT_EQ(missing.problems.size(), 1u);
  EXPECT_EQ(missing.problems[0].message, "The header has no Code 1 column.");
  const auto unknown = load("diagnosis", "Code 1,Colour\r\nI10,red\r\n");
  EXPECT_EQ(unknown.problems[0].message, "The table QVDIA has no field named \"Colour\".");
  const auto twice = load("diagnosis", "Code 1,Description,description\r\nI10,First,Second\r\n");
  ASSERT_EQ(twice.problems.size(), 1u);
  EXPECT_EQ(twice.problems[0].message, "The header names the field \"description\" twice.");
  const auto nul = load("diagnosis", std::string("Code 1,Description\r\nI10,Hyper\0tension\r\n", 39));
  ASSERT_EQ(nul.problems.size(), 1u);
  EXPECT_EQ(nul.problems[0].message, "Line 2, column 2 holds a NUL character.");
  EXPECT_EQ(practice_->openTable("QVDIA").count(), 0);

  // A spreadsheet's byte-order mark before the header is no part of the first field's name.
  const auto accepted = load("diagnosis", "\xEF\xBB\xBF" "Code 1,Description\nI10,Essential hypertension\nE11.9,\"Type 2, diabetes\"\n\n");
  EXPECT_TRUE(accepted.problems.empty());
  EXPECT_EQ(accepted.rows, 2);
  store::Table codes = practice_->openTable("QVDIA");
  codes.setOrder("Primary");
  const auto diabetes = codes.seek({store::Value{std::string("e11.9")}});
  ASSERT_TRUE(diabetes);
  EXPECT_EQ(diabetes->text("Description"), "Type 2, diabetes");
  EXPECT_EQ(diabetes->text("Code 2"), "E11.9");
}

VANTRELL_ON_BOTH_ENGINES(CodeImportOnEngine);

}  // namespace
}  // namespace vantrell::reference
