#pragma once

#include "store/connection.hpp"
#include "store/record.hpp"
#include "store/table.hpp"
#include "ui/prompter.hpp"

namespace vantrell::practice {

// The practice window: the practice's own record (QVPRA) on one page and the
// billing service's record (QVBSP) on the other, one row each.
class PracticeInformationWindow {
 public:
  enum class Page { Practice, BillingService };

  // A table without its row gets one of Practice Type "Medical" straight away.
  PracticeInformationWindow(store::Connection& connection, ui::Prompter& prompter);

  store::Record& practice() { return practice_; }
  store::Record& billingService() { return billingService_; }

  // The user's right to change practice information is checked by the caller
  // before it calls save; a refused user never reaches this point.
  //
  // Refuses when both names are empty (telling the name of the page showing);
  // an empty practice name takes the billing service's. Posts both rows
  // together or neither; a row removed meanwhile is appended again. Throws
  // RecordInUseError when another workstation is saving the same record.
  bool save(Page showing);

  // The first letter of the practice's Practice Type as last saved ('A', 'C'
  // or 'M'); blank before a save or when no type is given.
  char practiceTypeLetter() const { return practiceTypeLetter_; }

 private:
  store::Connection& connection_;
  ui::Prompter& prompter_;
  store::Table practiceTable_;
  store::Table billingServiceTable_;
  store::Record practice_;
  store::Record billingService_;
  char practiceTypeLetter_ = ' ';
};

}  // namespace vantrell::practice
