#include "accounts/case_tabs.hpp"

#include <array>

#include <fmt/format.h>

#include "store/schema_catalogue.hpp"
#include "store/table.hpp"

namespace vantrell::accounts {
namespace {

constexpr int hideViewCaseTabsItem = 213;

bool startsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}
bool endsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

bool isOneOf(std::string_view field, std::initializer_list<std::string_view> names) {
  for (const auto name : names) {
    if (field == name) return true;
  }
  return false;
}

}  // namespace

const char* caseTabTitle(CaseTab tab) {
  switch (tab) {
    case CaseTab::Personal:
      return "Personal";
    case CaseTab::Account:
      return "Account";
    case CaseTab::Diagnosis:
      return "Diagnosis";
    case CaseTab::Condition:
      return "Condition";
    case CaseTab::Miscellaneous:
      return "Miscellaneous";
    case CaseTab::Policy1:
      return "Policy 1";
    case CaseTab::Policy2:
      return "Policy 2";
    case CaseTab::Policy3:
      return "Policy 3";
    case CaseTab::MedicaidAndTricare:
      return "Medicaid and Tricare";
    case CaseTab::Comment:
      return "Comment";
    case CaseTab::EligibilityAndClaims:
      return "Eligibility and Claims";
    case CaseTab::Dental:
      return "Dental";
  }
  return "";
}

CaseTab caseTabOf(std::string_view field) {
  // A policy's fields end in its number ("Policy Number #2") or name it
  // ("Policy #2 Start Date"); the copayment and capitation belong to policy 1.
  for (const auto& [mark, tab] : std::array<std::pair<std::string_view, CaseTab>, 3>{
           {{"1", CaseTab::Policy1}, {"2", CaseTab::Policy2}, {"3", CaseTab::Policy3}}}) {
    if (endsWith(field, std::string(" #") + std::string(mark)) ||
        startsWith(field, "Policy #" + std::string(mark)))
      return tab;
  }
  if (isOneOf(field, {"Policy is Capitated", "Copayment Amount"})) return CaseTab::Policy1;
  if (startsWith(field, "Medicaid") || startsWith(field, "Champus"))
    return CaseTab::MedicaidAndTricare;
  if (isOneOf(field, {"Notes", "Comment"})) return CaseTab::Comment;
  if (startsWith(field, "Diagnosis ") ||
      isOneOf(field,
              {"Last Xray Date", "Level of Subluxation", "EMC Notes", "Related to Employment",
               "Related to Accident", "Nature of Accident", "Accident State", "Emergency", "EPSDT",
               "Family Planning", "Pregnancy Indicator", "Estimated Date of Birth",
               "Outside Lab Work", "Lab Charges"}))
    return CaseTab::Diagnosis;
  if (startsWith(field, "Date Unable") || startsWith(field, "Date Tot") ||
      startsWith(field, "Date Part") || startsWith(field, "Hospital Date") ||
      isOneOf(field, {"Date of Injury/Illness", "Date First Consulted", "Prior Authorization No",
                      "Death Indicator", "Illness Indicator", "Date Similar Symptoms",
                      "Same or Similar Symptoms", "Return to Work Indicator",
                      "Workers Percent Disabled", "Last worked Date", "Date assumed care",
                      "Date relinquished care", "Date of Manifestation", "Nature of Condition",
                      "Complication Ind", "Prescription Date", "Homebound indicator"}))
    return CaseTab::Condition;
  if (isOneOf(field, {"Assigned Provider",
                      "Referring Provider",
                      "Supervising Provider",
                      "Referral Source",
                      "Attorney",
                      "Facility",
                      "Billing Code",
                      "Price Code",
                      "Other Arrangements",
                      "Primary Care Provider",
                      "Date Last Seen PCP",
                      "Referral Date",
                      "Visit Series ID",
                      "Visit Series Counter",
                      "Last Visit Date",
                      "Authorized No of Visits",
                      "Visit Authorization No",
                      "Treatment Auth Through",
                      "Annual Deductible",
                      "Indicator 1",
                      "Deductible Met"}))
    return CaseTab::Account;
  if (startsWith(field, "Local Use") || startsWith(field, "Extra ")) return CaseTab::Miscellaneous;
  if (startsWith(field, "Eligibility") || startsWith(field, "PC Claim Number") ||
      startsWith(field, "Report t") ||
      isOneOf(field, {"Policy Type", "Attachment Control Number", "IDE Number",
                      "Service Authorization Exception Code"}))
    return CaseTab::EligibilityAndClaims;
  if (isOneOf(field, {"Treatment Months/Years", "No Treatments-Month", "Radiographs enclosed",
                      "Prosthesis", "Date of Prior Placement", "Reason for replacement",
                      "Orthodontics", "Date Treatment Start", "Date Appliances Placed",
                      "Length of Treatment", "Medical Plan Coverage"}))
    return CaseTab::Dental;
  return CaseTab::Personal;
}

std::vector<std::string> caseTabFields(CaseTab tab) {
  std::vector<std::string> fields;
  for (const auto& field : store::schemaCatalogue().get("QVCAS").fields()) {
    if (caseTabOf(field.name) == tab) fields.push_back(field.name);
  }
  return fields;
}

bool caseTabShown(const practice::Options& options, CaseTab tab) {
  return options.flag(fmt::format("Show Case Tab {}", static_cast<int>(tab)));
}

bool showCaseTab(store::Connection& practice, security::Security* security,
                 practice::Options& options, CaseTab tab, bool shown) {
  if (security != nullptr && !security->hasPermission(hideViewCaseTabsItem, true)) return false;
  store::Table table = practice.openTable("QVOPT");
  store::Record row = options.record();
  row.clearModifications();
  row.set(fmt::format("Show Case Tab {}", static_cast<int>(tab)), shown);
  practice::saveSingleRow(table, row);
  options = practice::Options(row);
  return true;
}

}  // namespace vantrell::accounts
