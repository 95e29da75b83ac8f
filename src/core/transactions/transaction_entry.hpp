#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "practice/options.hpp"
#include "security/security.hpp"
#include "store/connection.hpp"
#include "store/table.hpp"
#include "transactions/apply_dialog.hpp"
#include "transactions/balances.hpp"
#include "transactions/working_set.hpp"
#include "ui/clock.hpp"
#include "ui/progress.hpp"
#include "ui/prompter.hpp"

namespace vantrell::transactions {

// The transaction entry window: one chart and case at a time, its charges and
// payments held as a working set in memory, and the save that validates them
// and writes them in one database transaction. The patient's row is held in
// edit as the lock of its ledger while the window works on it.
class TransactionEntryWindow {
 public:
  struct Surroundings {
    store::Connection& practice;
    const practice::Options& options;
    ui::Prompter& prompter;
    const ui::Clock& clock;
    security::Security* security = nullptr;
    // The program date as it stands now (it may change while the window is open).
    std::function<Date()> programDate;
    Ledger ledger = Ledger::Transactions;
    // Told of each line the save writes; a save cannot be aborted half way.
    ui::Progress* progress = nullptr;
    // Where a supervisor logs in to allow one refused operation.
    security::LoginPrompt* overridePrompt = nullptr;
  };

  explicit TransactionEntryWindow(Surroundings surroundings);
  ~TransactionEntryWindow();
  TransactionEntryWindow(const TransactionEntryWindow&) = delete;
  TransactionEntryWindow& operator=(const TransactionEntryWindow&) = delete;

  // Chooses the patient (after the unsaved-lines question) and locks it; a
  // patient in use elsewhere is refused with the system's message.
  bool chooseChart(const std::string& chartNumber);
  // Loads the case's lines and shows the case warnings.
  bool chooseCase(std::int64_t caseNumber);
  // The document (or superbill) field; with "Force Document Number" on, the
  // lines of that document are loaded.
  bool chooseDocument(const std::string& documentNumber);
  const std::string& chartNumber() const { return set_.chartNumber; }
  std::int64_t caseNumber() const { return set_.caseNumber; }
  bool isLoaded() const { return caseRecord_.has_value(); }
  bool isReadOnly() const { return readOnly_; }
  const store::Record& caseRecord() const { return *caseRecord_; }
  const WorkingSet& workingSet() const { return set_; }
  const std::vector<TransactionLine>& charges() const { return set_.charges; }
  const std::vector<TransactionLine>& payments() const { return set_.payments; }
  // The case warnings joined as one message ("" when there are none).
  std::string caseWarnings() const;

  // --- Charges ---------------------------------------------------------
  // Appends a charge line with the window's defaults; returns its index.
  std::size_t newCharge();
  // Sets a field of a charge as typed and runs its exit (procedure code,
  // units, unit amount, amount, diagnoses). False when the value is refused.
  bool setChargeField(std::size_t index, const std::string& field, const std::string& text);
  // Leaving the line: its dates and diagnoses, the responsibility flags, the
  // superbill and copay notices, the default provider, and taxes.
  bool postCharge(std::size_t index);
  // Appends the charges of a multilink code for the date; codes that are not
  // charges are refused one by one with the system's message.
  bool multilink(const std::string& multilinkCode, Date date);
  // A tax line for the taxable total gathered so far (or the amount given).
  bool addTax(std::optional<Money> taxableAmount = std::nullopt);
  Money taxableTotal() const { return taxableTotal_; }
  // Asks, then takes the charge off the list and undoes its applications.
  bool deleteCharge(std::size_t index);

  // --- Payments, adjustments and comments --------------------------------
  // Appends a payment line with the window's defaults; returns its index.
  std::size_t newPayment();
  // Sets a field of a payment line as typed and runs its exit (the code sets
  // type, payer and price; the amount takes its sign and moves the unapplied
  // amount). False when the value is refused.
  bool setPaymentField(std::size_t index, const std::string& field, const std::string& text);
  // Leaving the line: a changed payer or type re-files its applications after
  // the question, or comes back.
  bool postPayment(std::size_t index);
  // Asks, then takes the line off the list and undoes its applications.
  bool deletePayment(std::size_t index);
  // The apply dialog of a payment line, with the line's applications in its
  // rows; none (after the system's message) when there is nothing to apply.
  std::optional<ApplyDialog> applyDialog(std::size_t paymentIndex);
  // Closing the dialog: its rows become working application rows, the charges'
  // buckets and paid marks follow, and the line's unapplied amount.
  void closeApplyDialog(std::size_t paymentIndex, const ApplyDialog& dialog);
  // The menu command: the line's unapplied amount from its applications.
  bool recalculateUnapplied(std::size_t paymentIndex);
  // Before printing or closing: false (after the system's message) while a
  // payment is not completely applied and the practice forces application, or
  // the person chose to apply it now.
  bool paymentsAreApplied();

  // --- Balances ----------------------------------------------------------
  // The patient's balance as the window keeps it.
  Money accountBalance() const;
  // Recomputes it from the whole ledger of the chart (only with nothing unsaved).
  bool recomputeAccountBalance();
  // The estimates of the case as stored.
  Estimates estimates();

  // --- Saving ----------------------------------------------------------
  // Validates the changed lines and writes everything as one transaction.
  bool save(bool forced = false);
  // The line whose check stopped the last save, for the grid to go to.
  struct FailedLine {
    bool charge = true;
    std::size_t index = 0;
  };
  const std::optional<FailedLine>& failedLine() const { return failedLine_; }
  // Before another chart, case or document, or closing: asks about unsaved or
  // deleted lines; Yes saves. True when the window may move on.
  bool mayLeave();
  // Lets the lines and the patient's lock go.
  void close();

  // Unit amount and the other calculated fields of a charge line.
  Money unitAmount(const TransactionLine& line) const;

 private:
  struct Defaults {
    Date programDate;  // the program date when these were last reset
    Date dateFrom, dateTo, paymentDate;
    std::array<std::string, 4> diagnoses;
    std::string provider, facility;
    std::string visitSeriesId;
    double visitSeriesCounter = 0, visitSeriesTotal = 100;
  };

  bool allowed(int item, bool allowOverride = true);
  // The stored name of a ledger field a clerk may type into; none (after the
  // message) for an unknown field or one of the fixed ones.
  std::optional<std::string> editableFieldName(const store::Record& row, const std::string& field,
                                               std::initializer_list<const char*> fixed);
  Date programDate() const;
  void resetDatesWhenProgramDateMoved();
  std::string newLineDocumentNumber();
  std::optional<store::Record> procedureCode(const std::string& code) const;
  std::string diagnosisDescription(const std::string& code) const;
  bool procedureCodeExit(TransactionLine& line, const std::string& code);
  Money lineAmount(const TransactionLine& line, Money price, bool paymentSide) const;
  void unitsExit(TransactionLine& line, double oldUnits);
  bool casePriceCodeInUse(char& letter);
  void setResponsibilityOf(store::Record& row, const TransactionLine& line);
  bool hasApplicationFrom(const TransactionLine& line, int policy);
  void loadLines();
  void clearSet();
  bool validateLine(TransactionLine& line, bool chargeSide);
  bool validateProcedureCode(const TransactionLine& line, bool chargeSide);
  bool validateProvider(const TransactionLine& line);
  bool validateDates(TransactionLine& line);
  bool validateDiagnoses(TransactionLine& line);
  bool validateSuperbill(const TransactionLine& line);
  void writeSet(WorkingSet& staged);
  void writeLine(store::Table& ledger, WorkingSet& staged, TransactionLine& line, bool chargeSide,
                 Money& balance);
  void releasePatient();
  store::Table ledgerTable();

  Surroundings context_;
  std::string table_;
  std::optional<store::Table> patients_;
  std::optional<store::Record> patient_;
  std::optional<store::Record> caseRecord_;
  bool readOnly_ = false;
  WorkingSet set_;
  Defaults defaults_;
  std::string generatedDocument_;
  std::string typedDocument_;
  bool copayReminder_ = false;
  bool superbillWarned_ = false;
  Money taxableTotal_;
  std::set<std::int64_t> taxCounted_;  // new taxable lines already in the taxable total
  // Amount and units of a line when its field was entered, by reference.
  std::vector<std::pair<std::int64_t, Money>> amountsAtEntry_;
  // A payment line's code, type and payer when its edit began, by reference.
  struct EditStart {
    std::int64_t reference;
    std::string procedureCode, type, whoPaid;
  };
  std::vector<EditStart> paymentEdits_;
  // Told after the save's transaction ends, never while it holds the ledger.
  std::vector<std::string> notices_;
  // Dates of service the save has seen visits on, and whether the case's visit counter moved.
  std::set<Date> visitDates_;
  bool caseChanged_ = false;
  // The allowed amounts the save's charges may correct, read once per save.
  std::map<std::string, store::Record> allowedRows_;
  void readAllowedRows(const WorkingSet& staged);
  // Providers and diagnoses checked by one save, each read once however many lines name it.
  std::map<std::string, std::optional<store::Record>> checkedCodes_;
  const std::optional<store::Record>& checkedCode(const char* table, const std::string& code);
  std::optional<FailedLine> failedLine_;
  // Codes looked up while a case is on screen.
  mutable std::map<std::string, std::optional<store::Record>> procedureCodes_;
  mutable std::map<std::string, std::string> diagnosisDescriptions_;

  bool paymentCodeExit(TransactionLine& line, const std::string& code);
  void gatherStoredApplications(const TransactionLine& line, bool ofPayment);
  // False, with the system's message, while another desk has the line's row.
  bool storedRowIsFree(const TransactionLine& line);
  void refile(TransactionLine& line, char oldType, const std::string& oldWhoPaid);
  void moveBucket(TransactionLine& charge, const char* bucket, Money amount);
  void carryCheckNumbers(WorkingSet& staged);
  void createDeposit(TransactionLine& line);
  void adjustDeposit(std::int64_t depositId, Money difference, bool deleted);
};

}  // namespace vantrell::transactions
