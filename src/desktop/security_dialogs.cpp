#include "security_dialogs.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>

#include "record_form.hpp"
#include "store/errors.hpp"
#include "widget_helpers.hpp"

namespace vantrell::desktop {
namespace {

// Esc and the close box ask as the Cancel button does, instead of leaving at once.
class AskingDialog : public QDialog {
 public:
  using QDialog::QDialog;
  std::function<void()> cancel;
  void reject() override {
    if (cancel) cancel();
  }
};

}  // namespace

bool LoginDialog::run(security::LoginWindow& window) {
  using Outcome = security::LoginWindow::Outcome;
  AskingDialog dialog(parent_);
  dialog.setObjectName("Login");
  dialog.setWindowTitle(window.mode() == security::LoginMode::Override
                            ? QObject::tr("Override Login")
                            : QObject::tr("Login"));
  auto* layout = new QVBoxLayout(&dialog);
  auto* form = new QFormLayout;
  auto* name = new QLineEdit(qt(window.prefilledCode()));
  name->setObjectName("loginName");
  name->setMaxLength(10);
  auto* password = new QLineEdit;
  password->setObjectName("password");
  password->setEchoMode(QLineEdit::Password);
  password->setMaxLength(75);
  form->addRow(QObject::tr("&Login Name:"), name);
  form->addRow(QObject::tr("&Password:"), password);
  layout->addLayout(form);

  auto* panel = new QWidget;
  panel->setObjectName("changePassword");
  auto* panelForm = new QFormLayout(panel);
  auto* fresh = new QLineEdit;
  fresh->setObjectName("newPassword");
  fresh->setEchoMode(QLineEdit::Password);
  auto* confirmation = new QLineEdit;
  confirmation->setObjectName("confirmation");
  confirmation->setEchoMode(QLineEdit::Password);
  auto* change = new QPushButton(QObject::tr("&Change Password"));
  change->setObjectName("change");
  panelForm->addRow(QObject::tr("&New Password:"), fresh);
  panelForm->addRow(QObject::tr("Con&firm Password:"), confirmation);
  panelForm->addRow(QString(), change);
  panel->hide();
  layout->addWidget(panel);

  auto* buttons = new QDialogButtonBox;
  auto* ok = buttons->addButton(QDialogButtonBox::Ok);
  auto* cancel = buttons->addButton(qt(window.cancelCaption()), QDialogButtonBox::RejectRole);
  cancel->setObjectName("cancel");
  auto* forgot = buttons->addButton(QObject::tr("&Forgot Password..."), QDialogButtonBox::HelpRole);
  forgot->setObjectName("forgot");
  anotherPractice_ = false;
  if (window.mode() == security::LoginMode::Normal && offersAnotherPractice_) {
    // Not this practice: the practice list instead of a login.
    auto* another =
        buttons->addButton(QObject::tr("Ot&her Practice..."), QDialogButtonBox::HelpRole);
    another->setObjectName("anotherPractice");
    another->setAutoDefault(false);
    QObject::connect(another, &QPushButton::clicked, &dialog, [&] {
      anotherPractice_ = true;
      dialog.done(QDialog::Rejected);
    });
  }
  layout->addWidget(buttons);
  (window.prefilledCode().empty() ? name : password)->setFocus();

  bool loggedIn = false;
  QObject::connect(ok, &QPushButton::clicked, &dialog, [&] {
    switch (window.submit(name->text().toStdString(), password->text().toStdString())) {
      case Outcome::LoggedIn:
        loggedIn = true;
        dialog.accept();
        break;
      case Outcome::ChangePassword:
        panel->show();
        fresh->setFocus();
        break;
      case Outcome::Closed:
        dialog.done(QDialog::Rejected);
        break;
      default:
        (window.focus() == security::LoginWindow::Field::Name ? name : password)->setFocus();
        (window.focus() == security::LoginWindow::Field::Name ? name : password)->selectAll();
    }
  });
  dialog.cancel = [&] {
    const Outcome outcome = window.cancel();
    if (outcome == Outcome::ExitProgram) {
      exitRequested_ = true;
      dialog.done(QDialog::Rejected);
    } else if (outcome == Outcome::Closed) {
      dialog.done(QDialog::Rejected);
    }
  };
  QObject::connect(cancel, &QPushButton::clicked, &dialog, [&] { dialog.cancel(); });
  QObject::connect(forgot, &QPushButton::clicked, &dialog, [&] {
    const auto question = window.forgottenPassword(name->text().toStdString());
    if (!question) return;
    bool answered = false;
    const QString answer =
        QInputDialog::getText(&dialog, QObject::tr("Security Question"), qt(*question),
                              QLineEdit::Password, QString(), &answered);
    if (answered && window.answerQuestion(name->text().toStdString(), answer.toStdString()) ==
                        Outcome::ChangePassword) {
      panel->show();
      fresh->setFocus();
    }
  });
  QObject::connect(change, &QPushButton::clicked, &dialog, [&] {
    if (window.changePassword(name->text().toStdString(), fresh->text().toStdString(),
                              confirmation->text().toStdString()) == Outcome::StayOpen) {
      panel->hide();
      password->clear();
      password->setFocus();
    }
  });
  dialog.exec();
  return loggedIn;
}

SecuritySetupDialog::SecuritySetupDialog(store::Connection& practice, ui::Prompter& prompter,
                                         const ui::Clock& clock, QWidget* parent)
    : QDialog(parent), prompter_(prompter), window_(practice, prompter, clock) {
  setObjectName("SecuritySetup");
  setWindowTitle(tr("Security Setup"));
  auto* layout = new QVBoxLayout(this);
  users_ = new QTableWidget(0, 4);
  users_->setObjectName("users");
  users_->setHorizontalHeaderLabels(
      {tr("Login Name"), tr("Name"), tr("Access Level"), tr("Inactive")});
  users_->setSelectionBehavior(QAbstractItemView::SelectRows);
  users_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  users_->horizontalHeader()->setStretchLastSection(true);
  users_->setMinimumSize(520, 240);
  layout->addWidget(users_);
  auto* buttons = new QDialogButtonBox;
  auto* add = buttons->addButton(tr("&New..."), QDialogButtonBox::ActionRole);
  auto* edit = buttons->addButton(tr("&Edit..."), QDialogButtonBox::ActionRole);
  auto* remove = buttons->addButton(tr("&Delete"), QDialogButtonBox::ActionRole);
  buttons->addButton(QDialogButtonBox::Close);
  layout->addWidget(buttons);
  connect(add, &QPushButton::clicked, this, [this] { editUser(true); });
  connect(edit, &QPushButton::clicked, this, [this] { editUser(false); });
  connect(users_, &QTableWidget::cellDoubleClicked, this, [this] { editUser(false); });
  connect(remove, &QPushButton::clicked, this, &SecuritySetupDialog::deleteUser);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  reload();
}

void SecuritySetupDialog::reload() {
  const auto users = window_.users();
  users_->setRowCount(static_cast<int>(users.size()));
  for (int row = 0; row < static_cast<int>(users.size()); ++row) {
    const auto& user = users[static_cast<std::size_t>(row)];
    users_->setItem(row, 0, new QTableWidgetItem(qt(user.text("Code"))));
    users_->setItem(row, 1, new QTableWidgetItem(qt(user.text("Name"))));
    users_->setItem(row, 2, new QTableWidgetItem(qt(user.text("Access Level"))));
    users_->setItem(row, 3, new QTableWidgetItem(user.logical("Inactive") ? tr("Yes") : QString()));
  }
}

void SecuritySetupDialog::editUser(bool isNew) {
  const int row = users_->currentRow();
  if (!isNew && row < 0) return;
  QDialog dialog(this);
  dialog.setObjectName("UserEdit");
  dialog.setWindowTitle(isNew ? tr("New User") : tr("Edit User"));
  auto* form = new QFormLayout(&dialog);
  auto* code = new QLineEdit(isNew ? QString() : users_->item(row, 0)->text());
  code->setObjectName("Code");
  code->setMaxLength(10);
  code->setReadOnly(!isNew);
  auto* name = new QLineEdit(isNew ? QString() : users_->item(row, 1)->text());
  name->setObjectName("Name");
  name->setMaxLength(20);
  auto* level = new QComboBox;
  level->setObjectName("Access Level");
  level->addItems({"1", "2", "3", "4", "5"});
  level->setCurrentText(isNew ? "5" : users_->item(row, 2)->text());
  auto* password = new QLineEdit;
  password->setObjectName("Password");
  password->setEchoMode(QLineEdit::Password);
  password->setPlaceholderText(isNew ? QString() : tr("(unchanged)"));
  auto* expires = new QLineEdit;
  expires->setObjectName("Expire Date");
  expires->setPlaceholderText("mm/dd/yyyy");
  auto* inactive = new QCheckBox(tr("Inactive"));
  inactive->setChecked(!isNew && !users_->item(row, 3)->text().isEmpty());
  auto* question = new QLineEdit;
  question->setObjectName("Question");
  question->setMaxLength(75);
  auto* answer = new QLineEdit;
  answer->setObjectName("Answer");
  answer->setEchoMode(QLineEdit::Password);
  form->addRow(tr("&Login Name:"), code);
  form->addRow(tr("&Name:"), name);
  form->addRow(tr("&Access Level:"), level);
  form->addRow(tr("&Password:"), password);
  form->addRow(tr("E&xpire Date:"), expires);
  form->addRow(QString(), inactive);
  form->addRow(tr("Security &Question:"), question);
  form->addRow(tr("Ans&wer:"), answer);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel);
  form->addRow(buttons);
  addSaveKeys(dialog, buttons->button(QDialogButtonBox::Save));
  connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
    std::vector<std::pair<std::string, std::string>> fields = {
        {"Name", name->text().toStdString()},
        {"Access Level", level->currentText().toStdString()},
        {"Inactive", inactive->isChecked() ? "true" : "false"}};
    if (!password->text().isEmpty())
      fields.emplace_back("Password", password->text().toStdString());
    if (!expires->text().isEmpty())
      fields.emplace_back("Expire Date", expires->text().toStdString());
    if (!question->text().isEmpty())
      fields.emplace_back("Question", question->text().toStdString());
    if (!answer->text().isEmpty()) fields.emplace_back("Answer", answer->text().toStdString());
    if (window_.saveUser(code->text().trimmed().toStdString(), fields)) dialog.accept();
  });
  if (dialog.exec() == QDialog::Accepted) reload();
}

void SecuritySetupDialog::deleteUser() {
  const int row = users_->currentRow();
  if (row < 0) return;
  if (window_.deleteUser(users_->item(row, 0)->text().toStdString())) reload();
}

void SecuritySetupDialog::done(int result) {
  if (!window_.close()) return;
  QDialog::done(result);
}

PermissionsDialog::PermissionsDialog(store::Connection& practice, QWidget* parent)
    : QDialog(parent), window_(practice) {
  setObjectName("Permissions");
  setWindowTitle(tr("Permissions"));
  auto* layout = new QVBoxLayout(this);
  grid_ = new QTableWidget(static_cast<int>(window_.rows().size()), 7);
  grid_->setObjectName("grid");
  grid_->setHorizontalHeaderLabels({tr("Window"), tr("Process"), tr("Level 1"), tr("Level 2"),
                                    tr("Level 3"), tr("Level 4"), tr("Level 5")});
  for (int row = 0; row < static_cast<int>(window_.rows().size()); ++row) {
    const auto& record = window_.rows()[static_cast<std::size_t>(row)];
    auto* windowItem = new QTableWidgetItem(qt(record.text("Window")));
    windowItem->setFlags(Qt::ItemIsEnabled);
    auto* processItem = new QTableWidgetItem(qt(record.text("Process")));
    processItem->setFlags(Qt::ItemIsEnabled);
    grid_->setItem(row, 0, windowItem);
    grid_->setItem(row, 1, processItem);
    for (int level = 1; level <= 5; ++level) {
      auto* box = new QTableWidgetItem;
      box->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
      box->setCheckState(record.logical("Level " + std::to_string(level)) ? Qt::Checked
                                                                          : Qt::Unchecked);
      grid_->setItem(row, level + 1, box);
    }
  }
  grid_->resizeColumnsToContents();
  // Wide enough for every level's column beside the names, scroll bar included.
  int wanted = grid_->verticalHeader()->sizeHint().width() +
               grid_->verticalScrollBar()->sizeHint().width() + 2 * grid_->frameWidth() + 4;
  for (int column = 0; column < grid_->columnCount(); ++column)
    wanted += grid_->columnWidth(column);
  grid_->setMinimumSize(std::max(760, wanted), 460);
  layout->addWidget(grid_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &PermissionsDialog::save);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  addSaveKeys(*this, buttons->button(QDialogButtonBox::Save));
  layout->addWidget(buttons);
}

void PermissionsDialog::save() {
  for (int row = 0; row < grid_->rowCount(); ++row) {
    auto& record = window_.rows()[static_cast<std::size_t>(row)];
    bool changed = false;
    for (int level = 1; level <= 5; ++level) {
      const bool allowed = grid_->item(row, level + 1)->checkState() == Qt::Checked;
      if (allowed != record.logical("Level " + std::to_string(level))) {
        record.set("Level " + std::to_string(level), allowed);
        changed = true;
      }
    }
    if (changed) window_.post(record);
  }
  accept();
}

LoginPasswordManagementDialog::LoginPasswordManagementDialog(store::Connection& practice,
                                                             ui::Prompter& prompter,
                                                             QWidget* parent)
    : QDialog(parent), prompter_(prompter), window_(practice, prompter) {
  setObjectName("LoginPasswordManagement");
  setWindowTitle(tr("Login/Password Management"));
  auto* layout = new QVBoxLayout(this);
  form_ = new RecordForm(window_.fields(),
                         {"Renewal Interval", "Reuse Period", "Min Characters", "Max Characters",
                          "Alphanumeric", "Max Attempts", "Disable Period"});
  layout->addWidget(form_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::accept);
  layout->addWidget(buttons);
}

void LoginPasswordManagementDialog::done(int result) {
  if (const std::string refused = form_->commit(); !refused.empty()) {
    prompter_.error(refused);
    return;
  }
  if (!window_.close()) return;
  QDialog::done(result);
}

}  // namespace vantrell::desktop
