#include "reference/reference_check.hpp"

#include "store/dialect.hpp"
#include "store/names.hpp"

namespace vantrell::reference {
namespace {

// The places are data: written once here, searched in this order.
constexpr ReferencePlace procedurePlaces[] = {
    {"QVTRN", "Procedure Code"},          {"QVTRNARC", "Procedure Code"},
    {"QVPPR", "Procedure Code"},          {"QVREC", "Procedure Code"},
    {"QVERQ", "Procedure Code"},
    {"QVINS", "Default Payment Code"},    {"QVINS", "Default Write Off Code"},
    {"QVINS", "Default Withhold Code"},   {"QVINS", "Default Deductible Code"},
    {"QVMUL", "Link Code 1"},             {"QVMUL", "Link Code 2"},
    {"QVMUL", "Link Code 3"},             {"QVMUL", "Link Code 4"},
    {"QVMUL", "Link Code 5"},             {"QVMUL", "Link Code 6"},
    {"QVMUL", "Link Code 7"},             {"QVMUL", "Link Code 8"},
    {"QVDEP", "Payment Code"},            {"QVDEP", "Adjustment Code"},
    {"QVDEP", "Withhold Code"},           {"QVDEP", "Deductible Code"},
    {"QVDEPARC", "Payment Code"},         {"QVDEPARC", "Adjustment Code"},
    {"QVDEPARC", "Withhold Code"},        {"QVDEPARC", "Deductible Code"},
    {"QVTRNE", "Procedure Code"},
    {"QVINS", "Default Take Back Code"},  {"QVDEP", "Take Back Code"},
    {"QVDEPARC", "Take Back Code"},       {"QVOPT", "Default Tax Code"},
    {"QVOPT", "Default Cash Payment Code"}, {"QVOPT", "Default Check Paymnt Code"},
    {"QVOPT", "Credit Card Payment Code"}, {"QVOPT", "Patient Write Off Code"},
};

constexpr ReferencePlace carrierPlaces[] = {
    {"QVCAS", "Insurance Carrier #1"},    {"QVCAS", "Insurance Carrier #2"},
    {"QVCAS", "Insurance Carrier #3"},    {"QVCASARC", "Insurance Carrier #1"},
    {"QVCASARC", "Insurance Carrier #2"}, {"QVCASARC", "Insurance Carrier #3"},
    {"QVCLA", "Insurance Carrier 1"},     {"QVCLA", "Insurance Carrier 2"},
    {"QVCLA", "Insurance Carrier 3"},     {"QVCLAARC", "Insurance Carrier 1"},
    {"QVCLAARC", "Insurance Carrier 2"},  {"QVCLAARC", "Insurance Carrier 3"},
    {"QVDEP", "Insurance Code"},          {"QVDEPARC", "Insurance Code"},
    {"QVPINS", "Insurance Code"},         {"QVELG", "Insurance Code"},
    {"QVELGARC", "Insurance Code"},       {"QVPRO", "Don't Print on Insurance", true},
    {"QVPRO", "Only Print on Insurance", true},
    {"QVCLAE", "Insurance Carrier 1"},    {"QVCLAE", "Insurance Carrier 2"},
    {"QVCLAE", "Insurance Carrier 3"},    {"QVERA", "Insurance Code"},
};

constexpr ReferencePlace classPlaces[] = {{"QVINS", "Insurance Class"}};

constexpr ReferencePlace providerPlaces[] = {
    {"QVCAS", "Assigned Provider"},  {"QVCASARC", "Assigned Provider"}, {"QVCLA", "Provider"},
    {"QVCLAARC", "Provider"},        {"QVELG", "Provider Code"},        {"QVELGARC", "Provider Code"},
    {"QVPINS", "Provider Code"},     {"QVPAT", "Assigned Provider"},    {"QVREC", "Provider"},
    {"QVTRN", "Attending Provider"}, {"QVTRNARC", "Attending Provider"},
    {"QVTRNE", "Attending Provider"}, {"QVCLAE", "Provider"},         {"QVPLN", "Attending Provider"},
};

constexpr ReferencePlace referringPlaces[] = {
    {"QVCAS", "Referring Provider"},    {"QVCAS", "Primary Care Provider"},
    {"QVCAS", "Supervising Provider"},  {"QVCASARC", "Referring Provider"},
    {"QVCASARC", "Primary Care Provider"}, {"QVCASARC", "Supervising Provider"},
};

constexpr ReferencePlace diagnosisPlaces[] = {
    {"QVCAS", "Diagnosis 1"},         {"QVCAS", "Diagnosis 2"},         {"QVCAS", "Diagnosis 3"},
    {"QVCAS", "Diagnosis 4"},         {"QVCASARC", "Diagnosis 1"},      {"QVCASARC", "Diagnosis 2"},
    {"QVCASARC", "Diagnosis 3"},      {"QVCASARC", "Diagnosis 4"},      {"QVCLA", "Diagnosis Code 1"},
    {"QVCLA", "Diagnosis Code 2"},    {"QVCLA", "Diagnosis Code 3"},    {"QVCLA", "Diagnosis Code 4"},
    {"QVCLAARC", "Diagnosis Code 1"}, {"QVCLAARC", "Diagnosis Code 2"}, {"QVCLAARC", "Diagnosis Code 3"},
    {"QVCLAARC", "Diagnosis Code 4"}, {"QVTRN", "Diagnosis Code 1"},    {"QVTRN", "Diagnosis Code 2"},
    {"QVTRN", "Diagnosis Code 3"},    {"QVTRN", "Diagnosis Code 4"},    {"QVTRNARC", "Diagnosis Code 1"},
    {"QVTRNARC", "Diagnosis Code 2"}, {"QVTRNARC", "Diagnosis Code 3"}, {"QVTRNARC", "Diagnosis Code 4"},
    {"QVTRNE", "Diagnosis Code 1"},   {"QVTRNE", "Diagnosis Code 2"},   {"QVTRNE", "Diagnosis Code 3"},
    {"QVTRNE", "Diagnosis Code 4"},   {"QVCLAE", "Diagnosis Code 1"},   {"QVCLAE", "Diagnosis Code 2"},
    {"QVCLAE", "Diagnosis Code 3"},   {"QVCLAE", "Diagnosis Code 4"},
};

constexpr ReferencePlace addressPlaces[] = {
    {"QVCAS", "Employer"},       {"QVCAS", "Attorney"},          {"QVCAS", "Facility"},
    {"QVCAS", "Referral Source"}, {"QVCASARC", "Employer"},      {"QVCASARC", "Attorney"},
    {"QVCASARC", "Facility"},    {"QVCASARC", "Referral Source"}, {"QVPAT", "Employer"},
    {"QVDEP", "Attorney Code"},  {"QVDEPARC", "Attorney Code"},
    {"QVTRN", "Facility"},       {"QVTRNARC", "Facility"},       {"QVTRNE", "Facility"},
};

constexpr ReferencePlace receiverPlaces[] = {
    {"QVINS", "EMC Receiver"},      {"QVCLA", "EMC Receiver 1"},    {"QVCLA", "EMC Receiver 2"},
    {"QVCLA", "EMC Receiver 3"},    {"QVCLAARC", "EMC Receiver 1"}, {"QVCLAARC", "EMC Receiver 2"},
    {"QVCLAARC", "EMC Receiver 3"}, {"QVPHY", "EMC ID"},            {"QVRPH", "EMC ID"},
    {"QVCLAE", "EMC Receiver 1"},   {"QVCLAE", "EMC Receiver 2"},   {"QVCLAE", "EMC Receiver 3"},
    {"QVELG", "Receiver"},          {"QVELGARC", "Receiver"},       {"QVOPT", "Eligibility Receiver"},
};

constexpr ReferencePlace billingPlaces[] = {
    {"QVCAS", "Billing Code"}, {"QVCASARC", "Billing Code"}, {"QVPAT", "Billing Code"},
    {"QVCLA", "Billing Code"}, {"QVCLAARC", "Billing Code"},
    {"QVCLAE", "Billing Code"},
};

// Charges carry the code of their rejection.
constexpr ReferencePlace rejectionPlaces[] = {
    {"QVTRN", "Claim Rejection Code"}, {"QVTRNARC", "Claim Rejection Code"},
    {"QVTRNE", "Claim Rejection Code"}
};

}  // namespace

std::span<const ReferencePlace> referencePlaces(CodeKind kind) {
  switch (kind) {
    case CodeKind::ProcedureCode: return procedurePlaces;
    case CodeKind::InsuranceCarrier: return carrierPlaces;
    case CodeKind::InsuranceClass: return classPlaces;
    case CodeKind::Provider: return providerPlaces;
    case CodeKind::ReferringProvider: return referringPlaces;
    case CodeKind::DiagnosisCode: return diagnosisPlaces;
    case CodeKind::Address: return addressPlaces;
    case CodeKind::EdiReceiver: return receiverPlaces;
    case CodeKind::BillingCode: return billingPlaces;
    case CodeKind::ClaimRejectionCode: return rejectionPlaces;
  }
  return {};
}

const char* recordKindName(CodeKind kind) {
  switch (kind) {
    case CodeKind::ProcedureCode: return "procedure code";
    case CodeKind::InsuranceCarrier: return "insurance carrier";
    case CodeKind::InsuranceClass: return "insurance class";
    case CodeKind::Provider:
    case CodeKind::ReferringProvider: return "provider";
    case CodeKind::DiagnosisCode: return "diagnosis code";
    case CodeKind::Address: return "address";
    case CodeKind::EdiReceiver: return "EDI receiver code";
    case CodeKind::BillingCode: return "billing code";
    case CodeKind::ClaimRejectionCode: return "claim rejection code";
  }
  return "code";
}

std::optional<ReferencePlace> firstReference(store::Connection& practice, CodeKind kind, const std::string& code) {
  const std::string wanted = store::upperAscii(store::trimRight(code));
  const std::vector<std::string> existing = practice.tableNames();
  // The name as stored: a table made outside the catalogue (an archive) may
  // carry its name in another letter case.
  const auto storedName = [&](const char* table) -> std::optional<std::string> {
    for (const auto& name : existing) {
      if (store::equalsIgnoringCase(name, table)) return name;
    }
    return std::nullopt;
  };
  for (const auto& place : referencePlaces(kind)) {
    // An archive table has the layout of its live table; a table or field that
    // is not there (an older archive) is no reference.
    const auto name = storedName(place.table);
    if (!name) continue;
    const auto columns = practice.driver().columnNames(*name);
    bool hasField = false;
    for (const auto& column : columns) hasField = hasField || column == place.field;
    if (!hasField) continue;
    const std::string table = store::Dialect::quoteIdentifier(*name);
    const std::string field = store::Dialect::quoteIdentifier(place.field);
    std::string condition;
    if (place.commaSeparatedList) {
      // Whole entries of the list only: "MC" is not in "MCA,BCBS".
      condition = practice.dialect().contains("(',' || UPPER(REPLACE(" + field + ", ' ', '')) || ',')", "(',' || ? || ',')");
    } else {
      condition = "UPPER(" + field + ") = ?";
    }
    auto rows = practice.driver().query("SELECT 1 FROM " + table + " WHERE " + condition + " LIMIT 1",
                                        {store::Value{wanted}});
    if (rows->next()) return place;
  }
  return std::nullopt;
}

std::string referenceRefusal(CodeKind kind, const ReferencePlace& place) {
  return std::string("This ") + recordKindName(kind) + " record is currently being used in the " + place.field +
         " field of the " + place.table + " table and cannot be deleted.";
}

}  // namespace vantrell::reference
