#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "store/connection.hpp"

namespace vantrell::reference {

// The kind of code whose references a delete must search.
enum class CodeKind {
  ProcedureCode,
  InsuranceCarrier,
  InsuranceClass,
  Provider,
  ReferringProvider,
  DiagnosisCode,
  Address,
  EdiReceiver,
  BillingCode,
  ClaimRejectionCode,
};

// A place that may hold a code: a table (live or archive) and a field. A list
// field holds codes separated by commas (a procedure code's carrier lists).
struct ReferencePlace {
  const char* table;
  const char* field;
  bool commaSeparatedList = false;
};

// The places searched before a code of the kind is deleted, in order.
std::span<const ReferencePlace> referencePlaces(CodeKind kind);
// The record kind the refusal names: "procedure code", "insurance carrier", ...
const char* recordKindName(CodeKind kind);

// The first place that refers to the code (tables that do not exist are
// skipped), or no value.
std::optional<ReferencePlace> firstReference(store::Connection& practice, CodeKind kind, const std::string& code);
// "This procedure code record is currently being used in the Link Code 3 field
// of the QVMUL table and cannot be deleted."
std::string referenceRefusal(CodeKind kind, const ReferencePlace& place);

}  // namespace vantrell::reference
