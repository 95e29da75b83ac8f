#include "collections/payment_plan.hpp"

#include <cctype>

#include "store/table.hpp"

namespace vantrell::collections {
namespace {

constexpr int maximumCycleDays = 999;

std::string fieldNotValid(const char* field) {
  return std::string("The \"") + field + "\" field is not valid";
}

reference::CodeTable makeTable() {
  reference::CodeTable table;
  table.table = "QVPPL";
  table.keyField = "Code";
  table.keyTag = "IdxCode";
  table.newItem = 240;
  table.editItem = 241;
  table.viewItem = 242;
  table.deleteItem = 243;
  table.auditKind = "Deleted Payment Plan";
  table.auditPrefix = "Payment plan: ";
  table.duplicate = [](const std::string& code) {
    return "Patient Payment code " + code + " already exists.\nEnter a unique code.";
  };
  table.keyLeft = [](store::Record& row) {
    row.set("Code", PaymentPlanWindow::upperCode(row.text("Code")));
  };
  table.check = [](store::Connection&, const store::Record& row,
                   const ui::Clock&) -> std::optional<std::string> {
    const std::int64_t firstDue = row.integer("First Payment Due");
    if (row.isEmpty("First Payment Due") || firstDue < 1 || firstDue > 31)
      return "Invalid First Payment Due value";
    const std::int64_t cycle = row.integer("Cycle Days");
    if (row.isEmpty("Cycle Days") || cycle < 1 || cycle > maximumCycleDays)
      return fieldNotValid("Cycle Days");
    return std::nullopt;
  };
  return table;
}

}  // namespace

const reference::CodeTable& paymentPlanTable() {
  static const reference::CodeTable table = makeTable();
  return table;
}

std::string PaymentPlanWindow::upperCode(const std::string& code) {
  std::string upper = code;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

PaymentPlanWindow::PaymentPlanWindow(store::Connection& practice, ui::Prompter& prompter,
                                     const ui::Clock& clock, security::Security* security)
    : practice_(practice),
      prompter_(prompter),
      window_(practice, paymentPlanTable(), prompter, clock, security) {}

bool PaymentPlanWindow::save() {
  window_.record().set("Modified By", practice_.userCode());
  return window_.save();
}

bool PaymentPlanWindow::remove(const std::string& code) {
  const std::string plan = upperCode(code);
  if (practice_.tableExists("QVPAT")) {
    store::Table patients = practice_.openTable("QVPAT");
    patients.setOrder("BY PAYMENT PLAN");
    if (patients.seek({store::Value{plan}})) {
      prompter_.error(
          "This payment plan record is currently being used in the Payment Plan field of the "
          "QVPAT table and cannot be deleted.");
      return false;
    }
  }
  return window_.remove(plan);
}

}  // namespace vantrell::collections
