#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "common/date.hpp"
#include "common/money.hpp"

// An electronic remittance advice (ASC X12 835, 005010X221A1) read into plain
// values, before anything is matched to the ledger. Positions are segment
// numbers in the file, counted from 1 at the ISA, so a clerk and a payer's
// help desk can find the segment a message names.
namespace vantrell::remittance {

// One CAS triplet: group (CO, PR, OI, PI, CR), reason code, amount, quantity.
struct Adjustment {
  std::string group;
  std::string reason;
  Money amount;
};

// A service line (SVC loop, 2110).
struct ServicePayment {
  std::size_t position = 0;
  std::string qualifier;  // "HC" for procedure codes
  std::string procedure;
  std::vector<std::string> modifiers;
  Money charge, paid;
  double units = 1.0;
  Date serviceDate;              // DTM*472, else the claim's statement date
  std::string lineControl;       // REF*6R: the line control number we sent
  std::optional<Money> allowed;  // AMT*B6
  std::vector<Adjustment> adjustments;
  std::vector<std::string> remarks;  // LQ*HE
};

// A claim payment (CLP loop, 2100).
struct ClaimPayment {
  std::size_t position = 0;
  std::string claimId;  // CLP01: the patient control number we sent
  std::string status;   // CLP02
  Money charge, paid, patientResponsibility;
  std::string payerControl;  // CLP07
  std::string patientLast, patientFirst, patientId;
  Date statementFrom, statementTo;
  std::vector<Adjustment> adjustments;
  std::vector<ServicePayment> lines;
};

// One PLB adjustment: positive amounts reduce the payment, negative ones add.
struct ProviderAdjustment {
  std::size_t position = 0;
  std::string provider;
  std::string reason;
  std::string reference;
  Money amount;
};

// One 835 transaction set: one payment from one payer to one payee.
struct RemittanceAdvice {
  std::size_t position = 0;
  std::string controlNumber;       // ST02
  std::string handling;            // BPR01: "I" payment with remittance, "H" notification only
  Money payment;                   // BPR02, negative for a debit (BPR03 "D")
  std::string method;              // BPR04: ACH, CHK, NON, BOP, FWT
  Date paymentDate;                // BPR16
  std::string traceNumber;         // TRN02: check or EFT trace number
  std::string originator;          // TRN03
  std::string payerName, payerId;  // N1*PR, payer ID from REF*2U, N104 or TRN03
  std::string payeeName, payeeId;  // N1*PE
  std::vector<ClaimPayment> claims;
  std::vector<ProviderAdjustment> providerAdjustments;
};

struct RemittanceFile {
  std::vector<RemittanceAdvice> advices;
};

// Reads an 835 interchange: the delimiters from its ISA, every GS/ST envelope,
// each transaction's header, claims, lines and PLB. A file whose envelopes,
// segments or amounts are wrong, or whose payment does not equal its claim
// payments less its provider adjustments, is refused with one sentence naming
// the segment and its position.
std::variant<RemittanceFile, std::string> read835(std::string_view text);

// The payment an advice's claims and provider adjustments add up to.
Money balancedPayment(const RemittanceAdvice& advice);

// Words for a claim status (CLP02): "Processed as primary", "Denied", ...
std::string claimStatusText(const std::string& status);

}  // namespace vantrell::remittance
