#include "statements/statement_management.hpp"

#include <fmt/format.h>

#include "statements/ledger_rows.hpp"
#include "statements/statement_rules.hpp"
#include "store/errors.hpp"
#include "store/names.hpp"
#include "store/table.hpp"
#include "store/trigger_switch.hpp"

namespace vantrell::statements {
namespace {

struct ColumnInfo {
  const char* field;
  store::FieldType type;
};

ColumnInfo infoOf(StatementColumn column) {
  using store::FieldType;
  switch (column) {
    case StatementColumn::Number:
      return {"Statement Number", FieldType::AutoIncrement};
    case StatementColumn::Chart:
      return {"Chart Number", FieldType::Character};
    case StatementColumn::Type:
      return {"Statement Type", FieldType::Character};
    case StatementColumn::Status:
      return {"Status", FieldType::Character};
    case StatementColumn::Method:
      return {"Billing Method", FieldType::Character};
    case StatementColumn::Batch:
      return {"Batch Number", FieldType::Integer};
    case StatementColumn::Created:
      return {"Date Created", FieldType::Date};
    case StatementColumn::LastBilling:
      return {"Last Billing Date", FieldType::Date};
    case StatementColumn::InitialBilling:
      return {"Initial Billing Date", FieldType::Date};
    case StatementColumn::Submissions:
      return {"Submission Count", FieldType::Integer};
  }
  return {"Statement Number", FieldType::AutoIncrement};
}

constexpr const char* statusCodes[5] = {"0", "1", "2", "3", "4"};
constexpr const char* methodCodes[2] = {"P", "E"};

std::string userOf(const Surroundings& surroundings) {
  if (surroundings.security != nullptr && !surroundings.security->userCode().empty())
    return surroundings.security->userCode();
  return surroundings.practice.userCode();
}

}  // namespace

std::string StatementRow::statusText() const {
  return statements::statusText(status);
}
std::string StatementRow::typeText() const {
  return statements::typeText(type);
}
std::string StatementRow::mediaText() const {
  return billingMethodText(billingMethod);
}

StatementList::StatementList(Surroundings surroundings) : surroundings_(surroundings) {
  filter_.excludeDone =
      surroundings_.settings.read(managementSettingsKey, "Exclude Done").value_or("0") == "1";
}

void StatementList::setFilter(StatementFilter filter) {
  filter_ = std::move(filter);
  filter_.chartNumber = store::upperAscii(filter_.chartNumber);
  surroundings_.settings.write(managementSettingsKey, "Exclude Done",
                               filter_.excludeDone ? "1" : "0");
  last_.reset();
}

void StatementList::clearFilter() {
  setFilter({});
}

void StatementList::sortBy(StatementColumn column) {
  descending_ = column == column_ ? !descending_ : false;
  column_ = column;
  last_.reset();
}

std::vector<StatementRow> StatementList::nextPage(std::size_t limit) {
  const auto& dialect = surroundings_.practice.dialect();
  const ColumnInfo info = infoOf(column_);
  const std::string key = dialect.keyColumn(store::Dialect::quoteIdentifier(info.field), info.type);
  SqlQuery query;
  query.sql = "SELECT " + key +
              ", \"Statement Number\", \"Chart Number\", \"Statement Type\", \"Status\", "
              "\"Billing Method\", \"Batch Number\", \"Submission Count\", \"Date Created\", "
              "\"Last Billing Date\", \"Initial Billing Date\" FROM \"QVSTA\" WHERE 1 = 1";
  const auto add = [&](const char* condition, store::Value value) {
    query.sql += condition;
    query.parameters.push_back(std::move(value));
  };
  if (!filter_.chartNumber.empty()) add(" AND \"Chart Number\" = ?", filter_.chartNumber);
  if (!filter_.created.isEmpty()) add(" AND \"Date Created\" = ?", filter_.created);
  if (!filter_.billed.isEmpty()) add(" AND \"Last Billing Date\" = ?", filter_.billed);
  if (filter_.batch) add(" AND COALESCE(\"Batch Number\", 0) = ?", *filter_.batch);
  if (!filter_.billingMethod.empty()) add(" AND \"Billing Method\" = ?", filter_.billingMethod);
  if (!filter_.status.empty()) add(" AND \"Status\" = ?", filter_.status);
  if (filter_.excludeDone) add(" AND \"Status\" <> ?", std::string(statusDone));
  const char* after = descending_ ? "<" : ">";
  if (last_) {
    query.sql +=
        fmt::format(" AND ({0} {1} ? OR ({0} = ? AND \"Statement Number\" {1} ?))", key, after);
    query.parameters.push_back(last_->key);
    query.parameters.push_back(last_->key);
    query.parameters.emplace_back(last_->number);
  }
  const char* direction = descending_ ? " DESC" : "";
  query.sql += fmt::format(" ORDER BY {0}{1}, \"Statement Number\"{1} LIMIT ?", key, direction);
  query.parameters.emplace_back(static_cast<std::int64_t>(limit));

  std::vector<StatementRow> page;
  auto rows = surroundings_.practice.driver().query(query.sql, query.parameters);
  store::Value lastKey;
  while (rows->next()) {
    lastKey = rows->rawColumn(0);
    StatementRow row;
    const auto integer = [&](std::size_t column) {
      const auto value = rows->column(column, store::FieldType::Integer);
      const auto* number = std::get_if<std::int64_t>(&value);
      return number != nullptr ? *number : std::int64_t{0};
    };
    const auto text = [&](std::size_t column) {
      return std::string(
          store::trimRight(store::valueToText(rows->column(column, store::FieldType::Character))));
    };
    const auto date = [&](std::size_t column) {
      const auto value = rows->column(column, store::FieldType::Date);
      const auto* day = std::get_if<Date>(&value);
      return day != nullptr ? *day : Date{};
    };
    row.number = integer(1);
    row.chartNumber = text(2);
    row.type = text(3);
    row.status = text(4);
    row.billingMethod = text(5);
    row.batch = integer(6);
    row.submissionCount = integer(7);
    row.created = date(8);
    row.lastBilling = date(9);
    row.initialBilling = date(10);
    page.push_back(std::move(row));
  }
  if (!page.empty()) last_ = Position{lastKey, page.back().number};
  return page;
}

bool StatementList::deleteStatements(const std::vector<std::int64_t>& numbers) {
  if (numbers.empty()) return false;
  auto& practice = surroundings_.practice;
  if (!surroundings_.prompter.askYesNo(numbers.size() == 1 ? deleteOne : deleteSeveral))
    return false;
  store::Table statements = practice.openTable("QVSTA");
  statements.setOrder("Primary");
  store::asBulkOperation(practice, userOf(surroundings_), "QVTRN", [&] {
    for (const auto number : numbers) {
      auto statement = statements.seek({store::Value{number}});
      if (!statement) continue;
      store::Transaction unit(practice);
      releaseStatement(practice, number, surroundings_.clock.now());
      statements.remove(*statement);
      unit.commit();
    }
  });
  last_.reset();
  return true;
}

void StatementList::setComment(std::int64_t number, const std::string& comment) {
  store::Table statements = surroundings_.practice.openTable("QVSTA");
  statements.setOrder("Primary");
  auto statement = statements.seek({store::Value{number}});
  if (!statement) throw store::StoreError(fmt::format("There is no statement {}.", number));
  statements.edit(*statement);
  statement->set("Comment", comment);
  statements.post(*statement);
}

std::optional<std::int64_t> changeStatementStatus(Surroundings surroundings,
                                                  const StatusChange& change) {
  if (change.statusFrom.has_value() != change.statusTo.has_value()) {
    surroundings.prompter.error(bothStatuses);
    return std::nullopt;
  }
  if (change.methodFrom.has_value() != change.methodTo.has_value()) {
    surroundings.prompter.error(bothMethods);
    return std::nullopt;
  }
  store::Table statements = surroundings.practice.openTable("QVSTA");
  std::vector<store::Record> scope;
  if (change.batch) {
    statements.setOrder("IdxBatch");
    statements.setRange({store::Value{*change.batch}}, {store::Value{*change.batch}});
    statements.forEach([&](const store::Record& row) { scope.push_back(row); });
  } else {
    statements.setOrder("Primary");
    for (const auto number : change.selected) {
      if (auto row = statements.seek({store::Value{number}})) scope.push_back(std::move(*row));
    }
  }
  std::int64_t changed = 0;
  for (auto& statement : scope) {
    bool touched = false;
    if (change.methodFrom && statement.text("Billing Method") == methodCodes[*change.methodFrom]) {
      statement.set("Billing Method", std::string(methodCodes[*change.methodTo]));
      touched = true;
    }
    if (change.statusFrom && (*change.statusFrom == anyStatusType ||
                              statement.text("Status") == statusCodes[*change.statusFrom])) {
      statement.set("Status", std::string(statusCodes[*change.statusTo]));
      touched = true;
    }
    if (!touched) continue;
    statements.post(statement);
    ++changed;
  }
  return changed;
}

}  // namespace vantrell::statements
