#include "claims/claim_printing.hpp"

#include "claims/claim_list.hpp"
#include "claims/claim_picture.hpp"
#include "claims/claim_slots.hpp"
#include "store/record.hpp"
#include "store/table.hpp"

namespace vantrell::claims {

std::vector<std::int64_t> paperClaimsReadyToPrint(store::Connection& practice, int slot,
                                                  bool estimate) {
  ClaimFilter filter;
  filter.slot = slot;
  filter.billingMethod = std::string(billing_method::paper);
  filter.status = std::string(claim_status::readyToSend);
  store::Table claims = practice.openTable(claimTableName(estimate));
  claims.setOrder("Primary");
  claims.setFilter(claimFilterExpression(filter));
  std::vector<std::int64_t> numbers;
  claims.forEach([&](store::Record& claim) { numbers.push_back(claim.integer("Claim Number")); });
  return numbers;
}

ClaimFormRun claimFormRun(store::Connection& practice, const std::vector<std::int64_t>& claims,
                          int slot, const ClaimFormOptions& options, bool estimate) {
  ClaimFormRun run;
  for (std::int64_t number : claims) {
    const std::optional<ClaimPicture> picture = readClaimPicture(practice, number, slot, estimate);
    if (!picture) {
      run.missing.push_back(number);
      continue;
    }
    if (picture->policy.carrierCode.empty()) {
      run.withoutCarrier.push_back(number);
      continue;
    }
    addClaimForm(run.document, *picture, options);
    run.printed.push_back(number);
  }
  return run;
}

}  // namespace vantrell::claims
