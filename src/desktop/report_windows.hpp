#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "pdf_preview_window.hpp"
#include "reports/aging.hpp"
#include "reports/day_sheets.hpp"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vantrell::desktop {

// A computed report on screen: its pages as they print, with Export CSV beside
// Print and Save As. Closing it runs what the report does on closing (the
// aging reports' offer to fill the work list).
class ReportPreviewWindow : public PdfPreviewWindow {
  Q_OBJECT

 public:
  ReportPreviewWindow(const QString& pdfPath, reports::Report report, QWidget* parent);

  const reports::Report& report() const { return report_; }
  void setOnClose(std::function<void()> onClose) { onClose_ = std::move(onClose); }
  // Writes the report's rows as CSV to `target`. False (the reason shown) when it cannot.
  bool exportCsv(const QString& target);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void chooseCsvFile();

  reports::Report report_;
  std::function<void()> onClose_;
};

// Lays the report out on pages, writes them to a temporary PDF and opens the
// preview on it (the PDF goes with the preview). Null, the reason shown, when
// the pages could not be written.
ReportPreviewWindow* previewReport(reports::Report report, ui::Prompter& prompter, QWidget* parent);

// The aging reports' questions: which report, the ranges it reads, the aging
// date range (to the program date), the remainder reports' service dates, the detail and
// blank-facility choices and "Add To Work List". OK is refused with the system's message while an
// answer is wrong; insurance aging also needs its own right.
class AgingQuestionsDialog : public QDialog {
  Q_OBJECT

 public:
  AgingQuestionsDialog(ui::Prompter& prompter, Date programDate, std::function<bool(int)> allowed,
                       QWidget* parent);

  reports::AgingKind kind() const;
  const reports::AgingQuestions& questions() const { return questions_; }
  void accept() override;

 private:
  void kindChanged();
  bool read();

  ui::Prompter& prompter_;
  std::function<bool(int)> allowed_;
  reports::AgingQuestions questions_;
  QComboBox* kind_;
  QLineEdit *chartFrom_, *chartTo_, *dateFrom_, *dateTo_, *serviceFrom_, *serviceTo_;
  QLineEdit *providerFrom_, *providerTo_;
  QLineEdit *billingFrom_, *billingTo_, *indicator_, *carrierFrom_, *carrierTo_;
  QLabel* dateLabel_;
  QCheckBox *blankFacility_, *detail_, *addToWorkList_;
  std::vector<QWidget*> insuranceOnly_, remainderOnly_;
};

// The questions of a day sheet or the practice analysis, over the core's report
// question dialog: a from and a to field per range (a user code held to the
// user's own is shown but cannot be changed), a box per choice offered. With
// more than one kind, a choice of report heads the dialog; each kind checks its
// rights as it is chosen.
class LedgerQuestionsDialog : public QDialog {
  Q_OBJECT

 public:
  LedgerQuestionsDialog(std::vector<reports::LedgerReportKind> kinds, ui::Prompter& prompter,
                        Date today, security::Security* security, QWidget* parent);

  // False when the person may run none of the kinds offered (the refusal shown).
  bool usable() const { return core_ != nullptr; }
  // The selection the answers made, once accepted.
  const reports::LedgerSelection& selection() const { return selection_; }
  void accept() override;

 private:
  void kindChanged();

  std::vector<reports::LedgerReportKind> kinds_;
  ui::Prompter& prompter_;
  Date today_;
  security::Security* security_;
  std::unique_ptr<reports::LedgerReportDialog> core_;
  reports::LedgerSelection selection_;
  QComboBox* kind_ = nullptr;
  QWidget* questions_;
  QPushButton* ok_;
  std::vector<std::pair<QLineEdit*, QLineEdit*>> ranges_;
  std::vector<QCheckBox*> choices_;
};

}  // namespace vantrell::desktop
