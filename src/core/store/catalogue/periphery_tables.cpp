#include <string>

#include "store/catalogue/table_definitions.hpp"

// Tables of the peripheral services. The accounting core only reads or deletes
// them by chart, case, procedure, provider and carrier, so their layouts stay
// small: those link fields, a key, and what the feature itself plainly needs.

namespace vantrell::store::catalogue {

// Card authorisations, voids and returns. Transactions and deposits point here
// through their CC Entry Number. Only the last four digits of a card are kept.
TableDefinition creditCardTable() {
  return TableBuilder("QVCC", "Credit Card")
      .autoIncrement("Entry Number")
      .character("Chart Number", 8)
      .integer("Case Number")
      .integer("Deposit ID")  // set when processed through the deposit list
      .date("Transaction Date")
      .character("Transaction Type", 10)  // "Sale", "Void", "Return"
      .floating("Amount")
      .character("Card Type", 20)
      .character("Last Four Digits", 4)
      .character("Cardholder Name", 40)
      .character("Authorization Code", 10)
      .character("Reference Number", 30)
      .character("Status", 10)
      .integer("Batch Number")
      .character("User Code", 10)
      .date("Date Created")
      .timestamp("Date Modified")
      .tag("Primary", "Entry Number", tag_option::unique)
      .tag("IdxChartNumber", "UPPER(Chart Number)")
      .tag("IdxDepositID", "Deposit ID")
      .build();
}

// User-defined extra fields of a case: one row per case and field name. The field
// names come from the controls of the custom case screens (QVSCD).
TableDefinition customCaseDataTable() {
  return TableBuilder("QVCCD", "Custom Case Data")
      .character("Chart Number", 8)
      .integer("Case Number")
      .character("Field Name", 40)
      .character("Field Value", 255)
      .timestamp("Date Modified")
      .tag("Primary", "UPPER(Chart Number);Case Number;UPPER(Field Name)", tag_option::unique)
      .tag("IdxCaseNumber", "Case Number")
      .build();
}

// User-defined extra fields of a patient or guarantor: one row per chart and field.
TableDefinition customPatientDataTable() {
  return TableBuilder("QVCPD", "Custom Patient Data")
      .character("Chart Number", 8)
      .character("Field Name", 40)
      .character("Field Value", 255)
      .timestamp("Date Modified")
      .tag("Primary", "UPPER(Chart Number);UPPER(Field Name)", tag_option::unique)
      .build();
}

// The practice's contact list (people and firms that are not patients).
TableDefinition contactTable() {
  return TableBuilder("QVCON", "Contact")
      .autoIncrement("ID")
      .character("Last Name", 20)
      .character("First Name", 15)
      .character("Middle Initial", 1)
      .character("Company", 30)
      .character("Street 1", 30)
      .character("Street 2", 30)
      .character("City", 20)
      .character("State", 2)
      .character("Zip Code", 10)
      .character("Phone", 13)
      .character("Extension", 4)
      .character("Fax", 13)
      .character("Cell", 13)
      .character("EMail", 35)
      .character("Category", 20)
      .memo("Notes")
      .character("User Code", 10)
      .date("Date Created")
      .timestamp("Date Modified")
      .tag("Primary", "ID", tag_option::unique)
      .tag("Idxname", "UPPER(Last Name);UPPER(First Name)")
      .tag("Idxcompany", "UPPER(Company)")
      .build();
}

// Results of eligibility inquiries for a patient's policy.
TableDefinition eligibilityTable() {
  return TableBuilder("QVELG", "Eligibility")
      .autoIncrement("ID")
      .character("Chart Number", 8)
      .integer("Case Number")
      .character("Insurance Code", 5)
      .character("Provider Code", 5)
      .character("Policy Number", 20)
      .character("Receiver", 5)  // EDI receiver that answered
      .date("Date of Service")
      .timestamp("Date Requested")
      .character("Status", 10)
      .memo("Response")
      .character("User Code", 10)
      .date("Date Created")
      .timestamp("Date Modified")
      .tag("Primary", "ID", tag_option::unique)
      .tag("IdxChartNumber", "UPPER(Chart Number);Case Number")
      .tag("IdxInsurance", "UPPER(Insurance Code)")
      .tag("IdxProvider", "UPPER(Provider Code)")
      .build();
}

// Settings of the statement wizard: the remit-to block and the messages printed
// by account age. A single row, like the options table.
TableDefinition statementWizardTable() {
  return TableBuilder("QVMDP", "Wizard Table")
      .character("Practice Name", 30)
      .character("Street 1", 30)
      .character("Street 2", 30)
      .character("City", 20)
      .character("State", 2)
      .character("Zip Code", 10)
      .character("Phone", 13)
      .character("Current Message", 255)
      .character("30 Day Message", 255)
      .character("60 Day Message", 255)
      .character("90 Day Message", 255)
      .timestamp("Date Modified")
      .build();
}

// Images and documents attached to a chart and case. Rows attached while a new
// case had no number yet carry Case Number 0.
TableDefinition multimediaTable() {
  return TableBuilder("QVOBJ", "Multimedia")
      .autoIncrement("ID")
      .character("Chart Number", 8)
      .integer("Case Number")
      .character("Description", 40)
      .character("Object Type", 10)
      .character("File Name", 255)
      .memo("Object")  // the stored image when not kept as a file
      .character("User Code", 10)
      .date("Date Created")
      .timestamp("Date Modified")
      .tag("Primary", "ID", tag_option::unique)
      .tag("IdxChartCase", "UPPER(Chart Number);Case Number")
      .build();
}

// A patient's treatment plan; its planned procedures are QVPPR rows.
TableDefinition treatmentPlanTable() {
  return TableBuilder("QVPLN", "Treatment Plan")
      .autoIncrement("Plan Number")
      .character("Chart Number", 8)
      .integer("Case Number")
      .character("Description", 30)
      .character("Attending Provider", 5)
      .date("Plan Date")
      .character("Status", 10)
      .memo("Notes")
      .character("User Code", 10)
      .date("Date Created")
      .timestamp("Date Modified")
      .tag("Primary", "Plan Number", tag_option::unique)
      .tag("IdxChartNumber", "UPPER(Chart Number);Case Number")
      .build();
}

// The planned procedures of a treatment plan, in sequence. Entry Number links
// the charge created from the row, 0 until then.
TableDefinition procedurePlanTable() {
  TableBuilder builder("QVPPR", "Procedure Plan");
  builder.autoIncrement("ID")
      .integer("Plan Number")
      .integer("Sequence")
      .character("Procedure Code", 10)
      .character("Description", 40);
  for (int n = 1; n <= 4; ++n) {
    builder.character("Modifier " + std::to_string(n), 2);
  }
  return builder.character("Tooth Number", 2)
      .character("Tooth Surface", 10)
      .floating("Units")
      .floating("Amount")
      .date("Date Planned")
      .date("Date Completed")
      .integer("Entry Number")
      .character("User Code", 10)
      .date("Date Created")
      .timestamp("Date Modified")
      .tag("Primary", "ID", tag_option::unique)
      .tag("IdxPlan", "Plan Number;Sequence")
      .tag("IdxProcedure", "UPPER(Procedure Code)")
      .build();
}

// Patients to be called back for a procedure on a date.
TableDefinition patientRecallTable() {
  return TableBuilder("QVREC", "Patient Recall")
      .autoIncrement("ID")
      .character("Chart Number", 8)
      .integer("Case Number")
      .date("Recall Date")
      .character("Procedure Code", 10)
      .character("Provider", 5)
      .character("Status", 10)
      .character("Message", 60)
      .date("Date Contacted")
      .character("User Code", 10)
      .date("Date Created")
      .timestamp("Date Modified")
      .tag("Primary", "ID", tag_option::unique)
      .tag("IdxChartNumber", "UPPER(Chart Number)")
      .tag("IdxRecallDate", "Recall Date")
      .tag("IdxProvider", "UPPER(Provider)")
      .tag("IdxProcedure", "UPPER(Procedure Code)")
      .build();
}

// User-designed patient and case screens for the custom data fields.
TableDefinition customScreenTable() {
  return TableBuilder("QVSCR", "Custom Screen")
      .autoIncrement("Screen ID")
      .character("Screen Type", 1)  // "P" patient, "C" case
      .character("Name", 30)
      .integer("Width")
      .integer("Height")
      .character("User Code", 10)
      .date("Date Created")
      .timestamp("Date Modified")
      .tag("Primary", "Screen ID", tag_option::unique)
      .tag("Idxname", "UPPER(Screen Type);UPPER(Name)")
      .build();
}

// The controls of a custom screen. Field Name is the custom data field the
// control edits (QVCPD or QVCCD by the screen's type).
TableDefinition customScreenControlTable() {
  return TableBuilder("QVSCD", "Custom Screen")
      .autoIncrement("Control ID")
      .integer("Screen ID")
      .character("Field Name", 40)
      .character("Caption", 40)
      .character("Control Type", 15)
      .integer("Max Length")
      .integer("Left")
      .integer("Top")
      .integer("Width")
      .integer("Height")
      .integer("Tab Order")
      .logical("Required")
      .memo("Choices")  // one choice a line, for list controls
      .timestamp("Date Modified")
      .tag("Primary", "Control ID", tag_option::unique)
      .tag("IdxScreen", "Screen ID;Tab Order")
      .build();
}

// Zip code to city and state, used to fill addresses. A zip code may serve more
// than one city, so the key includes the city.
TableDefinition zipCodeTable() {
  return TableBuilder("QVZIP", "Zip Code")
      .character("Zip Code", 10)
      .character("City", 20)
      .character("State", 2)
      .timestamp("Date Modified")
      .tag("Primary", "UPPER(Zip Code);UPPER(City)", tag_option::unique)
      .tag("IdxCity", "UPPER(City);UPPER(State)")
      .build();
}

}  // namespace vantrell::store::catalogue
