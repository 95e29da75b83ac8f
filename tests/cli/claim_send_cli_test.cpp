#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "cli_fixture.hpp"
#include "core/printing/pdf_reading.hpp"

namespace vantrell {
namespace {

namespace fs = std::filesystem;

std::vector<std::vector<std::string>> segmentsOf(const fs::path& file) {
  std::ifstream in(file);
  std::string text(std::istreambuf_iterator<char>(in), {});
  std::vector<std::vector<std::string>> segments;
  std::string segment;
  for (const char c : text) {
    if (c == '\n' || c == '\r') continue;
    if (c != '~') {
      segment += c;
      continue;
    }
    std::vector<std::string> elements(1);
    for (const char e : segment) {
      if (e == '*')
        elements.emplace_back();
      else
        elements.back() += e;
    }
    segments.push_back(elements);
    segment.clear();
  }
  return segments;
}

std::int64_t cents(double amount) {
  return std::llround(amount * 100);
}

class ClaimSendCommandLine : public CommandLineProgram {};

// The tutorial practice sends its primary claims through receiver CLR with
// one provider's NPI a digit off: that provider's claims stay Ready to Send and
// are named, every other primary claim goes into the file once with its
// total and its charges, and is Sent in the next batch.
TEST_P(ClaimSendCommandLine, TutorialClaimsGoThroughTheSendingProgram) {
  ASSERT_EQ(runCli(flags() + "practice tutorial").exitCode, 0);
  const CliRun listed = runCli(flags() + "--json practice list");
  ASSERT_EQ(listed.exitCode, 0) << listed.output;
  const std::string path = nlohmann::json::parse(listed.output).at(0).at("path");
  const std::string cli = flags() + "--practice '" + path + "' ";
  const fs::path out = home_.path() / "out";
  fs::create_directories(out);
  for (const std::string& setup :
       {"receiver add CLR Name=Clearing \"Program File=vantrell-send-837\" \"FilePath=" +
            out.string() + "\" \"Submitter ID 1=SUB1\"",
        std::string("carrier edit MC \"EMC Receiver=CLR\""),
        std::string("carrier edit THM \"EMC Receiver=CLR\""),
        std::string("carrier edit RIG \"EMC Receiver=CLR\""),
        std::string("provider edit IC \"National Provider Identifier=1740398214\""),
        std::string("--yes claim create")}) {
    const CliRun run = runCli(cli + setup);
    ASSERT_EQ(run.exitCode, 0) << setup << "\n" << run.output;
  }
  // Without a program the receiver is refused and nothing moves.
  ASSERT_EQ(runCli(cli + "receiver add NOP Name=Nowhere \"Program File=nosuch\"").exitCode, 0);
  const nlohmann::json before = exported(cli, "QVCLA");
  const CliRun nowhere = runCli(cli + "claim send --receiver NOP");
  EXPECT_EQ(nowhere.exitCode, 1);
  EXPECT_NE(
      nowhere.output.find("The \"Program File\" field for this Receiver needs to be specified."),
      std::string::npos)
      << nowhere.output;
  EXPECT_EQ(exported(cli, "QVCLA"), before);

  std::int64_t highestBatch = 0;
  std::set<std::int64_t> badNpi, expected;
  for (const auto& claim : before) {
    for (const char* field : {"Batch Number 1", "Batch Number 2", "Batch Number 3"})
      if (claim.at(field).is_number())
        highestBatch = std::max<std::int64_t>(highestBatch, claim.at(field));
    if (claim.at("Claim Status 1") != "1" || claim.at("Primary Billing Method") != "E" ||
        claim.at("EMC Receiver 1") != "CLR")
      continue;
    (claim.at("Provider") == "IC" ? badNpi : expected)
        .insert(claim.at("Claim Number").get<std::int64_t>());
  }
  ASSERT_FALSE(badNpi.empty());
  ASSERT_FALSE(expected.empty());

  const CliRun sent = runCli(cli + "claim send --receiver CLR");
  // Some claims were refused: the run says so in its exit code.
  EXPECT_EQ(sent.exitCode, 1) << sent.output;
  for (const auto number : badNpi) {
    EXPECT_NE(sent.output.find("Claim " + std::to_string(number) + " ("), std::string::npos)
        << number;
  }
  EXPECT_NE(sent.output.find("The NPI 1740398214 of the billing provider Imara Castellane"),
            std::string::npos)
      << sent.output;

  std::map<std::int64_t, std::int64_t> totals, charges;
  for (const auto& entry : exported(cli, "QVTRN")) {
    if (!entry.at("Claim Number").is_number()) continue;
    const std::int64_t claim = entry.at("Claim Number");
    if (claim <= 0) continue;
    totals[claim] += cents(entry.at("Amount"));
    ++charges[claim];
  }
  std::set<std::int64_t> sentClaims;
  for (const auto& claim : exported(cli, "QVCLA")) {
    const std::int64_t number = claim.at("Claim Number");
    if (badNpi.count(number) != 0) {
      EXPECT_EQ(claim.at("Claim Status 1"), "1") << number;
      EXPECT_EQ(claim.at("Batch Number 1"), 0) << number;
    } else if (expected.count(number) != 0) {
      EXPECT_EQ(claim.at("Claim Status 1"), "2") << number;
      EXPECT_EQ(claim.at("Batch Number 1"), highestBatch + 1) << number;
      EXPECT_EQ(claim.at("Primary Submission Count"), 1) << number;
      EXPECT_EQ(claim.at("Initial Billing Date 1"), claim.at("Primary Billing Date")) << number;
      sentClaims.insert(number);
    } else {
      // Paper slots and other carriers' claims are not the receiver's.
      EXPECT_NE(claim.at("Claim Status 1"), "2") << number;
      EXPECT_NE(claim.at("Claim Status 2"), "2") << number;
    }
  }
  EXPECT_EQ(sentClaims, expected);

  const fs::path file = out / "CLR_000000001.837";
  ASSERT_TRUE(fs::exists(file)) << sent.output;
  const auto segments = segmentsOf(file);
  std::set<std::int64_t> inFile;
  std::size_t serviceLines = 0, transactionSegments = 0;
  std::size_t expectedLines = 0;
  for (const auto number : expected) expectedLines += static_cast<std::size_t>(charges[number]);
  for (const auto& segment : segments) {
    if (segment[0] == "ST") transactionSegments = 0;
    ++transactionSegments;
    if (segment[0] == "SE") {
      EXPECT_EQ(segment.at(1), std::to_string(transactionSegments));
    }
    if (segment[0] == "SV1") ++serviceLines;
    if (segment[0] != "CLM") continue;
    const std::int64_t number = std::stoll(segment.at(1));
    EXPECT_TRUE(inFile.insert(number).second) << "twice: " << number;
    EXPECT_EQ(cents(std::stod(segment.at(2))), totals[number]) << number;
  }
  EXPECT_EQ(inFile, expected);
  EXPECT_EQ(serviceLines, expectedLines);
  ASSERT_GE(segments.size(), 2U);
  EXPECT_EQ(segments.front().at(13), "000000001");
  EXPECT_EQ(segments.back().at(0), "IEA");
  EXPECT_EQ(segments.back().at(2), "000000001");

  // A second run finds nothing new to send and bills nothing again.
  const CliRun again = runCli(cli + "claim send --receiver CLR");
  EXPECT_EQ(again.exitCode, 1) << again.output;
  for (const auto& claim : exported(cli, "QVCLA")) {
    if (expected.count(claim.at("Claim Number").get<std::int64_t>()) != 0) {
      EXPECT_EQ(claim.at("Primary Submission Count"), 1);
    }
  }
}

// Rebill prints for real: the forms are in the PDF and the claims are billed
// again; several claims get a new batch, one claim keeps its own; a print
// that cannot be written leaves the claim as it was.
TEST_P(ClaimSendCommandLine, RebillPrintsTheFormsAndBillsAgain) {
  ASSERT_EQ(runCli(flags() + "practice tutorial").exitCode, 0);
  const CliRun listed = runCli(flags() + "--json practice list");
  ASSERT_EQ(listed.exitCode, 0) << listed.output;
  const std::string path = nlohmann::json::parse(listed.output).at(0).at("path");
  const std::string cli = flags() + "--practice '" + path + "' ";
  ASSERT_EQ(runCli(cli + "--yes claim create").exitCode, 0);
  std::vector<std::int64_t> paper;
  std::int64_t electronic = 0, highestBatch = 0;
  for (const auto& claim : exported(cli, "QVCLA")) {
    for (const char* field : {"Batch Number 1", "Batch Number 2", "Batch Number 3"})
      if (claim.at(field).is_number())
        highestBatch = std::max<std::int64_t>(highestBatch, claim.at(field));
    if (claim.at("Claim Status 2") == "1" && claim.at("Secondary Billing Method") == "P")
      paper.push_back(claim.at("Claim Number"));
    if (claim.at("Primary Billing Method") == "E") electronic = claim.at("Claim Number");
  }
  ASSERT_GE(paper.size(), 2U);
  ASSERT_NE(electronic, 0);
  const std::string a = std::to_string(paper[0]), b = std::to_string(paper[1]);
  const auto slot2 = [&](std::int64_t number) {
    for (const auto& claim : exported(cli, "QVCLA"))
      if (claim.at("Claim Number") == number)
        return std::make_tuple(claim.at("Claim Status 2").get<std::string>(),
                               claim.at("Batch Number 2").get<std::int64_t>(),
                               claim.at("Secondary Submission Cnt").get<std::int64_t>());
    return std::make_tuple(std::string(), std::int64_t{-1}, std::int64_t{-1});
  };
  const fs::path first = home_.path() / "first.pdf";
  ASSERT_EQ(runCli(cli + "claim print --slot 2 " + a + " " + b + " --pdf '" + first.string() + "'")
                .exitCode,
            0);
  EXPECT_EQ(slot2(paper[0]), std::make_tuple(std::string("2"), highestBatch + 1, std::int64_t{1}));

  const fs::path again = home_.path() / "again.pdf";
  const CliRun rebilled = runCli(cli + "--yes claim rebill " + a + " " + b + " --slot 2 --pdf '" +
                                 again.string() + "'");
  ASSERT_EQ(rebilled.exitCode, 0) << rebilled.output;
  EXPECT_NE(rebilled.output.find("2 claims printed to"), std::string::npos) << rebilled.output;
  EXPECT_GE(testing::pdfPages(again).size(), 2U);
  EXPECT_NE(testing::pdfPages(again).at(0).find("HEALTH INSURANCE CLAIM FORM"), std::string::npos);
  EXPECT_EQ(slot2(paper[0]), std::make_tuple(std::string("2"), highestBatch + 2, std::int64_t{2}));
  EXPECT_EQ(slot2(paper[1]), std::make_tuple(std::string("2"), highestBatch + 2, std::int64_t{2}));

  // A file that cannot be written: the claim is Sent as before, not billed again.
  const CliRun failed = runCli(cli + "claim rebill " + a + " --slot 2 --pdf '" +
                               (home_.path() / "no" / "such" / "x.pdf").string() + "'");
  EXPECT_EQ(failed.exitCode, 1) << failed.output;
  EXPECT_EQ(slot2(paper[0]), std::make_tuple(std::string("2"), highestBatch + 2, std::int64_t{2}));

  // One claim keeps its batch.
  const CliRun one = runCli(cli + "claim rebill " + a + " --slot 2 --pdf '" + again.string() + "'");
  ASSERT_EQ(one.exitCode, 0) << one.output;
  EXPECT_EQ(slot2(paper[0]), std::make_tuple(std::string("2"), highestBatch + 2, std::int64_t{3}));

  // Several claims are for paper only.
  const CliRun edi = runCli(cli + "--yes claim rebill " + a + " " + std::to_string(electronic) +
                            " --slot 1 --pdf '" + again.string() + "'");
  EXPECT_EQ(edi.exitCode, 1) << edi.output;
  EXPECT_NE(edi.output.find("One or more EDI claims have been selected."), std::string::npos)
      << edi.output;
}

VANTRELL_ON_BOTH_ENGINES(ClaimSendCommandLine);

}  // namespace
}  // namespace vantrell
