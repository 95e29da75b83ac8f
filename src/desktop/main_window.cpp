#include "main_window.hpp"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>

#include <functional>
#include <map>

#include "claim_windows.hpp"
#include "code_list_window.hpp"
#include "options_dialog.hpp"
#include "patient_list_window.hpp"
#include "practice_dialogs.hpp"
#include "progress_dialog.hpp"
#include "report_windows.hpp"
#include "security/permission_list.hpp"
#include "security_dialogs.hpp"
#include "statement_windows.hpp"
#include "store/errors.hpp"
#include "transaction_entry_window.hpp"
#include "ui/launcher.hpp"
#include "window_placement.hpp"

namespace vantrell::desktop {
namespace {

constexpr const char* noPracticeCaption = "QelVantrell Advanced";
// Add/edit transactions; the window checks it again, with delete and multilink, as it works.

// The log-off goes ahead once the appointment book agrees and every work
// window has closed, so whoever logs in next finds none of the last user's
// windows; one that stays open (its own question answered so) puts it off to
// the next check.
class WindowsClosedFirst final : public security::LogOffConsent {
 public:
  WindowsClosedFirst(security::LogOffConsent& book, std::function<bool()> closeWindows)
      : book_(book), closeWindows_(std::move(closeWindows)) {}
  bool mayLogOff() override {
    loggingOff_ = book_.mayLogOff() && closeWindows_();
    return loggingOff_;
  }
  bool loggingOff() const { return loggingOff_; }

 private:
  security::LogOffConsent& book_;
  std::function<bool()> closeWindows_;
  bool loggingOff_ = false;
};

}  // namespace

MainWindow::MainWindow(app::Application& application, MessageBoxPrompter& prompter,
                       ui::Settings& settings)
    : application_(application),
      prompter_(prompter),
      settings_(settings),
      enterMovesFocus_(new EnterMovesFocus(this)),
      loginDialog_(std::make_unique<LoginDialog>(this, prompter)) {
  setObjectName("MainWindow");
  setWindowTitle(noPracticeCaption);
  prompter_.setParent(this);
  workspace_ = new QMdiArea;
  setCentralWidget(workspace_);
  buildMenus();

  programDate_ = new QPushButton;
  programDate_->setObjectName("programDate");
  programDate_->setFlat(true);
  programDate_->setToolTip(tr("Click to set the program date"));
  connect(programDate_, &QPushButton::clicked, this, &MainWindow::setProgramDate);
  user_ = new QLabel;
  user_->setObjectName("user");
  statusBar()->addPermanentWidget(user_);
  statusBar()->addPermanentWidget(programDate_);
  refreshProgramDate();

  // The main loop's timers: keeping this workstation's presence fresh, and the
  // idle check for automatic log-off. Both act once users are set up.
  presenceTimer_.setInterval(120 * 1000);
  connect(&presenceTimer_, &QTimer::timeout, this, &MainWindow::presenceRefresh);
  logOffTimer_.setInterval(5 * 1000);
  logOffTimer_.setObjectName("logOffTimer");  // a test shortens its wait
  logOffTimer_.setParent(this);
  connect(&logOffTimer_, &QTimer::timeout, this, &MainWindow::idleCheck);
  qApp->installEventFilter(enterMovesFocus_);
  activity_ = new ActivityWatch(application_.clock(), this);
  qApp->installEventFilter(activity_);

  resize(1100, 700);
  WindowPlacement::restore(*this, settings_);
  companionProgress_ = std::make_unique<ProgressDialog>(this);
  application_.surroundings().launcher.watchWith(companionProgress_.get());
}

MainWindow::~MainWindow() {
  application_.surroundings().launcher.watchWith(nullptr);
  qApp->removeEventFilter(enterMovesFocus_);
  qApp->removeEventFilter(activity_);
}

security::LoginPrompt& MainWindow::loginPrompt() {
  return *loginDialog_;
}

void MainWindow::buildMenus() {
  // Every subsystem has its menu; an entry whose window does not exist yet is
  // not shown, and a menu with no entry to show stays hidden.
  const std::vector<MenuEntry> entries = {
      {"&File", "&Open Practice...", QKeySequence::Open, &MainWindow::openPractice},
      {"&File", "&New Practice...", QKeySequence::New, &MainWindow::newPractice},
      {"&File", "Program Op&tions...", QKeySequence(), &MainWindow::programOptions},
      {"&File", "Practice &Information...", QKeySequence(), &MainWindow::practiceInformation},
      {"&File", "Set Program &Date...", QKeySequence(Qt::CTRL | Qt::Key_D),
       &MainWindow::setProgramDate},
      {"&File", "Log In As &Another User...", QKeySequence(), &MainWindow::logInAsAnotherUser},
      {"&File", "&Backup Data...", QKeySequence(), &MainWindow::backupData},
      {"&File", "&Restore Data...", QKeySequence(), &MainWindow::restoreData},
      {"&File", "&View Backups...", QKeySequence(), &MainWindow::viewBackups},
      {"&File", "File &Maintenance...", QKeySequence(), &MainWindow::fileMaintenance},
      {"&Lists", "&Patients/Guarantors and Cases", QKeySequence(), &MainWindow::patientList},
      {"&Lists", "Patient Payment P&lans", QKeySequence(), &MainWindow::paymentPlanList},
      {"&Activities", "&Enter Transactions", QKeySequence(), &MainWindow::transactionEntry},
      {"&Activities", "Enter &Deposits/Payments", QKeySequence(), &MainWindow::depositList},
      {"&Activities", "&Import Remittance (835)...", QKeySequence(), &MainWindow::importRemittance},
      {"&Activities", "Electronic Re&mittances", QKeySequence(), &MainWindow::remittanceList},
      {"&Activities", "Remittance &Queue", QKeySequence(), &MainWindow::remittanceQueue},
      {"&Activities", "&Claim Management", QKeySequence(), &MainWindow::claimManagement},
      {"&Activities", "&Statement Management", QKeySequence(),
       &MainWindow::statementManagement},
      {"&Activities", "Collection &List", QKeySequence(), &MainWindow::collectionList},
      {"&Reports", "&Day Sheets", QKeySequence(), &MainWindow::daySheets},
      {"&Reports", "&Aging Reports", QKeySequence(), &MainWindow::agingReports},
      {"&Reports", "&Practice Analysis", QKeySequence(), &MainWindow::practiceAnalysis},
      {"&Tools", "&Security Setup...", QKeySequence(), &MainWindow::securitySetup},
      {"&Tools", "&Permissions...", QKeySequence(), &MainWindow::permissions},
      {"&Tools", "&Login/Password Management...", QKeySequence(),
       &MainWindow::loginPasswordManagement},
  };
  QMenu* fileMenu = nullptr;
  std::map<std::string, QMenu*> menus;
  for (const auto& entry : entries) {
    QMenu*& menu = menus[entry.menu];
    if (menu == nullptr) {
      menu = menuBar()->addMenu(tr(entry.menu));
      menu->menuAction()->setVisible(false);
    }
    if (entry.handler == nullptr) continue;
    QAction* action = menu->addAction(tr(entry.text));
    action->setShortcut(entry.shortcut);
    connect(action, &QAction::triggered, this, entry.handler);
    menu->menuAction()->setVisible(true);
    if (std::string(entry.menu) == "&Tools" || entry.handler == &MainWindow::programOptions ||
        entry.handler == &MainWindow::practiceInformation ||
        entry.handler == &MainWindow::logInAsAnotherUser ||
        entry.handler == &MainWindow::patientList || entry.handler == &MainWindow::transactionEntry)
      practiceActions_.push_back(action);
    if (std::string(entry.menu) == "&File") fileMenu = menu;
    if (entry.handler == &MainWindow::viewBackups) viewBackupsAction_ = action;
  }
  // The code tables' list windows, after the patients'.
  menus["&Lists"]->addSeparator();
  const std::vector<std::pair<const char*, const char*>> codeLists = {
      {"Procedure/Payment/&Adjustment Codes", "code"},
      {"&MultiLink Codes", "multilink"},
      {"&Diagnosis Codes", "diagnosis"},
      {"&Insurance Carriers", "carrier"},
      {"Insurance &Classes", "insclass"},
      {"Add&resses", "address"},
      {"P&roviders", "provider"},
      {"Re&ferring Providers", "refprovider"},
      {"&Billing Codes", "billcode"},
      {"&EDI Receivers", "receiver"},
      {"Claim Re&jection Messages", "rejection"}};
  QMenu* lists = menus["&Lists"];
  for (const auto& [text, noun] : codeLists) {
    QAction* action = lists->addAction(tr(text));
    const std::string which = noun;
    connect(action, &QAction::triggered, this, [this, which] { codeList(which); });
    practiceActions_.push_back(action);
  }
  lists->menuAction()->setVisible(true);

  fileMenu->addSeparator();
  QAction* exitAction = fileMenu->addAction(tr("E&xit"));
  exitAction->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));
  connect(exitAction, &QAction::triggered, this, &QWidget::close);
  QMenu* help = menuBar()->addMenu(tr("&Help"));
  connect(help->addAction(tr("&About QelVantrell")), &QAction::triggered, this, [this] {
    QMessageBox::about(
        this, tr("About QelVantrell"),
        tr("QelVantrell Advanced\nPatient accounting and billing for medical practices."));
  });

  QToolBar* toolbar = addToolBar(tr("Main"));
  toolbar->setObjectName("mainToolbar");
  toolbar->setMovable(false);
  toolbar->addAction(style()->standardIcon(QStyle::SP_DirOpenIcon), tr("Open Practice"), this,
                     &MainWindow::openPractice);
  QAction* options = toolbar->addAction(style()->standardIcon(QStyle::SP_FileDialogDetailedView),
                                        tr("Options"), this, &MainWindow::programOptions);
  practiceActions_.push_back(options);
  QAction* patients = toolbar->addAction(style()->standardIcon(QStyle::SP_FileDialogListView),
                                         tr("Patients"), this, &MainWindow::patientList);
  patients->setObjectName("patientsTool");
  practiceActions_.push_back(patients);
  QAction* transactions =
      toolbar->addAction(style()->standardIcon(QStyle::SP_FileDialogContentsView),
                         tr("Transactions"), this, &MainWindow::transactionEntry);
  transactions->setObjectName("transactionsTool");
  practiceActions_.push_back(transactions);
  toolbar->addAction(style()->standardIcon(QStyle::SP_FileDialogInfoView), tr("Program Date"), this,
                     &MainWindow::setProgramDate);
  toolbar->addAction(style()->standardIcon(QStyle::SP_DialogCloseButton), tr("Exit"), this,
                     &QWidget::close);
  toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
}

bool MainWindow::start(const app::StartupOptions& options) {
  const app::StartupOutcome outcome = application_.startUp(options);
  if (outcome == app::StartupOutcome::Quit) return false;
  show();
  practiceChanged();
  if (outcome == app::StartupOutcome::ShowPracticeList) openPractice();
  return true;
}

void MainWindow::practiceChanged() {
  const practice::OpenPractice* open = application_.practice();
  setWindowTitle(open != nullptr ? QString::fromStdString(open->caption)
                                 : QString(noPracticeCaption));
  for (QAction* action : practiceActions_) action->setEnabled(open != nullptr);
  enterMovesFocus_->setEnabled(open != nullptr && open->options.flag("Use ENTER for next Field"));
  // View backups is offered only when the options name a backup program.
  viewBackupsAction_->setEnabled(open != nullptr && !open->options.text("Backup Program").empty());
  security::Security* guard = application_.security();
  const bool loggedIn = guard != nullptr && guard->loggedIn();
  if (open != nullptr && open->options.autoLogOff() && loggedIn)
    logOffTimer_.start();
  else
    logOffTimer_.stop();
  if (guard != nullptr) guard->setLogOffTimerRuns(logOffTimer_.isActive());
  if (loggedIn)
    presenceTimer_.start();
  else
    presenceTimer_.stop();
  user_->setText(loggedIn ? tr("User: %1").arg(QString::fromStdString(guard->userCode()))
                          : QString());
  activity_->touch();
}

bool MainWindow::allowed(int permissionItem) {
  return application_.hasPermission(permissionItem);
}

void MainWindow::openPractice() {
  if (!closeWorkWindows()) return;
  PracticeListDialog dialog(application_, this);
  dialog.exec();
  if (loginDialog_->exitRequested()) {
    close();
    return;
  }
  practiceChanged();
}

void MainWindow::newPractice() {
  if (!closeWorkWindows()) return;
  NewPracticeDialog dialog(application_, this);
  dialog.exec();
  practiceChanged();
}

void MainWindow::programOptions() {
  practice::OpenPractice* open = application_.practice();
  if (open == nullptr || !allowed(security::permission_item::editProgramOptions)) return;
  OptionsDialog dialog(*open->connection, prompter_,
                       application_.security() != nullptr && application_.security()->isOn(), this);
  if (dialog.exec() == QDialog::Accepted) {
    open->options = dialog.options();
    practiceChanged();
  }
}

void MainWindow::practiceInformation() {
  practice::OpenPractice* open = application_.practice();
  if (open == nullptr || !allowed(security::permission_item::viewPracticeInformation)) return;
  PracticeInformationDialog dialog(*open->connection, prompter_, this);
  dialog.exec();
}

void MainWindow::setProgramDate() {
  if (!allowed(security::permission_item::setProgramDate)) return;
  ProgramDateDialog dialog(application_.programDate(), prompter_, this);
  dialog.exec();
  refreshProgramDate();
}

void MainWindow::refreshProgramDate() {
  programDate_->setText(QString::fromStdString(application_.programDate().panelText()));
}

void MainWindow::codeList(const std::string& noun) {
  practice::OpenPractice* open = application_.practice();
  const reference::CodeTable* table = reference::findCodeTable(noun);
  if (open == nullptr || table == nullptr) return;
  if (table->viewItem >= 0 && !allowed(table->viewItem)) return;
  showWorkWindow(new CodeListWindow(*open->connection, *table, prompter_, application_.clock(),
                                    open->security.get(), this));
}

void MainWindow::patientList() {
  practice::OpenPractice* open = application_.practice();
  if (open == nullptr) return;
  auto* window = new PatientListWindow(*open->connection, open->options, prompter_,
                                       application_.clock(), open->security.get(), this);
  window->setOverridePrompt(&loginPrompt());
  window->setOpenTransactions(
      [this](const std::string& chartNumber) { transactionsOf(chartNumber); });
  showWorkWindow(window);
}

void MainWindow::transactionEntry() {
  openTransactionWindow();
}

void MainWindow::claimManagement() {
  practice::OpenPractice* open = application_.practice();
  if (open == nullptr) return;
  claims::ClaimSurroundings surroundings{*open->connection, prompter_, open->security.get(),
                                         [this] { return application_.programDate().value(); }};
  auto* window = new ClaimManagementWindow(surroundings, settings_, this);
  window->setOutput({&open->options,
                     open->location,
                     ui::ProcessLauncher::runningProgramDirectory(),
                     std::make_shared<claims::ShellCommandRunner>(),
                     {}});
  showWorkWindow(window);
}

void MainWindow::statementManagement() {
  practice::OpenPractice* open = application_.practice();
  if (open == nullptr) return;
  const statements::Surroundings surroundings{*open->connection, open->options, prompter_,
                                              settings_,          application_.clock(),
                                              open->security.get()};
  StatementPrinting printing{[this] { return application_.programDate().value(); }, {}};
  showWorkWindow(new StatementManagementWindow(surroundings, printing, this));
}

void MainWindow::transactionsOf(const std::string& chartNumber) {
  if (TransactionEntryWindow* window = openTransactionWindow())
    window->chooseChart(QString::fromStdString(chartNumber));
}

void MainWindow::showWorkWindow(QDialog* window) {
  window->setModal(false);
  connect(window, &QDialog::finished, window, &QObject::deleteLater);
  workWindows_.emplace_back(window);
  window->show();
  window->raise();
  window->activateWindow();
}

bool MainWindow::closeWorkWindows() {
  for (auto& window : workWindows_) {
    if (window == nullptr) continue;
    if (window->isVisible() && !window->close()) return false;
    // Gone now, while the practice it works on is still open.
    delete window.data();
  }
  workWindows_.clear();
  // Report previews too: closing one runs its report's closing step (the aging
  // reports' work list), which must reach the practice the report was run on.
  for (ReportPreviewWindow* preview :
       findChildren<ReportPreviewWindow*>(Qt::FindDirectChildrenOnly)) {
    if (preview->isVisible() && !preview->close()) return false;
    delete preview;
  }
  return true;
}

TransactionEntryWindow* MainWindow::openTransactionWindow() {
  for (auto& window : workWindows_) {
    if (auto* open = qobject_cast<TransactionEntryWindow*>(window.data());
        open != nullptr && open->isVisible()) {
      open->raise();
      open->activateWindow();
      return open;
    }
  }
  practice::OpenPractice* open = application_.practice();
  if (open == nullptr) return nullptr;
  // The window asks for item 14 itself when a chart is chosen, where an
  // override covers that one patient.
  transactions::TransactionEntryWindow::Surroundings surroundings{
      *open->connection,
      open->options,
      prompter_,
      application_.clock(),
      open->security.get(),
      [this] { return application_.programDate().value(); },
      transactions::Ledger::Transactions};
  surroundings.overridePrompt = &loginPrompt();
  auto* window = new TransactionEntryWindow(surroundings, this);
  showWorkWindow(window);
  return window;
}

void MainWindow::securitySetup() {
  practice::OpenPractice* open = application_.practice();
  if (open == nullptr || !allowed(security::permission_item::editSecurity)) return;
  SecuritySetupDialog dialog(*open->connection, prompter_, application_.clock(), this);
  dialog.exec();
  practiceChanged();
}

void MainWindow::permissions() {
  practice::OpenPractice* open = application_.practice();
  if (open == nullptr || !allowed(security::permission_item::permissions)) return;
  if (open->security) open->security->reloadPermissions();
  PermissionsDialog dialog(*open->connection, this);
  if (dialog.exec() == QDialog::Accepted && open->security) open->security->reloadPermissions();
}

void MainWindow::loginPasswordManagement() {
  practice::OpenPractice* open = application_.practice();
  if (open == nullptr || !allowed(security::permission_item::loginPasswordManagement)) return;
  LoginPasswordManagementDialog dialog(*open->connection, prompter_, this);
  dialog.exec();
}

void MainWindow::logInAsAnotherUser() {
  security::Security* guard = application_.security();
  if (guard == nullptr || !guard->isOn() || !closeWorkWindows()) return;
  security::LoginWindow window(*guard, security::LoginMode::Normal);
  loginDialog_->offerAnotherPractice(false);
  loginDialog_->run(window);
  loginDialog_->offerAnotherPractice(true);
  if (loginDialog_->exitRequested()) close();
  practiceChanged();
}

void MainWindow::presenceRefresh() {
  if (security::Security* guard = application_.security()) {
    try {
      guard->touchUser();
    } catch (const store::StoreError&) {
      // The next refresh tries again; the row goes stale only after three minutes.
    }
  }
}

void MainWindow::idleCheck() {
  security::Security* guard = application_.security();
  practice::OpenPractice* open = application_.practice();
  if (guard == nullptr || open == nullptr || !guard->loggedIn()) return;
  logOffTimer_.stop();
  guard->setLogOffTimerRuns(false);
  WindowsClosedFirst consent(appointmentBook_, [this] { return closeWorkWindows(); });
  const bool stays = guard->idleCheck(activity_->lastActivity(),
                                      open->options.number("Log Off Min"), consent, *loginDialog_);
  if (!stays || loginDialog_->exitRequested()) {
    close();
    return;
  }
  if (!consent.loggingOff()) {
    // Not idle long enough (or put off): the check alone is no activity of the user's.
    logOffTimer_.start();
    guard->setLogOffTimerRuns(true);
    return;
  }
  practiceChanged();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!closeWorkWindows()) {
    event->ignore();
    return;
  }
  // The backup reminder's backup asks for its folder as the menu's does.
  if (!application_.shutDown(
          [this](maintenance::PracticeMaintenance& backup) { prepareMaintenance(backup); })) {
    event->ignore();
    return;
  }
  WindowPlacement::save(*this, settings_);
  event->accept();
}

bool ActivityWatch::eventFilter(QObject*, QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::Wheel:
      touch();
      break;
    default:
      break;
  }
  return false;
}

bool EnterMovesFocus::eventFilter(QObject* watched, QEvent* event) {
  if (!enabled_ || event->type() != QEvent::KeyPress) return false;
  const auto* key = static_cast<QKeyEvent*>(event);
  if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) return false;
  auto* widget = qobject_cast<QWidget*>(watched);
  if (widget == nullptr || qobject_cast<QAbstractButton*>(widget) != nullptr) return false;
  if (widget->property("enterSubmits").toBool()) return false;
  if (qobject_cast<QLineEdit*>(widget) == nullptr && !widget->inherits("QAbstractSpinBox") &&
      !widget->inherits("QComboBox"))
    return false;
  // The next field, past the buttons between (a "..." beside a code, Browse);
  // the window itself closes the chain.
  QWidget* const window = widget->window();
  QWidget* next = widget->nextInFocusChain();
  while (next != nullptr && next != widget && next != window &&
         (!(next->focusPolicy() & Qt::TabFocus) || !next->isVisible() || !next->isEnabled() ||
          qobject_cast<QPushButton*>(next) != nullptr || next->inherits("QToolButton")))
    next = next->nextInFocusChain();
  // On the last field Enter is the window's own: it presses the default button.
  if (next == nullptr || next == widget || next == window) return false;
  next->setFocus(Qt::TabFocusReason);
  return true;
}

}  // namespace vantrell::desktop
