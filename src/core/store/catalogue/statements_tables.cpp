#include "store/catalogue/table_definitions.hpp"

namespace vantrell::store::catalogue {

// One statement per guarantor and creation pass. Transactions point back to it
// through their Statement Number.
TableDefinition statementTable() {
  return TableBuilder("QVSTA", "Statement")
      .autoIncrement("Statement Number")
      .character("Statement Type", 1)  // "S" standard, "R" remainder
      .character("Chart Number", 8)    // the guarantor, not necessarily the patient
      .character("Phone Number", 13)
      // Older practice files declare this name with a trailing blank; every reader
      // and writer addresses it as "Status", so that is the name we store.
      .character("Status", 1)
      .date("Last Billing Date")
      .date("Second Billing Date")
      .date("Initial Billing Date")  // set means the statement was billed before
      .integer("Batch Number")
      .character("Billing Method", 1)  // "P" paper, "E" electronic
      .integer("Submission Count")
      .date("Date Created")
      .memo("Comment")
      .character("User Code", 10)
      .timestamp("Date Modified")
      .date("Next Statement Date")  // cycle billing
      .tag("Primary", "Statement Number", tag_option::unique)
      .tag("IdxBatch", "Batch Number")
      .tag("IdxChartStmt", "UPPER(Chart Number);Statement Number")
      .tag("IdxDateCreated", "Date Created")
      .tag("IdxBillingDate", "Last Billing Date")
      .tag("IdxInitialBillDate", "Initial Billing Date")
      .tag("IdxChart", "Chart Number")
      .build();
}

// One row per printed serialized superbill; charge entry marks it "BILLED" when
// the first charge of the visit is saved under its number.
TableDefinition superbillTrackingTable() {
  return TableBuilder("QVSTR", "Superbill Tracking")
      .character("Chart Number", 8)
      .integer("Document Number")
      .character("Status", 10)
      .character("User Code", 10)
      .date("Date Created")
      .timestamp("Date Modified")
      .tag("Primary", "Chart Number;Document Number")
      .tag("idxChartNumber", "UPPER(Chart Number)")
      .tag("idxDocumentNumber", "Document Number")
      .tag("idxStatus", "Status")
      .build();
}

}  // namespace vantrell::store::catalogue
