#include <fmt/format.h>

#include <algorithm>
#include <cctype>

#include "reports/day_sheets.hpp"
#include "security/security.hpp"

namespace vantrell::reports {

namespace {

std::string upper(std::string_view text) {
  std::string result(text);
  for (char& letter : result)
    letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
  return result;
}

std::string trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

RangeQuestion ledgerRange(const char* field) {
  return {"QVTRN", field, false, {}, {}, false};
}
RangeQuestion patientRange(const char* field) {
  return {"QVPAT", field, false, {}, {}, false};
}
RangeQuestion ledgerDates(const char* field) {
  return {"QVTRN", field, true, {}, {}, false};
}

// The date question whose emptiness makes the header read "Ending" + today.
const char* reportDateField(LedgerReportKind kind) {
  return kind == LedgerReportKind::PracticeAnalysis ? "Date From" : "Date Created";
}

std::string rangeLine(const RangeQuestion& question) {
  if (question.from == question.to) return fmt::format("{}: {}", question.field, question.from);
  if (question.to.empty()) return fmt::format("{}: from {}", question.field, question.from);
  if (question.from.empty()) return fmt::format("{}: through {}", question.field, question.to);
  return fmt::format("{}: {} to {}", question.field, question.from, question.to);
}

}  // namespace

std::string ledgerReportTitle(LedgerReportKind kind) {
  switch (kind) {
    case LedgerReportKind::PatientDaySheet:
      return "Patient Day Sheet";
    case LedgerReportKind::ProcedureDaySheet:
      return "Procedure Day Sheet";
    case LedgerReportKind::PaymentDaySheet:
      return "Payment Day Sheet";
    case LedgerReportKind::PracticeAnalysis:
      return "Practice Analysis";
  }
  return {};
}

LedgerReportRights ledgerReportRights(LedgerReportKind kind) {
  switch (kind) {
    case LedgerReportKind::PatientDaySheet:
      return {88, 89, 90};
    case LedgerReportKind::ProcedureDaySheet:
      return {91, 92, 93};
    case LedgerReportKind::PaymentDaySheet:
      return {94, 95, 96};
    case LedgerReportKind::PracticeAnalysis:
      return {98, 99, -1};
  }
  return {-1, -1, -1};
}

std::string questionDefault(std::string_view text, Date today) {
  if (upper(trimmed(text)) != "TODAY") return std::string(text);
  const auto day = today.value();
  return fmt::format("{}/{}/{}", static_cast<unsigned>(day.month()),
                     static_cast<unsigned>(day.day()), static_cast<int>(day.year()));
}

LedgerReportDialog::LedgerReportDialog(LedgerReportKind kind, ui::Prompter& prompter, Date today,
                                       security::Security* security)
    : kind_(kind), prompter_(prompter), today_(today), security_(security) {
  RangeQuestion created = ledgerDates("Date Created");
  created.from = questionDefault("TODAY", today);
  created.to = created.from;
  switch (kind) {
    case LedgerReportKind::PatientDaySheet:
    case LedgerReportKind::ProcedureDaySheet:
      ranges_ = {ledgerRange("Chart Number"),      created,
                 ledgerDates("Date From"),         ledgerRange("Attending Provider"),
                 patientRange("Billing Code"),     ledgerRange("Facility"),
                 patientRange("Patient Indicator")};
      break;
    case LedgerReportKind::PaymentDaySheet:
      ranges_ = {ledgerRange("Attending Provider"), created, ledgerDates("Date From"),
                 ledgerRange("Facility")};
      break;
    case LedgerReportKind::PracticeAnalysis:
      ranges_ = {ledgerDates("Date From"), ledgerRange("Procedure Code"),
                 ledgerRange("Attending Provider"), ledgerRange("Chart Number")};
      break;
  }
  choices_ = {{practiceTotalsChoice, false, true}, {blankFacilityChoice, false, true}};
}

bool LedgerReportDialog::open() {
  if (security_ == nullptr || !security_->isOn()) return true;
  const LedgerReportRights rights = ledgerReportRights(kind_);
  const bool whole = security_->holds(rights.report);
  const bool own = rights.currentUser >= 0 && security_->holds(rights.currentUser);
  if (!whole && !own) {
    security_->hasPermission(rights.report, false);  // shows the refusal
    return false;
  }
  if (rights.currentUser >= 0) {
    RangeQuestion user = ledgerRange("User Code");
    // Only a user with both rights may look at other users' entries.
    if (!(whole && own)) {
      user.from = user.to = security_->userCode();
      user.fixed = true;
    }
    const auto facility = std::find_if(ranges_.begin(), ranges_.end(), [](const RangeQuestion& q) {
      return q.field == "Patient Indicator" || q.field == "Facility";
    });
    // After the patient indicator where there is one, else after the facility.
    auto place = std::find_if(ranges_.begin(), ranges_.end(), [](const RangeQuestion& q) {
      return q.field == "Patient Indicator";
    });
    if (place == ranges_.end()) place = facility;
    ranges_.insert(place == ranges_.end() ? ranges_.end() : place + 1, user);
  }
  choices_[0].offered = security_->holds(rights.withTotals);
  return true;
}

bool LedgerReportDialog::setRange(std::string_view field, const std::string& from,
                                  const std::string& to) {
  for (RangeQuestion& question : ranges_) {
    if (question.field != field) continue;
    if (question.fixed) return true;
    question.from = questionDefault(from, today_);
    question.to = questionDefault(to, today_);
    return true;
  }
  return false;
}

bool LedgerReportDialog::setChoice(std::string_view text, std::string_view answer) {
  const std::string word = upper(trimmed(answer));
  if (word != "YES" && word != "TRUE" && word != "NO" && word != "FALSE") return false;
  for (ChoiceQuestion& choice : choices_) {
    if (choice.text != text) continue;
    if (!choice.offered) return false;
    choice.answer = word == "YES" || word == "TRUE";
    return true;
  }
  return false;
}

std::optional<LedgerSelection> LedgerReportDialog::confirm() {
  LedgerSelection selection;
  selection.kind = kind_;
  bool dateBounded = false;
  for (const RangeQuestion& question : ranges_) {
    const std::string from = trimmed(question.from);
    const std::string to = trimmed(question.to);
    if (from.empty() && to.empty()) continue;
    FieldRange range{question.table, question.field, {}, {}};
    if (question.date) {
      for (const auto& [text, bound] : {std::pair{&from, &range.from}, std::pair{&to, &range.to}}) {
        if (text->empty()) continue;
        const auto date = Date::parse(*text);
        if (!date) {
          prompter_.error(invalidDateMessage(*text));
          return std::nullopt;
        }
        *bound = *date;
      }
      if (question.field == reportDateField(kind_)) dateBounded = true;
    } else {
      // Codes are compared without regard to letter case, as their indexes are.
      if (!from.empty()) range.from = upper(from);
      if (!to.empty()) range.to = upper(to);
    }
    selection.ranges.push_back(std::move(range));
    if (question.field == "User Code")
      selection.headerLines.push_back("User code " +
                                      (from == to ? from : fmt::format("{} to {}", from, to)));
    else
      selection.headerLines.push_back(
          rangeLine({question.table, question.field, question.date, from, to}));
  }
  if (!dateBounded) selection.headerLines.push_back("Ending " + questionDefault("TODAY", today_));
  selection.practiceTotals = choices_[0].offered && choices_[0].answer;
  selection.blankFacility = choices_[1].answer;
  if (selection.blankFacility) selection.headerLines.push_back("Blank facility only");
  return selection;
}

std::string invalidDateMessage(const std::string& typed) {
  return fmt::format("\"{}\" is not a valid date.", typed);
}

}  // namespace vantrell::reports
