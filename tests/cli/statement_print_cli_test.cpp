#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli_fixture.hpp"
#include "common/money.hpp"
#include "core/printing/pdf_reading.hpp"
#include "store/connection.hpp"
#include "store/table.hpp"

namespace vantrell {
namespace {

namespace fs = std::filesystem;
using testing::lineWith;
using testing::pdfPages;

class StatementPrintCommandLine : public CommandLineProgram {};

// The amount after the last "$" of a line, as a person would read it.
std::optional<Money> lastAmountOn(const std::string& line) {
  const std::size_t dollar = line.rfind('$');
  if (dollar == std::string::npos) return std::nullopt;
  std::string number = line.substr(dollar + 1);
  number = number.substr(0, number.find(' '));
  return Money::parse(number);
}

// Three tutorial guarantors whose own charges are all on their own cases and
// whose payments are all applied, so that their account balance is what a
// statement of all their charges asks for.
TEST_P(StatementPrintCommandLine, TutorialStatementsShowGuarantorAgingAndTheirBalanceDue) {
  std::string cli = flags();
  std::string tutorial;
  if (engine() == store::Engine::Server) {
    const std::size_t root = cli.find("--root ") + 7;
    tutorial = cli.substr(root, cli.find(' ', root) - root) + "_tutor";
  } else {
    cli += "--root '" + (home_.path() / "root").string() + "' ";
    tutorial = (home_.path() / "root" / "Tutor").string();
  }
  const CliRun installed = runCli(cli + "--yes practice tutorial");
  ASSERT_EQ(installed.exitCode, 0) << installed.output;

  const std::vector<std::string> guarantors{"JESBE000", "CORKA000", "HALNO000"};
  {
    auto practice = store::Connection::open({engine(), tutorial}, {"test"});
    store::Table statements = practice->openTable("QVSTA");
    store::Table ledger = practice->openTable("QVTRN");
    ledger.setOrder("idxChartNumber");
    for (const std::string& chart : guarantors) {
      store::Record statement = statements.newRecord();
      statement.setFromText("Chart Number", chart);
      statement.setFromText("Statement Type", "S");
      statement.setFromText("Status", "1");
      statement.setFromText("Batch Number", "5");
      statements.append(statement);
      ledger.setRange({store::Value{chart}}, {store::Value{chart}});
      int stamped = 0;
      ledger.forEach([&](store::Record& entry) {
        if (entry.text("Transaction Type") > "H") return;
        entry.set("Statement Number", statement.integer("Statement Number"));
        ledger.post(entry);
        ++stamped;
      });
      ASSERT_GT(stamped, 0) << chart;
    }
  }

  const fs::path pdf = home_.path() / "statements.pdf";
  const CliRun printed = runCli(cli + "statement print --batch 5 --pdf '" + pdf.string() + "'");
  ASSERT_EQ(printed.exitCode, 0) << printed.output;
  EXPECT_NE(printed.output.find("3 statements printed"), std::string::npos) << printed.output;
  testing::keepPdf(pdf, "tutorial-batch.pdf");
  // A statement starts on the page with its remittance part and may run on.
  std::vector<std::string> pages;
  for (const std::string& page : pdfPages(pdf)) {
    if (page.find("Amount Enclosed") != std::string::npos || pages.empty()) pages.emplace_back();
    pages.back() += page;
  }
  const std::string words = testing::pdfText(pdf, false);

  struct Expected {
    std::string chart, name, street, city;
  };
  // In chart order, whatever order the statements were made in.
  const std::vector<Expected> expected{
      {"CORKA000", "Katrin N. Corrow", "914 Orchard Way", "Rochester, IL"},
      {"HALNO000", "Nolan A. Hallett", "1987 Prairie Road", "Sherman, IL"},
      {"JESBE000", "Bertram N. Jessop", "1025 Cedar Lane", "Chatham, IL"}};
  ASSERT_EQ(pages.size(), expected.size());
  for (std::size_t index = 0; index < expected.size(); ++index) {
    const Expected& account = expected[index];
    const std::string& page = pages[index];
    SCOPED_TRACE(account.chart);
    EXPECT_NE(lineWith(page, "Account Number").find(account.chart), std::string::npos);
    EXPECT_NE(page.find(account.name), std::string::npos);
    EXPECT_NE(page.find(account.street), std::string::npos);
    EXPECT_NE(page.find(account.city), std::string::npos);
    for (const char* heading : {"Current", "31 - 60", "61 - 90", "Over 90", "Amount Due"})
      EXPECT_NE(page.find(heading), std::string::npos) << heading;

    const CliRun balance = runCli(cli + "balance show --chart " + account.chart);
    ASSERT_EQ(balance.exitCode, 0) << balance.output;
    const auto owed = lastAmountOn(lineWith(balance.output, "Account balance:"));
    ASSERT_TRUE(owed) << balance.output;
    EXPECT_FALSE(owed->isZero());
    const auto due = lastAmountOn(lineWith(page, "Amount Due"));
    ASSERT_TRUE(due) << page;
    EXPECT_EQ(due->toString(), owed->toString());
    // The aging boxes add up to the same amount.
    std::string boxes = lineWith(page.substr(page.find("Over 90")), "$");
    Money aged;
    for (int column = 0; column < 4; ++column) {
      const std::size_t dollar = boxes.find('$');
      ASSERT_NE(dollar, std::string::npos) << boxes;
      boxes = boxes.substr(dollar + 1);
      aged += *Money::parse(boxes.substr(0, boxes.find(' ')));
    }
    EXPECT_EQ(aged.toString(), owed->toString());
  }
  EXPECT_NE(words.find("Medical Group"), std::string::npos);

  // The printed statements are billed: Sent, dated the run, counted once.
  {
    auto practice = store::Connection::open({engine(), tutorial}, {"test"});
    store::Table statements = practice->openTable("QVSTA");
    int billed = 0;
    statements.forEach([&](store::Record& statement) {
      ++billed;
      EXPECT_EQ(statement.text("Status"), "2") << statement.text("Chart Number");
      EXPECT_FALSE(statement.date("Last Billing Date").isEmpty());
      EXPECT_EQ(statement.date("Last Billing Date"), statement.date("Initial Billing Date"));
      EXPECT_EQ(statement.integer("Submission Count"), 1);
      EXPECT_EQ(statement.integer("Batch Number"), 5);  // kept: it had one
    });
    EXPECT_EQ(billed, 3);
  }

  // Nothing to print, or nowhere to write it: refused, and no file.
  const fs::path none = home_.path() / "none.pdf";
  EXPECT_EQ(runCli(cli + "statement print 9999 --pdf '" + none.string() + "'").exitCode, 1);
  const CliRun nowhere = runCli(cli + "statement print --batch 5 --pdf '" +
                                (home_.path() / "no" / "x.pdf").string() + "'");
  EXPECT_EQ(nowhere.exitCode, 1) << nowhere.output;
  EXPECT_NE(nowhere.output.find("Cannot write"), std::string::npos) << nowhere.output;
  EXPECT_FALSE(fs::exists(none));
  EXPECT_EQ(runCli(cli + "statement print 1 --batch 5 --pdf x.pdf").exitCode, 2);
}

VANTRELL_ON_BOTH_ENGINES(StatementPrintCommandLine);

}  // namespace
}  // namespace vantrell
