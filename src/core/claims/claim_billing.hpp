#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/date.hpp"
#include "practice/options.hpp"
#include "store/connection.hpp"
#include "ui/prompter.hpp"

// What a claim carries once it has been billed to a carrier, on paper or
// electronically: one update for both kinds of output, run after the output
// has completed and only for the claims that actually went.
namespace vantrell::claims {

struct BilledClaim {
  std::int64_t claimNumber = 0;
  int slot = 1;  // the carrier billed: 1, 2 or 3
};

struct ClaimBillingRun {
  std::vector<BilledClaim> claims;
  Date billingDate;
  bool estimate = false;
};

struct ClaimBillingOutcome {
  std::int64_t batch = 0;  // the run's batch, given to slots that have none
  std::vector<std::int64_t> updated;
  std::vector<std::int64_t> inUse;  // held by another workstation: left as they were
  std::int64_t billingNotes = 0;
};

// For each claim's slot n: the initial billing date n when it has none, the
// slot's billing date, the run's batch when the slot has none, status Sent,
// one more submission, its charges billed to insured n, and a billing note
// when the options ask for one. A claim another workstation holds is left
// unchanged and the in-use message is shown once; a number of no claim is
// skipped.
ClaimBillingOutcome recordClaimsBilled(store::Connection& practice,
                                       const practice::Options& options, ui::Prompter& prompter,
                                       const ClaimBillingRun& run);

inline constexpr const char* claimBilledStatusInUse =
    "The current record is in use.  The claim(s) have been processed,\rbut the billed status "
    "cannot be updated at this time.  Print or\rexport these claims.  This will ensure correct "
    "status.";

}  // namespace vantrell::claims
