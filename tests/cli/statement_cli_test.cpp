#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "cli_fixture.hpp"
#include "core/printing/pdf_reading.hpp"
#include "store/table.hpp"

namespace vantrell {
namespace {

class StatementCommandLine : public CommandLineProgram {
 protected:
  std::int64_t count(store::Connection& practice, const std::string& sql) {
    const auto value = practice.executeSql(sql).rows.at(0).at(0);
    const auto* number = std::get_if<std::int64_t>(&value);
    return number != nullptr ? *number : 0;
  }
};

// A run killed the hard way in the middle leaves only whole statements: each
// has its lines, and no line points at a statement that is not there.
TEST_P(StatementCommandLine, AKilledRunLeavesOnlyWholeStatements) {
  const std::string path = practicePath("Killed");
  ASSERT_EQ(runCli(flags() + "practice create --name Killed --path '" + path + "'").exitCode, 0);
  constexpr int guarantors = 4000;
  auto practice = store::Connection::open({engine(), path}, {});
  {
    store::Transaction fill(*practice);
    store::Table patients = practice->openTable("QVPAT");
    store::Table cases = practice->openTable("QVCAS");
    store::Table ledger = practice->openTable("QVTRN");
    patients.expectAppends(guarantors);
    cases.expectAppends(guarantors);
    ledger.expectAppends(guarantors * 3);
    for (int person = 1; person <= guarantors; ++person) {
      const std::string chart = fmt::format("K{:07}", person);
      store::Record patient = patients.newRecord();
      patient.set("Chart Number", chart);
      patient.set("Last Name", std::string("Killed"));
      patients.append(patient);
      store::Record account = cases.newRecord();
      account.set("Chart Number", chart);
      account.set("Guarantor", chart);
      account.set("Print Patient Statements", true);
      cases.append(account);
      for (int line = 0; line < 3; ++line) {
        store::Record charge = ledger.newRecord();
        charge.set("Chart Number", chart);
        charge.set("Case Number", account.integer("Case Number"));
        charge.set("Transaction Type", std::string("A"));
        charge.set("Amount", Money::fromCents(1000 + line));
        charge.set("Guarantor Responsible", true);
        ledger.append(charge);
      }
    }
    // One statement already there, so the first-time question is not asked.
    store::Table statements = practice->openTable("QVSTA");
    store::Record old = statements.newRecord();
    old.set("Chart Number", std::string("OLD00000"));
    old.set("Status", std::string("4"));
    statements.append(old);
    fill.commit();
  }

  std::vector<std::string> words;
  std::istringstream flagWords(flags());
  for (std::string word; flagWords >> word;) words.push_back(word);
  for (const char* word : {"--practice", path.c_str(), "--yes", "statement", "create"})
    words.emplace_back(word);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::vector<char*> argv = {const_cast<char*>(VANTRELL_CLI)};
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    std::freopen("/dev/null", "w", stdout);
    ::execv(VANTRELL_CLI, argv.data());
    ::_exit(127);
  }
  // Killed once the first few statements are kept, long before the last.
  std::int64_t made = 0;
  for (int attempt = 0; attempt < 20000 && made < 5; ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    made = count(*practice, "SELECT COUNT(*) FROM \"QVSTA\"") - 1;
  }
  ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the run ended before it was killed";

  made = count(*practice, "SELECT COUNT(*) FROM \"QVSTA\"") - 1;
  EXPECT_GE(made, 5);
  EXPECT_LT(made, guarantors);
  EXPECT_EQ(count(*practice,
                  "SELECT COUNT(*) FROM \"QVSTA\" s WHERE s.\"Chart Number\" <> 'OLD00000' AND "
                  "NOT EXISTS (SELECT 1 FROM \"QVTRN\" t WHERE t.\"Statement Number\" = "
                  "s.\"Statement Number\")"),
            0);
  EXPECT_EQ(count(*practice,
                  "SELECT COUNT(*) FROM \"QVTRN\" t WHERE COALESCE(t.\"Statement Number\", 0) <> "
                  "0 AND NOT EXISTS (SELECT 1 FROM \"QVSTA\" s WHERE s.\"Statement Number\" = "
                  "t.\"Statement Number\")"),
            0);
  // Whole statements: three lines each.
  EXPECT_EQ(count(*practice,
                  "SELECT COUNT(*) FROM \"QVTRN\" WHERE COALESCE(\"Statement Number\", 0) <> 0"),
            made * 3);

  // A new run picks up where the killed one stopped.
  const CliRun rest = runCli(flags() + "--practice '" + path + "' --yes statement create");
  ASSERT_EQ(rest.exitCode, 0) << rest.output;
  EXPECT_EQ(count(*practice, "SELECT COUNT(*) FROM \"QVSTA\"") - 1, guarantors);
  EXPECT_EQ(count(*practice,
                  "SELECT COUNT(*) FROM \"QVTRN\" WHERE COALESCE(\"Statement Number\", 0) = 0"),
            0);
}

std::vector<std::string> linesOf(const std::string& output) {
  std::vector<std::string> lines;
  std::istringstream stream(output);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

// On the tutorial practice: a standard statement per guarantor whose lines
// are due, each totalling what the balance command says its cases still owe;
// then the management verbs on them.
TEST_P(StatementCommandLine, TutorialStatementsMatchTheBalancesAndAreManaged) {
  const std::string cli = flags();
  const CliRun tutorial = runCli(cli + "practice tutorial");
  ASSERT_EQ(tutorial.exitCode, 0) << tutorial.output;
  const CliRun created = runCli(cli + "--yes statement create");
  ASSERT_EQ(created.exitCode, 0) << created.output;
  std::vector<std::int64_t> numbers;
  for (const auto& line : linesOf(created.output)) {
    if (!line.empty() && line.find_first_not_of("0123456789") == std::string::npos)
      numbers.push_back(std::stoll(line));
  }
  ASSERT_GT(numbers.size(), 3u) << created.output;
  EXPECT_NE(
      created.output.find(fmt::format("{} Standard statements have been created", numbers.size())),
      std::string::npos);
  for (const auto number : numbers) {
    const auto shown = nlohmann::json::parse(
        runCli(cli + "--json statement show " + std::to_string(number)).output);
    EXPECT_EQ(shown["statement"]["Status"], "1");
    EXPECT_EQ(shown["statement"]["Statement Type"], "S");
    const double total = shown["total"].get<double>();
    EXPECT_GT(total, 0.0) << number;
    // What the balance command says the statement's cases still owe.
    std::map<std::string, std::set<std::int64_t>> cases;
    for (const auto& line : shown["transactions"])
      cases[line["Chart Number"].get<std::string>()].insert(
          line["Case Number"].get<std::int64_t>());
    double owed = 0;
    for (const auto& [chart, numbersOfCases] : cases) {
      const auto balance =
          nlohmann::json::parse(runCli(cli + "--json balance show --chart " + chart).output);
      for (const auto& account : balance["cases"])
        if (numbersOfCases.count(account["case"].get<std::int64_t>()) != 0)
          owed += account["remainder of charges"].get<double>();
    }
    EXPECT_NEAR(total, owed, 0.001) << number;
  }
  const CliRun again = runCli(cli + "statement create");
  EXPECT_EQ(again.exitCode, 0);
  EXPECT_NE(again.output.find("No new Standard Statements were created."), std::string::npos);

  const std::string first = std::to_string(numbers[0]);
  EXPECT_EQ(linesOf(runCli(cli + "statement list --status \"Ready to Send\"").output).size(),
            numbers.size());
  EXPECT_EQ(runCli(cli + "statement status " + first + " --from 1").exitCode, 1);
  EXPECT_EQ(runCli(cli + "statement status " + first + " --from any --to Hold").output, "1\n");
  EXPECT_EQ(linesOf(runCli(cli + "statement list --status 0").output).size(), 1u);
  // A held statement takes no more lines.
  EXPECT_EQ(runCli(cli + "statement add " + first + " 1").exitCode, 1);
  const auto shown = nlohmann::json::parse(runCli(cli + "--json statement show " + first).output);
  const std::string chart = shown["statement"]["Chart Number"];
  ASSERT_EQ(runCli(cli + "--yes statement delete " + first).exitCode, 0);
  EXPECT_EQ(linesOf(runCli(cli + "statement list --chart " + chart).output).size(), 0u);
  const CliRun remade = runCli(cli + "--yes statement create --chart " + chart);
  ASSERT_EQ(remade.exitCode, 0) << remade.output;
  EXPECT_EQ(linesOf(runCli(cli + "statement list --chart " + chart).output).size(), 1u);
  const CliRun quick = runCli(cli + "quick-balance --chart " + chart);
  EXPECT_EQ(quick.exitCode, 0) << quick.output;
  EXPECT_NE(quick.output.find("Remainder balance:"), std::string::npos);
  // Its Print puts the chart's statement on paper without billing it.
  const std::string pdf = (home_.path() / "quick.pdf").string();
  const CliRun printed = runCli(cli + "--yes quick-balance --chart " + chart + " --pdf " + pdf);
  ASSERT_EQ(printed.exitCode, 0) << printed.output;
  EXPECT_NE(testing::pdfText(pdf).find(chart), std::string::npos);
  const auto after =
      nlohmann::json::parse(runCli(cli + "--json statement list --chart " + chart).output);
  ASSERT_EQ(after.size(), 1u) << after.dump();
  EXPECT_EQ(after[0]["Status"], "Ready to Send") << after.dump();
  EXPECT_EQ(after[0]["Submission Count"], 0) << after.dump();
  EXPECT_EQ(runCli(cli + "statement create --from-chart B --to-chart A").exitCode, 1);
}

VANTRELL_ON_BOTH_ENGINES(StatementCommandLine);

}  // namespace
}  // namespace vantrell
