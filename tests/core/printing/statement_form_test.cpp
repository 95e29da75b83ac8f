#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <string>

#include "pdf_renderer.hpp"
#include "printing/pdf_reading.hpp"
#include "statements/statement_form.hpp"
#include "store/driver.hpp"
#include "store/table_creation.hpp"
#include "support/practice_rows.hpp"
#include "support/store_fixture.hpp"

namespace vantrell::statements {
namespace {

namespace fs = std::filesystem;
using testing::FieldTexts;
using testing::insertRow;
using testing::lineWith;
using testing::pdfText;
using vantrell::testing::EngineTest;

Money dollars(std::int64_t cents) {
  return Money::fromCents(cents);
}

// Passes everything to the practice's own session and counts the reads.
class CountingDriver final : public store::Driver {
 public:
  explicit CountingDriver(store::Driver& inner) : inner_(inner) {}
  int queries = 0;

  const store::Dialect& dialect() const override { return inner_.dialect(); }
  std::unique_ptr<store::ResultRows> query(const std::string& sql,
                                           const std::vector<store::Value>& parameters) override {
    ++queries;
    return inner_.query(sql, parameters);
  }
  std::int64_t execute(const std::string& sql,
                       const std::vector<store::Value>& parameters) override {
    return inner_.execute(sql, parameters);
  }
  void executeScript(const std::string& sql) override { inner_.executeScript(sql); }
  bool transactionFailed() const override { return inner_.transactionFailed(); }
  void advanceAutoIncrement(std::string_view table, std::string_view field) override {
    inner_.advanceAutoIncrement(table, field);
  }
  std::optional<std::int64_t> lastInsertRowId() const override { return inner_.lastInsertRowId(); }
  void lockTableUntilCommit(std::string_view table) override { inner_.lockTableUntilCommit(table); }
  bool tableExists(std::string_view table) override { return inner_.tableExists(table); }
  std::vector<std::string> tableNames() override { return inner_.tableNames(); }
  std::vector<std::string> columnNames(std::string_view table) override {
    return inner_.columnNames(table);
  }
  void begin() override { inner_.begin(); }
  void commit() override { inner_.commit(); }
  void rollback() override { inner_.rollback(); }
  store::RecordLocks& locks() override { return inner_.locks(); }
  std::string location() const override { return inner_.location(); }

 private:
  store::Driver& inner_;
};

class StatementFormOnEngine : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    practice_ = space_->connect();
    store::createMissingTables(*practice_, nullptr);
    insertRow(*practice_, "QVPRA",
              {{"Practice Name", "Family Care Clinic"},
               {"Street 1", "400 Main Street"},
               {"City", "Springfield"},
               {"State", "IL"},
               {"Zip Code", "62704"},
               {"Phone", "(217)555-0100"}});
    store::Table options = practice_->openTable("QVOPT");
    store::Record row = options.newRecord();
    practice::applyNewOptionValues(row);  // aging at 0, 30, 60 and 90 days
    options.append(row);

    insertRow(*practice_, "QVPAT",
              {{"Chart Number", "SMITHJO0"},
               {"First Name", "John"},
               {"Middle Initial", "Q"},
               {"Last Name", "Smith"},
               {"Street 1", "12 Elm Street"},
               {"Street 2", "Apt 3"},
               {"City", "Springfield"},
               {"State", "IL"},
               {"Zip Code", "62701"}});
    insertRow(*practice_, "QVPAT",
              {{"Chart Number", "SMITHAN0"}, {"First Name", "Anna"}, {"Last Name", "Smith"}});
    insertRow(*practice_, "QVPAT",
              {{"Chart Number", "ADAMSBE0"},
               {"First Name", "Beth"},
               {"Last Name", "Adams"},
               {"Street 1", "9 Oak Lane"},
               {"City", "Decatur"},
               {"State", "IL"},
               {"Zip Code", "62521"}});
  }

  std::int64_t statement(const std::string& chart, const std::string& type) {
    store::Table table = practice_->openTable("QVSTA");
    store::Record row = table.newRecord();
    row.setFromText("Chart Number", chart);
    row.setFromText("Statement Type", type);
    row.setFromText("Status", "1");
    row.setFromText("Batch Number", "7");
    table.append(row);
    return row.integer("Statement Number");
  }

  std::int64_t entry(FieldTexts fields) {
    store::Table table = practice_->openTable("QVTRN");
    store::Record row = table.newRecord();
    for (const auto& [field, value] : fields) row.setFromText(field, value);
    table.append(row);
    return row.integer("Entry Number");
  }

  void apply(std::int64_t payment, std::int64_t charge, const std::string& amount,
             const std::string& whoPaid) {
    insertRow(*practice_, "QVPAX",
              {{"Payment Reference", std::to_string(payment)},
               {"Charge Reference", std::to_string(charge)},
               {"Payment Amount", amount},
               {"Who Paid", whoPaid}});
  }

  std::unique_ptr<store::Connection> practice_;
};

// Four charges of two patients on John Smith's standard statement, aged on
// 12/31/2026 at 0-30-60-90 days:
//   11/20 visit 100.00, primary paid 60.00, 10.00 written off: 30.00, 41 days
//   12/15 x-ray 80.00 for Anna, primary still to pay: 80.00 pending, 16 days
//   08/01 visit 50.00, John paid 20.00: 30.00, 152 days
//   10/10 visit 25.00: 25.00, 82 days
// 255.00 charged, 80.00 paid, 10.00 adjusted: 165.00 due.
TEST_P(StatementFormOnEngine, StandardStatementAddsUpAgesAndReadsBackAsAPersonSeesIt) {
  const std::int64_t smith = statement("SMITHJO0", "S");
  const std::int64_t adams = statement("ADAMSBE0", "S");
  const std::string on = std::to_string(smith);
  const std::int64_t visit = entry({{"Chart Number", "SMITHJO0"},
                                    {"Transaction Type", "A"},
                                    {"Date From", "11/20/2026"},
                                    {"Procedure Code", "99213"},
                                    {"Description", "Office visit"},
                                    {"Amount", "100"},
                                    {"Insurance 1 Amount Paid", "-60"},
                                    {"Adjustment Amount", "-10"},
                                    {"Insurance 1 Responsible", "T"},
                                    {"Insurance 1 Paid", "T"},
                                    {"Guarantor Responsible", "T"},
                                    {"Statement Number", on}});
  entry({{"Chart Number", "SMITHAN0"},
         {"Transaction Type", "B"},
         {"Date From", "12/15/2026"},
         {"Procedure Code", "71045"},
         // Posted from the code list: the code's text, nothing typed.
         {"Procedure Description", "Chest x-ray"},
         {"Amount", "80"},
         {"Insurance 1 Responsible", "T"},
         {"Guarantor Responsible", "T"},
         {"Statement Number", on}});
  const std::int64_t old = entry({{"Chart Number", "SMITHJO0"},
                                  {"Transaction Type", "A"},
                                  {"Date From", "08/01/2026"},
                                  {"Procedure Code", "99212"},
                                  {"Description", "Short visit"},
                                  {"Amount", "50"},
                                  {"Guarantor Amount Paid", "-20"},
                                  {"Guarantor Responsible", "T"},
                                  {"Statement Number", on}});
  entry({{"Chart Number", "SMITHJO0"},
         {"Transaction Type", "A"},
         {"Date From", "10/10/2026"},
         {"Procedure Code", "36415"},
         {"Description", "Blood draw"},
         {"Amount", "25"},
         {"Guarantor Responsible", "T"},
         {"Statement Number", on}});
  // Neither on this statement nor on any: never shown on it.
  entry({{"Chart Number", "SMITHJO0"},
         {"Transaction Type", "A"},
         {"Date From", "12/01/2026"},
         {"Description", "Not yet billed"},
         {"Amount", "999"}});
  entry({{"Chart Number", "ADAMSBE0"},
         {"Transaction Type", "A"},
         {"Date From", "12/20/2026"},
         {"Description", "Flu shot"},
         {"Amount", "35"},
         {"Guarantor Responsible", "T"},
         {"Statement Number", std::to_string(adams)}});
  const std::int64_t insurance = entry({{"Chart Number", "SMITHJO0"},
                                        {"Transaction Type", "I"},
                                        {"Date From", "12/05/2026"},
                                        {"Description", "Medicare EOB"},
                                        {"Amount", "-60"},
                                        {"Who Paid", "1"}});
  const std::int64_t writeOff = entry({{"Chart Number", "SMITHJO0"},
                                       {"Transaction Type", "T"},
                                       {"Date From", "12/05/2026"},
                                       {"Amount", "-10"}});
  const std::int64_t check = entry({{"Chart Number", "SMITHJO0"},
                                    {"Transaction Type", "N"},
                                    {"Date From", "09/02/2026"},
                                    {"Description", "Check 1041"},
                                    {"Amount", "-20"},
                                    {"Who Paid", "G"}});
  // The primary also put 15.00 towards the deductible: a line of amount 0
  // that moves no money, so the visit's lines still add up to 30.00; the
  // deductible is told only in its description, as long as a five-letter
  // carrier code and the field's 30 characters make it.
  const std::int64_t deductible = entry({{"Chart Number", "SMITHJO0"},
                                         {"Transaction Type", "P"},
                                         {"Date From", "12/05/2026"},
                                         {"Description", "Carrier BCBS1 Deductible 15.00"},
                                         {"Amount", "0"},
                                         {"Who Paid", "1"}});
  apply(insurance, visit, "-60", "1");
  apply(writeOff, visit, "-10", "");
  apply(deductible, visit, "-15", "1");
  apply(check, old, "-20", "G");

  const Date printed = Date::fromYmd(2026, 12, 31);
  const auto forms = readStatementForms(*practice_, {smith, adams, 9999}, printed);
  ASSERT_EQ(forms.size(), 2u);
  EXPECT_EQ(forms[0].accountNumber, "ADAMSBE0");  // chart order, not number order
  const StatementForm& form = forms[1];
  EXPECT_EQ(form.guarantor.name, "John Q. Smith");
  EXPECT_EQ(form.guarantor.lines,
            (std::vector<std::string>{"12 Elm Street", "Apt 3", "Springfield, IL  62701"}));
  EXPECT_EQ(form.charges, dollars(25500));
  EXPECT_EQ(form.payments, dollars(-8000));
  EXPECT_EQ(form.adjustments, dollars(-1000));
  EXPECT_EQ(form.amountDue, dollars(16500));
  EXPECT_EQ(form.insurancePending, dollars(8000));
  EXPECT_EQ(form.aging.amounts[0], dollars(8000));
  EXPECT_EQ(form.aging.amounts[1], dollars(3000));
  EXPECT_EQ(form.aging.amounts[2], dollars(2500));
  EXPECT_EQ(form.aging.amounts[3], dollars(3000));
  // Four charges and the four lines applied to them; each charge's lines add up
  // to what is still open on it, in chart and date order: 80.00, 30.00, 25.00
  // and 30.00 on the visit.
  ASSERT_EQ(form.entries.size(), 8u);
  std::vector<Money> lineTotals;
  for (const StatementEntry& each : form.entries) {
    if (each.kind == StatementEntry::Kind::Charge) lineTotals.emplace_back();
    lineTotals.back() += each.amount;
  }
  EXPECT_EQ(lineTotals,
            (std::vector<Money>{dollars(8000), dollars(3000), dollars(2500), dollars(3000)}));

  printing::Document document;
  for (const auto& each : forms) layOutStatement(document, each);
  const fs::path pdf =
      fs::temp_directory_path() / ("vantrell-statement-" + std::to_string(::getpid()) + ".pdf");
  pdf::writePdf(document, pdf);
  testing::keepPdf(pdf, "statement-" + std::string(practice_->dialect().engineName()) + ".pdf");
  const std::string text = pdfText(pdf);
  const std::string words = pdfText(pdf, false);
  const auto pages = testing::pdfPages(pdf);
  const auto placed = testing::pdfWords(pdf);
  fs::remove(pdf);

  // The deductible reads in full inside the Description column (296 to 478
  // points from the left), and no word is printed over another.
  int deductibleWords = 0;
  for (const auto& word : placed) {
    if (word.text != "BCBS1" && word.text != "Deductible" && word.text != "15.00") continue;
    ++deductibleWords;
    EXPECT_GE(word.xMin, 296.0) << word.text;
    EXPECT_LE(word.xMax, 478.0) << word.text;
  }
  EXPECT_EQ(deductibleWords, 3);
  for (std::size_t a = 0; a < placed.size(); ++a)
    for (std::size_t b = a + 1; b < placed.size(); ++b)
      EXPECT_FALSE(placed[a].page == placed[b].page && placed[a].xMin < placed[b].xMax - 0.5 &&
                   placed[b].xMin < placed[a].xMax - 0.5 && placed[a].yMin < placed[b].yMax - 0.5 &&
                   placed[b].yMin < placed[a].yMax - 0.5)
          << placed[a].text << " over " << placed[b].text;

  // Adams first, then Smith; each statement counts its own pages.
  const std::size_t beth = text.find("Beth Adams");
  const std::size_t john = text.find("John Q. Smith");
  ASSERT_NE(beth, std::string::npos);
  ASSERT_NE(john, std::string::npos);
  EXPECT_LT(beth, john);
  EXPECT_EQ(text.find("Page 2 of"), std::string::npos);
  for (const char* expected : {"Family Care Clinic",
                               "400 Main Street",
                               "12 Elm Street",
                               "Apt 3",
                               "Springfield, IL 62701",
                               "Office visit",
                               "Chest x-ray",
                               "Short visit",
                               "Blood draw",
                               "Medicare EOB",
                               "Check 1041",
                               "Anna Smith",
                               "11/20/2026",
                               "Current",
                               "31 - 60",
                               "61 - 90",
                               "Over 90",
                               "Insurance Pending",
                               "Amount Due",
                               "Amount Enclosed"})
    EXPECT_NE(words.find(expected), std::string::npos) << expected;
  EXPECT_EQ(text.find("Not yet billed"), std::string::npos);
  EXPECT_EQ(text.find("Flu shot", john), std::string::npos);

  // The aging boxes read across: 80.00, 30.00, 25.00, 30.00, pending 80.00, due 165.00.
  const std::string boxes = lineWith(text.substr(john), "$165.00");
  const std::regex amounts(R"(\$80\.00\s+\$30\.00\s+\$25\.00\s+\$30\.00\s+\$80\.00\s+\$165\.00)");
  EXPECT_TRUE(std::regex_search(boxes, amounts)) << boxes;
  // The remittance part shows the amount due and the account number too.
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_NE(lineWith(pages[1], "Amount Due").find("$165.00"), std::string::npos);
  EXPECT_NE(lineWith(pages[1], "Account Number").find("SMITHJO0"), std::string::npos);
}

// The guarantor's name and address sit where a #10 window envelope shows
// them: 7/8" to 4 3/8" from the left, 2" to 3" from the top.
// "Exclude Billed Paid Entries" leaves off only what is both billed before and
// settled: a paid charge never billed stays, an open billed charge stays.
TEST_P(StatementFormOnEngine, ExcludingBilledPaidEntriesKeepsWhatIsOpenOrNew) {
  const std::int64_t number = statement("SMITHJO0", "S");
  const std::string on = std::to_string(number);
  const auto charge = [&](const std::string& description, const std::string& firstStatement,
                          const std::string& paid) {
    return entry({{"Chart Number", "SMITHJO0"},
                  {"Transaction Type", "A"},
                  {"Date From", "11/02/2026"},
                  {"Description", description},
                  {"Amount", "50"},
                  {"Guarantor Amount Paid", paid},
                  {"Guarantor Responsible", "T"},
                  {"Date of First Statement", firstStatement},
                  {"Statement Number", on}});
  };
  const std::int64_t settled = charge("Billed and paid", "11/30/2026", "-50");
  charge("Billed still open", "11/30/2026", "-20");
  charge("Paid at the desk", "", "-50");
  const std::int64_t check = entry({{"Chart Number", "SMITHJO0"},
                                    {"Transaction Type", "N"},
                                    {"Date From", "12/03/2026"},
                                    {"Description", "Check 2200"},
                                    {"Amount", "-50"},
                                    {"Who Paid", "G"}});
  apply(check, settled, "-50", "G");

  const Date printed = Date::fromYmd(2026, 12, 31);
  const auto all = readStatementForms(*practice_, {number}, printed);
  const auto trimmed = readStatementForms(*practice_, {number}, printed, true);
  ASSERT_EQ(all.size(), 1u);
  ASSERT_EQ(trimmed.size(), 1u);
  std::vector<std::string> shown;
  for (const auto& line : trimmed[0].entries) shown.push_back(line.description);
  EXPECT_EQ(shown, (std::vector<std::string>{"Billed still open", "Paid at the desk"}));
  EXPECT_EQ(all[0].entries.size(), 4u);  // three charges and the check applied to one
  EXPECT_EQ(trimmed[0].charges, dollars(10000));
  EXPECT_EQ(trimmed[0].amountDue, dollars(3000));
  EXPECT_EQ(all[0].amountDue, dollars(3000));
}

// A guarantor who paid more than the charges owe is in credit: the payment not
// yet applied shows on the statement and counts against the amount due, once,
// on the latest statement of its case; another case's credit stays off it.
TEST_P(StatementFormOnEngine, PaymentsNotYetAppliedCountAgainstTheAmountDue) {
  const std::int64_t earlier = statement("LARKLE00", "S");
  const std::int64_t latest = statement("LARKLE00", "S");
  entry({{"Chart Number", "LARKLE00"},
         {"Case Number", "1"},
         {"Transaction Type", "A"},
         {"Date From", "11/02/2026"},
         {"Description", "Paid visit"},
         {"Amount", "40"},
         {"Guarantor Amount Paid", "-40"},
         {"Guarantor Responsible", "T"},
         {"Statement Number", std::to_string(earlier)}});
  entry({{"Chart Number", "LARKLE00"},
         {"Case Number", "1"},
         {"Transaction Type", "A"},
         {"Date From", "11/25/2026"},
         {"Description", "Office visit"},
         {"Amount", "100"},
         {"Guarantor Responsible", "T"},
         {"Statement Number", std::to_string(latest)}});
  entry({{"Chart Number", "LARKLE00"},
         {"Case Number", "1"},
         {"Transaction Type", "O"},
         {"Date From", "11/26/2026"},
         {"Description", "Card payment"},
         {"Amount", "-130"},
         {"Unapplied Amount", "-130"},
         {"Who Paid", "G"}});
  entry({{"Chart Number", "LARKLE00"},
         {"Case Number", "2"},
         {"Transaction Type", "N"},
         {"Date From", "11/27/2026"},
         {"Description", "Other case check"},
         {"Amount", "-50"},
         {"Unapplied Amount", "-50"},
         {"Who Paid", "G"}});

  const auto forms = readStatementForms(*practice_, {earlier, latest}, Date::fromYmd(2026, 12, 31));
  ASSERT_EQ(forms.size(), 2u);
  const StatementForm& paid = forms[0].statementNumber == earlier ? forms[0] : forms[1];
  const StatementForm& open = forms[0].statementNumber == latest ? forms[0] : forms[1];
  EXPECT_EQ(paid.amountDue, dollars(0));
  EXPECT_EQ(open.charges, dollars(10000));
  EXPECT_EQ(open.payments, dollars(-13000));
  EXPECT_EQ(open.amountDue, dollars(-3000));  // 100.00 owed less 130.00 paid
  Money aged;
  for (const Money& amount : open.aging.amounts) aged += amount;
  EXPECT_EQ(aged, dollars(-3000));
  ASSERT_EQ(open.entries.size(), 2u);
  EXPECT_EQ(open.entries[1].amount, dollars(-13000));
  EXPECT_NE(open.entries[1].description.find("Card payment"), std::string::npos);

  // On paper a credit is not an amount to pay: both due boxes read $0.00 and
  // the credit of 30.00 is told in words.
  printing::Document document;
  layOutStatement(document, open);
  const fs::path pdf =
      fs::temp_directory_path() / ("vantrell-credit-" + std::to_string(::getpid()) + ".pdf");
  pdf::writePdf(document, pdf);
  const std::string text = pdfText(pdf);
  fs::remove(pdf);
  EXPECT_NE(text.find("credit balance of $30.00"), std::string::npos) << text;
  EXPECT_NE(lineWith(text, "Amount Due").find("$0.00"), std::string::npos) << text;
  // The aging boxes still age the lines (-130.00 current, 100.00 older): the
  // net credit is no box's amount.
  EXPECT_EQ(text.find("$-30.00"), std::string::npos) << text;
}

TEST_P(StatementFormOnEngine, GuarantorAddressSitsInTheEnvelopeWindow) {
  const std::int64_t smith = statement("SMITHJO0", "S");
  entry({{"Chart Number", "SMITHJO0"},
         {"Transaction Type", "A"},
         {"Date From", "12/01/2026"},
         {"Description", "Visit"},
         {"Amount", "40"},
         {"Guarantor Responsible", "T"},
         {"Statement Number", std::to_string(smith)}});
  printing::Document document;
  for (const auto& form : readStatementForms(*practice_, {smith}, Date::fromYmd(2026, 12, 31)))
    layOutStatement(document, form);
  const fs::path pdf =
      fs::temp_directory_path() / ("vantrell-window-" + std::to_string(::getpid()) + ".pdf");
  pdf::writePdf(document, pdf);
  const auto words = testing::pdfWords(pdf);
  fs::remove(pdf);
  int inWindow = 0;
  for (const auto& word : words) {
    if (word.text != "John" && word.text != "Elm" && word.text != "62701") continue;
    if (word.yMin > 252) continue;  // below the tear-off line: the statement's own heading
    EXPECT_GE(word.xMin, 63.0) << word.text;
    EXPECT_LE(word.xMax, 315.0) << word.text;
    EXPECT_GE(word.yMin, 144.0) << word.text;
    EXPECT_LE(word.yMax, 216.0) << word.text;
    ++inWindow;
  }
  EXPECT_EQ(inWindow, 3);
}

// A remainder statement shows only what the guarantor owes once insurance has
// done its part; with accept assignment enforced, an insurer that does not
// accept assignment is not waited for.
TEST_P(StatementFormOnEngine, RemainderStatementShowsOnlyWhatIsLeftAfterInsurance) {
  const std::int64_t remainder = statement("SMITHJO0", "R");
  const std::string on = std::to_string(remainder);
  entry({{"Chart Number", "SMITHJO0"},
         {"Transaction Type", "A"},
         {"Date From", "12/01/2026"},
         {"Description", "Insurers done"},
         {"Amount", "100"},
         {"Insurance 1 Amount Paid", "-60"},
         {"Insurance 1 Paid", "T"},
         {"Insurance 2 Paid", "T"},
         {"Insurance 3 Paid", "T"},
         {"Guarantor Responsible", "T"},
         {"Statement Number", on}});
  entry({{"Chart Number", "SMITHJO0"},
         {"Transaction Type", "A"},
         {"Date From", "12/02/2026"},
         {"Description", "Secondary waiting"},
         {"Amount", "70"},
         {"Insurance 1 Paid", "T"},
         {"Insurance 3 Paid", "T"},
         {"Accept Assignment 2", "T"},
         {"Guarantor Responsible", "T"},
         {"Statement Number", on}});
  entry({{"Chart Number", "SMITHJO0"},
         {"Transaction Type", "A"},
         {"Date From", "12/03/2026"},
         {"Description", "Settled"},
         {"Amount", "50"},
         {"Insurance 1 Amount Paid", "-50"},
         {"Insurance 1 Paid", "T"},
         {"Insurance 2 Paid", "T"},
         {"Insurance 3 Paid", "T"},
         {"Guarantor Responsible", "T"},
         {"Statement Number", on}});

  // A new practice enforces accept assignment; this one does not, at first.
  const auto enforce = [&](bool enforced) {
    store::Table options = practice_->openTable("QVOPT");
    store::Record row = *practice::readSingleRow(options);
    row.set("Enforce Accept Assignment", enforced);
    options.post(row);
  };
  enforce(false);
  const Date printed = Date::fromYmd(2026, 12, 31);
  auto forms = readStatementForms(*practice_, {remainder}, printed);
  ASSERT_EQ(forms.size(), 1u);
  ASSERT_EQ(forms[0].entries.size(), 1u);
  EXPECT_EQ(forms[0].entries[0].description, "Insurers done");
  EXPECT_EQ(forms[0].amountDue, dollars(4000));
  EXPECT_TRUE(forms[0].insurancePending.isZero());

  // Enforced: the secondary charge has no primary accepting assignment (N1),
  // so it is the guarantor's now.
  enforce(true);
  forms = readStatementForms(*practice_, {remainder}, printed);
  ASSERT_EQ(forms[0].entries.size(), 2u);
  EXPECT_EQ(forms[0].amountDue, dollars(11000));

  printing::Document document;
  layOutStatement(document, forms[0]);
  const fs::path pdf =
      fs::temp_directory_path() / ("vantrell-remainder-" + std::to_string(::getpid()) + ".pdf");
  pdf::writePdf(document, pdf);
  testing::keepPdf(pdf, "remainder-" + std::string(practice_->dialect().engineName()) + ".pdf");
  const std::string text = pdfText(pdf);
  fs::remove(pdf);
  EXPECT_NE(text.find("REMAINDER STATEMENT"), std::string::npos);
  EXPECT_EQ(text.find("Insurance Pending"), std::string::npos);
  EXPECT_EQ(text.find("Settled"), std::string::npos);
  EXPECT_NE(lineWith(text, "Amount Due").find("$110.00"), std::string::npos);
}

// A statement too long for its first page goes on with the column headings
// again and counts its pages.
TEST_P(StatementFormOnEngine, LongStatementRunsOnToNumberedPages) {
  const std::int64_t smith = statement("SMITHJO0", "S");
  for (int day = 1; day <= 60; ++day)
    entry({{"Chart Number", "SMITHJO0"},
           {"Transaction Type", "A"},
           {"Date From", "10/" + std::to_string(day % 28 + 1) + "/2026"},
           {"Description", "Therapy session " + std::to_string(day)},
           {"Amount", "10"},
           {"Guarantor Responsible", "T"},
           {"Statement Number", std::to_string(smith)}});
  printing::Document document;
  const auto forms = readStatementForms(*practice_, {smith}, Date::fromYmd(2026, 12, 31));
  layOutStatement(document, forms.at(0));
  ASSERT_EQ(document.pageCount(), 2u);
  const fs::path pdf =
      fs::temp_directory_path() / ("vantrell-long-" + std::to_string(::getpid()) + ".pdf");
  pdf::writePdf(document, pdf);
  const auto pages = testing::pdfPages(pdf);
  fs::remove(pdf);
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_NE(pages[0].find("Page 1 of 2"), std::string::npos);
  EXPECT_NE(pages[1].find("Page 2 of 2"), std::string::npos);
  EXPECT_NE(pages[1].find("Description"), std::string::npos);
  EXPECT_EQ(pages[1].find("Amount Enclosed"), std::string::npos);  // one remittance part
  EXPECT_NE(lineWith(pages[1], "Amount Due").size(), 0u);
  EXPECT_NE(pages[1].find("$600.00"), std::string::npos);
}

// A run reads the store a fixed number of times per group of statements,
// however many transactions and statements the group holds.
TEST_P(StatementFormOnEngine, ReadsAFewQueriesPerGroupNotOnePerTransaction) {
  const auto charge = [&](const std::string& chart, std::int64_t statement) {
    const std::int64_t number = entry({{"Chart Number", chart},
                                       {"Transaction Type", "A"},
                                       {"Date From", "12/01/2026"},
                                       {"Amount", "10"},
                                       {"Guarantor Responsible", "T"},
                                       {"Statement Number", std::to_string(statement)}});
    const std::int64_t payment = entry({{"Chart Number", chart},
                                        {"Transaction Type", "M"},
                                        {"Date From", "12/02/2026"},
                                        {"Amount", "-4"},
                                        {"Who Paid", "G"}});
    apply(payment, number, "-4", "G");
  };
  const auto queriesFor = [&](const std::vector<std::int64_t>& numbers, std::size_t expected) {
    auto owned = std::make_unique<CountingDriver>(practice_->driver());
    const CountingDriver& counting = *owned;
    store::Connection counted(std::move(owned), nullptr);
    const auto forms = readStatementForms(counted, numbers, Date::fromYmd(2026, 12, 31));
    EXPECT_EQ(forms.size(), expected);
    const int queries = counting.queries;
    return queries;
  };

  const std::int64_t first = statement("SMITHJO0", "S");
  charge("SMITHJO0", first);
  charge("SMITHAN0", first);
  const int few = queriesFor({first}, 1);

  std::vector<std::int64_t> many{first};
  for (int more = 0; more < 40; ++more) charge("SMITHJO0", first);
  for (int statements = 0; statements < 30; ++statements) {
    many.push_back(statement("ADAMSBE0", "S"));
    for (int lines = 0; lines < 3; ++lines) charge("ADAMSBE0", many.back());
  }
  EXPECT_EQ(queriesFor(many, 31), few);
  EXPECT_LE(few, 10);
}

VANTRELL_ON_BOTH_ENGINES(StatementFormOnEngine);

}  // namespace
}  // namespace vantrell::statements
