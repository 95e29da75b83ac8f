#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/date.hpp"
#include "common/money.hpp"
#include "store/connection.hpp"
#include "store/record.hpp"
#include "store/table.hpp"
#include "ui/clock.hpp"
#include "ui/prompter.hpp"

namespace vantrell::collections {

// Item statuses as stored.
namespace item_status {
inline constexpr const char* open = "0";
inline constexpr const char* resolved = "1";
inline constexpr const char* deleted = "D";
}  // namespace item_status

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

// What a status change stamps on an item: Resolved the day it was resolved,
// Deleted the day it was deleted, Open a follow-up date of today when it has none.
void stampStatus(store::Record& item, const std::string& status, Date today);

// "Invalid date range. 1/2/2026 is earlier than 1/5/2026" when `to` lies before `from`.
std::optional<std::string> dateRangeRefusal(Date from, Date to);
// A date as filters show it: "m/d/yyyy".
std::string filterDate(Date day);

// The conditions of the work list's filter, joined by AND when given.
struct WorkListFilter {
  enum class Deleted { Include, Exclude, Only };
  std::vector<std::string> users;  // any of them; empty: every user
  bool showAllTicklers = false;    // drops the user condition
  Date createdFrom, createdTo;
  Date resolvedFrom, resolvedTo;
  std::string responsibleType;  // "P", "I" or any
  std::string status;           // "0", "1" or any
  std::string patientFrom, patientTo;
  std::string responsibleParty;
  Deleted deleted = Deleted::Exclude;
};

// The filter as the system's filter expression; values are bound when it is parsed.
std::string workListFilterText(const WorkListFilter& filter);

// Which items a status change touches and what it does to them.
struct StatusChange {
  enum class Scope { All, Selected };
  Scope scope = Scope::Selected;
  std::optional<std::string> from;  // "0", "1", "D", or "*" for any status type
  std::optional<std::string> to;    // "0", "1", "D"
  Date followUp;                    // empty: dates stay
};

// What "Reassign Ticklers that match" asks; empty parts do not restrict.
struct ReassignCriteria {
  std::string chartFrom, chartTo;
  Date followUpFrom, followUpTo;
  std::optional<Money> balanceAbove;
  bool patients = false;
  bool insurance = false;
  std::vector<std::string> carriers;
  std::string insuranceClass;
  std::string currentUser;
};

// The work list window: the items of its filter, read a page at a time in
// follow-up order, and the commands that change them. Items are never removed.
class WorkList {
 public:
  WorkList(store::Connection& practice, ui::Prompter& prompter, const ui::Clock& clock);

  // Checks the date ranges and restricts the list; false with the message when a range runs
  // backwards.
  bool setFilter(const WorkListFilter& filter);
  const WorkListFilter& filter() const { return filter_; }
  // The next items of the list in follow-up date order.
  std::vector<store::Record> nextPage(store::PageCursor& cursor, std::size_t limit);
  // Where a walk of the list as the collector works it has got to.
  struct WorkingCursor {
    bool inToday = true;
    store::PageCursor today, rest;
  };
  // The next items as the collector works them: the items to follow up today
  // first, then the others in follow-up date order.
  std::vector<store::Record> nextWorkingPage(WorkingCursor& cursor, std::size_t limit);
  std::int64_t count();
  std::optional<store::Record> item(std::int64_t number);

  // Soft delete after the question: status "D" and today's Date Deleted.
  bool remove(const std::vector<std::int64_t>& items);
  // Status and follow-up date change; `selected` is used for the Selected scope.
  // Returns false with the message when the choice is incomplete or not confirmed.
  bool changeStatus(const StatusChange& change, const std::vector<std::int64_t>& selected);
  // Hands the matching items of the list to `targetUser`; the count changed, or none when refused.
  std::optional<std::size_t> reassign(const ReassignCriteria& criteria,
                                      const std::string& targetUser);

 private:
  std::vector<std::int64_t> displayedNumbers(
      const std::function<bool(const store::Record&)>& wanted);
  std::vector<std::string> carriersOfClass(const std::string& insuranceClass);
  void write(store::Record& item);

  store::Connection& practice_;
  ui::Prompter& prompter_;
  const ui::Clock& clock_;
  store::Table items_;
  WorkListFilter filter_;
};

}  // namespace vantrell::collections
