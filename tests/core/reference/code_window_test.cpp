#include <gtest/gtest.h>

#include "reference/carrier_extras.hpp"
#include "reference/code_window.hpp"
#include "reference/price_lookup.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"
#include "support/scripted_prompter.hpp"
#include "support/store_fixture.hpp"

namespace vantrell::reference {
namespace {

using vantrell::testing::EngineTest;
using vantrell::testing::ScriptedPrompter;

class CodeWindowOnEngine : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (IsSkipped() || HasFailure()) return;
    practice_ = space_->connect();
    store::createMissingTables(*practice_, nullptr);
  }
  bool add(const char* noun, const std::string& code,
           std::vector<std::pair<std::string, std::string>> fields, ScriptedPrompter& prompter) {
    CodeWindow window(*practice_, *findCodeTable(noun), prompter, clock_, nullptr);
    window.startNew();
    const CodeTable& table = *findCodeTable(noun);
    fields.insert(fields.begin(), {table.keyField, code});
    return window.setFields(fields) && window.save();
  }
  ui::FixedClock clock_{*DateTime::parse("2026-12-05 09:00:00")};
  std::unique_ptr<store::Connection> practice_;
};

TEST_P(CodeWindowOnEngine, ProcedureCodesTakeTheirDefaultsAndChecks) {
  ScriptedPrompter prompter{};
  ASSERT_TRUE(
      add("code", "99213", {{"Description", "Office visit"}, {"Amount A", "80"}}, prompter));
  CodeWindow window(*practice_, *findCodeTable("code"), prompter, clock_, nullptr);
  ASSERT_TRUE(window.open("99213"));
  EXPECT_EQ(window.record().text("Code 2"), "99213");
  EXPECT_EQ(window.record().text("Code 3"), "99213");
  EXPECT_EQ(window.record().text("Type"), "A");
  EXPECT_EQ(window.record().text("Insurance Category"), "A");

  struct Row {
    std::string code;
    std::vector<std::pair<std::string, std::string>> fields;
    std::string message;
  };
  for (const Row& row :
       {Row{"99213", {}, "Procedure code 99213 already exists.\nEnter a unique number."},
        Row{"TAX", {{"Type", "G"}}, "You need to enter a tax rate."},
        Row{"BAD CODE", {}, "Invalid procedure code."},
        Row{"W1", {{"Type", "W"}}, "The type \"W\" is not a transaction type."}}) {
    EXPECT_FALSE(add("code", row.code, row.fields, prompter)) << row.code;
    EXPECT_EQ(prompter.transcript().back(), "error: " + row.message);
  }
  EXPECT_TRUE(add("code", "TAX", {{"Type", "G"}, {"Tax Rate", "6.25"}}, prompter));
  EXPECT_FALSE(
      add("multilink", "VISIT", {{"Link Code 1", "99213"}, {"Link Code 2", "NOPE"}}, prompter));
  EXPECT_EQ(prompter.transcript().back(), "error: Procedure code NOPE does not exist.");
}

TEST_P(CodeWindowOnEngine, ASavedKeyIsNeverRenamedSoWhatRefersToItStaysValid) {
  ScriptedPrompter prompter{};
  ASSERT_TRUE(add("carrier", "RIG", {{"Name", "Rigel Mutual"}}, prompter));
  CodeWindow window(*practice_, *findCodeTable("carrier"), prompter, clock_, nullptr);
  ASSERT_TRUE(window.open("RIG"));
  // Typed through the field list, the key is refused by name.
  EXPECT_FALSE(window.setFields({{"code", "RIGX"}}));
  EXPECT_EQ(prompter.transcript().back(),
            "error: The Code of a stored record is not changed here.");
  // Written into the record by a form, the save refuses it.
  window.record().set("Code", std::string("RIGX"));
  EXPECT_FALSE(window.save());
  EXPECT_EQ(prompter.transcript().back(),
            "error: The Code of a stored record is not changed here.");
  const auto count = [&](const char* code) {
    const auto result = practice_->executeSql("SELECT COUNT(*) FROM QVINS WHERE \"Code\" = ?",
                                              {store::Value{std::string(code)}});
    return std::get<std::int64_t>(result.rows.at(0).at(0));
  };
  EXPECT_EQ(count("RIG"), 1);
  EXPECT_EQ(count("RIGX"), 0);
  // Other fields of the same carrier still save.
  CodeWindow again(*practice_, *findCodeTable("carrier"), prompter, clock_, nullptr);
  ASSERT_TRUE(again.open("RIG"));
  EXPECT_TRUE(again.setFields({{"Name", "Rigel Mutual Insurance"}}) && again.save());
}

TEST_P(CodeWindowOnEngine, TheOptionsCapitaliseNamesAndPlaceTheDecimalPoint) {
  ScriptedPrompter prompter{};
  // Off: stored as typed.
  ASSERT_TRUE(add("carrier", "LOW", {{"Name", "blue shield of st. louis"}}, prompter));
  ASSERT_TRUE(add("code", "L1", {{"Amount A", "4540"}}, prompter));
  practice_->executeSql(
      "INSERT INTO QVOPT (\"Do Word Capitalization\", \"Auto. Place Decimal Point\") VALUES (?, ?)",
      {store::Value{true}, store::Value{true}});
  ASSERT_TRUE(
      add("carrier", "UP", {{"Name", "blue shield of st. louis"}, {"City", "o'fallon"}}, prompter));
  ASSERT_TRUE(add("code", "U1",
                  {{"Amount A", "4540"}, {"Amount B", "12.5"}, {"Description", "office visit"}},
                  prompter));
  ASSERT_TRUE(add("provider", "DRM", {{"Last Name", "mcdonald"}, {"First Name", "ANN"}}, prompter));
  const auto text = [&](const char* sql) {
    return std::get<std::string>(practice_->executeSql(sql).rows.at(0).at(0));
  };
  const auto number = [&](const char* sql) {
    return std::get<double>(practice_->executeSql(sql).rows.at(0).at(0));
  };
  EXPECT_EQ(text("SELECT \"Name\" FROM QVINS WHERE \"Code\" = 'LOW'"), "blue shield of st. louis");
  EXPECT_EQ(number("SELECT \"Amount A\" FROM QVPRO WHERE \"Code 1\" = 'L1'"), 4540.0);
  EXPECT_EQ(text("SELECT \"Name\" FROM QVINS WHERE \"Code\" = 'UP'"), "Blue Shield Of St. Louis");
  EXPECT_EQ(text("SELECT \"City\" FROM QVINS WHERE \"Code\" = 'UP'"), "O'Fallon");
  EXPECT_EQ(number("SELECT \"Amount A\" FROM QVPRO WHERE \"Code 1\" = 'U1'"), 45.40);
  EXPECT_EQ(number("SELECT \"Amount B\" FROM QVPRO WHERE \"Code 1\" = 'U1'"), 12.5);
  // A description is neither name nor address.
  EXPECT_EQ(text("SELECT \"Description\" FROM QVPRO WHERE \"Code 1\" = 'U1'"), "office visit");
  EXPECT_EQ(text("SELECT \"Last Name\" FROM QVPHY WHERE \"Code\" = 'DRM'"), "McDonald");
  EXPECT_EQ(text("SELECT \"First Name\" FROM QVPHY WHERE \"Code\" = 'DRM'"), "ANN");
}

TEST_P(CodeWindowOnEngine, DeletesAreRefusedWhileReferencedAndCascadeOtherwise) {
  ScriptedPrompter setup{};
  ASSERT_TRUE(add("code", "99213", {}, setup));
  ASSERT_TRUE(add("multilink", "VISIT", {{"Link Code 3", "99213"}}, setup));
  ASSERT_TRUE(add("carrier", "MC", {{"Name", "Medicare"}}, setup));
  practice_->executeSql(
      "INSERT INTO QVALL (\"Insurance Code\", \"Procedure\", \"Modifiers\", \"Amount\") VALUES "
      "('MC', '99213', '', 55), ('BC', '99213', '25', 60), ('MC', '99214', '', 70)");
  EXPECT_FALSE(add("carrier", "BC", {}, setup));
  EXPECT_EQ(setup.transcript().back(), "error: An Insurance Name is required before saving");

  ScriptedPrompter person{true, true, true};
  CodeWindow codes(*practice_, *findCodeTable("code"), person, clock_, nullptr);
  EXPECT_FALSE(codes.remove("99213"));
  EXPECT_EQ(person.transcript().back(),
            "error: This procedure code record is currently being used in the Link Code 3 field of "
            "the QVMUL table "
            "and cannot be deleted.");
  CodeWindow multilinks(*practice_, *findCodeTable("multilink"), person, clock_, nullptr);
  EXPECT_TRUE(multilinks.remove("VISIT"));
  EXPECT_TRUE(codes.remove("99213"));
  // The code's allowed amounts are gone for every carrier; other codes' stay.
  EXPECT_EQ(practice_->openTable("QVALL").count(), 1);

  CodeWindow carriers(*practice_, *findCodeTable("carrier"), person, clock_, nullptr);
  EXPECT_TRUE(carriers.remove("mc"));
  EXPECT_EQ(person.transcript().back(),
            "ask: All Allowed Amounts for this insurance \ncarrier will also be deleted.\nAre you "
            "sure you want to "
            "delete this record?");
  EXPECT_EQ(practice_->openTable("QVALL").count(), 0);
  auto audit = practice_->executeSql("SELECT \"Comment\" FROM QVAUD ORDER BY \"Comment\"");
  ASSERT_EQ(audit.rows.size(), 3u);
  EXPECT_EQ(store::valueToText(audit.rows[0][0]),
            "Deleted Insurance Carrier: Insurance Carrier: MC");
  EXPECT_EQ(store::valueToText(audit.rows[1][0]), "Deleted Multilink: Multilink code: VISIT");
  EXPECT_EQ(store::valueToText(audit.rows[2][0]), "Deleted Procedure: Procedure code: 99213");
}

TEST_P(CodeWindowOnEngine, ProvidersAddressesAndDiagnosesKeepTheirRules) {
  ScriptedPrompter prompter{};
  ASSERT_TRUE(add("provider", "DJ", {{"Last Name", "Jones"}}, prompter));
  EXPECT_FALSE(add("provider", "dj", {}, prompter));
  EXPECT_EQ(prompter.transcript().back(),
            "error: Invalid provider code. You must enter a unique provider code");
  EXPECT_FALSE(add("refprovider", "RJ", {{"SOF Date", "2026-12-06"}}, prompter));
  EXPECT_EQ(prompter.transcript().back(),
            "error: The Signature Date you have entered is in the future.");
  EXPECT_FALSE(add("address", "FAC", {}, prompter));
  EXPECT_EQ(prompter.transcript().back(), "error: The name field can not be blank.");
  ASSERT_TRUE(add("diagnosis", "I10", {{"Description", "Hypertension"}}, prompter));
  EXPECT_FALSE(add("diagnosis", "I10", {}, prompter));
  EXPECT_EQ(prompter.transcript().back(),
            "error: Diagnosis code I10 already exists.\nEnter a unique number.");
  EXPECT_FALSE(add("diagnosis", "I 10", {}, prompter));
  EXPECT_EQ(prompter.transcript().back(), "error: Invalid diagnosis code.");
  EXPECT_FALSE(add("billcode", "TOOLONG", {}, prompter));
  EXPECT_NE(prompter.transcript().back().find("too long for the field Code"), std::string::npos);
}

TEST_P(CodeWindowOnEngine, ACarriersAllowedAmountsAndProviderNumbersNeedItSaved) {
  ScriptedPrompter prompter{};
  CarrierExtras extras(*practice_, prompter, nullptr);
  CodeWindow carriers(*practice_, *findCodeTable("carrier"), prompter, clock_, nullptr);
  ASSERT_TRUE(carriers.startNew());
  ASSERT_TRUE(carriers.setFields({{"Code", "MC"}, {"Name", "Medicare"}}));
  EXPECT_FALSE(extras.setAllowedAmount(carriers.record(), "99213", "", Money::fromCents(5500)));
  EXPECT_EQ(prompter.transcript().back(),
            std::string("error: ") + CarrierExtras::saveBeforeAllowedAmounts);
  EXPECT_FALSE(extras.setProviderNumber(carriers.record(), "DJ", "P1", "G1"));
  EXPECT_EQ(prompter.transcript().back(), std::string("error: ") + CarrierExtras::saveBeforePins);
  ASSERT_TRUE(carriers.save());

  EXPECT_FALSE(extras.setProviderNumber(carriers.record(), "DJ", "P1", "G1"));
  EXPECT_EQ(prompter.transcript().back(), std::string("error: ") + CarrierExtras::providerRequired);
  ASSERT_TRUE(add("provider", "DJ", {{"Last Name", "Jones"}}, prompter));
  EXPECT_TRUE(extras.setProviderNumber(carriers.record(), "dj", "P1", "G1"));
  EXPECT_TRUE(
      extras.setProviderNumber(carriers.record(), "DJ", "P2", "G1"));  // changes the one row
  ASSERT_EQ(extras.providerNumbers("MC").size(), 1u);
  EXPECT_EQ(extras.providerNumbers("MC")[0].text("Pin Number"), "P2");
  // The same number from the provider's side.
  CodeWindow providerWindow(*practice_, *findCodeTable("provider"), prompter, clock_, nullptr);
  ASSERT_TRUE(providerWindow.open("DJ"));
  EXPECT_TRUE(extras.setNumberOfProvider(providerWindow.record(), "mc", "P3", "G2"));
  ASSERT_EQ(extras.numbersOfProvider("DJ").size(), 1u);
  EXPECT_EQ(extras.numbersOfProvider("DJ")[0].text("Pin Number"), "P3");
  EXPECT_FALSE(extras.setNumberOfProvider(providerWindow.record(), "NOPE", "P", "G"));
  EXPECT_EQ(prompter.transcript().back(), "error: Insurance code NOPE does not exist.");

  EXPECT_FALSE(extras.setAllowedAmount(carriers.record(), "99213", "", Money::fromCents(5500)));
  EXPECT_EQ(prompter.transcript().back(), "error: Procedure code 99213 does not exist.");
  ASSERT_TRUE(add("code", "99213", {}, prompter));
  EXPECT_TRUE(extras.setAllowedAmount(carriers.record(), "99213", "25", Money::fromCents(5500)));
  EXPECT_TRUE(extras.setAllowedAmount(carriers.record(), "99213", "25", Money::fromCents(5750)));
  ASSERT_EQ(extras.allowedAmounts("mc").size(), 1u);
  EXPECT_EQ(allowedAmount(*practice_, "MC", "99213", "25"), Money::fromCents(5750));
  // The carrier's provider numbers now refer to the provider: it stays.
  ScriptedPrompter person{true};
  CodeWindow providers(*practice_, *findCodeTable("provider"), person, clock_, nullptr);
  EXPECT_FALSE(providers.remove("DJ"));
  EXPECT_EQ(person.transcript().back(),
            "error: This provider record is currently being used in the Provider Code field of the "
            "QVPINS table and "
            "cannot be deleted.");
}

VANTRELL_ON_BOTH_ENGINES(CodeWindowOnEngine);

}  // namespace
}  // namespace vantrell::reference
