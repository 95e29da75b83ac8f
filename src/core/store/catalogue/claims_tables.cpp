#include <string>

#include "store/catalogue/table_definitions.hpp"

namespace vantrell::store::catalogue {

namespace {

std::string numbered(const char* stem, int slot) { return std::string(stem) + std::to_string(slot); }

}  // namespace

// One claim bills up to three carriers; each carrier slot keeps its own
// receiver, billing method, status, batch and billing dates. Estimate claims
// (pretreatment plans) live in a twin file with the same layout.
TableDefinition claimTable(bool estimate) {
  TableBuilder table(estimate ? "QVCLAE" : "QVCLA", "Claim");
  table.autoIncrement("Claim Number")
      .character("Chart Number", 8)
      .integer("Case Number")
      .character("Billing Code", 2)
      .character("Indicator 1", 10);
  for (int slot = 1; slot <= 3; ++slot) table.integer(numbered("Batch Number ", slot));
  for (int slot = 1; slot <= 3; ++slot) table.character(numbered("EMC Receiver ", slot), 5);
  for (int slot = 1; slot <= 3; ++slot) table.character(numbered("Insurance Carrier ", slot), 5);
  table.character("Provider", 5)
      .character("Primary Billing Method", 1)
      .character("Secondary Billing Method", 1)
      .character("Tertiary Billing Method", 1);
  for (int slot = 1; slot <= 3; ++slot) table.character(numbered("Claim Status ", slot), 1);
  table.date("Primary Billing Date")
      .date("Secondary Billing Date")
      .date("Tertiary Billing Date")
      // "Cnt" in the secondary count's name is the stored name, not a slip.
      .integer("Primary Submission Count")
      .integer("Secondary Submission Cnt")
      .integer("Tertiary Submission Count")
      .date("Date Created")
      .memo("Comment");
  for (int slot = 1; slot <= 3; ++slot) table.date(numbered("Initial Billing Date ", slot));
  table.character("User Code", 10);
  for (int code = 1; code <= 4; ++code) table.character(numbered("Diagnosis Code ", code), 10);
  table.timestamp("Date Modified");

  table.tag("Primary", "Claim Number", tag_option::unique);
  for (int slot = 1; slot <= 3; ++slot) table.tag(numbered("Idxbatch", slot), numbered("Batch Number ", slot));
  table.tag("Idxchartcase", "UPPER(Chart Number);Case Number");
  for (int slot = 1; slot <= 3; ++slot) {
    const std::string n = std::to_string(slot);
    table.tag("Idxinsco" + n, "UPPER(Insurance Carrier " + n + ");UPPER(Claim Status " + n + ")");
  }
  table.tag("Idxdatecreated", "Date Created")
      .tag("Idxreceiver1Ins1", "UPPER(Emc Receiver 1);UPPER(Insurance Carrier 1);UPPER(Provider)");
  for (int slot = 1; slot <= 3; ++slot) {
    const std::string n = std::to_string(slot);
    table.tag("Idxreceiver" + n + "Provider",
              "UPPER(Emc Receiver " + n + ");UPPER(Provider);UPPER(Insurance Carrier " + n + ")");
  }
  return table.build();
}

// Claim rejection codes that payment application writes onto charges.
TableDefinition rejectionTable() {
  return TableBuilder("QVREJ", "Rejection")
      .autoIncrement("ID")
      .character("Rejection Code", 6)
      .character("Rejection Message", 120)
      .date("Date Created")
      .character("Modified By", 20)
      .timestamp("Date Modified")
      .tag("Primary", "ID", tag_option::unique)
      .tag("By Rejection Code", "Rejection Code", tag_option::unique)
      .build();
}

// Electronic claim receivers. Maximum Transactions caps the charges on one
// claim; Program File is the receiver's own sending program.
TableDefinition ediReceiverTable() {
  TableBuilder table("QVECR", "EDI Receiver");
  table.character("Code", 5)
      .character("Name", 30)
      .character("Street 1", 30)
      .character("Street 2", 30)
      .character("City", 20)
      .character("State", 2)
      .character("Zip Code", 10)
      .character("Phone", 13)
      .character("Phone 2", 13)
      .character("Extension", 4)
      .character("Fax", 13)
      .character("Contact", 20)
      .character("Comment", 30)
      .character("Submitter ID 1", 20)
      .character("Submitter ID 2", 20)
      .character("Submitter Password 1", 20)
      .character("Submitter Password 2", 20)
      .character("Serial Port", 4)
      .character("Baud Rate", 5)
      .character("Data Phone", 13)
      .character("Dialing Prefix", 35)
      .character("Dialing Suffix", 30)
      .character("Modem Initialization", 20)
      .character("Modem Termination", 20)
      .character("File Transmit Protocol", 13)
      .character("Parity", 4)
      .character("Stop Bits", 4)
      .character("Data Bits", 5)
      .character("Transmission Mode", 11)
      .character("Repeated Dialing Attempts", 2)
      .character("Extra 1", 20)
      .character("Extra 2", 20)
      .character("Extra 3", 20)
      .character("Extra 4", 10)
      .character("Extra 5", 10)
      .character("Extra 6", 5);
  return table.integer("Filename ID")
      .integer("Maximum Transactions")
      .character("Program File", 30)
      .character("User Code", 10)
      .date("Date Created")
      .timestamp("Date Modified")
      .character("FileName", 30)
      .character("FilePath", 90)
      .character("FTPAddress", 90)
      .character("FTPPort", 5)
      .character("EMail", 30)
      .character("WebAddress", 90)
      .logical("GroupPractice")
      .tag("Primary", "UPPER(Code)", tag_option::unique)
      .tag("Idxname", "UPPER(Name)")
      .build();
}

}  // namespace vantrell::store::catalogue
