#include "store/catalogue/table_definitions.hpp"

namespace vantrell::store::catalogue {

// One row per check, cash receipt or explanation of benefits. The four posting
// codes and the take-back code are the procedure codes that payment application
// uses for the lines it writes from this deposit.
TableDefinition depositTable() {
  return TableBuilder("QVDEP", "Deposit")
      .date("Deposit Date")
      .character("Description", 30)
      .autoIncrement("Entry Number")  // becomes Deposit ID on the payments made from it
      .character("Payor Type", 10)
      .character("Payment Method", 11)
      .logical("Copay")
      .character("Insurance Code", 5)
      .character("Chart Number", 10)  // wider than a chart number; kept as the table has it
      .character("Attorney Code", 5)
      .character("Check Number", 15)
      .floating("Payment Amount")
      .floating("Unapplied Amount")
      .character("Deposit Code", 1)
      .character("Payor Name", 30)
      .character("Payment Code", 10)
      .character("Adjustment Code", 10)
      .character("Withhold Code", 10)
      .character("Deductible Code", 10)
      .character("User Code", 10)
      .date("Date Created")
      .integer("CC Entry Number")
      .timestamp("Date Modified")
      .character("Take Back Code", 10)
      .tag("Primary", "Deposit Date;UPPER(Description);Entry Number", tag_option::unique)
      .tag("Payor", "Deposit Date;UPPER(Payor Name)")
      .tag("Idxinsurance", "UPPER(Insurance Code)")
      .tag("IdxEntryNumber", "Entry Number")
      .tag("IdxChartNumber", "UPPER(Chart Number)")
      .tag("IdxPaymentAmount", "Payment Amount")
      .tag("IdxDescription", "UPPER(Description)")
      .tag("IdxPayor", "UPPER(Payor Name)")
      .build();
}

}  // namespace vantrell::store::catalogue
