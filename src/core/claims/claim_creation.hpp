#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/date.hpp"
#include "common/money.hpp"
#include "store/connection.hpp"
#include "ui/progress.hpp"
#include "ui/prompter.hpp"
#include "ui/settings.hpp"

namespace vantrell::security {
class Security;
}

// Create Claims: the unbilled insurance charges of the ledger, gathered into one
// claim per case and diagnosis set, each claim stamped into its charges.
namespace vantrell::claims {

// The guarded operation's item number in the permission list.
inline constexpr int createClaimsPermission = 26;

// Assigned: the case's provider is matched and goes on the claim. Attending:
// the charge's provider is matched, and charges of different attending
// providers go on different claims.
enum class ProviderMode { Assigned = 0, Attending = 1 };

// What the dialog asks; every criterion is optional.
struct ClaimCriteria {
  Date fromDate;  // empty: no bound
  Date toDate;
  std::string fromChart;
  std::string toChart;
  std::string primaryInsurance;  // carrier codes separated by commas
  std::string billingCodes;
  std::string caseIndicators;
  std::string location;  // one Place of Service, the whole text
  std::string provider;  // upper case; codes separated by commas in Assigned mode
  ProviderMode providerMode = ProviderMode::Assigned;
  Money minimum;  // a group is billed only when its total exceeds it
};

// Where the per-user defaults of the dialog are kept.
inline constexpr const char* claimCreateSettingsKey =
    "Software\\Vantrell\\Radavad Adedarirar 10\\Defaults\\Claim Create";
inline constexpr const char* attendingProviderValue = "Attending Provider";

// The criteria dialog: the Provider mode is read from the settings when it
// opens and written each time it changes; confirming runs the three checks.
class ClaimCriteriaDialog {
 public:
  enum class Field { None, ToDate, ToChart, PrimaryInsurance };

  ClaimCriteriaDialog(ui::Settings& settings, ui::Prompter& prompter);

  ClaimCriteria& criteria() { return criteria_; }
  void setProviderMode(ProviderMode mode);
  // The Provider text is kept in upper case, as the dialog's field shows it.
  void setProvider(const std::string& text);
  // Shows the first failing check's message and names the field to focus;
  // Field::None when the criteria may run.
  Field confirm();

 private:
  ui::Settings& settings_;
  ui::Prompter& prompter_;
  ClaimCriteria criteria_;
};

// Whether every carrier code of a Primary Insurance list is 5 characters or
// shorter, scanned as the dialog scans it.
bool primaryInsuranceListIsValid(const std::string& list);

struct ClaimCreationContext {
  store::Connection& practice;
  ui::Prompter& prompter;
  security::Security* security = nullptr;  // null: security off
  ui::Progress* progress = nullptr;        // null: nobody watches, no Abort
  bool estimate = false;                   // QVCLAE and QVTRNE
};

struct ClaimCreationResult {
  bool permitted = true;
  bool aborted = false;
  std::vector<std::int64_t> claims;  // numbers of the claims made, in order
  std::int64_t chargesStamped = 0;
  // Charges left unbilled because another workstation held their rows.
  std::int64_t chargesInUse = 0;
  // Charges that another run put on a claim after this run read them.
  std::int64_t chargesClaimedMeanwhile = 0;
};

// Runs Create Claims. Each claim and the stamping of its charges are one
// database transaction, so a crash or an Abort never leaves a claim without
// charges or a charge on a claim that does not exist.
ClaimCreationResult createClaims(const ClaimCreationContext& context,
                                 const ClaimCriteria& criteria);

// The information shown when a run stamped no charge.
std::string noNewClaimsText();
// The closing information when charges were left because others held them.
std::string chargesInUseText(std::int64_t count);

}  // namespace vantrell::claims
