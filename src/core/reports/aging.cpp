#include "reports/aging.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <unordered_map>

#include <fmt/format.h>

#include "collections/work_list.hpp"
#include "statements/statement_rules.hpp"
#include "store/driver.hpp"
#include "store/names.hpp"
#include "store/sql_expression.hpp"

namespace vantrell::reports {

using store::FieldType;

AgingSettings AgingSettings::read(const practice::Options& options) {
  AgingSettings settings;
  settings.patient.start = options.number("Pat Aging Column 1 Start");
  settings.patient.end = options.number("Pat Aging Column 1 End");
  settings.patient.column2 = options.number("Pat Aging Column 2");
  settings.patient.column3 = options.number("Pat Aging Column 3");
  settings.insurance.start = options.number("Ins Aging Column 1 Start");
  settings.insurance.end = options.number("Ins Aging Column 1 End");
  settings.insurance.column2 = options.number("Ins Aging Column 2");
  settings.insurance.column3 = options.number("Ins Aging Column 3");
  settings.insurance.column4 = options.number("Ins Aging Column 4");
  settings.ageByStatementDate = options.flag("Pat Age By Statement Date");
  settings.ageByDateFrom = options.flag("Pat Age By Date From");
  settings.enforceAcceptAssignment = options.flag("Enforce Accept Assignment");
  return settings;
}

std::string noAgingDataText(AgingKind kind) {
  return kind == AgingKind::Patient ? "There is no data to print"
                                    : "There is no data for this report.";
}

namespace {

// A statement being put together: its text and its bound values in order.
struct Sql {
  std::string text;
  std::vector<store::Value> values;

  Sql& operator<<(const std::string& part) {
    text += part;
    return *this;
  }
  Sql& bind(store::Value value) {
    text += "?";
    values.push_back(std::move(value));
    return *this;
  }
};

std::string upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

TextRange upperRange(const TextRange& range) {
  return {upper(range.from), upper(range.to)};
}

// " AND column >= ? AND column <= ?" for the ends that were given.
void addRange(Sql& sql, const std::string& column, const TextRange& range) {
  if (!range.from.empty()) (sql << " AND " << column << " >= ").bind(range.from);
  if (!range.to.empty()) (sql << " AND " << column << " <= ").bind(range.to);
}

// Each stored amount counts as whole cents, rounded before it is added.
std::string cents(const std::string& field) {
  return "ROUND(COALESCE(t.\"" + field + "\", 0) * 100)";
}
const std::array<const char*, 6> paidFields{"Guarantor Amount Paid",   "Insurance 1 Amount Paid",
                                            "Insurance 2 Amount Paid", "Insurance 3 Amount Paid",
                                            "Attorney Amount Paid",    "Adjustment Amount"};
std::string paidCents() {
  std::string sum;
  for (const char* field : paidFields) sum += (sum.empty() ? "" : " + ") + cents(field);
  return sum;
}

std::string textAt(store::ResultRows& rows, std::size_t column) {
  const store::Value value = rows.column(column, FieldType::Character);
  const auto* text = std::get_if<std::string>(&value);
  return text != nullptr ? std::string(store::trimRight(*text)) : std::string();
}
std::int64_t centsAt(store::ResultRows& rows, std::size_t column) {
  const store::Value value = rows.column(column, FieldType::Double);
  const auto* number = std::get_if<double>(&value);
  return number != nullptr ? std::llround(*number) : 0;
}
std::int64_t integerAt(store::ResultRows& rows, std::size_t column) {
  const store::Value value = rows.column(column, FieldType::Integer);
  const auto* number = std::get_if<std::int64_t>(&value);
  return number != nullptr ? *number : 0;
}
Date dateAt(store::ResultRows& rows, std::size_t column) {
  const store::Value value = rows.column(column, FieldType::Date);
  const auto* date = std::get_if<Date>(&value);
  return date != nullptr ? *date : Date();
}
Date daysBefore(const Date& date, std::int64_t days) {
  return Date(std::chrono::year_month_day{date.days() - std::chrono::days{days}});
}
std::int64_t daysBetween(const Date& earlier, const Date& later) {
  return (later.days() - earlier.days()).count();
}

Value amountOrBlank(std::int64_t cents) {
  return cents == 0 ? Value() : Value(Money::fromCents(cents));
}

struct PatientInfo {
  std::string name;
  Date birth;
  std::string phone;
  std::string socialSecurity;
  Date lastPayment;
  std::int64_t lastPaymentCents = 0;
  bool found = false;
};

// The patients of the chart range, read once.
std::unordered_map<std::string, PatientInfo> readPatients(store::Connection& practice,
                                                          const TextRange& chart) {
  Sql sql;
  sql << "SELECT p.\"Chart Number\", p.\"Last Name\", p.\"First Name\", p.\"Middle Initial\", "
         "p.\"Date of Birth\", p.\"Phone 1\", p.\"Social Security Number\", "
         "p.\"Date of Last Payment\", ROUND(COALESCE(p.\"Last Payment Amount\", 0) * 100) "
         "FROM \"QVPAT\" p WHERE 1 = 1";
  addRange(sql, "p.\"Chart Number\"", chart);
  std::unordered_map<std::string, PatientInfo> patients;
  auto rows = practice.driver().query(sql.text, sql.values);
  while (rows->next()) {
    PatientInfo info;
    const std::string last = textAt(*rows, 1);
    const std::string first = textAt(*rows, 2);
    const std::string middle = textAt(*rows, 3);
    info.name = first.empty() ? last : last + ", " + first;
    if (!middle.empty()) info.name += " " + middle;
    info.birth = dateAt(*rows, 4);
    info.phone = textAt(*rows, 5);
    info.socialSecurity = textAt(*rows, 6);
    info.lastPayment = dateAt(*rows, 7);
    info.lastPaymentCents = centsAt(*rows, 8);
    info.found = true;
    patients.emplace(upper(textAt(*rows, 0)), std::move(info));
  }
  return patients;
}

const PatientInfo& patientOf(const std::unordered_map<std::string, PatientInfo>& patients,
                             const std::string& chart) {
  static const PatientInfo missing;
  const auto found = patients.find(upper(chart));
  return found == patients.end() ? missing : found->second;
}

// The questions asked of the transaction's patient record, as a condition on its chart.
void addPatientQuestions(Sql& sql, const AgingQuestions& questions) {
  if (!questions.billingCode.given() && !questions.patientIndicator.given()) return;
  sql << " AND t.\"Chart Number\" IN (SELECT p.\"Chart Number\" FROM \"QVPAT\" p WHERE 1 = 1";
  addRange(sql, "p.\"Billing Code\"", upperRange(questions.billingCode));
  addRange(sql, "p.\"Patient Indicator\"", questions.patientIndicator);
  sql << ")";
}

std::string rangeLine(const std::string& label, const TextRange& range) {
  return fmt::format("{}: {} to {}", label, range.from.empty() ? "(first)" : range.from,
                     range.to.empty() ? "(last)" : range.to);
}

std::string percentText(std::int64_t part, std::int64_t whole) {
  return fmt::format("{:.1f}", static_cast<double>(part) * 100.0 / static_cast<double>(whole));
}

// Counts what is done for the meter; false once the person pressed Abort.
class Meter {
 public:
  Meter(ui::Progress& progress, const std::string& caption, std::int64_t total)
      : progress_(progress) {
    progress_.begin(caption, total);
  }
  ~Meter() { progress_.end(); }
  Meter(const Meter&) = delete;
  Meter& operator=(const Meter&) = delete;
  bool step() { return progress_.advance(++done_); }

 private:
  ui::Progress& progress_;
  std::int64_t done_ = 0;
};

class Aborted {};

}  // namespace

AgingWindow::AgingWindow(store::Connection& practice, AgingSettings settings,
                         ui::Prompter& prompter, const ui::Clock& clock, AgingKind kind)
    : practice_(practice), settings_(settings), prompter_(prompter), clock_(clock), kind_(kind) {}

std::string AgingWindow::title() const {
  switch (kind_) {
    case AgingKind::Patient:
    case AgingKind::AppliedPatient:
      return settings_.ageByStatementDate ? "Patient Aging by Statement Date" : "Patient Aging";
    case AgingKind::Primary:
    case AgingKind::Secondary:
    case AgingKind::Tertiary: {
      static const std::array<const char*, 3> positions{"Primary", "Secondary", "Tertiary"};
      const auto index =
          static_cast<std::size_t>(kind_) - static_cast<std::size_t>(AgingKind::Primary);
      return fmt::format("{} Insurance Aging {}", positions.at(index),
                         questions_.detail ? "Detail" : "Summary");
    }
    case AgingKind::Remainder:
      return "Patient Remainder Aging";
    case AgingKind::RemainderDetail:
      return "Patient Remainder Aging Detail";
    case AgingKind::GuarantorRemainder:
      return "Guarantor Remainder Totals";
  }
  return {};
}

Header AgingWindow::header(std::string title, Date reportDate) const {
  Header header;
  header.title = std::move(title);
  header.runDate = clock_.today();
  if (practice_.tableExists("QVPRA")) {
    const auto result = practice_.executeSql("SELECT \"Practice Name\" FROM \"QVPRA\"");
    if (!result.rows.empty())
      if (const auto* name = std::get_if<std::string>(&result.rows.front().front()))
        header.practiceName = std::string(store::trimRight(*name));
  }
  const DateRange& dates = questions_.agingDate;
  if (!dates.from.isEmpty() && !dates.to.isEmpty() && dates.from != dates.to)
    header.ranges.push_back("From " + longDate(dates.from) + " to " + longDate(dates.to));
  else
    header.ranges.push_back("As of " + longDate(reportDate));
  if (questions_.chart.given())
    header.ranges.push_back(rangeLine("Chart Number", questions_.chart));
  if (questions_.provider.given())
    header.ranges.push_back(rangeLine("Attending Provider", questions_.provider));
  if (questions_.billingCode.given())
    header.ranges.push_back(rangeLine("Billing Code", questions_.billingCode));
  if (questions_.patientIndicator.given())
    header.ranges.push_back(rangeLine("Patient Indicator", questions_.patientIndicator));
  const DateRange& service = questions_.serviceDate;
  if (service.given())
    header.ranges.push_back(
        rangeLine("Date From", {service.from.isEmpty() ? std::string() : shortDate(service.from),
                                service.to.isEmpty() ? std::string() : shortDate(service.to)}));
  return header;
}

namespace {

// The message refusing a range that starts after it ends, or none.
std::optional<std::string> backwardsRange(const AgingQuestions& questions) {
  const std::array<std::pair<const char*, const TextRange*>, 5> texts{
      std::pair{"Chart Number", &questions.chart},
      std::pair{"Attending Provider", &questions.provider},
      std::pair{"Billing Code", &questions.billingCode},
      std::pair{"Patient Indicator", &questions.patientIndicator},
      std::pair{"Insurance Carrier", &questions.carrier}};
  for (const auto& [label, range] : texts)
    if (!range->from.empty() && !range->to.empty() && upper(range->from) > upper(range->to))
      return fmt::format("The {} range starts after it ends.", label);
  const std::array<std::pair<const char*, const DateRange*>, 2> dates{
      std::pair{"date", &questions.agingDate}, std::pair{"Date From", &questions.serviceDate}};
  for (const auto& [label, range] : dates)
    if (!range->from.isEmpty() && !range->to.isEmpty() && range->to < range->from)
      return fmt::format("The {} range starts after it ends.", label);
  return std::nullopt;
}

}  // namespace

std::optional<Report> AgingWindow::run(ui::Progress* progress) {
  ui::SilentProgress silent;
  ui::Progress& meter = progress != nullptr ? *progress : silent;
  printed_.clear();
  aborted_ = false;
  refused_ = false;
  if (const auto problem = backwardsRange(questions_)) {
    refused_ = true;
    prompter_.error(*problem);
    return std::nullopt;
  }
  Report report;
  try {
    switch (kind_) {
      case AgingKind::Patient:
      case AgingKind::AppliedPatient:
        report = patientAging(meter);
        break;
      case AgingKind::Primary:
        report = insuranceAging(meter, 1);
        break;
      case AgingKind::Secondary:
        report = insuranceAging(meter, 2);
        break;
      case AgingKind::Tertiary:
        report = insuranceAging(meter, 3);
        break;
      case AgingKind::Remainder:
      case AgingKind::RemainderDetail:
        report = remainderAging(meter);
        break;
      case AgingKind::GuarantorRemainder:
        report = guarantorRemainderTotals(meter);
        break;
    }
  } catch (const Aborted&) {
    aborted_ = true;
    printed_.clear();
    return std::nullopt;
  }
  if (report.empty()) {
    printed_.clear();
    prompter_.inform(noAgingDataText(kind_));
    return std::nullopt;
  }
  return report;
}

std::int64_t AgingWindow::close() {
  if (!questions_.addToWorkList || printed_.empty()) return 0;
  if (!prompter_.askYesNo(addToWorkListQuestion)) return 0;
  // The guarantor of each account: the one named on its cases, read once.
  std::unordered_map<std::string, std::string> guarantors;
  std::unordered_map<std::int64_t, std::pair<std::string, std::string>> policies;
  {
    auto rows = practice_.driver().query(
        "SELECT \"Chart Number\", \"Guarantor\", \"Case Number\" FROM \"QVCAS\" ORDER BY "
        "\"Case Number\"",
        {});
    while (rows->next()) guarantors.emplace(upper(textAt(*rows, 0)), textAt(*rows, 1));
  }
  const int position = kind_ == AgingKind::Secondary ? 2 : kind_ == AgingKind::Tertiary ? 3 : 1;
  if (kind_ == AgingKind::Primary || kind_ == AgingKind::Secondary ||
      kind_ == AgingKind::Tertiary) {
    auto rows = practice_.driver().query(
        fmt::format("SELECT \"Case Number\", \"Policy Number #{0}\", \"Group Number #{0}\" FROM "
                    "\"QVCAS\"",
                    position),
        {});
    while (rows->next())
      policies.emplace(integerAt(*rows, 0), std::pair{textAt(*rows, 1), textAt(*rows, 2)});
  }
  std::int64_t added = 0;
  for (const AgedAccount& account : printed_) {
    collections::WorkListItem item;
    const auto guarantor = guarantors.find(upper(account.chart));
    item.guarantor = guarantor != guarantors.end() && !guarantor->second.empty() ? guarantor->second
                                                                                 : account.chart;
    item.patient = account.chart;
    if (account.carrier.empty()) {
      item.responsibleType = "P";
      item.responsibleParty = item.guarantor;
    } else {
      item.responsibleType = "I";
      item.responsibleParty = account.carrier;
      if (const auto policy = policies.find(account.caseNumber); policy != policies.end()) {
        item.policyNumber = policy->second.first;
        item.groupNumber = policy->second.second;
      }
    }
    item.balance = account.balance;
    item.assignedUser = practice_.userCode();
    item.followUpDate = clock_.today();
    collections::addWorkListItem(practice_, item);
    ++added;
  }
  return added;
}

// ---------------------------------------------------------------- patient aging

Report AgingWindow::patientAging(ui::Progress& progress) {
  const bool netUnapplied = kind_ == AgingKind::Patient;
  const AgingBoundaries& bounds = settings_.patient;
  const bool byStatement = settings_.ageByStatementDate;
  const Date reportDate =
      questions_.agingDate.to.isEmpty() ? clock_.today() : questions_.agingDate.to;
  const TextRange chart = upperRange(questions_.chart);

  // A line that fails a question (a null field fails too) still counts in the
  // pre-check, which looks at every line of the patient.
  Sql questions;
  addRange(questions, "t.\"Attending Provider\"", upperRange(questions_.provider));
  if (questions_.agingDate.given()) {
    // The date question narrows the charges; payments pass whatever their date.
    const std::string field = byStatement ? "t.\"Date of First Statement\"" : "t.\"Date From\"";
    questions << " AND ((1 = 1";
    if (!questions_.agingDate.from.isEmpty())
      (questions << " AND " << field << " >= ").bind(questions_.agingDate.from);
    if (!questions_.agingDate.to.isEmpty())
      (questions << " AND " << field << " <= ").bind(questions_.agingDate.to);
    questions << ") OR t.\"Transaction Type\" BETWEEN 'I' AND 'R')";
  }
  const bool asked = !questions.text.empty();
  const std::string charge =
      "(t.\"Transaction Type\" BETWEEN 'A' AND 'H' OR t.\"Transaction Type\" = 'Z')";
  // "<a charge> AND <the questions>"; the questions' values are bound anew each time.
  auto keptCharge = [&](Sql& sql) {
    sql << charge;
    if (asked) {
      sql << " AND (1 = 1" << questions.text << ")";
      sql.values.insert(sql.values.end(), questions.values.begin(), questions.values.end());
    }
  };
  const std::string open = cents("Amount") + " + " + paidCents();
  Sql patientsAsked;
  addRange(patientsAsked, "t.\"Chart Number\"", chart);
  addPatientQuestions(patientsAsked, questions_);
  auto askPatients = [&](Sql& sql) {
    sql << patientsAsked.text;
    sql.values.insert(sql.values.end(), patientsAsked.values.begin(), patientsAsked.values.end());
  };

  struct Sums {
    std::string chart;
    std::int64_t precheck = 0;
    std::int64_t open = 0;  // of the kept charges
    std::array<std::int64_t, 4> columns{};
    std::int64_t notAged = 0;  // open on kept charges undated or dated after R - S
    std::int64_t unapplied = 0;
  };
  std::vector<Sums> patients;
  std::unordered_map<std::string, std::size_t> patientAt;

  // One grouped read over the whole ledger, a row per patient in chart order:
  // every line's amount (the pre-check) and the open amount of the kept
  // charges. Grouped on the chart alone, so the chart index gives the order
  // and no line is sorted.
  {
    Sql sql;
    sql << "SELECT t.\"Chart Number\", SUM(" << cents("Amount") << "), SUM(CASE WHEN ";
    keptCharge(sql);
    sql << " THEN " << open << " END)";
    // With questions asked, what the kept payments leave unapplied needs the
    // kept charges' own amounts and the kept payments; without, every line is
    // kept, and the pre-check less the open charges is the same thing.
    if (asked) {
      sql << ", SUM(CASE WHEN ";
      keptCharge(sql);
      sql << " THEN " << cents("Amount") << " END), SUM(CASE WHEN " << charge
          << " THEN NULL WHEN 1 = 1" << questions.text << " THEN " << cents("Amount") << " END)";
      sql.values.insert(sql.values.end(), questions.values.begin(), questions.values.end());
    }
    sql << " FROM \"QVTRN\" t WHERE 1 = 1";
    askPatients(sql);
    sql << " GROUP BY t.\"Chart Number\" ORDER BY t.\"Chart Number\"";
    auto rows = practice_.driver().query(sql.text, sql.values);
    while (rows->next()) {
      Sums sums{textAt(*rows, 0)};
      sums.precheck = centsAt(*rows, 1);
      sums.open = centsAt(*rows, 2);
      // Payments less what was applied of them to the kept charges.
      sums.unapplied = asked ? centsAt(*rows, 4) - (sums.open - centsAt(*rows, 3))
                             : sums.precheck - sums.open;
      patientAt.emplace(sums.chart, patients.size());
      patients.push_back(std::move(sums));
    }
  }
  auto sumsOf = [&](const std::string& chartNumber) -> Sums* {
    const auto found = patientAt.find(chartNumber);
    return found == patientAt.end() ? nullptr : &patients[found->second];
  };

  // The few lines of the last months, read by date: the pre-check leaves out
  // those dated after R - S (or not at all), and the kept charges among them
  // go to the three newest columns; the oldest column takes the rest of the
  // patient's open charges.
  const store::Dialect& dialect = practice_.dialect();
  const auto dateKey =
      store::keyPartsForFields(*practice_.catalogue().find("QVTRN"), {"Date From"}, dialect).at(0);
  const Date notAgedAfter = daysBefore(reportDate, bounds.start);
  const std::array<Date, 3> columnAfter{daysBefore(reportDate, bounds.end),
                                        daysBefore(reportDate, bounds.column2),
                                        daysBefore(reportDate, bounds.column3)};
  auto addToColumn = [&](Sums& sums, const Date& agingDate, std::int64_t owed) {
    if (agingDate.isEmpty() || agingDate > notAgedAfter) {
      sums.notAged += owed;
      return;
    }
    for (std::size_t column = 0; column < 3; ++column)
      if (agingDate > columnAfter[column]) {
        sums.columns[column] += owed;
        return;
      }
  };
  // On the date index's own key, a range each, so that only those lines are read.
  const Date recentAfter = byStatement ? notAgedAfter : columnAfter[2];
  const std::array<std::pair<const char*, Date>, 2> ranges{std::pair{" > ", recentAfter},
                                                           std::pair{" = ", Date()}};
  for (const auto& [comparison, date] : ranges) {
    Sql recent;
    recent << "SELECT t.\"Chart Number\", t.\"Date From\", " << cents("Amount")
           << ", CASE WHEN ";
    keptCharge(recent);
    recent << " THEN " << open << " END FROM \"QVTRN\" t WHERE " << dateKey.sql << comparison;
    recent.bind(store::keyValue(dateKey, date, dialect));
    askPatients(recent);
    auto rows = practice_.driver().query(recent.text, recent.values);
    while (rows->next()) {
      Sums* sums = sumsOf(textAt(*rows, 0));
      if (sums == nullptr) continue;
      const Date dateFrom = dateAt(*rows, 1);
      if (dateFrom.isEmpty() || dateFrom > notAgedAfter) sums->precheck -= centsAt(*rows, 2);
      const store::Value owed = rows->column(3, FieldType::Double);
      if (!byStatement && std::holds_alternative<double>(owed))
        addToColumn(*sums, dateFrom, std::llround(std::get<double>(owed)));
    }
  }
  if (byStatement) {
    // Aged by the first statement's date, an unbilled charge as of R: read the
    // kept charges billed or made lately whatever their service date.
    Sql recent;
    recent << "SELECT t.\"Chart Number\", COALESCE(t.\"Date of First Statement\", ";
    recent.bind(reportDate) << "), " << open << " FROM \"QVTRN\" t WHERE ";
    keptCharge(recent);
    (recent << " AND COALESCE(t.\"Date of First Statement\", ").bind(reportDate) << ") > ";
    recent.bind(columnAfter[2]);
    askPatients(recent);
    auto rows = practice_.driver().query(recent.text, recent.values);
    while (rows->next())
      if (Sums* sums = sumsOf(textAt(*rows, 0)))
        addToColumn(*sums, dateAt(*rows, 1), centsAt(*rows, 2));
  }
  for (Sums& sums : patients)
    sums.columns[3] =
        sums.open - sums.notAged - sums.columns[0] - sums.columns[1] - sums.columns[2];

  Report report;
  report.header = header(title(), reportDate);
  const std::array<std::string, 4> headings{
      fmt::format("{}   -   {}", bounds.start, bounds.end),
      fmt::format("{}   -   {}", bounds.end + 1, bounds.column2),
      fmt::format("{}   -   {}", bounds.column2 + 1, bounds.column3),
      fmt::format("{}   ----->", bounds.column3 + 1)};
  report.columns = {
      {"Chart", Value::Kind::Text, 50},       {"Name", Value::Kind::Text, 118},
      {"Birth Date", Value::Kind::Text, 52},  {"Phone", Value::Kind::Text, 66},
      {"Last Pmt", Value::Kind::Text, 52},    {"Last Pmt Amt", Value::Kind::Amount, 58},
      {headings[0], Value::Kind::Amount, 62}, {headings[1], Value::Kind::Amount, 62},
      {headings[2], Value::Kind::Amount, 62}, {headings[3], Value::Kind::Amount, 62},
      {"Balance", Value::Kind::Amount, 66}};

  const auto info = readPatients(practice_, chart);
  std::array<std::int64_t, 4> totals{};
  Meter meter(progress, report.header.title, static_cast<std::int64_t>(patients.size()));
  for (Sums& sums : patients) {
    if (!meter.step()) throw Aborted();
    if (sums.precheck == 0) continue;
    Row row;
    if (netUnapplied && sums.unapplied != 0) {
      const std::int64_t unapplied = sums.unapplied;
      row.notes.push_back(
          fmt::format("Unapplied Pmt/Adj: {:8.2f}", static_cast<double>(unapplied) / 100.0));
      // Netted from the oldest column down; current may stay negative.
      auto& c = sums.columns;
      c[3] += unapplied;
      for (std::size_t column = 3; column > 0; --column)
        if (c[column] < 0) {
          c[column - 1] += c[column];
          c[column] = 0;
        }
    }
    const std::int64_t sum = sums.columns[0] + sums.columns[1] + sums.columns[2] + sums.columns[3];
    if (sum == 0) continue;
    const PatientInfo& patient = patientOf(info, sums.chart);
    row.cells = {sums.chart,
                 patient.name,
                 shortDate(patient.birth),
                 patient.phone,
                 shortDate(patient.lastPayment),
                 amountOrBlank(patient.lastPaymentCents)};
    for (std::size_t column = 0; column < 4; ++column) {
      row.cells.push_back(amountOrBlank(sums.columns[column]));
      totals[column] += sums.columns[column];
    }
    row.cells.emplace_back(Money::fromCents(sum));
    report.rows.push_back(std::move(row));
    printed_.push_back({sums.chart, {}, 0, Money::fromCents(sum)});
  }
  const std::int64_t sum = totals[0] + totals[1] + totals[2] + totals[3];
  TotalRow total{"Report Aging Totals", std::vector<Value>(report.columns.size())};
  for (std::size_t column = 0; column < 4; ++column)
    total.cells[6 + column] = Money::fromCents(totals[column]);
  total.cells[10] = Money::fromCents(sum);
  report.totals.push_back(std::move(total));
  if (sum != 0) {
    report.summary.push_back({"Percent of Aging Total", {}});
    for (std::size_t column = 0; column < 4; ++column)
      report.summary.push_back({headings[column], percentText(totals[column], sum)});
  }
  if (byStatement) report.footnotes.emplace_back("Unbilled charges are listed as current.");
  return report;
}

// ---------------------------------------------------------------- insurance aging

Report AgingWindow::insuranceAging(ui::Progress& progress, int position) {
  const AgingBoundaries& bounds = settings_.insurance;
  const Date reportDate =
      questions_.agingDate.to.isEmpty() ? clock_.today() : questions_.agingDate.to;
  const TextRange chart = upperRange(questions_.chart);
  const bool detail = questions_.detail;
  const std::string k = std::to_string(position);

  // What the insurance in this position still owes: the charge less its
  // adjustments and what this and the earlier positions paid; the patient's
  // payments do not count here.
  std::string owed = cents("Amount") + " + " + cents("Adjustment Amount");
  for (int paid = 1; paid <= position; ++paid)
    owed += " + " + cents("Insurance " + std::to_string(paid) + " Amount Paid");

  // The charges' own conditions, then the claim's.
  Sql charges;
  charges << "t.\"Transaction Type\" < 'I' AND t.\"Claim Number\" > 0";
  (charges << " AND (t.\"Insurance " << k << " Paid\" IS NULL OR t.\"Insurance " << k
           << " Paid\" <> ")
          .bind(true)
      << ")";
  (charges << " AND (t.\"Billed to Insured " << k << "\" IS NULL OR t.\"Billed to Insured " << k
           << "\" <> ")
          .bind(false)
      << ")";
  (charges << " AND (t.\"Accept Assignment " << k << "\" IS NULL OR t.\"Accept Assignment " << k
           << "\" <> ")
          .bind(false)
      << ")";
  if (questions_.blankFacility) charges << " AND (t.\"Facility\" IS NULL OR t.\"Facility\" = '')";
  addRange(charges, "t.\"Chart Number\"", chart);
  addRange(charges, "t.\"Attending Provider\"", upperRange(questions_.provider));
  addPatientQuestions(charges, questions_);
  Sql claims;
  (claims << "c.\"Initial Billing Date " << k << "\" <= ").bind(reportDate);
  if (!questions_.agingDate.from.isEmpty())
    (claims << " AND c.\"Initial Billing Date " << k << "\" >= ").bind(questions_.agingDate.from);
  if (questions_.carrier.given()) {
    // The carriers of the range as the carrier list holds them.
    claims << " AND c.\"Insurance Carrier " << k << "\" IN (SELECT i.\"Code\" FROM \"QVINS\" i "
           << "WHERE 1 = 1";
    addRange(claims, "i.\"Code\"", upperRange(questions_.carrier));
    claims << ")";
  }

  Sql sql;
  if (detail) {
    sql << "SELECT c.\"Insurance Carrier " << k << "\", t.\"Chart Number\", t.\"Claim Number\", "
        << "t.\"Case Number\", c.\"Initial Billing Date " << k << "\", t.\"Entry Number\", "
        << "t.\"Date From\", t.\"Procedure Code\", " << owed << " FROM \"QVTRN\" t JOIN \"QVCLA\" c "
        << "ON c.\"Claim Number\" = t.\"Claim Number\" WHERE " << charges.text << " AND "
        << claims.text << " ORDER BY 1, 2, 3, 7, 6";
  } else {
    // Summed per claim number first, and only the claims then looked up: a
    // claim is one patient's case, and an integer groups cheaply.
    sql << "SELECT c.\"Insurance Carrier " << k << "\", c.\"Chart Number\", c.\"Claim Number\", "
        << "c.\"Case Number\", c.\"Initial Billing Date " << k << "\", 0, NULL, NULL, s.owed "
        << "FROM (SELECT COALESCE(t.\"Claim Number\", 0) AS claim, SUM(" << owed << ") AS owed "
        << "FROM \"QVTRN\" t WHERE " << charges.text
        << " GROUP BY COALESCE(t.\"Claim Number\", 0)) s JOIN \"QVCLA\" c ON c.\"Claim Number\" "
        << "= s.claim WHERE " << claims.text << " ORDER BY 1, 2, 3";
  }
  sql.values = charges.values;
  sql.values.insert(sql.values.end(), claims.values.begin(), claims.values.end());

  // A position no claim was billed in (often the third) reads no charge.
  {
    Sql billed;
    billed << "SELECT c.\"Claim Number\" FROM \"QVCLA\" c WHERE " << claims.text << " LIMIT 1";
    billed.values = claims.values;
    if (!practice_.driver().query(billed.text, billed.values)->next()) return {};
  }

  struct Owed {
    std::string carrier, chart;
    std::int64_t claim = 0, caseNumber = 0, entry = 0, cents = 0;
    Date billed, dateFrom;
    std::string procedure;
  };
  std::vector<Owed> lines;
  {
    auto rows = practice_.driver().query(sql.text, sql.values);
    while (rows->next()) {
      Owed line{upper(textAt(*rows, 0)), textAt(*rows, 1),    integerAt(*rows, 2),
                integerAt(*rows, 3),     integerAt(*rows, 5), centsAt(*rows, 8),
                dateAt(*rows, 4),        dateAt(*rows, 6),    textAt(*rows, 7)};
      if (line.cents != 0) lines.push_back(std::move(line));
    }
  }

  if (lines.empty()) return {};  // nothing owed: the no-data message, nothing else read

  struct Carrier {
    std::string name, phone, extension, contact;
  };
  std::unordered_map<std::string, Carrier> carriers;
  {
    auto rows = practice_.driver().query(
        "SELECT \"Code\", \"Name\", \"Phone\", \"Extension\", \"Contact\" FROM \"QVINS\"", {});
    while (rows->next())
      carriers.emplace(upper(textAt(*rows, 0)), Carrier{textAt(*rows, 1), textAt(*rows, 2),
                                                        textAt(*rows, 3), textAt(*rows, 4)});
  }
  std::unordered_map<std::int64_t, std::pair<std::string, std::string>> policies;
  {
    auto rows = practice_.driver().query(
        fmt::format("SELECT \"Case Number\", \"Policy Number #{0}\", \"Group Number #{0}\" FROM "
                    "\"QVCAS\"",
                    position),
        {});
    while (rows->next())
      policies.emplace(integerAt(*rows, 0), std::pair{textAt(*rows, 1), textAt(*rows, 2)});
  }
  const auto patients = readPatients(practice_, chart);

  Report report;
  report.header = header(title(), reportDate);
  if (questions_.carrier.given())
    report.header.ranges.push_back(rangeLine("Insurance Carrier", questions_.carrier));
  if (questions_.blankFacility) report.header.ranges.emplace_back("Blank facility only");
  const std::array<std::string, 5> headings{
      fmt::format("{}   -   {}", bounds.start, bounds.end),
      fmt::format("{}   -   {}", bounds.end + 1, bounds.column2),
      fmt::format("{}   -   {}", bounds.column2 + 1, bounds.column3),
      fmt::format("{}   -   {}", bounds.column3 + 1, bounds.column4),
      fmt::format("{}   ----->", bounds.column4 + 1)};
  if (detail)
    report.columns = {{"Claim", Value::Kind::Text, 44},
                      {"Entry", Value::Kind::Text, 44},
                      {"Date From", Value::Kind::Text, 54},
                      {"Procedure", Value::Kind::Text, 60},
                      {"Billed", Value::Kind::Text, 54}};
  else
    report.columns = {{"Claim", Value::Kind::Text, 44},
                      {"Case", Value::Kind::Text, 40},
                      {"Billed", Value::Kind::Text, 54},
                      {"Policy", Value::Kind::Text, 80},
                      {"Group", Value::Kind::Text, 70}};
  const std::size_t first = report.columns.size();
  for (const std::string& heading : headings)
    report.columns.push_back({heading, Value::Kind::Amount, 62});
  report.columns.push_back({"Balance", Value::Kind::Amount, 66});
  report.groupLevels = {"Carrier", "Chart Number"};

  auto columnOf = [&](const Date& billed) -> int {
    if (billed.isEmpty()) return -1;
    const std::int64_t age = daysBetween(billed, reportDate);
    if (age < bounds.start) return -1;
    if (age < bounds.end) return 0;
    if (age < bounds.column2) return 1;
    if (age < bounds.column3) return 2;
    if (age < bounds.column4) return 3;
    return 4;
  };
  auto totalRow = [&](const std::string& label, const std::array<std::int64_t, 6>& sums) {
    TotalRow total{label, std::vector<Value>(report.columns.size())};
    for (std::size_t column = 0; column < 6; ++column)
      total.cells[first + column] = Money::fromCents(sums[column]);
    return total;
  };

  std::array<std::int64_t, 6> grand{};
  Meter meter(progress, report.header.title, static_cast<std::int64_t>(lines.size()));
  for (std::size_t index = 0; index < lines.size();) {
    const std::string carrierCode = lines[index].carrier;
    Group carrierGroup;
    carrierGroup.key = carrierCode;
    const auto found = carriers.find(carrierCode);
    const Carrier carrier = found != carriers.end() ? found->second : Carrier{};
    carrierGroup.title =
        carrier.name.empty() ? carrierCode : carrier.name + " (" + carrierCode + ")";
    std::string contact = carrier.phone;
    if (!carrier.extension.empty()) contact += " Ext. " + carrier.extension;
    if (!carrier.contact.empty()) contact += (contact.empty() ? "" : "   ") + carrier.contact;
    if (!contact.empty()) carrierGroup.lines.push_back(contact);
    std::array<std::int64_t, 6> carrierSums{};
    while (index < lines.size() && lines[index].carrier == carrierCode) {
      const std::string chartNumber = lines[index].chart;
      const PatientInfo& patient = patientOf(patients, chartNumber);
      Group patientGroup;
      patientGroup.key = chartNumber;
      patientGroup.title = chartNumber + "  " + patient.name;
      std::string about;
      if (!patient.birth.isEmpty()) about += "Birth Date: " + shortDate(patient.birth);
      if (!patient.socialSecurity.empty())
        about += (about.empty() ? "" : "   ") + ("SSN: " + patient.socialSecurity);
      if (!about.empty()) patientGroup.lines.push_back(about);
      std::int64_t patientCents = 0;
      std::int64_t patientCase = lines[index].caseNumber;
      while (index < lines.size() && lines[index].carrier == carrierCode &&
             lines[index].chart == chartNumber) {
        if (!meter.step()) throw Aborted();
        const Owed& line = lines[index];
        Row row;
        const auto policy = policies.find(line.caseNumber);
        if (detail)
          row.cells = {std::to_string(line.claim), std::to_string(line.entry),
                       shortDate(line.dateFrom), line.procedure, shortDate(line.billed)};
        else
          row.cells = {std::to_string(line.claim), std::to_string(line.caseNumber),
                       shortDate(line.billed),
                       policy != policies.end() ? policy->second.first : std::string(),
                       policy != policies.end() ? policy->second.second : std::string()};
        const int column = columnOf(line.billed);
        for (int each = 0; each < 5; ++each)
          row.cells.push_back(each == column ? amountOrBlank(line.cents) : Value());
        row.cells.emplace_back(Money::fromCents(line.cents));
        if (column >= 0) carrierSums[static_cast<std::size_t>(column)] += line.cents;
        carrierSums[5] += line.cents;
        patientCents += line.cents;
        patientGroup.rows.push_back(std::move(row));
        ++index;
      }
      carrierGroup.groups.push_back(std::move(patientGroup));
      printed_.push_back({chartNumber, carrierCode, patientCase, Money::fromCents(patientCents)});
    }
    carrierGroup.totals.push_back(totalRow("Carrier Totals", carrierSums));
    for (std::size_t column = 0; column < 6; ++column) grand[column] += carrierSums[column];
    report.groups.push_back(std::move(carrierGroup));
  }
  report.totals.push_back(totalRow("Report Totals", grand));
  return report;
}

// ---------------------------------------------------------------- remainder reports

namespace {

// The flags of the remainder condition, read as one number (a bit each, a
// null flag clear), so that a grouped read groups on one column, not eight.
const std::array<const char*, 8> remainderFlags{
    "Guarantor Responsible", "Guarantor Paid",      "Insurance 1 Paid",    "Insurance 2 Paid",
    "Insurance 3 Paid",      "Accept Assignment 1", "Accept Assignment 2", "Accept Assignment 3"};

std::string remainderFlagBits() {
  std::string bits;
  for (std::size_t flag = 0; flag < remainderFlags.size(); ++flag)
    bits += fmt::format("{}CASE WHEN t.\"{}\" THEN {} ELSE 0 END", bits.empty() ? "" : " + ",
                        remainderFlags[flag], 1 << flag);
  return bits;
}

// The part of the remainder condition that both of its forms share, asked of
// the engine so that charges the guarantor has paid, or the primary has yet to
// settle, are not read at all.
void addGuarantorOwes(Sql& sql) {
  sql << " AND t.\"Guarantor Responsible\" = ";
  sql.bind(true) << " AND (t.\"Guarantor Paid\" IS NULL OR t.\"Guarantor Paid\" <> ";
  sql.bind(true) << ") AND (t.\"Insurance 1 Paid\" = ";
  sql.bind(true) << " OR t.\"Accept Assignment 1\" IS NULL OR t.\"Accept Assignment 1\" <> ";
  sql.bind(true) << ")";
}

// The remainder reports' own questions: the charges' service dates and
// attending provider, and the patient's billing code and indicator.
void addRemainderQuestions(Sql& sql, const AgingQuestions& questions) {
  if (!questions.serviceDate.from.isEmpty())
    (sql << " AND t.\"Date From\" >= ").bind(questions.serviceDate.from);
  if (!questions.serviceDate.to.isEmpty())
    (sql << " AND t.\"Date From\" <= ").bind(questions.serviceDate.to);
  addRange(sql, "t.\"Attending Provider\"", upperRange(questions.provider));
  addPatientQuestions(sql, questions);
}

statements::PaymentFlags flagsAt(store::ResultRows& rows, std::size_t column) {
  const std::int64_t bits = integerAt(rows, column);
  const auto set = [bits](std::size_t flag) { return (bits & (std::int64_t{1} << flag)) != 0; };
  statements::PaymentFlags flags;
  flags.guarantorResponsible = set(0);
  flags.guarantorPaid = set(1);
  for (std::size_t policy = 0; policy < 3; ++policy) {
    flags.insurancePaid[policy] = set(2 + policy);
    flags.acceptAssignment[policy] = set(5 + policy);
  }
  return flags;
}

}  // namespace

Report AgingWindow::remainderAging(ui::Progress& progress) {
  const bool detail = kind_ == AgingKind::RemainderDetail;
  const AgingBoundaries& bounds = settings_.patient;
  const Date today = clock_.today();
  const TextRange chart = upperRange(questions_.chart);

  Sql sql;
  auto agingDate = [&] {
    if (settings_.ageByDateFrom) {
      sql << "t.\"Date From\"";
      return;
    }
    // A statement date not after the first of 1901 stands for none: today.
    (sql << "CASE WHEN t.\"Date of First Statement\" > ").bind(Date::fromYmd(1901, 1, 1));
    (sql << " THEN t.\"Date of First Statement\" ELSE ").bind(today) << " END";
  };
  // Closed ranges of age; any other age, below the start too, is the last column.
  auto within = [&](std::int64_t low, std::int64_t high) {
    agingDate();
    (sql << " <= ").bind(daysBefore(today, low)) << " AND ";
    agingDate();
    (sql << " >= ").bind(daysBefore(today, high));
  };
  sql << "SELECT t.\"Chart Number\", ";
  sql << (detail ? "t.\"Case Number\", t.\"Entry Number\", t.\"Procedure Code\", t.\"Date From\""
                 : "0, 0, NULL, NULL");
  sql << ", CASE WHEN ";
  within(bounds.start, bounds.end);
  sql << " THEN 0 WHEN ";
  within(bounds.end + 1, bounds.column2);
  sql << " THEN 1 WHEN ";
  within(bounds.column2 + 1, bounds.column3);
  sql << " THEN 2 ELSE 3 END, " << remainderFlagBits() << ", ";
  const std::string open = cents("Amount") + " + " + paidCents();
  sql << (detail ? open : "SUM(" + open + ")");
  sql << " FROM \"QVTRN\" t WHERE t.\"Transaction Type\" <= 'H'";
  addGuarantorOwes(sql);
  addRange(sql, "t.\"Chart Number\"", chart);
  addRemainderQuestions(sql, questions_);
  if (detail)
    sql << " ORDER BY 1, 2, 5, 3";
  else
    sql << " GROUP BY 1, 2, 3, 4, 5, 6, 7 ORDER BY 1";

  struct WorkRow {
    std::string chart;
    std::int64_t caseNumber = 0, entry = 0, cents = 0;
    std::string procedure;
    Date dateFrom;
    std::size_t column = 0;
  };
  std::vector<WorkRow> work;
  {
    auto rows = practice_.driver().query(sql.text, sql.values);
    while (rows->next()) {
      if (!statements::meetsRemainderCondition(flagsAt(*rows, 6),
                                               settings_.enforceAcceptAssignment))
        continue;
      WorkRow row{textAt(*rows, 0),
                  integerAt(*rows, 1),
                  integerAt(*rows, 2),
                  centsAt(*rows, 7),
                  textAt(*rows, 3),
                  dateAt(*rows, 4),
                  static_cast<std::size_t>(std::clamp<std::int64_t>(integerAt(*rows, 5), 0, 3))};
      if (row.cents != 0) work.push_back(std::move(row));
    }
  }

  Report report;
  report.header = header(title(), today);
  report.header.ranges.insert(report.header.ranges.begin(), settings_.ageByDateFrom
                                                                ? "by Date From"
                                                                : "by Date of First Statement");
  const std::array<std::string, 4> headings{
      fmt::format("{}-{}", bounds.start, bounds.end),
      fmt::format("{}-{}", bounds.end + 1, bounds.column2),
      fmt::format("{}-{}", bounds.column2 + 1, bounds.column3),
      fmt::format("Over {}", bounds.column3)};
  if (detail)
    report.columns = {{"Date", Value::Kind::Text, 56},
                      {"Procedure", Value::Kind::Text, 70},
                      {"Entry", Value::Kind::Text, 46}};
  else
    report.columns = {{"Chart", Value::Kind::Text, 56}, {"Name", Value::Kind::Text, 150}};
  const std::size_t first = report.columns.size();
  for (const std::string& heading : headings)
    report.columns.push_back({heading, Value::Kind::Amount, 64});
  report.columns.push_back({"Total", Value::Kind::Amount, 68});
  if (detail) report.groupLevels = {"Chart Number", "Case Number"};

  auto cellsOf = [&](const std::array<std::int64_t, 4>& sums, std::vector<Value>& cells) {
    std::int64_t total = 0;
    for (std::size_t column = 0; column < 4; ++column) {
      cells.push_back(amountOrBlank(sums[column]));
      total += sums[column];
    }
    cells.emplace_back(Money::fromCents(total));
    return total;
  };
  auto totalRow = [&](const std::string& label, const std::array<std::int64_t, 4>& sums) {
    TotalRow total{label, std::vector<Value>(first)};
    cellsOf(sums, total.cells);
    for (std::size_t column = first; column < total.cells.size(); ++column)
      if (total.cells[column].isBlank()) total.cells[column] = Money();
    return total;
  };

  std::unordered_map<std::int64_t, std::int64_t> copayments;
  if (detail) {
    auto rows = practice_.driver().query(
        "SELECT \"Case Number\", ROUND(COALESCE(\"Copayment Amount\", 0) "
        "* 100) FROM \"QVCAS\"",
        {});
    while (rows->next()) copayments.emplace(integerAt(*rows, 0), centsAt(*rows, 1));
  }
  const auto patients = readPatients(practice_, chart);
  std::array<std::int64_t, 4> grand{};
  Meter meter(progress, "Calculating Totals", static_cast<std::int64_t>(work.size()));
  for (std::size_t index = 0; index < work.size();) {
    const std::string chartNumber = work[index].chart;
    const PatientInfo& patient = patientOf(patients, chartNumber);
    std::array<std::int64_t, 4> patientSums{};
    Group patientGroup;
    patientGroup.key = chartNumber;
    patientGroup.title = chartNumber + "  " + patient.name;
    while (index < work.size() && work[index].chart == chartNumber) {
      const std::int64_t caseNumber = work[index].caseNumber;
      Group caseGroup;
      caseGroup.key = std::to_string(caseNumber);
      caseGroup.title = fmt::format("Case {}   Copayment {}", caseNumber,
                                    Money::fromCents(copayments[caseNumber]).toGroupedString());
      while (index < work.size() && work[index].chart == chartNumber &&
             work[index].caseNumber == caseNumber) {
        if (!meter.step()) throw Aborted();
        const WorkRow& line = work[index];
        patientSums[line.column] += line.cents;
        if (detail) {
          std::array<std::int64_t, 4> one{};
          one[line.column] = line.cents;
          Row row;
          row.cells = {shortDate(line.dateFrom), line.procedure, std::to_string(line.entry)};
          cellsOf(one, row.cells);
          caseGroup.rows.push_back(std::move(row));
        }
        ++index;
      }
      if (detail) patientGroup.groups.push_back(std::move(caseGroup));
    }
    if (detail) {
      patientGroup.totals.push_back(totalRow("Patient Totals", patientSums));
      report.groups.push_back(std::move(patientGroup));
    } else {
      Row row;
      row.cells = {chartNumber, patient.name};
      cellsOf(patientSums, row.cells);
      report.rows.push_back(std::move(row));
    }
    for (std::size_t column = 0; column < 4; ++column) grand[column] += patientSums[column];
  }
  report.totals.push_back(totalRow("Report Totals", grand));
  return report;
}

Report AgingWindow::guarantorRemainderTotals(ui::Progress& progress) {
  Sql sql;
  sql << "SELECT s.\"Guarantor\", " << remainderFlagBits() << ", SUM(" << cents("Amount")
      << " + " << paidCents() << ") FROM \"QVTRN\" t JOIN \"QVCAS\" s ON s.\"Case Number\" = "
      << "t.\"Case Number\" WHERE t.\"Transaction Type\" <= 'H'";
  addGuarantorOwes(sql);
  addRange(sql, "s.\"Guarantor\"", upperRange(questions_.chart));
  addRemainderQuestions(sql, questions_);
  sql << " GROUP BY 1, 2 ORDER BY 1";

  std::vector<std::pair<std::string, std::int64_t>> guarantors;
  {
    auto rows = practice_.driver().query(sql.text, sql.values);
    while (rows->next()) {
      if (!statements::meetsRemainderCondition(flagsAt(*rows, 1),
                                               settings_.enforceAcceptAssignment))
        continue;
      const std::string guarantor = textAt(*rows, 0);
      if (guarantors.empty() || guarantors.back().first != guarantor)
        guarantors.emplace_back(guarantor, 0);
      guarantors.back().second += centsAt(*rows, 2);
    }
  }
  Report report;
  report.header = header(title(), clock_.today());
  report.columns = {{"Guarantor", Value::Kind::Text, 60},
                    {"Name", Value::Kind::Text, 180},
                    {"Remainder", Value::Kind::Amount, 80}};
  const auto patients = readPatients(practice_, upperRange(questions_.chart));
  std::int64_t total = 0;
  Meter meter(progress, "Calculating Guarantor Remainder Totals",
              static_cast<std::int64_t>(guarantors.size()));
  for (const auto& [guarantor, sum] : guarantors) {
    if (!meter.step()) throw Aborted();
    if (sum == 0) continue;
    const PatientInfo& patient = patientOf(patients, guarantor);
    report.rows.push_back(
        {{guarantor, patient.found ? patient.name : "Missing", Money::fromCents(sum)}, {}});
    total += sum;
  }
  report.totals.push_back({"Total : $", {{}, {}, Money::fromCents(total)}});
  return report;
}

}  // namespace vantrell::reports
