// Create Claims on a large generated practice, beside the lower bound of the
// same work in plain SQL in the same run: the same ordered selection of the
// unbilled insurance charges, read whole, and one set-based UPDATE that stamps
// them all. The ratio is core time over SQL time.
//
// It also checks the outcome: every selected charge is on a claim, every claim
// has at least one charge and no charge points at a missing claim.
//
//   claim_bench [--patients N] [--lines M] [--engine sqlite|server] [--server CONNINFO]
//               [--seed S] [--keep]
// The server defaults to $VANTRELL_TEST_SERVER (a libpq connection string);
// each run makes a schema of its own and drops it at the end.

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <fmt/format.h>

#include "bench_support.hpp"
#include "claims/claim_creation.hpp"
#include "practice_generator.hpp"
#include "store/table.hpp"
#include "ui/progress.hpp"
#include "ui/prompter.hpp"

using namespace vantrell;

namespace {

using Arguments = bench::PracticeBenchArguments;

Arguments parse(int argc, char** argv) {
  bench::PracticeShape shape;
  shape.patients = 10000;
  shape.lines = 250000;
  return bench::parsePracticeBenchArguments(argc, argv, shape);
}

// The charges Create Claims selects with no criteria (their cases all have a
// carrier in the generated practice, and none is a cash case).
constexpr const char* selected =
    " WHERE COALESCE(\"Claim Number\", 0) < 1 AND (\"Insurance 1 Responsible\" = ? OR "
    "\"Insurance 2 Responsible\" = ? OR \"Insurance 3 Responsible\" = ?) AND \"Transaction Type\" "
    "< ?";

std::vector<store::Value> selectedParameters() {
  return {store::Value{true}, store::Value{true}, store::Value{true},
          store::Value{std::string("H")}};
}

std::int64_t number(store::Connection& practice, const std::string& sql,
                    const std::vector<store::Value>& parameters = {}) {
  auto rows = practice.driver().query(sql, parameters);
  rows->next();
  const store::Value value = rows->column(0);
  if (const auto* whole = std::get_if<std::int64_t>(&value)) return *whole;
  if (const auto* real = std::get_if<double>(&value)) return static_cast<std::int64_t>(*real);
  return 0;
}

// The same ordered read, then one UPDATE of every selected row.
double bySql(store::Connection& practice) {
  const auto start = std::chrono::steady_clock::now();
  std::int64_t read = 0;
  {
    auto rows = practice.driver().query(
        std::string("SELECT \"Entry Number\", \"Chart Number\", \"Case Number\", \"Attending "
                    "Provider\", \"Diagnosis Code 1\", \"Diagnosis Code 2\", \"Diagnosis Code 3\", "
                    "\"Diagnosis Code 4\", \"Amount\", \"Tooth Number\" FROM \"QVTRN\"") +
            selected +
            " ORDER BY \"Chart Number\", \"Case Number\", COALESCE(\"Diagnosis Code 1\", ''), "
            "COALESCE(\"Diagnosis Code 2\", ''), COALESCE(\"Diagnosis Code 3\", ''), "
            "COALESCE(\"Diagnosis Code 4\", ''), \"Entry Number\"",
        selectedParameters());
    while (rows->next()) {
      for (std::size_t column = 0; column < rows->columnCount(); ++column) rows->column(column);
      ++read;
    }
  }
  store::Transaction transaction(practice);
  std::vector<store::Value> parameters = {store::Value{std::int64_t{1}}};
  for (auto& value : selectedParameters()) parameters.push_back(value);
  const std::int64_t stamped = practice.driver().execute(
      std::string("UPDATE \"QVTRN\" SET \"Claim Number\" = ?") + selected, parameters);
  transaction.commit();
  const double elapsed = bench::secondsSince(start);
  fmt::print("  SQL: {} rows read, {} stamped\n", read, stamped);
  return elapsed;
}

void release(store::Connection& practice) {
  practice.executeSql("UPDATE QVTRN SET \"Claim Number\" = 0");
  practice.executeSql("DELETE FROM QVCLA");
}

bool expect(const char* what, std::int64_t seen, std::int64_t wanted) {
  fmt::print("  {:<56}{:>8} (want {}){}\n", what, seen, wanted, seen == wanted ? "" : "  MISMATCH");
  return seen == wanted;
}

}  // namespace

int main(int argc, char** argv) {
  const Arguments arguments = parse(argc, argv);
  const store::DataLocation location = bench::benchPracticeLocation(arguments, "claim_bench");
  ui::FixedClock clock(*DateTime::parse("2026-12-05 09:00:00"));
  auto practice = store::Connection::open(location, {"bench", &clock, true});
  bool good = true;

  fmt::print("engine {}, {} patients, {} ledger lines (seed {})\n",
             arguments.engine == store::Engine::Embedded ? "SQLite" : "PostgreSQL",
             arguments.shape.patients, arguments.shape.lines, arguments.shape.seed);
  auto start = std::chrono::steady_clock::now();
  const bench::GeneratedPractice made = bench::generatePractice(*practice, arguments.shape);
  fmt::print("generated in {:.1f} s: {} cases, {} charges\n", bench::secondsSince(start),
             made.cases, made.charges);
  const std::int64_t unbilled = number(
      *practice, std::string("SELECT COUNT(*) FROM \"QVTRN\"") + selected, selectedParameters());
  fmt::print("unbilled insurance charges: {}\n", unbilled);

  const double sql = bySql(*practice);
  release(*practice);

  bench::BenchPrompter prompter(true);
  ui::SilentProgress progress;
  start = std::chrono::steady_clock::now();
  const auto result = claims::createClaims({*practice, prompter, nullptr, &progress, false}, {});
  const double core = bench::secondsSince(start);
  fmt::print("  core: {} claims, {} charges stamped\n", result.claims.size(),
             result.chargesStamped);

  fmt::print("\n{:<34}{:>11}{:>11}{:>9}\n", "work", "core s", "SQL s", "ratio");
  fmt::print("{:<34}{:>11.3f}{:>11.3f}{:>9.1f}\n\n", "create claims", core, sql,
             sql > 0 ? core / sql : 0.0);

  good = expect("charges stamped", result.chargesStamped, unbilled) && good;
  good = expect("claims in QVCLA", number(*practice, "SELECT COUNT(*) FROM \"QVCLA\""),
                static_cast<std::int64_t>(result.claims.size())) &&
         good;
  good = expect("claims without a charge",
                number(*practice,
                       "SELECT COUNT(*) FROM \"QVCLA\" c WHERE NOT EXISTS (SELECT 1 FROM "
                       "\"QVTRN\" t WHERE t.\"Claim Number\" = c.\"Claim Number\")"),
                0) &&
         good;
  good = expect("charges on a missing claim",
                number(*practice,
                       "SELECT COUNT(*) FROM \"QVTRN\" t WHERE t.\"Claim Number\" > 0 AND NOT "
                       "EXISTS (SELECT 1 FROM \"QVCLA\" c WHERE c.\"Claim Number\" = t.\"Claim "
                       "Number\")"),
                0) &&
         good;

  practice.reset();
  bench::removeBenchPractice(arguments, location, clock);
  fmt::print("{}\n", good ? "all checks passed" : "SOME CHECKS FAILED");
  return good ? 0 : 1;
}
