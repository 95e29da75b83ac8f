#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <variant>

#include "claim_fixture.hpp"
#include "x12/claim_sending.hpp"
#include "x12/segments.hpp"

namespace vantrell::claims {
namespace {

class ClaimSendingOnEngine : public ClaimPractice {
 protected:
  void SetUp() override {
    ClaimPractice::SetUp();
    if (IsSkipped() || HasFailure()) return;
    // The receiver's folder field holds 90 characters: a short name per engine.
    folder_ =
        std::filesystem::temp_directory_path() / ("vantrell-837-" + std::to_string(::getpid()) +
                                                  "-" + std::to_string(static_cast<int>(engine())));
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
    insert("QVPRA", {{"Practice Name", "Springfield Family Practice"}, {"Phone", "(217)555-0100"}});
    insert("QVECR", {{"Code", "CLR"},
                     {"Name", "Clear House"},
                     {"Submitter ID 1", "VANT123"},
                     {"Extra 1", "CLEARHOUSE"},
                     {"Contact", "Ada Clerk"},
                     {"Filename ID", "41"},
                     {"FilePath", folder_.string()}});
    const Fields address = {{"Street 1", "1 Clinic Way"},
                            {"City", "Springfield"},
                            {"State", "IL"},
                            {"Zip Code", "62701-1234"},
                            {"SSN or Fed Tax ID", "12-3456789"},
                            {"Federal Tax ID Indicator", "T"}};
    Fields welby = {{"Code", "WEL"},
                    {"Last Name", "Welby"},
                    {"First Name", "Marcus"},
                    {"National Provider Identifier", "1245319599"}};
    welby.insert(welby.end(), address.begin(), address.end());
    insert("QVPHY", welby);
    // One digit off Welby's: the check digit fails.
    Fields bad = {{"Code", "BAD"},
                  {"Last Name", "Slip"},
                  {"First Name", "Otto"},
                  {"National Provider Identifier", "1245319598"}};
    bad.insert(bad.end(), address.begin(), address.end());
    insert("QVPHY", bad);
    insert("QVPAT", {{"Chart Number", "ROEAN000"},
                     {"Last Name", "Roe"},
                     {"First Name", "Ann"},
                     {"Street 1", "5 Elm Court"},
                     {"City", "Chatham"},
                     {"State", "IL"},
                     {"Zip Code", "62629"},
                     {"Sex", "Female"},
                     {"Date of Birth", "1970-03-15"},
                     {"Signature on File", "T"}});
    insert("QVINS", {{"Code", "AET"}, {"Name", "Aetherial Health"}, {"EMC Payor Number", "60054"}});
    insert("QVCAS", {{"Chart Number", "ROEAN000"},
                     {"Insurance Carrier #1", "AET"},
                     {"Policy Number #1", "W77"},
                     {"Accept Assignment #1", "T"}});
    annCase_ = std::to_string(
        vantrell::testing::singleNumber(*practice_, "SELECT MAX(\"Case Number\") FROM \"QVCAS\""));
    good_ = annClaim("WEL", "CLR", "E");
    annCharge(good_, "99213", "95");
    annCharge(good_, "73610", "85.25");
    bad_ = annClaim("BAD", "CLR", "E");
    annCharge(bad_, "99212", "60");
    annCharge(annClaim("WEL", "OTHER", "E"), "99213", "95");
    annCharge(annClaim("WEL", "", "P"), "99213", "95");
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
    ClaimPractice::TearDown();
  }

  std::int64_t annClaim(const char* provider, const char* receiver, const char* method) {
    insert("QVCLA", {{"Chart Number", "ROEAN000"},
                     {"Case Number", annCase_},
                     {"Provider", provider},
                     {"Insurance Carrier 1", "AET"},
                     {"Claim Status 1", "1"},
                     {"Primary Billing Method", method},
                     {"EMC Receiver 1", receiver},
                     {"Diagnosis Code 1", "R05"}});
    return vantrell::testing::singleNumber(*practice_,
                                           "SELECT MAX(\"Claim Number\") FROM \"QVCLA\"");
  }
  void annCharge(std::int64_t claimNumber, const char* code, const char* amount) {
    insert("QVTRN", {{"Chart Number", "ROEAN000"},
                     {"Case Number", annCase_},
                     {"Claim Number", std::to_string(claimNumber)},
                     {"Transaction Type", "A"},
                     {"Procedure Code", code},
                     {"Date From", "12/01/2026"},
                     {"Place of Service", "11"},
                     {"Amount", amount},
                     {"Attending Provider", "WEL"},
                     {"Diagnosis Code 1", "R05"}});
  }
  std::string fileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::filesystem::path folder_;
  std::string annCase_;
  std::int64_t good_ = 0;
  std::int64_t bad_ = 0;
};

TEST_P(ClaimSendingOnEngine, GoodClaimsGoInOneFileBadOnesAreListedAndNumbersNeverRepeat) {
  const x12::CreationTime created{Date::fromYmd(2026, 12, 6), 7, 5};
  auto result = x12::sendClaimsToReceiver(*practice_, "clr", false, created);
  ASSERT_TRUE(std::holds_alternative<x12::SendingRun>(result)) << std::get<std::string>(result);
  const auto& run = std::get<x12::SendingRun>(result);
  ASSERT_EQ(run.sent.size(), 1U);
  EXPECT_EQ(run.sent[0].claimNumber, good_);
  EXPECT_EQ(run.sent[0].slot, 1);
  ASSERT_EQ(run.refused.size(), 1U);
  EXPECT_EQ(run.refused[0].claimNumber, bad_);
  EXPECT_EQ(run.refused[0].patient, "Roe, Ann");
  ASSERT_EQ(run.refused[0].problems.size(), 1U);
  EXPECT_EQ(run.refused[0].problems[0].what,
            "The NPI 1245319598 of the billing provider Otto Slip is not a valid NPI: its check "
            "digit does not match.");
  EXPECT_EQ(run.interchangeNumber, 42);
  EXPECT_EQ(run.file, folder_ / "CLR_000000042.837");

  const std::string text = fileText(run.file);
  auto read = x12::readInterchange(text);
  ASSERT_TRUE(std::holds_alternative<x12::Interchange>(read));
  const auto& interchange = std::get<x12::Interchange>(read);
  EXPECT_EQ(x12::envelopeProblems(interchange), std::vector<std::string>{});
  EXPECT_EQ(interchange.segments.front().element(6), "VANT123        ");
  EXPECT_EQ(interchange.segments.front().element(8), "CLEARHOUSE     ");
  EXPECT_EQ(interchange.segments.front().element(13), "000000042");
  int claimsWritten = 0;
  int serviceLines = 0;
  for (const auto& segment : interchange.segments) {
    if (segment.id == "CLM") {
      ++claimsWritten;
      EXPECT_EQ(segment.element(1), std::to_string(good_));
      // 95.00 + 85.25
      EXPECT_EQ(segment.element(2), "180.25");
    }
    if (segment.id == "SV1") ++serviceLines;
  }
  EXPECT_EQ(claimsWritten, 1);
  EXPECT_EQ(serviceLines, 2);
  EXPECT_EQ(std::filesystem::status(run.file).permissions() & std::filesystem::perms::others_all,
            std::filesystem::perms::none);

  // Nothing is marked billed here, so the next run takes the same claims
  // under the next number.
  EXPECT_EQ(claimRow(good_).text("Claim Status 1"), "1");
  auto again = x12::sendClaimsToReceiver(*practice_, "CLR", false, created);
  ASSERT_TRUE(std::holds_alternative<x12::SendingRun>(again));
  EXPECT_EQ(std::get<x12::SendingRun>(again).interchangeNumber, 43);
  EXPECT_TRUE(std::filesystem::exists(folder_ / "CLR_000000043.837"));
  EXPECT_EQ(row("QVECR", "Filename ID", 43).text("Code"), "CLR");

  EXPECT_EQ(std::get<std::string>(x12::sendClaimsToReceiver(*practice_, "NONE", false, created)),
            "The receiver NONE is not in the receiver list.");
}

TEST_P(ClaimSendingOnEngine, AnEstimateRunSendsTheEstimateClaimsMarkedAsNoClaimForPayment) {
  insert("QVCLAE", {{"Chart Number", "ROEAN000"},
                    {"Case Number", annCase_},
                    {"Provider", "WEL"},
                    {"Insurance Carrier 1", "AET"},
                    {"Claim Status 1", "1"},
                    {"Primary Billing Method", "E"},
                    {"EMC Receiver 1", "CLR"},
                    {"Diagnosis Code 1", "R05"}});
  const auto estimate =
      vantrell::testing::singleNumber(*practice_, "SELECT MAX(\"Claim Number\") FROM \"QVCLAE\"");
  insert("QVTRNE", {{"Chart Number", "ROEAN000"},
                    {"Case Number", annCase_},
                    {"Claim Number", std::to_string(estimate)},
                    {"Transaction Type", "A"},
                    {"Procedure Code", "29881"},
                    {"Date From", "01/15/2027"},
                    {"Place of Service", "22"},
                    {"Amount", "2400"},
                    {"Attending Provider", "WEL"},
                    {"Diagnosis Code 1", "R05"}});
  auto result =
      x12::sendClaimsToReceiver(*practice_, "CLR", true, {Date::fromYmd(2026, 12, 6), 9, 30});
  ASSERT_TRUE(std::holds_alternative<x12::SendingRun>(result)) << std::get<std::string>(result);
  const auto& run = std::get<x12::SendingRun>(result);
  ASSERT_EQ(run.sent.size(), 1U);
  EXPECT_EQ(run.sent[0].claimNumber, estimate);
  EXPECT_TRUE(run.refused.empty());
  const std::string text = fileText(run.file);
  EXPECT_NE(text.find("\nCLM*" + std::to_string(estimate) +
                      "*2400***22:B:1*Y*A*Y*Y~\n"
                      "NTE*ADD*PRETREATMENT ESTIMATE - NOT A CLAIM FOR PAYMENT~\n"),
            std::string::npos)
      << text;
  // Only the estimate: the claim table's ready claims stay out of this run.
  EXPECT_EQ(text.find("CLM*"), text.rfind("CLM*"));
}

VANTRELL_ON_BOTH_ENGINES(ClaimSendingOnEngine);

}  // namespace
}  // namespace vantrell::claims
