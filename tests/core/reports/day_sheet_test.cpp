// The day sheets and the practice analysis over small ledgers whose totals are
// worked out by hand in each test.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "pdf_renderer.hpp"
#include "printing/pdf_reading.hpp"
#include "reports/day_sheets.hpp"
#include "security/login_window.hpp"
#include "security/security.hpp"
#include "security/user_accounts.hpp"
#include "store/table_creation.hpp"
#include "support/practice_rows.hpp"
#include "support/scripted_prompter.hpp"
#include "support/store_fixture.hpp"

namespace vantrell::reports {
namespace {

using vantrell::testing::EngineTest;
using vantrell::testing::FieldTexts;
using vantrell::testing::ScriptedPrompter;

Money cents(std::int64_t amount) {
  return Money::fromCents(amount);
}

const Value* summaryValue(const Report& report, const std::string& label) {
  for (const SummaryLine& line : report.summary)
    if (line.label == label) return &line.value;
  return nullptr;
}

Money summaryAmount(const Report& report, const std::string& label) {
  const Value* value = summaryValue(report, label);
  EXPECT_NE(value, nullptr) << label;
  return value == nullptr ? Money() : value->amount();
}

class DaySheets : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (IsSkipped() || HasFailure()) return;
    practice_ = space_->connect("tester", &clock_);
    store::createMissingTables(*practice_, nullptr);
    for (const auto& [table, fields] : std::vector<std::pair<const char*, FieldTexts>>{
             {"QVPRA", {{"Practice Name", "Harbor Clinic"}}},
             {"QVPAT",
              {{"Chart Number", "DOEJA000"},
               {"Last Name", "Doe"},
               {"First Name", "Jane"},
               {"Billing Code", "A"}}},
             {"QVPAT",
              {{"Chart Number", "ROERI000"},
               {"Last Name", "Roe"},
               {"First Name", "Rick"},
               {"Billing Code", "B"}}},
             {"QVPHY", {{"Code", "DR1"}, {"Last Name", "Welby"}}},
             {"QVPRO",
              {{"Code 1", "VISIT"},
               {"Type", "A"},
               {"Description", "Office visit"},
               {"Cost of Service/Product", "30"},
               {"Time To Do Procedure", "15"}}},
             {"QVPRO",
              {{"Code 1", "XRAY"},
               {"Type", "B"},
               {"Cost of Service/Product", "0"},
               {"Time To Do Procedure", "0"}}}})
      vantrell::testing::insertRow(*practice_, table, fields);
  }

  // A ledger line entered on December 1 by TESTER unless the fields say otherwise.
  void line(const std::string& chart, const std::string& type, const std::string& code,
            const std::string& amount, FieldTexts more = {}) {
    FieldTexts fields = {{"Chart Number", chart},
                         {"Case Number", "1"},
                         {"Transaction Type", type},
                         {"Procedure Code", code},
                         {"Amount", amount},
                         {"Date From", "2026-12-01"},
                         {"Date Created", "2026-12-01"},
                         {"Attending Provider", "DR1"},
                         {"User Code", "TESTER"},
                         {"Units", "1"}};
    for (auto& [field, value] : more) {
      bool replaced = false;
      for (auto& [known, old] : fields)
        if (known == field) {
          old = value;
          replaced = true;
        }
      if (!replaced) fields.emplace_back(field, value);
    }
    vantrell::testing::insertRow(*practice_, "QVTRN", fields);
  }

  Report run(LedgerReportKind kind, security::Security* security = nullptr,
             const std::function<void(LedgerReportDialog&)>& answer = {}) {
    LedgerReportDialog dialog(kind, prompter_, today_, security);
    EXPECT_TRUE(dialog.open());
    if (answer) answer(dialog);
    const auto selection = dialog.confirm();
    EXPECT_TRUE(selection.has_value());
    auto report = ledgerReport(*practice_, *selection, prompter_, today_);
    EXPECT_TRUE(report.has_value());
    return report ? *report : Report{};
  }

  // The ledger of the classification: a charge, adjustments of every sign,
  // a take-back, an insurance payment and a deductible.
  void classificationLedger() {
    line("DOEJA000", "A", "VISIT", "100");
    line("DOEJA000", "S", "ADJ", "-25");
    line("DOEJA000", "S", "ADJ", "25");
    line("DOEJA000", "S", "ADJ", "0");
    line("ROERI000", "T", "WO", "-10");
    line("ROERI000", "V", "TAKE", "40");
    line("ROERI000", "I", "INS", "-60");
    line("ROERI000", "P", "DED", "0");
    line("ROERI000", "Z", "NOTE", "999");  // a comment is no transaction
  }

  ui::FixedClock clock_{DateTime::parse("2026-12-01 09:00:00").value()};
  Date today_ = Date::fromYmd(2026, 12, 1);
  ScriptedPrompter prompter_{};
  std::unique_ptr<store::Connection> practice_;
};

TEST_P(DaySheets, AdjustmentsAndTakeBacksAreClassifiedAsEachReportCountsThem) {
  classificationLedger();
  // Worked by hand: net 100 - 25 + 25 + 0 - 10 + 40 - 60 + 0 = 70.
  const Report patient = run(LedgerReportKind::PatientDaySheet);
  EXPECT_EQ(patient.header.practiceName, "Harbor Clinic");
  EXPECT_EQ(summaryAmount(patient, "Total Credit Adjustments"), cents(-2500));
  EXPECT_EQ(summaryAmount(patient, "Total Debit Adjustments"), cents(2500));
  EXPECT_EQ(summaryAmount(patient, "Total Insurance Credit Adjustments"), cents(-1000));
  EXPECT_EQ(summaryAmount(patient, "Total Insurance Payments"), cents(-2000));  // -60 + 40
  EXPECT_EQ(summaryAmount(patient, "Total Receipts"), cents(-2000));
  EXPECT_EQ(summaryAmount(patient, "Total Adjustments"), cents(-1000));  // without the take-back
  EXPECT_EQ(summaryAmount(patient, "Net Effect on Accounts Receivable"), cents(7000));
  EXPECT_EQ(summaryValue(patient, "Total # Patients")->number(), 2);
  EXPECT_EQ(summaryValue(patient, "Total # Procedures")->number(), 1);
  ASSERT_EQ(patient.groups.size(), 2u);
  EXPECT_EQ(patient.groups[0].title, "DOEJA000  Doe, Jane");
  EXPECT_EQ(patient.groups[0].rows.size(), 4u);
  EXPECT_EQ(patient.groups[1].rows.size(), 4u);  // the comment is left out
  EXPECT_EQ(patient.groups[1].totals[1].label, "Receipts");
  EXPECT_EQ(patient.groups[1].totals[1].cells[6].amount(), cents(-2000));

  // Elsewhere the take-back is an adjustment and no receipt.
  const Report analysis = run(LedgerReportKind::PracticeAnalysis);
  EXPECT_EQ(summaryAmount(analysis, "Total Insurance Payments"), cents(-6000));
  EXPECT_EQ(summaryAmount(analysis, "Total Adjustments"), cents(3000));
  EXPECT_EQ(summaryAmount(analysis, "Net Effect on Accounts Receivable"), cents(7000));

  // On the procedure day sheet the take-back of 40 is a credit.
  const Report procedure = run(LedgerReportKind::ProcedureDaySheet);
  for (const Group& group : procedure.groups) {
    if (group.key == "TAKE") {
      EXPECT_EQ(group.rows.at(0).cells[8].amount(), cents(4000));
    }
  }
  ASSERT_EQ(procedure.totals.size(), 1u);
  EXPECT_EQ(procedure.totals[0].cells[7].amount(), cents(12500));  // 100 + 25
  EXPECT_EQ(procedure.totals[0].cells[8].amount(), cents(-5500));  // -25 - 10 + 40 - 60
  EXPECT_EQ(summaryAmount(procedure, "Balance:"), cents(7000));

  // Nothing on another day.
  const Report none = run(LedgerReportKind::PatientDaySheet, nullptr, [](LedgerReportDialog& d) {
    d.setRange("Date Created", "11/30/2026", "11/30/2026");
  });
  EXPECT_TRUE(none.empty());
  EXPECT_EQ(prompter_.transcript().back(), "inform: There is no data for this report.");
}

TEST_P(DaySheets, PaymentDaySheetShowsDeductiblesAsNotApplicable) {
  line("DOEJA000", "A", "VISIT", "100");
  line("DOEJA000", "K", "CHECK", "-100", {{"Unapplied Amount", "-40"}});
  line("DOEJA000", "P", "DED", "0");
  line("DOEJA000", "V", "TAKE", "15");
  const Report report = run(LedgerReportKind::PaymentDaySheet);
  ASSERT_EQ(report.groups.size(), 1u);
  EXPECT_EQ(report.groups[0].title, "DR1  Welby");
  ASSERT_EQ(report.groups[0].rows.size(), 3u);  // the charge is no payment
  EXPECT_EQ(report.groups[0].rows[1].cells[7].text(), "N/A");
  EXPECT_EQ(summaryAmount(report, "Total Payments"), cents(-8500));
  EXPECT_EQ(summaryValue(report, "Total # Payments")->number(), 3);
  EXPECT_EQ(summaryAmount(report, "Total Unapplied Payments"), cents(-4000));
  EXPECT_EQ(summaryAmount(report, "Total Applied Payments"), cents(-4500));  // -60 + 15
}

TEST_P(DaySheets, AnalysisGroupsByCodeAndModifiersWithWorkedTotals) {
  line("DOEJA000", "A", "VISIT", "100");
  line("DOEJA000", "A", "VISIT", "120", {{"Units", "2"}});
  line("ROERI000", "A", "VISIT", "150", {{"Units", "2"}, {"Modifier 1", "25"}});
  line("ROERI000", "B", "XRAY", "80");
  line("ROERI000", "M", "CASH", "-50");
  const Report report = run(LedgerReportKind::PracticeAnalysis, nullptr, [](LedgerReportDialog& d) {
    d.setRange("Date From", "12/1/2026", "12/1/2026");
  });
  ASSERT_EQ(report.rows.size(), 4u);
  // VISIT: amount 220, 3 units, cost 3 x 30, net 130, average (100 + 60) / 2,
  // 130 / 15 minutes a minute.
  const auto& plain = report.rows[1].cells;
  EXPECT_EQ(plain[0].text(), "VISIT");
  EXPECT_EQ(plain[1].text(), "");
  EXPECT_EQ(plain[3].amount(), cents(22000));
  EXPECT_EQ(plain[4].number(), 3);
  EXPECT_EQ(plain[5].amount(), cents(13000));
  EXPECT_EQ(plain[6].amount(), cents(8000));
  EXPECT_EQ(plain[7].amount().roundedToCents(), cents(867));
  // VISIT 25: 150 - 60 = 90 net, 6.00 a minute.
  const auto& modified = report.rows[2].cells;
  EXPECT_EQ(modified[1].text(), "25");
  EXPECT_EQ(modified[5].amount(), cents(9000));
  EXPECT_EQ(modified[7].amount(), cents(600));
  // XRAY takes no time: 0 a minute.
  EXPECT_EQ(report.rows[3].cells[0].text(), "XRAY");
  EXPECT_EQ(report.rows[3].cells[7].amount(), Money());
  EXPECT_EQ(summaryAmount(report, "Total Procedure Charges"), cents(37000));
  EXPECT_EQ(summaryAmount(report, "Total Product Charges"), cents(8000));
  EXPECT_EQ(summaryAmount(report, "Total Charges"), cents(45000));
  EXPECT_EQ(summaryAmount(report, "Total Patient Cash Payments"), cents(-5000));
  EXPECT_EQ(summaryAmount(report, "Net Effect on Accounts Receivable"), cents(40000));
  ASSERT_EQ(report.totals.size(), 1u);
  EXPECT_EQ(report.totals[0].cells[5].amount(), cents(40000 - 15000));
}

class TypedLogin final : public security::LoginPrompt {
 public:
  explicit TypedLogin(std::string name) : name_(std::move(name)) {}
  bool run(security::LoginWindow& window) override {
    return window.submit(name_, "Pass1234") == security::LoginWindow::Outcome::LoggedIn;
  }

 private:
  std::string name_;
};

TEST_P(DaySheets, AUserWithoutTheUserCodeRightsSeesOnlyHisOwnEntries) {
  ::setenv("VANTRELL_PASSWORD_COST", "test", 1);
  line("DOEJA000", "A", "VISIT", "100", {{"User Code", "ANN"}});
  line("DOEJA000", "A", "VISIT", "70", {{"User Code", "LOW"}});
  line("ROERI000", "M", "CASH", "-20", {{"User Code", "ANN"}});

  // Without a user list there is no user code question.
  LedgerReportDialog open(LedgerReportKind::PatientDaySheet, prompter_, today_, nullptr);
  ASSERT_TRUE(open.open());
  EXPECT_FALSE(open.setRange("User Code", "A", "Z"));

  // ANN's level holds every right; LOW's only the right to his own entries.
  for (const auto& [code, level] : {std::pair{"ANN", "1"}, std::pair{"LOW", "5"}}) {
    ScriptedPrompter quiet({});
    security::SecuritySetupWindow setup(*practice_, quiet, clock_);
    ASSERT_TRUE(
        setup.saveUser(code, {{"Name", code}, {"Access Level", level}, {"Password", "Pass1234"}}));
  }
  vantrell::testing::PracticeSpace rootSpace(engine());
  auto root = rootSpace.connect("tester", &clock_);
  store::ensureTable(*root, "QVUSR");

  security::Security low(*practice_, *root, prompter_, clock_);
  TypedLogin lowLogin("LOW");
  ASSERT_TRUE(low.logInAtOpen(&lowLogin));
  for (const auto kind : {LedgerReportKind::PatientDaySheet, LedgerReportKind::ProcedureDaySheet,
                          LedgerReportKind::PaymentDaySheet}) {
    LedgerReportDialog dialog(kind, prompter_, today_, &low);
    ASSERT_TRUE(dialog.open());
    EXPECT_TRUE(dialog.setRange("User Code", "ANN", "ANN"));  // asked, but held to his own
    EXPECT_FALSE(dialog.setChoice(practiceTotalsChoice, "YES"));
    const auto selection = dialog.confirm();
    ASSERT_TRUE(selection);
    EXPECT_NE(
        std::find(selection->headerLines.begin(), selection->headerLines.end(), "User code LOW"),
        selection->headerLines.end());
    const auto report = ledgerReport(*practice_, *selection, prompter_, today_);
    ASSERT_TRUE(report);
    const auto rows = report->flatRows();
    if (kind == LedgerReportKind::PaymentDaySheet) {
      EXPECT_TRUE(rows.empty());  // LOW took no payment
    } else {
      ASSERT_EQ(rows.size(), 1u);
      EXPECT_EQ(rows[0].row->cells[kind == LedgerReportKind::PatientDaySheet ? 6 : 7].amount(),
                cents(7000));
    }
  }
  low.logOut();

  security::Security ann(*practice_, *root, prompter_, clock_);
  TypedLogin annLogin("ANN");
  ASSERT_TRUE(ann.logInAtOpen(&annLogin));
  const Report all = run(LedgerReportKind::PatientDaySheet, &ann, [](LedgerReportDialog& d) {
    EXPECT_TRUE(d.setRange("User Code", "", ""));
    EXPECT_TRUE(d.setChoice(practiceTotalsChoice, "true"));
  });
  EXPECT_EQ(all.flatRows().size(), 3u);
  EXPECT_EQ(summaryAmount(all, "Accounts Receivable"), cents(15000));
  const Report annOnly = run(LedgerReportKind::PatientDaySheet, &ann,
                             [](LedgerReportDialog& d) { d.setRange("User Code", "ann", "ann"); });
  EXPECT_EQ(annOnly.flatRows().size(), 2u);
  ann.logOut();
}

TEST_P(DaySheets, PdfOfThePatientDaySheetReadsBackItsTotals) {
  classificationLedger();
  const Report report = run(LedgerReportKind::PatientDaySheet);
  const auto folder =
      std::filesystem::temp_directory_path() / ("vantrell-day-sheet-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  const auto pdf = folder / "day-sheet.pdf";
  pdf::writePdf(reportDocument(report), pdf);
  const std::string text = testing::pdfText(pdf);
  std::filesystem::remove_all(folder);
  EXPECT_NE(text.find("Patient Day Sheet"), std::string::npos);
  EXPECT_NE(text.find("Date Created: 12/1/2026"), std::string::npos);
  EXPECT_NE(testing::lineWith(text, "Total Credit Adjustments").find("-25.00"), std::string::npos);
  EXPECT_NE(testing::lineWith(text, "Net Effect on Accounts Receivable").find("70.00"),
            std::string::npos);
  EXPECT_NE(testing::lineWith(text, "ROERI000").find("Roe, Rick"), std::string::npos);
}

VANTRELL_ON_BOTH_ENGINES(DaySheets);

}  // namespace
}  // namespace vantrell::reports
