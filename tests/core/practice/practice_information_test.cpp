#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "practice/practice_information.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"
#include "support/scripted_prompter.hpp"
#include "support/store_fixture.hpp"

namespace vantrell::practice {
namespace {

using Page = PracticeInformationWindow::Page;
using vantrell::testing::EngineTest;
using vantrell::testing::ScriptedPrompter;

std::vector<store::Record> storedRows(store::Connection& connection, std::string_view table) {
  store::Table opened = connection.openTable(table);
  std::vector<store::Record> rows;
  opened.forEach([&rows](store::Record& row) { rows.push_back(row); });
  return rows;
}

class PracticeInformationOnEngine : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    connection_ = space_->connect();
    store::ensureTable(*connection_, "QVPRA");
    store::ensureTable(*connection_, "QVBSP");
  }
  std::unique_ptr<store::Connection> connection_;
};

TEST_P(PracticeInformationOnEngine, OpeningMakesOneMedicalRowInEachTableOnce) {
  ScriptedPrompter prompter({});
  {
    PracticeInformationWindow window(*connection_, prompter);
    EXPECT_EQ(window.practice().text("Practice Type"), "Medical");
    EXPECT_EQ(window.billingService().text("Practice Type"), "Medical");
    EXPECT_EQ(window.practiceTypeLetter(), ' ');
  }
  PracticeInformationWindow again(*connection_, prompter);
  for (const char* table : {"QVPRA", "QVBSP"}) {
    const auto rows = storedRows(*connection_, table);
    ASSERT_EQ(rows.size(), 1U) << table;
    EXPECT_EQ(rows.front().text("Practice Type"), "Medical") << table;
  }
  EXPECT_TRUE(prompter.transcript().empty());
}

struct NameCase {
  const char* what;
  const char* practiceName;
  const char* billingServiceName;
  Page showing;
  std::vector<std::string> transcript;
  const char* storedPracticeName;  // null when nothing may be saved
};

TEST_P(PracticeInformationOnEngine, AnEmptyPracticeNameTakesTheBillingServicesOrRefusesTheSave) {
  const std::vector<NameCase> cases = {
      {"both empty, practice page", "", "", Page::Practice,
       {"error: You must enter a Practice Name before saving."}, nullptr},
      {"both empty, billing service page", "", "  ", Page::BillingService,
       {"error: You must enter a Billing Service Name before saving."}, nullptr},
      {"practice name from the billing service", "", "Northgate Billing", Page::Practice, {}, "Northgate Billing"},
      {"own name kept", "Lakeside Family Clinic", "", Page::BillingService, {}, "Lakeside Family Clinic"},
      {"both named", "Lakeside Family Clinic", "Northgate Billing", Page::Practice, {}, "Lakeside Family Clinic"},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.what);
    ScriptedPrompter prompter({});
    PracticeInformationWindow window(*connection_, prompter);
    const auto practiceBefore = storedRows(*connection_, "QVPRA").front();
    window.practice().set("Practice Name", std::string(row.practiceName));
    window.billingService().set("Practice Name", std::string(row.billingServiceName));
    window.billingService().set("City", std::string("Riverton"));

    const bool saved = window.save(row.showing);
    EXPECT_EQ(prompter.transcript(), row.transcript);
    const auto practice = storedRows(*connection_, "QVPRA").front();
    const auto billingService = storedRows(*connection_, "QVBSP").front();
    if (row.storedPracticeName == nullptr) {
      EXPECT_FALSE(saved);
      EXPECT_EQ(practice.text("Practice Name"), practiceBefore.text("Practice Name"));
      EXPECT_EQ(practice.timestamp("Date Modified"), practiceBefore.timestamp("Date Modified"));
      EXPECT_NE(billingService.text("City"), "Riverton");
    } else {
      EXPECT_TRUE(saved);
      EXPECT_EQ(practice.text("Practice Name"), row.storedPracticeName);
      EXPECT_EQ(billingService.text("Practice Name"), std::string(row.billingServiceName));
      EXPECT_EQ(billingService.text("City"), "Riverton");
    }
  }
}

TEST_P(PracticeInformationOnEngine, ASaveHoldsTheFirstLetterOfThePracticeType) {
  ScriptedPrompter prompter({});
  PracticeInformationWindow window(*connection_, prompter);
  window.practice().set("Practice Name", std::string("Back Care Associates"));
  ASSERT_TRUE(window.save(Page::Practice));
  EXPECT_EQ(window.practiceTypeLetter(), 'M');

  // The letter follows the practice's record, not the billing service's.
  window.practice().set("Practice Type", std::string("Chiropractic"));
  window.billingService().set("Practice Type", std::string("Anesthesia"));
  ASSERT_TRUE(window.save(Page::BillingService));
  EXPECT_EQ(window.practiceTypeLetter(), 'C');
  EXPECT_EQ(storedRows(*connection_, "QVPRA").front().text("Practice Type"), "Chiropractic");
  EXPECT_EQ(storedRows(*connection_, "QVBSP").front().text("Practice Type"), "Anesthesia");
}

TEST_P(PracticeInformationOnEngine, AWindowSavesOverAnotherWorkstationsChangesAndRemakesARemovedRow) {
  ScriptedPrompter prompter({});
  PracticeInformationWindow window(*connection_, prompter);
  window.practice().set("Practice Name", std::string("Lakeside Family Clinic"));
  window.billingService().set("Practice Name", std::string("Northgate Billing"));

  auto other = space_->connect("other");
  {
    PracticeInformationWindow elsewhere(*other, prompter);
    elsewhere.practice().set("Practice Name", std::string("Lakeside Clinic"));
    elsewhere.practice().set("Phone", std::string("(555)010-2000"));
    ASSERT_TRUE(elsewhere.save(Page::Practice));
    store::Table billingServices = other->openTable("QVBSP");
    auto row = storedRows(*other, "QVBSP").front();
    billingServices.remove(row);
  }

  ASSERT_TRUE(window.save(Page::Practice));
  const auto practices = storedRows(*connection_, "QVPRA");
  ASSERT_EQ(practices.size(), 1U);
  EXPECT_EQ(practices.front().text("Practice Name"), "Lakeside Family Clinic");
  EXPECT_EQ(practices.front().text("Phone"), "(555)010-2000");
  const auto billingServices = storedRows(*connection_, "QVBSP");
  ASSERT_EQ(billingServices.size(), 1U);
  EXPECT_EQ(billingServices.front().text("Practice Name"), "Northgate Billing");
  EXPECT_EQ(billingServices.front().text("Practice Type"), "Medical");
  EXPECT_TRUE(prompter.transcript().empty());
}

VANTRELL_ON_BOTH_ENGINES(PracticeInformationOnEngine);

}  // namespace
}  // namespace vantrell::practice
