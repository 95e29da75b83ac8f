#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/date.hpp"
#include "store/connection.hpp"
#include "store/record.hpp"
#include "store/table.hpp"
#include "ui/prompter.hpp"
#include "ui/settings.hpp"

namespace vantrell::claims {

// The claim tables of a mode: estimate claims (pretreatment plans) live in twin
// tables with the same layout.
const char* claimTableName(bool estimate);   // "QVCLA", "QVCLAE"
const char* ledgerTableName(bool estimate);  // "QVTRN", "QVTRNE"

// What "List Only Claims That Match" asks. Each criterion that is set narrows
// the list; slot 0 means all three carrier slots (a criterion then holds when
// it holds for at least one slot).
struct ClaimFilter {
  std::string chartNumber;
  Date dateCreated;
  int slot = 0;
  std::string carrier;
  std::string receiver;
  std::string billingMethod;  // "", "P" or "E"
  std::string status;         // "" for All, else a status code
  Date billingDate;
  std::optional<std::int64_t> batch;
  bool excludeDone = false;

  friend bool operator==(const ClaimFilter&, const ClaimFilter&) = default;
};

// The filter as the system's filter expression over the claim table ("" when
// nothing is set). Typed codes compare without regard to case.
std::string claimFilterExpression(const ClaimFilter& filter);
// How the carrier criterion is written: as the carrier tags are built (few
// claims have the carrier), or in a form they do not serve, so that the engine
// walks the claims in list order (many have it). Both select the same claims.
enum class CarrierLookup { ByTag, InOrder };
std::string claimFilterExpression(const ClaimFilter& filter, CarrierLookup carrierLookup);

// A named filter's stored form and back; nullopt for text that is not one.
std::string encodeClaimFilter(const ClaimFilter& filter);
std::optional<ClaimFilter> decodeClaimFilter(const std::string& text);

// One carrier slot as the list shows it. Status label and medium are derived:
// both empty when the slot has no carrier.
struct ClaimSlotColumns {
  std::string carrier;
  std::string status;
  std::string medium;
  std::int64_t batch = 0;
  Date billingDate;
  std::string receiver;
};

struct ClaimListRow {
  std::int64_t claimNumber = 0;
  std::string chartNumber;
  std::array<ClaimSlotColumns, 3> slots;
  std::string provider;
  Date dateCreated;
};

ClaimListRow claimListRow(const store::Record& claim);

// The claim management list: the claims that pass the filter, a page at a time
// from the store in the order of the column chosen, never the whole table.
class ClaimList {
 public:
  ClaimList(store::Connection& practice, ui::Prompter& prompter, ui::Settings& settings,
            bool estimate = false);

  std::string title() const;
  bool estimate() const { return estimate_; }

  // The filter dialog opens on the current filter, with "Exclude Done" as this
  // workstation's user left it.
  ClaimFilter filterDialogPreset() const;
  // Sets the filter, remembers "Exclude Done" and starts the list over.
  void applyFilter(const ClaimFilter& filter);
  const ClaimFilter& filter() const { return filter_; }

  // Orders by a column's title ("Claim Number", "Carrier 1", "Status 2", ...);
  // the same column again turns the order round. False with the system's
  // message for a column that cannot be sorted.
  bool sortBy(const std::string& column);
  bool descending() const { return descending_; }

  // The next rows in order; empty at the end.
  std::vector<ClaimListRow> nextPage(std::size_t limit);
  std::vector<store::Record> nextRecords(std::size_t limit);
  void restart();
  std::int64_t claimCount();

  // Named filters, kept in the practice so every workstation sees them.
  std::vector<std::string> namedFilters();
  // Saves (or saves again) under the name; false with a message when the name
  // or the filter does not fit.
  bool saveNamedFilter(const std::string& name, const ClaimFilter& filter);
  std::optional<ClaimFilter> namedFilter(const std::string& name);
  void deleteNamedFilter(const std::string& name);

 private:
  void useFilter(const ClaimFilter& filter);

  store::Connection& practice_;
  ui::Prompter& prompter_;
  ui::Settings& settings_;
  bool estimate_;
  store::Table claims_;
  store::PageCursor cursor_;
  ClaimFilter filter_;
  std::string sortedBy_ = "Claim Number";
  bool descending_ = false;
};

// The settings key and value under which "Exclude Done" is remembered.
extern const char* const claimManagementSettingsKey;
extern const char* const excludeDoneValue;

}  // namespace vantrell::claims
