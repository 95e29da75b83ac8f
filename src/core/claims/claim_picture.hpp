#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/date.hpp"
#include "common/money.hpp"

namespace vantrell::store {
class Connection;
}

// Everything one claim billed to one carrier slot needs to leave the practice,
// on paper or electronically, gathered once from the practice tables so that
// the claim form, the claim checks and the electronic claim writer read plain
// values and never the store.
namespace vantrell::claims {

struct PictureAddress {
  std::string street1;
  std::string street2;
  std::string city;
  std::string state;
  std::string zipCode;
  std::string phone;
};

struct PicturePerson {
  std::string chartNumber;  // empty for a person who is not a chart (insured of another policy)
  std::string lastName;
  std::string firstName;
  std::string middleInitial;
  PictureAddress address;
  Date dateOfBirth;
  std::string sex;  // "M", "F" or empty when unknown
};

// One policy of the case as the claim shows it.
struct PicturePolicy {
  std::string carrierCode;
  std::string carrierName;
  PictureAddress carrierAddress;
  std::string payerId;  // the carrier's electronic payer ID
  PicturePerson insured;
  // The patient's relationship to the insured as the case stores it:
  // "Self", "Spouse", "Child", "Other".
  std::string relationship;
  std::string policyNumber;
  std::string groupNumber;
  std::string groupName;     // the insured's employer or plan name
  std::string employerName;  // the insured's employer
  Date policyStart;
  Date policyEnd;
  bool assignmentOfBenefits = true;
  bool signatureOnFile = true;
  // The carrier's kind as the carrier list stores it ("Medicare", "Medicaid",
  // "BC/BS", "Champus", "HMO", "PPO", "Commercial", ...).
  std::string carrierType;
  // What this carrier paid on the claim's lines (filled for earlier policies).
  Money paidOnClaim;
};

// A provider as the claim names it: the billing provider (the practice or the
// claim's provider) and the rendering provider of the lines.
struct PictureProvider {
  std::string code;
  std::string lastName;  // for an organisation the whole name
  std::string firstName;
  std::string middleInitial;
  std::string credentials;
  bool organisation = false;
  std::string npi;
  std::string taxId;        // as stored, with or without its dash
  bool taxIdIsSsn = false;  // an individual's social security number instead of an EIN
  std::string taxonomy;
  PictureAddress address;
};

struct PictureFacility {
  std::string code;
  std::string name;
  std::string npi;
  PictureAddress address;
};

struct PictureReferringProvider {
  std::string code;
  std::string lastName;
  std::string firstName;
  std::string middleInitial;
  std::string npi;
};

// The case fields that fill the claim.
struct PictureCase {
  std::int64_t caseNumber = 0;
  bool relatedToEmployment = false;
  bool relatedToAccident = false;  // auto accident
  std::string accidentState;       // state of the auto accident
  bool relatedToOtherAccident = false;
  Date dateOfInjuryOrIllness;  // the current illness, injury or pregnancy
  Date dateSimilarSymptoms;
  Date unableToWorkFrom;
  Date unableToWorkTo;
  Date hospitalizedFrom;
  Date hospitalizedTo;
  Date lastSeenDate;
  std::optional<PictureReferringProvider> referringProvider;
  std::string priorAuthorization;
  bool outsideLab = false;
  Money outsideLabCharges;
  std::string localUse;  // extra text for box 19 / the claim note
  std::optional<PictureFacility> facility;
  bool estimate = false;  // a pretreatment estimate rather than a claim
};

// One charge on the claim.
struct PictureLine {
  std::int64_t entryNumber = 0;  // the ledger entry, the line's control number
  Date dateFrom;
  Date dateTo;
  std::string placeOfService;  // two digits, "11" office
  std::string typeOfService;
  std::string procedureCode;
  std::array<std::string, 4> modifiers;  // empty strings for unused modifiers
  // Diagnosis pointers 1..12 into PictureClaim::diagnoses (1 is A); 0 unused.
  std::array<int, 4> diagnosisPointers{};
  double units = 1;
  Money charge;               // the line's whole charge (units already counted)
  Money paidByEarlierPayers;  // what the carriers of earlier slots paid on it
  bool emergency = false;
  std::string renderingProviderCode;
  std::string renderingProviderNpi;
  std::string renderingProviderLastName;
  std::string renderingProviderFirstName;
  std::string description;
};

// One claim to one carrier slot.
struct ClaimPicture {
  std::int64_t claimNumber = 0;
  int slot = 1;               // 1 primary, 2 secondary, 3 tertiary
  std::string billingMethod;  // "P" or "E"
  std::string receiverCode;
  std::int64_t batchNumber = 0;
  Date initialBillingDate;
  Date billingDate;
  Date dateCreated;
  int submissionCount = 0;  // earlier submissions to this slot: a rebill when above 0

  PicturePerson patient;
  std::string patientAccount;  // the chart number as the patient's account number
  std::string patientMaritalStatus;
  std::string patientEmployment;
  // The carrier billed by this slot, with its insured.
  PicturePolicy policy;
  // The case's next policy after the billed slot (the other insurance of the
  // paper form); none when the case has no further carrier.
  std::optional<PicturePolicy> otherPolicy;
  // For a second or third carrier, the policies of the earlier slots in slot
  // order, whose payments the claim reports.
  std::vector<PicturePolicy> priorPolicies;
  PictureCase caseFields;

  PictureProvider billingProvider;
  PictureProvider renderingProvider;

  // Diagnoses A..L in the order of the claim: ICD-10-CM codes as stored (with
  // or without the dot); fewer than twelve when the case has fewer.
  std::vector<std::string> diagnoses;
  std::vector<PictureLine> lines;

  Money totalCharge;  // the sum of the lines' charges
  Money amountPaid;   // what the carriers of earlier slots paid on the lines
  Money balanceDue;   // totalCharge - amountPaid
};

// The picture of a claim (of the estimate tables when estimate) for carrier
// slot 1, 2 or 3; no value when the claim does not exist. A slot without a
// carrier, a code that names no row and an empty field are read as empty
// values: saying what is missing is the claim checks' work.
std::optional<ClaimPicture> readClaimPicture(store::Connection& practice, std::int64_t claimNumber,
                                             int slot, bool estimate = false);

// The claims whose slot is Ready to Send, in claim number order; with a
// receiver code, only the electronic ones of that receiver.
std::vector<std::int64_t> claimsReadyToSend(store::Connection& practice, int slot,
                                            const std::string& receiverCode = {},
                                            bool estimate = false);

}  // namespace vantrell::claims
