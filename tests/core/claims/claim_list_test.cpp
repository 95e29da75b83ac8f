#include <gtest/gtest.h>

#include <array>
#include <set>
#include <string>
#include <vector>

#include "claim_fixture.hpp"
#include "claims/claim_list.hpp"
#include "claims/claim_slots.hpp"
#include "store/names.hpp"
#include "ui/settings.hpp"

namespace vantrell::claims {
namespace {

// What a test claim holds per slot, kept beside the store as the list's model.
struct ModelSlot {
  std::string carrier, status, method, receiver;
  std::int64_t batch = 0;
};
struct ModelClaim {
  std::int64_t number = 0;
  std::string chart;
  std::array<ModelSlot, 3> slots;
};

// The list's rule written out plainly: each criterion holds for the chosen
// slot, or for some slot when all are chosen.
bool passes(const ModelClaim& claim, const ClaimFilter& filter) {
  auto any = [&](auto test) {
    if (filter.slot != 0) return test(claim.slots[static_cast<std::size_t>(filter.slot - 1)]);
    return test(claim.slots[0]) || test(claim.slots[1]) || test(claim.slots[2]);
  };
  if (!filter.chartNumber.empty() && claim.chart != filter.chartNumber) return false;
  if (!filter.carrier.empty() &&
      !any([&](const ModelSlot& s) { return s.carrier == filter.carrier; }))
    return false;
  if (!filter.receiver.empty() &&
      !any([&](const ModelSlot& s) { return s.receiver == filter.receiver; }))
    return false;
  if (!filter.billingMethod.empty() &&
      !any([&](const ModelSlot& s) { return s.method == filter.billingMethod; }))
    return false;
  if (!filter.status.empty() && !any([&](const ModelSlot& s) { return s.status == filter.status; }))
    return false;
  if (filter.batch && !any([&](const ModelSlot& s) { return s.batch == *filter.batch; }))
    return false;
  if (filter.excludeDone && filter.status.empty() &&
      !any([&](const ModelSlot& s) { return s.status != "6"; }))
    return false;
  return true;
}

class ClaimListOnEngine : public ClaimPractice {
 protected:
  // Forty claims from a fixed pseudo-random walk; a slot without a carrier is
  // Done, as creation leaves it.
  void makeClaims() {
    unsigned seed = 17;
    auto next = [&](unsigned range) {
      seed = seed * 1103515245U + 12345U;
      return (seed >> 16) % range;
    };
    const std::array<const char*, 3> carriers = {"MC", "BC", ""};
    for (int i = 0; i < 40; ++i) {
      ModelClaim model;
      model.chart = i % 3 == 0 ? "SMIJO000" : "DOEJA000";
      Fields fields = {{"Chart Number", model.chart}};
      for (int n = 1; n <= 3; ++n) {
        ModelSlot& slot = model.slots[static_cast<std::size_t>(n - 1)];
        slot.carrier = n == 1 ? (next(2) == 0 ? "MC" : "BC") : carriers[next(3)];
        slot.status = slot.carrier.empty() ? "6" : std::to_string(next(8));
        slot.method = next(2) == 0 ? "P" : "E";
        slot.receiver = next(2) == 0 ? "R1" : "";
        slot.batch = next(3);
        // The stored names, written out: the list must read the slot they belong to.
        const std::string number = std::to_string(n);
        const char* const position[] = {"Primary", "Secondary", "Tertiary"};
        fields.push_back({"Insurance Carrier " + number, slot.carrier});
        fields.push_back({"Claim Status " + number, slot.status});
        fields.push_back({std::string(position[n - 1]) + " Billing Method", slot.method});
        fields.push_back({"EMC Receiver " + number, slot.receiver});
        fields.push_back({"Batch Number " + number, std::to_string(slot.batch)});
      }
      vantrell::testing::insertRow(*practice_, "QVCLA", fields);
      model.number = count("SELECT MAX(\"Claim Number\") FROM \"QVCLA\"");
      claims_.push_back(model);
    }
  }
  std::vector<std::int64_t> expected(const ClaimFilter& filter) const {
    std::vector<std::int64_t> numbers;
    for (const auto& claim : claims_) {
      if (passes(claim, filter)) numbers.push_back(claim.number);
    }
    return numbers;
  }
  static std::vector<std::int64_t> listed(ClaimList& list) {
    std::vector<std::int64_t> numbers;
    for (auto page = list.nextPage(7); !page.empty(); page = list.nextPage(7)) {
      for (const auto& row : page) numbers.push_back(row.claimNumber);
    }
    return numbers;
  }
  std::vector<ModelClaim> claims_;
  ui::MemorySettings settings_;
};

TEST_P(ClaimListOnEngine, EveryFilterListsWhatTheModelSaysPageByPage) {
  makeClaims();
  ScriptedPrompter prompter{};
  ClaimList list(*practice_, prompter, settings_);
  EXPECT_EQ(list.title(), "Claim Management");
  std::vector<ClaimFilter> filters(12);
  filters[1].excludeDone = true;
  filters[2].slot = 2;
  filters[2].excludeDone = true;
  filters[3].carrier = "bc";  // typed in lower case
  filters[4].slot = 3;
  filters[4].carrier = "MC";
  filters[5].status = "2";
  filters[6].slot = 1;
  filters[6].status = "6";
  filters[6].excludeDone = true;  // ignored with a status chosen
  filters[7].batch = 2;
  filters[7].billingMethod = "E";
  filters[8].slot = 2;
  filters[8].batch = 0;
  filters[9].chartNumber = "smijo000";
  filters[9].receiver = "R1";
  filters[9].excludeDone = true;
  filters[10].slot = 1;
  filters[10].billingMethod = "P";
  filters[10].receiver = "R1";
  filters[11].carrier = "ZZ";
  std::size_t nonEmpty = 0;
  for (std::size_t i = 0; i < filters.size(); ++i) {
    ClaimFilter model = filters[i];
    model.chartNumber = store::upperAscii(model.chartNumber);
    model.carrier = store::upperAscii(model.carrier);
    list.applyFilter(filters[i]);
    const auto want = expected(model);
    EXPECT_EQ(listed(list), want) << "filter " << i << ": " << claimFilterExpression(filters[i]);
    if (!want.empty() && want.size() < claims_.size()) ++nonEmpty;
    // The carrier written for a walk in order selects the same claims.
    store::Table table = practice_->openTable("QVCLA");
    table.setOrder("Primary");
    const std::string inOrder = claimFilterExpression(filters[i], CarrierLookup::InOrder);
    if (!inOrder.empty()) table.setFilter(inOrder);
    std::vector<std::int64_t> walked;
    table.forEach([&](const store::Record& row) { walked.push_back(row.integer("Claim Number")); });
    EXPECT_EQ(walked, want) << "filter " << i << ": " << inOrder;
  }
  // The filters really narrow the list rather than all passing or all failing.
  EXPECT_GE(nonEmpty, 8U);
}

TEST_P(ClaimListOnEngine, ExcludeDoneHidesAClaimOnlyWhenAllThreeSlotsAreDone) {
  const auto onlyCarrierDone = claim({{"Insurance Carrier 1", "MC"},
                                      {"Claim Status 1", "6"},
                                      {"Claim Status 2", "6"},
                                      {"Claim Status 3", "6"}});
  const auto sent = claim({{"Insurance Carrier 1", "MC"},
                           {"Claim Status 1", "2"},
                           {"Claim Status 2", "6"},
                           {"Claim Status 3", "6"}});
  const auto secondOpen = claim({{"Insurance Carrier 1", "MC"},
                                 {"Insurance Carrier 2", "BC"},
                                 {"Claim Status 1", "6"},
                                 {"Claim Status 2", "1"},
                                 {"Claim Status 3", "6"}});
  ScriptedPrompter prompter{};
  ClaimList list(*practice_, prompter, settings_);
  ClaimFilter filter;
  filter.excludeDone = true;
  list.applyFilter(filter);
  EXPECT_EQ(listed(list), (std::vector<std::int64_t>{sent, secondOpen}));
  filter.slot = 1;
  list.applyFilter(filter);
  EXPECT_EQ(listed(list), (std::vector<std::int64_t>{sent}));
  filter = {};
  list.applyFilter(filter);
  EXPECT_EQ(listed(list), (std::vector<std::int64_t>{onlyCarrierDone, sent, secondOpen}));
  // The list opens again with Exclude Done as this user last left it.
  filter.excludeDone = true;
  list.applyFilter(filter);
  ClaimList reopened(*practice_, prompter, settings_);
  EXPECT_EQ(listed(reopened), (std::vector<std::int64_t>{sent, secondOpen}));
  // Only the filter dialog remembers the choice; opening the list writes nothing.
  ui::MemorySettings untouched;
  ClaimList opened(*practice_, prompter, untouched);
  EXPECT_EQ(untouched.read(claimManagementSettingsKey, "Exclude Done"), std::nullopt);
}

TEST_P(ClaimListOnEngine, ColumnsAreDerivedPerSlotAndSortingFollowsTheCodes) {
  const auto first = claim({{"Insurance Carrier 1", "MC"},
                            {"Claim Status 1", "4"},
                            {"Primary Billing Method", "E"},
                            {"Batch Number 1", "12"},
                            {"Primary Billing Date", "11/30/2026"},
                            {"Insurance Carrier 2", "BC"},
                            {"Claim Status 2", "1"},
                            {"Secondary Billing Method", "X"},
                            {"Claim Status 3", "6"},
                            {"Tertiary Billing Method", "E"}});
  const auto second = claim({{"Insurance Carrier 1", "BC"}, {"Claim Status 1", "0"}});
  ScriptedPrompter prompter{};
  ClaimList list(*practice_, prompter, settings_);
  auto rows = list.nextPage(10);
  ASSERT_EQ(rows.size(), 2U);
  const auto& row = rows[0];
  EXPECT_EQ(row.claimNumber, first);
  EXPECT_EQ(row.chartNumber, "DOEJA000");
  EXPECT_EQ(row.slots[0].carrier, "MC");
  EXPECT_EQ(row.slots[0].status, "Challenge");
  EXPECT_EQ(row.slots[0].medium, "EDI");
  EXPECT_EQ(row.slots[0].batch, 12);
  EXPECT_EQ(row.slots[0].billingDate, Date::fromYmd(2026, 11, 30));
  EXPECT_EQ(row.slots[1].status, "Ready to Send");
  EXPECT_EQ(row.slots[1].medium, "Paper");  // any code but E
  // No carrier: no label and no medium, whatever is stored.
  EXPECT_EQ(row.slots[2].status, "");
  EXPECT_EQ(row.slots[2].medium, "");

  ASSERT_TRUE(list.sortBy("Status 1"));  // by the code: Hold (0) before Challenge (4)
  rows = list.nextPage(10);
  ASSERT_EQ(rows.size(), 2U);
  EXPECT_EQ(rows[0].claimNumber, second);
  // A second click on the column turns the order round; another column starts ascending.
  ASSERT_TRUE(list.sortBy("Status 1"));
  rows = list.nextPage(10);
  ASSERT_EQ(rows.size(), 2U);
  EXPECT_EQ(rows[0].claimNumber, first);
  ASSERT_TRUE(list.sortBy("Claim Number"));
  EXPECT_EQ(list.nextPage(1).at(0).claimNumber, std::min(first, second));
  EXPECT_FALSE(list.sortBy("Medium 1"));
  EXPECT_EQ(prompter.transcript().back(), "error: You cannot sort the grid by this field.");
}

TEST_P(ClaimListOnEngine, NamedFiltersAreKeptInThePracticeAndExcludeDonePerUser) {
  ScriptedPrompter prompter{};
  ClaimFilter filter;
  filter.slot = 2;
  filter.carrier = "bc";
  filter.status = "3";
  filter.batch = 1234567;
  filter.billingDate = Date::fromYmd(2026, 2, 28);
  filter.dateCreated = Date::fromYmd(2025, 12, 31);
  filter.excludeDone = true;
  {
    ClaimList list(*practice_, prompter, settings_);
    EXPECT_FALSE(list.filterDialogPreset().excludeDone);
    ASSERT_TRUE(list.saveNamedFilter("Blue rejections", filter));
    ClaimFilter other;
    other.receiver = "R1";
    ASSERT_TRUE(list.saveNamedFilter("Receiver", other));
    // Saving again under a name replaces the filter.
    other.billingMethod = "E";
    ASSERT_TRUE(list.saveNamedFilter("Receiver", other));
    ClaimFilter bad;
    bad.carrier = "A|B";
    EXPECT_FALSE(list.saveNamedFilter("Bad", bad));
    list.applyFilter(filter);
  }
  // Another workstation of the practice sees the filters; this user's
  // settings keep Exclude Done.
  auto desk2 = space_->connect("DESK2");
  ui::MemorySettings otherSettings;
  ClaimList other(*desk2, prompter, otherSettings);
  EXPECT_EQ(other.namedFilters(), (std::vector<std::string>{"Blue rejections", "Receiver"}));
  ClaimFilter expectedFilter = filter;
  expectedFilter.carrier = "BC";
  EXPECT_EQ(other.namedFilter("blue rejections"), expectedFilter);
  EXPECT_EQ(other.namedFilter("Receiver")->billingMethod, "E");
  other.deleteNamedFilter("Receiver");
  EXPECT_EQ(other.namedFilters(), (std::vector<std::string>{"Blue rejections"}));
  EXPECT_FALSE(other.filterDialogPreset().excludeDone);
  ClaimList again(*practice_, prompter, settings_);
  EXPECT_TRUE(again.filterDialogPreset().excludeDone);
  EXPECT_EQ(settings_.read(claimManagementSettingsKey, "Exclude Done"), "1");
}

TEST_P(ClaimListOnEngine, EstimateModeListsTheEstimateClaims) {
  claim({{"Insurance Carrier 1", "MC"}});
  const auto estimate = claim({{"Insurance Carrier 1", "BC"}}, "QVCLAE");
  ScriptedPrompter prompter{};
  ClaimList list(*practice_, prompter, settings_, true);
  EXPECT_EQ(list.title(), "Claim Management - Pretreatment Plan/Estimate");
  const auto rows = list.nextPage(10);
  ASSERT_EQ(rows.size(), 1U);
  EXPECT_EQ(rows[0].claimNumber, estimate);
  EXPECT_EQ(rows[0].slots[0].carrier, "BC");
}

VANTRELL_ON_BOTH_ENGINES(ClaimListOnEngine);

}  // namespace
}  // namespace vantrell::claims
