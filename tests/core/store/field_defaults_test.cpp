#include <gtest/gtest.h>

#include "store/field_defaults.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"
#include "support/scripted_prompter.hpp"
#include "support/store_fixture.hpp"

namespace vantrell::store {
namespace {

using vantrell::testing::EngineTest;
using vantrell::testing::ScriptedPrompter;

class FieldDefaultsOnEngine : public EngineTest {};

TEST_P(FieldDefaultsOnEngine, SavedValuesReachNewRecordsButNeverKeysOrIdentities) {
  auto connection = space_->connect();
  ensureTable(*connection, "QVPAT");
  FieldDefaults defaults(*connection);
  const TableDefinition& patients = connection->catalogue().get("QVPAT");

  Record patient(patients);
  patient.set("Chart Number", std::string("LIAN0000"));
  patient.set("City", std::string("Springfield"));
  patient.set("State", std::string("IL"));
  patient.set("Social Security Number", std::string("123-45-6789"));
  patient.set("Patient ID #2", std::string("X1"));
  patient.set("Signature on File", true);
  patient.setFromText("Date of Birth", "1980-01-01");

  ScriptedPrompter refuse({false});
  EXPECT_FALSE(defaults.save(patient, refuse));
  EXPECT_EQ(refuse.transcript(), std::vector<std::string>{
                                     "ask: Are you sure you want to save these fields as defaults for all new records?"});
  EXPECT_FALSE(connection->tableExists("QVDEF"));

  ScriptedPrompter agree({true, true});
  ASSERT_TRUE(defaults.save(patient, agree));
  Record fresh(patients);
  defaults.apply(fresh);
  EXPECT_EQ(fresh.text("City"), "Springfield");
  EXPECT_TRUE(fresh.logical("Signature on File"));
  EXPECT_TRUE(fresh.isEmpty("Chart Number"));
  EXPECT_TRUE(fresh.isEmpty("Social Security Number"));
  EXPECT_TRUE(fresh.isEmpty("Patient ID #2"));
  EXPECT_TRUE(fresh.isEmpty("Date of Birth"));

  // Saving again with the state emptied deletes that default only.
  patient.set("State", std::string(""));
  ASSERT_TRUE(defaults.save(patient, agree));
  Record second(patients);
  defaults.apply(second);
  EXPECT_TRUE(second.isEmpty("State"));
  EXPECT_EQ(second.text("City"), "Springfield");

  ScriptedPrompter told({});
  defaults.remove(patients, told);
  EXPECT_EQ(told.transcript(), std::vector<std::string>{"inform: Default values have been removed."});
  Record third(patients);
  defaults.apply(third);
  EXPECT_TRUE(third.isEmpty("City"));
}

TEST(FieldDefaults, ProviderIdentitiesNeverCarryDefaults) {
  const auto& providers = schemaCatalogue().get("QVPHY");
  EXPECT_FALSE(FieldDefaults::mayCarryDefault(providers, *providers.fieldIndex("License Number")));
  EXPECT_FALSE(FieldDefaults::mayCarryDefault(providers, *providers.fieldIndex("SSN or Fed Tax ID")));
  EXPECT_FALSE(FieldDefaults::mayCarryDefault(providers, *providers.fieldIndex("Code")));
  EXPECT_TRUE(FieldDefaults::mayCarryDefault(providers, *providers.fieldIndex("City")));
  const auto& referring = schemaCatalogue().get("QVRPH");
  EXPECT_TRUE(FieldDefaults::mayCarryDefault(referring, *referring.fieldIndex("License Number")));
}

VANTRELL_ON_BOTH_ENGINES(FieldDefaultsOnEngine);

}  // namespace
}  // namespace vantrell::store
