#pragma once

#include <QDialog>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include "app/application.hpp"
#include "message_box_prompter.hpp"
#include "reports/day_sheets.hpp"
#include "security/security.hpp"

#include <memory>
#include <vector>

class QLabel;
class QMdiArea;
class QPushButton;

namespace vantrell::desktop {

class EnterMovesFocus;
class ActivityWatch;
class TransactionEntryWindow;

// The main window: menus for every subsystem (an entry shows once its window
// exists), the toolbar, the status bar with the program date and the user,
// and the timers of the main loop.
class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  MainWindow(app::Application& application, MessageBoxPrompter& prompter, ui::Settings& settings);
  ~MainWindow() override;

  // Start-up: the root data directory, the practice opened last, else the
  // practice list or the tutorial. False when the program is to end.
  bool start(const app::StartupOptions& options);

  void openPractice();
  void newPractice();
  void programOptions();
  void practiceInformation();
  void setProgramDate();
  void securitySetup();
  void permissions();
  void loginPasswordManagement();
  void logInAsAnotherUser();
  // The list window of a code table ("code", "carrier", ... as the command line names them).
  void codeList(const std::string& noun);
  void patientList();
  void transactionEntry();
  void depositList();  // in deposit_windows.cpp
  void importRemittance();  // in remittance_windows.cpp
  void remittanceList();    // in remittance_windows.cpp
  void remittanceQueue();   // in remittance_windows.cpp
  void collectionList();  // in collection_windows.cpp
  void paymentPlanList();  // in collection_windows.cpp
  // Backup, restore, file maintenance and view backups (in maintenance_windows.cpp).
  void backupData();
  void restoreData();
  void fileMaintenance();
  void viewBackups();
  void claimManagement();
  void statementManagement();
  // The Reports menu, in report_windows.cpp: each report's questions, its run, its preview.
  void daySheets();
  void agingReports();
  void practiceAnalysis();
  // The transaction window (the one open, else a new one) on that patient.
  void transactionsOf(const std::string& chartNumber);

  // The login dialog the program's practices log in with.
  security::LoginPrompt& loginPrompt();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  struct MenuEntry {
    const char* menu;
    const char* text;
    QKeySequence shortcut;
    void (MainWindow::*handler)();  // null: its window comes with later work
  };

  void buildMenus();
  // List and transaction windows stay open beside the main window, not modal.
  void showWorkWindow(QDialog* window);
  // Closes them before the practice or the user changes; false when one stays (its question).
  bool closeWorkWindows();
  TransactionEntryWindow* openTransactionWindow();
  void ledgerReports(std::vector<reports::LedgerReportKind> kinds);
  void practiceChanged();
  void refreshProgramDate();
  void presenceRefresh();
  void idleCheck();
  bool allowed(int permissionItem);
  void runMaintenance(int operation);
  // The person's part of a backup, restore or file maintenance: the windows
  // closed, then the folder, the backup or the kind of maintenance chosen.
  void prepareMaintenance(maintenance::PracticeMaintenance& maintenance);

  app::Application& application_;
  MessageBoxPrompter& prompter_;
  ui::Settings& settings_;
  QMdiArea* workspace_;
  QPushButton* programDate_;
  QLabel* user_;
  QTimer presenceTimer_;
  QTimer logOffTimer_;
  ActivityWatch* activity_;
  std::vector<QAction*> practiceActions_;
  EnterMovesFocus* enterMovesFocus_;
  std::vector<QPointer<QDialog>> workWindows_;
  std::unique_ptr<class LoginDialog> loginDialog_;
  // The companion programs (backup, restore, file maintenance, conversion) report here.
  std::unique_ptr<class ProgressDialog> companionProgress_;
  QAction* viewBackupsAction_ = nullptr;
  security::AlwaysConsent appointmentBook_;
};

// Every key and click counts as activity for automatic log-off.
class ActivityWatch : public QObject {
  Q_OBJECT

 public:
  explicit ActivityWatch(const ui::Clock& clock, QObject* parent)
      : QObject(parent), clock_(clock), last_(clock.now()) {}
  DateTime lastActivity() const { return last_; }
  void touch() { last_ = clock_.now(); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  const ui::Clock& clock_;
  DateTime last_;
};

// When the option "Use ENTER for next Field" is set, Enter in a field moves on
// to the next one, as Tab does; buttons and multi-line text keep their Enter.
class EnterMovesFocus : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;
  void setEnabled(bool enabled) { enabled_ = enabled; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool enabled_ = false;
};

}  // namespace vantrell::desktop
