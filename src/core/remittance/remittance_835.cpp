#include "remittance/remittance_835.hpp"

#include <fmt/format.h>

#include "x12/segments.hpp"

namespace vantrell::remittance {
namespace {

// A refusal of the file, with the sentence that names its segment.
struct FileError {
  std::string message;
};

std::string where(const x12::Segment& segment, std::size_t position) {
  return fmt::format("Segment {} ({})", position, segment.id);
}

// X12 decimals: an optional minus, digits, at most one point; no grouping.
Money amountOf(const x12::Segment& segment, std::size_t position, std::size_t element,
               bool required = true) {
  const std::string& text = segment.element(element);
  if (text.empty()) {
    if (!required) return {};
    throw FileError{
        fmt::format("{}: element {} (an amount) is missing.", where(segment, position), element)};
  }
  bool digits = false;
  bool point = false;
  for (std::size_t index = 0; index < text.size(); ++index) {
    const char c = text[index];
    if (c >= '0' && c <= '9') {
      digits = true;
    } else if (c == '.' && !point) {
      point = true;
    } else if (!(c == '-' && index == 0)) {
      digits = false;
      break;
    }
  }
  const auto amount = digits ? Money::parse(text) : std::nullopt;
  if (!amount)
    throw FileError{fmt::format("{}: element {} \"{}\" is not an amount.", where(segment, position),
                                element, text)};
  // A payer pays and adjusts in cents; a fraction of a cent would be posted as typed.
  if (amount->tenThousandths() % 100 != 0)
    throw FileError{fmt::format("{}: element {} \"{}\" is not an amount to the cent.",
                                where(segment, position), element, text)};
  return *amount;
}

Date dateOf(const x12::Segment& segment, std::size_t position, std::size_t element) {
  const std::string& text = segment.element(element);
  if (text.size() == 8 && text.find_first_not_of("0123456789") == std::string::npos) {
    if (auto date = Date::parse(text.substr(0, 4) + "-" + text.substr(4, 2) + "-" + text.substr(6)))
      return *date;
  }
  throw FileError{fmt::format("{}: element {} \"{}\" is not a date (CCYYMMDD).",
                              where(segment, position), element, text)};
}

void require(bool condition, const x12::Segment& segment, std::size_t position,
             const std::string& what) {
  if (!condition) throw FileError{fmt::format("{}: {}", where(segment, position), what)};
}

// CAS: a group code, then up to six reason, amount, quantity triplets.
std::vector<Adjustment> adjustmentsOf(const x12::Segment& segment, std::size_t position) {
  const std::string& group = segment.element(1);
  require(group == "CO" || group == "PR" || group == "OI" || group == "PI" || group == "CR",
          segment, position, fmt::format("\"{}\" is not an adjustment group code.", group));
  std::vector<Adjustment> adjustments;
  for (std::size_t element = 2; element <= 17; element += 3) {
    if (segment.element(element).empty()) {
      require(segment.element(element + 1).empty(), segment, position,
              fmt::format("element {} has an amount without a reason code.", element + 1));
      continue;
    }
    adjustments.push_back(
        {group, segment.element(element), amountOf(segment, position, element + 1)});
  }
  require(!adjustments.empty(), segment, position, "it has no reason code.");
  return adjustments;
}

Money sum(const std::vector<Adjustment>& adjustments) {
  Money total;
  for (const auto& adjustment : adjustments) total += adjustment.amount;
  return total;
}

// The balances the guide asks of every claim and line: charge less payment
// equals the adjustments.
void checkBalances(const ClaimPayment& claim) {
  Money adjusted = sum(claim.adjustments);
  for (const auto& line : claim.lines) {
    const Money lineAdjusted = sum(line.adjustments);
    if (line.charge - line.paid != lineAdjusted)
      throw FileError{fmt::format(
          "Segment {} (SVC): the line of claim {} does not balance: charge {} less payment {} is "
          "{}, its adjustments are {}.",
          line.position, claim.claimId, line.charge.toString(), line.paid.toString(),
          (line.charge - line.paid).toString(), lineAdjusted.toString())};
    adjusted += lineAdjusted;
  }
  if (claim.charge - claim.paid != adjusted)
    throw FileError{fmt::format(
        "Segment {} (CLP): claim {} does not balance: charge {} less payment {} is {}, its "
        "adjustments are {}.",
        claim.position, claim.claimId, claim.charge.toString(), claim.paid.toString(),
        (claim.charge - claim.paid).toString(), adjusted.toString())};
}

class Reader {
 public:
  explicit Reader(const x12::Interchange& interchange) : interchange_(interchange) {}

  RemittanceFile read() {
    RemittanceFile file;
    const auto& segments = interchange_.segments;
    for (std::size_t index = 0; index < segments.size(); ++index) {
      const x12::Segment& segment = segments[index];
      const std::size_t position = index + 1;
      if (segment.id == "GS") {
        require(segment.element(1) == "HP", segment, position,
                fmt::format("the functional group is \"{}\", not HP (health care claim payment).",
                            segment.element(1)));
      } else if (segment.id == "ST") {
        require(segment.element(1) == "835", segment, position,
                fmt::format("the transaction set is \"{}\", not an 835.", segment.element(1)));
        advice_.emplace();
        advice_->position = position;
        advice_->controlNumber = segment.element(2);
        claim_ = nullptr;
        line_ = nullptr;
      } else if (segment.id == "SE") {
        finishAdvice(segment, position);
        file.advices.push_back(std::move(*advice_));
        advice_.reset();
      } else if (advice_) {
        readBody(segment, position);
      }
    }
    require(!file.advices.empty(), segments.front(), 1, "the interchange holds no 835.");
    return file;
  }

 private:
  void readBody(const x12::Segment& segment, std::size_t position) {
    RemittanceAdvice& advice = *advice_;
    const std::string& id = segment.id;
    const bool first = position == advice.position + 1;
    if (first)
      require(id == "BPR", segment, position, "the 835 does not begin with its payment (BPR).");
    if (id == "BPR") {
      require(first, segment, position, "a second payment (BPR) in one 835.");
      advice.handling = segment.element(1);
      advice.payment = amountOf(segment, position, 2);
      require(segment.element(3) == "C" || segment.element(3) == "D", segment, position,
              fmt::format("\"{}\" is neither credit (C) nor debit (D).", segment.element(3)));
      if (segment.element(3) == "D") advice.payment = -advice.payment;
      advice.method = segment.element(4);
      advice.paymentDate = dateOf(segment, position, 16);
    } else if (id == "TRN") {
      advice.traceNumber = segment.element(2);
      advice.originator = segment.element(3);
      require(!advice.traceNumber.empty(), segment, position,
              "the trace number (TRN02) is missing.");
    } else if (id == "N1") {
      if (segment.element(1) == "PR") {
        party_ = 'R';
        advice.payerName = segment.element(2);
        if (!segment.element(4).empty()) advice.payerId = segment.element(4);
      } else if (segment.element(1) == "PE") {
        party_ = 'E';
        advice.payeeName = segment.element(2);
        advice.payeeId = segment.element(4);
      } else {
        party_ = ' ';
      }
    } else if (id == "REF" && claim_ == nullptr && party_ == 'R' && segment.element(1) == "2U") {
      advice.payerId = segment.element(2);
    } else if (id == "CLP") {
      require(!advice.traceNumber.empty(), segment, position,
              "a claim payment comes before the trace number (TRN).");
      ClaimPayment claim;
      claim.position = position;
      claim.claimId = segment.element(1);
      require(!claim.claimId.empty(), segment, position, "the claim's control number is missing.");
      claim.status = segment.element(2);
      require(!claim.status.empty(), segment, position, "the claim status is missing.");
      claim.charge = amountOf(segment, position, 3);
      claim.paid = amountOf(segment, position, 4);
      claim.patientResponsibility = amountOf(segment, position, 5, false);
      claim.payerControl = segment.element(7);
      advice.claims.push_back(std::move(claim));
      claim_ = &advice.claims.back();
      line_ = nullptr;
    } else if (id == "CAS") {
      require(claim_ != nullptr, segment, position, "an adjustment (CAS) outside a claim.");
      auto read = adjustmentsOf(segment, position);
      auto& into = line_ != nullptr ? line_->adjustments : claim_->adjustments;
      into.insert(into.end(), read.begin(), read.end());
    } else if (id == "NM1" && claim_ != nullptr && line_ == nullptr && segment.element(1) == "QC") {
      claim_->patientLast = segment.element(3);
      claim_->patientFirst = segment.element(4);
      claim_->patientId = segment.element(9);
    } else if (id == "DTM" && claim_ != nullptr) {
      const std::string& qualifier = segment.element(1);
      if (line_ != nullptr && (qualifier == "472" || qualifier == "150")) {
        line_->serviceDate = dateOf(segment, position, 2);
      } else if (line_ == nullptr && qualifier == "232") {
        claim_->statementFrom = dateOf(segment, position, 2);
      } else if (line_ == nullptr && qualifier == "233") {
        claim_->statementTo = dateOf(segment, position, 2);
      }
    } else if (id == "SVC") {
      require(claim_ != nullptr, segment, position, "a service line (SVC) outside a claim.");
      ServicePayment line;
      line.position = position;
      const char delimiter = interchange_.delimiters.component;
      line.qualifier = segment.component(1, 1, delimiter);
      line.procedure = segment.component(1, 2, delimiter);
      require(!line.procedure.empty(), segment, position, "the procedure code is missing.");
      for (std::size_t index = 3; index <= 6; ++index)
        if (auto modifier = segment.component(1, index, delimiter); !modifier.empty())
          line.modifiers.push_back(modifier);
      line.charge = amountOf(segment, position, 2);
      line.paid = amountOf(segment, position, 3);
      const std::string& units = segment.element(5);
      if (!units.empty()) {
        const auto parsed = Money::parse(units);
        require(parsed.has_value(), segment, position,
                fmt::format("element 5 \"{}\" is not a number of units.", units));
        line.units = parsed->toDouble();
      }
      line.serviceDate = claim_->statementFrom;
      claim_->lines.push_back(std::move(line));
      line_ = &claim_->lines.back();
    } else if (id == "REF" && line_ != nullptr && segment.element(1) == "6R") {
      line_->lineControl = segment.element(2);
    } else if (id == "AMT" && line_ != nullptr && segment.element(1) == "B6") {
      line_->allowed = amountOf(segment, position, 2);
    } else if (id == "LQ" && line_ != nullptr && segment.element(1) == "HE") {
      line_->remarks.push_back(segment.element(2));
    } else if (id == "PLB") {
      claim_ = nullptr;
      line_ = nullptr;
      for (std::size_t element = 3; element <= 13; element += 2) {
        if (segment.element(element).empty()) continue;
        ProviderAdjustment adjustment;
        adjustment.position = position;
        adjustment.provider = segment.element(1);
        const char delimiter = interchange_.delimiters.component;
        adjustment.reason = segment.component(element, 1, delimiter);
        adjustment.reference = segment.component(element, 2, delimiter);
        adjustment.amount = amountOf(segment, position, element + 1);
        advice.providerAdjustments.push_back(adjustment);
      }
    }
  }

  void finishAdvice(const x12::Segment& segment, std::size_t position) {
    require(advice_.has_value(), segment, position, "it closes no transaction set.");
    RemittanceAdvice& advice = *advice_;
    require(!advice.handling.empty(), segment, position, "the 835 has no payment (BPR).");
    require(!advice.traceNumber.empty(), segment, position, "the 835 has no trace number (TRN).");
    if (advice.payerId.empty()) {
      // TRN03 is "1" and the payer's tax ID when nothing names the payer better.
      advice.payerId = advice.originator.size() > 1 && advice.originator[0] == '1'
                           ? advice.originator.substr(1)
                           : advice.originator;
    }
    for (const auto& claim : advice.claims) checkBalances(claim);
    const Money owed = balancedPayment(advice);
    if (owed != advice.payment)
      throw FileError{fmt::format(
          "Segment {} (BPR): the payment {} is not the claim payments less the provider "
          "adjustments, {}; nothing is posted from this file.",
          advice.position + 1, advice.payment.toString(), owed.toString())};
  }

  const x12::Interchange& interchange_;
  std::optional<RemittanceAdvice> advice_;
  ClaimPayment* claim_ = nullptr;
  ServicePayment* line_ = nullptr;
  char party_ = ' ';
};

}  // namespace

Money balancedPayment(const RemittanceAdvice& advice) {
  Money total;
  for (const auto& claim : advice.claims) total += claim.paid;
  for (const auto& adjustment : advice.providerAdjustments) total -= adjustment.amount;
  return total;
}

std::variant<RemittanceFile, std::string> read835(std::string_view text) {
  auto read = x12::readInterchange(text);
  if (auto* message = std::get_if<std::string>(&read)) return *message;
  const auto& interchange = std::get<x12::Interchange>(read);
  if (const auto problems = x12::envelopeProblems(interchange); !problems.empty())
    return problems.front();
  try {
    return Reader(interchange).read();
  } catch (const FileError& error) {
    return error.message;
  }
}

std::string claimStatusText(const std::string& status) {
  if (status == "1") return "Processed as primary";
  if (status == "2") return "Processed as secondary";
  if (status == "3") return "Processed as tertiary";
  if (status == "4") return "Denied";
  if (status == "19") return "Processed as primary, forwarded to additional payer(s)";
  if (status == "20") return "Processed as secondary, forwarded to additional payer(s)";
  if (status == "21") return "Processed as tertiary, forwarded to additional payer(s)";
  if (status == "22") return "Reversal of previous payment";
  if (status == "23") return "Not our claim, forwarded to additional payer(s)";
  if (status == "25") return "Predetermination pricing only, no payment";
  return "Claim status " + status;
}

}  // namespace vantrell::remittance
