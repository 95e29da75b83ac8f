#pragma once

#include <string>
#include <utility>
#include <vector>

#include "reference/code_window.hpp"
#include "security/security.hpp"
#include "store/connection.hpp"
#include "ui/clock.hpp"
#include "ui/prompter.hpp"

namespace vantrell::collections {

// The payment plan code table: its key, permissions and checks with their texts.
const reference::CodeTable& paymentPlanTable();

// The "Patient Payment Plan" window: a plan's code, description, first due
// day, cycle and amount, saved after its checks; a plan that a patient still
// names in "Payment Plan" is not deleted.
class PaymentPlanWindow {
 public:
  PaymentPlanWindow(store::Connection& practice, ui::Prompter& prompter, const ui::Clock& clock,
                    security::Security* security);

  bool startNew() { return window_.startNew(); }
  bool open(const std::string& code) { return window_.open(upperCode(code)); }
  store::Record& record() { return window_.record(); }
  bool setFields(const std::vector<std::pair<std::string, std::string>>& fields) {
    return window_.setFields(fields);
  }
  // The checks in order, then the plan is stored with the session's user as Modified By.
  bool save();
  bool remove(const std::string& code);

  // Plan codes are kept upper case, as patients name them.
  static std::string upperCode(const std::string& code);

 private:
  store::Connection& practice_;
  ui::Prompter& prompter_;
  reference::CodeWindow window_;
};

}  // namespace vantrell::collections
