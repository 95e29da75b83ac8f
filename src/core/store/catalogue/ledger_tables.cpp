#include <string>

#include "store/catalogue/table_definitions.hpp"

namespace vantrell::store::catalogue {

// The ledger: charges, payments, adjustments and comments. The estimate twin
// holds pretreatment entries and marks each one "Posted" once it became a charge.
TableDefinition transactionTable(bool estimate) {
  TableBuilder table(estimate ? "QVTRNE" : "QVTRN", "Transaction");
  table.character("Chart Number", 8)
      .integer("Case Number")
      .autoIncrement("Entry Number")
      .integer("Claim Number")
      .date("Date From")
      .date("Date To")
      .character("Document Number", 10)
      .character("Description", 30)
      .character("Attending Provider", 5)
      .character("Procedure Code", 10)
      .character("Transaction Type", 1)
      .character("Insurance Category", 1);
  for (int modifier = 1; modifier <= 4; ++modifier)
    table.character("Modifier " + std::to_string(modifier), 2);
  table.character("Place of Service", 2)
      .character("Type of Service", 3)
      .floating("Visit Number")
      .floating("Visit Total in Series")
      .character("Visit Series ID", 1)
      .floating("Units")
      .floating("Minutes")
      .floating("Amount")
      .character("Price Indicator", 1);
  // Which of the line's four diagnosis codes point at this charge.
  for (int diagnosis = 1; diagnosis <= 4; ++diagnosis)
    table.logical("Diagnosis " + std::to_string(diagnosis));
  table.logical("Claim Item Rejected");
  for (int policy = 1; policy <= 3; ++policy)
    table.logical("Accept Assignment " + std::to_string(policy));
  table.date("Date Created")
      .date("Date of First Statement")
      .date("Date of Second Statement")
      .date("Date of Last Statement");
  for (int policy = 1; policy <= 3; ++policy)
    table.logical("Billed to Insured " + std::to_string(policy));
  table.logical("Guarantor Paid");
  for (int policy = 1; policy <= 3; ++policy)
    table.logical("Insurance " + std::to_string(policy) + " Paid");
  table.floating("Guarantor Amount Paid");
  for (int policy = 1; policy <= 3; ++policy)
    table.floating("Insurance " + std::to_string(policy) + " Amount Paid");
  table.logical("Guarantor Responsible");
  for (int policy = 1; policy <= 3; ++policy)
    table.logical("Insurance " + std::to_string(policy) + " Responsible");
  table.character("Who Paid", 1)
      .character("Documentation Type", 1)
      .memo("Documentation")
      .logical("Attorney Paid")
      .floating("Attorney Amount Paid")
      .logical("Attorney Responsible")
      .floating("Adjustment Amount")
      .character("User Code", 10)
      .floating("Allowed Amount");
  for (int diagnosis = 1; diagnosis <= 4; ++diagnosis)
    table.character("Diagnosis Code " + std::to_string(diagnosis), 10);
  table.integer("CC Entry Number")
      .character("Tooth Number", 2)
      .character("Tooth Surface", 10)
      .character("Mouth Quadrant", 12);
  if (estimate) table.logical("Posted");
  table.integer("Deposit ID")
      .character("Check Number", 15)
      .money("Unapplied Amount")
      .timestamp("Date Modified")
      .character("Facility", 5)
      .character("Procedure Description", 40);
  for (int diagnosis = 1; diagnosis <= 4; ++diagnosis)
    table.character("Diagnosis " + std::to_string(diagnosis) + " Description", 40);
  table.integer("Statement Number").character("Claim Rejection Code", 6);

  // Chart numbers are stored upper case, so the unique key takes them raw.
  table.tag("Primary", "Chart Number;Case Number;Entry Number;Tooth Number", tag_option::unique)
      .tag("Idxprocedure", "UPPER(Procedure Code);UPPER(Insurance Category)")
      .tag("Idxclaim", "Claim Number;Date From;Entry Number")
      .tag("Idxdatecharttype", "Date From;UPPER(Chart Number);UPPER(Transaction Type)")
      .tag("Idxchartdate", "UPPER(Chart Number);Date From")
      .tag("Idxentrynumber", "Entry Number")
      .tag("Idxdatecreated", "Date Created")
      .tag("Idxprovider", "UPPER(Attending Provider)")
      .tag("Idxdocument", "UPPER(Chart Number);Document Number;UPPER(Transaction Type)")
      .tag("IdxType", "Transaction Type")
      // Despite its name this tag is on the card transaction link, not the ledger key.
      .tag("idxEntry Number", "CC Entry Number")
      .tag("idxChartCaseDoc", "Chart Number;Case Number;Document Number;Entry Number;Tooth Number")
      .tag("idxCaseNumber", "Case Number")
      .tag("idxChartNumber", "Chart Number")
      .tag("idxDateModified", "Date Modified")
      .tag("idxDepositID", "Deposit ID")
      .tag("idxCheckNumber", "Check Number")
      .tag("idxStatement", "Statement Number;Date From;Entry Number")
      .tag("idxStatementID", "Statement Number")
      .tag("idxProModifiers", "Procedure Code;Modifier 1;Modifier 2;Modifier 3;Modifier 4");
  return table.build();
}

// How much of one payment or adjustment entry is applied to one charge.
TableDefinition paymentApplicationTable() {
  return TableBuilder("QVPAX", "Pax")
      .integer("Payment Reference")
      .integer("Charge Reference")
      .floating("Payment Amount")
      .character("Who Paid", 1)
      .integer("Deposit ID")
      .timestamp("Date Modified")
      .tag("Primary", "Payment Reference;Charge Reference", tag_option::unique)
      .tag("Idxdepositid", "Deposit Id")
      .tag("Idxchargereference", "Charge Reference")
      .tag("Idxpaymentreference", "Payment Reference")
      .build();
}

}  // namespace vantrell::store::catalogue
