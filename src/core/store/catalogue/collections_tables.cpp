#include "store/catalogue/table_definitions.hpp"

namespace vantrell::store::catalogue {

// Collection follow-up items. Deleting an item only sets its status to "D", so
// rows are never removed from this table.
TableDefinition workListTable() {
  return TableBuilder("QVWRK", "Work List")
      .autoIncrement("Item Number")
      .character("Responsible Type", 1)   // "P" account, "I" insurance carrier
      .character("Responsible Party", 8)  // chart number or carrier code
      .character("Guarantor", 8)
      .character("Patient", 8)
      .character("Status", 1)  // "0" open, "1" resolved, "D" deleted
      .memo("Action")
      .character("User ID", 20)
      .date("Follow Up Date")
      .date("Date Resolved")
      .date("Date Created")
      .date("Date Deleted")
      .memo("Office Notes")
      .floating("Balance")
      .integer("Tracer")
      .character("Group Number", 20)
      .character("Policy Number", 20)
      .character("Modified By", 20)
      .timestamp("Date Modified")
      .tag("Primary", "Item Number", tag_option::unique)
      .tag("Responsible Type", "Responsible Type")
      .tag("Date Resolved", "Date Resolved")
      .tag("Date Created", "Date Created")
      .tag("Date Deleted", "Date Deleted")
      .tag("By Balance", "Balance")
      .tag("By Patient", "Patient")
      .tag("By Follow Up Date", "Follow Up Date")
      .tag("By User ID", "User ID")
      .build();
}

// The collection tracer: one row per collection letter sent.
TableDefinition workListTicklerTable() {
  return TableBuilder("QVWTR", "Work List Tickler")
      .autoIncrement("Item Number")
      .character("Responsible Party", 8)
      .character("Patient Chart", 8)
      .floating("Balance")
      .date("Date Letter Sent")
      .memo("Reasons")
      .character("Modified By", 20)
      .timestamp("Date Modified")
      .tag("Primary", "Item Number")
      .tag("By Patient", "Patient Chart")
      .tag("By Date Letter Sent", "Date Letter Sent")
      .build();
}

// Patient payment plans. Patients name their plan by Code in QVPAT "Payment Plan".
TableDefinition paymentPlanTable() {
  return TableBuilder("QVPPL", "Payment Plan")
      .autoIncrement("ID")
      .character("Code", 3)
      .character("Description", 20)
      .integer("First Payment Due")  // day of the month, 1 to 31
      .integer("Cycle Days")         // at most 999
      .money("Amount Due")
      .date("Date Created")
      .character("Modified By", 20)
      .timestamp("Date Modified")
      .tag("Primary", "ID", tag_option::unique)
      // Not unique: the plan window refuses a duplicate code with its own message.
      .tag("IdxCode", "UPPER(Code)")
      .build();
}

// The practice's collection options: one row, made when first saved.
TableDefinition collectionOptionsTable() {
  return TableBuilder("QVCOP", "Collection Options")
      .memo("Letter Text")             // the body of collection letters; empty: the program's own
      .logical("Require Assign To")  // a work list item must name the user it is assigned to
      .character("Modified By", 20)
      .timestamp("Date Modified")
      .build();
}

}  // namespace vantrell::store::catalogue
