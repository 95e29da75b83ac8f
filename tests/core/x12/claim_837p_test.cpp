#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "x12/claim_837p.hpp"
#include "x12/segments.hpp"

namespace vantrell::x12 {
namespace {

using claims::ClaimPicture;
using claims::PictureLine;
using claims::PicturePerson;
using claims::PicturePolicy;
using claims::PictureProvider;

PictureProvider welby() {
  return {"WEL",
          "Welby",
          "Marcus",
          "",
          "MD",
          false,
          "1245319599",
          "12-3456789",
          false,
          "",
          {"1 Clinic Way", "", "Springfield", "IL", "62701-1234", ""}};
}

// Owen Marwood, a child insured through his mother, to her primary carrier:
// an auto accident, a referral, a facility away from the office, and a line
// another provider rendered over two days.
ClaimPicture owensClaim() {
  ClaimPicture claim;
  claim.claimNumber = 12;
  claim.slot = 1;
  claim.billingMethod = "E";
  claim.patient = {"MAROW000",
                   "Marwood",
                   "Owen",
                   "J",
                   {"12 Maple Avenue", "", "Springfield", "IL", "62704", ""},
                   Date::fromYmd(2015, 4, 9),
                   "M"};
  PicturePolicy& policy = claim.policy;
  policy.carrierCode = "AET";
  policy.carrierName = "Aetherial Health";
  policy.payerId = "60054";
  policy.carrierType = "Commercial";
  policy.insured = {"MARCE000",
                    "Marwood",
                    "Celia",
                    "",
                    {"12 Maple Avenue", "", "Springfield", "IL", "62704", ""},
                    Date::fromYmd(1984, 2, 29),
                    "F"};
  policy.relationship = "Child";
  policy.policyNumber = "W123456789";
  policy.groupNumber = "G0042";
  policy.groupName = "Gold PPO";
  claim.caseFields.relatedToAccident = true;
  claim.caseFields.accidentState = "IL";
  claim.caseFields.dateOfInjuryOrIllness = Date::fromYmd(2026, 11, 28);
  claim.caseFields.priorAuthorization = "PA-77";
  claim.caseFields.referringProvider =
      claims::PictureReferringProvider{"HAL", "Hale", "Ruth", "", "1093740318"};
  claim.caseFields.facility =
      claims::PictureFacility{"MAIN",
                              "Main Street Clinic",
                              "1234567893",
                              {"9 Main St", "", "Springfield", "IL", "62704", ""}};
  claim.billingProvider = welby();
  claim.renderingProvider = welby();
  claim.diagnoses = {"S93.401A", "R05", "M25.571"};
  PictureLine visit;
  visit.entryNumber = 101;
  visit.dateFrom = visit.dateTo = Date::fromYmd(2026, 12, 1);
  visit.placeOfService = "11";
  visit.procedureCode = "99213";
  visit.diagnosisPointers = {1, 2, 0, 0};
  visit.charge = Money::fromCents(9500);
  visit.renderingProviderCode = "WEL";
  PictureLine xray;
  xray.entryNumber = 102;
  xray.dateFrom = Date::fromYmd(2026, 12, 3);
  xray.dateTo = Date::fromYmd(2026, 12, 4);
  xray.placeOfService = "11";
  xray.procedureCode = "73610";
  xray.modifiers[0] = "RT";
  xray.diagnosisPointers = {2, 3, 0, 0};
  xray.units = 2;
  xray.charge = Money::fromCents(16050);
  xray.renderingProviderCode = "CRA";
  xray.renderingProviderNpi = "1679576722";
  xray.renderingProviderLastName = "Crane";
  xray.renderingProviderFirstName = "Ida";
  claim.lines = {visit, xray};
  claim.totalCharge = Money::fromCents(25550);
  claim.balanceDue = claim.totalCharge;
  return claim;
}

// Jane Doe, her own insured, to her second carrier after Medicare paid 60.00.
ClaimPicture janesSecondClaim() {
  ClaimPicture claim;
  claim.claimNumber = 13;
  claim.slot = 2;
  claim.billingMethod = "E";
  const PicturePerson jane{"DOEJA000",
                           "Doe",
                           "Jane",
                           "",
                           {"5 Elm Court", "", "Chatham", "IL", "62629", ""},
                           Date::fromYmd(1970, 3, 15),
                           "F"};
  claim.patient = jane;
  claim.policy.carrierCode = "BC";
  claim.policy.carrierName = "Blue";
  claim.policy.payerId = "00621";
  claim.policy.carrierType = "BC/BS";
  claim.policy.insured = jane;
  claim.policy.relationship = "Self";
  claim.policy.policyNumber = "XBC55";
  claim.policy.groupName = "Blue Choice";
  claim.policy.signatureOnFile = false;
  PicturePolicy medicare;
  medicare.carrierCode = "MC";
  medicare.carrierName = "Medicare";
  medicare.payerId = "14512";
  medicare.carrierType = "Medicare";
  medicare.insured = jane;
  medicare.relationship = "Self";
  medicare.policyNumber = "1EG4TE5MK72";
  medicare.paidOnClaim = Money::fromCents(6000);
  claim.priorPolicies = {medicare};
  claim.billingProvider = welby();
  claim.renderingProvider = welby();
  claim.diagnoses = {"R05"};
  PictureLine visit;
  visit.entryNumber = 103;
  visit.dateFrom = visit.dateTo = Date::fromYmd(2026, 12, 2);
  visit.placeOfService = "11";
  visit.procedureCode = "99214";
  visit.diagnosisPointers = {1, 0, 0, 0};
  visit.charge = Money::fromCents(14000);
  visit.paidByEarlierPayers = Money::fromCents(6000);
  visit.renderingProviderCode = "WEL";
  claim.lines = {visit};
  claim.totalCharge = Money::fromCents(14000);
  claim.amountPaid = Money::fromCents(6000);
  claim.balanceDue = Money::fromCents(8000);
  return claim;
}

Submission clearHouse() {
  Submission submission;
  submission.senderId = "VANT123";
  submission.receiverId = "CLEARHOUSE";
  submission.submitterName = "Springfield Family Practice";
  submission.contactName = "Ada Clerk";
  submission.contactPhone = "(217)555-0100";
  submission.receiverName = "Clear House";
  return submission;
}

const CreationTime sixthOfDecember{Date::fromYmd(2026, 12, 6), 7, 5};

// The lines of a text, each segment on its own.
std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

// Checks a written file by reading it back: envelopes whole, and SE01 equal to
// the segments from ST to SE counted here by their terminators.
void expectSoundEnvelopes(const std::string& text) {
  auto read = readInterchange(text);
  ASSERT_TRUE(std::holds_alternative<Interchange>(read)) << std::get<std::string>(read);
  const Interchange& interchange = std::get<Interchange>(read);
  EXPECT_EQ(envelopeProblems(interchange), std::vector<std::string>{});
  const std::size_t st = text.find("~\nST*") + 2;
  const std::size_t se = text.find("~\nSE*") + 2;
  const auto counted = std::count(text.begin() + static_cast<std::ptrdiff_t>(st),
                                  text.begin() + static_cast<std::ptrdiff_t>(se), '~') +
                       1;
  const Segment& trailer = interchange.segments[interchange.segments.size() - 3];
  ASSERT_EQ(trailer.id, "SE");
  EXPECT_EQ(trailer.element(1), std::to_string(counted));
}

TEST(Claim837P, AChildsPrimaryClaimAndASecondCarriersClaimInOneInterchange) {
  const std::string text =
      write837P({owensClaim(), janesSecondClaim()}, clearHouse(), {42, 7}, sixthOfDecember);
  // Written from the implementation guide's loops, segment by segment.
  const std::vector<std::string> expected = {
      "ISA*00*          *00*          *ZZ*VANT123        *ZZ*CLEARHOUSE     *261206*0705*^*00501*"
      "000000042*0*P*:~",
      "GS*HC*VANT123*CLEARHOUSE*20261206*0705*7*X*005010X222A1~",
      "ST*837*0001*005010X222A1~",
      "BHT*0019*00*42*20261206*0705*CH~",
      "NM1*41*2*SPRINGFIELD FAMILY PRACTICE*****46*VANT123~",
      "PER*IC*ADA CLERK*TE*2175550100~",
      "NM1*40*2*CLEAR HOUSE*****46*CLEARHOUSE~",
      // 2000A/2010AA billing provider
      "HL*1**20*1~",
      "NM1*85*1*WELBY*MARCUS****XX*1245319599~",
      "N3*1 CLINIC WAY~",
      "N4*SPRINGFIELD*IL*627011234~",
      "REF*EI*123456789~",
      // 2000B/2010BA/2010BB: Celia is the subscriber, Owen is not
      "HL*2*1*22*1~",
      "SBR*P**G0042******CI~",
      "NM1*IL*1*MARWOOD*CELIA****MI*W123456789~",
      "N3*12 MAPLE AVENUE~",
      "N4*SPRINGFIELD*IL*62704~",
      "NM1*PR*2*AETHERIAL HEALTH*****PI*60054~",
      // 2000C/2010CA patient
      "HL*3*2*23*0~",
      "PAT*19~",
      "NM1*QC*1*MARWOOD*OWEN*J~",
      "N3*12 MAPLE AVENUE~",
      "N4*SPRINGFIELD*IL*62704~",
      "DMG*D8*20150409*M~",
      // 2300 claim, 2310A referring, 2310C facility
      "CLM*12*255.5***11:B:1*Y*A*Y*Y**AA:::IL~",
      "DTP*439*D8*20261128~",
      "REF*G1*PA-77~",
      "HI*ABK:S93401A*ABF:R05*ABF:M25571~",
      "NM1*DN*1*HALE*RUTH****XX*1093740318~",
      "NM1*77*2*MAIN STREET CLINIC*****XX*1234567893~",
      "N3*9 MAIN ST~",
      "N4*SPRINGFIELD*IL*62704~",
      // 2400 lines; the second has its own rendering provider (2420A)
      "LX*1~",
      "SV1*HC:99213*95*UN*1***1:2~",
      "DTP*472*D8*20261201~",
      "REF*6R*101~",
      "LX*2~",
      "SV1*HC:73610:RT*160.5*UN*2***2:3~",
      "DTP*472*RD8*20261203-20261204~",
      "REF*6R*102~",
      "NM1*82*1*CRANE*IDA****XX*1679576722~",
      // Jane's claim: she is the subscriber, so no patient level
      "HL*4*1*22*0~",
      "SBR*S*18**BLUE CHOICE*****BL~",
      "NM1*IL*1*DOE*JANE****MI*XBC55~",
      "N3*5 ELM COURT~",
      "N4*CHATHAM*IL*62629~",
      "DMG*D8*19700315*F~",
      "NM1*PR*2*BLUE*****PI*00621~",
      "CLM*13*140***11:B:1*Y*A*Y*I~",
      "HI*ABK:R05~",
      // 2320/2330A/2330B: what Medicare paid
      "SBR*P*18*******MB~",
      "AMT*D*60~",
      "OI***Y***Y~",
      "NM1*IL*1*DOE*JANE****MI*1EG4TE5MK72~",
      "NM1*PR*2*MEDICARE*****PI*14512~",
      "LX*1~",
      "SV1*HC:99214*140*UN*1***1~",
      "DTP*472*D8*20261202~",
      "REF*6R*103~",
      "SE*58*0001~",
      "GE*1*7~",
      "IEA*1*000000042~",
  };
  EXPECT_EQ(linesOf(text), expected);
  expectSoundEnvelopes(text);
  // The fixed-width header ends at its 106th character.
  EXPECT_EQ(text.find('~'), 105U);
}

TEST(Claim837P, ATestInterchangeOfOneEstimateKeepsItsEnvelopeSound) {
  ClaimPicture claim = janesSecondClaim();
  claim.slot = 1;
  claim.priorPolicies.clear();
  claim.policy.groupNumber = "GRP 1";
  claim.caseFields.estimate = true;
  claim.caseFields.relatedToEmployment = true;
  claim.lines[0].placeOfService = "22";
  claim.lines[0].emergency = true;
  Submission submission = clearHouse();
  submission.production = false;
  const std::string text = write837P({claim}, submission, {123456789, 99}, sixthOfDecember);
  const std::vector<std::string> lines = linesOf(text);
  ASSERT_EQ(lines.size(), 29U);
  EXPECT_EQ(lines[0].substr(90), "123456789*0*T*:~");
  EXPECT_EQ(lines[13], "SBR*P*18*GRP 1******BL~");
  EXPECT_EQ(lines[19], "CLM*13*140***22:B:1*Y*A*Y*I**EM~");
  EXPECT_EQ(lines[20], "NTE*ADD*PRETREATMENT ESTIMATE - NOT A CLAIM FOR PAYMENT~");
  // The line's place is the claim's, so SV105 stays empty; SV109 marks the emergency.
  EXPECT_EQ(lines[23], "SV1*HC:99214*140*UN*1***1**Y~");
  EXPECT_EQ(lines[26], "SE*25*0001~");
  EXPECT_EQ(lines[27], "GE*1*99~");
  EXPECT_EQ(lines[28], "IEA*1*123456789~");
  expectSoundEnvelopes(text);
}

TEST(Claim837P, AGroupBillsForItsProviderAndASpouseIsThePatient) {
  ClaimPicture claim = janesSecondClaim();
  claim.slot = 1;
  claim.priorPolicies.clear();
  claim.policy.signatureOnFile = true;
  claim.policy.assignmentOfBenefits = false;
  claim.policy.carrierType = "HMO";
  // Jane is insured through her husband John.
  claim.policy.insured = {"DOEJO000",
                          "Doe",
                          "John",
                          "Q",
                          {"5 Elm Court", "", "Chatham", "IL", "62629", ""},
                          Date::fromYmd(1968, 7, 1),
                          "M"};
  claim.policy.relationship = "Spouse";
  claim.billingProvider = {"GRP",
                           "Springfield Family Practice",
                           "",
                           "",
                           "",
                           true,
                           "1003000126",
                           "123-45-6789",
                           true,
                           "",
                           {"1 Clinic Way", "Suite 2", "Springfield", "IL", "627011234", ""}};
  claim.renderingProvider = {"CRA",        "Crane", "Ida", "M", "", false,
                             "1679576722", "",      false, "",  {}};
  claim.lines[0].renderingProviderCode = "CRA";
  claim.lines[0].paidByEarlierPayers = Money{};
  const std::string text = write837P({claim}, clearHouse(), {5, 5}, sixthOfDecember);
  const std::vector<std::string> lines = linesOf(text);
  const std::vector<std::string> body(lines.begin() + 7, lines.end());
  const std::vector<std::string> expected = {
      "HL*1**20*1~",
      "NM1*85*2*SPRINGFIELD FAMILY PRACTICE*****XX*1003000126~",
      "N3*1 CLINIC WAY*SUITE 2~",
      "N4*SPRINGFIELD*IL*627011234~",
      "REF*SY*123456789~",
      "HL*2*1*22*1~",
      "SBR*P***BLUE CHOICE*****HM~",
      "NM1*IL*1*DOE*JOHN*Q***MI*XBC55~",
      "N3*5 ELM COURT~",
      "N4*CHATHAM*IL*62629~",
      "NM1*PR*2*BLUE*****PI*00621~",
      "HL*3*2*23*0~",
      "PAT*01~",
      "NM1*QC*1*DOE*JANE~",
      "N3*5 ELM COURT~",
      "N4*CHATHAM*IL*62629~",
      "DMG*D8*19700315*F~",
      "CLM*13*140***11:B:1*Y*C*N*Y~",
      "HI*ABK:R05~",
      // The rendering provider is not the group: 2310B, and the line needs no 2420A.
      "NM1*82*1*CRANE*IDA*M***XX*1679576722~",
      "LX*1~",
      "SV1*HC:99214*140*UN*1***1~",
      "DTP*472*D8*20261202~",
      "REF*6R*103~",
      "SE*30*0001~",
      "GE*1*5~",
      "IEA*1*000000005~",
  };
  EXPECT_EQ(body, expected);
  expectSoundEnvelopes(text);
}

TEST(Claim837P, NamesAndAddressesCannotSplitAnElement) {
  ClaimPicture claim = janesSecondClaim();
  claim.patient.address.street1 = "5 Elm Court: Apt*3~";
  claim.policy.insured = claim.patient;
  claim.patient.lastName = "Doe^Smith";
  claim.policy.insured.lastName = claim.patient.lastName;
  const std::string text = write837P({claim}, clearHouse(), {6, 6}, sixthOfDecember);
  const std::vector<std::string> lines = linesOf(text);
  EXPECT_EQ(lines[14], "NM1*IL*1*DOE SMITH*JANE****MI*XBC55~");
  EXPECT_EQ(lines[15], "N3*5 ELM COURT  APT 3 ~");
  expectSoundEnvelopes(text);
}

TEST(Claim837P, AmountsAndFilingIndicators) {
  EXPECT_EQ(x12Amount(Money::fromCents(9500)), "95");
  EXPECT_EQ(x12Amount(Money::fromCents(16050)), "160.5");
  EXPECT_EQ(x12Amount(Money::fromCents(1)), "0.01");
  EXPECT_EQ(x12Amount(Money::fromCents(0)), "0");
  EXPECT_EQ(x12Amount(Money::fromCents(123456789)), "1234567.89");
  EXPECT_EQ(claimFilingIndicator("Medicare"), "MB");
  EXPECT_EQ(claimFilingIndicator("medicaid"), "MC");
  EXPECT_EQ(claimFilingIndicator("Champus"), "CH");
  EXPECT_EQ(claimFilingIndicator("BC/BS"), "BL");
  EXPECT_EQ(claimFilingIndicator("HMO"), "HM");
  EXPECT_EQ(claimFilingIndicator("PPO"), "12");
  EXPECT_EQ(claimFilingIndicator("Workers Comp"), "WC");
  EXPECT_EQ(claimFilingIndicator(""), "CI");
}

}  // namespace
}  // namespace vantrell::x12
