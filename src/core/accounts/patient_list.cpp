#include "accounts/patient_list.hpp"

#include "store/expression.hpp"
#include "store/names.hpp"
#include "store/table_creation.hpp"

namespace vantrell::accounts {
namespace {

const char* tagOf(PatientSearch by) {
  switch (by) {
    case PatientSearch::ChartNumber:
      return "Primary";
    case PatientSearch::Name:
      return "Idxname";
    case PatientSearch::SocialSecurityNumber:
      return "SSN";
    case PatientSearch::PatientId2:
      return "Idxpatid";
  }
  return "Primary";
}

std::string trimmed(std::string_view text) {
  const auto start = text.find_first_not_of(' ');
  if (start == std::string_view::npos) return {};
  return std::string(store::trimRight(text.substr(start)));
}

}  // namespace

PatientList::PatientList(store::Connection& practice, ui::Prompter& prompter,
                         security::Security* security)
    : practice_(practice),
      prompter_(prompter),
      security_(security),
      patients_((store::ensureTable(practice, "QVPAT"), store::ensureTable(practice, "QVCAS"),
                 practice.openTable("QVPAT"))) {
  patients_.setOrder("Primary");
}

void PatientList::search(PatientSearch by, const std::string& text) {
  by_ = by;
  patients_.clearFilter();
  patients_.setOrder(tagOf(by));
  std::vector<store::Value> from;
  if (by == PatientSearch::Name) {
    const auto comma = text.find(',');
    const std::string last = trimmed(text.substr(0, comma));
    if (!last.empty() || comma != std::string::npos) from.emplace_back(last);
    if (comma != std::string::npos) {
      const std::string first = trimmed(std::string_view(text).substr(comma + 1));
      if (!first.empty()) from.emplace_back(first);
    }
  } else if (!trimmed(text).empty()) {
    from.emplace_back(trimmed(text));
  }
  cursor_ = store::PageCursor(std::move(from));
}

void PatientList::filter(PatientSearch by, const std::string& text) {
  by_ = by;
  patients_.setOrder(tagOf(by));
  std::string filter;
  switch (by) {
    case PatientSearch::ChartNumber:
      filter = store::containsAnyFilter({"Chart Number", "Last Name", "First Name"}, text);
      break;
    case PatientSearch::Name: {
      const auto comma = text.find(',');
      const std::string last = store::containsAnyFilter({"Last Name"}, text.substr(0, comma));
      const std::string first =
          comma == std::string::npos
              ? std::string()
              : store::containsAnyFilter({"First Name"}, text.substr(comma + 1));
      filter = last.empty() || first.empty() ? last + first : last + " AND " + first;
      break;
    }
    case PatientSearch::SocialSecurityNumber:
      filter = store::containsAnyFilter({"Social Security Number"}, text);
      break;
    case PatientSearch::PatientId2:
      filter = store::containsAnyFilter({"Patient ID #2"}, text);
      break;
  }
  if (filter.empty())
    patients_.clearFilter();
  else
    patients_.setFilter(filter);
  cursor_ = store::PageCursor();
}

std::vector<store::Record> PatientList::nextPage(std::size_t limit) {
  return patients_.nextPage(cursor_, limit);
}

std::int64_t PatientList::patientCount() {
  return patients_.count();
}

std::vector<store::Record> PatientList::casesOf(const std::string& chartNumber) {
  store::Table cases = practice_.openTable("QVCAS");
  cases.setOrder("Primary");
  const std::string chart = store::upperAscii(chartNumber);
  cases.setRange({store::Value{chart}}, {store::Value{chart}});
  std::vector<store::Record> found;
  cases.forEach([&](const store::Record& row) { found.push_back(row); });
  return found;
}

std::string PatientList::casesCaption(const store::Record& patient) {
  return "List of cases for: " + patient.text("Last Name") + ", " + patient.text("First Name");
}

bool PatientList::mayOpenAnotherCaseWindow() {
  if (openCaseWindows_ <= 0) return true;
  prompter_.error("Only one Case window can be opened at a time.");
  return false;
}

}  // namespace vantrell::accounts
