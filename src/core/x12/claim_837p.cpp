#include "x12/claim_837p.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "x12/segments.hpp"

namespace vantrell::x12 {

namespace {

using claims::ClaimPicture;
using claims::PictureAddress;
using claims::PictureLine;
using claims::PicturePerson;
using claims::PicturePolicy;
using claims::PictureProvider;

// Names and addresses go out in capitals, as payers' systems compare them; a
// component delimiter in them would split the element, so it becomes a blank.
std::string upper(std::string text) {
  for (char& c : text)
    c = c == ':' ? ' ' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

std::string digits(const std::string& text) {
  std::string only;
  for (char c : text)
    if (c >= '0' && c <= '9') only += c;
  return only;
}

std::string ccyymmdd(const Date& date) {
  return date.isEmpty() ? std::string() : digits(date.toIso());
}

// A fixed-width ISA element: blank padded, or cut.
std::string padded(const std::string& text, std::size_t width) {
  std::string value = text.substr(0, width);
  value.resize(width, ' ');
  return value;
}

// ICD-10-CM codes travel without their dot.
std::string diagnosisCode(const std::string& code) {
  std::string bare;
  for (char c : code)
    if (c != '.') bare += c;
  return upper(bare);
}

// The patient's relationship to the insured, as PAT01 and the other
// subscriber's SBR02 code it.
std::string relationshipCode(const std::string& relationship) {
  const std::string name = upper(relationship);
  if (name == "SELF") return "18";
  if (name == "SPOUSE") return "01";
  if (name == "CHILD") return "19";
  return "G8";
}

bool patientIsSubscriber(const ClaimPicture& claim) {
  return upper(claim.policy.relationship) == "SELF" ||
         claim.policy.insured.chartNumber == claim.patient.chartNumber;
}

std::string responsibility(int slot) {
  return slot == 1 ? "P" : slot == 2 ? "S" : "T";
}

std::string units(double value) {
  return fmt::format("{}", value);
}

class Writer {
 public:
  Writer(const Submission& submission, const ControlNumbers& numbers, const CreationTime& created)
      : submission_(submission), numbers_(numbers), created_(created) {}

  std::string write(const std::vector<ClaimPicture>& claims) {
    const std::string date = ccyymmdd(created_.date);
    const std::string time = fmt::format("{:02}{:02}", created_.hour, created_.minute);
    const std::string interchange = fmt::format("{:09}", numbers_.interchange);
    out_.add("ISA",
             {"00", padded("", 10), "00", padded("", 10), submission_.senderQualifier,
              padded(upper(submission_.senderId), 15), submission_.receiverQualifier,
              padded(upper(submission_.receiverId), 15), date.substr(2), time,
              std::string(1, out_.delimiters().repetition), "00501", interchange, "0",
              submission_.production ? "P" : "T", std::string(1, out_.delimiters().component)});
    out_.add("GS", {"HC", upper(submission_.senderId), upper(submission_.receiverId), date, time,
                    std::to_string(numbers_.group), "X", "005010X222A1"});
    out_.mark();
    out_.add("ST", {"837", "0001", "005010X222A1"});
    out_.add("BHT", {"0019", "00", std::to_string(numbers_.interchange), date, time, "CH"});
    out_.add("NM1", {"41", "2", upper(submission_.submitterName), "", "", "", "", "46",
                     upper(submission_.senderId)});
    out_.add("PER", {"IC", upper(submission_.contactName), "TE", digits(submission_.contactPhone)});
    out_.add("NM1", {"40", "2", upper(submission_.receiverName), "", "", "", "", "46",
                     upper(submission_.receiverId)});

    // Claims of one billing provider share its level, in the order first met.
    std::vector<std::string> providers;
    for (const ClaimPicture& claim : claims)
      if (std::find(providers.begin(), providers.end(), claim.billingProvider.code) ==
          providers.end())
        providers.push_back(claim.billingProvider.code);
    for (const std::string& code : providers) {
      bool first = true;
      for (const ClaimPicture& claim : claims) {
        if (claim.billingProvider.code != code) continue;
        if (first) billingProvider(claim.billingProvider);
        first = false;
        this->claim(claim);
      }
    }
    out_.add("SE", {std::to_string(out_.countSinceMark() + 1), "0001"});
    out_.add("GE", {"1", std::to_string(numbers_.group)});
    out_.add("IEA", {"1", interchange});
    return out_.text();
  }

 private:
  void billingProvider(const PictureProvider& provider) {
    billingLevel_ = ++level_;
    out_.add("HL", {std::to_string(billingLevel_), "", "20", "1"});
    providerName("85", provider);
    address(provider.address);
    out_.add("REF", {provider.taxIdIsSsn ? "SY" : "EI", digits(provider.taxId)});
  }

  void providerName(const std::string& entity, const PictureProvider& provider) {
    const bool organisation = provider.organisation;
    out_.add("NM1", {entity, organisation ? "2" : "1", upper(provider.lastName),
                     organisation ? "" : upper(provider.firstName),
                     organisation ? "" : upper(provider.middleInitial), "", "",
                     provider.npi.empty() ? "" : "XX", provider.npi});
  }

  // An address the practice does not have is left out rather than sent empty.
  void address(const PictureAddress& address) {
    if (address.street1.empty() && address.city.empty()) return;
    out_.add("N3", {upper(address.street1), upper(address.street2)});
    out_.add("N4", {upper(address.city), upper(address.state), digits(address.zipCode)});
  }

  void person(const std::string& entity, const PicturePerson& person, const std::string& id) {
    out_.add("NM1", {entity, "1", upper(person.lastName), upper(person.firstName),
                     upper(person.middleInitial), "", "", id.empty() ? "" : "MI", upper(id)});
  }

  void demographics(const PicturePerson& person) {
    out_.add("DMG", {"D8", ccyymmdd(person.dateOfBirth), person.sex.empty() ? "U" : person.sex});
  }

  void claim(const ClaimPicture& claim) {
    const bool self = patientIsSubscriber(claim);
    const int subscriberLevel = ++level_;
    out_.add("HL", {std::to_string(subscriberLevel), std::to_string(billingLevel_), "22",
                    self ? "0" : "1"});
    const PicturePolicy& policy = claim.policy;
    out_.add("SBR", {responsibility(claim.slot), self ? "18" : "", upper(policy.groupNumber),
                     policy.groupNumber.empty() ? upper(policy.groupName) : "", "", "", "", "",
                     claimFilingIndicator(policy.carrierType)});
    person("IL", policy.insured, policy.policyNumber);
    address(policy.insured.address);
    if (self) demographics(policy.insured);
    out_.add("NM1",
             {"PR", "2", upper(policy.carrierName), "", "", "", "", "PI", upper(policy.payerId)});
    if (!self) {
      out_.add("HL", {std::to_string(++level_), std::to_string(subscriberLevel), "23", "0"});
      out_.add("PAT", {relationshipCode(policy.relationship)});
      person("QC", claim.patient, "");
      address(claim.patient.address);
      demographics(claim.patient);
    }
    claimInformation(claim);
  }

  void claimInformation(const ClaimPicture& claim) {
    const auto& fields = claim.caseFields;
    const std::string place = claim.lines.empty() ? "11" : claim.lines.front().placeOfService;
    std::vector<std::string> causes;
    if (fields.relatedToEmployment) causes.push_back("EM");
    if (fields.relatedToAccident) causes.push_back("AA");
    if (fields.relatedToOtherAccident) causes.push_back("OA");
    std::string related;
    if (!causes.empty()) {
      causes.resize(3);
      if (fields.relatedToAccident) causes.push_back(upper(fields.accidentState));
      related = out_.composite(causes);
    }
    out_.add("CLM",
             {std::to_string(claim.claimNumber), x12Amount(claim.totalCharge), "", "",
              out_.composite({place, "B", "1"}), "Y", claim.policy.assignmentOfBenefits ? "A" : "C",
              claim.policy.assignmentOfBenefits ? "Y" : "N",
              claim.policy.signatureOnFile ? "Y" : "I", "", related});
    if (!fields.dateOfInjuryOrIllness.isEmpty()) {
      const bool accident = fields.relatedToAccident || fields.relatedToOtherAccident;
      out_.add("DTP", {accident ? "439" : "431", "D8", ccyymmdd(fields.dateOfInjuryOrIllness)});
    }
    if (!fields.priorAuthorization.empty())
      out_.add("REF", {"G1", out_.composite({upper(fields.priorAuthorization)})});
    if (fields.estimate)
      out_.add("NTE", {"ADD", "PRETREATMENT ESTIMATE - NOT A CLAIM FOR PAYMENT"});
    std::vector<std::string> diagnoses;
    for (std::size_t index = 0; index < claim.diagnoses.size() && index < 12; ++index)
      diagnoses.push_back(
          out_.composite({index == 0 ? "ABK" : "ABF", diagnosisCode(claim.diagnoses[index])}));
    out_.add("HI", diagnoses);

    if (const auto& referring = fields.referringProvider)
      out_.add("NM1", {"DN", "1", upper(referring->lastName), upper(referring->firstName),
                       upper(referring->middleInitial), "", "", referring->npi.empty() ? "" : "XX",
                       referring->npi});
    const bool ownRendering = !claim.renderingProvider.code.empty() &&
                              claim.renderingProvider.code != claim.billingProvider.code;
    if (ownRendering) providerName("82", claim.renderingProvider);
    if (const auto& facility = fields.facility) {
      const PictureAddress& billing = claim.billingProvider.address;
      const bool elsewhere =
          upper(facility->address.street1) != upper(billing.street1) ||
          digits(facility->address.zipCode).substr(0, 5) != digits(billing.zipCode).substr(0, 5);
      if (elsewhere) {
        out_.add("NM1", {"77", "2", upper(facility->name), "", "", "", "",
                         facility->npi.empty() ? "" : "XX", facility->npi});
        address(facility->address);
      }
    }
    for (std::size_t index = 0; index < claim.priorPolicies.size(); ++index)
      otherSubscriber(claim.priorPolicies[index], static_cast<int>(index) + 1);

    const std::string claimRendering =
        ownRendering ? claim.renderingProvider.code : claim.billingProvider.code;
    int number = 0;
    for (const PictureLine& line : claim.lines) serviceLine(line, ++number, place, claimRendering);
  }

  void otherSubscriber(const PicturePolicy& policy, int slot) {
    out_.add("SBR",
             {responsibility(slot), relationshipCode(policy.relationship),
              upper(policy.groupNumber), policy.groupNumber.empty() ? upper(policy.groupName) : "",
              "", "", "", "", claimFilingIndicator(policy.carrierType)});
    out_.add("AMT", {"D", x12Amount(policy.paidOnClaim)});
    out_.add("OI", {"", "", policy.assignmentOfBenefits ? "Y" : "N", "", "", "Y"});
    person("IL", policy.insured, policy.policyNumber);
    out_.add("NM1",
             {"PR", "2", upper(policy.carrierName), "", "", "", "", "PI", upper(policy.payerId)});
  }

  void serviceLine(const PictureLine& line, int number, const std::string& claimPlace,
                   const std::string& claimRendering) {
    out_.add("LX", {std::to_string(number)});
    std::vector<std::string> procedure{"HC", upper(line.procedureCode)};
    for (const std::string& modifier : line.modifiers)
      if (!modifier.empty()) procedure.push_back(upper(modifier));
    std::vector<std::string> pointers;
    for (int pointer : line.diagnosisPointers)
      if (pointer != 0) pointers.push_back(std::to_string(pointer));
    out_.add("SV1", {out_.composite(procedure), x12Amount(line.charge), "UN", units(line.units),
                     line.placeOfService == claimPlace ? "" : line.placeOfService, "",
                     out_.composite(pointers), "", line.emergency ? "Y" : ""});
    if (line.dateTo.isEmpty() || line.dateTo == line.dateFrom)
      out_.add("DTP", {"472", "D8", ccyymmdd(line.dateFrom)});
    else
      out_.add("DTP", {"472", "RD8", ccyymmdd(line.dateFrom) + "-" + ccyymmdd(line.dateTo)});
    out_.add("REF", {"6R", std::to_string(line.entryNumber)});
    if (!line.renderingProviderCode.empty() && line.renderingProviderCode != claimRendering)
      out_.add("NM1", {"82", "1", upper(line.renderingProviderLastName),
                       upper(line.renderingProviderFirstName), "", "", "",
                       line.renderingProviderNpi.empty() ? "" : "XX", line.renderingProviderNpi});
  }

  const Submission& submission_;
  const ControlNumbers& numbers_;
  const CreationTime& created_;
  SegmentWriter out_;
  int level_ = 0;
  int billingLevel_ = 0;
};

}  // namespace

std::string write837P(const std::vector<claims::ClaimPicture>& claims, const Submission& submission,
                      const ControlNumbers& numbers, const CreationTime& created) {
  return Writer(submission, numbers, created).write(claims);
}

std::string x12Amount(Money amount) {
  std::string text = amount.toPreciseString();
  if (text.find('.') != std::string::npos) {
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
  }
  return text;
}

std::string claimFilingIndicator(const std::string& carrierType) {
  const std::string kind = upper(carrierType);
  const auto has = [&](const char* word) { return kind.find(word) != std::string::npos; };
  if (has("MEDICARE")) return "MB";
  if (has("MEDICAID")) return "MC";
  if (has("CHAMPUS") || has("TRICARE")) return "CH";
  if (has("BC/BS") || has("BLUE")) return "BL";
  if (has("HMO")) return "HM";
  if (has("PPO")) return "12";
  if (has("WORK")) return "WC";
  return "CI";
}

}  // namespace vantrell::x12
