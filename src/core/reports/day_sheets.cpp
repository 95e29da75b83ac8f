#include "reports/day_sheets.hpp"

#include <fmt/format.h>

#include <cctype>
#include <cmath>
#include <map>
#include <unordered_map>

#include "store/dialect.hpp"
#include "store/sql_expression.hpp"
#include "transactions/balances.hpp"

namespace vantrell::reports {

// ---------------------------------------------------------------------------
// The classification of transactions

void LedgerTotals::add(std::string_view transactionType, Money amount) {
  const char type = transactionType.empty() ? ' ' : transactionType.front();
  netEffect += amount;
  if (type >= 'A' && type <= 'H') {
    charges += amount;
    switch (type) {
      case 'A':
        procedureCharges += amount;
        ++procedures;
        break;
      case 'B':
        productCharges += amount;
        break;
      case 'C':
        insideLab += amount;
        break;
      case 'D':
        outsideLab += amount;
        break;
      case 'G':
        taxCharges += amount;
        break;
      case 'H':
        billingCharges += amount;
        break;
      default:
        break;
    }
    return;
  }
  if (type >= 'I' && type <= 'R') {
    receipts += amount;
    switch (type) {
      case 'I':
        insurancePayments += amount;
        break;
      case 'J':
        cashCopayments += amount;
        break;
      case 'K':
        checkCopayments += amount;
        break;
      case 'L':
        creditCardCopayments += amount;
        break;
      case 'M':
        cashPayments += amount;
        break;
      case 'N':
        checkPayments += amount;
        break;
      case 'O':
        creditCardPayments += amount;
        break;
      case 'P':
        deductibles += amount;
        break;
      default:
        break;
    }
    return;
  }
  if (type < 'S' || type > 'X') return;
  // On the patient day sheet a take-back is money received back from the
  // carrier's side of the account, not an adjustment.
  if (type == 'V' && patientDaySheet_) {
    insurancePayments += amount;
    receipts += amount;
    return;
  }
  adjustments += amount;
  const bool debit = amount > Money();
  const bool credit = amount < Money();
  if (type == 'S') {
    if (debit) debitAdjustments += amount;
    if (credit) creditAdjustments += amount;
  } else if (type == 'T') {
    if (debit) insuranceDebitAdjustments += amount;
    if (credit) insuranceCreditAdjustments += amount;
  } else if (type == 'U') {
    insuranceWithholds += amount;
  }
}

std::vector<SummaryLine> LedgerTotals::summaryLines() const {
  return {{"Total Procedure Charges", procedureCharges},
          {"Total Product Charges", productCharges},
          {"Total Inside Lab Charges", insideLab},
          {"Total Outside Lab Charges", outsideLab},
          {"Total Tax Charges", taxCharges},
          {"Total Billing Charges", billingCharges},
          {"Total Charges", charges},
          {"Total Insurance Payments", insurancePayments},
          {"Total Cash Copayments", cashCopayments},
          {"Total Check Copayments", checkCopayments},
          {"Total Credit Card Copayments", creditCardCopayments},
          {"Total Patient Cash Payments", cashPayments},
          {"Total Patient Check Payments", checkPayments},
          {"Total Credit Card Payments", creditCardPayments},
          {"Total Deductibles", deductibles},
          {"Total Receipts", receipts},
          {"Total Debit Adjustments", debitAdjustments},
          {"Total Credit Adjustments", creditAdjustments},
          {"Total Insurance Debit Adjustments", insuranceDebitAdjustments},
          {"Total Insurance Credit Adjustments", insuranceCreditAdjustments},
          {"Total Insurance Withholds", insuranceWithholds},
          {"Total Adjustments", adjustments},
          {"Net Effect on Accounts Receivable", netEffect}};
}

namespace {

// Ten-thousandths divided, halves away from zero.
Money divided(Money amount, double divisor) {
  return Money::fromTenThousandths(
      std::llround(static_cast<double>(amount.tenThousandths()) / divisor));
}

}  // namespace

Money analysisCost(double units, Money costOfService) {
  return costOfService.times(units);
}

Money revenuePerMinute(Money netAmount, std::int64_t minutesToDo) {
  if (minutesToDo <= 0) return {};
  return divided(netAmount, static_cast<double>(minutesToDo));
}

Money averageAmount(Money amount, double units) {
  if (units == 0) return {};
  return divided(amount, units);
}

// ---------------------------------------------------------------------------
// Reading the ledger

namespace {

using store::FieldType;

std::string sqlName(std::string_view name) {
  return store::Dialect::quoteIdentifier(name);
}

std::string textOf(const store::Value& value) {
  if (const auto* text = std::get_if<std::string>(&value)) return *text;
  return {};
}

std::int64_t integerOf(const store::Value& value) {
  if (const auto* number = std::get_if<std::int64_t>(&value)) return *number;
  if (const auto* real = std::get_if<double>(&value)) return std::llround(*real);
  return 0;
}

double realOf(const store::Value& value) {
  if (const auto* real = std::get_if<double>(&value)) return *real;
  if (const auto* number = std::get_if<std::int64_t>(&value)) return static_cast<double>(*number);
  return 0;
}

Date dateOf(const store::Value& value) {
  if (const auto* date = std::get_if<Date>(&value)) return *date;
  return {};
}

std::string upper(std::string text) {
  for (char& letter : text)
    letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
  return text;
}

std::string personName(const std::string& last, const std::string& first,
                       const std::string& middle) {
  std::string name = last;
  if (!first.empty()) name += ", " + first;
  if (!middle.empty()) name += " " + middle;
  return name;
}

struct Patient {
  std::string name;
  Money balance;
  std::string billingCode;
  std::string indicator;
};

struct ProcedureCode {
  std::string description;
  Money cost;
  std::int64_t minutes = 0;
};

// One ledger line as the reports read it.
struct Line {
  std::int64_t entry = 0;
  std::string chart;
  Date dateFrom;
  std::string document, description, provider, code, type, place;
  std::string modifiers[4];
  Money amount;
  double units = 0;
  Money unapplied;
};

const std::vector<std::pair<const char*, FieldType>> lineFields = {
    {"Entry Number", FieldType::AutoIncrement},
    {"Chart Number", FieldType::Character},
    {"Date From", FieldType::Date},
    {"Document Number", FieldType::Character},
    {"Description", FieldType::Character},
    {"Attending Provider", FieldType::Character},
    {"Procedure Code", FieldType::Character},
    {"Transaction Type", FieldType::Character},
    {"Place of Service", FieldType::Character},
    {"Modifier 1", FieldType::Character},
    {"Modifier 2", FieldType::Character},
    {"Modifier 3", FieldType::Character},
    {"Modifier 4", FieldType::Character},
    {"Amount", FieldType::Double},
    {"Units", FieldType::Double},
    {"Unapplied Amount", FieldType::Money},
    {"Procedure Description", FieldType::Character}};

Line readLine(store::ResultRows& rows) {
  const auto column = [&rows](std::size_t index) {
    return rows.column(index, lineFields[index].second);
  };
  Line line;
  line.entry = integerOf(column(0));
  line.chart = textOf(column(1));
  line.dateFrom = dateOf(column(2));
  line.document = textOf(column(3));
  line.description = textOf(column(4));
  line.provider = textOf(column(5));
  line.code = textOf(column(6));
  line.type = textOf(column(7));
  line.place = textOf(column(8));
  for (std::size_t modifier = 0; modifier < 4; ++modifier)
    line.modifiers[modifier] = textOf(column(9 + modifier));
  line.amount = transactions::moneyOf(column(13));
  line.units = realOf(column(14));
  line.unapplied = transactions::moneyOf(column(15));
  // A charge typed without a description of its own shows its code's.
  if (line.description.empty()) line.description = textOf(column(16));
  return line;
}

std::unordered_map<std::string, Patient> readPatients(store::Connection& practice) {
  std::unordered_map<std::string, Patient> patients;
  auto rows = practice.driver().query(
      "SELECT \"Chart Number\", \"Last Name\", \"First Name\", \"Middle Initial\", "
      "\"Patient Reference Balance\", \"Billing Code\", \"Patient Indicator\" FROM \"QVPAT\"",
      {});
  while (rows->next()) {
    Patient patient;
    patient.name = personName(textOf(rows->column(1, FieldType::Character)),
                              textOf(rows->column(2, FieldType::Character)),
                              textOf(rows->column(3, FieldType::Character)));
    patient.balance = transactions::moneyOf(rows->column(4, FieldType::Double));
    patient.billingCode = upper(textOf(rows->column(5, FieldType::Character)));
    patient.indicator = upper(textOf(rows->column(6, FieldType::Character)));
    patients.emplace(upper(textOf(rows->column(0, FieldType::Character))), std::move(patient));
  }
  return patients;
}

std::unordered_map<std::string, std::string> readProviders(store::Connection& practice) {
  std::unordered_map<std::string, std::string> providers;
  auto rows = practice.driver().query(
      "SELECT \"Code\", \"Last Name\", \"First Name\", \"Middle Initial\" FROM \"QVPHY\"", {});
  while (rows->next())
    providers.emplace(upper(textOf(rows->column(0, FieldType::Character))),
                      personName(textOf(rows->column(1, FieldType::Character)),
                                 textOf(rows->column(2, FieldType::Character)),
                                 textOf(rows->column(3, FieldType::Character))));
  return providers;
}

std::unordered_map<std::string, ProcedureCode> readProcedureCodes(store::Connection& practice) {
  std::unordered_map<std::string, ProcedureCode> codes;
  auto rows = practice.driver().query(
      "SELECT \"Code 1\", \"Description\", \"Cost of Service/Product\", \"Time To Do Procedure\" "
      "FROM \"QVPRO\"",
      {});
  while (rows->next())
    codes.emplace(upper(textOf(rows->column(0, FieldType::Character))),
                  ProcedureCode{textOf(rows->column(1, FieldType::Character)),
                                transactions::moneyOf(rows->column(2, FieldType::Double)),
                                integerOf(rows->column(3, FieldType::Integer))});
  return codes;
}

std::string practiceNameOf(store::Connection& practice) {
  if (!practice.tableExists("QVPRA")) return {};
  auto rows = practice.driver().query("SELECT \"Practice Name\" FROM \"QVPRA\"", {});
  return rows->next() ? textOf(rows->column(0, FieldType::Character)) : std::string();
}

// The ledger's text of the selection: the transaction types of the report, the
// ranges on ledger fields, the blank facility; ordered by the report's groups.
std::pair<std::string, std::vector<store::Value>> ledgerQuery(store::Connection& practice,
                                                              const LedgerSelection& selection) {
  const store::TableDefinition& ledger = *practice.catalogue().find("QVTRN");
  const store::Dialect& dialect = practice.dialect();
  std::string columns;
  for (const auto& [field, type] : lineFields)
    columns += (columns.empty() ? "" : ", ") + sqlName(field);
  std::string sql = "SELECT " + columns + " FROM \"QVTRN\" WHERE ";
  std::vector<store::Value> parameters;
  if (selection.kind == LedgerReportKind::PaymentDaySheet) {
    sql +=
        "((\"Transaction Type\" >= ? AND \"Transaction Type\" <= ?) OR \"Transaction Type\" = ?)";
    parameters = {std::string("I"), std::string("R"), std::string("V")};
  } else {
    sql += "\"Transaction Type\" < ?";
    parameters = {std::string("Z")};
  }
  for (const FieldRange& range : selection.ranges) {
    if (range.table != "QVTRN") continue;
    const bool isDate =
        std::holds_alternative<Date>(range.from) || std::holds_alternative<Date>(range.to);
    if (isDate) {
      // Dates are compared as their index keys are written, so that a day's
      // entries are found through the index rather than by reading the ledger.
      const auto part = store::keyPartsForFields(ledger, {range.field}, dialect).at(0);
      if (!store::isEmptyValue(range.from)) {
        sql += " AND " + part.sql + " >= ?";
        parameters.push_back(store::keyValue(part, range.from, dialect));
      }
      if (!store::isEmptyValue(range.to)) {
        sql += " AND " + part.sql + " <= ?";
        parameters.push_back(store::keyValue(part, range.to, dialect));
        // An empty date is no date up to the bound.
        if (store::isEmptyValue(range.from)) sql += " AND " + sqlName(range.field) + " IS NOT NULL";
      }
      continue;
    }
    const std::string field = "UPPER(" + sqlName(range.field) + ")";
    if (!store::isEmptyValue(range.from)) {
      sql += " AND " + field + " >= ?";
      parameters.push_back(range.from);
    }
    if (!store::isEmptyValue(range.to)) {
      sql += " AND " + field + " <= ?";
      parameters.push_back(range.to);
    }
  }
  if (selection.blankFacility) {
    sql += " AND \"Facility\" = ?";
    parameters.push_back(std::string());
  }
  // Lines without a creation date first on both engines, then by date and entry.
  const std::string byCreation =
      ", (\"Date Created\" IS NULL) DESC, \"Date Created\", \"Entry Number\"";
  switch (selection.kind) {
    case LedgerReportKind::PatientDaySheet:
      sql += " ORDER BY \"Chart Number\"" + byCreation;
      break;
    case LedgerReportKind::ProcedureDaySheet:
      sql += " ORDER BY \"Procedure Code\"" + byCreation;
      break;
    case LedgerReportKind::PaymentDaySheet:
      sql += " ORDER BY \"Attending Provider\"" + byCreation;
      break;
    case LedgerReportKind::PracticeAnalysis:
      sql +=
          " ORDER BY \"Procedure Code\", \"Modifier 1\", \"Modifier 2\", \"Modifier 3\", "
          "\"Modifier 4\", \"Entry Number\"";
      break;
  }
  return {sql, parameters};
}

// Whether a patient passes the questions asked of the patient table.
bool patientPasses(const LedgerSelection& selection, const Patient* patient) {
  for (const FieldRange& range : selection.ranges) {
    if (range.table != "QVPAT") continue;
    const std::string value =
        patient == nullptr
            ? std::string()
            : (range.field == "Billing Code" ? patient->billingCode : patient->indicator);
    if (!store::isEmptyValue(range.from) && value < textOf(range.from)) return false;
    if (!store::isEmptyValue(range.to) && value > textOf(range.to)) return false;
  }
  return true;
}

bool asksPatients(const LedgerSelection& selection) {
  for (const FieldRange& range : selection.ranges)
    if (range.table == "QVPAT") return true;
  return false;
}

Value unitsValue(double units) {
  if (units == std::floor(units)) return Value::count(static_cast<std::int64_t>(units));
  return fmt::format("{:g}", units);
}

std::string dateText(const Date& date) {
  return date.isEmpty() ? std::string() : shortDate(date);
}

// "Practice Totals": the whole ledger in one grouped read.
std::vector<SummaryLine> practiceTotals(store::Connection& practice) {
  auto rows = practice.driver().query(
      "SELECT \"Transaction Type\", COUNT(*), SUM(ROUND(\"Amount\" * 10000)) FROM \"QVTRN\" "
      "WHERE \"Transaction Type\" < ? GROUP BY \"Transaction Type\"",
      {store::Value{std::string("Z")}});
  std::int64_t procedures = 0;
  Money charges, payments, adjustments, receivable;
  while (rows->next()) {
    const std::string type = textOf(rows->column(0, FieldType::Character));
    const Money sum =
        Money::fromTenThousandths(std::llround(realOf(rows->column(2, FieldType::Double))));
    const char letter = type.empty() ? ' ' : type.front();
    if (letter == 'A') procedures += integerOf(rows->column(1, FieldType::Integer));
    if (letter >= 'A' && letter <= 'H') charges += sum;
    if (letter >= 'I' && letter <= 'R') payments += sum;
    if (letter >= 'S' && letter <= 'Y') adjustments += sum;
    receivable += sum;
  }
  return {{"Practice Totals", {}},
          {"Total # Procedures", Value::count(procedures)},
          {"Total Charges", charges},
          {"Total Payments", payments},
          {"Total Adjustments", adjustments},
          {"Accounts Receivable", receivable}};
}

// Builds one report from the ordered lines, a group at a time.
class ReportBuilder {
 public:
  ReportBuilder(store::Connection& practice, const LedgerSelection& selection)
      : practice_(practice),
        selection_(selection),
        totals_(selection.kind == LedgerReportKind::PatientDaySheet) {
    report_.header.title = ledgerReportTitle(selection.kind);
    report_.header.ranges = selection.headerLines;
    switch (selection.kind) {
      case LedgerReportKind::PatientDaySheet:
        report_.columns = {
            {"Entry", Value::Kind::Count, 40},   {"Date", Value::Kind::Text, 58},
            {"Document", Value::Kind::Text, 62}, {"Description", Value::Kind::Text, 150},
            {"Provider", Value::Kind::Text, 55}, {"Code", Value::Kind::Text, 60},
            {"Amount", Value::Kind::Amount, 70}, {"POS", Value::Kind::Text, 30},
            {"Modifier", Value::Kind::Text, 55}};
        report_.groupLevels = {"Chart Number"};
        break;
      case LedgerReportKind::ProcedureDaySheet:
        report_.columns = {
            {"Entry", Value::Kind::Count, 40},       {"Date", Value::Kind::Text, 58},
            {"Chart", Value::Kind::Text, 60},        {"Document", Value::Kind::Text, 62},
            {"Description", Value::Kind::Text, 150}, {"Provider", Value::Kind::Text, 55},
            {"Amount", Value::Kind::Amount, 70},     {"Debit", Value::Kind::Amount, 70},
            {"Credit", Value::Kind::Amount, 70}};
        report_.groupLevels = {"Procedure Code"};
        break;
      case LedgerReportKind::PaymentDaySheet:
        report_.columns = {
            {"Entry", Value::Kind::Count, 40},   {"Date", Value::Kind::Text, 58},
            {"Document", Value::Kind::Text, 62}, {"Description", Value::Kind::Text, 150},
            {"Chart", Value::Kind::Text, 60},    {"Code", Value::Kind::Text, 60},
            {"Amount", Value::Kind::Amount, 75}, {"Unapplied", Value::Kind::Amount, 75}};
        report_.groupLevels = {"Attending Provider"};
        break;
      case LedgerReportKind::PracticeAnalysis:
        report_.columns = {
            {"Code", Value::Kind::Text, 60},         {"Modifiers", Value::Kind::Text, 60},
            {"Description", Value::Kind::Text, 150}, {"Amount", Value::Kind::Amount, 75},
            {"Units", Value::Kind::Count, 40},       {"Net Amount", Value::Kind::Amount, 75},
            {"Ave Amount", Value::Kind::Amount, 70}, {"Revenue/Min", Value::Kind::Amount, 65}};
        break;
    }
    if (selection.kind == LedgerReportKind::PatientDaySheet ||
        (selection.kind == LedgerReportKind::ProcedureDaySheet && asksPatients(selection)))
      patients_ = readPatients(practice);
    if (selection.kind == LedgerReportKind::PaymentDaySheet) providers_ = readProviders(practice);
    if (selection.kind == LedgerReportKind::ProcedureDaySheet ||
        selection.kind == LedgerReportKind::PracticeAnalysis)
      codes_ = readProcedureCodes(practice);
  }

  // False when the line's patient is not asked for.
  bool add(const Line& line) {
    if (asksPatients(selection_)) {
      const auto found = patients_.find(upper(line.chart));
      if (!patientPasses(selection_, found == patients_.end() ? nullptr : &found->second))
        return false;
    }
    switch (selection_.kind) {
      case LedgerReportKind::PatientDaySheet:
        addPatientLine(line);
        break;
      case LedgerReportKind::ProcedureDaySheet:
        addProcedureLine(line);
        break;
      case LedgerReportKind::PaymentDaySheet:
        addPaymentLine(line);
        break;
      case LedgerReportKind::PracticeAnalysis:
        addAnalysisLine(line);
        break;
    }
    totals_.add(line.type, line.amount);
    ++lines_;
    return true;
  }

  Report finish() {
    closeGroup();
    report_.header.practiceName = practiceNameOf(practice_);
    switch (selection_.kind) {
      case LedgerReportKind::PatientDaySheet:
        report_.summary = totals_.summaryLines();
        report_.summary.insert(report_.summary.begin(),
                               {{"Total # Patients", Value::count(groupCount_)},
                                {"Total # Procedures", Value::count(totals_.procedures)}});
        break;
      case LedgerReportKind::ProcedureDaySheet:
        report_.totals.push_back(
            {"Total of Codes:",
             {{}, {}, {}, {}, {}, {}, totals_.netEffect, allDebit_, allCredit_}});
        report_.summary.push_back({"Balance:", allDebit_ + allCredit_});
        break;
      case LedgerReportKind::PaymentDaySheet:
        report_.summary = {{"Total Payments", totals_.netEffect},
                           {"Total # Payments", Value::count(lines_)},
                           {"Total Applied Payments", applied_},
                           {"Total Unapplied Payments", unapplied_}};
        break;
      case LedgerReportKind::PracticeAnalysis:
        report_.totals.push_back(
            {"Totals", {{}, {}, {}, allAmount_, unitsValue(allUnits_), allNet_, {}, {}}});
        report_.summary = totals_.summaryLines();
        break;
    }
    if (selection_.practiceTotals) {
      const auto lines = practiceTotals(practice_);
      report_.summary.insert(report_.summary.end(), lines.begin(), lines.end());
    }
    return std::move(report_);
  }

  std::int64_t lines() const { return lines_; }

 private:
  // Starts a new group when the key changes.
  Group& groupFor(const std::string& key, const std::string& title) {
    if (!open_ || current_.key != key) {
      closeGroup();
      current_ = Group{};
      current_.key = key;
      current_.title = title;
      open_ = true;
      ++groupCount_;
      groupAmount_ = groupDebit_ = groupCredit_ = Money();
      groupTotals_ = LedgerTotals(selection_.kind == LedgerReportKind::PatientDaySheet);
      groupUnits_ = 0;
      groupAverages_ = Money();
      groupLines_ = 0;
    }
    return current_;
  }

  void closeGroup() {
    if (!open_) return;
    open_ = false;
    switch (selection_.kind) {
      case LedgerReportKind::PatientDaySheet: {
        const auto patient = patients_.find(upper(current_.key));
        const Money balance = patient == patients_.end() ? Money() : patient->second.balance;
        const auto amountCells = [](Money amount) {
          return std::vector<Value>{{}, {}, {}, {}, {}, {}, amount, {}, {}};
        };
        current_.totals = {{"Charges", amountCells(groupTotals_.charges)},
                           {"Receipts", amountCells(groupTotals_.receipts)},
                           {"Adjustments", amountCells(groupTotals_.adjustments)},
                           {"Balance", amountCells(balance)}};
        break;
      }
      case LedgerReportKind::ProcedureDaySheet:
        current_.totals = {
            {"Total of " + current_.key, {{}, {}, {}, {}, {}, {}, {}, groupDebit_, groupCredit_}},
            {fmt::format("Quantity: {}", groupLines_), {}}};
        break;
      case LedgerReportKind::PaymentDaySheet:
        current_.totals = {{"Provider Total", {{}, {}, {}, {}, {}, {}, groupAmount_, {}}},
                           {fmt::format("Count: {}", groupLines_), {}}};
        break;
      case LedgerReportKind::PracticeAnalysis: {
        const auto code = codes_.find(upper(analysisCode_));
        const ProcedureCode known = code == codes_.end() ? ProcedureCode{} : code->second;
        const Money average = divided(groupAverages_, static_cast<double>(groupLines_));
        report_.rows.push_back({{analysisCode_, analysisModifiers_, known.description, groupAmount_,
                                 unitsValue(groupUnits_), groupNet_, average,
                                 revenuePerMinute(groupNet_, known.minutes)},
                                {}});
        return;
      }
    }
    report_.groups.push_back(std::move(current_));
  }

  void addPatientLine(const Line& line) {
    if (!open_ || current_.key != line.chart) {
      const auto patient = patients_.find(upper(line.chart));
      const std::string name = patient == patients_.end() ? std::string() : patient->second.name;
      groupFor(line.chart, name.empty() ? line.chart : line.chart + "  " + name);
    }
    Group& group = current_;
    std::string modifiers;
    for (const auto& modifier : line.modifiers)
      if (!modifier.empty()) modifiers += (modifiers.empty() ? "" : " ") + modifier;
    group.rows.push_back(
        {{Value::count(line.entry), dateText(line.dateFrom), line.document, line.description,
          line.provider, line.code, line.amount, line.place, modifiers},
         {}});
    groupTotals_.add(line.type, line.amount);
  }

  void addProcedureLine(const Line& line) {
    const auto code = codes_.find(upper(line.code));
    const std::string description = code == codes_.end() ? std::string() : code->second.description;
    Group& group =
        groupFor(line.code, description.empty() ? line.code : line.code + "  " + description);
    // A take-back runs the other way: money given back is a credit.
    const bool reversed = !line.type.empty() && line.type.front() == 'V';
    const bool positive = line.amount > Money();
    Value debit, credit;
    if (positive != reversed && !line.amount.isZero()) {
      debit = line.amount;
      groupDebit_ += line.amount;
      allDebit_ += line.amount;
    } else if (!line.amount.isZero()) {
      credit = line.amount;
      groupCredit_ += line.amount;
      allCredit_ += line.amount;
    }
    group.rows.push_back(
        {{Value::count(line.entry), dateText(line.dateFrom), line.chart, line.document,
          line.description, line.provider, line.amount, debit, credit},
         {}});
    ++groupLines_;
  }

  void addPaymentLine(const Line& line) {
    const auto provider = providers_.find(upper(line.provider));
    const std::string name = provider == providers_.end() ? std::string() : provider->second;
    Group& group =
        groupFor(line.provider, name.empty() ? line.provider : line.provider + "  " + name);
    // A deductible moves no money, so nothing of it is left to apply.
    const bool deductible = line.type == "P";
    group.rows.push_back(
        {{Value::count(line.entry), dateText(line.dateFrom), line.document, line.description,
          line.chart, line.code, line.amount, deductible ? Value("N/A") : Value(line.unapplied)},
         {}});
    groupAmount_ += line.amount;
    ++groupLines_;
    if (!deductible) {
      unapplied_ += line.unapplied;
      applied_ += line.amount - line.unapplied;
    }
  }

  void addAnalysisLine(const Line& line) {
    std::string modifiers;
    for (const auto& modifier : line.modifiers) modifiers += '|' + modifier;
    const std::string key = line.code + modifiers;
    if (!open_ || current_.key != key) {
      groupFor(key, {});
      analysisCode_ = line.code;
      analysisModifiers_.clear();
      for (const auto& modifier : line.modifiers)
        if (!modifier.empty())
          analysisModifiers_ += (analysisModifiers_.empty() ? "" : " ") + modifier;
      groupNet_ = Money();
    }
    const auto code = codes_.find(upper(line.code));
    const Money cost = code == codes_.end() ? Money() : analysisCost(line.units, code->second.cost);
    const Money net = line.amount - cost;
    groupAmount_ += line.amount;
    groupUnits_ += line.units;
    groupNet_ += net;
    groupAverages_ += averageAmount(line.amount, line.units);
    ++groupLines_;
    allAmount_ += line.amount;
    allUnits_ += line.units;
    allNet_ += net;
  }

  store::Connection& practice_;
  const LedgerSelection& selection_;
  Report report_;
  LedgerTotals totals_;
  std::unordered_map<std::string, Patient> patients_;
  std::unordered_map<std::string, std::string> providers_;
  std::unordered_map<std::string, ProcedureCode> codes_;
  std::int64_t lines_ = 0;
  std::int64_t groupCount_ = 0;

  Group current_;
  bool open_ = false;
  LedgerTotals groupTotals_;
  Money groupAmount_, groupDebit_, groupCredit_, groupNet_, groupAverages_;
  double groupUnits_ = 0;
  std::int64_t groupLines_ = 0;
  std::string analysisCode_, analysisModifiers_;

  Money allDebit_, allCredit_, allAmount_, allNet_;
  double allUnits_ = 0;
  Money applied_, unapplied_;
};

}  // namespace

std::optional<Report> ledgerReport(store::Connection& practice, const LedgerSelection& selection,
                                   ui::Prompter& prompter, Date today, ui::Progress* progress) {
  ui::SilentProgress silent;
  ui::Progress& meter = progress != nullptr ? *progress : silent;
  ReportBuilder builder(practice, selection);
  const auto [sql, parameters] = ledgerQuery(practice, selection);
  meter.begin(ledgerReportTitle(selection.kind), 0);
  std::int64_t read = 0;
  auto rows = practice.driver().query(sql, parameters);
  while (rows->next()) {
    builder.add(readLine(*rows));
    if (++read % 1000 == 0 && !meter.advance(read)) {
      meter.end();
      return std::nullopt;
    }
  }
  meter.end();
  Report report = builder.finish();
  report.header.runDate = today;
  if (builder.lines() == 0) {
    prompter.inform(noReportData);
    report.summary.clear();
    report.totals.clear();
  }
  return report;
}

}  // namespace vantrell::reports
