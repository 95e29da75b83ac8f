#include "store/trigger_switch.hpp"


namespace vantrell::store {
namespace {

constexpr const char* createTriggerSwitch =
    "CREATE TABLE qvtrg (TriggerName Char( 25 ),UserName Char( 20 ),TableName Char( 15 ),"
    "Process Logical) IN DATABASE;"
    "GRANT ALTER, SELECT, DELETE, UPDATE, INSERT ON qvtrg TO Users;"
    "GRANT ALTER, SELECT, DELETE, UPDATE, INSERT ON qvtrg TO QelHealth;";

// Runs one step in a savepoint when a transaction is open, so that a failed
// step cannot spoil the caller's transaction on an engine that aborts it.
template <typename Step>
void quietly(Connection& connection, Step step) {
  const bool nested = connection.transactionDepth() > 0;
  try {
    if (nested) connection.begin();
    step();
    if (nested) connection.commit();
  } catch (const std::exception&) {
    if (nested) {
      try {
        connection.rollback();
      } catch (const std::exception&) {
        // Nothing more can be done; the trigger switch never stops the work.
      }
    }
  }
}

}  // namespace

void beginBulk(Connection& connection, const std::string& userName, const std::string& tableName) {
  quietly(connection, [&] {
    if (!connection.tableExists("qvtrg")) connection.executeSql(createTriggerSwitch);
  });
  quietly(connection, [&] {
    connection.executeSql("Insert into qvtrg values ('Update_Audit', ?, ?, false)",
                          {Value{userName}, Value{tableName}});
  });
}

void endBulk(Connection& connection, const std::string& userName, const std::string& tableName) {
  quietly(connection, [&] {
    connection.executeSql("Delete from qvtrg Where \"Username\" = ? and \"Tablename\" = ?",
                          {Value{userName}, Value{tableName}});
  });
}

}  // namespace vantrell::store
