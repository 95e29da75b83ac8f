#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "store/connection.hpp"
#include "store/record.hpp"
#include "ui/prompter.hpp"

namespace vantrell::security {

// The practice's login and password rules (QVLPM, one row; none means no rules).
struct PasswordRules {
  std::int64_t renewalIntervalDays = 0;
  std::int64_t reusePeriodDays = 0;
  std::int64_t minCharacters = 0;
  std::int64_t maxCharacters = 0;
  bool alphanumeric = false;
  std::int64_t maxAttempts = 0;
  std::int64_t disablePeriodMinutes = 0;

  static PasswordRules read(store::Connection& practice);
  // The message of the first of the length and letter-and-digit rules the
  // password breaks, or no value.
  std::optional<std::string> breach(const std::string& password) const;
};

// The login and password management window: edits the rules row.
class LoginPasswordManagementWindow {
 public:
  LoginPasswordManagementWindow(store::Connection& practice, ui::Prompter& prompter);
  store::Record& fields() { return row_; }
  // The checks of each field as it is left.
  bool checkField(const std::string& fieldName);
  // The checks on closing, then the save; false keeps the window open.
  bool close();

  static constexpr std::int64_t defaultMaxCharacters = 20;

 private:
  store::Connection& practice_;
  ui::Prompter& prompter_;
  store::Record row_;
};

}  // namespace vantrell::security
