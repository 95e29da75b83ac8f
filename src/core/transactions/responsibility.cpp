#include "transactions/responsibility.hpp"

#include <string>

#include <fmt/format.h>

#include "store/names.hpp"

namespace vantrell::transactions {
namespace {

// "Insurance {} Paid" with the policy's number in place of the braces.
std::string policyField(const char* pattern, int policy) {
  return fmt::format(fmt::runtime(pattern), policy);
}

}  // namespace

bool carrierListed(const std::string& list, const std::string& carrier) {
  // The entry as written: a blank or another letter case makes another code.
  if (carrier.empty()) return false;
  return ("," + list + ",").find("," + carrier + ",") != std::string::npos;
}

void setResponsibility(store::Record& line, const ResponsibilityInputs& inputs) {
  const std::string type = line.text("Transaction Type");
  if (type.empty()) return;
  const char kind = type[0];
  const bool isCharge = kind >= 'A' && kind <= 'H';
  if (!isCharge) {
    for (int pointer = 1; pointer <= 4; ++pointer)
      line.set("Diagnosis " + std::to_string(pointer), false);
  }
  const store::Record& caseRecord = inputs.caseRecord;
  bool responsible[4] = {true, true, true, true};  // policies 1 to 3, then the guarantor
  for (int policy = 1; policy <= 3; ++policy)
    line.set(policyField("Accept Assignment {}", policy),
             caseRecord.logical(policyField("Accept Assignment #{}", policy)));

  const bool patientOnly =
      inputs.procedure != nullptr && inputs.procedure->logical("Patient Only Responsible");
  const std::string onlyPrint =
      inputs.procedure != nullptr ? inputs.procedure->text("Only Print on Insurance") : "";
  const std::string dontPrint =
      inputs.procedure != nullptr ? inputs.procedure->text("Don't Print on Insurance") : "";
  const auto carrierOf = [&](int policy) {
    return caseRecord.text(policyField("Insurance Carrier #{}", policy));
  };
  if (patientOnly || caseRecord.logical("Cash Case")) {
    responsible[0] = responsible[1] = responsible[2] = false;
  } else if (!onlyPrint.empty()) {
    for (int policy = 1; policy <= 3; ++policy)
      responsible[policy - 1] = carrierListed(onlyPrint, carrierOf(policy));
  } else if (!dontPrint.empty()) {
    for (int policy = 1; policy <= 3; ++policy) {
      if (carrierListed(dontPrint, carrierOf(policy))) responsible[policy - 1] = false;
    }
  }
  for (int policy = 1; policy <= 3; ++policy) {
    if (carrierOf(policy).empty()) responsible[policy - 1] = false;
  }
  for (int policy = 1; policy <= 3; ++policy)
    line.set(policyField("Insurance {} Responsible", policy), responsible[policy - 1]);
  line.set("Guarantor Responsible", responsible[3]);

  // A stored charge keeps a policy's paid mark only while that policy still
  // has a payment applied to it.
  const bool stored = line.integer("Entry Number") > 0;
  if (stored && isCharge && !patientOnly) {
    for (int policy = 1; policy <= 3; ++policy) {
      const std::string paid = policyField("Insurance {} Paid", policy);
      if (carrierOf(policy).empty() || !line.logical(paid)) continue;
      line.set(paid, inputs.hasApplicationFrom && inputs.hasApplicationFrom(policy));
    }
  }
  for (int policy = 1; policy <= 3; ++policy) {
    if (!responsible[policy - 1]) line.set(policyField("Insurance {} Paid", policy), true);
  }
  if (!responsible[3]) line.set("Guarantor Paid", true);

  if (kind == 'Z' && line.integer("Claim Number") != 0) {
    for (int policy = 1; policy <= 3; ++policy) {
      line.set(policyField("Insurance {} Responsible", policy), false);
      line.set(policyField("Insurance {} Paid", policy), false);
    }
    line.set("Guarantor Responsible", false);
    line.set("Guarantor Paid", false);
  }
}

}  // namespace vantrell::transactions
