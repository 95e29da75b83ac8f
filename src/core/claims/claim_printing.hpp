#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "claims/claim_form.hpp"
#include "printing/document.hpp"
#include "store/connection.hpp"

// A paper run of claim forms: which claims it prints and the forms of them,
// read from the practice. The run never changes a claim; marking claims billed
// is the Print/Send step's work once the printing has completed.
namespace vantrell::claims {

// The claims a paper run prints when none are named: those whose slot bills
// on paper and is Ready to Send, in claim number order.
std::vector<std::int64_t> paperClaimsReadyToPrint(store::Connection& practice, int slot,
                                                  bool estimate = false);

struct ClaimFormRun {
  printing::Document document;
  std::vector<std::int64_t> printed;  // in the order given
  // Claims left out: numbers of no claim, and claims without a carrier in the slot.
  std::vector<std::int64_t> missing;
  std::vector<std::int64_t> withoutCarrier;
};

// The forms of the claims for the slot.
ClaimFormRun claimFormRun(store::Connection& practice, const std::vector<std::int64_t>& claims,
                          int slot, const ClaimFormOptions& options, bool estimate = false);

}  // namespace vantrell::claims
