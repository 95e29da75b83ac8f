#pragma once

#include <functional>

#include "store/record.hpp"

namespace vantrell::transactions {

// What decides who is responsible for a charge.
struct ResponsibilityInputs {
  const store::Record& caseRecord;
  const store::Record* procedure = nullptr;  // the line's procedure code, when on file
  // Whether the line still has an application from policy n (1 to 3): the
  // working rows first, then the stored ones.
  std::function<bool(int policy)> hasApplicationFrom;
};

// Sets the insurance and guarantor responsible and paid flags of a charge:
// every payer is responsible unless the code is for the patient only, the case
// pays cash, the code's carrier lists leave a policy out, or the case lacks
// the policy; a payer that is not responsible counts as paid.
void setResponsibility(store::Record& line, const ResponsibilityInputs& inputs);

// Whether the carrier code is an entry of a comma-separated carrier list.
bool carrierListed(const std::string& list, const std::string& carrier);

}  // namespace vantrell::transactions
