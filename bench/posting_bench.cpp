// Posting an explanation of benefits through the payment application window on
// a large generated practice, beside the lower bound of the same writes in
// plain SQL in one transaction in the same run: per charge a payment line, its
// application row and the charge's paid amount and flags; per patient the
// balance; the deposit's unapplied amount. Each side posts its own 100
// patients' 500 charges (so neither finds the other's work), of one carrier.
// The ratio is core time over SQL time.
//
// It also checks the outcome of both: every posted charge's remainder is what
// it was less the payment, and the deposits are fully applied.
//
//   posting_bench [--patients N] [--lines M] [--engine sqlite|server] [--server CONNINFO]
//                 [--seed S] [--keep]

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "bench_support.hpp"
#include "deposits/payment_application.hpp"
#include "practice/options.hpp"
#include "practice_generator.hpp"
#include "store/table.hpp"
#include "transactions/balances.hpp"
#include "transactions/working_set.hpp"
#include "ui/prompter.hpp"

using namespace vantrell;

namespace {

constexpr int patientsPerSide = 100;
constexpr int chargesPerPatient = 5;

struct Charge {
  std::int64_t entry = 0;
  std::int64_t caseNumber = 0;
  Money remainder;
  Money payment;  // what the carrier pays: 60% of the remainder, to the cent
};

// Per chart, five open charges whose case has the carrier as primary.
std::map<std::string, std::vector<Charge>> openCharges(store::Connection& practice,
                                                       const std::string& carrier) {
  std::map<std::string, std::vector<Charge>> charts;
  auto rows = practice.driver().query(
      "SELECT t.\"Chart Number\", t.\"Entry Number\", t.\"Case Number\", t.\"Amount\", "
      "t.\"Insurance 1 Amount Paid\", t.\"Insurance 2 Amount Paid\", t.\"Insurance 3 Amount "
      "Paid\", t.\"Attorney Amount Paid\", t.\"Guarantor Amount Paid\", t.\"Adjustment Amount\" "
      "FROM \"QVTRN\" t JOIN \"QVCAS\" c ON c.\"Chart Number\" = t.\"Chart Number\" AND "
      "c.\"Case Number\" = t.\"Case Number\" WHERE c.\"Insurance Carrier #1\" = ? AND "
      "t.\"Transaction Type\" <> '' AND t.\"Transaction Type\" < 'I' ORDER BY t.\"Chart "
      "Number\", t.\"Entry Number\"",
      {store::Value{carrier}});
  while (rows->next()) {
    Money left;
    for (std::size_t column = 3; column < 10; ++column)
      left += transactions::moneyOf(rows->column(column, store::FieldType::Double));
    if (!(left > Money::fromCents(100))) continue;
    const std::string chart = store::valueToText(rows->column(0, store::FieldType::Character));
    auto& charges = charts[chart];
    if (charges.size() >= chargesPerPatient) continue;
    Charge charge;
    charge.entry = std::get<std::int64_t>(rows->column(1, store::FieldType::Integer));
    charge.caseNumber = std::get<std::int64_t>(rows->column(2, store::FieldType::Integer));
    charge.remainder = left;
    charge.payment = Money::fromCents(left.tenThousandths() * 60 / 10000);
    charges.push_back(charge);
  }
  std::erase_if(charts, [](const auto& chart) { return chart.second.size() < chargesPerPatient; });
  return charts;
}

std::int64_t addDeposit(store::Connection& practice, const std::string& carrier, Money amount) {
  store::Table deposits = practice.openTable("QVDEP");
  store::Record deposit = deposits.newRecord();
  deposit.set("Deposit Date", *Date::parse("2026-12-04"));
  deposit.set("Description", std::string("EOB"));
  deposit.set("Payor Type", std::string("Insurance"));
  deposit.set("Insurance Code", carrier);
  deposit.set("Check Number", std::string("90210"));
  deposit.set("Payment Amount", amount);
  deposit.set("Unapplied Amount", amount);
  deposit.set("Payment Code", std::string("INSPAY"));
  deposit.set("Adjustment Code", std::string("ADJCON"));
  deposits.append(deposit);
  return deposit.integer("Entry Number");
}

// The lower bound: the same rows written with plain statements, in one transaction.
double bySql(store::Connection& practice, const std::map<std::string, std::vector<Charge>>& charts,
             std::int64_t deposit) {
  const auto start = std::chrono::steady_clock::now();
  store::Transaction transaction(practice);
  auto& driver = practice.driver();
  const Date day = *Date::parse("2026-12-04");
  Money total;
  for (const auto& [chart, charges] : charts) {
    Money paid;
    for (const auto& charge : charges) {
      driver.execute(
          "INSERT INTO \"QVTRN\" (\"Chart Number\", \"Case Number\", \"Date From\", \"Date To\", "
          "\"Transaction Type\", \"Procedure Code\", \"Amount\", \"Unapplied Amount\", \"Who "
          "Paid\", \"Units\", \"Claim Number\", \"Documentation Type\", \"CC Entry Number\", "
          "\"Deposit ID\", \"Description\", \"Check Number\", \"Insurance 1 Responsible\", "
          "\"Guarantor Responsible\") VALUES (?, ?, ?, ?, 'I', 'INSPAY', ?, 0, '1', 1, 0, 'T', "
          "-1, ?, 'EOB', '90210', ?, ?)",
          {store::Value{chart}, store::Value{charge.caseNumber}, store::Value{day},
           store::Value{day}, store::Value{-charge.payment}, store::Value{deposit},
           store::Value{true}, store::Value{true}});
      driver.execute(
          "INSERT INTO \"QVPAX\" (\"Payment Reference\", \"Charge Reference\", \"Payment "
          "Amount\", \"Who Paid\", \"Deposit ID\") SELECT MAX(\"Entry Number\"), ?, ?, '1', ? "
          "FROM \"QVTRN\"",
          {store::Value{charge.entry}, store::Value{-charge.payment}, store::Value{deposit}});
      driver.execute(
          "UPDATE \"QVTRN\" SET \"Insurance 1 Amount Paid\" = COALESCE(\"Insurance 1 Amount "
          "Paid\", 0) - ?, \"Insurance 1 Paid\" = ? WHERE \"Entry Number\" = ?",
          {store::Value{charge.payment}, store::Value{true}, store::Value{charge.entry}});
      paid += charge.payment;
    }
    driver.execute(
        "UPDATE \"QVPAT\" SET \"Patient Reference Balance\" = COALESCE(\"Patient Reference "
        "Balance\", 0) - ? WHERE \"Chart Number\" = ?",
        {store::Value{paid}, store::Value{chart}});
    total += paid;
  }
  driver.execute(
      "UPDATE \"QVDEP\" SET \"Unapplied Amount\" = \"Unapplied Amount\" - ? WHERE \"Entry "
      "Number\" = ?",
      {store::Value{total}, store::Value{deposit}});
  transaction.commit();
  return bench::secondsSince(start);
}

double byCore(store::Connection& practice, const practice::Options& options,
              const std::map<std::string, std::vector<Charge>>& charts, std::int64_t deposit) {
  bench::BenchPrompter prompter(true, 0, bench::BenchPrompter::Shown::AllButInformation);
  ui::FixedClock clock(*DateTime::parse("2026-12-05 09:00:00"));
  const auto start = std::chrono::steady_clock::now();
  deposits::PaymentApplicationWindow window({practice, options, prompter, clock, "BENCH"}, deposit);
  for (const auto& [chart, charges] : charts) {
    window.choosePatient(chart);
    for (const auto& charge : charges) {
      for (std::size_t row = 0; row < window.rows().size(); ++row) {
        if (window.rows()[row].charge.integer("Entry Number") != charge.entry) continue;
        window.setPayment(row, charge.payment);
        window.setComplete(row, true);
      }
    }
    window.save();
  }
  window.close();
  return bench::secondsSince(start);
}

bool expect(const char* what, std::int64_t seen, std::int64_t wanted) {
  fmt::print("  {:<56}{:>8} (want {}){}\n", what, seen, wanted, seen == wanted ? "" : "  MISMATCH");
  return seen == wanted;
}

// How many of the charges were left with what they had less the payment, and
// whether the deposit is spent.
std::int64_t postedRight(store::Connection& practice,
                         const std::map<std::string, std::vector<Charge>>& charts) {
  std::int64_t right = 0;
  store::Table ledger = practice.openTable("QVTRN");
  ledger.setOrder("Idxentrynumber");
  for (const auto& [chart, charges] : charts)
    for (const auto& charge : charges)
      if (auto row = ledger.seek({store::Value{charge.entry}});
          row && transactions::remainderOf(*row) == charge.remainder - charge.payment &&
          row->logical("Insurance 1 Paid"))
        ++right;
  return right;
}

Money unappliedOf(store::Connection& practice, std::int64_t deposit) {
  auto rows = practice.driver().query(
      "SELECT \"Unapplied Amount\" FROM \"QVDEP\" WHERE \"Entry Number\" = ?",
      {store::Value{deposit}});
  return rows->next() ? transactions::moneyOf(rows->column(0, store::FieldType::Double)) : Money{};
}

}  // namespace

int main(int argc, char** argv) {
  const bench::PracticeBenchArguments arguments = bench::parsePracticeBenchArguments(argc, argv);
  const store::DataLocation location = bench::benchPracticeLocation(arguments, "posting_bench");
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
  store::Table optionsTable = practice->openTable("QVOPT");
  store::Record optionsRow = optionsTable.newRecord();
  practice::applyNewOptionValues(optionsRow);
  for (const char* flag : {"Calculate Disallowed Amt", "Calculate Allowed Amount"})
    optionsRow.set(flag, false);
  const practice::Options options(optionsRow);

  // The carrier with the most patients to pay.
  std::string carrier;
  std::map<std::string, std::vector<Charge>> open;
  for (const auto& code : made.carriers) {
    auto found = openCharges(*practice, code);
    if (found.size() > open.size()) {
      carrier = code;
      open = std::move(found);
    }
  }
  if (open.size() < 2 * patientsPerSide) {
    fmt::print("only {} patients of {} with {} open charges\n", open.size(), carrier,
               chargesPerPatient);
    practice.reset();
    bench::removeBenchPractice(arguments, location, clock);
    return 1;
  }
  // Every other patient to each side, so both draw from the whole practice.
  std::map<std::string, std::vector<Charge>> sqlSide, coreSide;
  int taken = 0;
  for (auto& [chart, charges] : open) {
    if (taken >= 2 * patientsPerSide) break;
    (taken++ % 2 == 0 ? sqlSide : coreSide).emplace(chart, std::move(charges));
  }
  const auto totalOf = [](const auto& side) {
    Money total;
    for (const auto& [chart, charges] : side)
      for (const auto& charge : charges) total += charge.payment;
    return total;
  };
  const auto sqlDeposit = addDeposit(*practice, carrier, totalOf(sqlSide));
  const auto coreDeposit = addDeposit(*practice, carrier, totalOf(coreSide));

  const double sql = bySql(*practice, sqlSide, sqlDeposit);
  const double core = byCore(*practice, options, coreSide, coreDeposit);

  fmt::print("\n{:<40}{:>11}{:>11}{:>9}\n", "work", "core s", "SQL s", "ratio");
  fmt::print("{:<40}{:>11.3f}{:>11.3f}{:>9.1f}\n\n",
             fmt::format("EOB: {} charges, {} patients", patientsPerSide * chargesPerPatient,
                         patientsPerSide),
             core, sql, sql > 0 ? core / sql : 0.0);
  const std::int64_t charges = patientsPerSide * chargesPerPatient;
  good = expect("charges posted right (SQL)", postedRight(*practice, sqlSide), charges) && good;
  good = expect("charges posted right (core)", postedRight(*practice, coreSide), charges) && good;
  good = expect("SQL deposit unapplied (cents)",
                unappliedOf(*practice, sqlDeposit).tenThousandths() / 100, 0) &&
         good;
  good = expect("core deposit unapplied (cents)",
                unappliedOf(*practice, coreDeposit).tenThousandths() / 100, 0) &&
         good;

  practice.reset();
  bench::removeBenchPractice(arguments, location, clock);
  fmt::print("{}\n", good ? "all checks passed" : "SOME CHECKS FAILED");
  return good ? 0 : 1;
}
