#include "statements/statement_creation.hpp"

#include <fmt/format.h>

#include "statements/ledger_rows.hpp"
#include "statements/statement_rules.hpp"
#include "store/names.hpp"
#include "store/table.hpp"
#include "store/trigger_switch.hpp"

namespace vantrell::statements {
namespace {

constexpr const char* passLabels[3] = {"Previously Billed and Paid", "Previously Billed and Unpaid",
                                       "Unbilled"};

std::vector<std::string> codesOf(const std::string& text) {
  std::vector<std::string> codes;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t comma = std::min(text.find(',', start), text.size());
    std::string code = text.substr(start, comma - start);
    const auto first = code.find_first_not_of(' ');
    code = first == std::string::npos ? std::string{}
                                      : std::string(store::trimRight(code.substr(first)));
    if (!code.empty()) codes.push_back(code);
    start = comma + 1;
  }
  return codes;
}

// The conditions every candidate of a run meets: not on a statement, not
// above "H", its case prints statements, and the chart (single-account mode)
// or the ranges the person filled.
void addCommonConditions(SqlQuery& query, const std::string& chartNumber, bool rangeMode,
                         const CreationInputs& inputs) {
  query.sql +=
      " WHERE COALESCE(t.\"Statement Number\", 0) = 0 AND t.\"Transaction Type\" <= 'H' AND "
      "c.\"Print Patient Statements\" = ?";
  query.parameters.emplace_back(true);
  const auto add = [&](const char* condition, store::Value value) {
    query.sql += condition;
    query.parameters.push_back(std::move(value));
  };
  const auto addCodes = [&](const char* field, const std::string& text) {
    const auto codes = codesOf(text);
    if (codes.empty()) return;
    query.sql += fmt::format(" AND {} IN (", field);
    for (std::size_t i = 0; i < codes.size(); ++i) {
      query.sql += i == 0 ? "?" : ", ?";
      query.parameters.emplace_back(codes[i]);
    }
    query.sql += ")";
  };
  if (!rangeMode) {
    add(" AND t.\"Chart Number\" = ?", store::upperAscii(chartNumber));
    return;
  }
  if (!inputs.fromChart.empty())
    add(" AND t.\"Chart Number\" >= ?", store::upperAscii(inputs.fromChart));
  if (!inputs.toChart.empty())
    add(" AND t.\"Chart Number\" <= ?", store::upperAscii(inputs.toChart));
  if (!inputs.fromDate.isEmpty()) add(" AND t.\"Date From\" >= ?", inputs.fromDate);
  if (!inputs.toDate.isEmpty()) add(" AND t.\"Date From\" <= ?", inputs.toDate);
  addCodes("t.\"Place of Service\"", inputs.location);
  if (!inputs.provider.empty())
    add(" AND t.\"Attending Provider\" = ?", std::string(store::trimRight(inputs.provider)));
  addCodes("c.\"Billing Code\"", inputs.billingCode);
  addCodes("c.\"Indicator 1\"", inputs.caseIndicator);
}

constexpr const char* ledgerJoin =
    " FROM \"QVTRN\" t JOIN \"QVCAS\" c ON c.\"Case Number\" = t.\"Case Number\"";

// One statement's worth of a pass: the rows of one guarantor.
struct Group {
  std::string guarantor;
  std::string phone;
  std::vector<LedgerRow> rows;
};

class Run {
 public:
  Run(Surroundings& surroundings, const std::string& chart, bool rangeMode,
      const CreationInputs& inputs, std::int64_t batch, CreationOutcome& outcome)
      : s_(surroundings),
        chart_(chart),
        rangeMode_(rangeMode),
        inputs_(inputs),
        batch_(batch),
        outcome_(outcome),
        statements_(s_.practice.openTable("QVSTA")),
        enforce_(s_.options.flag("Enforce Accept Assignment")),
        today_(s_.clock.today()) {
    if (!inputs_.minimumTotal.empty()) {
      // In single-account mode the threshold is 0 whatever text is stored.
      threshold_ = rangeMode_ ? Money::parse(inputs_.minimumTotal).value_or(Money{}) : Money{};
    }
  }

  // Reads the pass's candidates in guarantor order and closes a statement per
  // guarantor. The read goes a page of whole guarantors at a time and each
  // page is closed before its statements are written: on the embedded engine
  // a read left open while writing fails as soon as another workstation saves
  // anything. False when the person aborted.
  bool pass(int number, std::int64_t total) {
    pass_ = number;
    ui::SilentProgress silent;
    ui::Progress& progress = s_.progress != nullptr ? *s_.progress : silent;
    progress.begin(fmt::format("Creating {} Statements", passLabels[number - 1]), total);
    std::int64_t done = 0;
    std::optional<std::string> after;  // the last guarantor of the pages read
    std::int64_t limit = linesPerPage;
    for (;;) {
      std::vector<std::pair<LedgerRow, std::string>> page = readPage(number, after, limit);
      const bool last = static_cast<std::int64_t>(page.size()) < limit;
      if (!last) {
        // The page's last guarantor may go on in the next page: leave it for
        // that page, unless it is the only one, when the page grows.
        const std::string tail = page.back().first.guarantor;
        while (!page.empty() && page.back().first.guarantor == tail) page.pop_back();
        if (page.empty()) {
          limit *= 2;
          continue;
        }
      }
      Group group;
      bool open = false;
      for (auto& [row, phone] : page) {
        if (!progress.advance(++done)) {
          // The statement being gathered is dropped: none of its rows was stamped.
          progress.end();
          return false;
        }
        if (number == 1 && !row.open().isZero()) continue;
        if (number == 2 && row.open().isZero()) continue;
        if (inputs_.type == 'R' && !meetsRemainderCondition(row.flags, enforce_)) continue;
        if (!open || row.guarantor != group.guarantor) {
          if (open) close(group);
          open = true;
          group.guarantor = row.guarantor;
          group.phone = phone;
          group.rows.clear();
        }
        group.rows.push_back(std::move(row));
      }
      if (open) close(group);
      if (last) break;
      after = page.back().first.guarantor;
      limit = linesPerPage;
    }
    progress.end();
    return true;
  }

 private:
  static constexpr std::int64_t linesPerPage = 5000;

  // One page of the pass's candidates, in guarantor order, after the guarantor
  // given; each line with its guarantor's phone.
  std::vector<std::pair<LedgerRow, std::string>> readPage(int number,
                                                          const std::optional<std::string>& after,
                                                          std::int64_t limit) {
    // The patient is found through its key, UPPER(Chart Number), on both
    // sides of the join: a plain comparison would read every patient per line.
    SqlQuery query;
    query.sql = std::string("SELECT ") + ledgerRowColumns + ", p.\"Phone 1\"" + ledgerJoin +
                " LEFT JOIN \"QVPAT\" p ON UPPER(p.\"Chart Number\") = UPPER(c.\"Guarantor\")";
    addCommonConditions(query, chart_, rangeMode_, inputs_);
    query.sql += " AND t.\"Guarantor Responsible\" = ?";
    query.parameters.emplace_back(true);
    query.sql += number == 3 ? " AND t.\"Date of Last Statement\" IS NULL"
                             : " AND t.\"Date of Last Statement\" IS NOT NULL";
    if (after) {
      query.sql += " AND c.\"Guarantor\" > ?";
      query.parameters.emplace_back(*after);
    }
    query.sql +=
        " ORDER BY c.\"Guarantor\", t.\"Case Number\", t.\"Attending Provider\", "
        "t.\"Entry Number\" LIMIT ?";
    query.parameters.emplace_back(limit);
    std::vector<std::pair<LedgerRow, std::string>> page;
    auto rows = s_.practice.driver().query(query.sql, query.parameters);
    while (rows->next()) {
      LedgerRow row = readLedgerRow(*rows);
      std::string phone(store::trimRight(
          store::valueToText(rows->column(ledgerRowColumnCount, store::FieldType::Character))));
      page.emplace_back(std::move(row), std::move(phone));
    }
    return page;
  }

  // No statement when the group's total is at or below the minimum; else the
  // statement and the stamping of its rows, as one database transaction.
  void close(const Group& group) {
    Money total;
    for (const auto& row : group.rows) {
      if (!row.aboveCharges()) total += row.open();
    }
    if (threshold_ && total <= *threshold_) return;

    store::Record statement = statements_.newRecord();
    statement.set("Chart Number", group.guarantor);
    statement.set("Statement Type", std::string(1, inputs_.type));
    statement.set("Phone Number", group.phone.substr(0, 13));
    statement.set("Date Created", today_);
    statement.set("Batch Number", std::int64_t{0});
    statement.set("Submission Count", std::int64_t{0});
    if (pass_ != 3) {
      statement.set("Batch Number", batch_);
      statement.set("Submission Count", std::int64_t{1});
      statement.set("Billing Method", std::string("P"));
      // The earliest and latest earlier billings of the statement's lines.
      Date earliest = today_;
      Date latest = group.rows.front().lastStatement;
      for (const auto& row : group.rows) {
        if (!row.firstStatement.isEmpty() && row.firstStatement < earliest)
          earliest = row.firstStatement;
        if (row.lastStatement > latest) latest = row.lastStatement;
      }
      statement.set("Initial Billing Date", earliest);
      statement.set("Last Billing Date", latest);
    }
    const char* status = total.isZero() || pass_ == 1 ? statusDone
                         : pass_ == 2                 ? statusSent
                                                      : statusReadyToSend;
    statement.set("Status", std::string(status));

    std::vector<std::int64_t> entries;
    entries.reserve(group.rows.size());
    for (const auto& row : group.rows) entries.push_back(row.entryNumber);
    store::Transaction unit(s_.practice);
    statements_.expectAppends(1);
    statements_.append(statement);
    const std::int64_t number = statement.integer("Statement Number");
    // Another workstation's run may have stamped one of these lines since
    // they were read; the guarantor is then left for a later run rather than
    // given a statement whose total counts a line that is not on it.
    if (stampUnstampedLines(s_.practice, entries, number, s_.clock.now()) !=
        static_cast<std::int64_t>(entries.size())) {
      unit.rollback();
      return;
    }
    unit.commit();
    ++outcome_.created;
    outcome_.lastStatement = number;
    outcome_.statements.push_back(number);
  }

  Surroundings& s_;
  const std::string& chart_;
  bool rangeMode_;
  const CreationInputs& inputs_;
  std::int64_t batch_;
  CreationOutcome& outcome_;
  store::Table statements_;
  bool enforce_;
  Date today_;
  std::optional<Money> threshold_;
  int pass_ = 0;
};

std::int64_t countOf(store::Connection& practice, const std::string& sql) {
  auto rows = practice.driver().query(sql, {});
  if (!rows->next()) return 0;
  const auto value = rows->column(0, store::FieldType::Integer);
  const auto* number = std::get_if<std::int64_t>(&value);
  return number != nullptr ? *number : 0;
}

bool hasStatements(store::Connection& practice) {
  auto rows = practice.driver().query("SELECT 1 FROM \"QVSTA\" LIMIT 1", {});
  return rows->next();
}

}  // namespace

std::int64_t countNewCandidates(store::Connection& practice, const std::string& chartNumber,
                                bool rangeMode, const CreationInputs& inputs) {
  SqlQuery query;
  query.sql = std::string("SELECT COUNT(*)") + ledgerJoin;
  addCommonConditions(query, chartNumber, rangeMode, inputs);
  auto rows = practice.driver().query(query.sql, query.parameters);
  if (!rows->next()) return 0;
  const auto value = rows->column(0, store::FieldType::Integer);
  const auto* number = std::get_if<std::int64_t>(&value);
  return number != nullptr ? *number : 0;
}

StatementCreateDialog::StatementCreateDialog(Surroundings surroundings, std::string chartNumber,
                                             bool rangeMode, bool showMessages)
    : surroundings_(surroundings),
      chart_(store::upperAscii(chartNumber)),
      rangeMode_(rangeMode),
      showMessages_(showMessages) {
  const auto type = surroundings_.settings.read(createSettingsKey, "Statement Type");
  inputs_.type = type && *type == "1" ? 'R' : 'S';
  inputs_.minimumTotal =
      surroundings_.settings.read(createSettingsKey, "Statement Total Amount").value_or("");
}

std::string StatementCreateDialog::introText() const {
  return "This will add a Statement entry for " + chart_ + ".";
}

void StatementCreateDialog::chooseType(int choice) {
  inputs_.type = choice == 1 ? 'R' : 'S';
  surroundings_.settings.write(createSettingsKey, "Statement Type", choice == 1 ? "1" : "0");
}

bool StatementCreateDialog::setMinimumTotal(const std::string& text) {
  if (text.size() > 10) return false;
  if (text.find_first_not_of("0123456789.-") != std::string::npos) return false;
  if (!text.empty() && !Money::parse(text)) return false;
  inputs_.minimumTotal = text;
  return true;
}

void StatementCreateDialog::setChartRange(std::string from, std::string to) {
  inputs_.fromChart = store::upperAscii(from);
  inputs_.toChart = store::upperAscii(to);
}

void StatementCreateDialog::setDateRange(Date from, Date to) {
  inputs_.fromDate = from;
  inputs_.toDate = to;
}

bool StatementCreateDialog::confirm() {
  focus_.clear();
  auto& prompter = surroundings_.prompter;
  if (inputs_.minimumTotal.empty() && !hasStatements(surroundings_.practice) &&
      prompter.askYesNo(zeroTotalQuestion))
    inputs_.minimumTotal = "0.00";
  surroundings_.settings.write(createSettingsKey, "Statement Total Amount", inputs_.minimumTotal);
  if (!rangeMode_) return true;
  if (!inputs_.fromDate.isEmpty() && !inputs_.toDate.isEmpty() &&
      inputs_.toDate < inputs_.fromDate) {
    prompter.error(badDateRange);
    focus_ = "To Date";
    return false;
  }
  if (!inputs_.toChart.empty() && inputs_.toChart < inputs_.fromChart) {
    prompter.error(badChartRange);
    focus_ = "To Chart Number";
    return false;
  }
  return true;
}

CreationOutcome StatementCreateDialog::run() {
  CreationOutcome outcome;
  outcome.ran = true;
  auto& practice = surroundings_.practice;
  auto& prompter = surroundings_.prompter;
  if (!hasStatements(practice) && countOf(practice, "SELECT COUNT(*) FROM \"QVTRN\"") > 1000 &&
      !prompter.askYesNo(firstTimeWarning)) {
    outcome.declined = true;
    return outcome;
  }
  const std::string label = typeText(std::string(1, inputs_.type));
  const std::int64_t batch = countOf(practice, "SELECT MAX(\"Batch Number\") FROM \"QVSTA\"") + 1;
  const std::string user =
      surroundings_.security != nullptr && !surroundings_.security->userCode().empty()
          ? surroundings_.security->userCode()
          : practice.userCode();
  store::asBulkOperation(practice, user, "QVTRN", [&] {
    const std::int64_t candidates = countNewCandidates(practice, chart_, rangeMode_, inputs_);
    if (inputs_.type == 'S' && candidates == 0) return;
    Run run(surroundings_, chart_, rangeMode_, inputs_, batch, outcome);
    for (int pass = 1; pass <= 3; ++pass) {
      if (!run.pass(pass, candidates)) {
        outcome.aborted = true;
        break;
      }
    }
  });
  if (outcome.created > 0 && showMessages_) {
    prompter.inform(outcome.created == 1 ? fmt::format("1 {} statement has been created", label)
                                         : fmt::format("{} {} statements have been created",
                                                       outcome.created, label));
  } else if (outcome.created == 0 && showMessages_ && chart_.empty()) {
    prompter.inform("No new " + label + " Statements were created.");
  }
  return outcome;
}

int StatementCreateDialog::resultCode(const CreationOutcome& outcome) const {
  if (outcome.created > 0) return static_cast<int>(outcome.lastStatement);
  if (showMessages_) return 0;
  return inputs_.type == 'R' ? -2 : -1;
}

int createStatements(Surroundings surroundings, const std::string& chartNumber, bool rangeMode,
                     bool showMessages, int permissionItem,
                     const std::function<bool(StatementCreateDialog&)>& fill,
                     CreationOutcome* outcome) {
  if (surroundings.security != nullptr &&
      !surroundings.security->hasPermission(permissionItem, true))
    return 0;
  StatementCreateDialog dialog(surroundings, chartNumber, rangeMode, showMessages);
  do {
    if (!fill(dialog)) return dialog.resultCode({});
  } while (!dialog.confirm());
  const CreationOutcome made = dialog.run();
  if (outcome != nullptr) *outcome = made;
  return dialog.resultCode(made);
}

std::optional<std::int64_t> statementAfterPayment(Surroundings surroundings,
                                                  const std::string& chartNumber,
                                                  StatementPrinting& printing) {
  // The chart's latest statement, through IdxChartStmt's order.
  std::optional<std::pair<std::int64_t, std::string>> latest;
  {
    auto rows = surroundings.practice.driver().query(
        "SELECT \"Statement Number\", \"Statement Type\" FROM \"QVSTA\" WHERE "
        "UPPER(\"Chart Number\") = ? ORDER BY \"Statement Number\" DESC LIMIT 1",
        {store::Value{store::upperAscii(chartNumber)}});
    if (rows->next()) {
      const auto number = rows->column(0, store::FieldType::Integer);
      const auto type = rows->column(1, store::FieldType::Character);
      if (const auto* n = std::get_if<std::int64_t>(&number))
        latest = {*n, std::holds_alternative<std::string>(type) ? std::get<std::string>(type) : ""};
    }
  }
  if (latest)
    surroundings.settings.write(createSettingsKey, "Statement Type",
                                latest->second == "S" ? "0" : "1");
  const int made = createStatements(
      surroundings, chartNumber, false, false, createFromLedger,
      [&printing](StatementCreateDialog& dialog) { return printing.fill(dialog); });
  if (made >= 1) return made;
  if (!surroundings.prompter.askYesNo(
          "No new statements were created.\rDo you want to print the last created statement for "
          "this patient?"))
    return std::nullopt;
  if (latest) return latest->first;
  surroundings.prompter.error("There are no statements to print");
  return std::nullopt;
}

}  // namespace vantrell::statements
