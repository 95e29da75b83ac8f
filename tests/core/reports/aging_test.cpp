#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <array>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <fmt/format.h>

#include <unistd.h>

#include "pdf_renderer.hpp"
#include "printing/pdf_reading.hpp"
#include "reports/aging.hpp"
#include "store/table_creation.hpp"
#include "support/practice_rows.hpp"
#include "support/scripted_prompter.hpp"
#include "support/store_fixture.hpp"

namespace vantrell::reports {
namespace {

using testing::FieldTexts;

// Stops at the first patient, as a person pressing Abort at once.
class AbortingProgress final : public ui::Progress {
 public:
  void begin(const std::string&, std::int64_t) override {}
  bool advance(std::int64_t) override { return false; }
  void end() override {}
};

// The report date is 3/31/2026; "daysAgo" dates count back from it.
class AgingOnEngine : public testing::EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (IsSkipped() || HasFailure()) return;
    practice_ = space_->connect();
    store::createMissingTables(*practice_, nullptr);
  }

  static std::string daysAgo(int days) {
    const Date date(std::chrono::year_month_day{
        std::chrono::sys_days{std::chrono::year_month_day{
            std::chrono::year{2026}, std::chrono::month{3}, std::chrono::day{31}}} -
        std::chrono::days{days}});
    return date.toMonthDayYear();
  }
  void insert(const char* table, const FieldTexts& fields) {
    testing::insertRow(*practice_, table, fields);
  }
  void patient(const std::string& chart, const std::string& last) {
    insert("QVPAT", {{"Chart Number", chart}, {"Last Name", last}, {"First Name", "Pat"}});
  }
  // A ledger line of case 1; the extra fields are the paid amounts and flags.
  void line(const std::string& chart, const std::string& type, const std::string& amount, int age,
            FieldTexts more = {}) {
    FieldTexts fields{{"Chart Number", chart},
                      {"Case Number", "1"},
                      {"Transaction Type", type},
                      {"Amount", amount},
                      {"Date From", daysAgo(age)}};
    fields.insert(fields.end(), more.begin(), more.end());
    insert("QVTRN", fields);
  }
  AgingWindow window(AgingKind kind, AgingBoundaries bounds = {}) {
    AgingSettings settings;
    settings.patient = bounds;
    settings.insurance = bounds;
    settings.ageByDateFrom = true;
    return AgingWindow(*practice_, settings, prompter_, clock_, kind);
  }
  // The amounts of a chart's line by column title, "" for a blank cell.
  static std::map<std::string, std::string> lineOf(const Report& report, const std::string& chart) {
    std::map<std::string, std::string> cells;
    for (const auto& flat : report.flatRows()) {
      const bool inGroup = !flat.path.empty() && flat.path.back()->key == chart;
      if (!inGroup && flat.row->cells.at(0).display() != chart) continue;
      for (std::size_t index = 0; index < report.columns.size(); ++index)
        cells[report.columns[index].title] = flat.row->cells.at(index).display();
    }
    return cells;
  }

  std::unique_ptr<store::Connection> practice_;
  testing::ScriptedPrompter prompter_{};
  ui::FixedClock clock_{*DateTime::parse("2026-03-31 09:00:00")};
};

// A remainder charge: insurance is done with it and the guarantor owes it.
const FieldTexts remainderFlags{{"Guarantor Responsible", "T"},
                                {"Insurance 1 Paid", "T"},
                                {"Insurance 2 Paid", "T"},
                                {"Insurance 3 Paid", "T"}};

TEST_P(AgingOnEngine, PatientAndRemainderAgingColumnsUnappliedPaymentsAndPaidUpPatients) {
  patient("AGE30000", "Thirty");
  line("AGE30000", "A", "100", 30, remainderFlags);
  line("AGE30000", "A", "7", 5, remainderFlags);  // younger than a start of 10
  patient("PAIDU000", "Paidup");
  line("PAIDU000", "A", "100", 40, {{"Guarantor Amount Paid", "-100"}});
  line("PAIDU000", "M", "-100", 35);
  patient("UNAPP000", "Unapplied");
  line("UNAPP000", "A", "30", 100);
  line("UNAPP000", "A", "40", 70);
  line("UNAPP000", "N", "-50", 3);

  auto aging = window(AgingKind::Patient);
  aging.questions().addToWorkList = true;
  const auto report = aging.run();
  ASSERT_TRUE(report);
  EXPECT_TRUE(lineOf(*report, "PAIDU000").empty());
  const auto thirty = lineOf(*report, "AGE30000");
  EXPECT_EQ(thirty.at("0   -   30"), "7.00");
  EXPECT_EQ(thirty.at("31   -   60"), "100.00");
  const auto unapplied = lineOf(*report, "UNAPP000");
  EXPECT_EQ(unapplied.at("91   ----->"), "");
  EXPECT_EQ(unapplied.at("61   -   90"), "20.00");
  EXPECT_EQ(unapplied.at("Balance"), "20.00");
  const auto& rows = report->rows;
  const auto notes = std::find_if(rows.begin(), rows.end(), [](const Row& row) {
                       return row.cells.at(0).display() == "UNAPP000";
                     })->notes;
  EXPECT_EQ(notes, std::vector<std::string>{"Unapplied Pmt/Adj:   -50.00"});
  EXPECT_EQ(report->totals.at(0).cells.back().display(), "127.00");

  // Printed, the totals and the unapplied line read back from the pages.
  const auto pdf = std::filesystem::temp_directory_path() /
                   ("vantrell-aging-" + std::to_string(::getpid()) + ".pdf");
  pdf::writePdf(reportDocument(*report), pdf);
  const std::string text = testing::pdfText(pdf);
  std::filesystem::remove(pdf);
  EXPECT_NE(testing::lineWith(text, "Report Aging Totals").find("127.00"), std::string::npos);
  EXPECT_NE(testing::lineWith(text, "Unapplied Pmt/Adj:").find("-50.00"), std::string::npos);

  // Both printed patients go on the work list after the question.
  prompter_ = testing::ScriptedPrompter{true};
  EXPECT_EQ(aging.close(), 2);
  EXPECT_EQ(prompter_.transcript(),
            std::vector<std::string>{std::string("ask: ") + addToWorkListQuestion});
  EXPECT_EQ(testing::singleNumber(*practice_, "SELECT COUNT(*) FROM \"QVWRK\""), 2);

  // Applied aging leaves the payment out: the two charges as they stand.
  const auto applied = window(AgingKind::AppliedPatient).run();
  ASSERT_TRUE(applied);
  EXPECT_EQ(lineOf(*applied, "UNAPP000").at("91   ----->"), "30.00");
  EXPECT_EQ(lineOf(*applied, "UNAPP000").at("61   -   90"), "40.00");

  // The remainder report puts the 30-day charge in its current column.
  const auto remainder = window(AgingKind::Remainder).run();
  ASSERT_TRUE(remainder);
  EXPECT_EQ(remainder->flatRows().size(), 1u);
  EXPECT_EQ(lineOf(*remainder, "AGE30000").at("0-30"), "107.00");

  // With a start of 10 the 5-day charge is out of patient aging altogether and
  // in the remainder report's oldest column.
  const AgingBoundaries late{10, 30, 60, 90, 120};
  const auto patientLate = window(AgingKind::Patient, late).run();
  ASSERT_TRUE(patientLate);
  EXPECT_EQ(lineOf(*patientLate, "AGE30000").at("Balance"), "100.00");
  EXPECT_EQ(lineOf(*patientLate, "AGE30000").at("10   -   30"), "");
  const auto remainderLate = window(AgingKind::Remainder, late).run();
  ASSERT_TRUE(remainderLate);
  EXPECT_EQ(lineOf(*remainderLate, "AGE30000").at("Over 90"), "7.00");
  EXPECT_EQ(lineOf(*remainderLate, "AGE30000").at("10-30"), "100.00");
}

TEST_P(AgingOnEngine, NoDataAndAbortPrintNothing) {
  patient("ONEPA000", "One");
  line("ONEPA000", "A", "25", 10);
  auto aging = window(AgingKind::Patient);
  aging.questions().chart = {"Z", "ZZ"};
  EXPECT_FALSE(aging.run());
  EXPECT_EQ(prompter_.transcript(), std::vector<std::string>{"inform: There is no data to print"});

  AbortingProgress abort;
  auto aborted = window(AgingKind::Patient);
  EXPECT_FALSE(aborted.run(&abort));
  EXPECT_TRUE(aborted.aborted());
  EXPECT_EQ(prompter_.transcript().size(), 1u);
}

TEST_P(AgingOnEngine, InsuranceAgingOfAPartlyPaidCharge) {
  patient("PARTL000", "Partly");
  insert("QVINS", {{"Code", "AET"}, {"Name", "Aetna"}, {"Phone", "(555)555-0100"}});
  insert("QVINS", {{"Code", "BLU"}, {"Name", "Blue"}});
  insert("QVCLA", {{"Chart Number", "PARTL000"},
                   {"Case Number", "1"},
                   {"Insurance Carrier 1", "AET"},
                   {"Insurance Carrier 2", "BLU"},
                   {"Initial Billing Date 1", daysAgo(45)},
                   {"Initial Billing Date 2", daysAgo(10)}});
  const std::string claim = std::to_string(
      testing::singleNumber(*practice_, "SELECT MAX(\"Claim Number\") FROM \"QVCLA\""));
  const FieldTexts billed{{"Claim Number", claim},
                          {"Billed to Insured 1", "T"},
                          {"Billed to Insured 2", "T"},
                          {"Accept Assignment 1", "T"},
                          {"Accept Assignment 2", "T"}};
  // The primary paid 60 and the patient 20; the secondary then paid 10.
  FieldTexts partly = billed;
  partly.insert(partly.end(), {{"Insurance 1 Amount Paid", "-60"},
                               {"Guarantor Amount Paid", "-20"},
                               {"Insurance 2 Amount Paid", "-10"}});
  line("PARTL000", "A", "100", 50, partly);
  // Paid in full by the primary and never billed to the secondary: on neither.
  FieldTexts done = billed;
  done.insert(done.end(), {{"Insurance 1 Amount Paid", "-50"}, {"Insurance 1 Paid", "T"}});
  done[2] = {"Billed to Insured 2", "F"};
  line("PARTL000", "A", "50", 50, done);

  auto primary = window(AgingKind::Primary);
  primary.questions().addToWorkList = true;
  const auto first = primary.run();
  ASSERT_TRUE(first);
  ASSERT_EQ(first->groups.size(), 1u);
  EXPECT_EQ(first->groups[0].key, "AET");
  EXPECT_EQ(first->groups[0].title, "Aetna (AET)");
  auto row = lineOf(*first, "PARTL000");
  EXPECT_EQ(row.at("31   -   60"), "40.00");
  EXPECT_EQ(row.at("Balance"), "40.00");
  EXPECT_EQ(first->totals.at(0).cells.back().display(), "40.00");
  ASSERT_EQ(primary.printedAccounts().size(), 1u);
  EXPECT_EQ(primary.printedAccounts()[0].carrier, "AET");

  auto secondary = window(AgingKind::Secondary);
  secondary.questions().detail = true;
  const auto second = secondary.run();
  ASSERT_TRUE(second);
  EXPECT_EQ(second->header.title, "Secondary Insurance Aging Detail");
  EXPECT_EQ(second->flatRows().size(), 1u);
  row = lineOf(*second, "PARTL000");
  EXPECT_EQ(row.at("0   -   30"), "30.00");
  EXPECT_EQ(row.at("Balance"), "30.00");

  EXPECT_FALSE(window(AgingKind::Tertiary).run());
  EXPECT_EQ(prompter_.transcript().back(), "inform: There is no data for this report.");
}

// The attending provider and the patient's billing code and indicator narrow
// insurance and remainder aging as they do patient aging; the remainder
// reports also narrow by date of service.
TEST_P(AgingOnEngine, InsuranceAndRemainderAgingAnswerTheirQuestions) {
  insert("QVPAT", {{"Chart Number", "ANNAB000"},
                   {"Last Name", "Anna"},
                   {"Billing Code", "X"},
                   {"Patient Indicator", "VIP"}});
  insert("QVPAT", {{"Chart Number", "BERTC000"}, {"Last Name", "Bert"}, {"Billing Code", "Y"}});
  insert("QVINS", {{"Code", "AET"}, {"Name", "Aetna"}});
  auto billed = [&](const std::string& chart) {
    insert("QVCLA", {{"Chart Number", chart},
                     {"Case Number", "1"},
                     {"Insurance Carrier 1", "AET"},
                     {"Initial Billing Date 1", daysAgo(5)}});
    return FieldTexts{
        {"Claim Number", std::to_string(testing::singleNumber(
                             *practice_, "SELECT MAX(\"Claim Number\") FROM \"QVCLA\""))},
        {"Billed to Insured 1", "T"},
        {"Accept Assignment 1", "T"}};
  };
  auto with = [](FieldTexts fields, const FieldTexts& more) {
    fields.insert(fields.end(), more.begin(), more.end());
    return fields;
  };
  const FieldTexts anna = billed("ANNAB000");
  line("ANNAB000", "A", "100", 20, with(anna, {{"Attending Provider", "DR1"}}));
  line("ANNAB000", "A", "40", 20, with(anna, {{"Attending Provider", "DR2"}}));
  line("BERTC000", "A", "70", 20, with(billed("BERTC000"), {{"Attending Provider", "DR1"}}));
  line("ANNAB000", "A", "25", 40, with(remainderFlags, {{"Attending Provider", "DR1"}}));
  line("ANNAB000", "A", "15", 5, with(remainderFlags, {{"Attending Provider", "DR2"}}));
  line("BERTC000", "A", "60", 40, with(remainderFlags, {{"Attending Provider", "DR1"}}));

  const auto total = [&](AgingKind kind, auto ask) {
    auto report = window(kind);
    ask(report.questions());
    const auto result = report.run();
    return result ? result->totals.at(0).cells.back().display() : std::string("none");
  };
  EXPECT_EQ(total(AgingKind::Primary, [](AgingQuestions&) {}), "210.00");
  EXPECT_EQ(total(AgingKind::Primary,
                  [](AgingQuestions& q) {
                    q.provider = {"dr1", "DR1"};
                  }),
            "170.00");
  EXPECT_EQ(total(AgingKind::Primary,
                  [](AgingQuestions& q) {
                    q.billingCode = {"X", "X"};
                  }),
            "140.00");
  EXPECT_EQ(total(AgingKind::Remainder, [](AgingQuestions&) {}), "100.00");
  EXPECT_EQ(total(AgingKind::Remainder,
                  [](AgingQuestions& q) { q.serviceDate.from = *Date::parse(daysAgo(10)); }),
            "15.00");
  EXPECT_EQ(total(AgingKind::RemainderDetail,
                  [](AgingQuestions& q) {
                    q.provider = {"DR1", "DR1"};
                    q.patientIndicator = {"VIP", "VIP"};
                  }),
            "25.00");
  EXPECT_EQ(total(AgingKind::Remainder,
                  [](AgingQuestions& q) { q.serviceDate.to = *Date::parse(daysAgo(50)); }),
            "none");
}

// Patient aging beside a line-by-line reckoning written here: an undated and a
// future charge, paid amounts, payments netted from the oldest column down, a
// provider question that leaves lines out, and aging by the first statement.
TEST_P(AgingOnEngine, PatientAgingAgreesWithALineByLineReckoning) {
  struct Line {
    std::string chart, type;
    std::int64_t cents, paidCents;
    std::optional<int> age;  // of the service date; none for an undated line
    std::string provider;
    std::optional<int> statementAge;
  };
  const std::vector<Line> ledger{
      {"MODEL001", "A", 12000, -2000, 40, "DR1", 35},
      {"MODEL001", "A", 5000, 0, 100, "DR2", 95},
      {"MODEL001", "B", 3000, -500, std::nullopt, "DR1", std::nullopt},
      {"MODEL001", "A", 2500, 0, -3, "DR1", std::nullopt},
      {"MODEL001", "M", -7000, 0, 10, "DR1", std::nullopt},
      {"MODEL002", "A", 8000, -8000, 200, "DR1", 190},
      {"MODEL002", "N", -1500, 0, 2, "DR2", std::nullopt},
      {"MODEL002", "Z", 4400, -400, 65, "DR1", 20},
      {"MODEL003", "A", 9900, -900, 15, "DR2", std::nullopt},
      {"MODEL003", "T", -1000, 0, 50, "DR2", std::nullopt},
      {"MODEL003", "A", 600, 0, 89, "DR1", 89},
      {"MODEL004", "A", 500, -500, 400, "DR1", 380},
      {"MODEL004", "M", -200, 0, 5, "DR1", std::nullopt},
  };
  const auto money = [](std::int64_t cents) {
    return fmt::format("{}{}.{:02}", cents < 0 ? "-" : "", std::abs(cents) / 100,
                       std::abs(cents) % 100);
  };
  for (const Line& l : ledger) {
    FieldTexts fields{{"Chart Number", l.chart},       {"Case Number", "1"},
                      {"Transaction Type", l.type},    {"Amount", money(l.cents)},
                      {"Attending Provider", l.provider}};
    if (l.age) fields.emplace_back("Date From", daysAgo(*l.age));
    if (l.statementAge) fields.emplace_back("Date of First Statement", daysAgo(*l.statementAge));
    if (l.paidCents != 0) fields.emplace_back("Insurance 1 Amount Paid", money(l.paidCents));
    insert("QVTRN", fields);
  }
  for (const char* chart : {"MODEL001", "MODEL002", "MODEL003", "MODEL004"}) patient(chart, "M");

  // Columns 0-29, 30-59, 60-89 and 90 days on; then the balance.
  using Expected = std::map<std::string, std::vector<std::string>>;
  const auto reckon = [&](bool byStatement, const std::string& provider) {
    Expected expected;
    for (const char* chart : {"MODEL001", "MODEL002", "MODEL003", "MODEL004"}) {
      std::int64_t precheck = 0, payments = 0, applied = 0;
      std::array<std::int64_t, 4> columns{};
      for (const Line& l : ledger) {
        if (l.chart != chart) continue;
        if (l.age && *l.age >= 0) precheck += l.cents;
        if (!provider.empty() && l.provider != provider) continue;
        if (!(l.type <= "H" || l.type == "Z")) {
          payments += l.cents;
          continue;
        }
        applied += l.paidCents;
        const std::optional<int> age = byStatement ? l.statementAge.value_or(0) : l.age;
        if (!age || *age < 0) continue;
        columns[static_cast<std::size_t>(std::min(*age / 30, 3))] += l.cents + l.paidCents;
      }
      if (precheck == 0) continue;
      columns[3] += payments - applied;
      for (std::size_t column = 3; column > 0; --column)
        if (columns[column] < 0) {
          columns[column - 1] += columns[column];
          columns[column] = 0;
        }
      const std::int64_t balance = columns[0] + columns[1] + columns[2] + columns[3];
      if (balance == 0) continue;
      auto& cells = expected[chart];
      for (const std::int64_t column : columns)
        cells.push_back(column == 0 ? std::string() : money(column));
      cells.push_back(money(balance));
    }
    return expected;
  };
  const auto printed = [&](bool byStatement, const std::string& provider) {
    AgingSettings settings;
    settings.ageByStatementDate = byStatement;
    AgingWindow aging(*practice_, settings, prompter_, clock_, AgingKind::Patient);
    if (!provider.empty()) aging.questions().provider = {provider, provider};
    Expected seen;
    const auto report = aging.run();
    if (!report) return seen;
    for (const Row& row : report->rows)
      for (std::size_t cell = 6; cell < row.cells.size(); ++cell)
        seen[row.cells.at(0).display()].push_back(row.cells.at(cell).display());
    return seen;
  };
  for (const bool byStatement : {false, true})
    for (const std::string provider : {"", "DR1", "DR2"}) {
      SCOPED_TRACE(fmt::format("by statement {}, provider '{}'", byStatement, provider));
      EXPECT_EQ(printed(byStatement, provider), reckon(byStatement, provider));
    }
}

VANTRELL_ON_BOTH_ENGINES(AgingOnEngine);

}  // namespace
}  // namespace vantrell::reports
