#include <string>

#include "store/catalogue/table_definitions.hpp"

namespace vantrell::store::catalogue {

namespace {

// "Link Code 1" .. "Link Code 8", "Default Modifier 1" .. and the like.
std::string numbered(const char* stem, int number) { return std::string(stem) + std::to_string(number); }

}  // namespace

// Procedure, product, lab, tax, payment, adjustment and comment codes alike; the
// code's Type becomes the ledger line's transaction type.
TableDefinition procedureTable() {
  TableBuilder table("QVPRO", "Procedure");
  table.character("Code 1", 10)
      .character("Code 2", 10)
      .character("Code 3", 10)
      .character("Type", 1)
      .character("Description", 40)
      .character("Type of Service", 3);
  for (int place = 1; place <= 3; ++place) table.character(numbered("Default Place Service ", place), 2);
  table.integer("Time To Do Procedure")
      .character("Insurance Category", 1)
      .logical("Patient Only Responsible")
      .character("Don't Print on Insurance", 60)
      .character("Only Print on Insurance", 60)
      .floating("Cost of Service/Product")
      .floating("Medicare Allowed Amount");
  // One price column per fee schedule; the case's Price Code picks the letter.
  for (char schedule = 'A'; schedule <= 'Z'; ++schedule) table.floating(std::string("Amount ") + schedule);
  table.character("Account Code", 4)
      .logical("Taxable")
      .logical("Inactive")
      .logical("Adjustment Amount Negativ")
      .character("Default Modifiers", 16)
      .logical("PrePayment");
  for (int modifier = 1; modifier <= 4; ++modifier) table.character(numbered("Default Modifier ", modifier), 2);
  return table.character("User Code", 10)
      .date("Date Created")
      .logical("Approved")
      .logical("Recall Code")
      .character("Valid Surfaces", 7)
      .character("Revenue Code", 10)
      .floating("Tax Rate")
      .timestamp("Date Modified")
      .logical("Purchased Service")
      .integer("Default Units")
      .tag("Primary", "UPPER(Code 1)", tag_option::unique)
      .tag("Idxdescription", "UPPER(Description)")
      .tag("idxType", "Type")
      .build();
}

// Negotiated amounts per carrier, procedure and the charge's four modifiers
// joined without separators.
TableDefinition allowedAmountTable() {
  return TableBuilder("QVALL", "Allowed Amount")
      .character("Insurance Code", 5)
      .character("Procedure", 10)
      .character("Modifiers", 8)
      .floating("Amount")
      .timestamp("Date Modified")
      .tag("Primary", "UPPER(Insurance Code); Procedure; Modifiers", tag_option::unique)
      .tag("idxInsurance", "UPPER(Insurance Code)")
      .build();
}

// Up to eight procedure codes posted together, in link order.
TableDefinition multilinkTable() {
  TableBuilder table("QVMUL", "MultiLink");
  table.character("Code", 10).character("Description", 30);
  for (int link = 1; link <= 8; ++link) table.character(numbered("Link Code ", link), 10);
  return table.character("User Code", 10)
      .date("Date Created")
      .timestamp("Date Modified")
      .tag("Primary", "UPPER(Code)", tag_option::unique)
      .tag("Idxdescription", "UPPER(Description)")
      .build();
}

TableDefinition insuranceCarrierTable() {
  return TableBuilder("QVINS", "Insurance Carrier")
      .character("Code", 5)
      .character("Name", 45)
      .character("Street 1", 30)
      .character("Street 2", 30)
      .character("City", 20)
      .character("State", 2)
      .character("Zip Code", 10)
      .character("Phone", 13)
      .character("Extension", 4)
      .character("Fax", 13)
      .character("Contact", 20)
      .character("Practice ID Number", 15)
      .character("Plan Name", 30)
      .character("Type", 17)
      .character("Procedure Code Set", 1)
      .character("Diagnosis Code Set", 1)
      .character("Signature on File", 17)
      .logical("Delay Secondary Billing")
      .character("Default Billing Method", 10)
      .character("EMC Receiver", 5)
      .character("EMC Payor Number", 15)
      .character("EMC Sub ID", 15)
      .character("EMC Extra 1", 15)
      .character("EMC Extra 2", 15)
      .character("ETS Record Code", 2)
      // Procedure codes the payment windows start from for this carrier.
      .character("Default Payment Code", 10)
      .character("Default Write Off Code", 10)
      .character("Default Withhold Code", 10)
      .character("Default Deductible Code", 10)
      .character("Indicator", 5)
      .character("Print PINs on Ins Form", 1)
      .character("User Code", 10)
      .date("Date Created")
      .character("Physician Signature on File", 17)
      .character("Insured Signature on File", 17)
      .character("Carrier ID number", 10)
      .character("Health Plan Identifier", 10)
      .timestamp("Date Modified")
      .logical("Inactive")
      .character("IOD", 15)
      .integer("EMC Max Transactions")
      .character("Default Take Back Code", 10)
      .character("Insurance Class", 5)
      .tag("Primary", "UPPER(Code)", tag_option::unique)
      .tag("Idxname", "UPPER(Name)")
      .tag("IdxIOD", "UPPER(IOD)")
      .build();
}

// Date Modified is a plain date here, unlike the other code tables.
TableDefinition insuranceClassTable() {
  return TableBuilder("QVINC", "Insurance Class")
      .character("ID", 5)
      .character("Class Name", 45)
      .character("Description", 100)
      .date("Date Created")
      .date("Date Modified")
      .character("User Code", 10)
      .tag("Primary", "UPPER(ID)", tag_option::unique)
      .build();
}

// Providers and referring providers keep one layout in two files.
TableDefinition providerTable(bool referring) {
  TableBuilder table(referring ? "QVRPH" : "QVPHY", referring ? "Referring Provider" : "Physician");
  table.character("Code", 5)
      .character("Last Name", 20)
      .character("First Name", 15)
      .character("Middle Initial", 1)
      .character("Credentials", 10)
      .character("Street 1", 30)
      .character("Street 2", 30)
      .character("City", 20)
      .character("State", 2)
      .character("Zip Code", 10)
      .character("Phone", 13)
      .character("Fax", 13)
      .character("SSN or Fed Tax ID", 11)
      .logical("Federal Tax ID Indicator")
      .character("License Number", 15)
      .logical("Signature on File");
  for (const char* number : {"Medicare PIN", "Medicaid PIN", "Champus PIN", "Blue Cross/Shield PIN", "Commercial PIN",
                             "Group PIN", "HMO PIN", "PPO PIN", "Medicare Group ID", "Medicaid Group ID",
                             "BC/BS Group ID", "Other Group ID"}) {
    table.character(number, 20);
  }
  return table.character("EMC ID", 5)
      .logical("Medicare Particp Provider")
      .character("UPIN", 20)
      .character("Extra 1", 10)
      .character("Extra 2", 10)
      .character("Specialty", 20)
      .integer("Security Level")
      .character("SB Number", 2)
      .character("SB Report File", 10)
      .date("SOF Date")
      .character("User Code", 10)
      .date("Date Created")
      .character("TAT Number", 11)
      .character("CLIA Number", 10)
      .character("National Provider Identifier", 15)
      .character("DEA Registration", 20)
      .character("EMail", 35)
      .character("Office", 13)
      .character("Cell", 13)
      .timestamp("Date Modified")
      .logical("Inactive")
      .integer("EntityType")
      .tag("Primary", "UPPER(Code)", tag_option::unique)
      .tag("Idxname", "UPPER(Last Name);UPPER(First Name)")
      .build();
}

// A provider's number with one carrier; reached from either side, so no single
// primary key.
TableDefinition providerNumberTable() {
  return TableBuilder("QVPINS", "Pins")
      .character("Insurance Code", 5)
      .character("Provider Code", 5)
      .character("Pin Number", 25)
      .character("Group ID", 25)
      .timestamp("Date Modified")
      .tag("IDXINSPROV", "Upper(Insurance Code);Upper(Provider Code)")
      .tag("IDXPROVINS", "Upper(Provider Code);Upper(Insurance Code)")
      .build();
}

TableDefinition diagnosisTable() {
  return TableBuilder("QVDIA", "Diagnosis")
      .character("Code 1", 10)
      .character("Code 2", 10)
      .character("Code 3", 10)
      .character("Description", 100)
      .character("Template", 10)
      .character("User Code", 10)
      .date("Date Created")
      .timestamp("Date Modified")
      .logical("Approved")
      .logical("Inactive")
      .tag("Primary", "UPPER(Code 1)", tag_option::unique)
      .tag("Idxdescription", "UPPER(Description)")
      .build();
}

TableDefinition billingCodeTable() {
  return TableBuilder("QVBCO", "Billing Code")
      .character("Code", 2)
      .character("Description", 20)
      .character("User Code", 10)
      .date("Date Created")
      .timestamp("Date Modified")
      .tag("Primary", "UPPER(Code)", tag_option::unique)
      .tag("Idxdescription", "UPPER(Description)")
      .build();
}

// Employers, facilities, attorneys and referral sources, told apart by Type.
// The address window refuses a repeated code; the tag itself is not unique.
TableDefinition addressTable() {
  return TableBuilder("QVADD", "Address")
      .character("Code", 5)
      .character("Name", 30)
      .character("Street 1", 30)
      .character("Street 2", 30)
      .character("City", 20)
      .character("State", 2)
      .character("Zip Code", 10)
      .character("Phone", 13)
      .character("Extension", 4)
      .character("Fax", 13)
      .character("Contact", 20)
      .character("ID", 20)
      .character("Type", 18)
      .character("Extra 1", 10)
      .character("Extra 2", 10)
      .character("User Code", 10)
      .date("Date Created")
      .timestamp("Date Modified")
      .character("EMail", 35)
      .character("Office", 13)
      .character("Cell", 13)
      .character("Identifier", 10)
      .tag("Primary", "UPPER(Code)")
      .tag("Idxname", "UPPER(Name)")
      .tag("Idxtype", "Type")
      .build();
}

}  // namespace vantrell::store::catalogue
