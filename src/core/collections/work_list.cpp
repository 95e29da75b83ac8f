#include "collections/work_list.hpp"

#include "store/table.hpp"
#include "store/table_creation.hpp"

namespace vantrell::collections {

std::int64_t addWorkListItem(store::Connection& practice, const WorkListItem& item) {
  store::ensureTable(practice, "QVWRK");
  store::Table items = practice.openTable("QVWRK");
  store::Record row = items.newRecord();
  row.set("Responsible Type", item.responsibleType);
  row.set("Responsible Party", item.responsibleParty);
  row.set("Patient", item.patient);
  row.set("Guarantor", item.guarantor);
  row.set("Status", std::string("0"));
  row.set("User ID", item.assignedUser);
  row.set("Balance", item.balance.toDouble());
  if (!item.groupNumber.empty()) row.set("Group Number", item.groupNumber);
  if (!item.policyNumber.empty()) row.set("Policy Number", item.policyNumber);
  if (!item.followUpDate.isEmpty()) row.set("Follow Up Date", item.followUpDate);
  if (!item.action.empty()) row.set("Action", item.action);
  row.set("Modified By", practice.userCode());
  // Date Created is stamped by the append.
  items.append(row);
  return row.integer("Item Number");
}

}  // namespace vantrell::collections
