#include <gtest/gtest.h>

#include <regex>

#include "reference/price_lookup.hpp"
#include "reference/reference_check.hpp"
#include "store/schema_catalogue.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"
#include "support/store_fixture.hpp"

namespace vantrell::reference {
namespace {

using vantrell::testing::EngineTest;

class ReferenceOnEngine : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (IsSkipped() || HasFailure()) return;
    practice_ = space_->connect();
    for (const char* table : {"QVPRO", "QVMUL", "QVINS", "QVALL", "QVCAS", "QVPHY"}) store::ensureTable(*practice_, table);
  }
  void add(const char* table, std::vector<std::pair<const char*, store::Value>> fields) {
    store::Table rows = practice_->openTable(table);
    store::Record row = rows.newRecord();
    for (const auto& [field, value] : fields) row.set(field, value);
    rows.append(row);
  }
  std::unique_ptr<store::Connection> practice_;
};

TEST_P(ReferenceOnEngine, TheFirstPlaceThatUsesACodeStopsItsDelete) {
  add("QVPRO", {{"Code 1", std::string("99213")}});
  add("QVMUL", {{"Code", std::string("VISIT")}, {"Link Code 3", std::string("99213")}});
  const auto hit = firstReference(*practice_, CodeKind::ProcedureCode, "99213");
  ASSERT_TRUE(hit);
  EXPECT_EQ(referenceRefusal(CodeKind::ProcedureCode, *hit),
            "This procedure code record is currently being used in the Link Code 3 field of the QVMUL table and "
            "cannot be deleted.");
  EXPECT_FALSE(firstReference(*practice_, CodeKind::ProcedureCode, "99214"));
  // A take-back code named only as a carrier's default.
  add("QVINS", {{"Code", std::string("MC")}, {"Default Take Back Code", std::string("TB")}});
  const auto takeBack = firstReference(*practice_, CodeKind::ProcedureCode, "tb");
  ASSERT_TRUE(takeBack);
  EXPECT_EQ(std::string(takeBack->field), "Default Take Back Code");

  // A carrier named only inside a code's list of carriers: whole entries count.
  add("QVPRO", {{"Code 1", std::string("LAB")}, {"Only Print on Insurance", std::string("BCBS, MC")}});
  EXPECT_EQ(std::string(firstReference(*practice_, CodeKind::InsuranceCarrier, "mc")->field), "Only Print on Insurance");
  EXPECT_FALSE(firstReference(*practice_, CodeKind::InsuranceCarrier, "M"));
  EXPECT_FALSE(firstReference(*practice_, CodeKind::InsuranceCarrier, "BC"));

  // A provider used only on an archived transaction; archives are searched too.
  practice_->executeSql("CREATE TABLE QVTRNARC (\"Chart Number\" Char( 8 ), \"Attending Provider\" Char( 5 )) IN DATABASE");
  practice_->executeSql("INSERT INTO QVTRNARC (\"Chart Number\", \"Attending Provider\") VALUES ('OLD', 'DJ')");
  const auto archived = firstReference(*practice_, CodeKind::Provider, "dj");
  ASSERT_TRUE(archived);
  EXPECT_EQ(std::string(archived->table), "QVTRNARC");
  // Tables that are not there are skipped (QVTRN, QVCLA and others here).
  EXPECT_FALSE(firstReference(*practice_, CodeKind::DiagnosisCode, "I10"));
}

TEST_P(ReferenceOnEngine, PricesComeFromTheCasesColumnAndAllowedAmountsFromTheCarrier) {
  add("QVPRO", {{"Code 1", std::string("99213")}, {"Amount A", 80.0}, {"Amount C", 61.235}});
  add("QVALL", {{"Insurance Code", std::string("MC")}, {"Procedure", std::string("99213")},
                {"Modifiers", std::string("25")}, {"Amount", 55.5}});
  const auto code = findProcedureCode(*practice_, "99213");
  ASSERT_TRUE(code);
  store::Table cases = practice_->openTable("QVCAS");
  store::Record caseRecord = cases.newRecord();
  EXPECT_EQ(casePriceCode(caseRecord), 'A');
  EXPECT_EQ(caseRecord.text("Price Code"), "A");
  EXPECT_EQ(priceOf(*code, 'A'), Money::fromCents(8000));
  EXPECT_EQ(priceOf(*code, 'C').toPreciseString(), "61.235");
  EXPECT_EQ(priceOf(*code, 'c'), Money{});  // only the letters A to Z name a column
  EXPECT_EQ(priceOf(*code, '1'), Money{});
  EXPECT_EQ(lineAmount(priceOf(*code, 'C'), 3, true).toString(), "183.71");  // 183.705 rounds up
  EXPECT_EQ(lineAmount(Money::fromCents(1000), 3, false).toString(), "10.00");
  EXPECT_EQ(joinedModifiers({"25", "", "59 ", ""}), "2559");
  EXPECT_EQ(allowedAmount(*practice_, "mc", "99213", "25"), *Money::parse("55.50"));
  EXPECT_EQ(allowedAmount(*practice_, "MC", "99213", ""), std::nullopt);
}

// Which kind of code a field holds, read from its name as the catalogue spells
// it; the code tables' own keys and fields that hold no code are left out.
std::optional<CodeKind> kindOfField(const std::string& table, const std::string& field) {
  const auto is = [&](const char* pattern) { return std::regex_match(field, std::regex(pattern)); };
  // Allowed amounts go with their code or carrier; a code's own key is no reference.
  if (table == "QVALL" || (table == "QVPRO" && is("Code [0-9]|Type"))) return std::nullopt;
  if (is("Procedure Code|Procedure|Link Code [0-9]|(Default )?(Payment|Adjustment|Withhold|"
         "Deductible|Take Back|Write Off|Tax|Cash Payment|Check Paymnt) Code|Credit Card Payment "
         "Code|Patient Write Off Code"))
    return CodeKind::ProcedureCode;
  if (is("Insurance Carrier( #| )?[0-9]?|Insurance Code|(Only|Don't) Print on Insurance"))
    return CodeKind::InsuranceCarrier;
  if (is("Insurance Class")) return CodeKind::InsuranceClass;
  if (is("Assigned Provider|Attending Provider|Provider|Provider Code"))
    return CodeKind::Provider;
  if (is("Referring Provider|Primary Care Provider|Supervising Provider"))
    return CodeKind::ReferringProvider;
  if (is("Diagnosis( Code)? ?[0-9]")) return CodeKind::DiagnosisCode;
  if (is("Employer|Attorney|Attorney Code|Facility|Referral Source")) return CodeKind::Address;
  if (is("EMC Receiver ?[0-9]?|Receiver|Eligibility Receiver")) return CodeKind::EdiReceiver;
  if (is("Billing Code")) return CodeKind::BillingCode;
  if (is("Claim Rejection Code")) return CodeKind::ClaimRejectionCode;
  return std::nullopt;
}

TEST(ReferencePlaces, EveryCataloguedFieldThatHoldsACodeIsSearchedBeforeItsDelete) {
  const auto listed = [](CodeKind kind, const std::string& table, const std::string& field) {
    for (const auto& place : referencePlaces(kind))
      if (table == place.table && field == place.field) return true;
    return false;
  };
  for (const auto& table : store::schemaCatalogue().tables()) {
    if (store::SchemaCatalogue::belongsToRootDirectory(table.name())) continue;
    for (const auto& field : table.fields()) {
      if (field.type != store::FieldType::Character) continue;
      const auto kind = kindOfField(table.name(), field.name);
      if (kind) {
        EXPECT_TRUE(listed(*kind, table.name(), field.name))
            << table.name() << "." << field.name << " holds a " << recordKindName(*kind);
      }
    }
  }
  // And every place listed names a field its table has, when the table is catalogued.
  for (int kind = 0; kind <= static_cast<int>(CodeKind::ClaimRejectionCode); ++kind) {
    for (const auto& place : referencePlaces(static_cast<CodeKind>(kind))) {
      const auto* table = store::schemaCatalogue().find(place.table);
      if (table != nullptr) {
        EXPECT_TRUE(table->hasField(place.field)) << place.table << "." << place.field;
      }
    }
  }
}

VANTRELL_ON_BOTH_ENGINES(ReferenceOnEngine);

}  // namespace
}  // namespace vantrell::reference
