#include <gtest/gtest.h>

#include <array>
#include <string>

#include "claim_fixture.hpp"
#include "claims/claim_picture.hpp"

namespace vantrell::claims {
namespace {

// Owen Marwood (a child) is insured through his mother Celia with MC first and
// BC second; Dr Welby bills, Dr Crane renders one line, Dr Hale referred.
class ClaimPictureOnEngine : public ClaimPractice {
 protected:
  void SetUp() override {
    ClaimPractice::SetUp();
    if (IsSkipped() || HasFailure()) return;
    insert("QVADD", {{"Code", "ACME"}, {"Name", "Acme Mills"}, {"Type", "Employer"}});
    insert("QVADD", {{"Code", "MAIN"},
                     {"Name", "Main Street Clinic"},
                     {"Street 1", "9 Main St"},
                     {"City", "Springfield"},
                     {"State", "IL"},
                     {"Zip Code", "62704"},
                     {"ID", "1234567893"},
                     {"Type", "Facility"}});
    insert("QVPAT", {{"Chart Number", "MAROW000"},
                     {"Last Name", "Marwood"},
                     {"First Name", "Owen"},
                     {"Middle Initial", "J"},
                     {"Street 1", "12 Maple Avenue"},
                     {"City", "Springfield"},
                     {"State", "IL"},
                     {"Zip Code", "62704"},
                     {"Phone 1", "(217)555-0101"},
                     {"Sex", "Male"},
                     {"Date of Birth", "2015-04-09"}});
    insert("QVPAT", {{"Chart Number", "MARCE000"},
                     {"Last Name", "Marwood"},
                     {"First Name", "Celia"},
                     {"Street 1", "12 Maple Avenue"},
                     {"City", "Springfield"},
                     {"State", "IL"},
                     {"Zip Code", "62704"},
                     {"Sex", "Female"},
                     {"Date of Birth", "1984-02-29"},
                     {"Employer", "ACME"},
                     {"Signature on File", "T"}});
    insert("QVINS", {{"Code", "AET"},
                     {"Name", "Aetherial Health"},
                     {"Street 1", "PO Box 100"},
                     {"City", "Hartford"},
                     {"State", "CT"},
                     {"Zip Code", "06101"},
                     {"EMC Payor Number", "60054"},
                     {"Type", "Commercial"},
                     {"Plan Name", "Gold PPO"}});
    insert("QVPHY", {{"Code", "WEL"},
                     {"Last Name", "Welby"},
                     {"First Name", "Marcus"},
                     {"Credentials", "MD"},
                     {"Street 1", "1 Clinic Way"},
                     {"City", "Springfield"},
                     {"State", "IL"},
                     {"Zip Code", "62701"},
                     {"SSN or Fed Tax ID", "12-3456789"},
                     {"Federal Tax ID Indicator", "T"},
                     {"National Provider Identifier", "1245319599"}});
    insert("QVPHY", {{"Code", "CRA"},
                     {"Last Name", "Crane"},
                     {"First Name", "Ida"},
                     {"National Provider Identifier", "1679576722"}});
    insert("QVRPH", {{"Code", "HAL"},
                     {"Last Name", "Hale"},
                     {"First Name", "Ruth"},
                     {"National Provider Identifier", "1093740318"}});
    insert("QVCAS", {{"Chart Number", "MAROW000"},
                     {"Guarantor", "MARCE000"},
                     {"Insured #1", "MARCE000"},
                     {"Insured Relationship #1", "Child"},
                     {"Insurance Carrier #1", "AET"},
                     {"Policy Number #1", "W123456789"},
                     {"Group Number #1", "G0042"},
                     {"Accept Assignment #1", "T"},
                     {"Insurance Carrier #2", "BC"},
                     {"Policy Number #2", "XBC55"},
                     {"Related to Accident", "Auto"},
                     {"Accident State", "IL"},
                     {"Date of Injury/Illness", "11/28/2026"},
                     {"Hospital Date From", "not a date"},
                     {"Prior Authorization No", "PA-77"},
                     {"Referring Provider", "HAL"},
                     {"Facility", "MAIN"},
                     {"Marital Status", "Single"}});
    owenCase_ =
        vantrell::testing::singleNumber(*practice_, "SELECT MAX(\"Case Number\") FROM \"QVCAS\"");
    insert("QVCLA", {{"Chart Number", "MAROW000"},
                     {"Case Number", std::to_string(owenCase_)},
                     {"Provider", "WEL"},
                     {"Insurance Carrier 1", "AET"},
                     {"Insurance Carrier 2", "BC"},
                     {"Claim Status 1", "2"},
                     {"Claim Status 2", "1"},
                     {"Primary Billing Method", "E"},
                     {"EMC Receiver 2", "CLR"},
                     {"Batch Number 1", "7"},
                     {"Secondary Submission Cnt", "1"},
                     {"Diagnosis Code 1", "S93.401A"},
                     {"Diagnosis Code 2", "R05"}});
    claim_ =
        vantrell::testing::singleNumber(*practice_, "SELECT MAX(\"Claim Number\") FROM \"QVCLA\"");
    const std::string claimText = std::to_string(claim_);
    const std::string caseText = std::to_string(owenCase_);
    // Second visit first in entry order: the lines come in date order.
    insert("QVTRN", {{"Chart Number", "MAROW000"},
                     {"Case Number", caseText},
                     {"Claim Number", claimText},
                     {"Transaction Type", "B"},
                     {"Procedure Code", "73610"},
                     {"Modifier 1", "RT"},
                     {"Date From", "12/03/2026"},
                     {"Place of Service", "11"},
                     {"Units", "2"},
                     {"Amount", "160.50"},
                     {"Attending Provider", "CRA"},
                     {"Insurance 1 Amount Paid", "100.25"},
                     {"Diagnosis Code 1", "S93.401A"},
                     {"Diagnosis Code 2", "R05"},
                     {"Diagnosis Code 3", "M25.571"},
                     {"Diagnosis 2", "T"},
                     {"Diagnosis 3", "T"}});
    insert("QVTRN", {{"Chart Number", "MAROW000"},
                     {"Case Number", caseText},
                     {"Claim Number", claimText},
                     {"Transaction Type", "A"},
                     {"Procedure Code", "99213"},
                     {"Date From", "12/01/2026"},
                     {"Date To", "12/01/2026"},
                     {"Place of Service", "11"},
                     {"Amount", "95"},
                     {"Attending Provider", "WEL"},
                     {"Insurance 1 Amount Paid", "60"},
                     {"Diagnosis Code 1", "S93.401A"},
                     {"Diagnosis Code 2", "R05"}});
    // A payment on the claim is no line of it.
    insert("QVTRN", {{"Chart Number", "MAROW000"},
                     {"Case Number", caseText},
                     {"Claim Number", claimText},
                     {"Transaction Type", "I"},
                     {"Procedure Code", "INS"},
                     {"Date From", "12/10/2026"},
                     {"Amount", "-160.25"}});
  }

  std::int64_t owenCase_ = 0;
  std::int64_t claim_ = 0;
};

TEST_P(ClaimPictureOnEngine, ThePrimarySlotGathersPatientInsuredCaseProvidersAndLines) {
  const auto picture = readClaimPicture(*practice_, claim_, 1);
  ASSERT_TRUE(picture.has_value());
  EXPECT_EQ(picture->slot, 1);
  EXPECT_EQ(picture->billingMethod, "E");
  EXPECT_EQ(picture->batchNumber, 7);
  EXPECT_EQ(picture->submissionCount, 0);

  EXPECT_EQ(picture->patient.lastName, "Marwood");
  EXPECT_EQ(picture->patient.firstName, "Owen");
  EXPECT_EQ(picture->patient.middleInitial, "J");
  EXPECT_EQ(picture->patient.sex, "M");
  EXPECT_EQ(picture->patient.dateOfBirth, Date::fromYmd(2015, 4, 9));
  EXPECT_EQ(picture->patient.address.street1, "12 Maple Avenue");
  EXPECT_EQ(picture->patient.address.zipCode, "62704");
  EXPECT_EQ(picture->patient.address.phone, "(217)555-0101");
  EXPECT_EQ(picture->patientAccount, "MAROW000");
  EXPECT_EQ(picture->patientMaritalStatus, "Single");

  EXPECT_EQ(picture->policy.carrierCode, "AET");
  EXPECT_EQ(picture->policy.carrierName, "Aetherial Health");
  EXPECT_EQ(picture->policy.carrierAddress.city, "Hartford");
  EXPECT_EQ(picture->policy.payerId, "60054");
  EXPECT_EQ(picture->policy.groupName, "Gold PPO");
  EXPECT_EQ(picture->policy.carrierType, "Commercial");
  EXPECT_EQ(picture->policy.relationship, "Child");
  EXPECT_EQ(picture->policy.insured.firstName, "Celia");
  EXPECT_EQ(picture->policy.insured.sex, "F");
  EXPECT_EQ(picture->policy.insured.dateOfBirth, Date::fromYmd(1984, 2, 29));
  EXPECT_EQ(picture->policy.employerName, "Acme Mills");
  EXPECT_EQ(picture->policy.policyNumber, "W123456789");
  EXPECT_EQ(picture->policy.groupNumber, "G0042");
  EXPECT_TRUE(picture->policy.assignmentOfBenefits);
  EXPECT_TRUE(picture->policy.signatureOnFile);

  ASSERT_TRUE(picture->otherPolicy.has_value());
  EXPECT_EQ(picture->otherPolicy->carrierName, "Blue");
  EXPECT_EQ(picture->otherPolicy->policyNumber, "XBC55");
  // The second policy names no insured: the patient's own.
  EXPECT_EQ(picture->otherPolicy->relationship, "Self");
  EXPECT_EQ(picture->otherPolicy->insured.firstName, "Owen");
  EXPECT_TRUE(picture->priorPolicies.empty());

  const PictureCase& fields = picture->caseFields;
  EXPECT_EQ(fields.caseNumber, owenCase_);
  EXPECT_TRUE(fields.relatedToAccident);
  EXPECT_FALSE(fields.relatedToOtherAccident);
  EXPECT_EQ(fields.accidentState, "IL");
  EXPECT_EQ(fields.dateOfInjuryOrIllness, Date::fromYmd(2026, 11, 28));
  EXPECT_TRUE(fields.hospitalizedFrom.isEmpty());
  EXPECT_EQ(fields.priorAuthorization, "PA-77");
  ASSERT_TRUE(fields.referringProvider.has_value());
  EXPECT_EQ(fields.referringProvider->lastName, "Hale");
  EXPECT_EQ(fields.referringProvider->npi, "1093740318");
  ASSERT_TRUE(fields.facility.has_value());
  EXPECT_EQ(fields.facility->name, "Main Street Clinic");
  EXPECT_EQ(fields.facility->npi, "1234567893");

  EXPECT_EQ(picture->billingProvider.lastName, "Welby");
  EXPECT_EQ(picture->billingProvider.npi, "1245319599");
  EXPECT_EQ(picture->billingProvider.taxId, "12-3456789");
  EXPECT_FALSE(picture->billingProvider.taxIdIsSsn);
  // The first line in date order is Welby's own, so he renders too.
  EXPECT_EQ(picture->renderingProvider.lastName, "Welby");

  // The line's third code was not the claim's: it takes the next letter, C.
  const std::vector<std::string> diagnoses{"S93.401A", "R05", "M25.571"};
  EXPECT_EQ(picture->diagnoses, diagnoses);
  ASSERT_EQ(picture->lines.size(), 2U);
  const PictureLine& visit = picture->lines[0];
  EXPECT_EQ(visit.procedureCode, "99213");
  EXPECT_EQ(visit.dateFrom, Date::fromYmd(2026, 12, 1));
  EXPECT_EQ(visit.charge, Money::fromCents(9500));
  EXPECT_EQ(visit.units, 1);
  // No flags set: the line points at both codes it carries.
  EXPECT_EQ(visit.diagnosisPointers, (std::array<int, 4>{1, 2, 0, 0}));
  EXPECT_TRUE(visit.paidByEarlierPayers.isZero());
  const PictureLine& xray = picture->lines[1];
  EXPECT_EQ(xray.procedureCode, "73610");
  EXPECT_EQ(xray.modifiers[0], "RT");
  EXPECT_EQ(xray.modifiers[1], "");
  // No "Date To": the service ends the day it began.
  EXPECT_EQ(xray.dateTo, Date::fromYmd(2026, 12, 3));
  EXPECT_EQ(xray.units, 2);
  EXPECT_EQ(xray.renderingProviderCode, "CRA");
  EXPECT_EQ(xray.renderingProviderNpi, "1679576722");
  EXPECT_EQ(xray.renderingProviderLastName, "Crane");
  // Flags 2 and 3 set: R05 is B, M25.571 is C.
  EXPECT_EQ(xray.diagnosisPointers, (std::array<int, 4>{2, 3, 0, 0}));
  EXPECT_EQ(picture->totalCharge, Money::fromCents(25550));
  EXPECT_TRUE(picture->amountPaid.isZero());
  EXPECT_EQ(picture->balanceDue, Money::fromCents(25550));
}

TEST_P(ClaimPictureOnEngine, TheSecondarySlotCarriesWhatThePrimaryPaid) {
  const auto picture = readClaimPicture(*practice_, claim_, 2);
  ASSERT_TRUE(picture.has_value());
  EXPECT_EQ(picture->receiverCode, "CLR");
  EXPECT_EQ(picture->submissionCount, 1);
  EXPECT_EQ(picture->policy.carrierName, "Blue");
  EXPECT_FALSE(picture->otherPolicy.has_value());
  ASSERT_EQ(picture->priorPolicies.size(), 1U);
  EXPECT_EQ(picture->priorPolicies[0].carrierCode, "AET");
  EXPECT_EQ(picture->priorPolicies[0].insured.firstName, "Celia");
  EXPECT_EQ(picture->priorPolicies[0].paidOnClaim, Money::fromCents(16025));
  ASSERT_EQ(picture->lines.size(), 2U);
  EXPECT_EQ(picture->lines[0].paidByEarlierPayers, Money::fromCents(6000));
  EXPECT_EQ(picture->lines[1].paidByEarlierPayers, Money::fromCents(10025));
  // 60.00 + 100.25 paid of 255.50 charged.
  EXPECT_EQ(picture->amountPaid, Money::fromCents(16025));
  EXPECT_EQ(picture->balanceDue, Money::fromCents(9525));
}

TEST_P(ClaimPictureOnEngine, AMissingClaimHasNoPictureAndMissingRowsReadEmpty) {
  EXPECT_FALSE(readClaimPicture(*practice_, 9999, 1).has_value());

  // Jane Doe's claim names a provider and a carrier no row holds.
  const auto number = claim({{"Insurance Carrier 1", "NOPE"}, {"Provider", "GONE"}});
  charge(number, "40");
  const auto picture = readClaimPicture(*practice_, number, 1);
  ASSERT_TRUE(picture.has_value());
  EXPECT_EQ(picture->policy.carrierCode, "NOPE");
  EXPECT_EQ(picture->policy.carrierName, "");
  EXPECT_EQ(picture->billingProvider.code, "GONE");
  EXPECT_EQ(picture->billingProvider.npi, "");
  EXPECT_EQ(picture->patient.dateOfBirth, Date{});
  // The claim names no diagnosis; the charge's own code becomes A.
  EXPECT_EQ(picture->diagnoses, std::vector<std::string>{"R05"});
  ASSERT_EQ(picture->lines.size(), 1U);
  EXPECT_EQ(picture->lines[0].diagnosisPointers, (std::array<int, 4>{1, 0, 0, 0}));
  EXPECT_EQ(picture->totalCharge, Money::fromCents(4000));

  // An estimate claim reads the estimate tables.
  const auto estimate = claim({{"Insurance Carrier 1", "MC"}}, "QVCLAE");
  insert("QVTRNE", {{"Chart Number", "DOEJA000"},
                    {"Case Number", std::to_string(caseNumber_)},
                    {"Claim Number", std::to_string(estimate)},
                    {"Transaction Type", "A"},
                    {"Procedure Code", "D2740"},
                    {"Amount", "1200"}});
  const auto plan = readClaimPicture(*practice_, estimate, 1, true);
  ASSERT_TRUE(plan.has_value());
  EXPECT_TRUE(plan->caseFields.estimate);
  ASSERT_EQ(plan->lines.size(), 1U);
  EXPECT_EQ(plan->lines[0].procedureCode, "D2740");
  EXPECT_EQ(plan->policy.carrierName, "Medicare");
}

TEST_P(ClaimPictureOnEngine, ReadyClaimsOfASlotAndOfAReceiver) {
  const auto paper = claim({{"Insurance Carrier 1", "MC"}, {"Claim Status 1", "1"}});
  const auto electronic = claim({{"Insurance Carrier 1", "MC"},
                                 {"Claim Status 1", "1"},
                                 {"Primary Billing Method", "E"},
                                 {"EMC Receiver 1", "clr"}});
  claim({{"Insurance Carrier 1", "MC"}, {"Claim Status 1", "0"}});  // on hold
  claim({{"Claim Status 1", "1"}});                                 // no carrier
  claim({{"Insurance Carrier 1", "MC"},
         {"Claim Status 1", "1"},
         {"Primary Billing Method", "E"},
         {"EMC Receiver 1", "OTHER"}});
  const auto fifth = electronic + 3;
  EXPECT_EQ(claimsReadyToSend(*practice_, 1),
            (std::vector<std::int64_t>{paper, electronic, fifth}));
  EXPECT_EQ(claimsReadyToSend(*practice_, 1, "CLR"), std::vector<std::int64_t>{electronic});
  // Owen's claim is Sent to its first carrier and ready for its second, on no method.
  EXPECT_EQ(claimsReadyToSend(*practice_, 2), std::vector<std::int64_t>{claim_});
  EXPECT_EQ(claimsReadyToSend(*practice_, 2, "CLR"), std::vector<std::int64_t>{});
  EXPECT_EQ(claimsReadyToSend(*practice_, 1, "", true), std::vector<std::int64_t>{});
}

VANTRELL_ON_BOTH_ENGINES(ClaimPictureOnEngine);

}  // namespace
}  // namespace vantrell::claims
