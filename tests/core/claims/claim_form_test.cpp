#include "claims/claim_form.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "pdf_renderer.hpp"
#include "printing/pdf_reading.hpp"

namespace vantrell::claims {
namespace {

namespace fs = std::filesystem;
using vantrell::testing::keepPdf;
using vantrell::testing::linesOf;
using vantrell::testing::lineWith;
using vantrell::testing::pdfPages;
using vantrell::testing::PdfWord;
using vantrell::testing::pdfWords;

PictureLine serviceLine(std::int64_t entry, unsigned day, const std::string& code,
                        std::int64_t cents, std::array<int, 4> pointers) {
  PictureLine line;
  line.entryNumber = entry;
  line.dateFrom = Date::fromYmd(2026, 11, day);
  line.placeOfService = "11";
  line.procedureCode = code;
  line.diagnosisPointers = pointers;
  line.units = 1;
  line.charge = Money::fromCents(cents);
  return line;
}

// A spouse's claim to the husband's group plan, with a second policy on the case.
ClaimPicture janesClaim() {
  ClaimPicture claim;
  claim.claimNumber = 41;
  claim.slot = 1;
  claim.patient = {"DOEJA000",
                   "Doe",
                   "Jane",
                   "Q",
                   {"12 Elm Street", "Apt 4", "Springfield", "IL", "62704", "(217)555-0142"},
                   Date::fromYmd(1984, 3, 9),
                   "F"};
  claim.patientAccount = "DOEJA000";
  claim.policy.carrierName = "Prairie Mutual Health";
  claim.policy.carrierAddress = {"PO Box 5500", "", "Peoria", "IL", "61601", ""};
  claim.policy.insured = {"DOEJO000",
                          "Doe",
                          "John",
                          "",
                          {"12 Elm Street", "Apt 4", "Springfield", "IL", "62704", "2175550142"},
                          Date::fromYmd(1981, 7, 23),
                          "M"};
  claim.policy.relationship = "Spouse";
  claim.policy.policyNumber = "XQP884120";
  claim.policy.groupNumber = "GRP-7731";
  claim.policy.groupName = "Lincoln Feed Co";
  claim.policy.carrierType = "Group";
  PicturePolicy second;
  second.carrierName = "Heartland Secondary";
  second.insured = {"", "Doe", "Jane", "Q", {}, Date::fromYmd(1984, 3, 9), "F"};
  second.policyNumber = "HS-55012";
  second.groupNumber = "H900";
  claim.otherPolicy = second;
  claim.caseFields.dateOfInjuryOrIllness = Date::fromYmd(2026, 10, 28);
  claim.caseFields.priorAuthorization = "PA77120";
  claim.caseFields.referringProvider =
      PictureReferringProvider{"R1", "Okafor", "Grace", "", "1234567893"};
  claim.billingProvider.lastName = "Springfield Family Clinic";
  claim.billingProvider.organisation = true;
  claim.billingProvider.npi = "1588667638";
  claim.billingProvider.taxId = "37-1234567";
  claim.billingProvider.address = {"400 Main Street", "", "Springfield", "IL", "62701",
                                   "217-555-0100"};
  claim.renderingProvider.firstName = "Alan";
  claim.renderingProvider.lastName = "Reyes";
  claim.renderingProvider.credentials = "MD";
  claim.renderingProvider.npi = "1497758544";
  claim.diagnoses = {"J01.90", "R05.9", "M54.50"};
  claim.lines = {serviceLine(501, 2, "99213", 12500, {1, 2, 0, 0}),
                 serviceLine(502, 2, "87880", 3000, {1, 0, 0, 0}),
                 serviceLine(503, 9, "97110", 8500, {3, 0, 0, 0})};
  claim.lines[2].modifiers = {"GP", "59", "", ""};
  claim.lines[2].units = 2;
  claim.totalCharge = Money::fromCents(24000);
  claim.amountPaid = Money::fromCents(-4000);  // the patient's copay, stored as payments are
  claim.balanceDue = Money::fromCents(20000);
  return claim;
}

// A PDF of the claim form in a folder of its own, removed after the test.
class ClaimFormPdf : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("vantrell-claim-form-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  fs::path write(const std::vector<ClaimPicture>& claims, ClaimFormPaper paper,
                 const std::string& name) {
    ClaimFormOptions options;
    options.paper = paper;
    options.signatureDate = Date::fromYmd(2026, 12, 4);
    const fs::path pdf = folder_ / name;
    pdf::writePdf(claimFormDocument(claims, options), pdf);
    keepPdf(pdf, name);
    return pdf;
  }

  fs::path folder_;
};

// The words of one page whose text is exactly `text`, in reading order.
std::vector<PdfWord> wordsOf(const std::vector<PdfWord>& words, int page, const std::string& text) {
  std::vector<PdfWord> found;
  for (const PdfWord& word : words)
    if (word.page == page && word.text == text) found.push_back(word);
  // Top to bottom, then left to right, whatever order poppler reads them in.
  std::sort(found.begin(), found.end(), [](const PdfWord& a, const PdfWord& b) {
    return std::abs(a.yMin - b.yMin) > 2 ? a.yMin < b.yMin : a.xMin < b.xMin;
  });
  return found;
}

// The words on the row of a page's first word `anchor`, left to right, as a
// person reads across the form; empty when the word is not there.
std::string rowOf(const std::vector<PdfWord>& words, int page, const std::string& anchor) {
  const std::vector<PdfWord> anchors = wordsOf(words, page, anchor);
  if (anchors.empty()) return {};
  std::vector<PdfWord> row;
  for (const PdfWord& word : words)
    if (word.page == page && std::abs(word.yMax - anchors.front().yMax) < 3) row.push_back(word);
  std::sort(row.begin(), row.end(),
            [](const PdfWord& a, const PdfWord& b) { return a.xMin < b.xMin; });
  std::string text;
  for (const PdfWord& word : row) text += (text.empty() ? "" : " ") + word.text;
  return text;
}

// Whether the parts appear on the line in this order.
bool inOrder(const std::string& line, const std::vector<std::string>& parts) {
  std::size_t at = 0;
  for (const std::string& part : parts) {
    at = line.find(part, at);
    if (at == std::string::npos) return false;
    at += part.size();
  }
  return true;
}

TEST_F(ClaimFormPdf, PlainPaperShowsEachBoxWhereAPersonReadsIt) {
  const fs::path pdf = write({janesClaim()}, ClaimFormPaper::PlainPaper, "claim-form-plain.pdf");
  const std::vector<std::string> pages = pdfPages(pdf);
  ASSERT_EQ(pages.size(), 1u);
  const std::string& page = pages[0];
  const std::vector<PdfWord> words = pdfWords(pdf);

  EXPECT_NE(page.find("HEALTH INSURANCE CLAIM FORM"), std::string::npos);
  // Boxes 2 and 4 share a row: the patient on the left, the insured on the right.
  EXPECT_TRUE(inOrder(lineWith(page, "DOE, JANE, Q"), {"DOE, JANE, Q", "03 09 1984", "DOE, JOHN"}))
      << lineWith(page, "DOE, JANE, Q");
  // The carrier's address above the form, the insured's ID in box 1a.
  EXPECT_NE(lineWith(page, "PRAIRIE MUTUAL HEALTH"), "");
  EXPECT_NE(lineWith(page, "PO BOX 5500"), "");
  EXPECT_NE(lineWith(page, "PEORIA IL 61601"), "");
  EXPECT_NE(lineWith(page, "XQP884120"), "");
  EXPECT_TRUE(inOrder(lineWith(page, "12 ELM STREET APT 4"),
                      {"12 ELM STREET APT 4", "12 ELM STREET APT 4"}));
  EXPECT_TRUE(inOrder(lineWith(page, "SPRINGFIELD"), {"SPRINGFIELD", "IL", "SPRINGFIELD", "IL"}));
  EXPECT_TRUE(
      inOrder(lineWith(page, "62704"), {"62704", "217", "5550142", "62704", "217", "5550142"}));
  // Box 9 holds the other policy; box 11 the insured's group and birth date.
  EXPECT_TRUE(inOrder(lineWith(page, "GRP-7731"), {"DOE, JANE, Q", "GRP-7731"}));
  EXPECT_TRUE(inOrder(lineWith(page, "H900"), {"H900", "07 23 1981"}));
  EXPECT_NE(lineWith(page, "HEARTLAND SECONDARY"), "");
  EXPECT_NE(lineWith(page, "LINCOLN FEED CO"), "");
  // Box 17 with the referring provider's NPI.
  EXPECT_TRUE(inOrder(lineWith(page, "GRACE OKAFOR"), {"DN", "GRACE OKAFOR", "1234567893"}));
  // Box 14: the onset date with its qualifier; box 23 the authorization.
  EXPECT_TRUE(inOrder(lineWith(page, "431"), {"10 28 26", "431"}));
  EXPECT_NE(lineWith(page, "PA77120"), "");
  // Box 21: A, B, C left to right without the implied decimal point.
  EXPECT_TRUE(inOrder(lineWith(page, "J0190"), {"J0190", "R059", "M5450"}))
      << lineWith(page, "J0190");
  EXPECT_EQ(page.find("J01.90"), std::string::npos);

  // Each service line on a line of its own: dates, place, code, modifiers,
  // pointers, charge with its cents apart, units, rendering NPI.
  EXPECT_TRUE(inOrder(lineWith(page, "99213"), {"11 02 26", "11 02 26", "11", "99213", "AB", "125",
                                                "00", "1", "1497758544"}))
      << lineWith(page, "99213");
  EXPECT_TRUE(inOrder(lineWith(page, "87880"),
                      {"11 02 26", "11 02 26", "11", "87880", "A", "30", "00", "1", "1497758544"}))
      << lineWith(page, "87880");
  EXPECT_TRUE(inOrder(lineWith(page, "97110"), {"11 09 26", "11 09 26", "11", "97110", "GP", "59",
                                                "C", "85", "00", "2", "1497758544"}))
      << lineWith(page, "97110");
  // The lines go down the form in order.
  const std::vector<std::string> lines = linesOf(page);
  const auto row = [&](const std::string& part) {
    return std::find_if(lines.begin(), lines.end(),
                        [&](const std::string& l) { return l.find(part) != std::string::npos; }) -
           lines.begin();
  };
  EXPECT_LT(row("DOE, JANE, Q"), row("J0190"));
  EXPECT_LT(row("J0190"), row("99213"));
  EXPECT_LT(row("99213"), row("87880"));
  EXPECT_LT(row("87880"), row("97110"));
  EXPECT_LT(row("97110"), row("371234567"));

  // Boxes 25 to 29: tax ID without its dash, account, total 240.00, paid 40.00.
  const std::string totals = rowOf(words, 1, "371234567");
  EXPECT_TRUE(inOrder(totals, {"371234567", "DOEJA000", "240", "00", "40", "00"})) << totals;
  EXPECT_EQ(page.find("CONTINUED"), std::string::npos);
  EXPECT_EQ(page.find("PAGE 1"), std::string::npos);
  // Boxes 31 and 33: who signs, and who is paid with their NPI.
  EXPECT_TRUE(inOrder(rowOf(words, 1, "REYES"), {"ALAN REYES MD", "SPRINGFIELD IL 62701"}))
      << rowOf(words, 1, "REYES");
  EXPECT_TRUE(inOrder(rowOf(words, 1, "CLINIC"), {"SPRINGFIELD FAMILY CLINIC"}));
  EXPECT_NE(lineWith(page, "SPRINGFIELD FAMILY CLINIC"), "");
  EXPECT_NE(lineWith(page, "1588667638"), "");
}

// The form's grid is ten columns to the inch from 0.3 inch, six lines to the
// inch: box 2's name starts in column 1 of line 10 (x 21.6 pt, top 108 pt),
// box 1a's ID in column 50 (x 374.4 pt), the first service line's code in
// column 25 of line 46 (x 194.4 pt, top 540 pt).
TEST_F(ClaimFormPdf, RedFormPrintsOnlyTheDataOnTheFormsGrid) {
  const fs::path red = write({janesClaim()}, ClaimFormPaper::RedForm, "claim-form-red.pdf");
  const std::string text = pdfPages(red).at(0);
  EXPECT_EQ(text.find("HEALTH INSURANCE CLAIM FORM"), std::string::npos);
  EXPECT_EQ(text.find("PATIENT'S NAME"), std::string::npos);
  EXPECT_EQ(text.find("MEDICARE"), std::string::npos);

  const std::vector<PdfWord> words = pdfWords(red);
  const auto near = [](double value, double expected) { return std::abs(value - expected) < 3; };
  const auto firstWord = [&](const std::string& wanted) {
    const std::vector<PdfWord> found = wordsOf(words, 1, wanted);
    return found.empty() ? PdfWord{} : found.front();
  };
  const PdfWord patient = firstWord("DOE,");
  EXPECT_TRUE(near(patient.xMin, 21.6)) << patient.xMin;
  EXPECT_GT(patient.yMin, 108 - 1);
  EXPECT_LT(patient.yMax, 120 + 2);
  const PdfWord id = firstWord("XQP884120");
  EXPECT_TRUE(near(id.xMin, 374.4)) << id.xMin;
  EXPECT_GT(id.yMin, 84 - 1);
  EXPECT_LT(id.yMax, 96 + 2);
  const PdfWord code = firstWord("99213");
  EXPECT_TRUE(near(code.xMin, 194.4)) << code.xMin;
  EXPECT_GT(code.yMin, 540 - 1);
  EXPECT_LT(code.yMax, 552 + 2);
  // The third service line is four form lines lower: top 588 pt.
  const PdfWord third = firstWord("97110");
  EXPECT_GT(third.yMin, 588 - 1);
  EXPECT_LT(third.yMax, 600 + 2);
  // Box 1: group health plan is marked in column 31 (x 237.6 pt) of line 8.
  const PdfWord mark = firstWord("X");
  EXPECT_TRUE(near(mark.xMin, 237.6)) << mark.xMin;

  // The plain paper form puts the same data in the same places.
  const fs::path plain = write({janesClaim()}, ClaimFormPaper::PlainPaper, "claim-form-plain.pdf");
  const std::vector<PdfWord> plainWords = pdfWords(plain);
  for (const char* word : {"DOE,", "XQP884120", "99213", "97110", "J0190", "1588667638"}) {
    const std::vector<PdfWord> onPlain = wordsOf(plainWords, 1, word);
    ASSERT_FALSE(onPlain.empty()) << word;
    const PdfWord onRed = firstWord(word);
    EXPECT_TRUE(near(onPlain.front().xMin, onRed.xMin) && near(onPlain.front().yMin, onRed.yMin))
        << word;
  }
}

// A printer that feeds a little off moves the data by the shift given: one
// column right (7.2 pt) and half a line up (6 pt).
TEST_F(ClaimFormPdf, AShiftMovesTheDataToMeetThePrintersFeed) {
  ClaimFormOptions options;
  options.paper = ClaimFormPaper::RedForm;
  options.shiftRight = 7.2;
  options.shiftDown = -6;
  const fs::path pdf = folder_ / "shifted.pdf";
  pdf::writePdf(claimFormDocument({janesClaim()}, options), pdf);
  const std::vector<PdfWord> words = pdfWords(pdf);
  const std::vector<PdfWord> patient = wordsOf(words, 1, "DOE,");
  ASSERT_FALSE(patient.empty());
  EXPECT_NEAR(patient.front().xMin, 21.6 + 7.2, 1.5);
  EXPECT_GT(patient.front().yMin, 108 - 6 - 1);
  EXPECT_LT(patient.front().yMax, 120 - 6 + 2);
  const std::vector<PdfWord> code = wordsOf(words, 1, "99213");
  ASSERT_FALSE(code.empty());
  EXPECT_NEAR(code.front().xMin, 194.4 + 7.2, 1.5);
}

TEST_F(ClaimFormPdf, EightLinesGoOnTwoFormsWithTheTotalsOnTheLast) {
  ClaimPicture claim = janesClaim();
  claim.lines.clear();
  Money total;
  for (int index = 0; index < 8; ++index) {
    claim.lines.push_back(serviceLine(600 + index, 10u + static_cast<unsigned>(index),
                                      std::to_string(97010 + index), 1000 * (index + 1),
                                      {1, 0, 0, 0}));
    total += claim.lines.back().charge;
  }
  claim.totalCharge = total;  // 10 + 20 + ... + 80 = 360.00
  ASSERT_EQ(total, Money::fromCents(36000));
  const fs::path pdf = write({claim}, ClaimFormPaper::PlainPaper, "claim-form-eight.pdf");
  const std::vector<std::string> pages = pdfPages(pdf);
  const std::vector<PdfWord> words = pdfWords(pdf);
  ASSERT_EQ(pages.size(), 2u);

  for (int index = 0; index < 8; ++index) {
    const std::string code = std::to_string(97010 + index);
    const std::string& holder = pages[index < 6 ? 0 : 1];
    const std::string& other = pages[index < 6 ? 1 : 0];
    EXPECT_NE(lineWith(holder, code), "") << code;
    EXPECT_EQ(lineWith(other, code), "") << code;
    EXPECT_TRUE(inOrder(lineWith(holder, code), {std::to_string(10 * (index + 1)), "00"}));
  }
  EXPECT_NE(pages[0].find("PAGE 1 OF 2"), std::string::npos);
  EXPECT_NE(pages[1].find("PAGE 2 OF 2"), std::string::npos);
  // Box 28 says the claim goes on; the last form carries the claim's totals.
  EXPECT_TRUE(inOrder(rowOf(words, 1, "371234567"), {"371234567", "DOEJA000", "CONTINUED"}));
  EXPECT_EQ(pages[0].find("360"), std::string::npos);
  EXPECT_TRUE(
      inOrder(rowOf(words, 2, "371234567"), {"371234567", "DOEJA000", "360", "00", "40", "00"}))
      << rowOf(words, 2, "371234567");
  EXPECT_EQ(pages[1].find("CONTINUED"), std::string::npos);
  // Each form is whole: patient, insured and diagnoses again on the second.
  for (const std::string& page : pages) {
    EXPECT_TRUE(inOrder(lineWith(page, "DOE, JANE, Q"), {"DOE, JANE, Q", "DOE, JOHN"}));
    EXPECT_TRUE(inOrder(lineWith(page, "J0190"), {"J0190", "R059", "M5450"}));
  }
}

TEST_F(ClaimFormPdf, ClaimsFollowOneAnotherEachOnItsOwnForms) {
  ClaimPicture second = janesClaim();
  second.claimNumber = 42;
  second.patient.firstName = "Lucy";
  second.patient.middleInitial = "";
  second.lines.resize(1);
  const std::vector<std::string> pages =
      pdfPages(write({janesClaim(), second}, ClaimFormPaper::RedForm, "claim-form-two.pdf"));
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_NE(pages[0].find("DOE, JANE, Q"), std::string::npos);
  EXPECT_NE(pages[1].find("DOE, LUCY"), std::string::npos);
  EXPECT_EQ(pages[1].find("87880"), std::string::npos);
}

// The texts of the boxes, worked out by hand from the claim.
TEST(ClaimFormValues, BoxesHoldTheClaimInTheFormsConventions) {
  ClaimPicture claim = janesClaim();
  ClaimFormOptions options;
  options.signatureDate = Date::fromYmd(2026, 12, 4);
  claim.policy.carrierType = "Medicare";
  FormValues values = claimFormValues(claim, 0, options);
  EXPECT_EQ(values["1.medicare"], "X");
  EXPECT_FALSE(values.contains("1.group"));
  EXPECT_EQ(values["3.month"], "03");
  EXPECT_EQ(values["3.day"], "09");
  EXPECT_EQ(values["3.year"], "1984");
  EXPECT_EQ(values["3.female"], "X");
  EXPECT_FALSE(values.contains("3.male"));
  EXPECT_EQ(values["6.spouse"], "X");
  EXPECT_EQ(values["11a.male"], "X");
  EXPECT_EQ(values["11d.yes"], "X");
  EXPECT_EQ(values["10a.no"], "X");
  EXPECT_EQ(values["5.area"], "217");
  EXPECT_EQ(values["5.phone"], "5550142");
  EXPECT_EQ(values["33.area"], "217");
  EXPECT_EQ(values["33.phone"], "5550100");
  EXPECT_EQ(values["25"], "371234567");
  EXPECT_EQ(values["25.ein"], "X");
  EXPECT_EQ(values["28.dollars"], "240");
  EXPECT_EQ(values["29.dollars"], "40");  // paid shows without its ledger sign
  EXPECT_EQ(values["12.date"], "12 04 26");
  EXPECT_EQ(values["21.C"], "M5450");
  EXPECT_FALSE(values.contains("21.D"));

  // Half a cent rounds up; an individual's social security number; a
  // secondary claim names the primary carrier as the other coverage.
  claim.totalCharge = Money::fromTenThousandths(123450);  // 12.345
  claim.billingProvider.taxId = "123-45-6789";
  claim.billingProvider.taxIdIsSsn = true;
  claim.slot = 2;
  PicturePolicy primary;
  primary.carrierName = "First Payer";
  primary.insured.lastName = "Doe";
  primary.insured.firstName = "John";
  primary.policyNumber = "FP1";
  claim.priorPolicies = {primary};
  claim.policy.relationship = "Self";
  claim.caseFields.relatedToAccident = true;
  claim.caseFields.accidentState = "mo";
  claim.policy.carrierType = "Champus";
  values = claimFormValues(claim, 0, options);
  EXPECT_EQ(values["28.dollars"], "12");
  EXPECT_EQ(values["28.cents"], "35");
  EXPECT_EQ(values["25"], "123456789");
  EXPECT_EQ(values["25.ssn"], "X");
  EXPECT_FALSE(values.contains("25.ein"));
  EXPECT_EQ(values["9"], "DOE, JOHN");
  EXPECT_EQ(values["9a"], "FP1");
  EXPECT_EQ(values["9d"], "FIRST PAYER");
  EXPECT_EQ(values["6.self"], "X");
  EXPECT_EQ(values["10b.yes"], "X");
  EXPECT_EQ(values["10b.place"], "MO");
  EXPECT_EQ(values["1.tricare"], "X");

  // No other coverage: box 11d says no and boxes 9 stay blank.
  claim.priorPolicies.clear();
  claim.otherPolicy.reset();
  values = claimFormValues(claim, 0, options);
  EXPECT_EQ(values["11d.no"], "X");
  EXPECT_FALSE(values.contains("9"));
  EXPECT_FALSE(values.contains("9d"));
}

TEST(ClaimFormValues, ServiceLinesHoldDatesPointersAndUnits) {
  const ClaimPicture claim = janesClaim();
  struct Case {
    const char* name;
    std::array<int, 4> pointers;
    double units;
    std::int64_t tenThousandths;
    std::string expectedPointers, expectedUnits, expectedDollars, expectedCents;
  };
  const std::vector<Case> cases = {
      {"two pointers", {1, 2, 0, 0}, 1, 1250000, "AB", "1", "125", "00"},
      {"all four, last letter", {12, 1, 5, 9}, 3, 99990000, "LAEI", "3", "9999", "00"},
      {"out of range skipped", {13, 0, 2, -1}, 1, 50, "B", "1", "0", "01"},
      {"half a unit", {0, 0, 0, 0}, 1.5, 10050, "", "1.5", "1", "01"},
  };
  for (const Case& row : cases) {
    PictureLine line = claim.lines[0];
    line.diagnosisPointers = row.pointers;
    line.units = row.units;
    line.charge = Money::fromTenThousandths(row.tenThousandths);
    FormValues values = serviceLineValues(claim, line);
    EXPECT_EQ(values["24E"], row.expectedPointers) << row.name;
    EXPECT_EQ(values["24G"], row.expectedUnits) << row.name;
    EXPECT_EQ(values["24F.dollars"], row.expectedDollars) << row.name;
    EXPECT_EQ(values["24F.cents"], row.expectedCents) << row.name;
  }
  // A line of its own rendering provider; a span of days keeps its end date.
  PictureLine line = claim.lines[0];
  line.renderingProviderNpi = "1316286232";
  line.dateTo = Date::fromYmd(2027, 1, 3);
  line.emergency = true;
  FormValues values = serviceLineValues(claim, line);
  EXPECT_EQ(values["24J"], "1316286232");
  EXPECT_EQ(values["24A.from.month"], "11");
  EXPECT_EQ(values["24A.to.month"], "01");
  EXPECT_EQ(values["24A.to.day"], "03");
  EXPECT_EQ(values["24A.to.year"], "27");
  EXPECT_EQ(values["24C"], "Y");
}

// Box 1 names the program of the billed carrier's kind; one mark at most.
TEST(ClaimFormValues, BoxOneMarksTheCarriersProgram) {
  const std::vector<std::pair<std::string, std::string>> kinds = {
      {"Medicare", "1.medicare"}, {"Medicaid", "1.medicaid"},
      {"Champus", "1.tricare"},   {"ChampsVA", "1.champva"},
      {"Group", "1.group"},       {"HMO", "1.group"},
      {"PPO", "1.group"},         {"Blue Cross/Shield", "1.group"},
      {"BC/BS", "1.group"},       {"Commercial", "1.group"},
      {"FECA", "1.feca"},         {"Worker's Comp", "1.other"},
      {"Other", "1.other"},       {"", ""}};
  for (const auto& [kind, box] : kinds) {
    ClaimPicture claim = janesClaim();
    claim.policy.carrierType = kind;
    std::vector<std::string> marked;
    for (const auto& [key, text] : claimFormValues(claim, 0, {}))
      if (key.starts_with("1.")) marked.push_back(key);
    EXPECT_EQ(marked, box.empty() ? std::vector<std::string>{} : std::vector<std::string>{box})
        << kind;
  }
}

// Six service lines fill a form; the seventh starts the next one.
TEST(ClaimFormValues, FormsNeededGrowEverySixLines) {
  const std::vector<std::pair<std::size_t, std::size_t>> linesAndForms = {
      {0, 1}, {1, 1}, {6, 1}, {7, 2}, {12, 2}, {13, 3}, {50, 9}};
  for (const auto& [lines, forms] : linesAndForms) {
    ClaimPicture claim = janesClaim();
    claim.lines.assign(lines, claim.lines[0]);
    EXPECT_EQ(claimFormPageCount(claim), forms) << lines << " lines";
    printing::Document document;
    addClaimForm(document, claim, {});
    EXPECT_EQ(document.pageCount(), forms) << lines << " lines";
  }
}

// The layout as data: nothing written where something else is written, and on
// plain paper every piece of data inside a ruled box.
TEST(ClaimFormLayout, PlacesNeitherOverlapNorLeaveTheirBoxes) {
  std::vector<FormPlace> all = claimFormPlaces();
  for (int row = 0; row < static_cast<int>(serviceLinesPerForm); ++row)
    for (FormPlace place : serviceLinePlaces()) {
      place.line += 2 * row;
      all.push_back(place);
    }
  // Check boxes take their column and the words beside them two more.
  const auto lastColumn = [](const FormPlace& p) {
    return p.column + p.width - 1 + (p.checkLabel.empty() ? 0 : 2);
  };
  for (std::size_t a = 0; a < all.size(); ++a)
    for (std::size_t b = a + 1; b < all.size(); ++b) {
      if (all[a].line != all[b].line) continue;
      // The total and the word that stands in for it never print together.
      const bool totalOrContinued = all[a].key.starts_with("28.") && all[b].key.starts_with("28.");
      if (totalOrContinued) continue;
      const bool apart = lastColumn(all[a]) < all[b].column || lastColumn(all[b]) < all[a].column;
      EXPECT_TRUE(apart) << all[a].key << " and " << all[b].key;
    }
  for (const FormPlace& place : all) {
    if (place.key.starts_with("carrier.") || place.key == "page") continue;
    // The form prints these on their box's caption line, beside the words.
    const bool onCaptionLine =
        place.key == "21.indicator" || place.key == "33.area" || place.key == "33.phone";
    const bool inside =
        std::any_of(claimFormBoxes().begin(), claimFormBoxes().end(), [&](const FormBox& box) {
          return box.left <= place.column && place.column + place.width - 1 <= box.right &&
                 (box.top < place.line || (onCaptionLine && box.top == place.line)) &&
                 place.line <= box.bottom;
        });
    EXPECT_TRUE(inside) << place.key;
    EXPECT_LE(place.column + place.width - 1, 80) << place.key;
    EXPECT_LE(place.line, 64) << place.key;
  }
}

// Every value the form can hold has its place: a claim that fills every box
// draws without a value left over.
TEST(ClaimFormLayout, AClaimFillingEveryBoxHasAPlaceForEachValue) {
  ClaimPicture claim = janesClaim();
  claim.caseFields.relatedToEmployment = true;
  claim.caseFields.relatedToAccident = true;
  claim.caseFields.accidentState = "IL";
  claim.caseFields.relatedToOtherAccident = true;
  claim.caseFields.lastSeenDate = Date::fromYmd(2026, 9, 1);
  claim.caseFields.unableToWorkFrom = Date::fromYmd(2026, 10, 29);
  claim.caseFields.unableToWorkTo = Date::fromYmd(2026, 11, 15);
  claim.caseFields.hospitalizedFrom = Date::fromYmd(2026, 10, 29);
  claim.caseFields.hospitalizedTo = Date::fromYmd(2026, 10, 31);
  claim.caseFields.outsideLab = true;
  claim.caseFields.outsideLabCharges = Money::fromCents(4500);
  claim.caseFields.localUse = "Attachment by mail";
  claim.caseFields.facility =
      PictureFacility{"F1",
                      "Memorial Hospital",
                      "1972507191",
                      {"1 Hospital Way", "", "Springfield", "IL", "62702", ""}};
  claim.diagnoses = {"A00.0", "B01.1", "C02.2", "D03.3", "E04.4", "F05.5",
                     "G06.6", "H07.7", "I08.8", "J09.9", "K10.1", "L11.2"};
  claim.lines[0].modifiers = {"25", "59", "GP", "KX"};
  claim.lines[0].emergency = true;
  ClaimFormOptions options;
  options.signatureDate = Date::fromYmd(2026, 12, 4);
  for (const char* type :
       {"Medicare", "Medicaid", "Champus", "ChampsVA", "Group", "FECA", "Worker's Comp"}) {
    claim.policy.carrierType = type;
    for (ClaimFormPaper paper : {ClaimFormPaper::RedForm, ClaimFormPaper::PlainPaper}) {
      options.paper = paper;
      printing::Document document;
      EXPECT_NO_THROW(addClaimForm(document, claim, options)) << type;
      EXPECT_EQ(document.pageCount(), 1u);
    }
  }
  const FormValues values = claimFormValues(claim, 0, options);
  EXPECT_EQ(values.at("21.L"), "L112");
  EXPECT_EQ(values.at("32.1"), "MEMORIAL HOSPITAL");
  EXPECT_EQ(values.at("32.3"), "SPRINGFIELD IL 62702");
  // Three lines hold a name and an address of two street lines: the street
  // lines share one, and the city is never dropped.
  claim.billingProvider.address.street2 = "Suite 200";
  const FormValues suite = claimFormValues(claim, 0, options);
  EXPECT_EQ(suite.at("33.1"), "SPRINGFIELD FAMILY CLINIC");
  EXPECT_EQ(suite.at("33.2"), "400 MAIN STREET SUITE 200");
  EXPECT_EQ(suite.at("33.3"), "SPRINGFIELD IL 62701");
  EXPECT_EQ(values.at("20.dollars"), "45");
  EXPECT_EQ(values.at("18.to.day"), "31");
}

}  // namespace
}  // namespace vantrell::claims
