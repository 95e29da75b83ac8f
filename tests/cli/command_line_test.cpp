#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "cli_fixture.hpp"
#include "store/connection.hpp"
#include "store/exclusive_operation_lock.hpp"
#include "store/table.hpp"
#include "support/store_fixture.hpp"

namespace vantrell {
namespace {

TEST_P(CommandLineProgram, CreatesListsAndExportsAPractice) {
  vantrell::testing::PracticeSpace root(engine());
  const std::string practice = space_->location().path;
  const std::string common = engineFlag() + "--root '" + root.location().path + "' ";

  CliRun created = runCli(common + "schema create '" + practice + "'");
  ASSERT_EQ(created.exitCode, 0) << created.output;
  EXPECT_NE(created.output.find("Created 55 tables"), std::string::npos)
      << created.output;  // QVUSR is in the root
  EXPECT_NE(runCli(common + "schema create '" + practice + "'").output.find("Created 0 tables"),
            std::string::npos);

  CliRun listed = runCli("table list --json " + common + "--practice '" + practice + "'");
  ASSERT_EQ(listed.exitCode, 0) << listed.output;
  EXPECT_NE(listed.output.find("{\"table\": \"QVPAT\", \"description\": \"Patient\", \"rows\": 0}"),
            std::string::npos)
      << listed.output;

  CliRun exported = runCli(common + "--practice '" + practice + "' table export qvpax.adt");
  ASSERT_EQ(exported.exitCode, 0) << exported.output;
  EXPECT_EQ(
      exported.output,
      "Payment Reference,Charge Reference,Payment Amount,Who Paid,Deposit ID,Date Modified\r\n");
  CliRun quoted = runCli(common + "--practice '" + practice + "' table export QVDEF");
  EXPECT_EQ(quoted.output, "Table,Field,Default,Date Modified\r\n");

  // Values with commas, quotes and line breaks are quoted as RFC 4180 says.
  {
    auto connection = space_->connect();
    connection->executeSql(
        "INSERT INTO QVDEF (\"Table\", \"Field\", \"Default\") VALUES ('QVPAT', 'City', ?), "
        "('QVPAT', 'State', 'IL')",
        {store::Value{std::string("Springfield, \"East\"\nside")}});
  }
  CliRun rows = runCli(common + "--practice '" + practice + "' table export QVDEF --order Primary");
  EXPECT_EQ(rows.output,
            "Table,Field,Default,Date Modified\r\n"
            "QVPAT,City,\"Springfield, \"\"East\"\"\nside\",\r\n"
            "QVPAT,State,IL,\r\n");
  CliRun filtered = runCli(common + "--practice '" + practice +
                           "' table export QVDEF --filter \"Field = 'State'\"");
  EXPECT_EQ(filtered.output, "Table,Field,Default,Date Modified\r\nQVPAT,State,IL,\r\n");

  EXPECT_EQ(runCli(common + "--practice '" + practice + "' table export QVNOPE").exitCode, 2);
  CliRun badFilter =
      runCli(common + "--practice '" + practice + "' table export QVPAT --filter 'Last Name ='");
  EXPECT_EQ(badFilter.exitCode, 2);
  EXPECT_NE(badFilter.output.find("The filter \"Last Name =\" is not valid"), std::string::npos);

  // Deep nesting is bad input like any other; a long chain of ORs runs.
  CliRun deep = runCli(common + "--practice '" + practice + "' table export QVPAT --filter '" +
                       std::string(20000, '(') + "Flag = 1" + std::string(20000, ')') + "'");
  EXPECT_EQ(deep.exitCode, 2) << deep.output.substr(0, 300);
  EXPECT_NE(deep.output.find("it nests more than 64 levels deep"), std::string::npos)
      << deep.output.substr(0, 300);
  CliRun nots = runCli(common + "--practice '" + practice + "' table export QVPAT --filter '" +
                       std::string(60000, '!') + "Inactive'");
  EXPECT_EQ(nots.exitCode, 2) << nots.output.substr(0, 300);
  std::string anyField;
  for (int i = 0; i < 3000; ++i) anyField += "Field = 'F" + std::to_string(i) + "' OR ";
  CliRun chain = runCli(common + "--practice '" + practice + "' table export QVDEF --filter \"" +
                        anyField + "Field = 'State'\"");
  EXPECT_EQ(chain.exitCode, 0) << chain.output.substr(0, 300);
  EXPECT_EQ(chain.output, "Table,Field,Default,Date Modified\r\nQVPAT,State,IL,\r\n");
}

TEST_P(CommandLineProgram, PracticesFromAnEmptyHomeAndTheOptionsChecks) {
  const std::string flags = this->flags();
  const std::string path = practicePath("Clinic Data");
  CliRun created = runCli(flags + "practice create --name Clinic --path '" + path + "'");
  ASSERT_EQ(created.exitCode, 0) << created.output;
  EXPECT_EQ(created.output, "QelVantrell Advanced - Clinic\n");
  CliRun listed = runCli(flags + "practice list --json");
  EXPECT_EQ(listed.output, "[{\"name\": \"Clinic\", \"path\": " + jsonQuoted(path) + "}]\n");

  CliRun options = runCli(flags + "--practice '" + path + "' options show --json");
  ASSERT_EQ(options.exitCode, 0) << options.output;
  for (const char* expected : {"\"Data Version Number\": 19", "\"Pat Aging Column 1 Start\": 0",
                               "\"Pat Aging Column 1 End\": 30", "\"Pat Aging Column 2\": 60",
                               "\"Pat Aging Column 3\": 90", "\"Ins Aging Column 4\": 120"})
    EXPECT_NE(options.output.find(expected), std::string::npos) << expected;

  CliRun refused = runCli(flags + "--practice '" + path +
                          "' options set \"Pat Aging Column 1 End=30\" \"Pat Aging Column 2=30\"");
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_EQ(refused.output, "Patient Aging Column 2 must be greater than 30\n");
  CliRun saved = runCli(
      flags +
      "options set \"Pat Aging Column 2=45\" \"Sales Tax Rate=6.25\"");  // the practice opened last
  EXPECT_EQ(saved.exitCode, 0) << saved.output;
  EXPECT_NE(runCli(flags + "options show").output.find("Pat Aging Column 2: 45\n"),
            std::string::npos);
  EXPECT_EQ(runCli(flags + "options set \"No Such Option=1\"").exitCode, 2);

  EXPECT_EQ(runCli(flags + "practice-info set \"Practice Name=\"").exitCode, 1);
  EXPECT_EQ(runCli(flags +
                   "practice-info set \"Practice Name=Clinic LLC\" \"Practice Type=Chiropractic\"")
                .exitCode,
            0);
  EXPECT_NE(runCli(flags + "practice-info show").output.find("Practice Name: Clinic LLC\n"),
            std::string::npos);

  // Removing takes the person's Yes.
  EXPECT_EQ(runCli(flags + "practice remove --name Clinic --path '" + path + "'").exitCode, 1);
  EXPECT_EQ(runCli(flags + "--yes practice remove --name Clinic --path '" + path + "'").exitCode,
            0);
  EXPECT_EQ(runCli(flags + "practice list").output, "");
  EXPECT_EQ(runCli(flags + "practice create --name Tutor --path '" + path + "'").output,
            "Invalid Practice Name\n");
}

VANTRELL_ON_BOTH_ENGINES(CommandLineProgram);

TEST_P(CommandLineProgram, UsersLogInAndTheirLevelsDecide) {
  ::setenv("VANTRELL_PASSWORD_COST", "test", 1);
  const std::string flags = this->flags();
  const std::string path = practicePath("Clinic");
  ASSERT_EQ(runCli(flags + "practice create --name Clinic --path '" + path + "'").exitCode, 0);
  // With no users, security is off: the first user is made without a login.
  CliRun first = runCli(
      flags + "user add ADMIN \"Name=Office Manager\" \"Access Level=1\" \"Password=Boss1234\"");
  ASSERT_EQ(first.exitCode, 0) << first.output;
  EXPECT_EQ(runCli(flags + "user list").exitCode, 1);  // now a login is needed
  const std::string admin = flags + "--user ADMIN --password Boss1234 ";
  ASSERT_EQ(runCli(admin + "user add JOE \"Access Level=3\" \"Password=Clerk777\"").exitCode, 0);
  EXPECT_NE(runCli(admin + "user list").output.find("JOE"), std::string::npos);

  const std::string joe = flags + "--user joe --password CLERK777 ";  // letter case does not matter
  CliRun refused = runCli(joe + "permission check 42");
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_EQ(refused.output, "ACCESS DENIED\nSecurity level is insufficient for this operation.\n");
  CliRun allowed = runCli(joe + "permission check 41");
  EXPECT_EQ(allowed.exitCode, 0) << allowed.output;
  EXPECT_EQ(runCli(joe + "options set \"Use Sound=false\"").exitCode,
            1);  // Program Options: level 1 only
  EXPECT_EQ(runCli(admin + "permission set 42 \"Level 3=true\"").exitCode, 0);
  EXPECT_EQ(runCli(joe + "permission check 42").exitCode, 0);

  // The password may come on standard input instead of the command line.
  CliRun piped = runShell("printf 'Clerk777\\n' | " + std::string(VANTRELL_CLI) + " " + flags +
                          "--user JOE --password - permission check 41");
  EXPECT_EQ(piped.exitCode, 0) << piped.output;
  CliRun wrong = runCli(flags + "--user JOE --password nope practice open");
  EXPECT_EQ(wrong.exitCode, 1);
  EXPECT_EQ(wrong.output, "Error: Invalid password\n");
  CliRun log = runCli(admin + "login-log show");
  EXPECT_NE(log.output.find("Invalid password"), std::string::npos);
  // Nothing of a password is kept or shown anywhere.
  for (const std::string table : {"QVSEC", "QVPSW", "QVLIO"}) {
    EXPECT_EQ(runCli(joe + "--practice '" + path + "' table export " + table).exitCode,
              1);  // level 1 only
    CliRun exported = runCli(admin + "--practice '" + path + "' table export " + table);
    EXPECT_EQ(exported.exitCode, 0) << exported.output;
    EXPECT_EQ(exported.output.find("Boss1234"), std::string::npos) << table;
    EXPECT_EQ(exported.output.find("Clerk777"), std::string::npos) << table;
  }
}

TEST_P(CommandLineProgram, CodeTablesKeepTheirRulesOnTheCommandLine) {
  const std::string flags = this->flags();
  const std::string path = practicePath("Clinic");
  ASSERT_EQ(runCli(flags + "practice create --name Clinic --path '" + path + "'").exitCode, 0);
  ASSERT_EQ(runCli(flags + "code add 99213 \"Description=Office visit\" \"Amount A=80\"").exitCode,
            0);
  ASSERT_EQ(runCli(flags + "multilink add VISIT \"Link Code 2=99213\"").exitCode, 0);
  CliRun refused = runCli(flags + "--yes code delete 99213");
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_EQ(refused.output,
            "This procedure code record is currently being used in the Link Code 2 field of the "
            "QVMUL table and "
            "cannot be deleted.\n");
  CliRun shown = runCli(flags + "code show 99213 --json");
  EXPECT_NE(shown.output.find("\"Code 2\": \"99213\""), std::string::npos) << shown.output;
  EXPECT_NE(shown.output.find("\"Amount A\": 80"), std::string::npos) << shown.output;

  ASSERT_EQ(runCli(flags + "carrier add MC \"Name=Medicare\"").exitCode, 0);
  // A saved code's key is never renamed: cases and allowed amounts refer to it.
  CliRun renamed = runCli(flags + "carrier edit MC \"Code=MCX\"");
  EXPECT_EQ(renamed.exitCode, 1);
  EXPECT_EQ(renamed.output, "The Code of a stored record is not changed here.\n");
  EXPECT_EQ(runCli(flags + "carrier show MCX").exitCode, 1);
  const auto practiceConnection = [&] {
    return store::Connection::open({engine(), path}, {"tester", nullptr, false});
  };
  {
    auto connection = practiceConnection();
    connection->executeSql(
        "INSERT INTO QVALL (\"Insurance Code\", \"Procedure\", \"Modifiers\", \"Amount\") "
        "VALUES ('MC', '99213', '', 55), ('MC', '99214', '', 65)");
  }
  EXPECT_EQ(runCli(flags + "carrier delete MC").exitCode, 1);  // the question answered No
  CliRun deleted = runCli(flags + "--yes carrier delete MC");
  EXPECT_EQ(deleted.exitCode, 0) << deleted.output;
  EXPECT_EQ(practiceConnection()->openTable("QVALL").count(), 0);

  const auto csv = home_.path() / "diagnoses.csv";
  std::ofstream(csv) << "Code 1,Description\r\nI10,Essential hypertension\r\nI10,Again\r\n";
  CliRun badImport = runCli(flags + "table import QVDIA '" + csv.string() + "'");
  EXPECT_EQ(badImport.exitCode, 1);
  EXPECT_NE(badImport.output.find("line 3: Diagnosis code I10 already exists."), std::string::npos)
      << badImport.output;
  std::ofstream(csv) << "Code 1,Description\r\nI10,Essential hypertension\r\nE11.9,Diabetes\r\n";
  EXPECT_EQ(runCli(flags + "table import qvdia.adt '" + csv.string() + "'").output,
            "Imported 2 rows into QVDIA.\n");
  EXPECT_EQ(runCli(flags + "diagnosis list").output,
            "E11.9        Diabetes\nI10          Essential hypertension\n");
}

TEST(CommandLine, ALiveExclusiveLockRefusesWithItsMessageLine) {
  IsolatedHome home;
  const std::string path = (home.path() / "Clinic").string();
  ASSERT_EQ(runCli("practice create --name Clinic --path '" + path + "'").exitCode, 0);
  const std::filesystem::path lockFile = std::filesystem::path(path) / "_LpLock.lok";
  {
    // A stale lock (nobody holds the file) is cleared silently.
    std::ofstream(lockFile) << "";
    std::ofstream(std::filesystem::path(path) / "_LpLockM.lok")
        << "Data maintenance in progress.\r\n";
    CliRun stale = runCli("practice open '" + path + "'");
    EXPECT_EQ(stale.exitCode, 0) << stale.output;
    EXPECT_FALSE(std::filesystem::exists(lockFile));
  }
  const auto lock = store::ExclusiveOperationLock::take({store::Engine::Embedded, path},
                                                        "Data maintenance in progress.");
  CliRun busy = runCli("practice open '" + path + "'");
  EXPECT_EQ(busy.exitCode, 1);
  EXPECT_EQ(busy.output, "Data maintenance in progress.\n");
  // Data that is not there is an engine failure, as for every other command.
  EXPECT_EQ(runCli("practice open '" + (home.path() / "nowhere").string() + "'").exitCode, 3);
}

// A practice file an administrator must see to: damaged, or not writable for
// the person at the workstation. Every command says which file and ends with
// the engine-failure exit code.
TEST(CommandLine, DamagedOrReadOnlyPracticeFilesAreNamedWithOneExitCode) {
  IsolatedHome home;
  const std::filesystem::path practice = home.path() / "Clinic";
  ASSERT_EQ(runCli("practice create --name Clinic --path '" + practice.string() + "'").exitCode, 0);
  const auto dictionary = practice / "qvddf.add";
  const std::vector<std::string> commands = {"table export QVPAT", "table list", "patient list",
                                             "options show", "practice open"};
  const auto runEach = [&](const std::string& prefix, const std::string& expected) {
    for (const auto& command : commands) {
      CliRun run =
          runShell(prefix + VANTRELL_CLI + " --practice '" + practice.string() + "' " + command);
      EXPECT_EQ(run.exitCode, 3) << command << ": " << run.output;
      EXPECT_NE(run.output.find(expected), std::string::npos) << command << ": " << run.output;
    }
  };

  // Not writable: root writes any file whatever its mode, so the commands run
  // as an ordinary user then, with the home and the directory open to them.
  std::filesystem::permissions(dictionary, std::filesystem::perms::owner_read |
                                               std::filesystem::perms::group_read |
                                               std::filesystem::perms::others_read);
  for (const auto& entry : std::filesystem::recursive_directory_iterator(home.path())) {
    if (entry.path() != dictionary)
      std::filesystem::permissions(entry.path(), std::filesystem::perms::all);
  }
  std::filesystem::permissions(home.path(), std::filesystem::perms::all);
  const std::string asUser =
      ::geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
  runEach(asUser, "You do not have rights to " + dictionary.string() + ".");

  std::filesystem::permissions(
      dictionary, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  {
    std::ofstream garbage(dictionary, std::ios::trunc | std::ios::binary);
    for (int i = 0; i < 100; ++i) garbage << "not a database ";
  }
  runEach("", "The file " + dictionary.string() +
                  " is not a practice database or is damaged.  Restore it from a backup.");
}

TEST(CommandLine, UsageAndMissingDataHaveTheirExitCodes) {
  IsolatedHome home;
  EXPECT_EQ(runCli("--help").exitCode, 0);
  EXPECT_EQ(runCli("").exitCode, 2);
  EXPECT_EQ(runCli("frobnicate now").exitCode, 2);
  EXPECT_EQ(runCli("table list --bogus").exitCode, 2);
  EXPECT_EQ(runCli("table list").exitCode, 2);
  CliRun missing = runCli("table list --practice /nonexistent/practice");
  EXPECT_EQ(missing.exitCode, 3);
  EXPECT_NE(missing.output.find(
                "Data is not found.  The data path has changed or the server is not found."),
            std::string::npos);
}

}  // namespace
}  // namespace vantrell
