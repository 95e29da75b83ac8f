#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "claim_fixture.hpp"
#include "claims/print_send.hpp"

namespace vantrell::claims {
namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeProgram(const fs::path& path, const std::string& script) {
  std::ofstream(path) << script;
  ::chmod(path.c_str(), 0755);
}

TEST(SendingProgramLookUp, AddsTheEndingAndFallsBackToTheBareName) {
  const fs::path folder =
      fs::temp_directory_path() / ("vantrell-lookup-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  writeProgram(folder / "SENDX.EXE", "#!/bin/sh\n");
  writeProgram(folder / "send-837", "#!/bin/sh\n");
  std::ofstream(folder / "notrunnable") << "data";
  EXPECT_EQ(findSendingProgram("SENDX", folder), folder / "SENDX.EXE");
  EXPECT_EQ(findSendingProgram("SENDX.EXE  ", folder), folder / "SENDX.EXE");
  EXPECT_EQ(findSendingProgram("send-837", folder), folder / "send-837");
  EXPECT_EQ(findSendingProgram("send-837.exe", folder), folder / "send-837");
  EXPECT_EQ(findSendingProgram("notrunnable", folder), std::nullopt);
  EXPECT_EQ(findSendingProgram("", folder), std::nullopt);
  EXPECT_EQ(findSendingProgram("OTHER", folder), std::nullopt);
  fs::remove_all(folder);
}

TEST(SendingCommandLine, QuotesEveryArgumentAndEscapesWhatTheShellReads) {
  EXPECT_EQ(quotedCommandLine({"/opt/v/send", "/home/a b/Clinic", "R1", "PRE*TREAT"}),
            R"("/opt/v/send" "/home/a b/Clinic" "R1" "PRE*TREAT")");
  EXPECT_EQ(quotedCommandLine({"a\"b", "$HOME", "`x`", "c\\d"}),
            R"("a\"b" "\$HOME" "\`x\`" "c\\d")");
}

TEST(SendingReportReading, OnlyWellFormedSentLinesCount) {
  const SendingReport report = readSendingReport(
      "file /tmp/R1_000000004.837\nsent 12 1\r\nsent 15 3\nsent 16 4\nsent x 1\nsent 17 1 more\n"
      "Claim 20 (Roe, Ann) to its primary carrier was not sent:\n");
  ASSERT_EQ(report.sent.size(), 2U);
  EXPECT_EQ(report.sent[0].claimNumber, 12);
  EXPECT_EQ(report.sent[0].slot, 1);
  EXPECT_EQ(report.sent[1].claimNumber, 15);
  EXPECT_EQ(report.sent[1].slot, 3);
  EXPECT_EQ(report.file, "/tmp/R1_000000004.837");
  EXPECT_EQ(report.lines,
            (std::vector<std::string>{"sent 16 4", "sent x 1", "sent 17 1 more",
                                      "Claim 20 (Roe, Ann) to its primary carrier was not sent:"}));
  ASSERT_EQ(report.refused.size(), 1U);
  EXPECT_EQ(report.refused[0].claimNumber, 20);
  EXPECT_TRUE(report.refused[0].problems.empty());
}

// The refused claims as the sending program words them, read back claim by claim.
TEST(SendingReportReading, RefusedClaimsComeWithTheirProblemsAndWhereToFixThem) {
  const SendingReport report = readSendingReport(
      "sent 3 1\n"
      "Claim 7 (O'Hara (Jr), Sean) to its secondary carrier was not sent:\n"
      "  - Provider DJ has NPI 1234567890, whose check digit is wrong.\n"
      "    Fix in: Provider DJ: National Provider Identifier\n"
      "  - The insured has no policy number.\n"
      "    Fix in: Case 4 of OHAR000: Policy Number #2\n"
      "Claim 9 (Roe, Ann) to its tertiary carrier was not sent:\n"
      "  - No diagnosis.\n"
      "Claim x (Roe, Ann) to its primary carrier was not sent:\n"
      "  - a line that belongs to claim 9 then\n");
  ASSERT_EQ(report.refused.size(), 2U);
  EXPECT_EQ(report.refused[0].claimNumber, 7);
  EXPECT_EQ(report.refused[0].slot, 2);
  EXPECT_EQ(report.refused[0].patient, "O'Hara (Jr), Sean");
  ASSERT_EQ(report.refused[0].problems.size(), 2U);
  EXPECT_EQ(report.refused[0].problems[0].what,
            "Provider DJ has NPI 1234567890, whose check digit is wrong.");
  EXPECT_EQ(report.refused[0].problems[0].where, "Provider DJ: National Provider Identifier");
  EXPECT_EQ(report.refused[0].problems[1].where, "Case 4 of OHAR000: Policy Number #2");
  EXPECT_EQ(report.refused[1].claimNumber, 9);
  EXPECT_EQ(report.refused[1].slot, 3);
  ASSERT_EQ(report.refused[1].problems.size(), 2U);
  EXPECT_EQ(report.refused[1].problems[0].where, "");
  // Every line still goes to the report the user reads.
  EXPECT_EQ(report.lines.size(), 9U);
}

class PrintSendOnEngine : public ClaimPractice {
 protected:
  void SetUp() override {
    ClaimPractice::SetUp();
    if (IsSkipped() || HasFailure()) return;
    options_ = vantrell::testing::newPracticeOptions(*practice_);
    folder_ = fs::temp_directory_path() / ("vantrell-printsend-" + std::to_string(::getpid()) +
                                           "-" + std::to_string(engine() == store::Engine::Server));
    fs::create_directories(folder_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
    ClaimPractice::TearDown();
  }
  ElectronicOutcome send(const std::string& receiver, ScriptedPrompter& prompter, bool estimate) {
    ShellCommandRunner runner;
    ElectronicSending sending{*practice_,
                              options_,
                              prompter,
                              settings_,
                              runner,
                              folder_,
                              {store::Engine::Embedded, "/practices/my clinic"},
                              Date::fromYmd(2026, 12, 5),
                              estimate};
    return sendElectronicClaims(sending, receiver);
  }
  practice::Options options_;
  ui::MemorySettings settings_;
  fs::path folder_;
};

TEST_P(PrintSendOnEngine, TheDialogOffersTheReceiversAndNeedsOneForElectronic) {
  insert("QVECR", {{"Code", "ZED"}, {"Name", "Last"}});
  insert("QVECR", {{"Code", "ACME"}, {"Name", "First"}});
  ScriptedPrompter prompter{};
  PrintSendDialog dialog(*practice_, prompter, nullptr);
  EXPECT_TRUE(dialog.mayOpen());
  ASSERT_EQ(dialog.receivers().size(), 2U);
  EXPECT_EQ(dialog.receivers()[0].code, "ACME");
  EXPECT_EQ(dialog.receivers()[0].name, "First");
  EXPECT_EQ(dialog.receivers()[1].code, "ZED");
  EXPECT_TRUE(dialog.choice.method == PrintSendChoice::Method::Paper);
  EXPECT_TRUE(dialog.accept());
  dialog.choice.method = PrintSendChoice::Method::Electronic;
  EXPECT_FALSE(dialog.accept());
  dialog.choice.receiver = "NOPE";
  EXPECT_FALSE(dialog.accept());
  dialog.choice.receiver = "zed ";
  EXPECT_TRUE(dialog.accept());
  EXPECT_EQ(dialog.choice.receiver, "ZED");
  EXPECT_EQ(prompter.transcript(),
            std::vector<std::string>(2, "error: Select an electronic claim receiver."));
}

// A receiver whose program is not in the program's folder starts nothing
// and names nothing in the settings.
TEST_P(PrintSendOnEngine, AMissingProgramIsRefusedWithTheMessage) {
  insert("QVECR", {{"Code", "R1"}, {"Name", "Clearing"}, {"Program File", "NOSUCH"}});
  insert("QVECR", {{"Code", "R2"}, {"Name", "Blank"}});
  ScriptedPrompter prompter{};
  EXPECT_FALSE(send("R1", prompter, false).started);
  EXPECT_FALSE(send("R2", prompter, false).started);
  EXPECT_FALSE(send("R9", prompter, false).started);
  EXPECT_EQ(prompter.transcript(),
            std::vector<std::string>(
                3, "error: The \"Program File\" field for this Receiver needs to be specified."));
  EXPECT_FALSE(settings_.read(emcReceiverSettingsKey, emcReceiverSettingsValue));
}

// The program gets its arguments each whole, the receiver is kept in the
// settings, and only the claims it reports as sent are billed.
TEST_P(PrintSendOnEngine, OnlyTheClaimsTheProgramSentAreBilled) {
  const Fields ready = {{"Insurance Carrier 1", "MC"},
                        {"Claim Status 1", "1"},
                        {"Primary Billing Method", "E"},
                        {"EMC Receiver 1", "R1"}};
  const auto sent = claim(ready);
  const auto refused = claim(ready);
  const auto second = claim({{"Insurance Carrier 2", "BC"}, {"Claim Status 2", "1"}});
  const fs::path arguments = folder_ / "arguments";
  writeProgram(folder_ / "SEND1.EXE",
               "#!/bin/sh\nfor a in \"$@\"; do echo \"[$a]\"; done > '" + arguments.string() +
                   "'\necho 'file /x/R1_000000001.837'\necho 'sent " + std::to_string(sent) +
                   " 1'\necho 'sent " + std::to_string(second) + " 2'\necho 'Claim " +
                   std::to_string(refused) + " (Doe, Jane) was not sent:' >&2\nexit 1\n");
  insert("QVECR", {{"Code", "R1"}, {"Name", "Clearing"}, {"Program File", "send1"}});
  // The program file is looked up as typed plus the ending: "send1.EXE" is not "SEND1.EXE".
  ScriptedPrompter prompter{};
  EXPECT_FALSE(send("R1", prompter, false).started);
  EXPECT_EQ(prompter.transcript().size(), 1U);
  practice_->executeSql("UPDATE \"QVECR\" SET \"Program File\" = 'SEND1'");
  ScriptedPrompter quiet{};
  const ElectronicOutcome outcome = send("r1", quiet, false);
  EXPECT_TRUE(outcome.started);
  EXPECT_EQ(outcome.exitCode, 1);
  EXPECT_EQ(slurp(arguments), "[/practices/my clinic]\n[R1]\n");
  EXPECT_EQ(settings_.read(emcReceiverSettingsKey, emcReceiverSettingsValue),
            std::optional<std::string>("R1"));
  EXPECT_EQ(outcome.report.file, "/x/R1_000000001.837");
  EXPECT_EQ(outcome.report.lines, (std::vector<std::string>{"Claim " + std::to_string(refused) +
                                                            " (Doe, Jane) was not sent:"}));
  EXPECT_EQ(outcome.billing.updated, (std::vector<std::int64_t>{sent, second}));
  EXPECT_EQ(claimRow(sent).text("Claim Status 1"), "2");
  EXPECT_EQ(claimRow(sent).integer("Batch Number 1"), 1);
  EXPECT_EQ(claimRow(sent).date("Primary Billing Date"), Date::fromYmd(2026, 12, 5));
  EXPECT_EQ(claimRow(second).text("Claim Status 2"), "2");
  EXPECT_EQ(claimRow(refused).text("Claim Status 1"), "1");
  EXPECT_EQ(claimRow(refused).integer("Batch Number 1"), 0);
  EXPECT_TRUE(quiet.transcript().empty());

  // In estimate mode the program is told so.
  send("R1", prompter, true);
  EXPECT_EQ(slurp(arguments), "[/practices/my clinic]\n[R1]\n[PRE*TREAT]\n");
}

VANTRELL_ON_BOTH_ENGINES(PrintSendOnEngine);

}  // namespace
}  // namespace vantrell::claims
