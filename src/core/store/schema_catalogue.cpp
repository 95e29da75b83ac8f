#include "store/schema_catalogue.hpp"

#include <stdexcept>

#include "store/catalogue/table_definitions.hpp"
#include "store/errors.hpp"
#include "store/names.hpp"

namespace vantrell::store {

SchemaCatalogue::SchemaCatalogue() {
  using namespace catalogue;
  tables_ = {
      addressTable(),          allowedAmountTable(),        auditDetailTable(),
      auditMasterTable(),      auditReportTemplateTable(),  billingCodeTable(),
      caseTable(),             customCaseDataTable(),       claimTable(false),
      claimTable(true),        customPatientDataTable(),    depositTable(),
      fieldDefaultTable(),     diagnosisTable(),            ediReceiverTable(),
      insuranceCarrierTable(), multilinkTable(),            optionTable(),
      patientTable(),          paymentApplicationTable(),   providerTable(false),
      providerTable(true),     providerNumberTable(),       treatmentPlanTable(),
      procedurePlanTable(),    practiceTable(false),        practiceTable(true),
      procedureTable(),        patientRecallTable(),        transactionTable(false),
      transactionTable(true),  zipCodeTable(),              eligibilityTable(),
      permissionTable(),       multimediaTable(),           contactTable(),
      customScreenTable(),     customScreenControlTable(),  superbillTrackingTable(),
      statementTable(),        creditCardTable(),           workListTable(),
      workListTicklerTable(),  paymentPlanTable(),          rejectionTable(),
      loginPasswordRuleTable(), passwordHistoryTable(),     loginLogTable(),
      userPresenceTable(),     statementWizardTable(),      insuranceClassTable(),
      databasePasswordTable(), securityTable(),             auditTable(),
      triggerSwitchTable(),    practiceListTable(),
      collectionOptionsTable(),
      remittanceTable(),
      remittanceQueueTable(),
  };
  // The order in which a new practice's tables are made.
  creationOrder_ = {"QVADD",  "QVALL",  "qvaudd", "qvaudm", "qvauds", "QVBCO", "QVCAS",  "QVCCD",
                    "QVCLA",  "QVCLAE", "QVCPD",  "QVDEP",  "QVDEF",  "QVDIA", "QVECR",  "QVINS",
                    "QVMUL",  "QVOPT",  "QVPAT",  "QVPAX",  "QVPHY",  "QVRPH", "QVPINS", "QVPLN",
                    "QVPPR",  "QVPRA",  "QVBSP",  "QVPRO",  "QVREC",  "QVTRN", "QVTRNE", "QVZIP",
                    "QVELG",  "QVPER",  "QVOBJ",  "QVCON",  "QVSCR",  "QVSCD", "QVSTR",  "QVSTA",
                    "QVCC",   "QVWRK",  "QVWTR",  "QVPPL",  "QVREJ",  "QVLPM", "QVPSW",  "QVLIO",
                    "QVUSR",  "QVMDP",  "QVINC",  "qvpwd",  "QVSEC",
                    "QVCOP",  "QVERA",  "QVERQ"};
  for (const auto name : creationOrder_) {
    if (find(name) == nullptr) throw std::logic_error("creation order names unknown table " + std::string(name));
  }
}

const TableDefinition* SchemaCatalogue::find(std::string_view tableName) const {
  const auto name = withoutTableExtension(tableName);
  for (const auto& table : tables_) {
    if (equalsIgnoringCase(table.name(), name)) return &table;
  }
  return nullptr;
}

const TableDefinition& SchemaCatalogue::get(std::string_view tableName) const {
  if (const auto* table = find(tableName)) return *table;
  throw InputError("There is no table named \"" + std::string(tableName) + "\".");
}

bool SchemaCatalogue::belongsToRootDirectory(std::string_view tableName) {
  const auto name = withoutTableExtension(tableName);
  return equalsIgnoringCase(name, "QVUSR") || equalsIgnoringCase(name, "QVDBLIST");
}

const SchemaCatalogue& schemaCatalogue() {
  static const SchemaCatalogue catalogue;
  return catalogue;
}

}  // namespace vantrell::store
