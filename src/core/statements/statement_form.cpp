#include "statements/statement_form.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <map>
#include <set>
#include <tuple>

#include "common/code_sets.hpp"
#include "practice/options.hpp"
#include "printing/flow_layout.hpp"
#include "store/driver.hpp"
#include "store/names.hpp"
#include "store/table.hpp"
#include "transactions/balances.hpp"

namespace vantrell::statements {
namespace {

using store::FieldType;
using store::Value;

// Statements are read in groups of this many: a handful of queries per group,
// and bound parameter lists well inside what both engines accept.
constexpr std::size_t groupSize = 500;

std::string placeholders(std::size_t count) {
  std::string list = "(";
  for (std::size_t index = 0; index < count; ++index) list += index == 0 ? "?" : ", ?";
  return list + ")";
}

std::string textOf(store::ResultRows& rows, std::size_t column) {
  return store::valueToText(rows.column(column, FieldType::Character));
}
Money moneyOf(store::ResultRows& rows, std::size_t column) {
  return transactions::moneyOf(rows.column(column, FieldType::Double));
}
Date dateOf(store::ResultRows& rows, std::size_t column) {
  const Value value = rows.column(column, FieldType::Date);
  const Date* date = std::get_if<Date>(&value);
  return date ? *date : Date();
}
bool flagOf(store::ResultRows& rows, std::size_t column) {
  const Value value = rows.column(column, FieldType::Logical);
  const bool* flag = std::get_if<bool>(&value);
  return flag && *flag;
}
std::int64_t integerOf(store::ResultRows& rows, std::size_t column) {
  const Value value = rows.column(column, FieldType::Integer);
  const std::int64_t* number = std::get_if<std::int64_t>(&value);
  return number ? *number : 0;
}

// The ledger fields a statement needs of one transaction on it.
struct LedgerRow {
  std::int64_t statement = 0;
  std::int64_t entry = 0;
  std::string chart;
  std::string type;
  Date dateFrom;
  Date firstStatement;
  std::string code;
  std::string description;
  Money amount;
  Money paid;  // guarantor, the three insurers and the attorney together
  Money adjustment;
  bool guarantorResponsible = false;
  bool guarantorPaid = false;
  std::array<bool, 3> insurancePaid{};
  std::array<bool, 3> insuranceResponsible{};
  std::array<bool, 3> acceptAssignment{};

  Money open() const { return amount + paid + adjustment; }
  bool isCharge() const { return !type.empty() && type <= "H"; }
};

// What is left after insurance is the guarantor's only when every insurer
// has done its part; with accept assignment enforced, an insurer that does not
// accept assignment is not waited for.
bool remainderConditionHolds(const LedgerRow& row, bool enforceAcceptAssignment) {
  if (!row.guarantorResponsible || row.guarantorPaid) return false;
  const auto& paid = row.insurancePaid;
  if (!enforceAcceptAssignment) return paid[0] && paid[1] && paid[2];
  const auto& accept = row.acceptAssignment;
  const bool p1 = paid[0] || !accept[0];
  const bool p2 = paid[1] || !accept[1];
  const bool p3 = paid[2] || !accept[2];
  const bool n1 = !accept[0];
  const bool n2 = !accept[1];
  return p1 && ((p2 && p1) || n1) && ((p3 && p2 && p1) || n1 || n2);
}

bool insuranceStillToPay(const LedgerRow& row) {
  for (std::size_t policy = 0; policy < 3; ++policy)
    if (row.insuranceResponsible[policy] && !row.insurancePaid[policy]) return true;
  return false;
}

struct Application {
  Money amount;
  std::string whoPaid;
  Date date;
  std::string description;
  std::string code;
};

std::string personName(const std::string& first, const std::string& middle,
                       const std::string& last) {
  std::string name = first;
  if (!middle.empty()) name += (name.empty() ? "" : " ") + middle + ".";
  if (!last.empty()) name += (name.empty() ? "" : " ") + last;
  return name;
}

std::string cityLine(const std::string& city, const std::string& state, const std::string& zip) {
  std::string line = city;
  if (!state.empty()) line += (line.empty() ? "" : ", ") + state;
  if (!zip.empty()) line += (line.empty() ? "" : "  ") + zip;
  return line;
}

std::vector<std::string> addressLines(const store::Record& record) {
  std::vector<std::string> lines;
  for (const char* field : {"Street 1", "Street 2"})
    if (!record.text(field).empty()) lines.push_back(record.text(field));
  const std::string last =
      cityLine(record.text("City"), record.text("State"), record.text("Zip Code"));
  if (!last.empty()) lines.push_back(last);
  return lines;
}

struct Patient {
  std::string name;
  std::vector<std::string> lines;
};

std::map<std::string, Patient> readPatients(store::Connection& practice,
                                            const std::set<std::string>& charts) {
  std::map<std::string, Patient> patients;
  std::vector<Value> group;
  const auto flush = [&] {
    if (group.empty()) return;
    auto rows = practice.driver().query(
        "SELECT \"Chart Number\", \"First Name\", \"Middle Initial\", \"Last Name\", \"Street 1\", "
        "\"Street 2\", \"City\", \"State\", \"Zip Code\" FROM \"QVPAT\" WHERE \"Chart Number\" "
        "IN " +
            placeholders(group.size()),
        group);
    while (rows->next()) {
      Patient patient;
      patient.name = personName(textOf(*rows, 1), textOf(*rows, 2), textOf(*rows, 3));
      for (std::size_t column : {4u, 5u})
        if (const std::string line = textOf(*rows, column); !line.empty())
          patient.lines.push_back(line);
      if (const std::string line = cityLine(textOf(*rows, 6), textOf(*rows, 7), textOf(*rows, 8));
          !line.empty())
        patient.lines.push_back(line);
      patients[textOf(*rows, 0)] = std::move(patient);
    }
    group.clear();
  };
  for (const std::string& chart : charts) {
    group.emplace_back(chart);
    if (group.size() == groupSize) flush();
  }
  flush();
  return patients;
}

struct PracticeFacts {
  PostalAddress address;
  std::string phone;
  AgingBoundaries aging;
  bool enforceAcceptAssignment = false;
};

PracticeFacts readPracticeFacts(store::Connection& practice) {
  PracticeFacts facts;
  if (practice.tableExists("QVPRA")) {
    store::Table table = practice.openTable("QVPRA");
    if (const auto row = practice::readSingleRow(table)) {
      facts.address.name = row->text("Practice Name");
      facts.address.lines = addressLines(*row);
      facts.phone = row->text("Phone");
    }
  }
  if (practice.tableExists("QVOPT")) {
    store::Table table = practice.openTable("QVOPT");
    if (const auto row = practice::readSingleRow(table)) {
      facts.aging.start = row->integer("Pat Aging Column 1 Start");
      facts.aging.end = row->integer("Pat Aging Column 1 End");
      facts.aging.column2 = row->integer("Pat Aging Column 2");
      facts.aging.column3 = row->integer("Pat Aging Column 3");
      facts.aging.byStatementDate = row->logical("Pat Age By Statement Date");
      facts.enforceAcceptAssignment = row->logical("Enforce Accept Assignment");
    }
  }
  return facts;
}

const char* ledgerFields =
    "\"Statement Number\", \"Entry Number\", \"Chart Number\", \"Transaction Type\", \"Date "
    "From\", "
    "\"Date of First Statement\", \"Procedure Code\", \"Description\", \"Amount\", "
    "\"Guarantor Amount Paid\", \"Insurance 1 Amount Paid\", \"Insurance 2 Amount Paid\", "
    "\"Insurance 3 Amount Paid\", \"Attorney Amount Paid\", \"Adjustment Amount\", "
    "\"Guarantor Responsible\", \"Guarantor Paid\", \"Insurance 1 Paid\", \"Insurance 2 Paid\", "
    "\"Insurance 3 Paid\", \"Insurance 1 Responsible\", \"Insurance 2 Responsible\", "
    "\"Insurance 3 Responsible\", \"Accept Assignment 1\", \"Accept Assignment 2\", "
    "\"Accept Assignment 3\", \"Procedure Description\"";

LedgerRow readLedgerRow(store::ResultRows& rows) {
  LedgerRow row;
  row.statement = integerOf(rows, 0);
  row.entry = integerOf(rows, 1);
  row.chart = textOf(rows, 2);
  row.type = textOf(rows, 3);
  row.dateFrom = dateOf(rows, 4);
  row.firstStatement = dateOf(rows, 5);
  row.code = textOf(rows, 6);
  row.description = textOf(rows, 7);
  row.amount = moneyOf(rows, 8);
  for (std::size_t column = 9; column <= 13; ++column) row.paid += moneyOf(rows, column);
  row.adjustment = moneyOf(rows, 14);
  row.guarantorResponsible = flagOf(rows, 15);
  row.guarantorPaid = flagOf(rows, 16);
  for (std::size_t policy = 0; policy < 3; ++policy) {
    row.insurancePaid[policy] = flagOf(rows, 17 + policy);
    row.insuranceResponsible[policy] = flagOf(rows, 20 + policy);
    row.acceptAssignment[policy] = flagOf(rows, 23 + policy);
  }
  // Charges posted from the code list carry the code's text in a field of its own.
  if (row.description.empty()) row.description = textOf(rows, 26);
  return row;
}

std::string applicationLabel(const std::string& whoPaid) {
  if (whoPaid == "1") return "Primary insurance payment";
  if (whoPaid == "2") return "Secondary insurance payment";
  if (whoPaid == "3") return "Tertiary insurance payment";
  if (whoPaid == "A") return "Attorney payment";
  if (whoPaid == "G") return "Payment - thank you";
  return "Adjustment";
}

// Reads one group of statements (at most groupSize) into forms.
void readGroup(store::Connection& practice, const std::vector<Value>& numbers,
               const PracticeFacts& facts, Date statementDate, bool excludeBilledPaid,
               std::vector<StatementForm>& forms) {
  const std::string in = placeholders(numbers.size());
  std::map<std::int64_t, std::size_t> formOf;
  std::set<std::string> charts;
  {
    auto rows = practice.driver().query(
        "SELECT \"Statement Number\", \"Statement Type\", \"Chart Number\" FROM \"QVSTA\" "
        "WHERE \"Statement Number\" IN " +
            in,
        numbers);
    while (rows->next()) {
      StatementForm form;
      form.statementNumber = integerOf(*rows, 0);
      form.remainder = textOf(*rows, 1) == "R";
      form.accountNumber = textOf(*rows, 2);
      form.statementDate = statementDate;
      form.practice = facts.address;
      form.practicePhone = facts.phone;
      form.aging = emptyAgingColumns(facts.aging);
      charts.insert(form.accountNumber);
      formOf[form.statementNumber] = forms.size();
      forms.push_back(std::move(form));
    }
  }

  std::vector<LedgerRow> ledger;
  {
    auto rows = practice.driver().query(
        std::string("SELECT ") + ledgerFields + " FROM \"QVTRN\" WHERE \"Statement Number\" IN " +
            in +
            " ORDER BY \"Statement Number\", \"Chart Number\", \"Case Number\", \"Date From\", "
            "\"Entry Number\"",
        numbers);
    while (rows->next()) {
      ledger.push_back(readLedgerRow(*rows));
      charts.insert(ledger.back().chart);
    }
  }

  std::map<std::int64_t, std::vector<Application>> applications;
  {
    auto rows = practice.driver().query(
        "SELECT x.\"Charge Reference\", x.\"Payment Amount\", x.\"Who Paid\", p.\"Date From\", "
        "p.\"Description\", p.\"Procedure Code\", p.\"Transaction Type\" FROM \"QVPAX\" x "
        "JOIN \"QVTRN\" c ON c.\"Entry Number\" = x.\"Charge Reference\" "
        "JOIN \"QVTRN\" p ON p.\"Entry Number\" = x.\"Payment Reference\" "
        "WHERE c.\"Statement Number\" IN " +
            in + " ORDER BY x.\"Charge Reference\", p.\"Date From\", p.\"Entry Number\"",
        numbers);
    while (rows->next()) {
      // A deductible moves no money: its line shows its own amount, 0, and the
      // deductible itself only in its description, or the charge's lines
      // would not add up to what is still owed on it.
      const bool deductible = textOf(*rows, 6) == "P";
      applications[integerOf(*rows, 0)].push_back({deductible ? Money() : moneyOf(*rows, 1),
                                                   textOf(*rows, 2), dateOf(*rows, 3),
                                                   textOf(*rows, 4), textOf(*rows, 5)});
    }
  }

  // Payments and adjustments of the statements' cases not yet applied to a
  // charge: they are the guarantor's money, so the statement shows them and
  // counts them against what is due, or a guarantor in credit would be billed.
  // Each goes on one statement only, the latest of the group for its case.
  struct Unapplied {
    std::int64_t statement = 0;
    Date date;
    std::string chart;
    std::string code;
    std::string description;
    bool adjustment = false;
    Money amount;
  };
  std::vector<Unapplied> unapplied;
  {
    auto rows = practice.driver().query(
        "SELECT DISTINCT p.\"Entry Number\", s.\"Statement Number\", p.\"Date From\", "
        "p.\"Chart Number\", p.\"Procedure Code\", p.\"Description\", p.\"Transaction Type\", "
        "p.\"Unapplied Amount\" FROM \"QVTRN\" s JOIN \"QVTRN\" p ON UPPER(p.\"Chart Number\") = "
        "UPPER(s.\"Chart Number\") AND p.\"Case Number\" = s.\"Case Number\" "
        "WHERE s.\"Statement Number\" IN " +
            in +
            " AND p.\"Transaction Type\" >= 'I' AND p.\"Transaction Type\" <= 'Y' AND "
            "COALESCE(p.\"Unapplied Amount\", 0) <> 0 "
            "ORDER BY p.\"Entry Number\", s.\"Statement Number\" DESC",
        numbers);
    std::int64_t lastEntry = 0;
    while (rows->next()) {
      const std::int64_t entry = integerOf(*rows, 0);
      if (entry == lastEntry) continue;
      lastEntry = entry;
      const std::string type = textOf(*rows, 6);
      unapplied.push_back({integerOf(*rows, 1), dateOf(*rows, 2), textOf(*rows, 3),
                           textOf(*rows, 4), textOf(*rows, 5),
                           !type.empty() && isAdjustment(type[0]), moneyOf(*rows, 7)});
    }
  }

  const auto patients = readPatients(practice, charts);
  const auto nameOf = [&](const std::string& chart) {
    const auto found = patients.find(chart);
    return found == patients.end() || found->second.name.empty() ? chart : found->second.name;
  };

  for (const LedgerRow& row : ledger) {
    const auto found = formOf.find(row.statement);
    if (found == formOf.end()) continue;
    StatementForm& form = forms[found->second];
    if (!row.isCharge()) {
      if (row.type == "Z")
        form.entries.push_back({StatementEntry::Kind::Comment, row.dateFrom, nameOf(row.chart),
                                row.code, row.description, Money()});
      continue;
    }
    if (form.remainder &&
        (!remainderConditionHolds(row, facts.enforceAcceptAssignment) || row.open().isZero()))
      continue;
    if (excludeBilledPaid && !row.firstStatement.isEmpty() && row.open().isZero()) continue;

    form.entries.push_back({StatementEntry::Kind::Charge, row.dateFrom, nameOf(row.chart), row.code,
                            row.description, row.amount});
    if (const auto paid = applications.find(row.entry); paid != applications.end()) {
      for (const Application& application : paid->second) {
        const bool adjustment = application.whoPaid.empty();
        form.entries.push_back(
            {adjustment ? StatementEntry::Kind::Adjustment : StatementEntry::Kind::Payment,
             application.date, nameOf(row.chart), application.code,
             application.description.empty() ? applicationLabel(application.whoPaid)
                                             : application.description,
             application.amount});
      }
    }
    form.charges += row.amount;
    form.payments += row.paid;
    form.adjustments += row.adjustment;
    const Money open = row.open();
    form.amountDue += open;
    if (!form.remainder && insuranceStillToPay(row)) form.insurancePending += open;

    Date agingDate = row.dateFrom;
    if (facts.aging.byStatementDate)
      agingDate = row.firstStatement.isEmpty() ? statementDate : row.firstStatement;
    const std::int64_t age =
        agingDate.isEmpty() ? 0 : (statementDate.days() - agingDate.days()).count();
    form.aging.amounts[agingColumnOf(age, facts.aging)] += open;
  }

  for (const Unapplied& credit : unapplied) {
    const auto found = formOf.find(credit.statement);
    if (found == formOf.end()) continue;
    StatementForm& form = forms[found->second];
    if (form.remainder) continue;  // a remainder statement shows charges only
    form.entries.push_back(
        {credit.adjustment ? StatementEntry::Kind::Adjustment : StatementEntry::Kind::Payment,
         credit.date, nameOf(credit.chart), credit.code,
         "Unapplied " + (credit.description.empty() ? std::string("payment") : credit.description),
         credit.amount});
    (credit.adjustment ? form.adjustments : form.payments) += credit.amount;
    form.amountDue += credit.amount;
    form.aging.amounts[0] += credit.amount;  // a credit is never past due
  }

  for (StatementForm& form : forms) {
    const auto patient = patients.find(form.accountNumber);
    form.guarantor.name = nameOf(form.accountNumber);
    if (patient != patients.end()) form.guarantor.lines = patient->second.lines;
  }
}

bool printsBefore(const StatementForm& a, const StatementForm& b) {
  return std::tie(a.accountNumber, a.statementNumber) <
         std::tie(b.accountNumber, b.statementNumber);
}

}  // namespace

AgingColumns emptyAgingColumns(const AgingBoundaries& boundaries) {
  AgingColumns columns;
  columns.headings = {"Current", fmt::format("{} - {}", boundaries.end + 1, boundaries.column2),
                      fmt::format("{} - {}", boundaries.column2 + 1, boundaries.column3),
                      fmt::format("Over {}", boundaries.column3)};
  return columns;
}

std::size_t agingColumnOf(std::int64_t age, const AgingBoundaries& boundaries) {
  if (age < boundaries.end) return 0;
  if (age < boundaries.column2) return 1;
  if (age < boundaries.column3) return 2;
  return 3;
}

std::vector<StatementForm> readStatementForms(store::Connection& practice,
                                              const std::vector<std::int64_t>& numbers,
                                              Date statementDate, bool excludeBilledPaid) {
  const PracticeFacts facts = readPracticeFacts(practice);
  std::vector<StatementForm> forms;
  std::vector<Value> group;
  for (const std::int64_t number : numbers) {
    group.emplace_back(number);
    if (group.size() == groupSize) {
      readGroup(practice, group, facts, statementDate, excludeBilledPaid, forms);
      group.clear();
    }
  }
  if (!group.empty()) readGroup(practice, group, facts, statementDate, excludeBilledPaid, forms);
  std::stable_sort(forms.begin(), forms.end(), printsBefore);
  return forms;
}

std::vector<std::int64_t> statementNumbersOfBatch(store::Connection& practice, std::int64_t batch) {
  std::vector<std::int64_t> numbers;
  auto rows = practice.driver().query(
      "SELECT \"Statement Number\" FROM \"QVSTA\" WHERE \"Batch Number\" = ? "
      "ORDER BY \"Chart Number\", \"Statement Number\"",
      {Value{batch}});
  while (rows->next()) numbers.push_back(integerOf(*rows, 0));
  return numbers;
}

std::vector<std::int64_t> statementsInPrintOrder(store::Connection& practice,
                                                 const std::vector<std::int64_t>& numbers) {
  std::vector<std::pair<std::string, std::int64_t>> found;
  std::vector<Value> group;
  const auto flush = [&] {
    if (group.empty()) return;
    auto rows = practice.driver().query(
        "SELECT \"Chart Number\", \"Statement Number\" FROM \"QVSTA\" WHERE \"Statement Number\" "
        "IN " +
            placeholders(group.size()),
        group);
    while (rows->next()) found.emplace_back(textOf(*rows, 0), integerOf(*rows, 1));
    group.clear();
  };
  for (const std::int64_t number : numbers) {
    group.emplace_back(number);
    if (group.size() == groupSize) flush();
  }
  flush();
  std::sort(found.begin(), found.end());
  found.erase(std::unique(found.begin(), found.end()), found.end());
  std::vector<std::int64_t> ordered;
  for (const auto& [chart, number] : found) ordered.push_back(number);
  return ordered;
}

// ---- Layout -------------------------------------------------------------

namespace {

using printing::Align;
using printing::Font;
using printing::Page;

constexpr double left = 54;
constexpr double right = 558;  // 612 less the same margin
// A #10 window envelope shows the recipient through a window 7/8" from the
// left and 2" from the top of a letter folded in three.
constexpr double windowLeft = 0.875 * printing::pointsPerInch;
constexpr double windowTop = 2.0 * printing::pointsPerInch;
constexpr double tearOff = 3.5 * printing::pointsPerInch;

std::string dollars(Money amount) {
  return "$" + amount.toGroupedString();
}

// A guarantor in credit owes nothing: the due boxes say $0.00, and the credit
// is told in words, so nobody pays a negative amount or reads it as owed.
std::string dueDollars(Money amount) {
  return dollars(amount < Money() ? Money() : amount);
}

void remittancePart(Page& page, const StatementForm& form) {
  double y = 36;
  page.text(left, y, 280, form.practice.name, Font{12, true});
  y += 15;
  for (const std::string& line : form.practice.lines) {
    page.text(left, y, 280, line, Font{9});
    y += 11;
  }

  // Facts the office needs back with the payment, in a grid at the right.
  const double x = 360;
  const double labelWidth = 100;
  const double width = right - x;
  const std::vector<std::pair<std::string, std::string>> facts{
      {"Statement Date", form.statementDate.toMonthDayYear()},
      {"Account Number", form.accountNumber},
      {"Statement Number", std::to_string(form.statementNumber)},
      {"Amount Due", dueDollars(form.amountDue)},
      {"Amount Enclosed", "$"}};
  y = 36;
  for (const auto& [label, value] : facts) {
    const bool due = label == "Amount Due";
    if (due) page.shadedBox(x, y, width, 18);
    page.box(x, y, width, 18);
    page.line(x + labelWidth, y, x + labelWidth, y + 18);
    page.text(x + 4, y + 4, labelWidth - 8, label, Font{8, due});
    page.text(x + labelWidth + 4, y + 3, width - labelWidth - 8, value, Font{10, due},
              label == "Amount Enclosed" ? Align::Left : Align::Right);
    y += 18;
  }

  page.text(windowLeft, windowTop - 12, 260, "STATEMENT FOR", Font{7});
  y = windowTop;
  page.text(windowLeft, y, 260, form.guarantor.name, Font{11});
  for (const std::string& line : form.guarantor.lines) {
    y += 13;
    page.text(windowLeft, y, 260, line, Font{11});
  }

  page.text(x, windowTop, width, "Make checks payable to", Font{8});
  page.text(x, windowTop + 11, width, form.practice.name, Font{9, true});
  page.text(left, tearOff - 16, right - left,
            "Please detach and return this part with your payment.", Font{8}, Align::Center);
  page.line(0, tearOff, 612, tearOff, 0.5, true);
}

const std::vector<printing::Column>& entryColumns() {
  static const std::vector<printing::Column> columns{{"Date", 62},
                                                     {"Patient", 118},
                                                     {"Code", 62},
                                                     // A deductible tells its amount only here.
                                                     {"Description", 182, Align::Left, false, true},
                                                     {"Amount", 80, Align::Right}};
  return columns;
}

void summary(printing::FlowLayout& layout, const StatementForm& form) {
  const Font body{9};
  const Font bold{9, true};
  std::vector<std::pair<std::string, Money>> lines{
      {"Charges", form.charges}, {"Payments", form.payments}, {"Adjustments", form.adjustments}};
  const double boxHeight = 34;
  layout.keepTogether(static_cast<double>(lines.size()) * 12 + 24 + boxHeight + 30);
  layout.skip(6);
  for (const auto& [label, amount] : lines) {
    layout.page().text(right - 220, layout.cursor(), 130, label, body);
    layout.page().text(right - 100, layout.cursor(), 98, amount.toGroupedString(), body,
                       Align::Right);
    layout.skip(12);
  }
  layout.page().line(right - 220, layout.cursor() + 1, right, layout.cursor() + 1);
  layout.skip(4);
  layout.page().text(right - 220, layout.cursor(), 130, "Balance", bold);
  layout.page().text(right - 100, layout.cursor(), 98, form.amountDue.toGroupedString(), bold,
                     Align::Right);
  layout.skip(20);

  // The aging boxes, then what is pending with insurance and what is due.
  std::vector<std::pair<std::string, Money>> boxes;
  for (std::size_t column = 0; column < 4; ++column)
    boxes.emplace_back(form.aging.headings[column], form.aging.amounts[column]);
  if (!form.remainder) boxes.emplace_back("Insurance Pending", form.insurancePending);
  boxes.emplace_back("Amount Due", form.amountDue);
  const double width = (right - left) / static_cast<double>(boxes.size());
  double x = left;
  const double top = layout.cursor();
  for (const auto& [heading, amount] : boxes) {
    const bool due = heading == "Amount Due";
    layout.page().shadedBox(x, top, width, 14, due ? 0.8 : 0.92);
    layout.page().box(x, top, width, boxHeight);
    layout.page().text(x + 2, top + 3, width - 4, heading, Font{7, true}, Align::Center);
    layout.page().text(x + 2, top + 18, width - 6, due ? dueDollars(amount) : dollars(amount),
                       Font{10, due}, Align::Right);
    x += width;
  }
  layout.skip(boxHeight + 10);
  if (form.amountDue < Money())
    layout.textLine("Your account has a credit balance of " + dollars(-form.amountDue) +
                        ". Please do not send a payment.",
                    Font{8, true});
  if (!form.remainder && !form.insurancePending.isZero())
    layout.textLine(
        "Insurance pending is part of the amount due; we will bill you for what "
        "your insurance does not pay.",
        Font{8});
}

}  // namespace

void layOutStatement(printing::Document& document, const StatementForm& form) {
  printing::FlowLayout layout(document, printing::Margins{36, 48, left, 612 - right});
  bool first = true;
  layout.setHeader([&](Page& page, const printing::Frame& margins) {
    double top = 0;
    if (first) {
      remittancePart(page, form);
      top = tearOff - margins.top + 14;
      first = false;
    }
    const double y = margins.top + top;
    page.text(left, y, 300, form.practice.name, Font{11, true});
    if (!form.practicePhone.empty()) page.text(left, y + 14, 300, form.practicePhone, Font{9});
    page.text(right - 220, y, 220, form.remainder ? "REMAINDER STATEMENT" : "STATEMENT",
              Font{13, true}, Align::Right);
    const std::string facts =
        fmt::format("Account {}   Statement {}   Date {}", form.accountNumber, form.statementNumber,
                    form.statementDate.toMonthDayYear());
    page.text(right - 320, y + 16, 320, facts, Font{8}, Align::Right);
    page.text(left, y + 30, 400, form.guarantor.name, Font{9, true});
    return top + 50;
  });

  std::vector<printing::TableRow> rows;
  for (const StatementEntry& entry : form.entries) {
    printing::TableRow row;
    const bool charge = entry.kind == StatementEntry::Kind::Charge;
    const bool comment = entry.kind == StatementEntry::Kind::Comment;
    row.cells = {entry.date.toMonthDayYear(), charge || comment ? entry.patientName : "",
                 entry.code, charge || comment ? entry.description : "   " + entry.description,
                 comment ? printing::Cell() : printing::Cell(entry.amount)};
    rows.push_back(std::move(row));
  }
  if (rows.empty())
    rows.push_back({{"", "", "",
                     form.remainder ? "Nothing is owed after insurance."
                                    : "No transactions on this statement.",
                     ""}});
  layout.table(entryColumns(), rows);
  summary(layout, form);
  layout.numberPages();
}

}  // namespace vantrell::statements
