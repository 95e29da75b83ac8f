// Create Claims on both engines, checked against hand-worked expectations:
// which charges share a claim, how many claims a receiver limit makes, what each
// slot of a new claim says, and what happens to charges another workstation
// holds or claims while the run goes on.
#include <fmt/format.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "claims/claim_creation.hpp"
#include "security/login_window.hpp"
#include "security/security.hpp"
#include "security/user_accounts.hpp"
#include "store/errors.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"
#include "support/practice_rows.hpp"
#include "support/scripted_prompter.hpp"
#include "support/store_fixture.hpp"
#include "ui/settings.hpp"

namespace vantrell::claims {
namespace {

using vantrell::testing::EngineTest;
using vantrell::testing::FieldTexts;
using vantrell::testing::ScriptedPrompter;

const char* const noClaimsText =
    "inform: No new claims were created. If you expected some to be created, check the "
    "following items:\n\n"
    "1. The patient's case needs at least one insurance carrier.\n\n"
    "2. The filter used to select transactions for claim creation\n"
    "may be excluding all transactions that are eligible to be\n"
    "placed on a claim.\n\n"
    "3. The transaction needs at least one insurance carrier that\n"
    "is responsible for payment.";

TEST(ClaimCriteriaDialog, ChecksTheCriteriaAndRemembersTheProviderMode) {
  ui::MemorySettings settings;
  ScriptedPrompter prompter({});
  {
    ClaimCriteriaDialog dialog(settings, prompter);
    EXPECT_EQ(dialog.criteria().providerMode, ProviderMode::Assigned);
    dialog.setProviderMode(ProviderMode::Attending);
  }
  EXPECT_EQ(settings.read(claimCreateSettingsKey, "Attending Provider"), "1");
  ClaimCriteriaDialog dialog(settings, prompter);
  EXPECT_EQ(dialog.criteria().providerMode, ProviderMode::Attending);
  dialog.setProviderMode(ProviderMode::Assigned);
  EXPECT_EQ(settings.read(claimCreateSettingsKey, "Attending Provider"), "0");
  // Anything but "1" is Assigned.
  settings.write(claimCreateSettingsKey, "Attending Provider", "yes");
  EXPECT_EQ(ClaimCriteriaDialog(settings, prompter).criteria().providerMode,
            ProviderMode::Assigned);
  dialog.setProvider("dr1,dr2");
  EXPECT_EQ(dialog.criteria().provider, "DR1,DR2");

  auto& criteria = dialog.criteria();
  criteria.fromDate = Date::fromYmd(2026, 11, 2);
  criteria.toDate = Date::fromYmd(2026, 11, 1);
  EXPECT_EQ(dialog.confirm(), ClaimCriteriaDialog::Field::ToDate);
  criteria.toDate = Date::fromYmd(2026, 11, 2);
  criteria.fromChart = "SMITH000";
  criteria.toChart = "JONES000";
  EXPECT_EQ(dialog.confirm(), ClaimCriteriaDialog::Field::ToChart);
  criteria.toChart = "";  // no TO chart: nothing to compare
  criteria.primaryInsurance = "ABCDEFGH";
  EXPECT_EQ(dialog.confirm(), ClaimCriteriaDialog::Field::PrimaryInsurance);
  criteria.primaryInsurance = "ABCDE,ABCD";
  EXPECT_EQ(dialog.confirm(), ClaimCriteriaDialog::Field::None);
  EXPECT_EQ(prompter.transcript(),
            (std::vector<std::string>{
                "error: A date entered is not correct.  Enter a valid date\nand make sure that "
                "the TO date is on or after the FROM date.",
                "error: The TO Chart Number is not correct.  Enter a number that\nis "
                "\"alphabetically greater\" than the FROM Chart Number.",
                "error: Each insurance code must be 5 (or less) characters."}));

  struct Row {
    const char* list;
    bool valid;
  };
  for (const Row& row :
       {Row{"", true}, Row{"ABCDE", true}, Row{"ABCDEF", false}, Row{"ABCDE,ABCD", true},
        Row{"ABCDEFGH", false}, Row{"A,B,CCCCCC", false}, Row{"A,B,CCCCC", true},
        Row{"ABCDEF,A", false}, Row{"AB,CD", true}, Row{"ABCDE,ABCDE,ABCDE", true}})
    EXPECT_EQ(primaryInsuranceListIsValid(row.list), row.valid) << row.list;
}

// The charges of one claim, by entry number, from the ledger itself.
using ClaimCharges = std::map<std::int64_t, std::set<std::int64_t>>;

class CreateClaims : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (IsSkipped() || HasFailure()) return;
    practice_ = space_->connect("tester", &clock_);
    store::createMissingTables(*practice_, nullptr);
    insert("QVECR", {{"Code", "R6"}, {"Maximum Transactions", "6"}});
    insert("QVINS",
           {{"Code", "MC"}, {"EMC Receiver", "R6"}, {"Default Billing Method", "Electronic"}});
    insert("QVINS", {{"Code", "BC"}, {"Default Billing Method", "Paper"}});
    insert("QVINS", {{"Code", "AET"}, {"EMC Receiver", "R6"}, {"Default Billing Method", "Paper"}});
  }
  void insert(const char* table, const FieldTexts& fields) {
    vantrell::testing::insertRow(*practice_, table, fields);
  }
  std::int64_t addCase(const FieldTexts& fields) {
    store::Table cases = practice_->openTable("QVCAS");
    store::Record row = cases.newRecord();
    for (const auto& [field, value] : fields) row.setFromText(field, value);
    cases.append(row);
    return row.integer("Case Number");
  }
  // An insurance-responsible procedure charge; returns its entry number.
  std::int64_t charge(const std::string& chart, std::int64_t caseNumber, const char* amount,
                      FieldTexts more = {}, const char* ledger = "QVTRN") {
    store::Table table = practice_->openTable(ledger);
    store::Record row = table.newRecord();
    FieldTexts fields = {
        {"Chart Number", chart},          {"Case Number", std::to_string(caseNumber)},
        {"Transaction Type", "A"},        {"Date From", "2026-11-02"},
        {"Insurance 1 Responsible", "T"}, {"Diagnosis Code 1", "R05"}};
    for (auto& field : more) {
      bool replaced = false;
      for (auto& existing : fields)
        if (existing.first == field.first) existing.second = field.second, replaced = true;
      if (!replaced) fields.push_back(field);
    }
    for (const auto& [field, value] : fields) row.setFromText(field, value);
    // Amounts of a fraction of a cent come from multiplying units, never from typing.
    row.set("Amount", store::Value{*Money::parse(amount)});
    table.append(row);
    return row.integer("Entry Number");
  }
  ClaimCreationResult run(const ClaimCriteria& criteria, ScriptedPrompter& prompter,
                          bool estimate = false, ui::Progress* progress = nullptr) {
    return createClaims({*practice_, prompter, nullptr, progress, estimate}, criteria);
  }
  ClaimCharges claimCharges(const char* ledger = "QVTRN") {
    ClaimCharges charges;
    const auto rows =
        practice_->executeSql(std::string("SELECT \"Claim Number\", \"Entry Number\" FROM ") +
                              ledger + " WHERE \"Claim Number\" > 0");
    for (const auto& row : rows.rows)
      charges[std::get<std::int64_t>(row[0])].insert(std::get<std::int64_t>(row[1]));
    return charges;
  }
  store::Record claim(std::int64_t number, const char* table = "QVCLA") {
    store::Table claims = practice_->openTable(table);
    claims.setOrder("Primary");
    auto row = claims.seek({store::Value{number}});
    EXPECT_TRUE(row.has_value()) << number;
    return *row;
  }

  ui::FixedClock clock_{DateTime::parse("2026-12-01 09:30:00").value()};
  std::unique_ptr<store::Connection> practice_;
};

TEST_P(CreateClaims, GroupsByCaseAndDiagnosisAndCutsAtTheReceiverLimit) {
  practice_->setUser("ANN");
  const std::int64_t limited = addCase({{"Chart Number", "AAAA0001"},
                                        {"Insurance Carrier #1", "MC"},
                                        {"Insurance Carrier #2", "BC"},
                                        {"Assigned Provider", "DR1"},
                                        {"Billing Code", "A"},
                                        {"Indicator 1", "IND"}});
  std::vector<std::int64_t> limitedEntries;
  for (int i = 0; i < 14; ++i) limitedEntries.push_back(charge("AAAA0001", limited, "10"));
  // The same case with another second diagnosis: a claim of its own.
  const std::int64_t otherDiagnosis =
      charge("AAAA0001", limited, "10", {{"Diagnosis Code 2", "J20"}});

  const std::int64_t secondOnly =
      addCase({{"Chart Number", "BBBB0001"}, {"Insurance Carrier #2", "AET"}});
  std::set<std::int64_t> secondOnlyEntries;
  for (int i = 0; i < 8; ++i) secondOnlyEntries.insert(charge("BBBB0001", secondOnly, "5"));

  // Left unbilled: a cash case, a case without carriers, a total of exactly
  // 0.00, a billing charge (H), a charge no policy answers for, a charge on a claim.
  const std::int64_t cash =
      addCase({{"Chart Number", "CCCC0001"}, {"Insurance Carrier #1", "MC"}, {"Cash Case", "T"}});
  charge("CCCC0001", cash, "40");
  const std::int64_t noCarrier = addCase({{"Chart Number", "DDDD0001"}});
  charge("DDDD0001", noCarrier, "40");
  const std::int64_t zero = addCase({{"Chart Number", "EEEE0001"}, {"Insurance Carrier #1", "BC"}});
  charge("EEEE0001", zero, "25");
  charge("EEEE0001", zero, "-25");
  charge("EEEE0001", zero, "5", {{"Diagnosis Code 1", "Z01"}});
  charge("EEEE0001", zero, "-15", {{"Diagnosis Code 1", "Z01"}});
  const std::int64_t kinds =
      addCase({{"Chart Number", "FFFF0001"}, {"Insurance Carrier #1", "BC"}});
  charge("FFFF0001", kinds, "30", {{"Transaction Type", "H"}});
  charge("FFFF0001", kinds, "30", {{"Insurance 1 Responsible", "F"}});
  charge("FFFF0001", kinds, "30", {{"Claim Number", "77"}});
  const std::int64_t thirdResponsible = charge("FFFF0001", kinds, "30",
                                               {{"Insurance 1 Responsible", "F"},
                                                {"Insurance 3 Responsible", "T"},
                                                {"Diagnosis Code 1", "Z00"}});

  ScriptedPrompter prompter({});
  const ClaimCreationResult result = run({}, prompter);
  EXPECT_TRUE(prompter.transcript().empty());
  ASSERT_EQ(result.claims.size(), 6u);
  EXPECT_EQ(result.chargesStamped, 14 + 1 + 8 + 1);

  const ClaimCharges charges = claimCharges();
  ASSERT_EQ(charges.size(), 7u);  // the six new claims and claim 77
  // In ledger order: 6, 6 and 2 of the limited group, then the J20 charge.
  const auto& claims = result.claims;
  EXPECT_EQ(charges.at(claims[0]),
            std::set<std::int64_t>(limitedEntries.begin(), limitedEntries.begin() + 6));
  EXPECT_EQ(charges.at(claims[1]),
            std::set<std::int64_t>(limitedEntries.begin() + 6, limitedEntries.begin() + 12));
  EXPECT_EQ(charges.at(claims[2]),
            std::set<std::int64_t>(limitedEntries.begin() + 12, limitedEntries.end()));
  EXPECT_EQ(charges.at(claims[3]), std::set<std::int64_t>{otherDiagnosis});
  // Carrier 2 alone: no receiver limit from it, all eight on one claim.
  EXPECT_EQ(charges.at(claims[4]), secondOnlyEntries);
  EXPECT_EQ(charges.at(claims[5]), std::set<std::int64_t>{thirdResponsible});

  const store::Record first = claim(claims[0]);
  EXPECT_EQ(first.text("Chart Number"), "AAAA0001");
  EXPECT_EQ(first.integer("Case Number"), limited);
  EXPECT_EQ(first.text("Provider"), "DR1");
  EXPECT_EQ(first.text("Billing Code"), "A");
  EXPECT_EQ(first.text("Indicator 1"), "IND");
  EXPECT_EQ(first.text("Diagnosis Code 1"), "R05");
  EXPECT_EQ(first.text("Diagnosis Code 2"), "");
  EXPECT_EQ(first.text("Insurance Carrier 1"), "MC");
  EXPECT_EQ(first.text("EMC Receiver 1"), "R6");
  EXPECT_EQ(first.text("Primary Billing Method"), "E");
  EXPECT_EQ(first.text("Claim Status 1"), "1");
  EXPECT_EQ(first.text("Insurance Carrier 2"), "BC");
  EXPECT_EQ(first.text("Secondary Billing Method"), "P");
  EXPECT_EQ(first.text("Claim Status 2"), "1");
  EXPECT_EQ(first.text("Insurance Carrier 3"), "");
  EXPECT_EQ(first.text("Claim Status 3"), "6");
  EXPECT_EQ(first.integer("Batch Number 1"), 0);
  EXPECT_EQ(first.integer("Secondary Submission Cnt"), 0);
  EXPECT_TRUE(first.date("Primary Billing Date").isEmpty());
  EXPECT_EQ(first.date("Date Created"), Date::fromYmd(2026, 12, 1));
  EXPECT_EQ(first.text("User Code"), "ANN");
  EXPECT_EQ(claim(claims[3]).text("Diagnosis Code 2"), "J20");

  const store::Record second = claim(claims[4]);
  EXPECT_EQ(second.text("Claim Status 1"), "6");
  EXPECT_EQ(second.text("Insurance Carrier 1"), "");
  EXPECT_EQ(second.text("Insurance Carrier 2"), "AET");
  EXPECT_EQ(second.text("EMC Receiver 2"), "R6");
  EXPECT_EQ(second.text("Secondary Billing Method"), "P");
  EXPECT_EQ(second.text("Claim Status 2"), "1");

  // Nothing is left to bill: the second run says so.
  ScriptedPrompter again({});
  const ClaimCreationResult second_run = run({}, again);
  EXPECT_TRUE(second_run.claims.empty());
  EXPECT_EQ(again.transcript(), std::vector<std::string>{noClaimsText});
  EXPECT_EQ(again.captions(), std::vector<std::string>{"Information"});
}

TEST_P(CreateClaims, TheMinimumIsComparedWithTheCentRoundedRunningTotal) {
  const std::int64_t caseNumber =
      addCase({{"Chart Number", "AAAA0001"}, {"Insurance Carrier #1", "BC"}});
  // Each half cent rounds up as it is added: 0.01, then 0.02 (the plain sum is 0.01).
  charge("AAAA0001", caseNumber, "0.005");
  charge("AAAA0001", caseNumber, "0.005");
  // Exactly the minimum, and a cent above it.
  charge("AAAA0001", caseNumber, "0.01", {{"Diagnosis Code 1", "B01"}});
  charge("AAAA0001", caseNumber, "0.02", {{"Diagnosis Code 1", "C01"}});
  ClaimCriteria criteria;
  criteria.minimum = Money::fromCents(1);
  ScriptedPrompter prompter({});
  const ClaimCreationResult result = run(criteria, prompter);
  ASSERT_EQ(result.claims.size(), 2u);
  EXPECT_EQ(claim(result.claims[0]).text("Diagnosis Code 1"), "C01");
  EXPECT_EQ(claim(result.claims[1]).text("Diagnosis Code 1"), "R05");
  EXPECT_EQ(claimCharges().at(result.claims[1]).size(), 2u);
}

TEST_P(CreateClaims, CaseCriteriaProviderModesAndChargeCriteria) {
  const std::int64_t aY = addCase({{"Chart Number", "AAAA0001"},
                                   {"Insurance Carrier #1", "BC"},
                                   {"Billing Code", "A"},
                                   {"Indicator 1", "Y"},
                                   {"Assigned Provider", "DR1"}});
  const std::int64_t bX = addCase({{"Chart Number", "BBBB0001"},
                                   {"Insurance Carrier #1", "BC"},
                                   {"Billing Code", "B"},
                                   {"Indicator 1", "X"},
                                   {"Assigned Provider", "DR2"}});
  charge("AAAA0001", aY, "10");
  const std::int64_t byOne = charge("BBBB0001", bX, "10", {{"Attending Provider", "DR1"}});
  const std::int64_t byTwo = charge("BBBB0001", bX, "10", {{"Attending Provider", "DR2"}});

  ClaimCriteria criteria;
  criteria.billingCodes = "A,B";
  criteria.caseIndicators = "X";
  criteria.primaryInsurance = "MC";
  ScriptedPrompter none({});
  EXPECT_TRUE(run(criteria, none).claims.empty());  // no case has MC first

  // Assigned: both attending providers share the case's claim, whose provider is the case's.
  criteria.primaryInsurance = "MC,BC";
  ScriptedPrompter assigned({});
  auto result = run(criteria, assigned);
  ASSERT_EQ(result.claims.size(), 1u);
  EXPECT_EQ(claimCharges().at(result.claims[0]), (std::set<std::int64_t>{byOne, byTwo}));
  EXPECT_EQ(claim(result.claims[0]).text("Provider"), "DR2");

  // Attending: one claim per attending provider, the provider text matched whole.
  practice_->executeSql("UPDATE QVTRN SET \"Claim Number\" = 0");
  practice_->executeSql("DELETE FROM QVCLA");
  criteria.providerMode = ProviderMode::Attending;
  criteria.provider = "DR1";
  ScriptedPrompter attending({});
  result = run(criteria, attending);
  ASSERT_EQ(result.claims.size(), 1u);
  EXPECT_EQ(claimCharges().at(result.claims[0]), std::set<std::int64_t>{byOne});
  EXPECT_EQ(claim(result.claims[0]).text("Provider"), "DR1");
  criteria.provider = "";
  ScriptedPrompter rest({});
  result = run(criteria, rest);
  ASSERT_EQ(result.claims.size(), 1u);
  EXPECT_EQ(claimCharges().at(result.claims[0]), std::set<std::int64_t>{byTwo});

  // Charge criteria: dates, charts and place of service.
  practice_->executeSql("UPDATE QVTRN SET \"Claim Number\" = 0");
  const std::int64_t late =
      charge("AAAA0001", aY, "10", {{"Date From", "2026-11-20"}, {"Place of Service", "21"}});
  ClaimCriteria charges;
  charges.fromDate = Date::fromYmd(2026, 11, 10);
  charges.toDate = Date::fromYmd(2026, 11, 30);
  charges.fromChart = "AAAA0001";
  charges.toChart = "AAAA0001";
  charges.location = "21";
  ScriptedPrompter dated({});
  result = run(charges, dated);
  ASSERT_EQ(result.claims.size(), 1u);
  EXPECT_EQ(claimCharges().at(result.claims[0]), std::set<std::int64_t>{late});
}

TEST_P(CreateClaims, EstimatesGoToTheirOwnTablesOnPaper) {
  const std::int64_t caseNumber =
      addCase({{"Chart Number", "AAAA0001"}, {"Insurance Carrier #1", "MC"}});
  const std::int64_t estimate = charge("AAAA0001", caseNumber, "50", {}, "QVTRNE");
  const std::int64_t real = charge("AAAA0001", caseNumber, "50");
  ScriptedPrompter prompter({});
  const auto result = run({}, prompter, true);
  ASSERT_EQ(result.claims.size(), 1u);
  EXPECT_EQ(claimCharges("QVTRNE").at(result.claims[0]), std::set<std::int64_t>{estimate});
  EXPECT_EQ(claim(result.claims[0], "QVCLAE").text("Primary Billing Method"), "P");
  EXPECT_TRUE(claimCharges().empty());
  EXPECT_EQ(vantrell::testing::singleNumber(*practice_, "SELECT COUNT(*) FROM QVCLA"), 0);
  (void)real;
}

// Logs in with the name and password it was given.
class TypedLogin final : public security::LoginPrompt {
 public:
  TypedLogin(std::string name, std::string password)
      : name_(std::move(name)), password_(std::move(password)) {}
  bool run(security::LoginWindow& window) override {
    return window.submit(name_, password_) == security::LoginWindow::Outcome::LoggedIn;
  }

 private:
  std::string name_, password_;
};

TEST_P(CreateClaims, NeedsThePermissionAndSignsClaimsWithTheUser) {
  ::setenv("VANTRELL_PASSWORD_COST", "test", 1);
  const std::int64_t caseNumber =
      addCase({{"Chart Number", "AAAA0001"}, {"Insurance Carrier #1", "BC"}});
  charge("AAAA0001", caseNumber, "10");
  for (const auto& [code, level] : {std::pair{"ANN", "1"}, std::pair{"LOW", "5"}}) {
    ScriptedPrompter quiet({});
    security::SecuritySetupWindow setup(*practice_, quiet, clock_);
    ASSERT_TRUE(
        setup.saveUser(code, {{"Name", code}, {"Access Level", level}, {"Password", "Pass1234"}}))
        << (quiet.transcript().empty() ? "" : quiet.transcript().back());
  }
  vantrell::testing::PracticeSpace rootSpace(engine());
  auto root = rootSpace.connect("tester", &clock_);
  store::ensureTable(*root, "QVUSR");

  ScriptedPrompter lowPrompter({});
  security::Security low(*practice_, *root, lowPrompter, clock_);
  TypedLogin lowLogin("LOW", "Pass1234");
  ASSERT_TRUE(low.logInAtOpen(&lowLogin));
  const auto refused = createClaims({*practice_, lowPrompter, &low, nullptr, false}, {});
  EXPECT_FALSE(refused.permitted);
  EXPECT_EQ(lowPrompter.transcript().back(),
            "error: ACCESS DENIED\nSecurity level is insufficient for this operation.");
  EXPECT_TRUE(claimCharges().empty());
  low.logOut();

  ScriptedPrompter annPrompter({});
  security::Security ann(*practice_, *root, annPrompter, clock_);
  TypedLogin annLogin("ANN", "Pass1234");
  ASSERT_TRUE(ann.logInAtOpen(&annLogin));
  const auto made = createClaims({*practice_, annPrompter, &ann, nullptr, false}, {});
  ASSERT_EQ(made.claims.size(), 1u);
  EXPECT_EQ(claim(made.claims[0]).text("User Code"), "ANN");
}

// Runs a step when the selection has been read, before the first claim.
class AfterSelection final : public ui::Progress {
 public:
  explicit AfterSelection(std::function<void()> step, int groupsBeforeAbort = -1)
      : step_(std::move(step)), groupsLeft_(groupsBeforeAbort) {}
  void begin(const std::string&, std::int64_t) override { step_(); }
  bool advance(std::int64_t) override { return groupsLeft_ < 0 || --groupsLeft_ > 0; }
  void end() override {}

 private:
  std::function<void()> step_;
  int groupsLeft_;
};

TEST_P(CreateClaims, ChargesHeldOrClaimedElsewhereAreLeftAndCounted) {
  const std::int64_t one = addCase({{"Chart Number", "AAAA0001"}, {"Insurance Carrier #1", "BC"}});
  const std::int64_t two = addCase({{"Chart Number", "BBBB0001"}, {"Insurance Carrier #1", "BC"}});
  const std::int64_t held = charge("AAAA0001", one, "10");
  const std::int64_t free = charge("AAAA0001", one, "10");
  const std::int64_t taken = charge("BBBB0001", two, "10");

  auto other = space_->connect("frontdesk");
  store::Table otherLedger = other->openTable("QVTRN");
  otherLedger.setOrder("Idxentrynumber");
  store::Record heldRow = *otherLedger.seek({store::Value{held}});
  otherLedger.edit(heldRow);

  ScriptedPrompter prompter({});
  AfterSelection claimElsewhere([&] {
    other->executeSql("UPDATE QVTRN SET \"Claim Number\" = 900 WHERE \"Entry Number\" = ?",
                      {store::Value{taken}});
  });
  const auto result = run({}, prompter, false, &claimElsewhere);
  // The second case's only charge went elsewhere: no claim is left without charges.
  ASSERT_EQ(result.claims.size(), 1u);
  EXPECT_EQ(result.chargesInUse, 1);
  EXPECT_EQ(result.chargesClaimedMeanwhile, 1);
  EXPECT_EQ(claimCharges().at(result.claims[0]), std::set<std::int64_t>{free});
  EXPECT_EQ(vantrell::testing::singleNumber(*practice_, "SELECT COUNT(*) FROM QVCLA"), 1);
  EXPECT_EQ(prompter.transcript(),
            std::vector<std::string>{
                "inform: 1 transaction was in use at another workstation and was not placed on "
                "a claim.  Create Claims again later to bill it."});

  // Once let go, a later run bills it.
  otherLedger.cancel(heldRow);
  ScriptedPrompter later({});
  const auto next = run({}, later);
  ASSERT_EQ(next.claims.size(), 1u);
  EXPECT_EQ(claimCharges().at(next.claims[0]), std::set<std::int64_t>{held});
}

TEST_P(CreateClaims, AbortStopsBetweenClaims) {
  for (const char* chart : {"AAAA0001", "BBBB0001", "CCCC0001"}) {
    const std::int64_t number = addCase({{"Chart Number", chart}, {"Insurance Carrier #1", "BC"}});
    charge(chart, number, "10");
    charge(chart, number, "10");
  }
  ScriptedPrompter prompter({});
  AfterSelection abortAfterOne([] {}, 1);
  const auto result = run({}, prompter, false, &abortAfterOne);
  EXPECT_TRUE(result.aborted);
  ASSERT_EQ(result.claims.size(), 1u);
  EXPECT_EQ(claimCharges().at(result.claims[0]).size(), 2u);
  EXPECT_EQ(vantrell::testing::singleNumber(*practice_,
                                            "SELECT COUNT(*) FROM QVTRN WHERE "
                                            "COALESCE(\"Claim Number\", 0) = 0"),
            4);
  EXPECT_TRUE(prompter.transcript().empty());
}

// Slows a run down so that it can be killed half-way.
class SlowProgress final : public ui::Progress {
 public:
  void begin(const std::string&, std::int64_t) override {}
  bool advance(std::int64_t) override {
    ::usleep(3000);
    return true;
  }
  void end() override {}
};

TEST_P(CreateClaims, AKilledRunLeavesNoClaimWithoutChargesAndNoChargeWithoutClaim) {
  constexpr int patients = 600;
  {
    store::Transaction transaction(*practice_);
    store::Table cases = practice_->openTable("QVCAS");
    store::Table ledger = practice_->openTable("QVTRN");
    for (int patient = 1; patient <= patients; ++patient) {
      const std::string chart = fmt::format("P{:07}", patient);
      store::Record row = cases.newRecord();
      row.setFromText("Chart Number", chart);
      row.setFromText("Insurance Carrier #1", "MC");
      cases.append(row);
      for (int line = 0; line < 5; ++line) {
        store::Record entry = ledger.newRecord();
        entry.setFromText("Chart Number", chart);
        entry.set("Case Number", store::Value{row.integer("Case Number")});
        entry.setFromText("Transaction Type", "A");
        entry.setFromText("Amount", "20");
        entry.setFromText("Insurance 1 Responsible", "T");
        entry.setFromText("Diagnosis Code 1", line < 3 ? "R05" : "J20");
        ledger.append(entry);
      }
    }
    transaction.commit();
  }
  const std::int64_t charges = 5 * patients;

  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    try {
      auto connection = space_->connect("batch");
      ScriptedPrompter prompter({});
      SlowProgress slow;
      createClaims({*connection, prompter, nullptr, &slow, false}, {});
    } catch (...) {
    }
    ::_exit(0);
  }
  // Kill it once some claims are made.
  std::int64_t made = 0;
  for (int attempt = 0; attempt < 2000 && made < 20; ++attempt) {
    ::usleep(5000);
    try {
      made = vantrell::testing::singleNumber(*practice_, "SELECT COUNT(*) FROM QVCLA");
    } catch (const store::StoreError&) {
    }
  }
  ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the run ended before it was killed";
  ASSERT_GE(made, 20);

  auto after = space_->connect("checker");
  const std::int64_t claims = vantrell::testing::singleNumber(*after, "SELECT COUNT(*) FROM QVCLA");
  const std::int64_t stamped = vantrell::testing::singleNumber(
      *after, "SELECT COUNT(*) FROM QVTRN WHERE \"Claim Number\" > 0");
  EXPECT_GT(stamped, 0);
  EXPECT_LT(stamped, charges);
  EXPECT_EQ(vantrell::testing::singleNumber(
                *after,
                "SELECT COUNT(*) FROM QVCLA c WHERE NOT EXISTS (SELECT 1 FROM QVTRN t WHERE "
                "t.\"Claim Number\" = c.\"Claim Number\")"),
            0);
  EXPECT_EQ(vantrell::testing::singleNumber(
                *after,
                "SELECT COUNT(*) FROM QVTRN t WHERE t.\"Claim Number\" > 0 AND NOT EXISTS "
                "(SELECT 1 FROM QVCLA c WHERE c.\"Claim Number\" = t.\"Claim Number\")"),
            0);

  // A new run finishes the job: two claims per patient in all.
  ScriptedPrompter prompter({});
  const auto rest = createClaims({*after, prompter, nullptr, nullptr, false}, {});
  EXPECT_EQ(claims + static_cast<std::int64_t>(rest.claims.size()), 2 * patients);
  EXPECT_EQ(vantrell::testing::singleNumber(
                *after, "SELECT COUNT(*) FROM QVTRN WHERE \"Claim Number\" > 0"),
            charges);
}

VANTRELL_ON_BOTH_ENGINES(CreateClaims);

}  // namespace
}  // namespace vantrell::claims
