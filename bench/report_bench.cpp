// The reports on a large generated practice, each beside the same totals by
// one plain SQL GROUP BY in the same run: the patient and applied aging (per
// patient), insurance aging by position (per carrier, after every insured
// charge is put on a claim of its case billed on one of four dates) and the
// remainder aging (per patient). The ratio is report time over SQL time, the
// medians of the rounds (default 3) each; the totals of both sides must agree.
//
//   report_bench [--patients N] [--lines M] [--engine sqlite|server] [--server CONNINFO]
//                [--seed S] [--keep] [--rounds N] [--reuse NAME]
//
// --reuse NAME keeps the generated practice under NAME (a folder in the temporary
// directory, or a schema on the server) and measures an existing one without
// generating it again, so that a million-line practice is made once.

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "bench_support.hpp"
#include "practice/options.hpp"
#include "practice_generator.hpp"
#include "reports/aging.hpp"
#include "reports/day_sheets.hpp"
#include "store/driver.hpp"
#include "ui/prompter.hpp"

using namespace vantrell;

namespace {

// Sums a grouped statement's last column (whole cents) over its rows.
std::int64_t sqlTotal(store::Connection& practice, const std::string& sql,
                      const std::vector<store::Value>& values, std::int64_t& groups) {
  auto rows = practice.driver().query(sql, values);
  std::int64_t total = 0;
  groups = 0;
  while (rows->next()) {
    const store::Value value = rows->column(rows->columnCount() - 1, store::FieldType::Double);
    if (const auto* number = std::get_if<double>(&value)) total += std::llround(*number);
    ++groups;
  }
  return total;
}

std::string cents(const std::string& field) {
  return "ROUND(COALESCE(t.\"" + field + "\", 0) * 100)";
}
std::string openCents() {
  std::string sum = cents("Amount");
  for (const char* field :
       {"Guarantor Amount Paid", "Insurance 1 Amount Paid", "Insurance 2 Amount Paid",
        "Insurance 3 Amount Paid", "Attorney Amount Paid", "Adjustment Amount"})
    sum += " + " + cents(field);
  return sum;
}

double median(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  const std::size_t middle = times.size() / 2;
  return times.size() % 2 == 1 ? times[middle] : (times[middle - 1] + times[middle]) / 2;
}

struct Kind {
  std::string name;
  reports::AgingKind kind;
  std::string sql;
  std::vector<store::Value> values;
};

// Puts every charge that the primary is responsible for on a claim of its case
// (claim number = case number), billed to the primary, and to the secondary
// where there is one, on one of four dates by case.
void billToInsurance(store::Connection& practice, const Date& today) {
  store::Transaction transaction(practice);
  for (int quarter = 0; quarter < 4; ++quarter) {
    const Date billed(
        std::chrono::year_month_day{today.days() - std::chrono::days{20 + 35 * quarter}});
    practice.executeSql(
        "INSERT INTO \"QVCLA\" (\"Claim Number\", \"Chart Number\", \"Case Number\", "
        "\"Insurance Carrier 1\", \"Insurance Carrier 2\", \"Initial Billing Date 1\", "
        "\"Initial Billing Date 2\") SELECT \"Case Number\", \"Chart Number\", \"Case Number\", "
        "\"Insurance Carrier #1\", \"Insurance Carrier #2\", ?, ? FROM \"QVCAS\" WHERE "
        "\"Insurance Carrier #1\" <> '' AND \"Case Number\" % 4 = ?",
        {billed, billed, std::int64_t{quarter}});
  }
  practice.executeSql(
      "UPDATE \"QVTRN\" SET \"Claim Number\" = \"Case Number\", \"Billed to Insured 1\" = ?, "
      "\"Billed to Insured 2\" = \"Insurance 2 Responsible\" WHERE \"Transaction Type\" <= 'H' "
      "AND \"Insurance 1 Responsible\" = ?",
      {true, true});
  transaction.commit();
}

}  // namespace

int main(int argc, char** argv) {
  // --rounds is this bench's own; the rest describe the practice.
  int rounds = 3;
  std::string reuse;
  std::vector<char*> practiceArguments{argv[0]};
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--rounds" && i + 1 < argc)
      rounds = std::max(1, std::atoi(argv[++i]));
    else if (std::string(argv[i]) == "--reuse" && i + 1 < argc)
      reuse = argv[++i];
    else
      practiceArguments.push_back(argv[i]);
  }
  bench::PracticeBenchArguments arguments = bench::parsePracticeBenchArguments(
      static_cast<int>(practiceArguments.size()), practiceArguments.data());
  store::DataLocation location = bench::benchPracticeLocation(arguments, "report_bench");
  if (!reuse.empty()) {
    if (arguments.engine == store::Engine::Embedded) {
      std::filesystem::remove(location.path);
      location.path = (std::filesystem::temp_directory_path() / ("vantrell-" + reuse)).string();
      std::filesystem::create_directories(location.path);
    } else {
      location.path = reuse;
    }
    arguments.keep = true;
  }
  // Six weeks after the last generated service date, so that the newer age
  // columns hold charges as they would in a working practice.
  ui::FixedClock clock(*DateTime::parse("2026-02-15 09:00:00"));
  auto practice = store::Connection::open(location, {"bench", &clock, true});

  fmt::print("engine {}, {} patients, {} ledger lines (seed {})\n",
             arguments.engine == store::Engine::Embedded ? "SQLite" : "PostgreSQL",
             arguments.shape.patients, arguments.shape.lines, arguments.shape.seed);
  const bool generated =
      practice->tableExists("QVTRN") &&
      !practice->executeSql("SELECT \"Entry Number\" FROM \"QVTRN\" LIMIT 1").rows.empty();
  if (generated) {
    fmt::print("measuring the practice kept at {}\n", location.path);
  } else {
    auto start = std::chrono::steady_clock::now();
    const bench::GeneratedPractice made = bench::generatePractice(*practice, arguments.shape);
    fmt::print("generated in {:.1f} s: {} cases, {} charges\n", bench::secondsSince(start),
               made.cases, made.charges);
    start = std::chrono::steady_clock::now();
    billToInsurance(*practice, clock.today());
    fmt::print("claims made in {:.1f} s\n", bench::secondsSince(start));
  }

  store::Table optionsTable = practice->openTable("QVOPT");
  store::Record optionsRow = optionsTable.newRecord();
  practice::applyNewOptionValues(optionsRow);
  reports::AgingSettings settings = reports::AgingSettings::read(practice::Options(optionsRow));
  settings.ageByDateFrom = true;

  std::vector<Kind> kinds{
      {"patient aging",
       reports::AgingKind::Patient,
       "SELECT t.\"Chart Number\", SUM(" + cents("Amount") +
           ") FROM \"QVTRN\" t GROUP BY t.\"Chart Number\"",
       {}},
      {"applied patient aging",
       reports::AgingKind::AppliedPatient,
       "SELECT t.\"Chart Number\", SUM(" + openCents() +
           ") FROM \"QVTRN\" t WHERE t.\"Transaction Type\" <= 'H' OR t.\"Transaction Type\" = "
           "'Z' GROUP BY t.\"Chart Number\"",
       {}},
      {"remainder aging",
       reports::AgingKind::Remainder,
       "SELECT t.\"Chart Number\", SUM(" + openCents() +
           ") FROM \"QVTRN\" t WHERE t.\"Transaction Type\" <= 'H' AND t.\"Guarantor "
           "Responsible\" = ? AND (t.\"Guarantor Paid\" IS NULL OR t.\"Guarantor Paid\" = ?) AND "
           "t.\"Insurance 1 Paid\" = ? AND t.\"Insurance 2 Paid\" = ? AND t.\"Insurance 3 Paid\" "
           "= ? GROUP BY t.\"Chart Number\"",
       {true, false, true, true, true}},
  };
  for (int position = 1; position <= 3; ++position) {
    const std::string k = std::to_string(position);
    std::string owed = cents("Amount") + " + " + cents("Adjustment Amount");
    for (int paid = 1; paid <= position; ++paid)
      owed += " + " + cents("Insurance " + std::to_string(paid) + " Amount Paid");
    kinds.push_back(
        {std::vector<std::string>{"primary", "secondary",
                                  "tertiary"}[static_cast<std::size_t>(position - 1)] +
             " insurance aging",
         position == 1   ? reports::AgingKind::Primary
         : position == 2 ? reports::AgingKind::Secondary
                         : reports::AgingKind::Tertiary,
         "SELECT c.\"Insurance Carrier " + k + "\", SUM(" + owed +
             ") FROM \"QVTRN\" t JOIN \"QVCLA\" c ON c.\"Claim Number\" = t.\"Claim Number\" "
             "WHERE t.\"Transaction Type\" < 'I' AND t.\"Claim Number\" > 0 AND (t.\"Insurance " +
             k + " Paid\" IS NULL OR t.\"Insurance " + k +
             " Paid\" <> ?) AND (t.\"Billed to Insured " + k +
             "\" IS NULL OR t.\"Billed to Insured " + k + "\" <> ?) AND (t.\"Accept Assignment " +
             k + "\" IS NULL OR t.\"Accept Assignment " + k +
             "\" <> ?) AND c.\"Initial Billing Date " + k + "\" <= ? GROUP BY 1",
         {true, false, false, clock.today()}});
  }

  bench::BenchPrompter prompter(false);
  bool good = true;
  fmt::print("\nmedians of {} rounds\n", rounds);
  fmt::print("{:<28}{:>9}{:>11}{:>11}{:>9}{:>16}\n", "report", "rows", "report s", "SQL s", "ratio",
             "total");
  for (const Kind& kind : kinds) {
    std::vector<double> times, sqlTimes;
    std::int64_t reportTotal = 0, sqlCents = 0, groups = 0;
    std::size_t rows = 0;
    for (int round = 0; round < rounds; ++round) {
      auto began = std::chrono::steady_clock::now();
      sqlCents = sqlTotal(*practice, kind.sql, kind.values, groups);
      sqlTimes.push_back(bench::secondsSince(began));
      began = std::chrono::steady_clock::now();
      reports::AgingWindow window(*practice, settings, prompter, clock, kind.kind);
      const auto report = window.run();
      times.push_back(bench::secondsSince(began));
      reportTotal = 0;
      rows = 0;
      if (report) {
        rows = report->flatRows().size();
        const reports::Value& total = report->totals.at(0).cells.back();
        reportTotal = total.amount().tenThousandths() / 100;
      }
    }
    const double best = median(times), bestSql = median(sqlTimes);
    fmt::print("{:<28}{:>9}{:>11.3f}{:>11.3f}{:>9.2f}{:>16}\n", kind.name, rows, best, bestSql,
               bestSql > 0 ? best / bestSql : 0.0, Money::fromCents(reportTotal).toString());
    if (reportTotal != sqlCents) {
      fmt::print("  totals differ: report {} SQL {} ({} groups)\n",
                 Money::fromCents(reportTotal).toString(), Money::fromCents(sqlCents).toString(),
                 groups);
      good = false;
    }
  }

  // The patient day sheet over the whole ledger (no day asked), beside the
  // ledger's net effect per chart by one GROUP BY.
  {
    std::vector<double> times, sqlTimes;
    std::int64_t sqlCents = 0, groups = 0;
    Money net;
    std::size_t rows = 0;
    for (int round = 0; round < rounds; ++round) {
      auto began = std::chrono::steady_clock::now();
      sqlCents = sqlTotal(*practice,
                          "SELECT t.\"Chart Number\", SUM(" + cents("Amount") +
                              ") FROM \"QVTRN\" t WHERE t.\"Transaction Type\" < 'Z' GROUP BY "
                              "t.\"Chart Number\"",
                          {}, groups);
      sqlTimes.push_back(bench::secondsSince(began));
      began = std::chrono::steady_clock::now();
      reports::LedgerReportDialog dialog(reports::LedgerReportKind::PatientDaySheet, prompter,
                                         clock.today(), nullptr);
      dialog.open();
      dialog.setRange("Date Created", "", "");
      const auto selection = dialog.confirm();
      const auto report = reports::ledgerReport(*practice, *selection, prompter, clock.today());
      times.push_back(bench::secondsSince(began));
      rows = report ? report->flatRows().size() : 0;
      net = Money();
      if (report)
        for (const reports::SummaryLine& line : report->summary)
          if (line.label == "Net Effect on Accounts Receivable") net = line.value.amount();
    }
    const double best = median(times), bestSql = median(sqlTimes);
    fmt::print("{:<28}{:>9}{:>11.3f}{:>11.3f}{:>9.2f}{:>16}\n", "patient day sheet", rows, best,
               bestSql, bestSql > 0 ? best / bestSql : 0.0, net.toString());
    if (net != Money::fromCents(sqlCents)) {
      fmt::print("  totals differ: report {} SQL {} ({} groups)\n", net.toString(),
                 Money::fromCents(sqlCents).toString(), groups);
      good = false;
    }
  }
  practice.reset();
  bench::removeBenchPractice(arguments, location, clock);
  fmt::print("{}\n", good ? "all totals agree" : "SOME TOTALS DIFFER");
  return good ? 0 : 1;
}
