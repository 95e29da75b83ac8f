#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "practice/options.hpp"
#include "security/security.hpp"
#include "store/connection.hpp"

namespace vantrell::accounts {

// The pages of the case window, numbered as the options "Show Case Tab 1" to
// "Show Case Tab 12" number them.
enum class CaseTab {
  Personal = 1,
  Account,
  Diagnosis,
  Condition,
  Miscellaneous,
  Policy1,
  Policy2,
  Policy3,
  MedicaidAndTricare,
  Comment,
  EligibilityAndClaims,
  Dental,
};
inline constexpr int caseTabCount = 12;

// "Policy 1", "Medicaid and Tricare", ...
const char* caseTabTitle(CaseTab tab);
// The page that holds a case field (every QVCAS field has one).
CaseTab caseTabOf(std::string_view field);
// The fields of a page in stored order.
std::vector<std::string> caseTabFields(CaseTab tab);

// Whether the practice shows the page.
bool caseTabShown(const practice::Options& options, CaseTab tab);
// Shows or hides a page for the whole practice (permission 213); the options
// in memory follow. False when refused.
bool showCaseTab(store::Connection& practice, security::Security* security,
                 practice::Options& options, CaseTab tab, bool shown);

}  // namespace vantrell::accounts
