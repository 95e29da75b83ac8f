#pragma once

#include <optional>
#include <span>
#include <string_view>

namespace vantrell {

// Transaction Type: one letter taken from the procedure code's Type.
enum class TransactionGroup { Charge, Payment, Adjustment, Comment, Unknown };

// A to H charges, I to R payments, S to Y adjustments, Z comment.
TransactionGroup transactionGroup(char type);
inline bool isCharge(char type) { return transactionGroup(type) == TransactionGroup::Charge; }
inline bool isPayment(char type) { return transactionGroup(type) == TransactionGroup::Payment; }
inline bool isAdjustment(char type) { return transactionGroup(type) == TransactionGroup::Adjustment; }

struct CodeMeaning {
  char code;
  std::string_view meaning;
};

// The types a user may choose, in the order the entry screen offers them.
std::span<const CodeMeaning> transactionTypesInOfferOrder();
std::optional<std::string_view> transactionTypeMeaning(char type);

// Who Paid: the payer of a payment entry or application row.
enum class Payer { Insurance1, Insurance2, Insurance3, Guarantor, Attorney, None };
std::optional<Payer> payerFromCode(char code);  // ' ' (or '\0') is None: an adjustment
char payerCode(Payer payer);

// Insurance Category A to H; blank counts as A. Returns no value outside A-H.
std::optional<char> effectiveInsuranceCategory(char category);

std::span<const CodeMeaning> documentationTypes();
inline constexpr char newEntryDocumentationType = 'T';

}  // namespace vantrell
