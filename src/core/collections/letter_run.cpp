#include "collections/letter_run.hpp"

#include <map>
#include <set>
#include <tuple>

#include "collections/plan_check.hpp"
#include "collections/work_list.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"

namespace vantrell::collections {
namespace {

std::string textLiteral(const std::string& text) {
  return text.find('\'') == std::string::npos ? "'" + text + "'" : "\"" + text + "\"";
}

std::string dateLiteral(Date day) {
  return "CTOD('" + day.toMonthDayYear() + "')";
}

std::string selectionFilter(const LetterRunCriteria& criteria) {
  std::vector<std::string> conditions = {"Responsible Type = 'P'"};
  const auto text = [&](const char* field, const std::string& from, const std::string& to) {
    if (!from.empty()) conditions.push_back(std::string(field) + " >= " + textLiteral(from));
    if (!to.empty()) conditions.push_back(std::string(field) + " <= " + textLiteral(to));
  };
  const auto date = [&](const char* field, Date from, Date to) {
    if (!from.isEmpty()) conditions.push_back(std::string(field) + " >= " + dateLiteral(from));
    if (!to.isEmpty()) conditions.push_back(std::string(field) + " <= " + dateLiteral(to));
  };
  text("Responsible Party", criteria.partyFrom, criteria.partyTo);
  text("Patient", criteria.patientFrom, criteria.patientTo);
  date("Follow Up Date", criteria.followUpFrom, criteria.followUpTo);
  date("Date Created", criteria.createdFrom, criteria.createdTo);
  if (criteria.itemFrom > 0)
    conditions.push_back("Item Number >= " + std::to_string(criteria.itemFrom));
  if (criteria.itemTo > 0)
    conditions.push_back("Item Number <= " + std::to_string(criteria.itemTo));
  if (!criteria.status.empty()) conditions.push_back("Status = " + textLiteral(criteria.status));
  std::string filter;
  for (const auto& condition : conditions) filter += (filter.empty() ? "" : " AND ") + condition;
  return filter;
}

std::string fullName(const store::Record& patient) {
  std::string name = patient.text("First Name");
  if (!patient.text("Middle Initial").empty()) name += " " + patient.text("Middle Initial") + ".";
  return name + " " + patient.text("Last Name");
}

std::vector<std::string> addressOf(const store::Record& patient) {
  std::vector<std::string> lines;
  for (const char* field : {"Street 1", "Street 2"}) {
    if (!patient.text(field).empty()) lines.push_back(patient.text(field));
  }
  lines.push_back(patient.text("City") + ", " + patient.text("State") + " " +
                  patient.text("Zip Code"));
  return lines;
}

void setFlag(store::Connection& practice, const std::string& chart, const char* field, bool value) {
  store::Table patients = practice.openTable("QVPAT");
  patients.setOrder("Primary");
  auto patient = patients.seek({store::Value{chart}});
  if (!patient || (!patient->isEmpty(field) && patient->logical(field) == value)) return;
  patient->set(field, value);
  patients.post(*patient);
}

}  // namespace

std::vector<std::string> letterReasons(const LetterRunCriteria& criteria, Date today) {
  std::vector<std::string> reasons;
  const auto age = [&](Date day) { return (today.days() - day.days()).count(); };
  if (!criteria.createdFrom.isEmpty() && !criteria.createdTo.isEmpty())
    reasons.push_back(" This item is between " + std::to_string(age(criteria.createdTo)) +
                      " days old and " + std::to_string(age(criteria.createdFrom)) + " days old.");
  else if (!criteria.createdTo.isEmpty())
    reasons.push_back(" This item is at least " + std::to_string(age(criteria.createdTo)) +
                      " days old.");
  if (criteria.balanceFrom > Money())
    reasons.push_back(" The outstanding balance is greater than " +
                      criteria.balanceFrom.toString());
  return reasons;
}

std::optional<LetterRunResult> runCollectionLetters(store::Connection& practice,
                                                    ui::Prompter& prompter, const ui::Clock& clock,
                                                    const LetterRunCriteria& criteria,
                                                    ui::Progress* progress) {
  for (const auto& refusal : {dateRangeRefusal(criteria.followUpFrom, criteria.followUpTo),
                              dateRangeRefusal(criteria.createdFrom, criteria.createdTo)}) {
    if (refusal) {
      prompter.error(*refusal);
      return std::nullopt;
    }
  }
  store::ensureTable(practice, "QVWRK");
  store::ensureTable(practice, "QVWTR");
  store::ensureTable(practice, "QVPPL");
  const Date today = clock.today();

  // The newest item of each patient and party: later items replace earlier ones.
  store::Table items = practice.openTable("QVWRK");
  items.setOrder("Primary");
  items.setFilter(selectionFilter(criteria));
  std::map<std::pair<std::string, std::string>, store::Record> newest;
  items.forEach([&](const store::Record& item) {
    const Money balance = item.money("Balance");
    if (balance < criteria.balanceFrom || criteria.balanceTo < balance) return;
    newest.insert_or_assign({item.text("Responsible Party"), item.text("Patient")}, item);
  });
  if (newest.empty()) {
    prompter.inform("No work list items match the selections. There is no report to print.");
    return std::nullopt;
  }

  LetterRunResult result;
  result.reasons = letterReasons(criteria, today);
  store::Table patients = practice.openTable("QVPAT");
  patients.setOrder("Primary");
  std::map<std::string, CollectionLetter> letters;
  std::set<std::string> checked;
  ui::SilentProgress silent;
  ui::Progress& meter = progress != nullptr ? *progress : silent;
  if (criteria.excludeFollowingPlan)
    meter.begin(
        "Determining if patient is following payment plan.\nNote: If you abort this process "
        "your report will not Print",
        static_cast<std::int64_t>(newest.size()));
  std::int64_t done = 0;
  for (auto& [key, item] : newest) {
    const auto& [party, patient] = key;
    if (criteria.excludeFollowingPlan) {
      if (!meter.advance(done++)) {
        meter.end();
        return std::nullopt;
      }
      const bool follows = checkPaymentPlan(practice, patient, today).keepsToPlan;
      if (checked.insert(patient).second) {
        setFlag(practice, patient, "Followed Plan", follows);
        if (follows) result.followedPlan.push_back(patient);
      }
      if (follows) continue;
    }
    const auto account = patients.seek({store::Value{party}});
    // An account paid off since the item was made gets no letter.
    if (!account || account->number("Patient Reference Balance") <= 0) continue;
    auto& letter = letters[party];
    if (letter.party.empty()) {
      letter.party = party;
      letter.name = fullName(*account);
      letter.address = addressOf(*account);
      letter.balance = account->money("Patient Reference Balance");
    }
    const auto person = patients.seek({store::Value{patient}});
    letter.items.push_back({item.integer("Item Number"), patient,
                            person ? fullName(*person) : patient, item.money("Balance")});
    result.printedItems.push_back(item);
  }
  if (criteria.excludeFollowingPlan) meter.end();
  if (letters.empty()) {
    if (!result.followedPlan.empty())
      prompter.inform(
          "All of the patients for this report have followed the payment plan.  There is no "
          "report to print.");
    else
      prompter.inform("No account in the selection owes a balance. There is no report to print.");
    return std::nullopt;
  }
  for (auto& [party, letter] : letters) result.letters.push_back(std::move(letter));

  return result;
}

std::size_t recordCollectionLetters(store::Connection& practice, const ui::Clock& clock,
                                    const LetterRunCriteria& criteria, LetterRunResult& run) {
  std::string reasons;
  for (const auto& reason : run.reasons) reasons += (reasons.empty() ? "" : "\n") + reason;
  std::size_t written = 0;
  store::Transaction transaction(practice);
  store::Table items = practice.openTable("QVWRK");
  store::Table tracer = practice.openTable("QVWTR");
  store::Table patients = practice.openTable("QVPAT");
  patients.setOrder("Primary");
  for (auto& item : run.printedItems) {
    const std::string party = item.text("Responsible Party");
    const std::string patient = item.text("Patient");
    if (criteria.generateLetters) {
      setFlag(practice, patient, "In Collections", true);
      setFlag(practice, party, "In Collections", true);
    }
    if (!criteria.addToTracer) continue;
    store::Record sent = tracer.newRecord();
    sent.set("Responsible Party", party);
    sent.set("Patient Chart", patient);
    const auto account = patients.seek({store::Value{party}});
    sent.set("Balance", account ? account->number("Patient Reference Balance") : 0.0);
    sent.set("Date Letter Sent", clock.today());
    sent.set("Reasons", reasons);
    sent.set("Modified By", practice.userCode());
    tracer.append(sent);
    ++written;
    // The item counts the letters sent about it.
    item.set("Tracer", item.integer("Tracer") + 1);
    item.set("Modified By", practice.userCode());
    items.post(item);
  }
  transaction.commit();
  return written;
}

}  // namespace vantrell::collections
