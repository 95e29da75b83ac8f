#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "claim_output_windows.hpp"
#include "claims/claim_actions.hpp"
#include "claims/claim_creation.hpp"
#include "claims/claim_editor.hpp"
// A claim list row has a member named like Qt's keyword macro.
#pragma push_macro("slots")
#undef slots
#include "claims/claim_list.hpp"
#pragma pop_macro("slots")

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;
class QTableView;
class QTableWidget;

namespace vantrell::desktop {

class ProgressDialog;

// The claims that pass the filter, read from the store a page at a time as the list scrolls.
class ClaimListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  ClaimListModel(claims::ClaimList& list, QObject* parent = nullptr);

  // Reads the list again from its first page.
  void reload();
  std::optional<std::int64_t> claimAt(int row) const;
  // The column titles, as the list sorts by them.
  static const std::vector<std::string>& columns();

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;

 private:
  claims::ClaimList& list_;
  std::vector<claims::ClaimListRow> rows_;
  bool atEnd_ = true;
};

// "List Only Claims That Match": the list filter, opened on the current one.
class ClaimFilterDialog : public QDialog {
  Q_OBJECT

 public:
  // The named filters are the list's, kept in the practice.
  ClaimFilterDialog(claims::ClaimList& list, ui::Prompter& prompter, QWidget* parent);
  // The filter typed; no value (with a message) when a date or the batch does not read.
  std::optional<claims::ClaimFilter> filter() const;

 private:
  void accept() override;
  void show(const claims::ClaimFilter& filter);
  void listNamedFilters(const QString& current);
  void useNamedFilter();
  void saveNamedFilter();
  void deleteNamedFilter();

  claims::ClaimList& list_;
  ui::Prompter& prompter_;
  QComboBox* named_;
  QLineEdit* chart_;
  QLineEdit* created_;
  QComboBox* slot_;
  QLineEdit* carrier_;
  QLineEdit* receiver_;
  QComboBox* method_;
  QComboBox* status_;
  QLineEdit* billingDate_;
  QLineEdit* batch_;
  QCheckBox* excludeDone_;
};

// The criteria of Create Claims; OK runs the dialog model's checks and stays open on the
// field a check names.
class CreateClaimsDialog : public QDialog {
  Q_OBJECT

 public:
  CreateClaimsDialog(claims::ClaimCriteriaDialog& model, QWidget* parent);

 private:
  void accept() override;
  bool readFields();

  claims::ClaimCriteriaDialog& model_;
  QLineEdit* fromDate_;
  QLineEdit* toDate_;
  QLineEdit* fromChart_;
  QLineEdit* toChart_;
  QLineEdit* primary_;
  QLineEdit* billingCodes_;
  QLineEdit* indicators_;
  QLineEdit* location_;
  QLineEdit* provider_;
  QRadioButton* assigned_;
  QRadioButton* attending_;
  QLineEdit* minimum_;
};

// "Change Claim Status/Billing Method".
class ClaimStatusDialog : public QDialog {
  Q_OBJECT

 public:
  ClaimStatusDialog(std::int64_t presetBatch, QWidget* parent);
  claims::StatusChange change() const;

 private:
  QRadioButton* selected_;
  QRadioButton* batchScope_;
  QLineEdit* batch_;
  QComboBox* statusFrom_;
  QComboBox* statusTo_;
  QComboBox* slot_;
  QComboBox* methodFrom_;
  QComboBox* methodTo_;
};

// One claim with its charges: the carriers, statuses and billing methods of the three slots,
// the provider and the comment (Ctrl+T stamps it); Add, Remove and Split act on the marked
// charges at once, Save posts the fields.
class ClaimEditorWindow : public QDialog {
  Q_OBJECT

 public:
  ClaimEditorWindow(claims::ClaimEditor& editor, ui::Prompter& prompter,
                    std::function<std::string()> stamp, QWidget* parent);

  void addCharges();
  void removeCharges();
  void splitCharges();
  bool save();
  // Called when a charge moved to or from a claim, so that the list can be refreshed.
  void setChanged(std::function<void()> changed) { changed_ = std::move(changed); }

 private:
  void showCharges();
  std::vector<std::int64_t> markedEntries() const;

  claims::ClaimEditor& editor_;
  ui::Prompter& prompter_;
  std::function<std::string()> stamp_;
  std::function<void()> changed_;
  std::vector<QLineEdit*> carriers_;
  std::vector<QComboBox*> statuses_;
  std::vector<QComboBox*> methods_;
  QLineEdit* provider_;
  QPlainTextEdit* comment_;
  QTableWidget* charges_;
};

// The claim management window: the claims a page at a time under the filter, with Edit,
// Create Claims, Delete, Change Status, Note and Filter. Enter edits, Del deletes; rows marked
// with Ctrl or Shift are the selected claims.
class ClaimManagementWindow : public QDialog {
  Q_OBJECT

 public:
  ClaimManagementWindow(claims::ClaimSurroundings surroundings, ui::Settings& settings,
                        QWidget* parent);
  ~ClaimManagementWindow() override;

  void editClaim();
  void createClaims();
  void deleteClaims();
  void changeStatus();
  void claimNote();
  void chooseFilter();
  void refresh();
  // Print/Send: paper claims to the form's preview, electronic ones through the receiver's
  // sending program; Rebill prints the chosen claims again; Check lists what keeps the chosen
  // claims from leaving.
  void printSend();
  void rebillClaims();
  void checkClaims();
  void setOutput(ClaimOutput output) { output_ = std::move(output); }
  // Opens the claim in its window (or brings that window forward).
  void openClaim(std::int64_t number);

  claims::ClaimList& list() { return list_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::optional<std::int64_t> currentClaim() const;
  std::vector<std::int64_t> markedClaims() const;
  std::string noteStamp() const;
  std::vector<std::int64_t> printForms(const std::vector<std::int64_t>& claims,
                                       const PaperChoice& paper);
  void billPrinted(const std::vector<std::int64_t>& claims, int slot);
  void showRefused(const std::vector<claims::RefusedClaim>& refused);

  claims::ClaimSurroundings context_;
  ClaimOutput output_;
  QPointer<RefusedClaimsWindow> refused_;
  ui::Settings& settings_;
  claims::ClaimList list_;
  claims::ClaimEditors editors_;
  std::map<std::int64_t, QPointer<ClaimEditorWindow>> editorWindows_;
  ClaimListModel* model_;
  QTableView* claims_;
  QLabel* count_;
};

}  // namespace vantrell::desktop
