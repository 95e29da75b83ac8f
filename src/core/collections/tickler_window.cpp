#include "collections/tickler_window.hpp"

#include <algorithm>

#include "collections/collection_options.hpp"
#include "collections/work_list.hpp"
#include "store/errors.hpp"
#include "store/names.hpp"
#include "store/system_fields.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"

namespace vantrell::collections {

TicklerWindow::TicklerWindow(store::Connection& practice, ui::Prompter& prompter,
                             const ui::Clock& clock)
    : practice_(practice), prompter_(prompter), clock_(clock) {
  store::ensureTable(practice_, "QVWRK");
}

void TicklerWindow::startNew() {
  store::Table items = practice_.openTable("QVWRK");
  record_ = items.newRecord();
  record_->set("Status", std::string(item_status::open));
  record_->set("Responsible Type", std::string("P"));
  record_->set("Tracer", std::int64_t{0});
  isNew_ = true;
}

bool TicklerWindow::open(std::int64_t itemNumber) {
  store::Table items = practice_.openTable("QVWRK");
  items.setOrder("Primary");
  record_ = items.seek({store::Value{itemNumber}});
  if (!record_) {
    prompter_.error("There is no work list item " + std::to_string(itemNumber) + ".");
    return false;
  }
  isNew_ = false;
  return true;
}

bool TicklerWindow::setFields(const std::vector<std::pair<std::string, std::string>>& fields) {
  try {
    for (const auto& [field, typed] : fields) {
      if (store::isSystemField(record_->table(), field) ||
          store::equalsIgnoringCase(field, "Item Number")) {
        prompter_.error(store::systemFieldRefusal(field));
        return false;
      }
      if (store::equalsIgnoringCase(field, "Status")) {
        if (typed != item_status::open && typed != item_status::resolved &&
            typed != item_status::deleted) {
          prompter_.error("The \"Status\" field is not valid");
          return false;
        }
        if (typed != record_->text("Status")) stampStatus(*record_, typed, clock_.today());
        continue;
      }
      if (store::equalsIgnoringCase(field, "Responsible Type") && typed != "P" && typed != "I") {
        prompter_.error("The \"Responsible Type\" field is not valid");
        return false;
      }
      record_->setFromText(field, typed);
    }
  } catch (const store::InputError& error) {
    prompter_.error(error.what());
    return false;
  }
  return true;
}

std::vector<std::string> TicklerWindow::carriersOfPatient(const std::string& chartNumber) {
  std::vector<std::string> carriers;
  store::Table cases = practice_.openTable("QVCAS");
  cases.setOrder("Primary");
  cases.setRange({store::Value{chartNumber}}, {store::Value{chartNumber}});
  cases.forEach([&](const store::Record& row) {
    if (row.logical("Case Closed")) return;
    for (const char* field :
         {"Insurance Carrier #1", "Insurance Carrier #2", "Insurance Carrier #3"}) {
      const std::string code = row.text(field);
      if (!code.empty() && std::find(carriers.begin(), carriers.end(), code) == carriers.end())
        carriers.push_back(code);
    }
  });
  return carriers;
}

// An account's item owes the account's balance and names its guarantor; an
// insurance item takes the policy of the patient's case that names the carrier.
void TicklerWindow::fillFromParty() {
  store::Record& item = *record_;
  const std::string patient = item.text("Patient");
  const std::string party = item.text("Responsible Party");
  if (item.text("Responsible Type") == "P") {
    if (item.isEmpty("Guarantor")) item.set("Guarantor", party);
    if (item.isEmpty("Balance")) {
      store::Table patients = practice_.openTable("QVPAT");
      patients.setOrder("Primary");
      if (auto account = patients.seek({store::Value{party}}))
        item.set("Balance", account->number("Patient Reference Balance"));
    }
    return;
  }
  store::Table cases = practice_.openTable("QVCAS");
  cases.setOrder("Primary");
  cases.setRange({store::Value{patient}}, {store::Value{patient}});
  bool found = false;
  cases.forEach([&](const store::Record& row) {
    if (row.logical("Case Closed")) return;
    for (int slot = 1; slot <= 3 && !found; ++slot) {
      const std::string policy = " #" + std::to_string(slot);
      if (!store::equalsIgnoringCase(row.text("Insurance Carrier" + policy), party)) continue;
      found = true;
      if (item.isEmpty("Group Number")) item.set("Group Number", row.text("Group Number" + policy));
      if (item.isEmpty("Policy Number"))
        item.set("Policy Number", row.text("Policy Number" + policy));
      if (item.isEmpty("Guarantor")) item.set("Guarantor", row.text("Guarantor"));
    }
  });
}

bool TicklerWindow::save() {
  store::Record& item = *record_;
  for (const char* field : {"Patient", "Responsible Party"}) {
    if (item.text(field).empty()) {
      prompter_.error(std::string("Field '") + field + "' must have a value.");
      return false;
    }
  }
  if (item.text("User ID").empty() && readCollectionOptions(practice_).requireAssignTo) {
    prompter_.error("Field 'Assign To' must have a value.");
    return false;
  }
  // An insurance item follows up a claim of the patient's: its carrier must be on one of the
  // patient's open cases, where its policy and group numbers come from.
  if (item.text("Responsible Type") == "I") {
    const std::string carrier = item.text("Responsible Party");
    const auto carriers = carriersOfPatient(item.text("Patient"));
    if (std::none_of(carriers.begin(), carriers.end(), [&](const std::string& code) {
          return store::equalsIgnoringCase(code, carrier);
        })) {
      prompter_.error("Insurance carrier " + carrier + " is not on an open case of patient " +
                      item.text("Patient") + ".");
      return false;
    }
  }
  fillFromParty();
  item.set("Modified By", practice_.userCode());
  store::Table items = practice_.openTable("QVWRK");
  if (isNew_)
    items.append(item);
  else
    items.post(item);
  isNew_ = false;
  return true;
}

}  // namespace vantrell::collections
