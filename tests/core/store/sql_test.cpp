#include <gtest/gtest.h>

#include "store/errors.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"
#include "store/trigger_switch.hpp"
#include "support/store_fixture.hpp"

namespace vantrell::store {
namespace {

using vantrell::testing::EngineTest;

class SqlOnEngine : public EngineTest {};

TEST_P(SqlOnEngine, TheSystemsFormsRunOnBothEngines) {
  auto connection = space_->connect();
  ensureTable(*connection, "QVTRN");
  ensureTable(*connection, "QVPAX");
  // Bare, ".adt" and quoted table names; quoted field names; bound values.
  connection->executeSql(
      "INSERT INTO QVTRN.adt (\"Chart Number\", \"Case Number\", \"Transaction Type\", \"Amount\", "
      "\"Date From\", \"Guarantor Paid\") VALUES (?, ?, 'A', ?, '2026-11-01', FALSE)",
      {Value{std::string("LIAN0000")}, Value{std::int64_t{7}}, Value{100.0}});
  connection->executeSql(
      "INSERT INTO \"QVTRN\" (\"Chart Number\", \"Case Number\", \"Transaction Type\", \"Amount\", "
      "\"Date From\") VALUES ('LIAN0000', 7, 'N', -60, '2026-11-02'); "
      "INSERT INTO qvtrn (\"Chart Number\", \"Case Number\", \"Transaction Type\", \"Amount\", "
      "\"Date From\") VALUES ('SMIJO000', 8, 'A', 25.5, '2026-11-03')");
  auto sums = connection->executeSql(
      "SELECT \"Chart Number\", SUM(\"Amount\") AS Balance FROM QVTRN WHERE \"Date From\" >= '2026-11-01' "
      "AND \"Transaction Type\" < 'Z' GROUP BY \"Chart Number\" ORDER BY \"Chart Number\"");
  ASSERT_EQ(sums.rows.size(), 2u);
  EXPECT_EQ(sums.columns, (std::vector<std::string>{"Chart Number", "Balance"}));
  EXPECT_EQ(valueToText(sums.rows[0][0]), "LIAN0000");
  EXPECT_EQ(Money::fromDouble(std::get<double>(sums.rows[0][1])), Money::fromCents(4000));
  EXPECT_EQ(Money::fromDouble(std::get<double>(sums.rows[1][1])), *Money::parse("25.50"));

  auto inSelect = connection->executeSql(
      "SELECT COUNT(*) AS N FROM QVTRN WHERE \"Case Number\" IN (SELECT \"Case Number\" FROM QVTRN "
      "WHERE \"Transaction Type\" = 'N')");
  EXPECT_EQ(std::get<std::int64_t>(inSelect.rows[0][0]), 2);
  auto changed = connection->executeSql("UPDATE QVTRN SET \"Guarantor Paid\" = TRUE WHERE \"Case Number\" = ?",
                                        {Value{std::int64_t{7}}});
  EXPECT_EQ(changed.rowsChanged, 2);
  EXPECT_EQ(connection->executeSql("DELETE FROM QVTRN.ADT WHERE \"Chart Number\" = 'SMIJO000'").rowsChanged, 1);
  EXPECT_THROW(connection->executeSql("SELECT * FROM QVTRN WHERE"), StoreError);
  EXPECT_THROW(connection->executeSql("SELECT 'open"), InputError);
}

TEST_P(SqlOnEngine, TheTriggerSwitchComesAndGoesAndNeverStopsTheWork) {
  auto connection = space_->connect();
  EXPECT_FALSE(connection->tableExists("qvtrg"));
  int ran = 0;
  asBulkOperation(*connection, "mary", "QVTRN", [&] {
    ++ran;
    auto rows = connection->executeSql("SELECT \"UserName\", \"TableName\", \"Process\" FROM qvtrg");
    ASSERT_EQ(rows.rows.size(), 1u);
    EXPECT_EQ(valueToText(rows.rows[0][0]), "mary");
    EXPECT_EQ(valueToText(rows.rows[0][1]), "QVTRN");
  });
  EXPECT_EQ(ran, 1);
  std::vector<std::string> columns = connection->driver().columnNames("qvtrg");
  EXPECT_EQ(columns, (std::vector<std::string>{"TriggerName", "UserName", "TableName", "Process"}));
  EXPECT_TRUE(connection->executeSql("SELECT * FROM qvtrg").rows.empty());

  // A switch table the inserts cannot use (an old layout) makes the steps fail;
  // the failures are swallowed and the caller's transaction goes on.
  {
    Transaction transaction(*connection);
    connection->executeSql("DROP TABLE qvtrg");
    connection->executeSql("CREATE TABLE qvtrg (Other Char( 5 )) IN DATABASE");
    asBulkOperation(*connection, "joe", "QVTRN", [&] { ensureTable(*connection, "QVPAX"); });
    transaction.commit();
  }
  EXPECT_TRUE(connection->tableExists("QVPAX"));
}

VANTRELL_ON_BOTH_ENGINES(SqlOnEngine);

}  // namespace
}  // namespace vantrell::store
