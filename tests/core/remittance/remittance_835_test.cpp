// The 835 reader against a file written by hand from the implementation
// guide, in delimiters of its own, and the same file spoiled one way at a time.
#include <gtest/gtest.h>

#include <string>
#include <variant>

#include "remittance/remittance_835.hpp"
#include "support/money_printing.hpp"

namespace vantrell::remittance {
namespace {

// "|" elements, ">" components, as its ISA declares. Segment positions: ISA 1,
// GS 2, ST 3, BPR 4, TRN 5, ..., CLP 10, SVC 13, DTM*472 14, CAS 15-16, PLB 20.
const std::string goodFile =
    "ISA|00|          |00|          |ZZ|PAYER1         |ZZ|PRACTICE1      |261201|1200|^|00501|"
    "000000001|0|P|>~\n"
    "GS|HP|PAYER1|PRACTICE1|20261201|1200|1|X|005010X221A1~\n"
    "ST|835|0001|005010X221A1~\n"
    "BPR|I|150|C|CHK||||||||||||20261201~\n"
    "TRN|1|CHK1001|1999999999~\n"
    "N1|PR|ACME HEALTH~\n"
    "REF|2U|77001~\n"
    "N1|PE|TEST CLINIC|XX|1234567893~\n"
    "LX|1~\n"
    "CLP|C1|1|100|70|10|12|PCN1~\n"
    "NM1|QC|1|DOE|JANE~\n"
    "DTM|232|20261101~\n"
    "SVC|HC>99213>25>59|100|70||1~\n"
    "DTM|472|20261102~\n"
    "CAS|CO|45|15||253|5~\n"
    "CAS|PR|2|10~\n"
    "REF|6R|501~\n"
    "AMT|B6|80~\n"
    "LQ|HE|N130~\n"
    "PLB|1234567893|20261231|L6>INT|-80~\n"
    "SE|19|0001~\n"
    "GE|1|1~\n"
    "IEA|1|000000001~\n";

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  const auto at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return text.replace(at, from.size(), to);
}

TEST(Read835, ReadsEveryPartWithTheDelimitersItsHeaderDeclares) {
  const auto read = read835(goodFile);
  ASSERT_TRUE(std::holds_alternative<RemittanceFile>(read)) << std::get<std::string>(read);
  const auto& advices = std::get<RemittanceFile>(read).advices;
  ASSERT_EQ(advices.size(), 1u);
  const RemittanceAdvice& advice = advices[0];
  EXPECT_EQ(advice.payment, Money::fromCents(15000));
  EXPECT_EQ(advice.method, "CHK");
  EXPECT_EQ(advice.paymentDate, Date::fromYmd(2026, 12, 1));
  EXPECT_EQ(advice.traceNumber, "CHK1001");
  EXPECT_EQ(advice.payerId, "77001");
  EXPECT_EQ(advice.payeeId, "1234567893");
  ASSERT_EQ(advice.claims.size(), 1u);
  const ClaimPayment& claim = advice.claims[0];
  EXPECT_EQ(claim.claimId, "C1");
  EXPECT_EQ(claim.status, "1");
  EXPECT_EQ(claim.patientLast, "DOE");
  EXPECT_EQ(claim.patientResponsibility, Money::fromCents(1000));
  ASSERT_EQ(claim.lines.size(), 1u);
  const ServicePayment& line = claim.lines[0];
  EXPECT_EQ(line.procedure, "99213");
  EXPECT_EQ(line.modifiers, (std::vector<std::string>{"25", "59"}));
  EXPECT_EQ(line.charge, Money::fromCents(10000));
  EXPECT_EQ(line.paid, Money::fromCents(7000));
  EXPECT_EQ(line.serviceDate, Date::fromYmd(2026, 11, 2));
  EXPECT_EQ(line.lineControl, "501");
  EXPECT_EQ(line.allowed, Money::fromCents(8000));
  ASSERT_EQ(line.adjustments.size(), 3u);
  EXPECT_EQ(line.adjustments[1].group, "CO");
  EXPECT_EQ(line.adjustments[1].reason, "253");
  EXPECT_EQ(line.adjustments[1].amount, Money::fromCents(500));
  EXPECT_EQ(line.adjustments[2].group, "PR");
  EXPECT_EQ(line.remarks, (std::vector<std::string>{"N130"}));
  ASSERT_EQ(advice.providerAdjustments.size(), 1u);
  EXPECT_EQ(advice.providerAdjustments[0].reason, "L6");
  EXPECT_EQ(advice.providerAdjustments[0].reference, "INT");
  EXPECT_EQ(advice.providerAdjustments[0].amount, Money::fromCents(-8000));
}

TEST(Read835, ABadFileIsRefusedNamingTheSegmentAndItsPosition) {
  struct Case {
    const char* name;
    std::string text;
    std::string message;
  };
  const Case cases[] = {
      {"no interchange", goodFile.substr(goodFile.find("GS|")),
       "The file does not begin with an interchange header (ISA)."},
      {"another transaction set", replaced(goodFile, "ST|835|", "ST|837|"),
       "Segment 3 (ST): the transaction set is \"837\", not an 835."},
      {"an amount with a letter", replaced(goodFile, "CLP|C1|1|100|70|", "CLP|C1|1|100|7O|"),
       "Segment 10 (CLP): element 4 \"7O\" is not an amount."},
      {"a payment beyond the cent, though the line balances",
       replaced(replaced(replaced(replaced(goodFile, "|100|70||1~", "|100|70.005||1~"),
                                  "CAS|CO|45|15|", "CAS|CO|45|14.995|"),
                         "CLP|C1|1|100|70|", "CLP|C1|1|100|70.005|"),
                "BPR|I|150|", "BPR|I|150.005|"),
       "Segment 4 (BPR): element 2 \"150.005\" is not an amount to the cent."},
      {"an amount beyond the range of money",
       replaced(goodFile, "CLP|C1|1|100|70|", "CLP|C1|1|100|99999999999999999|"),
       "Segment 10 (CLP): element 4 \"99999999999999999\" is not an amount."},
      {"an unknown adjustment group", replaced(goodFile, "CAS|PR|", "CAS|XX|"),
       "Segment 16 (CAS): \"XX\" is not an adjustment group code."},
      {"an impossible date", replaced(goodFile, "DTM|472|20261102", "DTM|472|20261302"),
       "Segment 14 (DTM): element 2 \"20261302\" is not a date (CCYYMMDD)."},
      {"no trace number", replaced(goodFile, "TRN|1|CHK1001|", "TRN|1||"),
       "Segment 5 (TRN): the trace number (TRN02) is missing."},
      {"a line that does not balance", replaced(goodFile, "|100|70||1~", "|100|75||1~"),
       "Segment 13 (SVC): the line of claim C1 does not balance: charge 100.00 less payment 75.00 "
       "is 25.00, its adjustments are 30.00."},
      {"a payment that is not the claims less the PLB",
       replaced(goodFile, "BPR|I|150|", "BPR|I|149.99|"),
       "Segment 4 (BPR): the payment 149.99 is not the claim payments less the provider "
       "adjustments, 150.00; nothing is posted from this file."},
      {"a wrong segment count", replaced(goodFile, "SE|19|", "SE|18|"),
       "SE01 of transaction set 0001 counts 18 segments; it has 19."},
  };
  for (const auto& [name, text, message] : cases) {
    const auto read = read835(text);
    ASSERT_TRUE(std::holds_alternative<std::string>(read)) << name;
    EXPECT_EQ(std::get<std::string>(read), message) << name;
  }
}

}  // namespace
}  // namespace vantrell::remittance
