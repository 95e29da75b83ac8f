#include "remittance/remittance_matching.hpp"

#include <map>
#include <set>

#include <fmt/format.h>

#include "store/names.hpp"
#include "store/table.hpp"

namespace vantrell::remittance {
namespace {

std::string trimmed(const std::string& text) {
  return std::string(store::trimRight(text));
}

std::optional<std::int64_t> wholeNumber(const std::string& text) {
  if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  return std::stoll(text);
}

bool isCharge(const store::Record& line) {
  const std::string type = trimmed(line.text("Transaction Type"));
  return !type.empty() && type < "I";
}

std::vector<std::string> modifiersOf(const store::Record& charge) {
  std::vector<std::string> modifiers;
  for (int index = 1; index <= 4; ++index) {
    const std::string modifier =
        store::upperAscii(trimmed(charge.text(fmt::format("Modifier {}", index))));
    if (!modifier.empty()) modifiers.push_back(modifier);
  }
  return modifiers;
}

std::vector<std::string> upper(const std::vector<std::string>& texts) {
  std::vector<std::string> result;
  for (const auto& text : texts) result.push_back(store::upperAscii(text));
  return result;
}

bool sameProcedure(const store::Record& charge, const ServicePayment& line) {
  return store::equalsIgnoringCase(trimmed(charge.text("Procedure Code")), line.procedure);
}

class Matcher {
 public:
  explicit Matcher(store::Connection& practice)
      : claims_(practice.openTable("QVCLA")),
        ledger_(practice.openTable("QVTRN")),
        byEntry_(practice.openTable("QVTRN")) {
    claims_.setOrder("Primary");
    ledger_.setOrder("idxChartCaseDoc");
    byEntry_.setOrder("Idxentrynumber");
  }

  ClaimMatch match(const ClaimPayment& payment) {
    ClaimMatch result;
    if (const auto number = wholeNumber(payment.claimId)) {
      if (auto claim = claims_.seek({store::Value{*number}})) {
        result.claimNumber = *number;
        result.chartNumber = store::upperAscii(trimmed(claim->text("Chart Number")));
      }
    }
    if (!result.claimNumber)
      result.reason =
          fmt::format("Claim {} is not one of this practice's claims.", payment.claimId);
    // A reversal names the charges its correction pays again, so it takes none.
    reversal_ = payment.status == "22";
    for (const auto& line : payment.lines) result.lines.push_back(matchLine(result, line));
    return result;
  }

 private:
  LineMatch matchLine(ClaimMatch& claim, const ServicePayment& line) {
    LineMatch result;
    std::string controlProblem;
    if (!line.lineControl.empty()) {
      const auto entry = wholeNumber(line.lineControl);
      auto found = entry ? byEntry_.seek({store::Value{*entry}}) : std::nullopt;
      const std::string chart =
          found ? store::upperAscii(trimmed(found->text("Chart Number"))) : "";
      if (!found || !isCharge(*found)) {
        controlProblem =
            fmt::format("the line control number {} names no charge", line.lineControl);
      } else if (!claim.chartNumber.empty() && chart != claim.chartNumber) {
        controlProblem = fmt::format("the line control number {} names a charge of {}, not of {}",
                                     line.lineControl, chart, claim.chartNumber);
      } else if (!sameProcedure(*found, line)) {
        controlProblem =
            fmt::format("the line control number {} names a charge of {}, not {}", line.lineControl,
                        trimmed(found->text("Procedure Code")), line.procedure);
      } else if (!reversal_ && taken_.count(*entry) != 0) {
        controlProblem =
            fmt::format("charge {} is paid by another line of this remittance", *entry);
      } else {
        if (!reversal_) taken_.insert(*entry);
        result.charge = std::move(*found);
        return result;
      }
    }
    if (claim.chartNumber.empty()) {
      result.reason = controlProblem.empty()
                          ? claim.reason + " The line carries no line control number."
                          : claim.reason + " And " + controlProblem + ".";
      return result;
    }
    const auto wanted = upper(line.modifiers);
    std::vector<const store::Record*> fits;
    for (const auto& charge : chargesOf(claim.chartNumber)) {
      if (charge.date("Date From") == line.serviceDate && sameProcedure(charge, line) &&
          modifiersOf(charge) == wanted && charge.money("Amount") == line.charge &&
          (reversal_ || taken_.count(charge.integer("Entry Number")) == 0))
        fits.push_back(&charge);
    }
    // Among several, the charges of the claim answered are the ones meant.
    if (fits.size() > 1) {
      std::vector<const store::Record*> onClaim;
      for (const auto* charge : fits)
        if (charge->integer("Claim Number") == *claim.claimNumber) onClaim.push_back(charge);
      fits = onClaim;
    }
    const std::string service =
        fmt::format("{} on {} for {}", line.procedure,
                    line.serviceDate.isEmpty() ? "no date" : line.serviceDate.toMonthDayYear(),
                    line.charge.toString());
    if (fits.size() == 1) {
      if (!reversal_) taken_.insert(fits.front()->integer("Entry Number"));
      result.charge = *fits.front();
    } else {
      result.reason = fmt::format(
          "{}{} of {} {}.", controlProblem.empty() ? "" : "Since " + controlProblem + ": ",
          fits.empty() ? "No charge fits" : "Several charges fit", claim.chartNumber, service);
    }
    return result;
  }

  const std::vector<store::Record>& chargesOf(const std::string& chart) {
    auto found = charges_.find(chart);
    if (found != charges_.end()) return found->second;
    std::vector<store::Record> charges;
    ledger_.setRange({store::Value{chart}}, {store::Value{chart}});
    ledger_.forEach([&](const store::Record& line) {
      if (isCharge(line)) charges.push_back(line);
    });
    return charges_.emplace(chart, std::move(charges)).first->second;
  }

  store::Table claims_;
  store::Table ledger_;
  store::Table byEntry_;
  std::map<std::string, std::vector<store::Record>> charges_;
  std::set<std::int64_t> taken_;
  bool reversal_ = false;
};

}  // namespace

std::vector<ClaimMatch> matchAdvice(store::Connection& practice, const RemittanceAdvice& advice) {
  Matcher matcher(practice);
  std::vector<ClaimMatch> matches;
  for (const auto& claim : advice.claims) matches.push_back(matcher.match(claim));
  return matches;
}

}  // namespace vantrell::remittance
