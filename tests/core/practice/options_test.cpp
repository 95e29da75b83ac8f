#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "practice/options.hpp"
#include "store/errors.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"
#include "support/scripted_prompter.hpp"
#include "support/store_fixture.hpp"

namespace vantrell::practice {
namespace {

using vantrell::testing::EngineTest;
using vantrell::testing::ScriptedPrompter;

std::vector<store::Record> storedRows(store::Connection& connection) {
  store::Table table = connection.openTable("QVOPT");
  std::vector<store::Record> rows;
  table.forEach([&rows](store::Record& row) { rows.push_back(row); });
  return rows;
}

// Every stored value as text, Date Modified included, so any post shows.
std::vector<std::string> storedTexts(store::Connection& connection) {
  const auto rows = storedRows(connection);
  std::vector<std::string> texts;
  for (const auto& row : rows)
    for (std::size_t i = 0; i < row.table().fields().size(); ++i) texts.push_back(store::valueToText(row.value(i)));
  return texts;
}

class OptionsOnEngine : public EngineTest {};

TEST_P(OptionsOnEngine, AFreshPracticeGetsOneRowOfNewValues) {
  auto connection = space_->connect();
  store::ensureTable(*connection, "QVOPT");
  const Options options = Options::readAtPracticeOpen(*connection);

  const auto rows = storedRows(*connection);
  ASSERT_EQ(rows.size(), 1U);
  const store::Record& row = rows.front();
  EXPECT_EQ(row.integer("Data Version Number"), 19);
  const std::vector<std::pair<const char*, std::int64_t>> buckets = {
      {"Pat Aging Column 1 Start", 0}, {"Pat Aging Column 1 End", 30}, {"Pat Aging Column 2", 60},
      {"Pat Aging Column 3", 90},      {"Ins Aging Column 1 Start", 0}, {"Ins Aging Column 1 End", 30},
      {"Ins Aging Column 2", 60},      {"Ins Aging Column 3", 90},      {"Ins Aging Column 4", 120}};
  for (const auto& [field, days] : buckets) {
    EXPECT_FALSE(row.isEmpty(field)) << field;
    EXPECT_EQ(row.integer(field), days) << field;
  }
  // Log Off Min is no new-row value; the open fills it in right after the append.
  EXPECT_EQ(row.integer("Log Off Min"), 15);
  EXPECT_EQ(row.text("Backup Program"), "vantrell-backup");
  EXPECT_EQ(row.text("Default Location Code"), "11");
  for (const char* field : {"Remind to Backup on Close", "Use Serialized Superbills", "Enforce Accept Assignment",
                            "Pat Age By Date From", "Mark Completed Claims Done", "Show Case Tab 1", "Show Case Tab 11"}) {
    EXPECT_TRUE(row.logical(field)) << field;
  }
  for (const char* field : {"Show Cue Cards", "Create Billing Notes", "Create Statement Billing Notes",
                            "Pat Age By Statement Date", "Use Classic Icons"}) {
    EXPECT_FALSE(row.isEmpty(field)) << field;
    EXPECT_FALSE(row.logical(field)) << field;
  }
  for (const char* field : {"Show Case Tab 12", "Auto Log Off", "Numeric", "Sales Tax Rate", "Cycle Billing Days",
                            "Billing Note Code", "Audit Tables"}) {
    EXPECT_TRUE(row.isEmpty(field)) << field;
  }
  EXPECT_FALSE(row.isEmpty("Date Modified"));

  // What the program keeps in memory is what was stored.
  EXPECT_EQ(options.number("Ins Aging Column 4"), 120);
  EXPECT_EQ(options.text("Backup Program"), "vantrell-backup");
  EXPECT_FALSE(options.autoLogOff());
  EXPECT_THROW(options.flag("Show Case Tab 13"), store::InputError);

  // Another workstation opening the practice finds the row and adds none.
  auto second = space_->connect("second");
  const auto before = storedTexts(*second);
  Options::readAtPracticeOpen(*second);
  EXPECT_EQ(storedTexts(*second), before);
}

TEST_P(OptionsOnEngine, AnOlderRowGetsItsMissingValuesAtOpenAndKeepsTheRest) {
  auto connection = space_->connect();
  store::ensureTable(*connection, "QVOPT");
  {
    store::Table table = connection->openTable("QVOPT");
    store::Record old = table.newRecord();
    old.set("Data Version Number", std::int64_t{18});
    old.set("Pat Aging Column 1 Start", std::int64_t{5});
    old.set("Pat Aging Column 1 End", std::int64_t{45});
    old.set("Pat Age By Statement Date", true);
    old.set("Use Zip Code", false);
    old.set("Auto Log Off", true);
    old.set("Default Location Code", std::string("22"));
    table.append(old);
  }

  const Options options = Options::readAtPracticeOpen(*connection);
  const store::Record row = storedRows(*connection).front();
  for (const Options& seen : {options, Options(row)}) {
    EXPECT_EQ(seen.number("Log Off Min"), 15);
    EXPECT_EQ(seen.number("Pat Aging Column 1 Start"), 0);
    EXPECT_EQ(seen.number("Pat Aging Column 1 End"), 30);
    EXPECT_EQ(seen.number("Pat Aging Column 3"), 90);
    EXPECT_EQ(seen.number("Ins Aging Column 4"), 120);
    EXPECT_TRUE(seen.flag("Use Zip Code"));
    EXPECT_TRUE(seen.flag("Pat Age By Date From"));
    EXPECT_FALSE(seen.flag("Pat Age By Statement Date"));
    EXPECT_TRUE(seen.flag("Mark Completed Claims Done"));
    // Conversion, not the open, moves the data version; other choices stay.
    EXPECT_EQ(seen.number("Data Version Number"), 18);
    EXPECT_EQ(seen.text("Default Location Code"), "22");
    EXPECT_TRUE(seen.autoLogOff());
  }

  // Once filled, a practice's own aging and log-off time survive the next open.
  {
    store::Table table = connection->openTable("QVOPT");
    store::Record stored = storedRows(*connection).front();
    stored.set("Pat Aging Column 1 End", std::int64_t{45});
    stored.set("Ins Aging Column 4", std::int64_t{150});
    stored.set("Log Off Min", std::int64_t{30});
    table.post(stored);
  }
  const Options reopened = Options::readAtPracticeOpen(*connection);
  EXPECT_EQ(reopened.number("Pat Aging Column 1 End"), 45);
  EXPECT_EQ(reopened.number("Ins Aging Column 4"), 150);
  EXPECT_EQ(reopened.number("Log Off Min"), 30);
}

TEST_P(OptionsOnEngine, APracticeWithoutAnOptionsTableIsAnError) {
  auto connection = space_->connect();
  EXPECT_THROW(Options::readAtPracticeOpen(*connection), store::StoreError);
}

struct SaveCheck {
  const char* what;
  std::function<void(store::Record&)> change;
  const char* message;
};

TEST_P(OptionsOnEngine, EachSaveCheckRefusesWithItsOwnTextAndSavesNothing) {
  auto connection = space_->connect();
  store::ensureTable(*connection, "QVOPT");
  Options::readAtPracticeOpen(*connection);
  const auto before = storedTexts(*connection);

  auto set = [](store::Record& row, const char* field, std::int64_t value) { row.set(field, value); };
  const std::vector<SaveCheck> checks = {
      {"patient start below 0", [&](store::Record& row) { set(row, "Pat Aging Column 1 Start", -1); },
       "Patient Aging Column 1 Beginning cannot be less than 0"},
      {"patient end below start",
       [&](store::Record& row) {
         set(row, "Pat Aging Column 1 Start", 25);
         set(row, "Pat Aging Column 1 End", 20);
       },
       "Patient Aging Column 1 End cannot be less than 25"},
      {"patient 0, 30, 30, 90", [&](store::Record& row) { set(row, "Pat Aging Column 2", 30); },
       "Patient Aging Column 2 must be greater than 30"},
      {"patient column 2 empty counts as 0",
       [](store::Record& row) { row.set("Pat Aging Column 2", store::Value{}); },
       "Patient Aging Column 2 must be greater than 30"},
      {"patient column 3 equal to column 2", [&](store::Record& row) { set(row, "Pat Aging Column 3", 60); },
       "Patient Aging Column 3 must be greater than 60"},
      {"insurance start below 0", [&](store::Record& row) { set(row, "Ins Aging Column 1 Start", -5); },
       "Insurance Aging Column 1 Beginning cannot be less than 0"},
      {"insurance end below start",
       [&](store::Record& row) {
         set(row, "Ins Aging Column 1 Start", 15);
         set(row, "Ins Aging Column 1 End", 10);
       },
       "Insurance Aging Column 1 End cannot be less than 15"},
      {"insurance column 2 below column 1 end", [&](store::Record& row) { set(row, "Ins Aging Column 2", 25); },
       "Insurance Aging Column 2 must be greater than 30"},
      {"insurance column 3 equal to column 2", [&](store::Record& row) { set(row, "Ins Aging Column 3", 60); },
       "Insurance Aging Column 3 must be greater than 60"},
      {"insurance column 4 below column 3", [&](store::Record& row) { set(row, "Ins Aging Column 4", 89); },
       "Insurance Aging Column 4 must be greater than 90"},
      {"claim billing notes without a code", [](store::Record& row) { row.set("Create Billing Notes", true); },
       "You must fill in a default Claim Billing Note Code if the 'Create claim billing notes' field is checked."},
      {"statement billing notes without a code",
       [](store::Record& row) { row.set("Create Statement Billing Notes", true); },
       "You must fill in a default Statement Billing Note Code if the 'Create statement billing notes' field is "
       "checked."},
      {"cycle billing without days", [](store::Record& row) { row.set("Use Cycle Billing", true); },
       "You must fill in a value for \"Cycle Billing Days\" if the \"Use Cycle Billing\" field is checked."},
      {"cycle billing with 0 days",
       [&](store::Record& row) {
         row.set("Use Cycle Billing", true);
         set(row, "Cycle Billing Days", 0);
       },
       "You must fill in a value for \"Cycle Billing Days\" if the \"Use Cycle Billing\" field is checked."},
      {"tax entry without a code", [](store::Record& row) { row.set("Auto Calculate Tax", true); },
       "You must fill in a code if auto create tax entry is checked."},
      {"log off after 0 minutes",
       [&](store::Record& row) {
         row.set("Auto Log Off", true);
         set(row, "Log Off Min", 0);
       },
       "The auto log off time must be greater than 0."},
      {"log off time empty counts as 0",
       [](store::Record& row) {
         row.set("Auto Log Off", true);
         row.set("Log Off Min", store::Value{});
       },
       "The auto log off time must be greater than 0."},
      {"only the first failure is told",
       [&](store::Record& row) {
         set(row, "Ins Aging Column 4", 90);
         row.set("Create Billing Notes", true);
         row.set("Auto Log Off", true);
         set(row, "Log Off Min", 0);
       },
       "Insurance Aging Column 4 must be greater than 90"},
      {"patient before insurance",
       [&](store::Record& row) {
         set(row, "Ins Aging Column 1 Start", -1);
         set(row, "Pat Aging Column 3", 10);
       },
       "Patient Aging Column 3 must be greater than 60"},
  };

  for (const auto& check : checks) {
    SCOPED_TRACE(check.what);
    ScriptedPrompter prompter({});
    OptionsWindow window(*connection, prompter, false);
    check.change(window.fields());
    EXPECT_FALSE(window.save());
    EXPECT_EQ(prompter.transcript(), std::vector<std::string>{std::string("error: ") + check.message});
    EXPECT_EQ(storedTexts(*connection), before);
  }
}

TEST_P(OptionsOnEngine, ASaveGoesThroughOnceCorrectedAndTellsWhenLogOffWaitsForSecurity) {
  auto connection = space_->connect();
  store::ensureTable(*connection, "QVOPT");
  Options::readAtPracticeOpen(*connection);

  ScriptedPrompter prompter({});
  OptionsWindow window(*connection, prompter, false);
  window.fields().set("Create Billing Notes", true);
  window.fields().set("Auto Log Off", true);
  window.fields().set("Log Off Min", std::int64_t{20});
  ASSERT_FALSE(window.save());
  // The window keeps what the person entered; filling in the code is enough.
  window.fields().set("Billing Note Code", std::string("CLMNOTE"));
  ASSERT_TRUE(window.save());
  EXPECT_EQ(prompter.transcript(),
            (std::vector<std::string>{
                "error: You must fill in a default Claim Billing Note Code if the 'Create claim billing notes' "
                "field is checked.",
                "inform: The HIPPA Auto Log Off feature has been selected, but will not be available until "
                "security is setup for this practice."}));
  const Options saved(storedRows(*connection).front());
  EXPECT_TRUE(saved.flag("Create Billing Notes"));
  EXPECT_EQ(saved.text("Billing Note Code"), "CLMNOTE");
  EXPECT_EQ(saved.number("Log Off Min"), 20);
  EXPECT_TRUE(saved.autoLogOff());
  EXPECT_TRUE(window.options().autoLogOff());

  // With users set up the log-off simply works, and nothing is said.
  ScriptedPrompter quiet({});
  OptionsWindow secured(*connection, quiet, true);
  secured.fields().set("Log Off Min", std::int64_t{10});
  ASSERT_TRUE(secured.save());
  EXPECT_TRUE(quiet.transcript().empty());
  EXPECT_EQ(storedRows(*connection).size(), 1U);
}

TEST_P(OptionsOnEngine, TwoWorkstationsSavingDifferentOptionsKeepBothChanges) {
  auto first = space_->connect("first");
  auto second = space_->connect("second");
  store::ensureTable(*first, "QVOPT");
  Options::readAtPracticeOpen(*first);

  ScriptedPrompter prompter({});
  OptionsWindow firstWindow(*first, prompter, true);
  OptionsWindow secondWindow(*second, prompter, true);
  firstWindow.fields().set("Sales Tax Rate", 7.25);
  secondWindow.fields().set("Default Tax Code", std::string("TAX"));
  ASSERT_TRUE(firstWindow.save());
  ASSERT_TRUE(secondWindow.save());

  const Options saved(storedRows(*first).front());
  EXPECT_DOUBLE_EQ(saved.decimalNumber("Sales Tax Rate"), 7.25);
  EXPECT_EQ(saved.text("Default Tax Code"), "TAX");
  EXPECT_TRUE(prompter.transcript().empty());
}

VANTRELL_ON_BOTH_ENGINES(OptionsOnEngine);

}  // namespace
}  // namespace vantrell::practice
