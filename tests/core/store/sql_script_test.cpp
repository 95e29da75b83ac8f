#include <gtest/gtest.h>

#include "store/errors.hpp"
#include "store/schema_catalogue.hpp"
#include "store/sql_script.hpp"

namespace vantrell::store {
namespace {

std::vector<std::string> translate(std::string_view sql) {
  return translateSqlScript(sql, schemaCatalogue());
}

TEST(SqlScript, TableAndFieldNamesTakeTheCataloguesSpelling) {
  EXPECT_EQ(translate("select * from qvtrn.adt where \"chart number\" = ?"),
            std::vector<std::string>{"select * from \"QVTRN\" where \"Chart Number\" = ?"});
  EXPECT_EQ(translate("SELECT SUM(\"Amount\") AS Total FROM \"QVTRN.ADT\" t"),
            std::vector<std::string>{"SELECT SUM(\"Amount\") AS \"Total\" FROM \"QVTRN\" t"});
  // Values inside quotes are never touched, even when they look like names.
  EXPECT_EQ(translate("DELETE FROM QVPAT WHERE \"Last Name\" = 'qvpat; drop'"),
            std::vector<std::string>{"DELETE FROM \"QVPAT\" WHERE \"Last Name\" = 'qvpat; drop'"});
  // A type after AS stays a type.
  EXPECT_EQ(translate("SELECT CAST(\"Amount\" AS NUMERIC) AS due FROM QVTRN"),
            std::vector<std::string>{"SELECT CAST(\"Amount\" AS NUMERIC) AS \"due\" FROM \"QVTRN\""});
  // A word that only contains a table name is left alone.
  EXPECT_EQ(translate("SELECT QVPATX FROM QVPAT"), std::vector<std::string>{"SELECT QVPATX FROM \"QVPAT\""});
}

TEST(SqlScript, DictionaryTablesAndGrantsBecomePlainStatements) {
  const auto statements = translate(
      "CREATE TABLE qvtrg (TriggerName Char( 25 ),UserName Char( 20 ),TableName Char( 15 ),Process "
      "Logical) IN DATABASE; GRANT ALTER, SELECT ON qvtrg TO Users;GRANT SELECT ON qvtrg TO QelHealth;");
  ASSERT_EQ(statements.size(), 1u);
  EXPECT_EQ(statements[0],
            "CREATE TABLE \"qvtrg\" (\"TriggerName\" varchar( 25 ),\"UserName\" varchar( 20 ),\"TableName\" "
            "varchar( 15 ),\"Process\" boolean) ");
  EXPECT_EQ(translate(" ; ;").size(), 0u);
  EXPECT_THROW(translate("SELECT 'unclosed FROM QVPAT"), InputError);
}

}  // namespace
}  // namespace vantrell::store
