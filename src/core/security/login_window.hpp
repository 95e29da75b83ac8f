#pragma once

#include <optional>
#include <string>

#include "security/security.hpp"

namespace vantrell::security {

// The login dialog: a login name and a password, in normal, override or
// log-off mode, with the forgotten-password question and the change-password
// panel. Every check of a login runs here, in order, with the system's texts.
class LoginWindow {
 public:
  enum class Outcome {
    LoggedIn,        // the dialog closes with a user logged in
    StayOpen,        // a message was shown; the dialog stays for another try
    Closed,          // the dialog closes without a login
    ChangePassword,  // the change-password panel opens
    ExitProgram,     // the person confirmed leaving the program
  };
  enum class Field { Name, Password };

  LoginWindow(Security& security, LoginMode mode, std::string prefilledCode = {});

  LoginMode mode() const { return mode_; }
  const std::string& prefilledCode() const { return prefilledCode_; }
  // The button that cancels: "Exit Program" when logging in again after idle time.
  std::string cancelCaption() const {
    return mode_ == LoginMode::LogOff ? "Exit Program" : "Cancel";
  }
  // The field the focus goes back to after a refusal.
  Field focus() const { return focus_; }

  Outcome submit(const std::string& name, const std::string& password);
  // "Exit Confirmation": Yes leaves (the program, when nobody is logged in).
  Outcome cancel();
  // The security question for the name, or no value after the system's message.
  std::optional<std::string> forgottenPassword(const std::string& name);
  Outcome answerQuestion(const std::string& name, const std::string& answer);
  // The change-password panel: open only to the user who answered the security
  // question or whose password has expired in this dialog. Checks the new
  // password and keeps it.
  Outcome changePassword(const std::string& name, const std::string& password,
                         const std::string& confirmation);

  static constexpr const char* exitConfirmationTitle = "Exit Confirmation";
  static constexpr const char* exitConfirmation =
      "Any unsaved data will be lost if you continue.            Do you want to continue?";

 private:
  Outcome refuse(const std::string& user, const std::string& message, const std::string& note,
                 Outcome outcome, const std::string& caption = {});
  // Too many failed attempts lately (the rules' Max Attempts within Disable Period).
  bool lockedOut(const std::string& code);

  Security& security_;
  LoginMode mode_;
  std::string prefilledCode_;
  Field focus_ = Field::Name;
  std::string mayChangePasswordOf_;  // the code that earned the change-password panel
};

}  // namespace vantrell::security
