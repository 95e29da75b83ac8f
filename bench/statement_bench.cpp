// Statement creation on a large generated practice beside the same selection
// and totals in plain SQL, in the same run: one ordered SELECT with GROUP BY
// over the ledger joined to its cases gives, per guarantor and pass, the
// number of lines and their open total; the core's run (three passes, one
// ordered query each, a statement with its lines per database transaction)
// must make exactly that many statements and stamp exactly that many lines.
//
//   statement_bench [--patients N] [--lines M] [--engine sqlite|server] [--server CONNINFO]
//                   [--seed S] [--keep]
// Every generated patient is its own guarantor. The server defaults to
// $VANTRELL_TEST_SERVER; each run makes a schema of its own and drops it.

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "bench_support.hpp"
#include "practice/options.hpp"
#include "practice_generator.hpp"
#include "statements/statement_creation.hpp"
#include "store/table.hpp"
#include "ui/settings.hpp"

using namespace vantrell;

namespace {

// Answers No to the zero-total question (so every guarantor with lines gets a
// statement) and Yes to the first-time warning.
class AnsweringPrompter final : public ui::Prompter {
 public:
  void say(Severity, const std::string&, const std::string& text) override { said.push_back(text); }
  bool ask(Question, const std::string&, const std::string& text) override {
    said.push_back(text);
    return text == statements::StatementCreateDialog::firstTimeWarning;
  }
  int choose(const std::string&, const std::string&, const std::vector<std::string>&) override {
    return 0;
  }
  std::optional<std::string> askText(const std::string&, const std::string&) override {
    return std::nullopt;
  }
  std::vector<std::string> said;
};

using Arguments = bench::PracticeBenchArguments;

Arguments parse(int argc, char** argv) {
  return bench::parsePracticeBenchArguments(argc, argv);
}

std::int64_t wholeNumber(const store::Value& value) {
  if (const auto* number = std::get_if<std::int64_t>(&value)) return *number;
  if (const auto* number = std::get_if<double>(&value)) return static_cast<std::int64_t>(*number);
  return 0;
}

struct SqlResult {
  std::int64_t groups = 0, lines = 0;
  double total = 0;
};

// The same selection as a standard run in range mode without limits, grouped
// by guarantor and pass in one ordered query.
SqlResult plainSql(store::Connection& practice) {
  const char* open =
      "(t.\"Amount\" + COALESCE(t.\"Guarantor Amount Paid\", 0) + COALESCE(t.\"Insurance 1 "
      "Amount Paid\", 0) + COALESCE(t.\"Insurance 2 Amount Paid\", 0) + COALESCE(t.\"Insurance 3 "
      "Amount Paid\", 0) + COALESCE(t.\"Attorney Amount Paid\", 0) + COALESCE(t.\"Adjustment "
      "Amount\", 0))";
  const std::string sql = fmt::format(
      "SELECT c.\"Guarantor\", CASE WHEN t.\"Date of Last Statement\" IS NULL THEN 3 WHEN "
      "ABS({0}) < 0.00005 THEN 1 ELSE 2 END, COUNT(*), SUM({0}) FROM \"QVTRN\" t JOIN "
      "\"QVCAS\" c ON c.\"Case Number\" = t.\"Case Number\" WHERE COALESCE(t.\"Statement "
      "Number\", 0) = 0 AND t.\"Transaction Type\" <= 'H' AND c.\"Print Patient Statements\" = ? "
      "AND t.\"Guarantor Responsible\" = ? GROUP BY 1, 2 ORDER BY 2, 1",
      open);
  SqlResult result;
  auto rows = practice.driver().query(sql, {store::Value{true}, store::Value{true}});
  while (rows->next()) {
    ++result.groups;
    result.lines += wholeNumber(rows->column(2));
    const auto total = rows->column(3, store::FieldType::Double);
    if (const auto* number = std::get_if<double>(&total)) result.total += *number;
  }
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  const Arguments arguments = parse(argc, argv);
  const store::DataLocation location = bench::benchPracticeLocation(arguments, "statement_bench");
  ui::FixedClock clock(*DateTime::parse("2026-12-05 09:00:00"));
  auto practice = store::Connection::open(location, {"bench", &clock, true});
  bool good = true;

  fmt::print("engine {}, {} patients (guarantors), {} ledger lines (seed {})\n",
             arguments.engine == store::Engine::Embedded ? "SQLite" : "PostgreSQL",
             arguments.shape.patients, arguments.shape.lines, arguments.shape.seed);
  auto start = std::chrono::steady_clock::now();
  bench::generatePractice(*practice, arguments.shape);
  // The generator leaves the statement switch of its cases off.
  practice->executeSql("UPDATE \"QVCAS\" SET \"Print Patient Statements\" = ?",
                       {store::Value{true}});
  fmt::print("generated in {:.1f} s\n", bench::secondsSince(start));
  std::fflush(stdout);

  start = std::chrono::steady_clock::now();
  const SqlResult sql = plainSql(*practice);
  const double sqlSeconds = bench::secondsSince(start);

  store::Table optionsTable = practice->openTable("QVOPT");
  const practice::Options options(*practice::readSingleRow(optionsTable));
  AnsweringPrompter prompter;
  ui::MemorySettings settings;
  statements::CreationOutcome outcome;
  start = std::chrono::steady_clock::now();
  statements::createStatements(
      {*practice, options, prompter, settings, clock, nullptr, nullptr}, "", true, true,
      statements::createFromStatementList, [](statements::StatementCreateDialog&) { return true; },
      &outcome);
  const double coreSeconds = bench::secondsSince(start);

  fmt::print("\n{:<44}{:>11}{:>11}{:>9}\n", "work", "core s", "SQL s", "ratio");
  fmt::print("{:<44}{:>11.3f}{:>11.3f}{:>9.1f}\n", "statement creation (selection and totals)",
             coreSeconds, sqlSeconds, coreSeconds / sqlSeconds);
  std::fflush(stdout);
  const auto countOf = [&](const char* text) {
    return wholeNumber(practice->executeSql(text).rows.at(0).at(0));
  };
  const std::int64_t stamped =
      countOf("SELECT COUNT(*) FROM \"QVTRN\" WHERE COALESCE(\"Statement Number\", 0) <> 0");
  const std::int64_t empty = countOf(
      "SELECT COUNT(*) FROM \"QVSTA\" s WHERE NOT EXISTS (SELECT 1 FROM \"QVTRN\" t WHERE "
      "COALESCE(t.\"Statement Number\", 0) = s.\"Statement Number\")");
  fmt::print("\nchecks\n");
  const auto expect = [&](const char* what, std::int64_t seen, std::int64_t wanted) {
    fmt::print("  {:<44}{:>10} (want {}){}\n", what, seen, wanted,
               seen == wanted ? "" : "  MISMATCH");
    good = good && seen == wanted;
  };
  expect("statements made", outcome.created, sql.groups);
  expect("lines stamped", stamped, sql.lines);
  expect("statements without lines", empty, 0);
  fmt::print("  (open total of the selection {:.2f})\n", sql.total);

  practice.reset();
  bench::removeBenchPractice(arguments, location, clock);
  fmt::print("{}\n", good ? "all checks passed" : "SOME CHECKS FAILED");
  return good ? 0 : 1;
}
