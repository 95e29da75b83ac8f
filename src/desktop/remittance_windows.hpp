#pragma once

#include <QDialog>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <string>

#include "deposit_windows.hpp"
#include "remittance/remittance_import.hpp"

class QCheckBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace vantrell::desktop {

// Import Remittance (835): what the file would post, read before anything is
// written (claims, lines, amounts, what goes to the queue); Post (F9) then
// posts it under the progress dialog and shows what was done.
class RemittanceImportDialog : public QDialog {
  Q_OBJECT

 public:
  // Plans the file's import; null, having shown the refusal, when it is refused.
  static RemittanceImportDialog* open(DepositDesk desk, const std::string& path, QWidget* parent);

  bool post();
  bool posted() const { return posted_; }
  // Open Queue: the queue of what this file left to a clerk.
  void setOpenQueue(std::function<void()> openQueue) { openQueue_ = std::move(openQueue); }

 protected:
  void done(int result) override;

 private:
  RemittanceImportDialog(DepositDesk desk, std::string path, std::string text,
                         remittance::ImportResult plan, QWidget* parent);
  void showResult(const remittance::ImportResult& result);

  DepositDesk desk_;
  std::string path_;
  std::string text_;
  bool posted_ = false;
  std::function<void()> openQueue_;
  QTableWidget* advices_;
  QTableWidget* queued_;
  QLabel* share_;
  QLabel* outcome_;
  QPushButton* post_;
  QPushButton* queue_;
};

// The exception queue: what imports left to a clerk, the reason in words.
// Post by Hand (Enter) opens the payment application window on the item's
// deposit and patient and, when it closes, asks for the note that resolves the
// item; Dismiss (Del) resolves it with a note.
class RemittanceQueueWindow : public QDialog {
  Q_OBJECT

 public:
  // remittanceNumber 0: every import's items.
  RemittanceQueueWindow(DepositDesk desk, std::int64_t remittanceNumber, QWidget* parent);
  ~RemittanceQueueWindow() override;

  void refresh();
  void postByHand();
  void dismiss();
  PaymentApplicationDialog* applicationDialog() const { return application_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void done(int result) override;

 private:
  std::int64_t currentItem() const;
  void resolve(std::int64_t item, const std::string& question, const std::string& note);

  DepositDesk desk_;
  std::int64_t remittance_;
  QCheckBox* resolvedToo_;
  QTableWidget* items_;
  QLabel* count_;
  QPointer<PaymentApplicationDialog> application_;
};

// Electronic Remittances: every import kept, with its deposit and counts;
// Enter opens the import's queue items, resolved ones too.
class RemittanceListWindow : public QDialog {
  Q_OBJECT

 public:
  RemittanceListWindow(DepositDesk desk, QWidget* parent);

  void refresh();
  void showItems();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void done(int result) override;

 private:
  DepositDesk desk_;
  QTableWidget* remittances_;
};

}  // namespace vantrell::desktop
