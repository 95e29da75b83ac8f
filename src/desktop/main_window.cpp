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

#include <map>

#include "options_dialog.hpp"
#include "practice_dialogs.hpp"
#include "window_placement.hpp"

namespace vantrell::desktop {
namespace {

constexpr const char* noPracticeCaption = "QelVantrell Advanced";

}  // namespace

MainWindow::MainWindow(app::Application& application, MessageBoxPrompter& prompter, ui::Settings& settings)
    : application_(application), prompter_(prompter), settings_(settings), enterMovesFocus_(new EnterMovesFocus(this)) {
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
  connect(&logOffTimer_, &QTimer::timeout, this, &MainWindow::idleCheck);
  qApp->installEventFilter(enterMovesFocus_);

  resize(1100, 700);
  WindowPlacement::restore(*this, settings_);
}

MainWindow::~MainWindow() { qApp->removeEventFilter(enterMovesFocus_); }

void MainWindow::buildMenus() {
  // Every subsystem has its menu; an entry whose window does not exist yet is
  // not shown, and a menu with no entry to show stays hidden.
  const std::vector<MenuEntry> entries = {
      {"&File", "&Open Practice...", QKeySequence::Open, &MainWindow::openPractice},
      {"&File", "&New Practice...", QKeySequence::New, &MainWindow::newPractice},
      {"&File", "Program &Options...", QKeySequence(), &MainWindow::programOptions},
      {"&File", "Practice &Information...", QKeySequence(), &MainWindow::practiceInformation},
      {"&File", "Set Program &Date...", QKeySequence(Qt::CTRL | Qt::Key_D), &MainWindow::setProgramDate},
      {"&File", "&Backup Data...", QKeySequence(), nullptr},
      {"&File", "&Restore Data...", QKeySequence(), nullptr},
      {"&File", "File &Maintenance...", QKeySequence(), nullptr},
      {"&Lists", "&Patients/Guarantors and Cases", QKeySequence(), nullptr},
      {"&Lists", "Procedure/Payment/&Adjustment Codes", QKeySequence(), nullptr},
      {"&Lists", "&MultiLink Codes", QKeySequence(), nullptr},
      {"&Lists", "&Diagnosis Codes", QKeySequence(), nullptr},
      {"&Lists", "&Insurance Carriers", QKeySequence(), nullptr},
      {"&Lists", "Add&resses", QKeySequence(), nullptr},
      {"&Lists", "P&roviders", QKeySequence(), nullptr},
      {"&Lists", "Re&ferring Providers", QKeySequence(), nullptr},
      {"&Lists", "&Billing Codes", QKeySequence(), nullptr},
      {"&Activities", "&Enter Transactions", QKeySequence(), nullptr},
      {"&Activities", "Enter &Deposits/Payments", QKeySequence(), nullptr},
      {"&Activities", "&Claim Management", QKeySequence(), nullptr},
      {"&Activities", "&Statement Management", QKeySequence(), nullptr},
      {"&Activities", "Collection &List", QKeySequence(), nullptr},
      {"&Reports", "&Day Sheets", QKeySequence(), nullptr},
      {"&Reports", "&Aging Reports", QKeySequence(), nullptr},
      {"&Reports", "&Practice Analysis", QKeySequence(), nullptr},
      {"&Tools", "&Security Setup", QKeySequence(), nullptr},
      {"&Tools", "&Permissions", QKeySequence(), nullptr},
      {"&Tools", "&Login/Password Management", QKeySequence(), nullptr},
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
    if (entry.handler == &MainWindow::programOptions || entry.handler == &MainWindow::practiceInformation)
      practiceActions_.push_back(action);
    if (std::string(entry.menu) == "&File") fileMenu = menu;
  }
  fileMenu->addSeparator();
  QAction* exitAction = fileMenu->addAction(tr("E&xit"));
  exitAction->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));
  connect(exitAction, &QAction::triggered, this, &QWidget::close);
  QMenu* help = menuBar()->addMenu(tr("&Help"));
  connect(help->addAction(tr("&About QelVantrell")), &QAction::triggered, this, [this] {
    QMessageBox::about(this, tr("About QelVantrell"),
                       tr("QelVantrell Advanced\nPatient accounting and billing for medical practices."));
  });

  QToolBar* toolbar = addToolBar(tr("Main"));
  toolbar->setObjectName("mainToolbar");
  toolbar->setMovable(false);
  toolbar->addAction(style()->standardIcon(QStyle::SP_DirOpenIcon), tr("Open Practice"), this, &MainWindow::openPractice);
  QAction* options =
      toolbar->addAction(style()->standardIcon(QStyle::SP_FileDialogDetailedView), tr("Options"), this, &MainWindow::programOptions);
  practiceActions_.push_back(options);
  toolbar->addAction(style()->standardIcon(QStyle::SP_FileDialogInfoView), tr("Program Date"), this,
                     &MainWindow::setProgramDate);
  toolbar->addAction(style()->standardIcon(QStyle::SP_DialogCloseButton), tr("Exit"), this, &QWidget::close);
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
  setWindowTitle(open != nullptr ? QString::fromStdString(open->caption) : QString(noPracticeCaption));
  for (QAction* action : practiceActions_) action->setEnabled(open != nullptr);
  enterMovesFocus_->setEnabled(open != nullptr && open->options.flag("Use ENTER for next Field"));
  if (open != nullptr && open->options.autoLogOff()) logOffTimer_.start();
  else logOffTimer_.stop();
  presenceTimer_.start();
  user_->setText(QString());
}

void MainWindow::openPractice() {
  PracticeListDialog dialog(application_, this);
  dialog.exec();
  practiceChanged();
}

void MainWindow::newPractice() {
  NewPracticeDialog dialog(application_, this);
  dialog.exec();
  practiceChanged();
}

void MainWindow::programOptions() {
  practice::OpenPractice* open = application_.practice();
  if (open == nullptr) return;
  OptionsDialog dialog(*open->connection, prompter_, false, this);
  if (dialog.exec() == QDialog::Accepted) {
    open->options = dialog.options();
    practiceChanged();
  }
}

void MainWindow::practiceInformation() {
  practice::OpenPractice* open = application_.practice();
  if (open == nullptr) return;
  PracticeInformationDialog dialog(*open->connection, prompter_, this);
  dialog.exec();
}

void MainWindow::setProgramDate() {
  ProgramDateDialog dialog(application_.programDate(), prompter_, this);
  dialog.exec();
  refreshProgramDate();
}

void MainWindow::refreshProgramDate() {
  programDate_->setText(QString::fromStdString(application_.programDate().panelText()));
}

void MainWindow::presenceRefresh() {
  // Keeping this workstation's row in the users-in-program table fresh comes
  // with users and login.
}

void MainWindow::idleCheck() {
  // The idle check against "Log Off Min" comes with users and login.
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!application_.shutDown()) {
    event->ignore();
    return;
  }
  WindowPlacement::save(*this, settings_);
  event->accept();
}

bool EnterMovesFocus::eventFilter(QObject* watched, QEvent* event) {
  if (!enabled_ || event->type() != QEvent::KeyPress) return false;
  const auto* key = static_cast<QKeyEvent*>(event);
  if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) return false;
  auto* widget = qobject_cast<QWidget*>(watched);
  if (widget == nullptr || qobject_cast<QAbstractButton*>(widget) != nullptr) return false;
  if (qobject_cast<QLineEdit*>(widget) == nullptr && !widget->inherits("QAbstractSpinBox") &&
      !widget->inherits("QComboBox"))
    return false;
  QWidget* next = widget->nextInFocusChain();
  while (next != nullptr && next != widget && (!(next->focusPolicy() & Qt::TabFocus) || !next->isVisible()))
    next = next->nextInFocusChain();
  if (next != nullptr && next != widget) next->setFocus(Qt::TabFocusReason);
  return true;
}

}  // namespace vantrell::desktop
