#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <variant>
#include <vector>

#include "claims/claim_checks.hpp"
#include "x12/claim_837p.hpp"

namespace vantrell::store {
class Connection;
}

// The sending program's run for one electronic claim receiver: the claims
// ready to send to it in any carrier slot are checked, those that pass are
// written as one 837P interchange into the receiver's folder, and the run
// says which claims went so that only those are marked billed.
namespace vantrell::x12 {

struct ClaimSent {
  std::int64_t claimNumber = 0;
  int slot = 1;
};

struct ClaimRefused {
  std::int64_t claimNumber = 0;
  int slot = 1;
  std::string patient;  // "Marwood, Owen"
  std::vector<claims::ClaimProblem> problems;
};

struct SendingRun {
  std::filesystem::path file;          // empty when no claim passed
  std::int64_t interchangeNumber = 0;  // 0 when nothing was written
  std::vector<ClaimSent> sent;
  std::vector<ClaimRefused> refused;
};

// Runs the receiver (its code in QVECR) on the claim tables, or on the
// estimate tables with estimate. The interchange control number is the
// receiver's "Filename ID" plus one, drawn and stored before the file is
// written, so no two runs for a receiver ever share one; the file
// "<code>_<number>.837" is written whole into "FilePath" (a temporary file
// renamed at the end, readable by the practice's group only). A receiver that
// does not exist or has no folder is an error, given as a sentence.
std::variant<SendingRun, std::string> sendClaimsToReceiver(store::Connection& practice,
                                                           const std::string& receiverCode,
                                                           bool estimate,
                                                           const CreationTime& created);

}  // namespace vantrell::x12
