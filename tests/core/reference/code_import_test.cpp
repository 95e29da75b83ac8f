#include <gtest/gtest.h>

#include <sstream>

#include "reference/code_import.hpp"
#include "store/table.hpp"
#include "store/errors.hpp"
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

// Another workstation at the same practice, writing a code between the
// import's chunks; it does not wait for the practice, so it is refused at once
// if the import still holds it.
class OtherWorkstationWrites final : public ui::Progress {
 public:
  OtherWorkstationWrites(const store::DataLocation& location, const ui::Clock& clock, std::string prefix,
                         bool abortAfterFirst)
      : other_(store::Connection::open(location, {"FRONTDESK", &clock, false, 0})),
        prefix_(std::move(prefix)),
        abortAfterFirst_(abortAfterFirst) {}
  void begin(const std::string&, std::int64_t) override {}
  bool advance(std::int64_t done) override {
    readSoFar.push_back(done);
    store::Table codes = other_->openTable("QVDIA");
    store::Record code = codes.newRecord();
    code.set("Code 1", prefix_ + std::to_string(readSoFar.size()));
    code.set("Description", std::string("Typed at the front desk"));
    try {
      codes.append(code);
      ++saved;
    } catch (const store::StoreError& error) {
      refusals.push_back(error.what());
    }
    return !abortAfterFirst_;
  }
  void end() override {}

  std::vector<std::int64_t> readSoFar;
  int saved = 0;
  std::vector<std::string> refusals;

 private:
  std::unique_ptr<store::Connection> other_;
  std::string prefix_;
  bool abortAfterFirst_;
};

TEST_P(CodeImportOnEngine, AFileOfThousandsLetsOtherWorkstationsSaveAndIsKeptWholeOrNotAtAll) {
  std::string csv = "Code 1,Description\n";
  const int rows = 2 * importChunkRows + 500;
  for (int i = 0; i < rows; ++i) csv += "C" + std::to_string(i) + ",Code number " + std::to_string(i) + "\n";

  OtherWorkstationWrites aborting(space_->location(), clock_, "A", true);
  std::istringstream first(csv);
  const auto aborted = importCodes(*practice_, *findCodeTable("diagnosis"), first, clock_, nullptr, &aborting);
  EXPECT_EQ(aborted.rows, 0);
  ASSERT_EQ(aborted.problems.size(), 1u);
  EXPECT_EQ(aborted.problems[0].message, "The import was aborted; nothing was kept.");
  EXPECT_EQ(aborting.refusals, std::vector<std::string>{});
  EXPECT_EQ(practice_->openTable("QVDIA").count(), 1);  // the front desk's code only

  OtherWorkstationWrites writing(space_->location(), clock_, "B", false);
  std::istringstream second(csv);
  const auto imported = importCodes(*practice_, *findCodeTable("diagnosis"), second, clock_, nullptr, &writing);
  EXPECT_TRUE(imported.problems.empty());
  EXPECT_EQ(imported.rows, rows);
  EXPECT_EQ(writing.readSoFar, (std::vector<std::int64_t>{importChunkRows, 2 * importChunkRows}));
  EXPECT_EQ(writing.refusals, std::vector<std::string>{});
  EXPECT_EQ(writing.saved, 2);
  // The front desk's three codes and every row of the file.
  EXPECT_EQ(practice_->openTable("QVDIA").count(), rows + 3);
}

VANTRELL_ON_BOTH_ENGINES(CodeImportOnEngine);

}  // namespace
}  // namespace vantrell::reference
