#include <string>

#include "store/catalogue/table_definitions.hpp"

namespace vantrell::store::catalogue {

// Patients and guarantors alike; an insured of a policy is also a row here.
TableDefinition patientTable() {
  TableBuilder table("QVPAT", "Patient");
  table.character("Chart Number", 8)
      .character("Last Name", 20)
      .character("First Name", 15)
      .character("Middle Initial", 1)
      .character("Street 1", 30)
      .character("Street 2", 30)
      .character("City", 20)
      .character("State", 2)
      .character("Zip Code", 10);
  for (int phone = 1; phone <= 5; ++phone) table.character("Phone " + std::to_string(phone), 13);
  table.character("Social Security Number", 11)
      .logical("Signature on File")
      .character("Patient Type", 9)
      .character("Patient ID #2", 15)
      .character("Sex", 6)
      .date("Date of Birth")
      .character("Assigned Provider", 5)
      .character("Country", 10)
      .date("Date of Last Payment")
      .floating("Last Payment Amount")
      .floating("Patient Reference Balance")
      .date("Date Created")
      .character("Employment Status", 12)
      .character("Employer", 5)
      .character("Employee Location", 6)
      .date("Employee Retirement Date")
      .character("Work Phone", 13)
      .character("Work Extension", 4)
      .date("SOF Date")
      .character("Billing Code", 2)
      .character("Patient Indicator", 10)
      .character("User Code", 10)
      .character("Unique Health ID", 10)
      .character("EMail", 35)
      .timestamp("Date Modified")
      .character("Contact Phone 1", 13)
      .character("Contact Phone 2", 13)
      .character("Contact Name", 40)
      .floating("Weight")
      .character("Weight Units", 2)
      .integer("Flag")
      .logical("Inactive")
      .logical("In Collections")
      .character("Payment Plan", 3)
      .date("Last Patient Payment Date")
      .floating("Last Patient Payment Amount")
      .logical("Followed Plan")
      .integer("EntityType");
  table.tag("Primary", "UPPER(Chart Number)", tag_option::unique | tag_option::caseInsensitive)
      .tag("Assigned Provider", "UPPER(Assigned Provider)", tag_option::caseInsensitive)
      .tag("Idxname", "UPPER(Last Name);UPPER(First Name)")
      .tag("Idxpatid", "UPPER(Patient Id #2)")
      .tag("Full Name",
           "Upper(Last Name + ', ' + First Name +' ' + Middle Initial);Upper(Chart Number)")
      .tag("SSN", "UPPER(Social Security Number)")
      .tag("idxFlag", "Flag")
      // Finds the accounts on a payment plan (collections).
      .tag("BY PAYMENT PLAN", "Payment Plan");
  return table.build();
}

namespace {

// One insurance policy's insured, carrier, numbers and the coverage percentage
// for each insurance category A to H.
void addPolicy(TableBuilder& table, int policy) {
  const std::string n = " #" + std::to_string(policy);
  table.character("Insured" + n, 8)
      .character("Insured Relationship" + n, 6)
      .character("Insurance Carrier" + n, 5)
      .logical("Accept Assignment" + n)
      .character("Policy Number" + n, 20)
      .character("Group Number" + n, 20);
  for (char category = 'A'; category <= 'H'; ++category)
    table.floating(std::string("Percent Covered ") + category + n);
}

void addPolicyDates(TableBuilder& table, int policy) {
  const std::string policyName = "Policy #" + std::to_string(policy);
  table.date(policyName + " Start Date").date(policyName + " End Date");
}

}  // namespace

// A course of treatment billed one way: guarantor, up to three policies, and the
// accident, condition and programme data that claims carry.
TableDefinition caseTable() {
  TableBuilder table("QVCAS", "Case");
  table.character("Chart Number", 8)
      .autoIncrement("Case Number")
      .character("Description", 30)
      .character("Guarantor", 8)
      .logical("Print Patient Statements")
      .character("Marital Status", 17)
      .character("Student Status", 11)
      .character("Employment Status", 12)
      .character("Employer", 5)
      .character("Employee Location", 6)
      .date("Employee Retirement Date")
      .character("Work Phone", 13)
      .character("Work Phone Extension", 4);

  addPolicy(table, 1);
  table.logical("Policy is Capitated");
  addPolicyDates(table, 1);
  table.floating("Copayment Amount");

  addPolicy(table, 2);
  addPolicyDates(table, 2);
  table.logical("Policy #2 Crossover Claim");

  addPolicy(table, 3);
  addPolicyDates(table, 3);

  table.character("Facility", 5)
      .logical("Related to Employment")
      .character("Related to Accident", 4)
      .character("Nature of Accident", 25)
      .logical("Same or Similar Symptoms")
      .logical("Emergency")
      .logical("EPSDT")
      .logical("Family Planning")
      .logical("Outside Lab Work")
      .floating("Lab Charges")
      // Claim dates kept as text as the claim forms print them.
      .character("Date of Injury/Illness", 10)
      .date("Date First Consulted")
      .character("Date Unable to Work From", 10)
      .character("Date Unable to Work To", 10)
      .character("Date Tot Disability From", 10)
      .character("Date Tot Disability To", 10)
      .character("Date Part Disability From", 10)
      .character("Date Part Disability To", 10)
      .character("Hospital Date From", 10)
      .character("Hospital Date To", 10)
      .character("Prior Authorization No", 25)
      .character("Death Indicator", 32)
      .character("Illness Indicator", 7)
      .character("Accident State", 2)
      .character("Date Similar Symptoms", 10)
      .character("Medicaid Resubmission No", 12)
      .character("Medicaid Original Ref No", 18)
      .character("Local Use A", 20)
      .character("Local Use B", 50)
      .character("Champus Nonavailability", 31)
      .character("Champus Branch of Service", 21)
      .character("Champus Sponsor Grade", 2)
      .character("Champus Sponsor Status", 24)
      .character("Champus Special Program", 3)
      .date("Champus Card Start Date")
      .date("Champus Termination Date")
      .character("Return to Work Indicator", 11)
      .character("Workers Percent Disabled", 3);
  for (int diagnosis = 1; diagnosis <= 4; ++diagnosis)
    table.character("Diagnosis " + std::to_string(diagnosis), 10);
  table.date("Last Xray Date")
      .character("Level of Subluxation", 15)
      .memo("EMC Notes")
      .character("Visit Series ID", 1)
      .floating("Visit Series Counter")
      .date("Last Visit Date")
      .floating("Authorized No of Visits")
      .character("Visit Authorization No", 20)
      .date("Treatment Auth Through")
      .character("Attorney", 5)
      .character("Referring Provider", 5)
      .character("Assigned Provider", 5)
      .character("Referral Source", 5)
      .character("Billing Code", 2)
      .character("Price Code", 1)
      .character("Indicator 1", 10)
      .date("Date Created")
      .logical("Cash Case")
      .logical("Case Closed")
      .character("Other Arrangements", 4)
      .character("Extra 1", 10)
      .character("Extra 2", 10)
      .character("Extra 3", 40)
      .character("Extra 4", 40)
      .character("Primary Care Provider", 5)
      .date("Date Last Seen PCP")
      .floating("Annual Deductible")
      .character("User Code", 10)
      .character("Treatment Months/Years", 3)
      .character("No Treatments-Month", 2)
      .character("Nature of Condition", 1)
      .date("Date of Manifestation")
      .character("Complication Ind", 1)
      .integer("Radiographs enclosed")
      .logical("Prosthesis")
      .date("Date of Prior Placement")
      .character("Reason for replacement", 30)
      .logical("Orthodontics")
      .date("Date Treatment Start")
      .date("Date Appliances Placed")
      .integer("Length of Treatment")
      .logical("Medical Plan Coverage")
      .character("Eligibility Verified", 1)
      .date("Eligibility Verified Date")
      .character("Eligibility ID Number", 5)
      .character("Eligibility Verifier", 3)
      .character("Policy Type", 1);
  for (int policy = 1; policy <= 3; ++policy)
    table.character("PC Claim Number " + std::to_string(policy), 35);
  table.date("Referral Date")
      .logical("Pregnancy Indicator")
      .date("Estimated Date of Birth")
      .date("Prescription Date")
      .date("Last worked Date")
      .date("Date assumed care")
      .date("Date relinquished care")
      .character("Service Authorization Exception Code", 30)
      .character("Report type code", 2)
      .character("Report transmission code", 2)
      .logical("Homebound indicator")
      .character("IDE Number", 30)
      .character("Supervising Provider", 5)
      .character("Attachment Control Number", 20)
      .logical("Deductible Met")
      .memo("Notes")
      .timestamp("Date Modified")
      .memo("Comment");

  table.tag("Primary", "UPPER(Chart Number);Case Number", tag_option::unique)
      .tag("Idxinscarrier3", "UPPER(Insurance Carrier #3)")
      .tag("Idxinscarrier2", "UPPER(Insurance Carrier #2)")
      .tag("Idxinscarrier1", "UPPER(Insurance Carrier #1)")
      .tag("Idxguarantor", "UPPER(Guarantor)")
      .tag("Idxchartdescription", "UPPER(Chart Number);UPPER(Description)")
      .tag("Idxfacility", "UPPER(Facility);UPPER(Chart Number)")
      .tag("Idxrefsource", "UPPER(Referral Source);UPPER(Chart Number)")
      .tag("Idxrefprovider", "UPPER(Referring Provider);UPPER(Chart Number)")
      .tag("IdxChartNumber", "Chart Number")
      .tag("IdxCaseNumber", "Case Number");
  return table.build();
}

}  // namespace vantrell::store::catalogue
