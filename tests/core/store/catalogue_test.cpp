#include <gtest/gtest.h>

#include <set>

#include "store/dialect.hpp"
#include "store/expression.hpp"
#include "store/names.hpp"
#include "store/schema_catalogue.hpp"

namespace vantrell::store {
namespace {

TEST(Catalogue, CoreTablesHaveTheirStoredLayout) {
  const auto& catalogue = schemaCatalogue();
  EXPECT_EQ(catalogue.get("QVPAT").fields().size(), 52u);
  EXPECT_EQ(catalogue.get("QVCAS").fields().size(), 174u);
  EXPECT_EQ(catalogue.get("qvtrn.adt").fields().size(), 81u);
  const auto& estimate = catalogue.get("QVTRNE");
  ASSERT_EQ(estimate.fields().size(), 82u);
  // Posted sits between Mouth Quadrant and Deposit ID; the rest lines up with QVTRN.
  EXPECT_EQ(estimate.field(69).name, "Posted");
  EXPECT_EQ(estimate.field(68).name, "Mouth Quadrant");
  EXPECT_EQ(estimate.field(70).name, "Deposit ID");
  EXPECT_EQ(catalogue.get("QVTRN").tags().size(), estimate.tags().size());
  const auto& cases = catalogue.get("QVCAS");
  EXPECT_EQ(cases.field(1).type, FieldType::AutoIncrement);
  EXPECT_EQ(cases.field(173).name, "Comment");
  EXPECT_EQ(cases.field(*cases.fieldIndex("Percent Covered H #3")).type, FieldType::Double);
  EXPECT_EQ(catalogue.get("QVTRN").field(71).type, FieldType::Money);  // Unapplied Amount
  EXPECT_EQ(catalogue.get("QVPAX").fields().size(), 6u);
  // Twins share one definition.
  EXPECT_EQ(catalogue.get("QVPHY").fields().size(), catalogue.get("QVRPH").fields().size());
  EXPECT_EQ(catalogue.get("QVPRA").fields().size(), catalogue.get("QVBSP").fields().size());
  EXPECT_EQ(catalogue.get("QVCLA").fields().size(), catalogue.get("QVCLAE").fields().size());
}

TEST(Catalogue, EveryTagKeyNamesFieldsOfItsTable) {
  for (const auto& table : schemaCatalogue().tables()) {
    for (const auto& tag : table.tags()) {
      EXPECT_NO_THROW(parseKey(table, tag.key)) << table.name() << " tag " << tag.name << ": " << tag.key;
      // Index names must fit the server's 63-byte identifiers.
      EXPECT_LE(Dialect::indexName(table.name(), tag.name).size(), 63u) << table.name() << " " << tag.name;
    }
  }
}

TEST(Catalogue, CreationOrderCoversThePracticeAndNamesAreUnique) {
  const auto& catalogue = schemaCatalogue();
  std::set<std::string> ordered;
  for (const auto name : catalogue.creationOrder()) {
    EXPECT_TRUE(ordered.insert(upperAscii(name)).second) << name << " listed twice";
  }
  std::set<std::string> names;
  for (const auto& table : catalogue.tables()) {
    EXPECT_TRUE(names.insert(upperAscii(table.name())).second) << table.name() << " defined twice";
    // Made on first use or kept elsewhere, not by the creation run.
    const std::set<std::string> elsewhere = {"QVTRG", "QVDBLIST", "QVAUD"};
    if (elsewhere.count(upperAscii(table.name())) == 0) {
      EXPECT_EQ(ordered.count(upperAscii(table.name())), 1u) << table.name() << " is never created";
    }
  }
  EXPECT_EQ(catalogue.find("nosuch"), nullptr);
  EXPECT_THROW(catalogue.get("QVNOPE.ADT"), std::runtime_error);
}

}  // namespace
}  // namespace vantrell::store
