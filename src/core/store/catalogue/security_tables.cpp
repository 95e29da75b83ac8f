#include <string>

#include "store/catalogue/table_definitions.hpp"

namespace vantrell::store::catalogue {

// The practice's users. While this table is empty, security is off.
TableDefinition securityTable() {
  return TableBuilder("QVSEC", "Security")
      .character("Code", 10)
      .character("Name", 20)
      .character("Password", 75)
      .character("Access Level", 1)  // "1" (most privileged) to "5"
      .timestamp("Date Modified")
      .character("ePrescribing Username", 40)
      .character("ePrescribing Password", 12)
      .date("Expire Date")  // last valid day; empty means never expires
      .logical("Inactive")
      .character("Question", 75)
      .character("Answer", 25)
      .tag("Primary", "UPPER(Code)")
      .tag("Idxname", "UPPER(Name)")
      .build();
}

// One row per guarded operation, with the access levels allowed to perform it.
TableDefinition permissionTable() {
  TableBuilder builder("QVPER", "Permissions");
  builder.integer("Item Number").character("Window", 35).character("Process", 35);
  for (int level = 1; level <= 5; ++level) {
    builder.logical("Level " + std::to_string(level));
  }
  return builder.timestamp("Date Modified")
      .tag("Primary", "UPPER(Window);UPPER(Process)")
      .build();
}

// The practice's password rules; a single row.
TableDefinition loginPasswordRuleTable() {
  return TableBuilder("QVLPM", "Login/Password Managment")
      .integer("Renewal Interval")  // days a password stays valid; 0 = forever
      .integer("Reuse Period")      // days before a password may be used again
      .integer("Min Characters")
      .integer("Max Characters")
      .logical("Alphanumeric")
      .integer("Max Attempts")
      .integer("Disable Period")  // minutes an account stays locked out
      .timestamp("Date Modified")
      .build();
}

// Every password a user has had; the Active row is the current one.
TableDefinition passwordHistoryTable() {
  return TableBuilder("QVPSW", "Program Password")
      .character("User", 10)
      .character("Password", 75)
      .date("Date Used")
      .timestamp("Date Modified")
      .logical("Active")
      .tag("User", "User;Date Used")
      .build();
}

// Every login attempt and every logout.
TableDefinition loginLogTable() {
  return TableBuilder("QVLIO", "Login/Logout")
      .character("User", 10)
      .character("In Out", 4)  // "In" or "Out"
      .date("Date")
      .logical("Successful")
      // A time of day; we keep the whole moment of the attempt, which orders the
      // same way under the User tag and makes lock-out arithmetic plain.
      .timestamp("Time")
      .character("Note", 50)
      .tag("User", "User;Date;Time")
      .build();
}

// Who is in the program, shared by every practice of the root data directory.
// A row not touched for three minutes counts as abandoned.
TableDefinition userPresenceTable() {
  return TableBuilder("QVUSR", "Users in Program")
      .character("User", 10)
      .character("Program", 15)
      .timestamp("Modified")  // last sign of life
      .logical("Locked")
      .tag("Primary", "User;Program")
      .build();
}

// Audit entries of deletes and sensitive edits, one line of text each.
TableDefinition auditTable() {
  return TableBuilder("QVAUD", "Audit")
      .timestamp("Date")
      .character("Chart Number", 8)
      .character("Comment", 80)
      .timestamp("Date Modified")
      .build();
}

// Field-level changes belonging to an audit master row.
TableDefinition auditDetailTable() {
  return TableBuilder("qvaudd", "Audit Detail")
      .autoIncrement("ID")
      .integer("MasterID")
      .character("Field", 50)
      .character("Old Value", 256)
      .character("New Value", 256)
      .character("Key Value", 256)
      .memo("Old Memo Value")
      .memo("New Memo Value")
      .timestamp("Date Modified")
      .tag("ID", "ID")
      .build();
}

// One row per audited insert, update or delete of a record.
TableDefinition auditMasterTable() {
  return TableBuilder("qvaudm", "Audit Master")
      .autoIncrement("ID")
      .character("Table", 30)
      .character("User", 10)
      .character("Action", 10)
      .integer("QelApplication")
      .timestamp("Date Modified")
      .tag("ID", "ID")
      .build();
}

// Saved selections of the data audit report.
TableDefinition auditReportTemplateTable() {
  return TableBuilder("qvauds", "Audit Report Templates")
      .autoIncrement("ID")
      .character("Template Name", 50)
      .date("Date From")
      .date("Date To")
      .integer("Report Type")
      .memo("User")
      .memo("Tables")
      .memo("Fields")
      .date("Date Created")
      .timestamp("Date Modified")
      .tag("Primary", "Template Name")
      .build();
}

// Passwords of the database engine's own accounts, kept enciphered.
TableDefinition databasePasswordTable() {
  return TableBuilder("qvpwd", "Database Password")
      .character("User Name", 50)
      .character("Password", 128)
      .timestamp("Date Created")
      .timestamp("Date Modified")
      .tag("Primary", "User Name")
      .build();
}

}  // namespace vantrell::store::catalogue
