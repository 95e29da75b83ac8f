#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "cli_fixture.hpp"
#include "store/connection.hpp"
#include "store/table.hpp"

namespace vantrell {
namespace {

class DepositApplyCommandLine : public CommandLineProgram {
 protected:
  static std::int64_t cents(const nlohmann::json& value) {
    return value.is_null() ? 0 : std::llround(value.get<double>() * 100);
  }
  // What is left of a charge: its amount with every paid bucket, in cents.
  static std::int64_t remainder(const nlohmann::json& row) {
    std::int64_t left = cents(row.at("Amount"));
    for (const char* paid :
         {"Insurance 1 Amount Paid", "Insurance 2 Amount Paid", "Insurance 3 Amount Paid",
          "Attorney Amount Paid", "Guarantor Amount Paid", "Adjustment Amount"})
      left += cents(row.at(paid));
    return left;
  }
  std::map<std::int64_t, nlohmann::json> ledger() {
    std::map<std::int64_t, nlohmann::json> rows;
    for (const auto& row : exported(cli_, "QVTRN")) rows[row.at("Entry Number")] = row;
    return rows;
  }
  std::string cli_;
  std::int64_t depositId_ = 0;
};

// On the tutorial practice: a carrier's check pays one patient's claim in full
// and part of another patient's charge; the deposit, the charges, the claim
// slot and the recalculation agree afterwards.
TEST_P(DepositApplyCommandLine, CarrierCheckAppliedToTwoPatientsOfTheTutorial) {
  ASSERT_EQ(runCli(flags() + "practice tutorial").exitCode, 0);
  const CliRun listed = runCli(flags() + "--json practice list");
  ASSERT_EQ(listed.exitCode, 0) << listed.output;
  const std::string path = nlohmann::json::parse(listed.output).at(0).at("path");
  cli_ = flags() + "--practice '" + path + "' ";
  ASSERT_EQ(runCli(cli_ + "--yes claim create").exitCode, 0);
  // Whatever the tutorial's own totals were, they are now as the rules make them.
  ASSERT_EQ(runCli(cli_ + "recalc").exitCode, 0);

  // Two patients with an open claim of the same primary carrier.
  std::map<std::int64_t, nlohmann::json> claims;
  for (const auto& row : exported(cli_, "QVCLA")) claims[row.at("Claim Number")] = row;
  std::map<std::int64_t, std::vector<std::int64_t>> chargesOfClaim;
  const auto rows = ledger();
  for (const auto& [entry, row] : rows) {
    const std::string type = row.at("Transaction Type");
    if (type.empty() || type >= "I" || row.at("Claim Number").is_null()) continue;
    const std::int64_t claim = row.at("Claim Number");
    if (claim > 0 && remainder(row) > 0) chargesOfClaim[claim].push_back(entry);
  }
  std::string carrier;
  std::vector<std::int64_t> chosen;  // one claim per patient
  for (const auto& [claim, charges] : chargesOfClaim) {
    const auto& row = claims.at(claim);
    if (row.at("Insurance Carrier 1") == "" || row.at("Claim Status 1") == "6") continue;
    // Only a claim whose every charge is still open, so that paying them finishes it.
    bool allOpen = true;
    for (const auto& [entry, line] : rows)
      if (!line.at("Claim Number").is_null() && line.at("Claim Number") == claim &&
          std::string(line.at("Transaction Type")) < "I" && remainder(line) <= 0)
        allOpen = false;
    if (!allOpen) continue;
    if (carrier.empty()) carrier = row.at("Insurance Carrier 1");
    if (row.at("Insurance Carrier 1") != carrier) continue;
    if (!chosen.empty() && claims.at(chosen[0]).at("Chart Number") == row.at("Chart Number"))
      continue;
    chosen.push_back(claim);
    if (chosen.size() == 2) break;
  }
  ASSERT_EQ(chosen.size(), 2u);
  const std::string first = claims.at(chosen[0]).at("Chart Number");
  const std::string second = claims.at(chosen[1]).at("Chart Number");
  std::string paymentCode;
  for (const auto& row : exported(cli_, "QVPRO"))
    if (row.at("Type") == "I" && row.at("Inactive") != true) paymentCode = row.at("Code 1");
  ASSERT_FALSE(paymentCode.empty());

  // The first claim is paid in full and complete; the second claim's first charge gets 5.00.
  std::int64_t paidFirst = 0;
  std::string firstEntries;
  for (const auto entry : chargesOfClaim[chosen[0]]) {
    const std::int64_t open = remainder(rows.at(entry));
    paidFirst += open;
    firstEntries += " " + std::to_string(entry) + "=" + std::to_string(open / 100) + "." +
                    (open % 100 < 10 ? "0" : "") + std::to_string(open % 100) + ":complete";
  }
  const std::int64_t partly = chargesOfClaim[chosen[1]].front();
  const std::int64_t check = paidFirst + 500 + 2500;  // 25.00 stays unapplied
  {
    auto practice = store::Connection::open({engine(), path}, {});
    store::Table options = practice->openTable("QVOPT");
    options.forEach([&](const store::Record& row) {
      store::Record copy = row;
      copy.set("Mark Completed Claims Done", true);
      copy.set("Mark Complete", false);
      // The check carries no write-offs: the clerk types what the carrier paid, no more.
      copy.set("Calculate Disallowed Amt", false);
      copy.set("Calculate Allowed Amount", false);
      options.post(copy);
    });
    store::Table deposits = practice->openTable("QVDEP");
    store::Record deposit = deposits.newRecord();
    const std::string amount = std::to_string(check / 100) + "." + (check % 100 < 10 ? "0" : "") +
                               std::to_string(check % 100);
    for (const auto& [field, value] :
         std::vector<std::pair<std::string, std::string>>{{"Deposit Date", "2026-12-04"},
                                                          {"Description", "EOB 4471"},
                                                          {"Payor Type", "Insurance"},
                                                          {"Insurance Code", carrier},
                                                          {"Check Number", "4471"},
                                                          {"Payment Amount", amount},
                                                          {"Unapplied Amount", amount},
                                                          {"Payment Code", paymentCode}})
      deposit.setFromText(field, value);
    deposits.append(deposit);
    depositId_ = deposit.integer("Entry Number");
  }
  const std::string deposit = std::to_string(depositId_);

  const CliRun one = runCli(cli_ + "deposit apply " + deposit + " --chart " + first + firstEntries);
  ASSERT_EQ(one.exitCode, 0) << one.output;
  EXPECT_EQ(one.output, "Unapplied amount: 30.00\n");
  // With Print Statement Now, the second patient's statement goes to a PDF.
  const std::string statementPdf = (home_.path() / "statement.pdf").string();
  const CliRun two =
      runCli(cli_ + "--json deposit apply " + deposit + " --chart " + second +
             " --print-statement '" + statementPdf + "' " + std::to_string(partly) + "=5");
  ASSERT_EQ(two.exitCode, 0) << two.output;
  // The window's notices come first; the answer is the last line.
  const auto answer = nlohmann::json::parse(two.output.substr(two.output.rfind('{')));
  EXPECT_EQ(cents(answer.at("unapplied")), 2500) << two.output;

  for (const auto& row : exported(cli_, "QVDEP"))
    if (row.at("Entry Number") == depositId_) {
      EXPECT_EQ(cents(row.at("Unapplied Amount")), 2500);
    }
  const auto after = ledger();
  for (const auto entry : chargesOfClaim[chosen[0]]) {
    EXPECT_EQ(remainder(after.at(entry)), 0) << entry;
    EXPECT_EQ(after.at(entry).at("Insurance 1 Paid"), true) << entry;
  }
  EXPECT_EQ(remainder(after.at(partly)), remainder(rows.at(partly)) - 500);
  // On the statement: the second patient's charges that were on none, the guarantor
  // responsible, of cases that print statements.
  std::map<std::int64_t, bool> printsStatements;
  for (const auto& row : exported(cli_, "QVCAS"))
    printsStatements[row.at("Case Number")] = row.at("Print Patient Statements") == true;
  std::set<std::int64_t> unstated;
  for (const auto& [entry, row] : rows)
    if (row.at("Chart Number") == second && std::string(row.at("Transaction Type")) < "I" &&
        (row.at("Statement Number").is_null() || row.at("Statement Number") == 0) &&
        row.at("Guarantor Responsible") == true && printsStatements[row.at("Case Number")])
      unstated.insert(entry);
  ASSERT_FALSE(unstated.empty()) << "the tutorial's second patient has nothing for a statement";
  ASSERT_TRUE(answer.contains("statement")) << two.output;
  std::set<std::int64_t> stated;
  for (const auto& [entry, row] : after)
    if (row.at("Statement Number") == answer.at("statement")) stated.insert(entry);
  EXPECT_EQ(stated, unstated);
  EXPECT_GT(std::filesystem::file_size(statementPdf), 0u);
  for (const auto& row : exported(cli_, "QVCLA")) {
    if (row.at("Claim Number") == chosen[0]) {
      EXPECT_EQ(row.at("Claim Status 1"), "6");
    } else if (row.at("Claim Number") == chosen[1]) {
      EXPECT_EQ(row.at("Claim Status 1"), claims.at(chosen[1]).at("Claim Status 1"));
    }
  }
  const CliRun recalc = runCli(cli_ + "recalc");
  ASSERT_EQ(recalc.exitCode, 0) << recalc.output;
  EXPECT_NE(recalc.output.find(" 0 corrected\nPayments and adjustments"), std::string::npos)
      << recalc.output;
  EXPECT_NE(recalc.output.find(" 0 corrected\nPatients"), std::string::npos) << recalc.output;
  EXPECT_NE(recalc.output.rfind(" 0 corrected\n"), recalc.output.find(" 0 corrected\nPatients"))
      << recalc.output;

  // Bill Remaining Insurances Now: a claim whose charges the carrier has all paid, with a
  // paper secondary ready, is completed by Complete alone; its secondary form is printed to
  // the PDF and its slot 2 billed (Sent).
  std::int64_t finished = 0;
  std::string finishedEntries;
  for (const auto& [claim, row] : claims) {
    if (claim == chosen[0] || claim == chosen[1] || row.at("Claim Status 1") == "6" ||
        row.at("Insurance Carrier 2") == "" || row.at("Claim Status 2") != "1" ||
        row.at("Secondary Billing Method") != "P")
      continue;
    std::string entries;
    bool allPaid = true;
    for (const auto& [entry, line] : after)
      if (!line.at("Claim Number").is_null() && line.at("Claim Number") == claim &&
          std::string(line.at("Transaction Type")) < "I") {
        allPaid = allPaid && line.at("Insurance 1 Paid") == true;
        entries += " " + std::to_string(entry) + "=0:complete";
      }
    if (!allPaid || entries.empty()) continue;
    finished = claim;
    finishedEntries = entries;
    break;
  }
  ASSERT_NE(finished, 0) << "the tutorial has no claim its primary carrier finished";
  const CliRun added = runCli(cli_ + "deposit add 'Payor Type=Insurance' 'Insurance Code=" +
                              std::string(claims.at(finished).at("Insurance Carrier 1")) +
                              "' 'Payment Amount=1' 'Payment Code=" + paymentCode + "'");
  ASSERT_EQ(added.exitCode, 0) << added.output;
  const std::string pdf = (home_.path() / "secondary.pdf").string();
  const CliRun billed =
      runCli(cli_ + "deposit apply " + added.output.substr(0, added.output.find('\n')) +
             " --chart " + std::string(claims.at(finished).at("Chart Number")) +
             " --bill-remaining '" + pdf + "'" + finishedEntries);
  ASSERT_EQ(billed.exitCode, 0) << billed.output;
  EXPECT_NE(billed.output.find("1 claim printed to"), std::string::npos) << billed.output;
  EXPECT_GT(std::filesystem::file_size(pdf), 0u);
  for (const auto& row : exported(cli_, "QVCLA"))
    if (row.at("Claim Number") == finished) {
      EXPECT_EQ(row.at("Claim Status 1"), "6");
      EXPECT_EQ(row.at("Claim Status 2"), "2");
    }

  // A charge that is not the patient's is refused, and nothing is written.
  const CliRun wrong = runCli(cli_ + "deposit apply " + deposit + " --chart " + second + " " +
                              std::to_string(chargesOfClaim[chosen[0]].front()) + "=1");
  EXPECT_EQ(wrong.exitCode, 1) << wrong.output;
  EXPECT_EQ(runCli(cli_ + "deposit apply " + deposit + " --chart " + second + " 12=x").exitCode, 2);
}

VANTRELL_ON_BOTH_ENGINES(DepositApplyCommandLine);

}  // namespace
}  // namespace vantrell
