// Importing electronic remittances on a large generated practice: Create
// Claims, then 835 files that answer the claims with a realistic mix (paid
// with contractual adjustments, coinsurance, denials, lines without their
// control number, reversals with their corrections, provider adjustments),
// imported through the remittance import. It tells the share of the lines
// meant to post that posted without a clerk, checks that no payment went to a
// charge other than the one the generator answered, and times the import.
//
//   remittance_bench [--patients N] [--lines M] [--engine sqlite|server] [--server CONNINFO]
//                    [--seed S] [--keep]

#include <chrono>
#include <cmath>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "bench_support.hpp"
#include "claims/claim_creation.hpp"
#include "practice/options.hpp"
#include "practice_generator.hpp"
#include "remittance/remittance_import.hpp"
#include "store/table.hpp"
#include "transactions/working_set.hpp"
#include "ui/progress.hpp"
#include "ui/prompter.hpp"
#include "x12/segments.hpp"

using namespace vantrell;

namespace {

struct Charge {
  std::int64_t entry = 0;
  std::string procedure;
  std::vector<std::string> modifiers;
  Date date;
  Money amount;
};

struct Claim {
  std::int64_t number = 0;
  std::string carrier;
  std::vector<Charge> charges;
};

std::string amount(Money money) {
  return money.toString();
}

std::string ccyymmdd(const Date& date) {
  std::string text = date.toIso();
  std::string digits;
  for (char c : text)
    if (c != '-') digits += c;
  return digits;
}

// What the generator means each line to become.
struct Intended {
  std::int64_t linesToPost = 0;
  std::int64_t linesToQueue = 0;
  std::set<std::pair<std::int64_t, std::int64_t>> payments;  // (charge, paid in cents)
};

// One 835 per carrier, a transaction set per 200 claims.
std::vector<std::string> remittances(const std::vector<Claim>& claims, std::mt19937_64& dice,
                                     Intended& intended) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::map<std::string, std::vector<const Claim*>> byCarrier;
  for (const auto& claim : claims) byCarrier[claim.carrier].push_back(&claim);
  std::vector<std::string> files;
  int trace = 0;
  for (const auto& [carrier, ofCarrier] : byCarrier) {
    x12::SegmentWriter out;
    out.add("ISA",
            {"00", "          ", "00", "          ", "ZZ", fmt::format("{:<15}", carrier), "ZZ",
             "BENCHCLINIC    ", "261201", "1200", "^", "00501", "000000001", "0", "P", ":"});
    out.add("GS", {"HP", carrier, "BENCHCLINIC", "20261201", "1200", "1", "X", "005010X221A1"});
    int sets = 0;
    for (std::size_t first = 0; first < ofCarrier.size(); first += 200) {
      out.mark();
      const std::string control = fmt::format("{:04}", ++sets);
      out.add("ST", {"835", control, "005010X221A1"});
      std::vector<std::vector<std::string>> body;
      Money total;
      const auto add = [&](std::vector<std::string> segment) {
        body.push_back(std::move(segment));
      };
      for (std::size_t index = first; index < std::min(first + 200, ofCarrier.size()); ++index) {
        const Claim& claim = *ofCarrier[index];
        Money claimCharge;
        for (const auto& charge : claim.charges) claimCharge += charge.amount;
        const auto serviceLines = [&](bool reversal, bool corrected,
                                      std::vector<std::vector<std::string>>& lines) {
          Money paidTotal;
          for (const auto& charge : claim.charges) {
            const double roll = unit(dice);
            Money paid = charge.amount.times(0.8).roundedToCents();
            Money patient;
            bool denied = false;
            if (!reversal && !corrected && roll < 0.06) {
              denied = true;
              paid = Money{};
            } else if (!reversal && !corrected && roll < 0.20) {
              paid = charge.amount.times(0.6).roundedToCents();
              patient = charge.amount.times(0.2).roundedToCents();
            }
            if (corrected) paid = charge.amount.times(0.85).roundedToCents();
            const Money contractual = charge.amount - paid - patient;
            const int sign = reversal ? -1 : 1;
            const auto signedAmount = [&](Money money) { return sign < 0 ? -money : money; };
            std::string procedure = "HC:" + charge.procedure;
            for (const auto& modifier : charge.modifiers) procedure += ":" + modifier;
            lines.push_back({"SVC", procedure, amount(signedAmount(charge.amount)),
                             amount(signedAmount(paid)), "", "1"});
            lines.push_back({"DTM", "472", ccyymmdd(charge.date)});
            if (contractual != Money{})
              lines.push_back(
                  {"CAS", "CO", denied ? "50" : "45", amount(signedAmount(contractual))});
            if (patient != Money{})
              lines.push_back({"CAS", "PR", "2", amount(signedAmount(patient))});
            // Some payers drop the control number: the charge is found by its details.
            if (unit(dice) >= 0.08) lines.push_back({"REF", "6R", std::to_string(charge.entry)});
            if (!reversal && !corrected) {
              if (denied) {
                ++intended.linesToQueue;
              } else {
                ++intended.linesToPost;
                intended.payments.insert({charge.entry, paid.tenThousandths() / 100});
              }
            } else {
              ++intended.linesToQueue;
            }
            paidTotal += signedAmount(paid);
          }
          return paidTotal;
        };
        const bool reversed = unit(dice) < 0.02;
        std::vector<std::vector<std::string>> lines;
        const auto emitClaim = [&](const std::string& status, bool reversal, bool corrected) {
          lines.clear();
          const Money paid = serviceLines(reversal, corrected, lines);
          const Money charged = reversal ? -claimCharge : claimCharge;
          add({"CLP", std::to_string(claim.number), status, amount(charged), amount(paid), "", "12",
               fmt::format("PCN{}", claim.number)});
          for (auto& line : lines) add(line);
          total += paid;
        };
        if (reversed) {
          emitClaim("22", true, false);
          emitClaim("1", false, true);
        } else {
          emitClaim("1", false, false);
        }
      }
      const double plb = unit(dice);
      Money provider;
      if (plb < 0.15)
        provider = Money::fromCents(-123);  // interest added
      else if (plb < 0.25)
        provider = Money::fromCents(500);  // overpayment recovered
      if (provider != Money{})
        add({"PLB", "1234567893", "20261231", provider < Money{} ? "L6:INT" : "WO:RECOUP",
             amount(provider)});
      const Money payment = total - provider;
      out.add("BPR", {"I", amount(payment.abs()), payment < Money{} ? "D" : "C", "ACH", "", "", "",
                      "", "", "", "", "", "", "", "", "20261201"});
      out.add("TRN", {"1", fmt::format("BENCH{}{:05}", carrier, ++trace), "1999999999"});
      out.add("N1", {"PR", "BENCH PAYER " + carrier});
      out.add("REF", {"2U", "P" + carrier});
      for (auto& segment : body) {
        const std::string id = segment.front();
        out.add(id, std::vector<std::string>(segment.begin() + 1, segment.end()));
      }
      out.add("SE", {std::to_string(out.countSinceMark() + 1), control});
    }
    out.add("GE", {std::to_string(sets), "1"});
    out.add("IEA", {"1", "000000001"});
    files.push_back(out.text());
  }
  return files;
}

std::int64_t number(store::Connection& practice, const std::string& sql) {
  auto rows = practice.driver().query(sql, {});
  rows->next();
  const store::Value value = rows->column(0);
  if (const auto* whole = std::get_if<std::int64_t>(&value)) return *whole;
  if (const auto* real = std::get_if<double>(&value)) return static_cast<std::int64_t>(*real);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  bench::PracticeShape shape;
  shape.patients = 3000;
  shape.lines = 60000;
  const auto arguments = bench::parsePracticeBenchArguments(argc, argv, shape);
  const std::size_t newVisits = static_cast<std::size_t>(arguments.shape.lines / 10);
  const store::DataLocation location = bench::benchPracticeLocation(arguments, "remittance_bench");
  ui::FixedClock clock(*DateTime::parse("2026-12-05 09:00:00"));
  auto practice = store::Connection::open(location, {"bench", &clock, true});
  fmt::print("engine {}, {} patients, {} ledger lines (seed {})\n",
             arguments.engine == store::Engine::Embedded ? "SQLite" : "PostgreSQL",
             arguments.shape.patients, arguments.shape.lines, arguments.shape.seed);
  const bench::GeneratedPractice made = bench::generatePractice(*practice, arguments.shape);
  // The carriers' payer IDs and posting codes, as a practice sets them up for 835s.
  practice->executeSql(
      "UPDATE QVINS SET \"EMC Payor Number\" = 'P' || \"Code\", \"Default Payment Code\" = "
      "'INSPAY', \"Default Write Off Code\" = 'ADJCON'");
  // The generated ledger is billed and paid; what an 835 answers is new visits.
  // The generator's unbilled charges get claims of their own first, then a copy
  // of some of its insurance charges, unpaid and dated November 2026, is billed.
  bench::BenchPrompter prompter(true, 0, bench::BenchPrompter::Shown::Nothing);
  claims::createClaims({*practice, prompter, nullptr, nullptr, false}, {});
  {
    store::Table ledger = practice->openTable("QVTRN");
    ledger.setOrder("Idxentrynumber");
    std::vector<store::Record> copies;
    ledger.forEach([&](const store::Record& row) {
      const std::string type = row.text("Transaction Type");
      if (copies.size() >= newVisits || type.empty() || type >= "I" ||
          !row.logical("Insurance 1 Responsible"))
        return;
      store::Record copy = ledger.newRecord();
      for (std::size_t field = 0; field < copy.table().fields().size(); ++field)
        if (copy.table().field(field).name != "Entry Number") copy.setAt(field, row.value(field));
      const Date day = Date::fromYmd(2026, 11, static_cast<unsigned>(2 + copies.size() % 20));
      copy.set("Date From", day);
      copy.set("Date To", day);
      for (const char* zero : {"Claim Number", "Statement Number"}) copy.set(zero, std::int64_t{0});
      for (const char* zero :
           {"Insurance 1 Amount Paid", "Insurance 2 Amount Paid", "Insurance 3 Amount Paid",
            "Guarantor Amount Paid", "Attorney Amount Paid", "Adjustment Amount", "Allowed Amount"})
        if (copy.table().fieldIndex(zero)) copy.set(zero, 0.0);
      for (const char* no : {"Insurance 1 Paid", "Insurance 2 Paid", "Insurance 3 Paid",
                             "Guarantor Paid", "Attorney Paid"})
        if (copy.table().fieldIndex(no)) copy.set(no, false);
      copies.push_back(std::move(copy));
    });
    store::Transaction transaction(*practice);
    for (auto& copy : copies) ledger.append(copy);
    transaction.commit();
  }
  const auto created = claims::createClaims({*practice, prompter, nullptr, nullptr, false}, {});
  fmt::print("{} claims created for {} new charges\n", created.claims.size(),
             created.chargesStamped);

  // The claims whose charges nobody has paid yet, with the carrier billed.
  std::map<std::int64_t, Claim> claims;
  {
    store::Table table = practice->openTable("QVCLA");
    table.forEach([&](const store::Record& row) {
      claims[row.integer("Claim Number")] = {
          row.integer("Claim Number"), std::string(row.text("Insurance Carrier 1")), {}};
    });
    std::set<std::int64_t> touched;
    store::Table ledger = practice->openTable("QVTRN");
    ledger.setFilter("Claim Number > 0");
    ledger.forEach([&](const store::Record& row) {
      const std::string type = row.text("Transaction Type");
      if (type.empty() || type >= "I") return;
      auto found = claims.find(row.integer("Claim Number"));
      if (found == claims.end()) return;
      if (transactions::remainderOf(row) != row.money("Amount")) touched.insert(found->first);
      Charge charge{row.integer("Entry Number"),
                    row.text("Procedure Code"),
                    {},
                    row.date("Date From"),
                    row.money("Amount")};
      for (int modifier = 1; modifier <= 4; ++modifier)
        if (auto text = row.text(fmt::format("Modifier {}", modifier)); !text.empty())
          charge.modifiers.push_back(text);
      found->second.charges.push_back(charge);
    });
    for (const auto number : touched) claims.erase(number);
  }
  std::vector<Claim> answered;
  for (auto& [number, claim] : claims)
    if (!claim.charges.empty() && !claim.carrier.empty()) answered.push_back(std::move(claim));
  std::mt19937_64 dice(arguments.shape.seed);
  Intended intended;
  const auto files = remittances(answered, dice, intended);
  fmt::print("{} claims answered in {} files: {} lines meant to post, {} meant for the queue\n",
             answered.size(), files.size(), intended.linesToPost, intended.linesToQueue);

  const practice::Options options = practice::Options::readAtPracticeOpen(*practice);
  // Reading, matching and planning alone (a dry run), then the import itself.
  auto start = std::chrono::steady_clock::now();
  for (const auto& file : files) {
    remittance::ImportChoices dryRun;
    dryRun.dryRun = true;
    remittance::importRemittance({*practice, options, clock, "BENCH"}, file, dryRun);
  }
  const double planning = bench::secondsSince(start);
  std::int64_t posted = 0, queued = 0, lines = 0;
  start = std::chrono::steady_clock::now();
  for (const auto& file : files) {
    const auto result =
        remittance::importRemittance({*practice, options, clock, "BENCH"}, file, {});
    if (!result.refusal.empty()) {
      fmt::print("refused: {}\n", result.refusal);
      return 1;
    }
    for (const auto& advice : result.advices) {
      posted += advice.linesPosted;
      queued += advice.linesQueued;
      lines += advice.lines;
    }
  }
  const double elapsed = bench::secondsSince(start);

  // Every payment line the import wrote, by the charge it paid.
  std::int64_t wrong = 0, payments = 0;
  {
    auto rows = practice->driver().query(
        "SELECT a.\"Charge Reference\", t.\"Amount\" FROM \"QVTRN\" t JOIN \"QVPAX\" a ON "
        "a.\"Payment Reference\" = t.\"Entry Number\" JOIN \"QVERA\" r ON r.\"Deposit ID\" = "
        "t.\"Deposit ID\" WHERE t.\"Transaction Type\" = 'I' AND t.\"Amount\" <> 0",
        {});
    while (rows->next()) {
      ++payments;
      const auto charge = std::get<std::int64_t>(rows->column(0, store::FieldType::Integer));
      const Money paid =
          -Money::fromDouble(std::get<double>(rows->column(1, store::FieldType::Double)));
      if (intended.payments.count({charge, paid.tenThousandths() / 100}) == 0) ++wrong;
    }
  }
  const double share = intended.linesToPost > 0 ? 100.0 * static_cast<double>(posted) /
                                                      static_cast<double>(intended.linesToPost)
                                                : 0.0;
  fmt::print("{} lines read, {} posted, {} queued\n", lines, posted, queued);
  fmt::print("posted without a clerk: {:.2f} % of the lines meant to post\n", share);
  fmt::print("payment lines to a charge not answered so: {} of {}\n", wrong, payments);
  const auto perThousand = [&](double time) {
    return lines > 0 ? time * 1000.0 / static_cast<double>(lines) : 0.0;
  };
  fmt::print("import: {:.2f} s, {:.3f} s per 1,000 lines (reading and matching alone: {:.3f})\n",
             elapsed, perThousand(elapsed), perThousand(planning));
  fmt::print("queue rows: {}\n", number(*practice, "SELECT COUNT(*) FROM \"QVERQ\""));
  (void)made;
  practice.reset();
  bench::removeBenchPractice(arguments, location, clock);
  return wrong == 0 ? 0 : 1;
}
