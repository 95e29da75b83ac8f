// Ledger work of the core on a large generated practice, each beside the same
// result computed by plain SQL in the same run:
//   recalculating every stored total (recalculatePractice) against one UPDATE
//     per kind of total over aggregates of QVPAX;
//   every patient's balance (a chart at a time, and in one grouped read) against one GROUP BY;
//   saving a 500-line case through the transaction entry window against one
//     INSERT ... SELECT of the same 500 rows.
// It also checks that the fresh practice needs no correction, and that 100
// deliberately wrong totals (fewer in a practice too small for them) are found
// by both sides.
//
//   ledger_bench [--patients N] [--lines M] [--engine sqlite|server] [--server CONNINFO]
//                [--seed S] [--keep]
// The server defaults to $VANTRELL_TEST_SERVER (a libpq connection string);
// each run makes a schema of its own and drops it at the end.

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "bench_support.hpp"
#include "practice/options.hpp"
#include "practice_generator.hpp"
#include "store/dialect.hpp"
#include "store/errors.hpp"
#include "store/table.hpp"
#include "transactions/balances.hpp"
#include "transactions/recalculation.hpp"
#include "transactions/transaction_entry.hpp"
#include "ui/progress.hpp"
#include "ui/prompter.hpp"

using namespace vantrell;

namespace {

void row(const char* what, double core, double sql) {
  fmt::print("{:<34}{:>11.3f}{:>11.3f}{:>9.1f}\n", what, core, sql, sql > 0 ? core / sql : 0.0);
}

// Answers every question with yes and keeps what the window said, so a
// refused save can be shown.
class AnsweringPrompter final : public ui::Prompter {
 public:
  void say(Severity severity, const std::string&, const std::string& text) override {
    said.push_back(severity == Severity::Error ? "error: " + text : text);
  }
  bool ask(Question, const std::string&, const std::string& text) override {
    said.push_back(text);
    return true;
  }
  int choose(const std::string&, const std::string& text,
             const std::vector<std::string>&) override {
    said.push_back(text);
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

std::int64_t integerOf(const store::Value& value) {
  if (const auto* whole = std::get_if<std::int64_t>(&value)) return *whole;
  if (const auto* number = std::get_if<double>(&value)) return static_cast<std::int64_t>(*number);
  return 0;
}

Money moneyOf(const store::Value& value) {
  if (const auto* number = std::get_if<double>(&value)) return Money::fromDouble(*number);
  if (const auto* whole = std::get_if<std::int64_t>(&value))
    return Money::fromDouble(static_cast<double>(*whole));
  if (const auto* money = std::get_if<Money>(&value)) return *money;
  if (const auto* text = std::get_if<std::string>(&value))
    return Money::parse(*text).value_or(Money{});
  return Money{};
}

// Differs by at least half of the smallest stored unit (or is empty).
std::string differs(const std::string& stored, const std::string& computed) {
  return fmt::format("({0} IS NULL OR ABS({0} - {1}) >= 0.00005)", stored, computed);
}

constexpr const char* patientPaymentTypes =
    "((\"Transaction Type\" >= 'J' AND \"Transaction Type\" <= 'O') OR \"Transaction Type\" IN "
    "('Q', 'R'))";
constexpr const char* allPaymentTypes =
    "((\"Transaction Type\" >= 'I' AND \"Transaction Type\" <= 'O') OR \"Transaction Type\" IN "
    "('Q', 'R'))";

// Every stored total rebuilt by plain SQL, one statement per kind, writing
// only the rows that are wrong. Returns the rows changed.
std::int64_t recalculateBySql(store::Connection& practice) {
  store::Driver& driver = practice.driver();
  std::int64_t changed = 0;
  store::Transaction transaction(practice);
  {
    const std::pair<const char*, const char*> buckets[] = {
        {"Insurance 1 Amount Paid", "1"}, {"Insurance 2 Amount Paid", "2"},
        {"Insurance 3 Amount Paid", "3"}, {"Attorney Amount Paid", "A"},
        {"Guarantor Amount Paid", "G"},   {"Adjustment Amount", ""}};
    std::string sets, sums, wrong;
    int i = 0;
    for (const auto& [field, who] : buckets) {
      const std::string name = store::Dialect::quoteIdentifier(field),
                        alias = fmt::format("b{}", i++);
      sets += fmt::format("{}{} = s.{}", sets.empty() ? "" : ", ", name, alias);
      sums += fmt::format(
          ", COALESCE(SUM(CASE WHEN x.\"Who Paid\" = '{}' THEN x.\"Payment Amount\" END), 0) AS {}",
          who, alias);
      wrong += fmt::format("{}{}", wrong.empty() ? "" : " OR ",
                           differs("\"QVTRN\"." + name, "s." + alias));
    }
    changed += driver.execute(
        "UPDATE \"QVTRN\" SET " + sets + " FROM (SELECT c.\"Entry Number\" AS entry" + sums +
            " FROM \"QVTRN\" c LEFT JOIN \"QVPAX\" x ON x.\"Charge Reference\" = c.\"Entry Number\""
            " WHERE c.\"Transaction Type\" >= 'A' AND c.\"Transaction Type\" <= 'H' GROUP BY "
            "c.\"Entry Number\") s"
            " WHERE \"QVTRN\".\"Entry Number\" = s.entry AND (" +
            wrong + ")",
        {});
  }
  changed += driver.execute(
      "UPDATE \"QVTRN\" SET \"Unapplied Amount\" = s.u FROM (SELECT p.\"Entry Number\" AS entry,"
      " CASE WHEN p.\"Transaction Type\" = 'P' THEN 0 ELSE p.\"Amount\" - COALESCE(SUM(x.\"Payment "
      "Amount\"), 0) END"
      " AS u FROM \"QVTRN\" p LEFT JOIN \"QVPAX\" x ON x.\"Payment Reference\" = p.\"Entry Number\""
      " WHERE p.\"Transaction Type\" >= 'I' AND p.\"Transaction Type\" <= 'Y'"
      " GROUP BY p.\"Entry Number\", p.\"Transaction Type\", p.\"Amount\") s"
      " WHERE \"QVTRN\".\"Entry Number\" = s.entry AND " +
          differs("\"QVTRN\".\"Unapplied Amount\"", "s.u"),
      {});
  changed += driver.execute(
      "UPDATE \"QVPAT\" SET \"Patient Reference Balance\" = s.b FROM (SELECT p.\"Chart Number\" AS "
      "chart,"
      " COALESCE(SUM(t.\"Amount\"), 0) AS b FROM \"QVPAT\" p LEFT JOIN \"QVTRN\" t"
      " ON t.\"Chart Number\" = p.\"Chart Number\" AND t.\"Transaction Type\" <> '' GROUP BY "
      "p.\"Chart Number\") s"
      " WHERE \"QVPAT\".\"Chart Number\" = s.chart AND " +
          differs("\"QVPAT\".\"Patient Reference Balance\"", "s.b"),
      {});
  for (const auto& [types, dateField, amountField] :
       {std::tuple{allPaymentTypes, "Date of Last Payment", "Last Payment Amount"},
        std::tuple{patientPaymentTypes, "Last Patient Payment Date",
                   "Last Patient Payment Amount"}}) {
    const std::string date = store::Dialect::quoteIdentifier(dateField),
                      amount = store::Dialect::quoteIdentifier(amountField);
    changed += driver.execute(
        "UPDATE \"QVPAT\" SET " + date + " = s.d, " + amount +
            " = s.a FROM (SELECT \"Chart Number\" AS chart, \"Date From\" AS d, \"Amount\" AS a,"
            " ROW_NUMBER() OVER (PARTITION BY \"Chart Number\" ORDER BY \"Date From\" DESC, "
            "\"Entry Number\" DESC)"
            " AS n FROM \"QVTRN\" WHERE " +
            types +
            ") s"
            " WHERE s.n = 1 AND \"QVPAT\".\"Chart Number\" = s.chart AND (\"QVPAT\"." +
            date + " IS NULL OR \"QVPAT\"." + date + " <> s.d OR " +
            differs("\"QVPAT\"." + amount, "s.a") + ")",
        {});
  }
  transaction.commit();
  return changed;
}

std::int64_t changedOf(const transactions::RecalculationReport& report) {
  return report.chargesChanged + report.paymentsChanged + report.patientsChanged;
}

// 100 wrong totals: 40 charges' primary payments, 30 payments' unapplied
// amounts, 30 patients' balances, spread evenly over the rows of each kind
// (a practice with fewer rows of a kind gets fewer). Returns how many it spoilt.
std::int64_t corruptTotals(store::Connection& practice, std::int64_t patients) {
  store::Driver& driver = practice.driver();
  // Every k-th row of the kind, k from how many there are: a stride over the
  // entry numbers would find too few of a kind that is rare in a small ledger.
  const auto entriesOf = [&](const char* condition, std::int64_t count) {
    std::vector<std::int64_t> entries;
    auto rows = driver.query(
        fmt::format("SELECT e FROM (SELECT \"Entry Number\" AS e, ROW_NUMBER() OVER (ORDER BY "
                    "\"Entry Number\") - 1 AS n, COUNT(*) OVER () AS c FROM \"QVTRN\" WHERE {}) s"
                    " WHERE n % (CASE WHEN c / ? > 0 THEN c / ? ELSE 1 END) = 0 ORDER BY e LIMIT ?",
                    condition),
        {store::Value{count}, store::Value{count}, store::Value{count}});
    while (rows->next()) entries.push_back(integerOf(rows->column(0, store::FieldType::Integer)));
    return entries;
  };
  std::int64_t spoilt = 0;
  store::Transaction transaction(practice);
  for (const auto entry :
       entriesOf("\"Transaction Type\" >= 'A' AND \"Transaction Type\" <= 'H'", 40))
    spoilt += driver.execute(
        "UPDATE \"QVTRN\" SET \"Insurance 1 Amount Paid\" = \"Insurance 1 Amount Paid\" - 1 "
        "WHERE \"Entry Number\" = ?",
        {store::Value{entry}});
  for (const auto entry :
       entriesOf("\"Transaction Type\" >= 'I' AND \"Transaction Type\" <= 'Y'", 30))
    spoilt += driver.execute(
        "UPDATE \"QVTRN\" SET \"Unapplied Amount\" = \"Unapplied Amount\" + 1 WHERE \"Entry "
        "Number\" = ?",
        {store::Value{entry}});
  const std::int64_t charts = std::min<std::int64_t>(30, patients);
  for (std::int64_t i = 0; i < charts; ++i)
    spoilt += driver.execute(
        "UPDATE \"QVPAT\" SET \"Patient Reference Balance\" = \"Patient Reference Balance\" + 1 "
        "WHERE \"Chart Number\" = ?",
        {store::Value{bench::chartNumberOf(1 + i * (patients / charts))}});
  transaction.commit();
  return spoilt;
}

bool expect(const char* what, std::int64_t seen, std::int64_t wanted) {
  fmt::print("  {:<56}{:>8} (want {}){}\n", what, seen, wanted, seen == wanted ? "" : "  MISMATCH");
  return seen == wanted;
}

}  // namespace

int main(int argc, char** argv) {
  const Arguments arguments = parse(argc, argv);
  const store::DataLocation location = bench::benchPracticeLocation(arguments, "ledger_bench");
  ui::FixedClock clock(*DateTime::parse("2026-12-05 09:00:00"));
  auto practice = store::Connection::open(location, {"bench", &clock, true});
  bool good = true;

  fmt::print("engine {}, {} patients, {} ledger lines (seed {})\n",
             arguments.engine == store::Engine::Embedded ? "SQLite" : "PostgreSQL",
             arguments.shape.patients, arguments.shape.lines, arguments.shape.seed);
  auto start = std::chrono::steady_clock::now();
  const bench::GeneratedPractice made = bench::generatePractice(*practice, arguments.shape);
  fmt::print(
      "generated in {:.1f} s: {} cases, {} charges, {} payments, {} adjustments, {} applications\n",
      bench::secondsSince(start), made.cases, made.charges, made.payments, made.adjustments,
      made.applications);
  if (arguments.engine == store::Engine::Server) {
    // The server's autovacuum notices a bulk load within a minute and then
    // vacuums and analyses the fresh tables in the middle of whichever
    // measurement is running, first touches of the fresh rows included. The
    // tables are settled first, as a practice in use is, so every run measures
    // the same thing.
    start = std::chrono::steady_clock::now();
    practice->driver().executeScript(
        "VACUUM (ANALYZE) \"QVTRN\", \"QVPAX\", \"QVPAT\", \"QVCAS\", \"QVPRO\"");
    fmt::print("tables vacuumed and analysed in {:.1f} s\n", bench::secondsSince(start));
  }

  fmt::print("\n{:<34}{:>11}{:>11}{:>9}\n", "work", "core s", "SQL s", "ratio");
  // --- Recalculation ---------------------------------------------------
  ui::SilentProgress progress;
  start = std::chrono::steady_clock::now();
  const auto fresh = transactions::recalculatePractice(*practice, std::nullopt, progress);
  const double recalculation = bench::secondsSince(start);
  start = std::chrono::steady_clock::now();
  const std::int64_t sqlFresh = recalculateBySql(*practice);
  const double sqlRecalculation = bench::secondsSince(start);
  row("recalculate whole practice", recalculation, sqlRecalculation);

  // --- Balances ----------------------------------------------------------
  // A chart at a time, as a window asks for one, beside the grouped read a run uses.
  std::map<std::string, Money> chartBalances;
  start = std::chrono::steady_clock::now();
  for (std::int64_t patient = 1; patient <= made.patients; ++patient) {
    const std::string chart = bench::chartNumberOf(patient);
    chartBalances[chart] = transactions::accountBalanceOf(*practice, chart);
  }
  const double chartBalancesTime = bench::secondsSince(start);
  start = std::chrono::steady_clock::now();
  std::map<std::string, Money> coreBalances = transactions::accountBalances(*practice);
  const double balances = bench::secondsSince(start);
  std::map<std::string, Money> sqlBalances;
  start = std::chrono::steady_clock::now();
  {
    auto rows = practice->driver().query(
        "SELECT \"Chart Number\", SUM(\"Amount\") FROM \"QVTRN\" WHERE \"Transaction Type\" <> '' "
        "GROUP BY \"Chart Number\"",
        {});
    while (rows->next())
      sqlBalances[store::valueToText(rows->column(0, store::FieldType::Character))] =
          moneyOf(rows->column(1));
  }
  const double sqlBalancesTime = bench::secondsSince(start);
  row("balance a chart at a time", chartBalancesTime, sqlBalancesTime);
  row("every patient's balance", balances, sqlBalancesTime);
  std::int64_t balanceMismatches = 0;
  for (const auto& [chart, balance] : chartBalances) {
    const auto found = coreBalances.find(chart);
    if ((found == coreBalances.end() ? Money{} : found->second) != balance) ++balanceMismatches;
  }
  for (const auto& [chart, balance] : coreBalances) {
    const auto found = sqlBalances.find(chart);
    if ((found == sqlBalances.end() ? Money{} : found->second) != balance) ++balanceMismatches;
  }

  // --- Saving a 500-line case -----------------------------------------
  store::Table options = practice->openTable("QVOPT");
  store::PageCursor optionsCursor;
  const auto optionRows = options.nextPage(optionsCursor, 1);
  const practice::Options practiceOptions(optionRows.at(0));
  const std::string chart = bench::chartNumberOf(1);
  const auto newCase = [&] {
    store::Table cases = practice->openTable("QVCAS");
    store::Record caseRow = cases.newRecord();
    caseRow.set("Chart Number", chart);
    caseRow.set("Description", std::string("Bench case"));
    caseRow.set("Guarantor", chart);
    caseRow.set("Assigned Provider", made.providers.at(0));
    caseRow.set("Insurance Carrier #1", made.carriers.at(0));
    caseRow.set("Insured #1", chart);
    caseRow.set("Diagnosis 1", made.diagnoses.at(0));
    caseRow.set("Price Code", std::string("A"));
    cases.append(caseRow);
    return caseRow.integer("Case Number");
  };
  const std::int64_t windowCase = newCase(), sqlCase = newCase();
  constexpr std::size_t caseLines = 500;
  AnsweringPrompter prompter;
  double entry = 0, save = 0;
  bool saved = false;
  {
    transactions::TransactionEntryWindow window({*practice, practiceOptions, prompter, clock,
                                                 nullptr,
                                                 [] { return Date::fromYmd(2026, 12, 5); }});
    start = std::chrono::steady_clock::now();
    if (window.chooseChart(chart) && window.chooseCase(windowCase)) {
      for (std::size_t i = 0; i < caseLines; ++i) {
        const std::size_t index = window.newCharge();
        window.setChargeField(index, "Procedure Code",
                              made.chargeCodes[i % made.chargeCodes.size()]);
        window.postCharge(index);
      }
      entry = bench::secondsSince(start);
      start = std::chrono::steady_clock::now();
      saved = window.save();
      save = bench::secondsSince(start);
    }
    window.close();
  }
  std::string columns, copied;
  for (const auto& field : store::schemaCatalogue().get("QVTRN").fields()) {
    if (field.type == store::FieldType::AutoIncrement) continue;
    const std::string name = store::Dialect::quoteIdentifier(field.name);
    columns += (columns.empty() ? "" : ", ") + name;
    copied +=
        (copied.empty() ? "" : ", ") + (field.name == "Case Number" ? std::string("?") : name);
  }
  start = std::chrono::steady_clock::now();
  std::int64_t sqlInserted = 0;
  {
    store::Transaction transaction(*practice);
    sqlInserted =
        practice->driver().execute("INSERT INTO \"QVTRN\" (" + columns + ") SELECT " + copied +
                                       " FROM \"QVTRN\" WHERE \"Case Number\" = ?",
                                   {store::Value{sqlCase}, store::Value{windowCase}});
    practice->driver().execute(
        "UPDATE \"QVPAT\" SET \"Patient Reference Balance\" = \"Patient Reference Balance\" + "
        "(SELECT SUM(\"Amount\") "
        "FROM \"QVTRN\" WHERE \"Case Number\" = ?) WHERE \"Chart Number\" = ?",
        {store::Value{sqlCase}, store::Value{chart}});
    transaction.commit();
  }
  const double sqlSave = bench::secondsSince(start);
  row("save a 500-line case", save, sqlSave);
  fmt::print("{:<34}{:>11.3f}\n", "  (entering its 500 lines)", entry);
  if (!saved) {
    good = false;
    fmt::print("the window did not save; it said:\n");
    for (const auto& text : prompter.said) fmt::print("  {}\n", text);
  }

  // --- Cross-checks ------------------------------------------------------
  fmt::print("\nchecks\n");
  good = expect("recalculation of the fresh practice: rows changed", changedOf(fresh), 0) && good;
  fmt::print("  (read {} charges, {} payments and adjustments, {} patients)\n", fresh.chargesRead,
             fresh.paymentsRead, fresh.patientsRead);
  good = expect("SQL recalculation of the fresh practice: rows changed", sqlFresh, 0) && good;
  good = expect("balances that differ between core and SQL", balanceMismatches, 0) && good;
  good =
      expect("lines saved by the window",
             integerOf(practice
                           ->executeSql("SELECT COUNT(*) FROM \"QVTRN\" WHERE \"Case Number\" = ?",
                                        {store::Value{windowCase}})
                           .rows.at(0)
                           .at(0)),
             static_cast<std::int64_t>(caseLines)) &&
      good;
  good = expect("lines inserted by SQL", sqlInserted, static_cast<std::int64_t>(caseLines)) && good;
  const auto afterSaves = transactions::recalculatePractice(*practice, chart, progress);
  good = expect("recalculation of the saved chart: rows changed", changedOf(afterSaves), 0) && good;

  const std::int64_t spoilt = corruptTotals(*practice, made.patients);
  fmt::print("  ({} wrong totals made)\n", spoilt);
  start = std::chrono::steady_clock::now();
  const auto repaired = transactions::recalculatePractice(*practice, std::nullopt, progress);
  const double repair = bench::secondsSince(start);
  good =
      expect("recalculation after the wrong totals: rows changed", changedOf(repaired), spoilt) &&
      good;
  fmt::print("  (charges {}, payments {}, patients {}; {:.3f} s)\n", repaired.chargesChanged,
             repaired.paymentsChanged, repaired.patientsChanged, repair);
  good =
      expect("wrong totals made again for SQL", corruptTotals(*practice, made.patients), spoilt) &&
      good;
  start = std::chrono::steady_clock::now();
  const std::int64_t sqlRepaired = recalculateBySql(*practice);
  const double sqlRepair = bench::secondsSince(start);
  good = expect("SQL recalculation after the same: rows changed", sqlRepaired, spoilt) && good;
  fmt::print("  ({:.3f} s)\n", sqlRepair);
  const auto afterSql = transactions::recalculatePractice(*practice, std::nullopt, progress);
  good = expect("recalculation after the SQL repair: rows changed", changedOf(afterSql), 0) && good;

  practice.reset();
  bench::removeBenchPractice(arguments, location, clock);
  fmt::print("{}\n", good ? "all checks passed" : "SOME CHECKS FAILED");
  return good ? 0 : 1;
}
