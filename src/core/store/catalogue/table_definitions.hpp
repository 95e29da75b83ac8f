#pragma once

// The definition of every table, one function per table (twins share one with a
// flag). Each function lives in the file of the subsystem that owns the table.
// Only schema_catalogue.cpp should include this header.

#include "store/table_definition.hpp"

namespace vantrell::store::catalogue {

// store_tables.cpp: the practice data store itself
TableDefinition fieldDefaultTable();                 // QVDEF
TableDefinition triggerSwitchTable();                // qvtrg
TableDefinition practiceListTable();                 // QVDBLIST (root data directory)
TableDefinition optionTable();                       // QVOPT
TableDefinition practiceTable(bool billingService);  // QVPRA, or QVBSP when billingService

// accounts_tables.cpp
TableDefinition patientTable();  // QVPAT
TableDefinition caseTable();     // QVCAS

// ledger_tables.cpp
TableDefinition transactionTable(bool estimate);  // QVTRN, or QVTRNE (adds "Posted") when estimate
TableDefinition paymentApplicationTable();        // QVPAX

// reference_tables.cpp
TableDefinition procedureTable();                  // QVPRO
TableDefinition allowedAmountTable();              // QVALL
TableDefinition multilinkTable();                  // QVMUL
TableDefinition insuranceCarrierTable();           // QVINS
TableDefinition insuranceClassTable();             // QVINC
TableDefinition providerTable(bool referring);     // QVPHY, or QVRPH when referring
TableDefinition providerNumberTable();             // QVPINS
TableDefinition diagnosisTable();                  // QVDIA
TableDefinition billingCodeTable();                // QVBCO
TableDefinition addressTable();                    // QVADD

// claims_tables.cpp
TableDefinition claimTable(bool estimate);  // QVCLA, or QVCLAE when estimate
TableDefinition rejectionTable();           // QVREJ
TableDefinition ediReceiverTable();         // QVECR

// deposits_tables.cpp
TableDefinition depositTable();  // QVDEP

// statements_tables.cpp
TableDefinition statementTable();          // QVSTA
TableDefinition superbillTrackingTable();  // QVSTR

// collections_tables.cpp
TableDefinition workListTable();         // QVWRK
TableDefinition workListTicklerTable();  // QVWTR
TableDefinition paymentPlanTable();      // QVPPL
TableDefinition collectionOptionsTable();  // QVCOP

// remittance_tables.cpp
TableDefinition remittanceTable();       // QVERA
TableDefinition remittanceQueueTable();  // QVERQ

// security_tables.cpp
TableDefinition securityTable();              // QVSEC
TableDefinition permissionTable();            // QVPER
TableDefinition loginPasswordRuleTable();     // QVLPM
TableDefinition passwordHistoryTable();       // QVPSW
TableDefinition loginLogTable();              // QVLIO
TableDefinition userPresenceTable();          // QVUSR (root data directory)
TableDefinition auditTable();                 // QVAUD
TableDefinition auditDetailTable();           // qvaudd
TableDefinition auditMasterTable();           // qvaudm
TableDefinition auditReportTemplateTable();   // qvauds
TableDefinition databasePasswordTable();      // qvpwd

// periphery_tables.cpp: features the system does not lay out; small layouts of
// our own that hold every field other subsystems name in them.
TableDefinition creditCardTable();          // QVCC
TableDefinition customCaseDataTable();      // QVCCD
TableDefinition customPatientDataTable();   // QVCPD
TableDefinition contactTable();             // QVCON
TableDefinition eligibilityTable();         // QVELG
TableDefinition statementWizardTable();     // QVMDP
TableDefinition multimediaTable();          // QVOBJ
TableDefinition treatmentPlanTable();       // QVPLN
TableDefinition procedurePlanTable();       // QVPPR
TableDefinition patientRecallTable();       // QVREC
TableDefinition customScreenTable();        // QVSCR
TableDefinition customScreenControlTable(); // QVSCD
TableDefinition zipCodeTable();             // QVZIP

}  // namespace vantrell::store::catalogue
