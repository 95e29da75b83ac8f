#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <fstream>
#include <string>
#include <vector>

#include "cli_fixture.hpp"

namespace vantrell {
namespace {

class ArgumentsCommandLine : public CommandLineProgram {
 protected:
  std::string firstLine(const CliRun& run) { return run.output.substr(0, run.output.find('\n')); }
  // A practice with a patient, a case and one charge; returns the charge's entry number.
  std::string practiceWithACharge(const std::string& cli) {
    for (const char* setup : {"patient add \"Chart Number=ROEJO000\" \"Last Name=Roe\"",
                              "provider add DR1 \"Last Name=Welby\"",
                              "carrier add MC Name=Medicare", "diagnosis add R05 Description=Cough",
                              "code add 99213 \"Amount A=80\"", "code add CHK Type=K"}) {
      const CliRun run = runCli(cli + setup);
      EXPECT_EQ(run.exitCode, 0) << setup << "\n" << run.output;
    }
    const CliRun added =
        runCli(cli +
               "case add --chart ROEJO000 Description=Cough \"Assigned Provider=DR1\" "
               "\"Insurance Carrier #1=MC\" \"Diagnosis 1=R05\"");
    EXPECT_EQ(added.exitCode, 0) << added.output;
    caseNumber_ = firstLine(added);
    const CliRun charged =
        runCli(cli + "charge add --chart ROEJO000 --case " + caseNumber_ + " 99213");
    EXPECT_EQ(charged.exitCode, 0) << charged.output;
    return firstLine(charged);
  }
  // Standard output alone: the system's messages go to standard error.
  CliRun runStdout(const std::string& arguments) {
    return runShell("(" + std::string(VANTRELL_CLI) + " " + arguments + " 2>/dev/null)");
  }
  std::string caseNumber_;
};

TEST_P(ArgumentsCommandLine, NumbersAreReadWholeOrRefusedAndCSIsOnlyTheFirstArgument) {
  const std::string path = practicePath("Clinic");
  ASSERT_EQ(runCli(flags() + "practice create --name Clinic --path '" + path + "'").exitCode, 0);
  const std::string cli = flags() + "--practice '" + path + "' ";
  const std::string entry = practiceWithACharge(cli);
  ASSERT_FALSE(entry.empty());
  const CliRun check =
      runCli(cli + "payment add --chart ROEJO000 --case " + caseNumber_ + " CHK 5");
  ASSERT_EQ(check.exitCode, 0) << check.output;
  const std::string payment = firstLine(check);

  struct Row {
    const char* name;
    std::string arguments;
    std::string value;     // named in the message
    std::string argument;  // named in the message
  };
  const std::vector<Row> rows = {
      {"a decimal entry", "--yes charge delete " + entry + ".9", entry + ".9", "ENTRY"},
      {"trailing letters", "--yes charge delete " + entry + "x", entry + "x", "ENTRY"},
      {"hexadecimal", "--yes charge delete 0x" + entry, "0x" + entry, "ENTRY"},
      {"a signed entry", "--yes charge delete +" + entry, "+" + entry, "ENTRY"},
      {"a charge with junk", "payment apply " + payment + " " + entry + "junk 5", entry + "junk",
       "CHARGE"},
      {"a payment with junk", "payment apply " + payment + "q " + entry + " 5", payment + "q",
       "PAYMENT"},
      {"an amount with junk", "payment apply " + payment + " " + entry + " 5x", "5x", "AMOUNT"},
      {"a case option", "ledger show --chart ROEJO000 --case 1.5", "1.5", "--case"},
      {"case zero", "case show 0", "0", "CASE"},
      {"letters for an item", "permission check abc", "abc", "ITEM"},
      {"an item past the list", "permission check 256", "256", "ITEM"},
      {"an entry past 64 bits", "--yes charge delete 99999999999999999999", "99999999999999999999",
       "ENTRY"},
  };
  for (const auto& row : rows) {
    const CliRun run = runCli(cli + row.arguments);
    EXPECT_EQ(run.exitCode, 2) << row.name << "\n" << run.output;
    EXPECT_NE(run.output.find("\"" + row.value + "\""), std::string::npos) << row.name << "\n"
                                                                           << run.output;
    EXPECT_NE(run.output.find(row.argument), std::string::npos) << row.name << "\n" << run.output;
  }
  // Nothing was deleted or applied by a value read in part: the charge is there, the check
  // unapplied.
  const CliRun ledger = runCli(cli + "--json ledger show --chart ROEJO000");
  const auto entries = nlohmann::json::parse(ledger.output);
  ASSERT_EQ(entries.size(), 2u) << ledger.output;
  EXPECT_EQ(entries[0]["Entry Number"], std::stoll(entry));
  EXPECT_EQ(entries[1]["Entry Number"], std::stoll(payment));
  EXPECT_EQ(entries[1]["Unapplied Amount"], -5) << ledger.output;

  // A code, and a chart, may be called CS.
  const CliRun code = runCli(cli + "code add CS \"Description=Cast supply\"");
  EXPECT_EQ(code.exitCode, 0) << code.output;
  const CliRun shown = runCli(cli + "code show CS --json");
  ASSERT_EQ(shown.exitCode, 0) << shown.output;
  EXPECT_EQ(nlohmann::json::parse(shown.output)["Description"], "Cast supply");
  EXPECT_EQ(runCli(cli + "patient add \"Chart Number=CS\" \"Last Name=Cs\"").output, "CS\n");
  // As the very first argument, CS is still the server switch.
  if (engine() == store::Engine::Server) {
    const std::string withoutSwitch = flags().substr(std::string("--server ").size());
    const CliRun listed = runCli("CS " + withoutSwitch + "practice list --json");
    EXPECT_EQ(listed.exitCode, 0) << listed.output;
    EXPECT_EQ(nlohmann::json::parse(listed.output)[0]["path"], path);
  } else {
    // A directory names no practice on the server: CS in front went there.
    const CliRun switched =
        runCli("CS --root '" + (home_.path() / "elsewhere").string() + "' practice list");
    EXPECT_EQ(switched.exitCode, 2);
    EXPECT_NE(switched.output.find("does not name a practice on the server"), std::string::npos)
        << switched.output;
  }
}

TEST_P(ArgumentsCommandLine, EveryCommandPrintsValidJsonWithJson) {
  ::setenv("VANTRELL_PASSWORD_COST", "test", 1);
  const std::string path = practicePath("Clinic");
  ASSERT_EQ(runCli(flags() + "practice create --name Clinic --path '" + path + "'").exitCode, 0);
  const std::string cli = flags() + "--practice '" + path + "' --json ";
  const std::string entry = practiceWithACharge(flags() + "--practice '" + path + "' ");
  const CliRun paid =
      runStdout(cli + "payment add --chart ROEJO000 --case " + caseNumber_ + " CHK 30");
  ASSERT_EQ(paid.exitCode, 0) << paid.output;
  const std::string payment =
      std::to_string(nlohmann::json::parse(paid.output)["entries"][0].get<std::int64_t>());

  const std::vector<std::string> commands = {
      "practice list",
      "practice open '" + path + "'",
      "options show",
      "options set \"Use Sound=false\"",
      "practice-info show",
      "practice-info set \"Practice Name=Clinic LLC\"",
      "table list",
      "table export QVPRO",
      "code list",
      "code show 99213",
      "code edit 99213 \"Description=Visit\"",
      "diagnosis add J20 Description=Bronchitis",
      "diagnosis delete J20 --yes",
      "patient list",
      "patient show ROEJO000",
      "patient edit ROEJO000 \"First Name=Jo\"",
      "case list --chart ROEJO000",
      "case show " + caseNumber_,
      "case edit " + caseNumber_ + " Description=Flu",
      "ledger show --chart ROEJO000",
      "balance show --chart ROEJO000 --estimates",
      "payment apply " + payment + " " + entry + " 10",
      "payment apply-oldest " + payment,
      "recalc",
      "charge add --chart ROEJO000 --case " + caseNumber_ + " 99213",
      "permission check 14",
      "permission show 14",
      "schema create '" + path + "'"};
  for (const auto& command : commands) {
    const CliRun run = runStdout(cli + command);
    EXPECT_EQ(run.exitCode, 0) << command;
    try {
      const auto parsed = nlohmann::json::parse(run.output);
      EXPECT_TRUE(parsed.is_object() || parsed.is_array()) << command;
    } catch (const nlohmann::json::exception& error) {
      ADD_FAILURE() << command << ": " << error.what() << "\n" << run.output;
    }
  }
  const CliRun balance = runStdout(cli + "balance show --chart ROEJO000");
  const auto shown = nlohmann::json::parse(balance.output);
  EXPECT_EQ(shown["account balance"], 130);  // two charges of 80 and a check of 30, applied in full
  EXPECT_EQ(shown["cases"][0]["unapplied"], 0);

  // Bytes that are not UTF-8 never reach a table, on either engine: the field is refused.
  const CliRun added =
      runCli(flags() + "--practice '" + path +
             "' patient add \"Chart Number=BADBY000\" \"Last Name=Ca$(printf '\\377\\376')\"");
  EXPECT_EQ(added.exitCode, 1) << added.output;
  EXPECT_NE(added.output.find("The \"Last Name\" field is not valid"), std::string::npos)
      << added.output;
  EXPECT_EQ(runCli(cli + "patient show BADBY000").exitCode, 1);
  // The first user, last: from here on every command needs a login. A user is
  // shown without the password's verifier.
  const CliRun user = runStdout(cli + "user add ADMIN \"Access Level=1\" \"Password=Boss1234\"");
  ASSERT_EQ(user.exitCode, 0);
  EXPECT_EQ(
      nlohmann::json::parse(user.output),
      nlohmann::json::parse(R"({"Code": "ADMIN", "Name": "", "Access Level": "1", "Expire Date": "",
                                      "Inactive": false, "Question": ""})"));
}

TEST_P(ArgumentsCommandLine, PasswordsComeFromStandardInputWhenTheLineSaysDash) {
  ::setenv("VANTRELL_PASSWORD_COST", "test", 1);
  const std::string path = practicePath("Clinic");
  ASSERT_EQ(runCli(flags() + "practice create --name Clinic --path '" + path + "'").exitCode, 0);
  const std::string cli = std::string(VANTRELL_CLI) + " " + flags() + "--practice '" + path + "' ";
  EXPECT_NE(runCli(flags() + "user add --help").output.find("Password=-"), std::string::npos);

  const CliRun first =
      runShell("printf 'Boss1234\\n' | " + cli + "user add ADMIN \"Access Level=1\" Password=-");
  ASSERT_EQ(first.exitCode, 0) << first.output;
  EXPECT_EQ(runShell(cli + "--user ADMIN --password Boss1234 user list").exitCode, 0);
  EXPECT_EQ(runShell(cli + "--user ADMIN --password - user list < /dev/null").exitCode, 1);
  // The login's password first, then the new user's, one line each.
  const CliRun second =
      runShell("printf 'Boss1234\\nClerk777\\n' | " + cli +
               "--user ADMIN --password - user add JOE \"Access Level=3\" Password=-");
  ASSERT_EQ(second.exitCode, 0) << second.output;
  EXPECT_EQ(
      runShell("printf 'Clerk777\\n' | " + cli + "--user JOE --password - permission check 41")
          .exitCode,
      0);
  const CliRun dash = runShell(cli + "--user JOE --password '-x' permission check 41");
  EXPECT_EQ(dash.exitCode, 1);
  EXPECT_EQ(dash.output, "Error: Invalid password\n");
}

TEST_P(ArgumentsCommandLine, RemovingAPracticeWithUsersTakesAUserAllowedToRemoveIt) {
  ::setenv("VANTRELL_PASSWORD_COST", "test", 1);
  const std::string path = practicePath("Clinic");
  ASSERT_EQ(runCli(flags() + "practice create --name Clinic --path '" + path + "'").exitCode, 0);
  const std::string cli = flags() + "--practice '" + path + "' ";
  ASSERT_EQ(runCli(cli + "user add ADMIN \"Access Level=1\" Password=Boss1234").exitCode, 0);
  ASSERT_EQ(
      runCli(cli +
             "--user ADMIN --password Boss1234 user add JOE \"Access Level=3\" Password=Clerk777")
          .exitCode,
      0);
  const std::string remove = "--yes practice remove --name Clinic --path '" + path + "'";

  const CliRun anonymous = runCli(flags() + remove);
  EXPECT_EQ(anonymous.exitCode, 1);
  EXPECT_EQ(anonymous.output, "This practice has users: log in with --user CODE --password PW.\n");
  const CliRun clerk = runCli(flags() + "--user JOE --password Clerk777 " + remove);
  EXPECT_EQ(clerk.exitCode, 1);
  EXPECT_EQ(clerk.output, "ACCESS DENIED\nSecurity level is insufficient for this operation.\n");
  EXPECT_NE(runCli(flags() + "practice list").output.find("Clinic"), std::string::npos);

  const CliRun admin = runCli(flags() + "--user ADMIN --password Boss1234 " + remove);
  EXPECT_EQ(admin.exitCode, 0) << admin.output;
  EXPECT_EQ(runCli(flags() + "practice list").output, "");
}

VANTRELL_ON_BOTH_ENGINES(ArgumentsCommandLine);

}  // namespace
}  // namespace vantrell

namespace vantrell {
namespace {

// What bash offers after the words typed, with the script the program prints.
std::string completions(const std::vector<std::string>& words) {
  IsolatedHome home;
  std::string array;
  for (const auto& word : words) array += " '" + word + "'";
  const auto script = home.path() / "complete.sh";
  std::ofstream(script) << "source <(" << VANTRELL_CLI
                        << " completion bash)\nCOMP_WORDS=(vantrell-cli" << array
                        << ")\nCOMP_CWORD=" << words.size()
                        << "\n_vantrell_cli\necho \"${COMPREPLY[*]}\"\n";
  const CliRun run = runShell("bash " + script.string());
  return run.output.substr(0, run.output.find('\n'));
}

// The companion programs take one practice path: an option or a second path
// prints their usage, and no practice is made under a name such as "--help".
TEST(CommandLine, CompanionsMakeNoPracticeOfAnOptionOrASecondPath) {
  const std::filesystem::path programs = std::filesystem::path(VANTRELL_CLI).parent_path();
  const std::filesystem::path scratch =
      std::filesystem::temp_directory_path() / ("vantrell-companion-" + std::to_string(::getpid()));
  std::filesystem::create_directories(scratch);
  for (const char* program : {"vantrell-tutorial", "vantrell-convert"})
    for (const char* arguments : {"--help", "one two", "-x place"}) {
      const CliRun run = runShell("cd '" + scratch.string() + "' && '" +
                                  (programs / program).string() + "' " + arguments);
      EXPECT_EQ(run.exitCode, 2) << program << " " << arguments << "\n" << run.output;
      EXPECT_NE(run.output.find("Usage:"), std::string::npos) << run.output;
    }
  EXPECT_TRUE(std::filesystem::is_empty(scratch));
  std::filesystem::remove_all(scratch);
}

TEST(CommandLine, BashCompletesNounsVerbsAndOptionsFromTheCommandTree) {
  EXPECT_EQ(completions({"pra"}), "practice practice-info");
  EXPECT_EQ(completions({"practice", "cr"}), "create");
  EXPECT_EQ(completions({"--root", "/data", "--json", "code", "de"}), "delete");
  EXPECT_EQ(completions({"charge", "add", "--ch"}), "--chart");
  EXPECT_EQ(completions({"charge", "add", "--chart", "ROEJO000", "--ca"}), "--case");
  EXPECT_EQ(completions({"payment", "apply", "--js"}), "--json");  // global options after a verb
  EXPECT_EQ(completions({"completion"}).find("completion"),
            std::string::npos);  // not offered itself
  EXPECT_EQ(runCli("completion zsh").exitCode, 2);
}

}  // namespace
}  // namespace vantrell
