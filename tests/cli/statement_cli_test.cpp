#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <sstream>
#include <thread>

#include <fmt/format.h>

#include "cli_fixture.hpp"
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

VANTRELL_ON_BOTH_ENGINES(StatementCommandLine);

}  // namespace
}  // namespace vantrell
