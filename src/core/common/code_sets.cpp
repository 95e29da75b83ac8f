#include "common/code_sets.hpp"

#include <array>

namespace vantrell {
namespace {

constexpr std::array<CodeMeaning, 19> offeredTransactionTypes{{
    {'A', "Procedure charge"},
    {'B', "Product charge"},
    {'C', "Inside lab charge"},
    {'D', "Outside lab charge"},
    {'H', "Billing charge"},
    {'G', "Tax"},
    {'Z', "Comment"},
    {'I', "Insurance payment"},
    {'J', "Cash copayment"},
    {'K', "Check copayment"},
    {'L', "Credit card copayment"},
    {'M', "Cash payment"},
    {'N', "Check payment"},
    {'O', "Credit card payment"},
    {'P', "Deductible"},
    {'S', "Adjustment"},
    {'T', "Insurance Adjustment"},
    {'U', "Insurance Withhold Adjustment"},
    {'V', "Insurance Take Back Adjustment"},
}};

constexpr std::array<CodeMeaning, 19> documentationTypeTable{{
    {'1', "EDI: Anesthesia Time"},
    {'2', "EDI: Added Ambulance Service Information"},
    {'3', "EDI: Podiatry Class Finding Codes"},
    {'4', "EDI: Unclassified procedure description"},
    {'5', "EDI: Radiation therapy-Actual dates of service"},
    {'6', "EDI: Special conditions"},
    {'B', "Explanation of Benefits (MSP or COB)"},
    {'C', "Diagnostic Report"},
    {'D', "Operative Note"},
    {'E', "PEN Certification"},
    {'F', "Ambulance Certification"},
    {'G', "Physical Therapy Certification"},
    {'H', "Chiropractic Justification"},
    {'I', "Prosthetics/Orthotic Certification"},
    {'J', "Oxygen Prescription"},
    {'S', "Statement Note"},
    {'T', "Transaction Note (internal use only)"},
    {'Y', "Multiple Documentation Items"},
    {'Z', "Other"},
}};

}  // namespace

TransactionGroup transactionGroup(char type) {
  if (type >= 'A' && type <= 'H') return TransactionGroup::Charge;
  if (type >= 'I' && type <= 'R') return TransactionGroup::Payment;
  if (type >= 'S' && type <= 'Y') return TransactionGroup::Adjustment;
  if (type == 'Z') return TransactionGroup::Comment;
  return TransactionGroup::Unknown;
}

std::span<const CodeMeaning> transactionTypesInOfferOrder() { return offeredTransactionTypes; }

std::optional<std::string_view> transactionTypeMeaning(char type) {
  for (const auto& entry : offeredTransactionTypes) {
    if (entry.code == type) return entry.meaning;
  }
  return std::nullopt;
}

std::optional<Payer> payerFromCode(char code) {
  switch (code) {
    case '1': return Payer::Insurance1;
    case '2': return Payer::Insurance2;
    case '3': return Payer::Insurance3;
    case 'G': return Payer::Guarantor;
    case 'A': return Payer::Attorney;
    case ' ':
    case '\0': return Payer::None;
    default: return std::nullopt;
  }
}

char payerCode(Payer payer) {
  switch (payer) {
    case Payer::Insurance1: return '1';
    case Payer::Insurance2: return '2';
    case Payer::Insurance3: return '3';
    case Payer::Guarantor: return 'G';
    case Payer::Attorney: return 'A';
    case Payer::None: break;
  }
  return ' ';
}

std::optional<char> effectiveInsuranceCategory(char category) {
  if (category == ' ' || category == '\0') return 'A';
  if (category >= 'A' && category <= 'H') return category;
  return std::nullopt;
}

std::span<const CodeMeaning> documentationTypes() { return documentationTypeTable; }

}  // namespace vantrell
