#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "store/connection.hpp"
#include "store/record.hpp"
#include "ui/clock.hpp"
#include "ui/prompter.hpp"

namespace vantrell::collections {

// The tickler window on one work list item: who owes, the patient, the action,
// the user it is assigned to, the follow-up date, the status and office notes.
// Actions and notes are plain text.
class TicklerWindow {
 public:
  TicklerWindow(store::Connection& practice, ui::Prompter& prompter, const ui::Clock& clock);

  // A new open item for a patient account.
  void startNew();
  // A stored item; false with a message when there is none.
  bool open(std::int64_t itemNumber);
  store::Record& record() { return *record_; }
  bool isNew() const { return isNew_; }

  // Sets fields as typed. A new status stamps what it means (Resolved its day,
  // Deleted its day, Open a follow-up date when there is none).
  bool setFields(const std::vector<std::pair<std::string, std::string>>& fields);
  // The carriers of the patient's open cases, the choices for an insurance party.
  std::vector<std::string> carriersOfPatient(const std::string& chartNumber);
  // Checks and stores the item; false with the message when a check fails.
  bool save();

 private:
  void fillFromParty();

  store::Connection& practice_;
  ui::Prompter& prompter_;
  const ui::Clock& clock_;
  std::optional<store::Record> record_;
  bool isNew_ = false;
};

}  // namespace vantrell::collections
