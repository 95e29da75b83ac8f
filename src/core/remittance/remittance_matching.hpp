#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "remittance/remittance_835.hpp"
#include "store/connection.hpp"
#include "store/record.hpp"

// Finding the ledger charge each service line pays and the claim each claim
// payment answers. Nothing is guessed: a line is matched only when exactly one
// charge fits it, else it says why not.
namespace vantrell::remittance {

struct LineMatch {
  std::optional<store::Record> charge;
  std::string reason;  // why there is no charge, in words
};

struct ClaimMatch {
  std::optional<std::int64_t> claimNumber;
  std::string chartNumber;
  std::string reason;            // why there is no claim
  std::vector<LineMatch> lines;  // one per service line of the claim payment
};

// A charge is found by the line control number (REF*6R, our ledger entry)
// when that entry is a charge of the claim's patient with the line's
// procedure; otherwise by the claim's patient, date of service, procedure,
// modifiers and charge amount. A charge is matched to one line of the advice
// at most.
std::vector<ClaimMatch> matchAdvice(store::Connection& practice, const RemittanceAdvice& advice);

}  // namespace vantrell::remittance
