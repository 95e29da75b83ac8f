#include "store/catalogue/table_definitions.hpp"

namespace vantrell::store::catalogue {

// One row per imported 835 transaction. The payer and trace number are
// unique, so one payment is never posted twice, even by two desks at once.
TableDefinition remittanceTable() {
  return TableBuilder("QVERA", "Remittance")
      .autoIncrement("Remittance Number")
      .character("Payer ID", 30)
      .character("Trace Number", 50)
      .character("Payer Name", 60)
      .character("Insurance Code", 5)
      .character("File Name", 255)
      .character("Payment Method", 3)
      .date("Payment Date")
      .money("Payment Amount")
      .integer("Deposit ID")
      .integer("Claims")
      .integer("Lines")
      .integer("Lines Posted")
      .integer("Lines Queued")
      .money("Amount Posted")
      .character("User Code", 10)
      .date("Date Created")
      .timestamp("Date Modified")
      .tag("Primary", "Remittance Number", tag_option::unique)
      .tag("Trace", "UPPER(Payer ID);UPPER(Trace Number)", tag_option::unique)
      .build();
}

// What an import could not post: one row per line, claim or provider
// adjustment, with the reason in words, until a clerk posts it by hand or
// dismisses it with a note.
TableDefinition remittanceQueueTable() {
  return TableBuilder("QVERQ", "Remittance Queue")
      .autoIncrement("Item Number")
      .integer("Remittance Number")
      .character("Kind", 12)   // Unmatched, Denial, Reversal, Correction, Take Back, ...
      .character("Status", 1)  // "O" open, "R" resolved
      .integer("Claim Number")
      .character("Payer Claim ID", 50)
      .character("Chart Number", 10)
      .integer("Charge Entry")
      .character("Procedure Code", 10)
      .date("Date From")
      .money("Charge Amount")
      .money("Paid Amount")
      .memo("Reason")
      .memo("Adjustments")
      .memo("Note")
      .character("Resolved By", 10)
      .date("Date Resolved")
      .date("Date Created")
      .timestamp("Date Modified")
      .tag("Primary", "Item Number", tag_option::unique)
      .tag("By Remittance", "Remittance Number;Item Number")
      .tag("By Status", "Status;Item Number")
      .build();
}

}  // namespace vantrell::store::catalogue
