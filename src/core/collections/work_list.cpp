#include "collections/work_list.hpp"

#include <algorithm>
#include <cctype>
#include <functional>

#include "store/errors.hpp"
#include "store/table_creation.hpp"

namespace vantrell::collections {
namespace {

// A text as a literal of the filter language; the parser binds it as a value.
std::string literal(const std::string& text) {
  if (text.find('\'') == std::string::npos) return "'" + text + "'";
  if (text.find('"') == std::string::npos) return "\"" + text + "\"";
  throw store::InputError("The value " + text +
                          " holds both kinds of quote and cannot be searched for.");
}

std::string dateLiteral(Date day) {
  return "CTOD('" + day.toMonthDayYear() + "')";
}

void addRange(std::vector<std::string>& conditions, const std::string& field, Date from, Date to) {
  if (!from.isEmpty()) conditions.push_back(field + " >= " + dateLiteral(from));
  if (!to.isEmpty()) conditions.push_back(field + " <= " + dateLiteral(to));
}

std::string upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::int64_t addWorkListItem(store::Connection& practice, const WorkListItem& item) {
  store::ensureTable(practice, "QVWRK");
  store::Table items = practice.openTable("QVWRK");
  store::Record row = items.newRecord();
  row.set("Responsible Type", item.responsibleType);
  row.set("Responsible Party", item.responsibleParty);
  row.set("Patient", item.patient);
  row.set("Guarantor", item.guarantor);
  row.set("Status", std::string(item_status::open));
  row.set("User ID", item.assignedUser);
  row.set("Balance", item.balance.toDouble());
  row.set("Tracer", std::int64_t{0});
  if (!item.groupNumber.empty()) row.set("Group Number", item.groupNumber);
  if (!item.policyNumber.empty()) row.set("Policy Number", item.policyNumber);
  if (!item.followUpDate.isEmpty()) row.set("Follow Up Date", item.followUpDate);
  if (!item.action.empty()) row.set("Action", item.action);
  row.set("Modified By", practice.userCode());
  // Date Created is stamped by the append.
  items.append(row);
  return row.integer("Item Number");
}

void stampStatus(store::Record& item, const std::string& status, Date today) {
  item.set("Status", status);
  if (status == item_status::resolved) item.set("Date Resolved", today);
  if (status == item_status::deleted) item.set("Date Deleted", today);
  if (status == item_status::open && item.isEmpty("Follow Up Date"))
    item.set("Follow Up Date", today);
}

std::string filterDate(Date day) {
  const auto ymd = day.value();
  return std::to_string(static_cast<unsigned>(ymd.month())) + "/" +
         std::to_string(static_cast<unsigned>(ymd.day())) + "/" +
         std::to_string(static_cast<int>(ymd.year()));
}

std::optional<std::string> dateRangeRefusal(Date from, Date to) {
  if (from.isEmpty() || to.isEmpty() || !(to < from)) return std::nullopt;
  return "Invalid date range. " + filterDate(to) + " is earlier than " + filterDate(from);
}

std::string workListFilterText(const WorkListFilter& filter) {
  std::vector<std::string> conditions;
  if (!filter.showAllTicklers && !filter.users.empty()) {
    std::string users;
    for (const auto& user : filter.users)
      users +=
          (users.empty() ? "" : " OR ") + std::string("UPPER(User ID) = ") + literal(upper(user));
    conditions.push_back("(" + users + ")");
  }
  addRange(conditions, "Date Created", filter.createdFrom, filter.createdTo);
  addRange(conditions, "Date Resolved", filter.resolvedFrom, filter.resolvedTo);
  if (!filter.responsibleType.empty())
    conditions.push_back("Responsible Type = " + literal(filter.responsibleType));
  if (!filter.status.empty()) conditions.push_back("Status = " + literal(filter.status));
  if (!filter.patientFrom.empty())
    conditions.push_back("UPPER(Patient) >= " + literal(upper(filter.patientFrom)));
  if (!filter.patientTo.empty())
    conditions.push_back("UPPER(Patient) <= " + literal(upper(filter.patientTo)));
  if (!filter.responsibleParty.empty())
    conditions.push_back("UPPER(Responsible Party) = " + literal(upper(filter.responsibleParty)));
  if (filter.deleted == WorkListFilter::Deleted::Exclude) conditions.push_back("Status <> 'D'");
  if (filter.deleted == WorkListFilter::Deleted::Only) conditions.push_back("Status = 'D'");
  std::string text;
  for (const auto& condition : conditions) text += (text.empty() ? "" : " AND ") + condition;
  return text;
}

WorkList::WorkList(store::Connection& practice, ui::Prompter& prompter, const ui::Clock& clock)
    : practice_(practice),
      prompter_(prompter),
      clock_(clock),
      items_((store::ensureTable(practice, "QVWRK"), practice.openTable("QVWRK"))) {
  items_.setOrder("By Follow Up Date");
  items_.setFilter(workListFilterText(filter_));
}

bool WorkList::setFilter(const WorkListFilter& filter) {
  for (const auto& refusal : {dateRangeRefusal(filter.createdFrom, filter.createdTo),
                              dateRangeRefusal(filter.resolvedFrom, filter.resolvedTo)}) {
    if (refusal) {
      prompter_.error(*refusal);
      return false;
    }
  }
  try {
    items_.setFilter(workListFilterText(filter));
  } catch (const store::InputError& error) {
    prompter_.error(error.what());
    return false;
  }
  filter_ = filter;
  return true;
}

std::vector<store::Record> WorkList::nextPage(store::PageCursor& cursor, std::size_t limit) {
  return items_.nextPage(cursor, limit);
}

std::vector<store::Record> WorkList::nextWorkingPage(WorkingCursor& cursor, std::size_t limit) {
  const std::string base = workListFilterText(filter_);
  const std::string today = dateLiteral(clock_.today());
  const auto within = [&](const std::string& condition) {
    return base.empty() ? condition : "(" + base + ") AND " + condition;
  };
  std::vector<store::Record> page;
  if (cursor.inToday) {
    store::Table rows = practice_.openTable("QVWRK");
    rows.setOrder("Primary");
    rows.setFilter(within("Follow Up Date = " + today));
    page = rows.nextPage(cursor.today, limit);
    if (page.size() == limit) return page;
    cursor.inToday = false;
  }
  store::Table rows = practice_.openTable("QVWRK");
  rows.setOrder("By Follow Up Date");
  rows.setFilter(within("(EMPTY(Follow Up Date) OR Follow Up Date <> " + today + ")"));
  for (auto& row : rows.nextPage(cursor.rest, limit - page.size())) page.push_back(std::move(row));
  return page;
}

std::int64_t WorkList::count() {
  return items_.count();
}

std::optional<store::Record> WorkList::item(std::int64_t number) {
  store::Table rows = practice_.openTable("QVWRK");
  rows.setOrder("Primary");
  return rows.seek({store::Value{number}});
}

void WorkList::write(store::Record& item) {
  item.set("Modified By", practice_.userCode());
  store::Table rows = practice_.openTable("QVWRK");
  rows.post(item);
}

std::vector<std::int64_t> WorkList::displayedNumbers(
    const std::function<bool(const store::Record&)>& wanted) {
  // Only the numbers are kept: a list of thousands is read a page at a time
  // and each item is read afresh when it is changed.
  std::vector<std::int64_t> numbers;
  items_.forEach([&](const store::Record& row) {
    if (wanted(row)) numbers.push_back(row.integer("Item Number"));
  });
  return numbers;
}

bool WorkList::remove(const std::vector<std::int64_t>& items) {
  if (items.empty()) return false;
  if (!prompter_.askYesNo(
          "Deleting a Work List item will change the status to Deleted.\nThis will remove the "
          "item(s) from the active list.\n\nAre you sure you want to delete the item(s)?"))
    return false;
  store::Transaction transaction(practice_);
  for (const auto number : items) {
    auto row = item(number);
    if (!row) continue;
    stampStatus(*row, item_status::deleted, clock_.today());
    write(*row);
  }
  transaction.commit();
  return true;
}

bool WorkList::changeStatus(const StatusChange& change, const std::vector<std::int64_t>& selected) {
  if (!change.from && change.followUp.isEmpty()) {
    prompter_.error(
        "The 'from' status was not selected and the 'Follow Up Date' was not entered.\rOne of "
        "these needs to be entered. No changes were made");
    return false;
  }
  if (change.from && !change.to) {
    prompter_.error("The 'to' status was not selected.  No changes were made");
    return false;
  }
  std::vector<std::int64_t> scope = selected;
  if (change.scope == StatusChange::Scope::All) {
    if (!prompter_.askYesNo("You have selected ALL Ticklers. Do you want to continue?"))
      return false;
    scope = displayedNumbers([](const store::Record&) { return true; });
  }
  store::Transaction transaction(practice_);
  for (const auto number : scope) {
    auto found = item(number);
    if (!found) continue;
    store::Record& row = *found;
    bool changed = false;
    // The new date first, so that reopening does not stamp today over it.
    if (!change.followUp.isEmpty()) {
      row.set("Follow Up Date", change.followUp);
      changed = true;
    }
    if (change.from && (*change.from == "*" || row.text("Status") == *change.from)) {
      stampStatus(row, *change.to, clock_.today());
      changed = true;
    }
    if (changed) write(row);
  }
  transaction.commit();
  return true;
}

std::vector<std::string> WorkList::carriersOfClass(const std::string& insuranceClass) {
  std::vector<std::string> codes;
  store::Table carriers = practice_.openTable("QVINS");
  carriers.setFilter("UPPER(Insurance Class) = " + literal(upper(insuranceClass)));
  carriers.forEach([&](const store::Record& row) { codes.push_back(upper(row.text("Code"))); });
  return codes;
}

std::optional<std::size_t> WorkList::reassign(const ReassignCriteria& criteria,
                                              const std::string& targetUser) {
  if (targetUser.empty()) {
    prompter_.error("The User Id that you want these ticklers assigned to has not been entered.");
    return std::nullopt;
  }
  const bool anyCriterion = !criteria.chartFrom.empty() || !criteria.chartTo.empty() ||
                            !criteria.followUpFrom.isEmpty() || !criteria.followUpTo.isEmpty() ||
                            criteria.balanceAbove || criteria.patients || criteria.insurance ||
                            !criteria.carriers.empty() || !criteria.insuranceClass.empty() ||
                            !criteria.currentUser.empty();
  if (!anyCriterion) {
    prompter_.error("You have not entered any selections for \"Reassign Ticklers that match\".");
    return std::nullopt;
  }
  std::vector<std::string> carriers;
  for (const auto& code : criteria.carriers) carriers.push_back(upper(code));
  if (!criteria.insuranceClass.empty()) {
    const auto ofClass = carriersOfClass(criteria.insuranceClass);
    carriers.insert(carriers.end(), ofClass.begin(), ofClass.end());
  }
  const bool byCarrier = !criteria.carriers.empty() || !criteria.insuranceClass.empty();
  const auto matches = [&](const store::Record& row) {
    const std::string patient = upper(row.text("Patient"));
    if (!criteria.chartFrom.empty() && patient < upper(criteria.chartFrom)) return false;
    if (!criteria.chartTo.empty() && patient > upper(criteria.chartTo)) return false;
    const Date followUp = row.date("Follow Up Date");
    if (!criteria.followUpFrom.isEmpty() &&
        (followUp.isEmpty() || followUp < criteria.followUpFrom))
      return false;
    if (!criteria.followUpTo.isEmpty() && (followUp.isEmpty() || criteria.followUpTo < followUp))
      return false;
    if (criteria.balanceAbove && !(row.money("Balance") > *criteria.balanceAbove)) return false;
    const std::string type = row.text("Responsible Type");
    if (criteria.patients != criteria.insurance) {
      if (criteria.patients && type != "P") return false;
      if (criteria.insurance && type != "I") return false;
    }
    if (byCarrier &&
        (type != "I" || std::find(carriers.begin(), carriers.end(),
                                  upper(row.text("Responsible Party"))) == carriers.end()))
      return false;
    if (!criteria.currentUser.empty() && upper(row.text("User ID")) != upper(criteria.currentUser))
      return false;
    return true;
  };
  const std::vector<std::int64_t> matching = displayedNumbers(matches);
  if (matching.empty()) {
    prompter_.inform(
        "There were no items that fit your selection from the current displayed items.");
    return std::nullopt;
  }
  store::Transaction transaction(practice_);
  for (const auto number : matching) {
    auto row = item(number);
    if (!row) continue;
    row->set("User ID", targetUser);
    write(*row);
  }
  transaction.commit();
  return matching.size();
}

}  // namespace vantrell::collections
