#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/date.hpp"
#include "common/money.hpp"
#include "security/security.hpp"
#include "store/connection.hpp"
#include "store/record.hpp"
#include "store/table.hpp"
#include "ui/progress.hpp"
#include "ui/prompter.hpp"

namespace vantrell::claims {

// What the claim windows work with.
struct ClaimSurroundings {
  store::Connection& practice;
  ui::Prompter& prompter;
  security::Security* security = nullptr;
  // The program date as it stands now.
  std::function<Date()> programDate;
  bool estimate = false;
  // Shown while several claims are deleted.
  ui::Progress* progress = nullptr;
};

// The guarded actions of the claim windows (the same items in estimate mode).
namespace claim_permission {
inline constexpr int create = 26;
inline constexpr int edit = 27;
inline constexpr int remove = 28;
inline constexpr int rebill = 29;
inline constexpr int changeStatus = 30;
inline constexpr int print = 31;
}  // namespace claim_permission

// The patient rows held in edit as the locks of their claims while claims are
// edited or deleted: two desks never work on one patient's claims at once.
class PatientLocks {
 public:
  PatientLocks(store::Connection& practice, ui::Prompter& prompter);
  ~PatientLocks();
  PatientLocks(const PatientLocks&) = delete;
  PatientLocks& operator=(const PatientLocks&) = delete;
  // False with the system's message when this program or another user has the
  // patient; a patient already held here is held once.
  bool hold(const std::string& chartNumber);
  void releaseAll();

 private:
  store::Connection& practice_;
  ui::Prompter& prompter_;
  std::optional<store::Table> patients_;
  std::vector<store::Record> held_;
};

// Claim printing as Rebill needs it: prints the claims for one carrier slot
// and answers whether the printing completed.
class ClaimPrinting {
 public:
  virtual ~ClaimPrinting() = default;
  virtual bool print(const std::vector<std::int64_t>& claimNumbers, int slot) = 0;
};

// "Change Claim Status/Billing Method". A from-status of anyStatus moves every
// status; slot 0 is all three carriers.
struct StatusChange {
  // No value: the claims selected in the list; else the claims of that batch
  // in each slot.
  std::optional<std::int64_t> batch;
  std::optional<std::string> fromStatus;
  std::optional<std::string> toStatus;
  int slot = 0;
  std::optional<std::string> methodFrom;
  std::optional<std::string> methodTo;
};
inline constexpr std::string_view anyStatus = "any";

// The insurance balance the claim's charges leave for carrier slot n: the
// remainders of its charges that carrier is responsible for.
Money claimInsuranceBalance(store::Connection& practice, bool estimate, std::int64_t claimNumber,
                            int slot);

// The collection work-list item for a slot set to Challenge, to be followed
// up on `followUp`; nothing for a slot without a carrier. Returns whether an
// item was made.
bool addChallengeItem(store::Connection& practice, bool estimate, const store::Record& claim,
                      int slot, Date followUp);
// The day a challenge made now is to be followed up: the program date.
Date challengeFollowUp(const ClaimSurroundings& context);

// One more than the highest batch number of any slot of any claim; 1 for none.
std::int64_t nextBatchNumber(store::Connection& practice, bool estimate);

// Which claims an action of the list works on, from the rows the user marked
// and the current row: Delete takes the marked rows or else the current one;
// Rebill the marked rows when two or more are marked, else the current one;
// Change Status in its selected scope the marked rows only.
std::vector<std::int64_t> claimsToDelete(const std::vector<std::int64_t>& marked,
                                         std::optional<std::int64_t> current);
std::vector<std::int64_t> claimsToRebill(const std::vector<std::int64_t>& marked,
                                         std::optional<std::int64_t> current);
std::vector<std::int64_t> claimsToChangeStatus(const std::vector<std::int64_t>& marked);

// The claim management window's actions on stored claims.
class ClaimActions {
 public:
  explicit ClaimActions(ClaimSurroundings surroundings);

  // Deletes the claims after the permission, the patient locks and the
  // question; each claim's charges are released in the same transaction as
  // the claim goes. False when nothing was deleted.
  bool deleteClaims(const std::vector<std::int64_t>& claimNumbers);

  // The batch the dialog offers: the current claim's primary batch.
  std::int64_t presetBatch(std::int64_t currentClaim);
  // Applies the change to each claim in scope; returns false (with the
  // system's message when it has one) when nothing may change.
  bool changeStatus(const StatusChange& change, const std::vector<std::int64_t>& selected);
  // How many slots the last change moved, and the work-list items it made.
  int slotsChanged() const { return slotsChanged_; }
  int workListItemsMade() const { return workListItems_; }

  // Resets the slot of the claims to Ready to Send and prints them again; puts
  // the old values back when printing does not complete.
  bool rebill(const std::vector<std::int64_t>& claimNumbers, int slot, ClaimPrinting& printing);

 private:
  bool allowed(int item);
  std::optional<store::Record> findClaim(store::Table& claims, std::int64_t number);
  void changeSlots(store::Table& claims, store::Record& claim, const StatusChange& change,
                   const std::vector<int>& slots);

  ClaimSurroundings context_;
  int slotsChanged_ = 0;
  int workListItems_ = 0;
};

}  // namespace vantrell::claims
