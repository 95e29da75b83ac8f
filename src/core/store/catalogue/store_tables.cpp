#include <string>

#include "store/catalogue/table_definitions.hpp"

namespace vantrell::store::catalogue {

// Saved "new record" defaults for the patient, case, code and address windows,
// one row per (table, field).
TableDefinition fieldDefaultTable() {
  return TableBuilder("QVDEF", "Default")
      .character("Table", 8)
      .character("Field", 40)
      .character("Default", 70)
      .timestamp("Date Modified")
      .tag("Primary", "UPPER(Table);UPPER(Field)")
      .build();
}

// Lives inside the data dictionary; a row silences the update-audit trigger for
// one user's bulk run on one table.
TableDefinition triggerSwitchTable() {
  return TableBuilder("qvtrg", "Trigger Switch")
      .character("TriggerName", 25)
      .character("UserName", 20)
      .character("TableName", 15)
      .logical("Process")
      .build();
}

// Root data directory: one row per practice name; two names may share a directory.
TableDefinition practiceListTable() {
  return TableBuilder("QVDBLIST", "Practice List")
      .character("DataSet Name", 35)
      .character("Data Path", 128)
      .build();
}

// The single options row of a practice. Field names keep their historical
// abbreviations and spelling ("Paymnt", "Amt.") because filters address them by name.
TableDefinition optionTable() {
  TableBuilder table("QVOPT", "Option");
  table.logical("Remind to Backup on Close")
      .logical("Show Cue Cards")
      .logical("Show Patient List Window")
      .logical("Show Transaction Window")
      .logical("Show Reminder List")
      .logical("Show Open Practice List")
      .floating("Sales Tax Rate")
      .logical("Use ENTER for next Field")
      .logical("Use Sound")
      .logical("Do Word Capitalization")
      .logical("Auto. Place Decimal Point")
      .logical("Multiply Units Times Amt.")
      .character("Default Location Code", 2)
      .logical("Remind Bill Ins. Charges")
      .floating("Days Past Entry Date")
      .logical("Remind when to Follow up")
      .floating("Days Past Billing Date")
      .character("Default Cash Payment Code", 10)
      .character("Default Check Paymnt Code", 10)
      .character("Credit Card Payment Code", 10)
      .character("Patient Write Off Code", 10)
      .character("Backup Program", 40)
      .character("Backup Command Line", 50)
      .logical("Force Payment Application")
      .character("Default Walkout Receipt", 14)
      .integer("Data Version Number")
      .logical("Mark Complete")
      .logical("Calculate Disallowed Amt")
      .logical("Calculate Allowed Amount")
      .logical("Show Hints")
      .logical("Use To Date")
      .logical("Show Shortcuts")
      .logical("Create Billing Notes")
      .character("Billing Note Code", 10)
      .logical("Use Zip Code")
      .integer("Pat Aging Column 1 Start")
      .integer("Pat Aging Column 1 End")
      .integer("Pat Aging Column 2")
      .integer("Pat Aging Column 3")
      .logical("Pat Age By Date From")
      .logical("Pat Age By Statement Date")
      .integer("Ins Aging Column 1 Start")
      .integer("Ins Aging Column 1 End")
      .integer("Ins Aging Column 2")
      .integer("Ins Aging Column 3")
      .integer("Ins Aging Column 4")
      .logical("Mark Completed Claims Done")
      .character("Eligibility Receiver", 5)
      .logical("Use Diagnosis")
      .timestamp("Date Modified")
      .logical("Numeric")
      .logical("Auto Log Off")
      .integer("Log Off Min")
      .logical("Warn on Unapproved")
      .logical("Use Old Style Transaction Entry")
      .character("Default Tax Code", 10)
      .logical("Auto Calculate Tax");
  for (int tab = 1; tab <= 12; ++tab) table.logical("Show Case Tab " + std::to_string(tab));
  table.logical("Show Patient Tab 1")
      .logical("Show Patient Tab 2")
      .integer("Last Case Screen")
      .integer("Last Patient Screen")
      .logical("Auto Format SSN")
      .logical("Print Title Page")
      .integer("Partially Applied Payment Color")
      .integer("No Payment Color")
      .integer("Partially Paid Color")
      .integer("Overpaid Charge Color")
      .integer("Unapplied Payment Color")
      .integer("Overapplied Payment Color")
      .logical("Use Color-coding")
      .logical("Enforce Accept Assignment")
      .logical("Force Document Number")
      .logical("Use Serialized Superbills")
      .logical("Use Classic Icons")
      .character("Quick Receipt Format", 128)
      .character("Quick Statement Format", 128)
      .logical("Use Patient Flags");
  // Legend of the fourteen patient colour flags, stored as description/colour pairs.
  for (int flag = 1; flag <= 14; ++flag) {
    const std::string prefix = "Flag " + std::to_string(flag);
    table.character(prefix + " Description", 20).integer(prefix + " Color");
  }
  table.character("Quick Face Sheet", 128)
      .integer("Case Default")
      .character("Statement Bill Note", 10)
      .logical("Create Statement Billing Notes")
      .logical("ePrescribing Enabled")
      .character("Courierlink Machine Name", 64)
      .logical("Use Cycle Billing")
      .integer("Cycle Billing Days")
      .logical("Patient Share As Deductible")  // of electronic remittances
      .memo("Audit Tables");
  return table.build();
}

// The practice's own record and the billing service's record share one layout.
TableDefinition practiceTable(bool billingService) {
  return TableBuilder(billingService ? "QVBSP" : "QVPRA",
                      billingService ? "Billing Practice" : "Practice")
      .character("Practice Name", 30)
      .character("Street 1", 30)
      .character("Street 2", 30)
      .character("City", 20)
      .character("State", 2)
      .character("Zip Code", 10)
      .character("Phone", 13)
      .character("Extension", 4)
      .character("Fax", 13)
      .character("Practice Type", 15)
      .character("Federal Tax ID", 15)
      .character("Extra 1", 30)
      .character("Extra 2", 30)
      .timestamp("Date Modified")
      .integer("EntityType")
      .build();
}

}  // namespace vantrell::store::catalogue
