#pragma once

#include <QDialog>

#include "security/login_window.hpp"
#include "security/password_rules.hpp"
#include "security/permissions_window.hpp"
#include "security/user_accounts.hpp"
#include "ui/prompter.hpp"

class QLineEdit;
class QPushButton;
class QTableWidget;
class QWidget;

namespace vantrell::desktop {

// The login dialog, in its three modes, with the forgotten-password question
// and the change-password panel.
class LoginDialog final : public security::LoginPrompt {
 public:
  explicit LoginDialog(QWidget* parent, ui::Prompter& prompter) : parent_(parent), prompter_(prompter) {}
  bool run(security::LoginWindow& window) override;
  // The person chose to leave the program from the dialog.
  bool exitRequested() const { return exitRequested_; }
  bool choseAnotherPractice() const override { return anotherPractice_; }
  // Only a login that opens a practice may go to the practice list instead.
  void offerAnotherPractice(bool offered) { offersAnotherPractice_ = offered; }

 private:
  QWidget* parent_;
  ui::Prompter& prompter_;
  bool exitRequested_ = false;
  bool anotherPractice_ = false;
  bool offersAnotherPractice_ = true;
};

// The security setup window: the users and the edit of one.
class SecuritySetupDialog : public QDialog {
  Q_OBJECT

 public:
  SecuritySetupDialog(store::Connection& practice, ui::Prompter& prompter, const ui::Clock& clock, QWidget* parent);

 protected:
  void done(int result) override;

 private:
  void reload();
  void editUser(bool isNew);
  void deleteUser();

  ui::Prompter& prompter_;
  security::SecuritySetupWindow window_;
  QTableWidget* users_;
};

// The permissions window: a grid of the permission list with a column per level.
class PermissionsDialog : public QDialog {
  Q_OBJECT

 public:
  PermissionsDialog(store::Connection& practice, QWidget* parent);

 private:
  void save();

  security::PermissionsWindow window_;
  QTableWidget* grid_;
};

// The login and password management window: the rules of passwords.
class LoginPasswordManagementDialog : public QDialog {
  Q_OBJECT

 public:
  LoginPasswordManagementDialog(store::Connection& practice, ui::Prompter& prompter, QWidget* parent);

 protected:
  void done(int result) override;

 private:
  ui::Prompter& prompter_;
  security::LoginPasswordManagementWindow window_;
  class RecordForm* form_;
};

}  // namespace vantrell::desktop
