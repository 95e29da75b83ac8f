#include "practice/practice_information.hpp"

#include <string>
#include <utility>

#include "practice/options.hpp"

namespace vantrell::practice {
namespace {

store::Record readOrAppendRow(store::Table& table) {
  if (auto stored = readSingleRow(table)) return std::move(*stored);
  store::Record row = table.newRecord();
  row.set("Practice Type", std::string("Medical"));
  table.append(row);
  return row;
}

}  // namespace

PracticeInformationWindow::PracticeInformationWindow(store::Connection& connection, ui::Prompter& prompter)
    : connection_(connection),
      prompter_(prompter),
      practiceTable_(connection.openTable("QVPRA")),
      billingServiceTable_(connection.openTable("QVBSP")),
      practice_(readOrAppendRow(practiceTable_)),
      billingService_(readOrAppendRow(billingServiceTable_)) {}

bool PracticeInformationWindow::save(Page showing) {
  if (practice_.isEmpty("Practice Name")) {
    if (billingService_.isEmpty("Practice Name")) {
      prompter_.error(showing == Page::BillingService ? "You must enter a Billing Service Name before saving."
                                                      : "You must enter a Practice Name before saving.");
      return false;
    }
    // An unnamed practice goes by its billing service's name.
    practice_.set("Practice Name", billingService_.value("Practice Name"));
  }
  // Saving a record replaces it with the stored one; should the other save
  // fail and the transaction roll back, the window gets back what it held.
  const store::Record practiceBefore = practice_;
  const store::Record billingServiceBefore = billingService_;
  try {
    store::Transaction transaction(connection_);
    saveSingleRow(practiceTable_, practice_);
    saveSingleRow(billingServiceTable_, billingService_);
    transaction.commit();
  } catch (...) {
    practice_ = practiceBefore;
    billingService_ = billingServiceBefore;
    throw;
  }
  const std::string type = practice_.text("Practice Type");
  practiceTypeLetter_ = type.empty() ? ' ' : type.front();
  return true;
}

}  // namespace vantrell::practice
