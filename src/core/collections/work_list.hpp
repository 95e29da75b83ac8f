#pragma once

#include <cstdint>
#include <string>

#include "common/date.hpp"
#include "common/money.hpp"
#include "store/connection.hpp"

namespace vantrell::collections {

// A collection follow-up as its maker hands it over: who owes ("P" an account,
// "I" an insurance carrier), the patient it concerns, the balance owed when it
// was made and the user it is assigned to.
struct WorkListItem {
  std::string responsibleType;
  std::string responsibleParty;
  std::string patient;
  std::string guarantor;
  Money balance;
  std::string assignedUser;
  std::string groupNumber;
  std::string policyNumber;
  Date followUpDate;
  std::string action;
};

// Appends one open item to the work list and returns its item number. The item
// is marked as changed by the session's user.
std::int64_t addWorkListItem(store::Connection& practice, const WorkListItem& item);

}  // namespace vantrell::collections
