#include "claims/claim_printing.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "claim_fixture.hpp"
#include "pdf_renderer.hpp"
#include "printing/pdf_reading.hpp"

namespace vantrell::claims {
namespace {

namespace fs = std::filesystem;
using vantrell::testing::lineWith;
using vantrell::testing::pdfPages;
using vantrell::testing::PdfWord;
using vantrell::testing::pdfWords;

class ClaimPrinting : public ClaimPractice {};

TEST_P(ClaimPrinting, APaperRunSelectsTheSlotsReadyToSendOnPaper) {
  const std::int64_t ready = claim({{"Claim Status 1", "1"}, {"Primary Billing Method", "P"}});
  claim({{"Claim Status 1", "1"}, {"Primary Billing Method", "E"}});
  claim({{"Claim Status 1", "0"}, {"Primary Billing Method", "P"}});
  claim({{"Claim Status 1", "2"}, {"Primary Billing Method", "P"}});
  const std::int64_t second = claim({{"Claim Status 1", "2"},
                                     {"Primary Billing Method", "P"},
                                     {"Claim Status 2", "1"},
                                     {"Secondary Billing Method", "P"}});
  const std::int64_t alsoReady = claim({{"Claim Status 1", "1"}, {"Primary Billing Method", "P"}});
  claim({{"Claim Status 1", "1"}, {"Primary Billing Method", "P"}}, "QVCLAE");

  EXPECT_EQ(paperClaimsReadyToPrint(*practice_, 1), (std::vector<std::int64_t>{ready, alsoReady}));
  EXPECT_EQ(paperClaimsReadyToPrint(*practice_, 2), (std::vector<std::int64_t>{second}));
  EXPECT_TRUE(paperClaimsReadyToPrint(*practice_, 3).empty());
  EXPECT_EQ(paperClaimsReadyToPrint(*practice_, 1, true).size(), 1u);
}

// From the practice tables to the page: Jane Doe's claim to Medicare (slot 1)
// prints with her name, her policy, the diagnosis and the charge in their boxes,
// and box 1 marked in the Medicare column (column 2: x 28.8 pt on line 8).
TEST_P(ClaimPrinting, TheFormsOfARunComeFromTheClaimsOfThePractice) {
  insert("QVINS", {{"Code", "MCB"}, {"Name", "Medicare Part B"}, {"Type", "Medicare"}});
  const std::int64_t number = claim({{"Claim Status 1", "1"},
                                     {"Primary Billing Method", "P"},
                                     {"Insurance Carrier 1", "MCB"},
                                     {"Insurance Carrier 2", "BC"}});
  charge(number, "85", {{"Diagnosis Code 1", "J01.90"}, {"Place of Service", "11"}});
  charge(number, "20");
  const std::int64_t noThirdCarrier = number;

  ClaimFormOptions options;
  options.paper = ClaimFormPaper::PlainPaper;
  options.signatureDate = Date::fromYmd(2026, 12, 5);
  const ClaimFormRun run = claimFormRun(*practice_, {number, 99999}, 1, options);
  EXPECT_EQ(run.printed, (std::vector<std::int64_t>{number}));
  EXPECT_EQ(run.missing, (std::vector<std::int64_t>{99999}));
  EXPECT_TRUE(run.withoutCarrier.empty());
  ASSERT_EQ(run.document.pageCount(), 1u);
  const ClaimFormRun third = claimFormRun(*practice_, {noThirdCarrier}, 3, options);
  EXPECT_TRUE(third.printed.empty());
  EXPECT_EQ(third.withoutCarrier, (std::vector<std::int64_t>{noThirdCarrier}));
  EXPECT_EQ(third.document.pageCount(), 0u);

  const fs::path pdf =
      fs::temp_directory_path() / ("vantrell-claim-run-" + std::to_string(::getpid()) + "-" +
                                   std::to_string(static_cast<int>(engine())) + ".pdf");
  pdf::writePdf(run.document, pdf);
  const std::string page = pdfPages(pdf).at(0);
  const std::vector<PdfWord> words = pdfWords(pdf);
  fs::remove(pdf);

  EXPECT_NE(lineWith(page, "DOE, JANE"), "");
  EXPECT_NE(lineWith(page, "POL-1"), "");
  EXPECT_NE(lineWith(page, "J0190"), "");
  const std::string visit = lineWith(page, "VISIT");
  EXPECT_NE(visit.find("12 01 26"), std::string::npos) << visit;
  EXPECT_NE(visit.find("85"), std::string::npos) << visit;
  // Box 28: 85.00 + 20.00.
  EXPECT_NE(page.find("105 00"), std::string::npos);
  bool medicareMarked = false;
  for (const PdfWord& word : words)
    if (word.text == "X" && std::abs(word.xMin - 28.8) < 3 && word.yMin > 83 && word.yMax < 98)
      medicareMarked = true;
  EXPECT_TRUE(medicareMarked);
}

VANTRELL_ON_BOTH_ENGINES(ClaimPrinting);

}  // namespace
}  // namespace vantrell::claims
