#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "claims/claim_checks.hpp"

namespace vantrell::claims {
namespace {

// NPIs below were worked by hand with the Luhn formula over "80840" and the
// first nine digits; 1234567893 is the published worked example.
TEST(NpiCheck, TheCheckDigitOverThePrefixedNumberDecides) {
  struct Row {
    const char* npi;
    bool valid;
  };
  const Row rows[] = {
      {"1234567893", true}, {"1234567890", false},  // the example, and its last digit changed
      {"1245319599", true}, {"1245319598", false},  {"1679576722", true},
      {"1003000126", true}, {"1003000162", false},  // two digits swapped
      {"123456789", false}, {"12345678933", false}, {"123456789A", false},
      {"", false},          {"1234 67893", false},
  };
  for (const Row& row : rows) EXPECT_EQ(isValidNpi(row.npi), row.valid) << row.npi;
}

TEST(TaxIdForm, EmployerNumbersAndSocialSecurityNumbersInTheirOwnDashes) {
  EXPECT_TRUE(isTaxIdForm("12-3456789", false));
  EXPECT_TRUE(isTaxIdForm("123456789", false));
  EXPECT_FALSE(isTaxIdForm("123-45-6789", false));
  EXPECT_FALSE(isTaxIdForm("12-345678", false));
  EXPECT_FALSE(isTaxIdForm("00-0000000", false));
  EXPECT_FALSE(isTaxIdForm("12-34567AB", false));
  EXPECT_TRUE(isTaxIdForm("123-45-6789", true));
  EXPECT_TRUE(isTaxIdForm("123456789", true));
  EXPECT_FALSE(isTaxIdForm("12-3456789", true));
  EXPECT_FALSE(isTaxIdForm("", true));
}

TEST(CodeForms, DiagnosesAndProceduresLookAsTheCodeSetsWriteThem) {
  for (const char* code : {"R05", "S93.401A", "S93401A", "M25.571", "Z00.00", "U07.1", "E11.9"})
    EXPECT_TRUE(isIcd10CmForm(code)) << code;
  // ICD-9 numbers, lower case, a bare dot, too long, a digit first.
  for (const char* code : {"786.2", "r05", "R05.", "S93.401AB", "5R0", "R", "RR5", ""})
    EXPECT_FALSE(isIcd10CmForm(code)) << code;
  for (const char* code : {"99213", "73610", "0001F", "0042T", "0001U", "J1100", "A0425", "D2740"})
    EXPECT_TRUE(isProcedureCodeForm(code)) << code;
  // Too short, too long, the practice's own codes, W-Z letters are no HCPCS.
  for (const char* code : {"9921", "992133", "VISIT", "XRAY", "W1234", "0001X", "J110"})
    EXPECT_FALSE(isProcedureCodeForm(code)) << code;
}

// A claim of Owen Marwood (a child, insured through Celia) that passes.
ClaimPicture goodPicture() {
  ClaimPicture picture;
  picture.claimNumber = 12;
  picture.slot = 1;
  picture.billingMethod = "E";
  PicturePerson owen{"MAROW000",
                     "Marwood",
                     "Owen",
                     "J",
                     {"12 Maple Avenue", "", "Springfield", "IL", "62704", ""},
                     Date::fromYmd(2015, 4, 9),
                     "M"};
  picture.patient = owen;
  picture.policy.carrierCode = "AET";
  picture.policy.carrierName = "Aetherial Health";
  picture.policy.payerId = "60054";
  picture.policy.insured = {"MARCE000",
                            "Marwood",
                            "Celia",
                            "",
                            {"12 Maple Avenue", "", "Springfield", "IL", "62704", ""},
                            Date::fromYmd(1984, 2, 29),
                            "F"};
  picture.policy.relationship = "Child";
  picture.policy.policyNumber = "W123456789";
  picture.caseFields.caseNumber = 4;
  picture.billingProvider = {"WEL",
                             "Welby",
                             "Marcus",
                             "",
                             "MD",
                             false,
                             "1245319599",
                             "12-3456789",
                             false,
                             "",
                             {"1 Clinic Way", "", "Springfield", "IL", "627011234", ""}};
  picture.renderingProvider = picture.billingProvider;
  picture.diagnoses = {"S93.401A", "R05"};
  PictureLine visit;
  visit.entryNumber = 101;
  visit.dateFrom = visit.dateTo = Date::fromYmd(2026, 12, 1);
  visit.placeOfService = "11";
  visit.procedureCode = "99213";
  visit.diagnosisPointers = {1, 2, 0, 0};
  visit.charge = Money::fromCents(9500);
  visit.renderingProviderCode = "WEL";
  PictureLine xray = visit;
  xray.entryNumber = 102;
  xray.procedureCode = "73610";
  xray.modifiers[0] = "RT";
  xray.diagnosisPointers = {1, 0, 0, 0};
  xray.charge = Money::fromCents(16050);
  picture.lines = {visit, xray};
  picture.totalCharge = Money::fromCents(25550);
  picture.balanceDue = Money::fromCents(25550);
  return picture;
}

std::vector<std::string> texts(const std::vector<ClaimProblem>& problems) {
  std::vector<std::string> lines;
  for (const auto& problem : problems) lines.push_back(problem.what + " | " + problem.where);
  return lines;
}

TEST(ClaimChecks, AWholeClaimPasses) {
  EXPECT_EQ(texts(checkClaim(goodPicture())), std::vector<std::string>{});
}

TEST(ClaimChecks, ABadNpiNamesTheProviderTheNumberAndWhereToFixIt) {
  ClaimPicture picture = goodPicture();
  picture.billingProvider.npi = "1245319598";
  picture.renderingProvider = picture.billingProvider;
  EXPECT_EQ(texts(checkClaim(picture)),
            std::vector<std::string>{
                "The NPI 1245319598 of the billing provider Marcus Welby is not a valid NPI: its "
                "check digit does not match. | Provider WEL: National Provider Identifier"});

  picture.billingProvider.npi = "";
  EXPECT_EQ(texts(checkClaim(picture)),
            std::vector<std::string>{"The billing provider Marcus Welby has no NPI. | Provider "
                                     "WEL: National Provider Identifier"});

  // The claim's rendering provider, when not the billing one, needs a good NPI too.
  picture = goodPicture();
  picture.renderingProvider = {"CRA",        "Crane", "Ida", "", "", false,
                               "1679576723", "",      false, "", {}};
  EXPECT_EQ(texts(checkClaim(picture)),
            std::vector<std::string>{
                "The NPI 1679576723 of the rendering provider Ida Crane is not a valid NPI: its "
                "check digit does not match. | Provider CRA: National Provider Identifier"});

  // A line of another provider is checked against that provider's own NPI.
  picture = goodPicture();
  picture.lines[1].renderingProviderCode = "CRA";
  picture.lines[1].renderingProviderNpi = "16795767";
  EXPECT_EQ(texts(checkClaim(picture)),
            std::vector<std::string>{
                "The NPI 16795767 of the provider CRA of the charge of 12/01/2026 (73610) is not a "
                "valid NPI: an NPI is ten digits. | Provider CRA: National Provider Identifier"});
}

TEST(ClaimChecks, MissingPeopleAddressesAndPolicyNumbersAreNamed) {
  ClaimPicture picture = goodPicture();
  picture.patient.dateOfBirth = Date{};
  picture.patient.address.zipCode = "6270";
  picture.policy.insured.firstName = "";
  picture.policy.insured.address.state = "Ill";
  picture.policy.policyNumber = "";
  picture.billingProvider.taxId = "123-45-6789";
  picture.renderingProvider = picture.billingProvider;
  EXPECT_EQ(texts(checkClaim(picture)),
            (std::vector<std::string>{
                "The ZIP code \"6270\" of the patient Owen Marwood is not five or nine digits. | "
                "Patient MAROW000: Zip Code",
                "The date of birth of the patient Owen Marwood is missing. | Patient MAROW000: "
                "Date of Birth",
                "The first name of the insured Marwood is missing. | Patient MARCE000: First Name",
                "The state \"Ill\" of the insured Marwood is not a two-letter state code. | "
                "Patient MARCE000: State",
                "The primary policy (Aetherial Health (AET)) has no policy number. | Case 4 of "
                "MAROW000: Policy Number #1",
                "The tax ID 123-45-6789 of the billing provider Marcus Welby is not an employer ID "
                "number (12-3456789). | Provider WEL: SSN or Fed Tax ID"}));

  // Born after the visit.
  picture = goodPicture();
  picture.patient.dateOfBirth = Date::fromYmd(2026, 12, 2);
  EXPECT_EQ(texts(checkClaim(picture)),
            std::vector<std::string>{"The date of birth of the patient Owen Marwood (12/02/2026) "
                                     "is after the first date of service (12/01/2026). | Patient "
                                     "MAROW000: Date of Birth"});

  // An electronic claim needs the carrier's payer ID; a paper one does not.
  picture = goodPicture();
  picture.policy.payerId = "";
  EXPECT_EQ(texts(checkClaim(picture)),
            std::vector<std::string>{"The insurance carrier Aetherial Health (AET) has no payer "
                                     "ID, which an electronic claim needs. | Insurance carrier "
                                     "AET: EMC Payor Number"});
  picture.billingMethod = "P";
  EXPECT_TRUE(checkClaim(picture).empty());

  // Electronic claims need the billing provider's ZIP+4; paper ones do not.
  picture = goodPicture();
  picture.billingProvider.address.zipCode = "62701";
  picture.renderingProvider = picture.billingProvider;
  EXPECT_EQ(
      texts(checkClaim(picture)),
      std::vector<std::string>{"The ZIP code 62701 of the billing provider Marcus Welby needs "
                               "all nine digits (ZIP+4) on an electronic claim. | Provider "
                               "WEL: Zip Code"});
  picture.billingMethod = "P";
  EXPECT_TRUE(checkClaim(picture).empty());
}

TEST(ClaimChecks, AnElectronicClaimCarriesPlainLettersOnly) {
  ClaimPicture picture = goodPicture();
  picture.patient.lastName = "Peña";
  picture.policy.insured.address.city = "Cortéz";
  const std::vector<std::string> expected{
      "The last name \"Peña\" of the patient Owen Peña has a character an electronic "
      "claim cannot carry: write it in plain letters. | Patient MAROW000: Last Name",
      "The city \"Cortéz\" of the insured Celia Marwood has a character an electronic claim "
      "cannot carry: write it in plain letters. | Patient MARCE000: City"};
  EXPECT_EQ(texts(checkClaim(picture)), expected);
  // On paper the form prints them as they are.
  picture.billingMethod = "P";
  EXPECT_TRUE(checkClaim(picture).empty());
}

TEST(ClaimChecks, CodesPointersAndAmountsOfTheLines) {
  ClaimPicture picture = goodPicture();
  picture.diagnoses[1] = "786.2";
  picture.lines[0].procedureCode = "VISIT";
  picture.lines[0].modifiers[1] = "R";
  picture.lines[1].diagnosisPointers = {3, 0, 0, 0};
  EXPECT_EQ(
      texts(checkClaim(picture)),
      (std::vector<std::string>{
          "The diagnosis B (786.2) is not an ICD-10-CM code: it should look like "
          "\"S93.401A\" or \"R05\". | Claim 12: Diagnosis Code 2 (or the diagnosis code list)",
          "The charge of 12/01/2026 (VISIT): \"VISIT\" is not a CPT or HCPCS code (five digits "
          "such as \"99213\", or a letter and four digits such as \"J1100\"). | Charge entry "
          "101: Procedure Code",
          "The charge of 12/01/2026 (VISIT): the modifier \"R\" is not two letters or digits. "
          "| Charge entry 101: Modifier 2",
          "The charge of 12/01/2026 (73610) points at diagnosis C, but the claim has only A "
          "to B. | Charge entry 102: Diagnosis 1-4"}));

  picture = goodPicture();
  picture.lines[0].diagnosisPointers = {0, 0, 0, 0};
  picture.lines[1].charge = Money{};
  picture.lines[1].paidByEarlierPayers = Money::fromCents(500);
  // The totals were read before the amount went: 255.50 and nothing paid.
  EXPECT_EQ(
      texts(checkClaim(picture)),
      (std::vector<std::string>{
          "The charge of 12/01/2026 (99213) points at no diagnosis. | Charge entry 101: "
          "Diagnosis 1-4",
          "The charge of 12/01/2026 (73610) has an amount of 0.00; a claim bills only amounts "
          "above zero. | Charge entry 102: Amount",
          "The charge of 12/01/2026 (73610): the earlier carriers paid 5.00, more than its "
          "amount of 0.00. | Charge entry 102: payments applied to it",
          "The claim's total charge 255.50 is not the sum of its charges, 95.00. | Claim 12: "
          "its charges",
          "The claim's amount paid 0.00 is not the sum paid on its charges, 5.00. | Claim 12: "
          "its charges"}));
}

TEST(ClaimChecks, ASecondCarrierNeedsTheFirstPolicyAndNoCarrierIsNoClaim) {
  ClaimPicture picture = goodPicture();
  picture.slot = 2;
  picture.priorPolicies.push_back(PicturePolicy{});
  EXPECT_EQ(
      texts(checkClaim(picture)),
      std::vector<std::string>{"The claim goes to the secondary carrier, but the case has no "
                               "primary carrier. | Case 4 of MAROW000: Insurance Carrier #1"});

  // The earlier carrier is named by its payer ID too.
  picture = goodPicture();
  picture.slot = 2;
  PicturePolicy medicare;
  medicare.carrierCode = "MC";
  medicare.carrierName = "Medicare";
  medicare.insured = picture.patient;
  medicare.policyNumber = "1EG4TE5MK72";
  picture.priorPolicies = {medicare};
  EXPECT_EQ(
      texts(checkClaim(picture)),
      std::vector<std::string>{"The insurance carrier Medicare (MC) has no payer ID, which an "
                               "electronic claim to a later carrier needs to name it. | "
                               "Insurance carrier MC: EMC Payor Number"});
  picture.priorPolicies[0].payerId = "14512";
  EXPECT_TRUE(checkClaim(picture).empty());

  picture = goodPicture();
  picture.policy.carrierCode = "";
  picture.lines.clear();
  picture.totalCharge = picture.balanceDue = Money{};
  EXPECT_EQ(
      texts(checkClaim(picture)),
      (std::vector<std::string>{
          "The claim has no primary insurance carrier to bill. | Claim 12: Insurance Carrier 1",
          "The claim has no charges. | Claim 12: charges"}));
}

}  // namespace
}  // namespace vantrell::claims
