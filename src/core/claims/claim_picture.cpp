#include "claims/claim_picture.hpp"

#include <algorithm>
#include <string>
#include <vector>

#include "claims/claim_slots.hpp"
#include "practice/options.hpp"
#include "store/connection.hpp"
#include "store/driver.hpp"
#include "store/names.hpp"
#include "store/record.hpp"
#include "store/table.hpp"

namespace vantrell::claims {

namespace {

using store::Record;
using store::Value;

std::string trim(std::string text) {
  const auto notBlank = [](unsigned char c) { return c != ' ' && c != '\t'; };
  text.erase(std::find_if(text.rbegin(), text.rend(), notBlank).base(), text.end());
  text.erase(text.begin(), std::find_if(text.begin(), text.end(), notBlank));
  return text;
}

std::string textOf(const Record& row, std::string_view field) {
  return trim(row.text(field));
}

// The case keeps several claim dates as text, as the forms print them; a text
// that is no date is read as none.
Date textDate(const Record& row, std::string_view field) {
  return Date::parse(textOf(row, field)).value_or(Date{});
}

PictureAddress addressOf(const Record& row, std::string_view phoneField) {
  return {textOf(row, "Street 1"), textOf(row, "Street 2"), textOf(row, "City"),
          textOf(row, "State"),    textOf(row, "Zip Code"), textOf(row, phoneField)};
}

std::string sexCode(const std::string& stored) {
  const std::string upper = store::upperAscii(stored);
  if (upper == "MALE" || upper == "M") return "M";
  if (upper == "FEMALE" || upper == "F") return "F";
  return {};
}

// Reads rows of the practice's code tables by their unique codes, once each.
class Lookups {
 public:
  explicit Lookups(store::Connection& practice) : practice_(practice) {}

  std::optional<Record> byCode(const char* table, const std::string& code) {
    if (code.empty() || !practice_.tableExists(table)) return std::nullopt;
    store::Table rows = practice_.openTable(table);
    rows.setOrder("Primary");
    return rows.seek({Value{store::upperAscii(code)}});
  }

  PicturePerson person(const std::string& chart) {
    PicturePerson person;
    person.chartNumber = chart;
    if (const auto row = byCode("QVPAT", chart)) {
      person.lastName = textOf(*row, "Last Name");
      person.firstName = textOf(*row, "First Name");
      person.middleInitial = textOf(*row, "Middle Initial");
      person.address = addressOf(*row, "Phone 1");
      person.dateOfBirth = row->date("Date of Birth");
      person.sex = sexCode(textOf(*row, "Sex"));
    }
    return person;
  }

  std::string addressName(const std::string& code) {
    const auto row = byCode("QVADD", code);
    return row ? textOf(*row, "Name") : std::string{};
  }

 private:
  store::Connection& practice_;
};

PictureProvider providerOf(Lookups& lookups, const std::string& code) {
  PictureProvider provider;
  provider.code = code;
  const auto row = lookups.byCode("QVPHY", code);
  if (!row) return provider;
  provider.lastName = textOf(*row, "Last Name");
  provider.firstName = textOf(*row, "First Name");
  provider.middleInitial = textOf(*row, "Middle Initial");
  provider.credentials = textOf(*row, "Credentials");
  // EntityType 2 is a group or clinic rather than a person.
  provider.organisation = row->integer("EntityType") == 2;
  provider.npi = textOf(*row, "National Provider Identifier");
  provider.taxId = textOf(*row, "SSN or Fed Tax ID");
  provider.taxIdIsSsn = !provider.taxId.empty() && !row->logical("Federal Tax ID Indicator");
  provider.address = addressOf(*row, "Phone");
  return provider;
}

PicturePolicy policyOf(Lookups& lookups, const Record& caseRow, const PicturePerson& patient,
                       int policy) {
  const std::string n = " #" + std::to_string(policy);
  PicturePolicy picture;
  picture.carrierCode = textOf(caseRow, "Insurance Carrier" + n);
  if (const auto carrier = lookups.byCode("QVINS", picture.carrierCode)) {
    picture.carrierName = textOf(*carrier, "Name");
    picture.carrierAddress = addressOf(*carrier, "Phone");
    picture.payerId = textOf(*carrier, "EMC Payor Number");
    picture.groupName = textOf(*carrier, "Plan Name");
    picture.carrierType = textOf(*carrier, "Type");
  }
  const std::string insuredChart = textOf(caseRow, "Insured" + n);
  picture.relationship = textOf(caseRow, "Insured Relationship" + n);
  // A policy without its own insured is the patient's own.
  if (insuredChart.empty() ||
      store::upperAscii(insuredChart) == store::upperAscii(patient.chartNumber)) {
    picture.insured = patient;
    if (picture.relationship.empty()) picture.relationship = "Self";
  } else {
    picture.insured = lookups.person(insuredChart);
  }
  if (const auto insured = lookups.byCode("QVPAT", picture.insured.chartNumber)) {
    picture.employerName = lookups.addressName(textOf(*insured, "Employer"));
    picture.signatureOnFile = insured->logical("Signature on File");
  }
  picture.policyNumber = textOf(caseRow, "Policy Number" + n);
  picture.groupNumber = textOf(caseRow, "Group Number" + n);
  picture.policyStart = caseRow.date("Policy #" + std::to_string(policy) + " Start Date");
  picture.policyEnd = caseRow.date("Policy #" + std::to_string(policy) + " End Date");
  picture.assignmentOfBenefits = caseRow.logical("Accept Assignment" + n);
  return picture;
}

void readCaseFields(Lookups& lookups, const Record& row, bool estimate, PictureCase& fields) {
  fields.caseNumber = row.integer("Case Number");
  fields.relatedToEmployment = row.logical("Related to Employment");
  const std::string accident = store::upperAscii(textOf(row, "Related to Accident"));
  fields.relatedToAccident = accident == "AUTO";
  fields.relatedToOtherAccident = accident == "YES";
  fields.accidentState = textOf(row, "Accident State");
  fields.dateOfInjuryOrIllness = textDate(row, "Date of Injury/Illness");
  fields.dateSimilarSymptoms = textDate(row, "Date Similar Symptoms");
  fields.unableToWorkFrom = textDate(row, "Date Unable to Work From");
  fields.unableToWorkTo = textDate(row, "Date Unable to Work To");
  fields.hospitalizedFrom = textDate(row, "Hospital Date From");
  fields.hospitalizedTo = textDate(row, "Hospital Date To");
  fields.lastSeenDate = row.date("Date Last Seen PCP");
  if (const auto referring = lookups.byCode("QVRPH", textOf(row, "Referring Provider"))) {
    fields.referringProvider = PictureReferringProvider{
        textOf(*referring, "Code"), textOf(*referring, "Last Name"),
        textOf(*referring, "First Name"), textOf(*referring, "Middle Initial"),
        textOf(*referring, "National Provider Identifier")};
  }
  fields.priorAuthorization = textOf(row, "Prior Authorization No");
  fields.outsideLab = row.logical("Outside Lab Work");
  fields.outsideLabCharges = row.money("Lab Charges");
  fields.localUse = trim(textOf(row, "Local Use A") + " " + textOf(row, "Local Use B"));
  if (const auto facility = lookups.byCode("QVADD", textOf(row, "Facility"))) {
    // A facility's NPI is kept in the address's ID.
    fields.facility = PictureFacility{textOf(*facility, "Code"), textOf(*facility, "Name"),
                                      textOf(*facility, "ID"), addressOf(*facility, "Phone")};
  }
  fields.estimate = estimate;
}

// Charges are the ledger types before the payments and adjustments ("I" on).
bool isCharge(const std::string& type) {
  return !type.empty() && type[0] < 'I';
}

}  // namespace

std::optional<ClaimPicture> readClaimPicture(store::Connection& practice, std::int64_t claimNumber,
                                             int slot, bool estimate) {
  store::Table claims = practice.openTable(estimate ? "QVCLAE" : "QVCLA");
  claims.setOrder("Primary");
  const auto claim = claims.seek({Value{claimNumber}});
  if (!claim) return std::nullopt;

  Lookups lookups(practice);
  ClaimPicture picture;
  picture.claimNumber = claimNumber;
  picture.slot = slot;
  const ClaimSlotFields slotFields = claimSlotFields(slot);
  picture.billingMethod = textOf(*claim, slotFields.billingMethod);
  picture.receiverCode = textOf(*claim, slotFields.receiver);
  picture.batchNumber = claim->integer(slotFields.batch);
  picture.initialBillingDate = claim->date(slotFields.initialBillingDate);
  picture.billingDate = claim->date(slotFields.billingDate);
  picture.dateCreated = claim->date("Date Created");
  picture.submissionCount = static_cast<int>(claim->integer(slotFields.submissionCount));

  const std::string chart = textOf(*claim, "Chart Number");
  picture.patient = lookups.person(chart);
  picture.patientAccount = chart;

  store::Table cases = practice.openTable("QVCAS");
  cases.setOrder("Primary");
  const auto caseRow =
      cases.seek({Value{store::upperAscii(chart)}, Value{claim->integer("Case Number")}});
  if (caseRow) {
    picture.patientMaritalStatus = textOf(*caseRow, "Marital Status");
    picture.patientEmployment = textOf(*caseRow, "Employment Status");
    picture.policy = policyOf(lookups, *caseRow, picture.patient, slot);
    for (int earlier = 1; earlier < slot; ++earlier)
      picture.priorPolicies.push_back(policyOf(lookups, *caseRow, picture.patient, earlier));
    if (slot < slotCount &&
        !textOf(*caseRow, "Insurance Carrier #" + std::to_string(slot + 1)).empty())
      picture.otherPolicy = policyOf(lookups, *caseRow, picture.patient, slot + 1);
    readCaseFields(lookups, *caseRow, estimate, picture.caseFields);
  } else {
    picture.caseFields.caseNumber = claim->integer("Case Number");
    picture.caseFields.estimate = estimate;
  }
  // The claim's own carrier is the one billed, whatever the case says now.
  const std::string carrier = textOf(*claim, slotFields.carrier);
  if (store::upperAscii(carrier) != store::upperAscii(picture.policy.carrierCode)) {
    picture.policy.carrierCode = carrier;
    picture.policy.carrierName.clear();
    picture.policy.payerId.clear();
    picture.policy.carrierType.clear();
    picture.policy.carrierAddress = {};
    if (const auto row = lookups.byCode("QVINS", carrier)) {
      picture.policy.carrierName = textOf(*row, "Name");
      picture.policy.carrierAddress = addressOf(*row, "Phone");
      picture.policy.payerId = textOf(*row, "EMC Payor Number");
      picture.policy.carrierType = textOf(*row, "Type");
    }
  }

  for (int code = 1; code <= 4; ++code) {
    const std::string diagnosis = textOf(*claim, "Diagnosis Code " + std::to_string(code));
    if (!diagnosis.empty() && std::find(picture.diagnoses.begin(), picture.diagnoses.end(),
                                        diagnosis) == picture.diagnoses.end())
      picture.diagnoses.push_back(diagnosis);
  }

  store::Table ledger = practice.openTable(estimate ? "QVTRNE" : "QVTRN");
  ledger.setOrder("Idxclaim");
  ledger.setRange({Value{claimNumber}}, {Value{claimNumber}});
  std::vector<Record> charges;
  ledger.forEach([&](Record& row) {
    if (isCharge(textOf(row, "Transaction Type"))) charges.push_back(row);
  });

  const auto pointerTo = [&](const std::string& code) -> int {
    auto at = std::find(picture.diagnoses.begin(), picture.diagnoses.end(), code);
    if (at == picture.diagnoses.end()) {
      if (picture.diagnoses.size() >= 12) return 0;
      picture.diagnoses.push_back(code);
      at = picture.diagnoses.end() - 1;
    }
    return static_cast<int>(at - picture.diagnoses.begin()) + 1;
  };

  for (const Record& row : charges) {
    PictureLine line;
    line.entryNumber = row.integer("Entry Number");
    line.dateFrom = row.date("Date From");
    line.dateTo = row.date("Date To").isEmpty() ? line.dateFrom : row.date("Date To");
    line.placeOfService = textOf(row, "Place of Service");
    line.typeOfService = textOf(row, "Type of Service");
    line.procedureCode = textOf(row, "Procedure Code");
    for (int modifier = 1; modifier <= 4; ++modifier)
      line.modifiers[static_cast<std::size_t>(modifier - 1)] =
          textOf(row, "Modifier " + std::to_string(modifier));
    line.units = row.number("Units") > 0 ? row.number("Units") : 1;
    line.charge = row.money("Amount");
    for (int earlier = 1; earlier < slot; ++earlier) {
      const Money paid = row.money("Insurance " + std::to_string(earlier) + " Amount Paid");
      line.paidByEarlierPayers += paid;
      if (static_cast<std::size_t>(earlier) <= picture.priorPolicies.size())
        picture.priorPolicies[static_cast<std::size_t>(earlier - 1)].paidOnClaim += paid;
    }
    line.emergency = caseRow && caseRow->logical("Emergency");
    line.renderingProviderCode = textOf(row, "Attending Provider");
    if (const auto provider = lookups.byCode("QVPHY", line.renderingProviderCode)) {
      line.renderingProviderNpi = textOf(*provider, "National Provider Identifier");
      line.renderingProviderLastName = textOf(*provider, "Last Name");
      line.renderingProviderFirstName = textOf(*provider, "First Name");
    }
    line.description = textOf(row, "Description");
    if (line.description.empty()) line.description = textOf(row, "Procedure Description");

    // The line points at the codes whose flags are set; a line without flags
    // points at every code it carries, and a line without codes at the claim's.
    std::vector<std::string> flagged;
    std::vector<std::string> carried;
    for (int code = 1; code <= 4; ++code) {
      const std::string n = std::to_string(code);
      const std::string diagnosis = textOf(row, "Diagnosis Code " + n);
      if (diagnosis.empty()) continue;
      carried.push_back(diagnosis);
      if (row.logical("Diagnosis " + n)) flagged.push_back(diagnosis);
    }
    std::vector<std::string> pointed = flagged.empty() ? carried : flagged;
    if (pointed.empty())
      pointed.assign(picture.diagnoses.begin(),
                     picture.diagnoses.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(
                                                     4, picture.diagnoses.size())));
    std::size_t next = 0;
    for (const std::string& code : pointed) {
      if (next == line.diagnosisPointers.size()) break;
      if (const int pointer = pointerTo(code); pointer != 0)
        line.diagnosisPointers[next++] = pointer;
    }

    picture.totalCharge += line.charge;
    picture.amountPaid += line.paidByEarlierPayers;
    picture.lines.push_back(std::move(line));
  }
  picture.balanceDue = picture.totalCharge - picture.amountPaid;

  std::string billingCode = textOf(*claim, "Provider");
  if (billingCode.empty() && !picture.lines.empty())
    billingCode = picture.lines.front().renderingProviderCode;
  picture.billingProvider = providerOf(lookups, billingCode);
  // The practice stands in for what the billing provider's row leaves out.
  if (practice.tableExists("QVPRA")) {
    store::Table practiceRows = practice.openTable("QVPRA");
    if (const auto row = practice::readSingleRow(practiceRows)) {
      if (picture.billingProvider.taxId.empty()) {
        picture.billingProvider.taxId = textOf(*row, "Federal Tax ID");
        picture.billingProvider.taxIdIsSsn = false;
      }
      if (picture.billingProvider.address.street1.empty())
        picture.billingProvider.address = addressOf(*row, "Phone");
    }
  }
  const std::string renderingCode =
      picture.lines.empty() || picture.lines.front().renderingProviderCode.empty()
          ? billingCode
          : picture.lines.front().renderingProviderCode;
  picture.renderingProvider =
      renderingCode == billingCode ? picture.billingProvider : providerOf(lookups, renderingCode);
  return picture;
}

std::vector<std::int64_t> claimsReadyToSend(store::Connection& practice, int slot,
                                            const std::string& receiverCode, bool estimate) {
  const ClaimSlotFields fields = claimSlotFields(slot);
  std::string sql = "SELECT \"Claim Number\" FROM \"" + std::string(estimate ? "QVCLAE" : "QVCLA") +
                    "\" WHERE \"" + fields.status + "\" = ? AND COALESCE(\"" + fields.carrier +
                    "\", '') <> ''";
  std::vector<Value> parameters{Value{std::string(claim_status::readyToSend)}};
  if (!receiverCode.empty()) {
    sql += " AND UPPER(\"" + fields.receiver + "\") = ? AND UPPER(\"" + fields.billingMethod +
           "\") = ?";
    parameters.emplace_back(store::upperAscii(receiverCode));
    parameters.emplace_back(std::string(billing_method::electronic));
  }
  sql += " ORDER BY \"Claim Number\"";
  std::vector<std::int64_t> numbers;
  auto rows = practice.driver().query(sql, parameters);
  while (rows->next()) {
    const Value value = rows->column(0, store::FieldType::Integer);
    if (const auto* number = std::get_if<std::int64_t>(&value)) numbers.push_back(*number);
  }
  return numbers;
}

}  // namespace vantrell::claims
