#include "practice_generator.hpp"

#include <unistd.h>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <numeric>
#include <random>

#include <fmt/format.h>

#include "practice/options.hpp"
#include "store/driver.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"

namespace vantrell::bench {
namespace {

using Cents = std::int64_t;

// Draws from the seeded generator by hand, so a seed gives the same practice
// whatever the standard library's distributions do.
class Dice {
 public:
  explicit Dice(std::uint64_t seed) : engine_(seed) {}
  std::uint64_t below(std::uint64_t n) { return engine_() % n; }
  std::int64_t between(std::int64_t low, std::int64_t high) {
    return low + static_cast<std::int64_t>(below(static_cast<std::uint64_t>(high - low + 1)));
  }
  double unit() { return static_cast<double>(engine_() >> 11) * 0x1.0p-53; }
  bool chance(double p) { return unit() < p; }

 private:
  std::mt19937_64 engine_;
};

Cents share(Cents amount, double fraction) {
  return static_cast<Cents>(static_cast<double>(amount) * fraction + 0.5);
}

double toDouble(Cents cents) {
  return static_cast<double>(cents) / 100.0;
}

// Writes rows in engine transactions of a fixed size.
class BatchWriter {
 public:
  BatchWriter(store::Connection& practice, int rowsPerTransaction)
      : practice_(practice), limit_(rowsPerTransaction) {}
  ~BatchWriter() = default;
  void wrote() {
    if (!open_) open_.emplace(practice_);
    if (++rows_ >= limit_) finish();
  }
  // Starts the transaction before the first row so the append is inside it.
  void beforeRow() {
    if (!open_) open_.emplace(practice_);
  }
  void finish() {
    if (open_) open_->commit();
    open_.reset();
    rows_ = 0;
  }

 private:
  store::Connection& practice_;
  int limit_;
  int rows_ = 0;
  std::optional<store::Transaction> open_;
};

struct ProcedureCode {
  std::string code, description;
  char type = 'A';
  char category = 'A';
  std::array<Cents, 3> prices{};  // price columns A to C
};

struct CaseShape {
  std::int64_t patient = 0;  // from 1
  std::int64_t number = 0;   // Case Number, once stored
  std::string carrier1, carrier2;
  int priceColumn = 0;
  std::string provider, diagnosis;
};

// One ledger line as generated, before the engine numbers it.
struct Line {
  std::int32_t caseIndex = 0;
  std::int32_t day = 0;  // days since the epoch
  std::int16_t code = 0;
  char type = 'A';
  char whoPaid = ' ';
  Cents amount = 0;
  // Charges: the sums of their application rows by payer.
  Cents insurance1 = 0, insurance2 = 0, guarantor = 0, adjustment = 0;
  Cents unapplied = 0;  // payments and adjustments
  std::int64_t entryNumber = 0;
};

struct Application {
  std::int32_t payment = 0, charge = 0;  // line indexes
  Cents amount = 0;
  char whoPaid = ' ';
};

const std::array<const char*, 24> lastNames = {
    "Alvarez",  "Brennan",  "Castillo",  "Dorsey",    "Ellison",  "Fairbanks",
    "Garrity",  "Holloway", "Iverson",   "Jessup",    "Kowalski", "Lindqvist",
    "Mercado",  "Nakamura", "Okafor",    "Pemberton", "Quinlan",  "Rasmussen",
    "Sorensen", "Thibault", "Underhill", "Vasquez",   "Whitlock", "Yardley"};
const std::array<const char*, 16> firstNames = {
    "Ada",  "Bruno", "Celia", "Dmitri", "Esther", "Felix", "Greta", "Hugo",
    "Ines", "Jonah", "Kira",  "Leon",   "Mabel",  "Nils",  "Opal",  "Pavel"};
const std::array<const char*, 8> caseReasons = {"Annual physical", "Back pain",      "Hypertension",
                                                "Diabetes care",   "Sprained ankle", "Allergy",
                                                "Asthma",          "Follow-up"};

std::int32_t dayOf(int year, unsigned month, unsigned day) {
  return static_cast<std::int32_t>(std::chrono::sys_days{
      std::chrono::year{year} / std::chrono::month{month} / std::chrono::day{day}}
                                       .time_since_epoch()
                                       .count());
}

Date dateOf(std::int32_t day) {
  return Date(std::chrono::year_month_day{std::chrono::sys_days{std::chrono::days{day}}});
}

// The document number the entry window gives a visit: yymmdd0000.
std::string documentOf(std::int32_t day) {
  const std::chrono::year_month_day ymd{std::chrono::sys_days{std::chrono::days{day}}};
  return fmt::format("{:02}{:02}{:02}0000", static_cast<int>(ymd.year()) % 100,
                     static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()));
}

bool isPatientPayment(char type) {
  return (type >= 'J' && type <= 'O') || type == 'Q' || type == 'R';
}
bool isAnyPayment(char type) {
  return (type >= 'I' && type <= 'O') || type == 'Q' || type == 'R';
}

void append(store::Table& table, BatchWriter& batch, store::Record& row) {
  batch.beforeRow();
  table.append(row);
  batch.wrote();
}

}  // namespace

std::string chartNumberOf(std::int64_t patient) {
  return fmt::format("P{:07}", patient);
}

GeneratedPractice generatePractice(store::Connection& practice, const PracticeShape& shape) {
  store::createMissingTables(practice, nullptr);
  Dice dice(shape.seed);
  GeneratedPractice made;
  BatchWriter batch(practice, shape.rowsPerTransaction);

  {
    store::Table options = practice.openTable("QVOPT");
    store::Record row = options.newRecord();
    practice::applyNewOptionValues(row);
    append(options, batch, row);
  }

  // --- Reference tables ------------------------------------------------
  {
    store::Table providers = practice.openTable("QVPHY");
    for (int i = 1; i <= 6; ++i) {
      store::Record row = providers.newRecord();
      made.providers.push_back(fmt::format("DR{:02}", i));
      row.set("Code", made.providers.back());
      row.set("Last Name",
              std::string(lastNames[static_cast<std::size_t>(i) * 3 % lastNames.size()]));
      row.set("First Name",
              std::string(firstNames[static_cast<std::size_t>(i) % firstNames.size()]));
      append(providers, batch, row);
    }
    store::Table carriers = practice.openTable("QVINS");
    for (int i = 1; i <= 12; ++i) {
      store::Record row = carriers.newRecord();
      made.carriers.push_back(fmt::format("C{:02}", i));
      row.set("Code", made.carriers.back());
      row.set("Name", fmt::format("Carrier {} Health Plan", i));
      append(carriers, batch, row);
    }
    store::Table diagnoses = practice.openTable("QVDIA");
    for (int i = 0; i < 200; ++i) {
      store::Record row = diagnoses.newRecord();
      made.diagnoses.push_back(
          fmt::format("{}{:02}.{}", static_cast<char>('A' + i % 26), 10 + i / 26 * 7 % 90, i % 10));
      row.set("Code 1", made.diagnoses.back());
      row.set("Description", fmt::format("Condition {}, unspecified", i));
      row.set("Approved", true);
      append(diagnoses, batch, row);
    }
  }

  // The fee schedule: 290 charges (a tenth of them products), then the
  // payment and adjustment codes.
  std::vector<ProcedureCode> codes;
  for (int i = 0; i < 290; ++i) {
    ProcedureCode code;
    code.type = i % 10 == 9 ? 'B' : 'A';
    code.code = code.type == 'A' ? fmt::format("{}", 10000 + i * 37) : fmt::format("PRD{:03}", i);
    code.description =
        code.type == 'A' ? fmt::format("Procedure {}", code.code) : fmt::format("Product {}", i);
    code.category = static_cast<char>('A' + i % 4);
    const Cents base = dice.between(8, 160) * 250;  // 20.00 to 400.00 in steps of 2.50
    code.prices = {base, share(base, 0.85), share(base, 1.15)};
    codes.push_back(code);
  }
  const std::size_t chargeCodes = codes.size();
  const struct {
    const char* code;
    const char* description;
    char type;
  } creditCodes[] = {
      {"INSPAY", "Insurance payment", 'I'},       {"INSEFT", "Insurance EFT payment", 'I'},
      {"CHKCO", "Check copayment", 'K'},          {"CASHCO", "Cash copayment", 'J'},
      {"CHKPAT", "Patient check", 'K'},           {"ADJCON", "Contractual adjustment", 'T'},
      {"ADJWO", "Insurance write-off", 'T'},      {"ADJDED", "Deductible adjustment", 'T'},
      {"ADJCOB", "Coordination adjustment", 'T'}, {"ADJSM", "Small balance adjustment", 'T'}};
  for (const auto& credit : creditCodes) {
    ProcedureCode code;
    code.code = credit.code;
    code.description = credit.description;
    code.type = credit.type;
    code.category = ' ';
    codes.push_back(code);
  }
  {
    store::Table procedures = practice.openTable("QVPRO");
    for (const auto& code : codes) {
      store::Record row = procedures.newRecord();
      row.set("Code 1", code.code);
      row.set("Type", std::string(1, code.type));
      row.set("Description", code.description);
      row.set("Approved", true);
      if (code.type <= 'H') {
        row.set("Insurance Category", std::string(1, code.category));
        row.set("Default Place Service 1", std::string("11"));
        row.set("Amount A", toDouble(code.prices[0]));
        row.set("Amount B", toDouble(code.prices[1]));
        row.set("Amount C", toDouble(code.prices[2]));
        row.set("Default Units", std::int64_t{1});
        made.chargeCodes.push_back(code.code);
      }
      if (code.type >= 'S') row.set("Adjustment Amount Negativ", true);
      append(procedures, batch, row);
    }
  }
  const auto creditCode = [&](char type) {
    std::vector<std::int16_t> found;
    for (std::size_t i = chargeCodes; i < codes.size(); ++i)
      if (codes[i].type == type) found.push_back(static_cast<std::int16_t>(i));
    return found;
  };
  const auto insuranceCodes = creditCode('I'), checkCodes = creditCode('K'),
             cashCodes = creditCode('J'), adjustmentCodes = creditCode('T');
  batch.finish();

  // --- Patients' cases -------------------------------------------------
  std::vector<CaseShape> cases;
  std::vector<std::size_t> firstCase(static_cast<std::size_t>(shape.patients) + 2, 0);
  for (std::int64_t patient = 1; patient <= shape.patients; ++patient) {
    firstCase[static_cast<std::size_t>(patient)] = cases.size();
    const double roll = dice.unit();
    const int count = roll < 0.6 ? 1 : roll < 0.9 ? 2 : 3;
    for (int c = 0; c < count; ++c) {
      CaseShape one;
      one.patient = patient;
      if (dice.chance(0.7)) {
        one.carrier1 = made.carriers[dice.below(made.carriers.size())];
        if (dice.chance(0.3)) {
          do one.carrier2 = made.carriers[dice.below(made.carriers.size())];
          while (one.carrier2 == one.carrier1);
        }
      }
      const double price = dice.unit();
      one.priceColumn = price < 0.7 ? 0 : price < 0.9 ? 1 : 2;
      one.provider = made.providers[dice.below(made.providers.size())];
      one.diagnosis = made.diagnoses[dice.below(made.diagnoses.size())];
      cases.push_back(one);
    }
  }
  firstCase[static_cast<std::size_t>(shape.patients) + 1] = cases.size();

  // Lines per case: uneven, as real accounts are (a few busy ones, many quiet).
  std::vector<double> weights(cases.size());
  for (auto& weight : weights) weight = 0.2 + -std::log(1.0 - dice.unit());
  const double totalWeight = std::accumulate(weights.begin(), weights.end(), 0.0);
  std::vector<std::int64_t> quota(cases.size());
  std::int64_t given = 0;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    quota[i] =
        static_cast<std::int64_t>(static_cast<double>(shape.lines) * weights[i] / totalWeight);
    given += quota[i];
  }
  for (std::size_t i = 0; given < shape.lines; i = (i + 1) % cases.size(), ++given) ++quota[i];

  // --- The ledger, in memory ------------------------------------------
  std::vector<Line> lines;
  lines.reserve(static_cast<std::size_t>(shape.lines));
  std::vector<Application> applications;
  const std::int32_t firstDay = dayOf(2021, 1, 4), lastDay = dayOf(2025, 12, 31);
  for (std::size_t c = 0; c < cases.size(); ++c) {
    const CaseShape& one = cases[c];
    const std::int64_t count = quota[c];
    if (count == 0) continue;
    const std::int64_t charges = std::max<std::int64_t>(1, (count * 6 + 5) / 10);
    const std::int64_t adjustments = std::min(count - charges, (count + 5) / 10);
    const std::int64_t payments = count - charges - adjustments;
    // Visits: one to four charges on one date of service.
    const std::size_t firstCharge = lines.size();
    std::vector<std::int32_t> days;
    for (std::int64_t i = 0; i < charges;) {
      const auto day = static_cast<std::int32_t>(dice.between(firstDay, lastDay));
      const std::int64_t onVisit = std::min<std::int64_t>(charges - i, dice.between(1, 4));
      for (std::int64_t k = 0; k < onVisit; ++k, ++i) days.push_back(day);
    }
    std::sort(days.begin(), days.end());
    for (const auto day : days) {
      Line line;
      line.caseIndex = static_cast<std::int32_t>(c);
      line.day = day;
      line.code = static_cast<std::int16_t>(dice.below(chargeCodes));
      line.type = codes[static_cast<std::size_t>(line.code)].type;
      line.amount = codes[static_cast<std::size_t>(line.code)]
                        .prices[static_cast<std::size_t>(one.priceColumn)];
      lines.push_back(line);
    }
    std::vector<Cents> remainder;
    for (std::size_t i = firstCharge; i < lines.size(); ++i) remainder.push_back(lines[i].amount);

    // Payments and adjustments follow the charges they pay, applied to one
    // charge or to two neighbouring ones.
    for (std::int64_t i = 0; i < payments + adjustments; ++i) {
      const bool adjustment = i >= payments;
      Line line;
      line.caseIndex = static_cast<std::int32_t>(c);
      if (adjustment) {
        line.type = 'T';
        line.code = adjustmentCodes[dice.below(adjustmentCodes.size())];
      } else if (!one.carrier1.empty() && dice.chance(0.65)) {
        line.type = 'I';
        line.whoPaid = !one.carrier2.empty() && dice.chance(0.3) ? '2' : '1';
        line.code = insuranceCodes[dice.below(insuranceCodes.size())];
      } else {
        line.whoPaid = 'G';
        line.code = dice.chance(0.6) ? checkCodes[dice.below(checkCodes.size())]
                                     : cashCodes[dice.below(cashCodes.size())];
        line.type = codes[static_cast<std::size_t>(line.code)].type;
      }
      const auto target = dice.below(remainder.size());
      std::vector<std::size_t> targets{target};
      if (target + 1 < remainder.size() && dice.chance(0.3)) targets.push_back(target + 1);
      const auto index = static_cast<std::int32_t>(lines.size());
      Cents applied = 0;
      std::int32_t latest = 0;
      for (const auto t : targets) {
        const std::size_t charge = firstCharge + t;
        latest = std::max(latest, lines[charge].day);
        Cents part = 0;
        if (adjustment)
          part = share(remainder[t], 0.1 + 0.3 * dice.unit());
        else if (line.whoPaid == 'G')
          part = dice.chance(0.5) ? remainder[t] : share(remainder[t], 0.2 + 0.3 * dice.unit());
        else
          part = share(remainder[t], 0.5 + 0.3 * dice.unit());
        if (part <= 0) continue;
        remainder[t] -= part;
        applied += part;
        const char who = adjustment ? ' ' : line.whoPaid;
        applications.push_back({index, static_cast<std::int32_t>(charge), -part, who});
        Line& paid = lines[charge];
        (who == '1'   ? paid.insurance1
         : who == '2' ? paid.insurance2
         : who == 'G' ? paid.guarantor
                      : paid.adjustment) -= part;
      }
      // Some money comes in before there is anything to pay, or more than was owed.
      const Cents extra = applied == 0        ? dice.between(5, 100) * 100
                          : dice.chance(0.08) ? dice.between(1, 50) * 100
                                              : 0;
      line.amount = -(applied + extra);
      line.unapplied = -extra;
      line.day = std::min<std::int32_t>(latest + static_cast<std::int32_t>(dice.between(7, 90)),
                                        dayOf(2026, 3, 31));
      lines.push_back(line);
    }
  }
  for (const auto& line : lines) {
    if (line.type <= 'H')
      ++made.charges;
    else if (line.type >= 'S')
      ++made.adjustments;
    else
      ++made.payments;
  }
  made.applications = static_cast<std::int64_t>(applications.size());

  // Lines are keyed in day by day, as a practice posts them, so one patient's
  // rows are spread over the whole table.
  std::vector<std::int32_t> order(lines.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](std::int32_t a, std::int32_t b) {
    return lines[static_cast<std::size_t>(a)].day < lines[static_cast<std::size_t>(b)].day;
  });

  // Patients' totals from the lines in posting order: the last payment is the
  // latest date, and of one date the last posted.
  struct Totals {
    Cents balance = 0;
    std::int32_t lastPaymentDay = -1, lastPatientPaymentDay = -1;
    Cents lastPayment = 0, lastPatientPayment = 0;
  };
  std::vector<Totals> totals(static_cast<std::size_t>(shape.patients) + 1);
  for (const auto index : order) {
    const Line& line = lines[static_cast<std::size_t>(index)];
    Totals& total =
        totals[static_cast<std::size_t>(cases[static_cast<std::size_t>(line.caseIndex)].patient)];
    total.balance += line.amount;
    if (isAnyPayment(line.type) && line.day >= total.lastPaymentDay) {
      total.lastPaymentDay = line.day;
      total.lastPayment = line.amount;
    }
    if (isPatientPayment(line.type) && line.day >= total.lastPatientPaymentDay) {
      total.lastPatientPaymentDay = line.day;
      total.lastPatientPayment = line.amount;
    }
  }

  // --- Patients and cases ---------------------------------------------
  {
    store::Table patients = practice.openTable("QVPAT");
    const store::FieldRef chart(patients.definition(), "Chart Number"),
        last(patients.definition(), "Last Name"), first(patients.definition(), "First Name"),
        birth(patients.definition(), "Date of Birth"), sex(patients.definition(), "Sex"),
        provider(patients.definition(), "Assigned Provider"),
        balance(patients.definition(), "Patient Reference Balance"),
        lastDate(patients.definition(), "Date of Last Payment"),
        lastAmount(patients.definition(), "Last Payment Amount"),
        lastPatientDate(patients.definition(), "Last Patient Payment Date"),
        lastPatientAmount(patients.definition(), "Last Patient Payment Amount");
    for (std::int64_t patient = 1; patient <= shape.patients; ++patient) {
      const Totals& total = totals[static_cast<std::size_t>(patient)];
      store::Record row = patients.newRecord();
      row.set(chart, chartNumberOf(patient));
      row.set(last, std::string(lastNames[dice.below(lastNames.size())]));
      row.set(first, std::string(firstNames[dice.below(firstNames.size())]));
      row.set(birth, dateOf(dayOf(1935, 1, 1) + static_cast<std::int32_t>(dice.below(365 * 85))));
      row.set(sex, std::string(dice.chance(0.5) ? "Female" : "Male"));
      row.set(provider, cases[firstCase[static_cast<std::size_t>(patient)]].provider);
      row.set(balance, toDouble(total.balance));
      if (total.lastPaymentDay >= 0) {
        row.set(lastDate, dateOf(total.lastPaymentDay));
        row.set(lastAmount, toDouble(total.lastPayment));
      }
      if (total.lastPatientPaymentDay >= 0) {
        row.set(lastPatientDate, dateOf(total.lastPatientPaymentDay));
        row.set(lastPatientAmount, toDouble(total.lastPatientPayment));
      }
      append(patients, batch, row);
    }
    batch.finish();

    store::Table caseTable = practice.openTable("QVCAS");
    const auto& definition = caseTable.definition();
    const store::FieldRef caseNumber(definition, "Case Number"),
        caseChart(definition, "Chart Number"), description(definition, "Description"),
        guarantor(definition, "Guarantor"), assigned(definition, "Assigned Provider"),
        priceCode(definition, "Price Code"), diagnosis(definition, "Diagnosis 1");
    for (auto& one : cases) {
      store::Record row = caseTable.newRecord();
      const std::string chartNumber = chartNumberOf(one.patient);
      row.set(caseChart, chartNumber);
      row.set(description, std::string(caseReasons[dice.below(caseReasons.size())]));
      row.set(guarantor, chartNumber);
      row.set(assigned, one.provider);
      row.set(priceCode, std::string(1, static_cast<char>('A' + one.priceColumn)));
      row.set(diagnosis, one.diagnosis);
      for (int policy = 1; policy <= 2; ++policy) {
        const std::string& carrier = policy == 1 ? one.carrier1 : one.carrier2;
        if (carrier.empty()) continue;
        const std::string n = " #" + std::to_string(policy);
        row.set("Insurance Carrier" + n, carrier);
        row.set("Insured" + n, chartNumber);
        row.set("Insured Relationship" + n, std::string("Self"));
        row.set("Accept Assignment" + n, true);
        row.set("Policy Number" + n, fmt::format("{}{:09}", carrier, one.patient * 7 + policy));
        for (char category = 'A'; category <= 'H'; ++category)
          row.set(std::string("Percent Covered ") + category + n, policy == 1 ? 80.0 : 100.0);
      }
      append(caseTable, batch, row);
      one.number = std::get<std::int64_t>(row.value(caseNumber));
    }
    batch.finish();
    made.patients = shape.patients;
    made.cases = static_cast<std::int64_t>(cases.size());
  }

  // --- Ledger rows, then the application rows -------------------------
  {
    store::Table ledger = practice.openTable("QVTRN");
    const auto& d = ledger.definition();
    const store::FieldRef chart(d, "Chart Number"), caseNumber(d, "Case Number"),
        entry(d, "Entry Number"), dateFrom(d, "Date From"), dateTo(d, "Date To"),
        document(d, "Document Number"), description(d, "Description"),
        provider(d, "Attending Provider"), procedure(d, "Procedure Code"),
        type(d, "Transaction Type"), category(d, "Insurance Category"),
        placeOfService(d, "Place of Service"), units(d, "Units"), amount(d, "Amount"),
        diagnosis1(d, "Diagnosis 1"), diagnosisCode1(d, "Diagnosis Code 1"),
        accept1(d, "Accept Assignment 1"), accept2(d, "Accept Assignment 2"),
        created(d, "Date Created"), guarantorResponsible(d, "Guarantor Responsible"),
        insurance1Responsible(d, "Insurance 1 Responsible"),
        insurance2Responsible(d, "Insurance 2 Responsible"),
        insurance3Responsible(d, "Insurance 3 Responsible"), insurance1Paid(d, "Insurance 1 Paid"),
        insurance2Paid(d, "Insurance 2 Paid"), insurance3Paid(d, "Insurance 3 Paid"),
        guarantorPaid(d, "Guarantor Paid"), attorneyPaid(d, "Attorney Paid"),
        attorneyResponsible(d, "Attorney Responsible"), guarantorAmount(d, "Guarantor Amount Paid"),
        insurance1Amount(d, "Insurance 1 Amount Paid"),
        insurance2Amount(d, "Insurance 2 Amount Paid"),
        insurance3Amount(d, "Insurance 3 Amount Paid"), attorneyAmount(d, "Attorney Amount Paid"),
        adjustmentAmount(d, "Adjustment Amount"), whoPaid(d, "Who Paid"),
        documentationType(d, "Documentation Type"), checkNumber(d, "Check Number"),
        unapplied(d, "Unapplied Amount"), claimNumber(d, "Claim Number");
    std::int64_t checks = 1000;
    for (const auto index : order) {
      Line& line = lines[static_cast<std::size_t>(index)];
      const CaseShape& one = cases[static_cast<std::size_t>(line.caseIndex)];
      const ProcedureCode& code = codes[static_cast<std::size_t>(line.code)];
      store::Record row = ledger.newRecord();
      row.set(chart, chartNumberOf(one.patient));
      row.set(caseNumber, one.number);
      row.set(dateFrom, dateOf(line.day));
      row.set(dateTo, dateOf(line.day));
      row.set(created, dateOf(line.day));
      row.set(document, documentOf(line.day));
      row.set(description, code.description.substr(0, 30));
      row.set(provider, one.provider);
      row.set(procedure, code.code);
      row.set(type, std::string(1, line.type));
      row.set(units, 1.0);
      row.set(amount, toDouble(line.amount));
      row.set(documentationType, std::string("T"));
      if (line.type <= 'H') {
        const bool insured1 = !one.carrier1.empty(), insured2 = !one.carrier2.empty();
        row.set(category, std::string(1, code.category));
        row.set(placeOfService, std::string("11"));
        row.set(diagnosis1, true);
        row.set(diagnosisCode1, one.diagnosis);
        row.set(claimNumber, std::int64_t{0});
        row.set(accept1, insured1);
        row.set(accept2, insured2);
        // Every payer on the case is responsible; one that is not counts as paid.
        row.set(guarantorResponsible, true);
        row.set(insurance1Responsible, insured1);
        row.set(insurance2Responsible, insured2);
        row.set(insurance3Responsible, false);
        row.set(attorneyResponsible, false);
        row.set(insurance1Paid, !insured1);
        row.set(insurance2Paid, !insured2);
        row.set(insurance3Paid, true);
        row.set(attorneyPaid, true);
        row.set(guarantorPaid, false);
        row.set(insurance1Amount, toDouble(line.insurance1));
        row.set(insurance2Amount, toDouble(line.insurance2));
        row.set(insurance3Amount, 0.0);
        row.set(attorneyAmount, 0.0);
        row.set(guarantorAmount, toDouble(line.guarantor));
        row.set(adjustmentAmount, toDouble(line.adjustment));
      } else {
        if (line.whoPaid != ' ') row.set(whoPaid, std::string(1, line.whoPaid));
        if (line.type == 'K') row.set(checkNumber, fmt::format("{}", ++checks));
        row.set(unapplied, Money::fromCents(line.unapplied));
      }
      append(ledger, batch, row);
      line.entryNumber = std::get<std::int64_t>(row.value(entry));
    }
    batch.finish();

    store::Table pax = practice.openTable("QVPAX");
    const auto& p = pax.definition();
    const store::FieldRef paymentReference(p, "Payment Reference"),
        chargeReference(p, "Charge Reference"), paymentAmount(p, "Payment Amount"),
        paxWhoPaid(p, "Who Paid"), depositId(p, "Deposit ID");
    for (const auto& application : applications) {
      store::Record row = pax.newRecord();
      row.set(paymentReference, lines[static_cast<std::size_t>(application.payment)].entryNumber);
      row.set(chargeReference, lines[static_cast<std::size_t>(application.charge)].entryNumber);
      row.set(paymentAmount, toDouble(application.amount));
      if (application.whoPaid != ' ') row.set(paxWhoPaid, std::string(1, application.whoPaid));
      row.set(depositId, std::int64_t{0});
      append(pax, batch, row);
    }
    batch.finish();
  }
  return made;
}

PracticeBenchArguments parsePracticeBenchArguments(int argc, char** argv,
                                                   const PracticeShape& shape) {
  PracticeBenchArguments arguments;
  arguments.shape = shape;
  if (const char* server = std::getenv("VANTRELL_TEST_SERVER")) arguments.server = server;
  for (int i = 1; i < argc; ++i) {
    const std::string flag = argv[i];
    const auto next = [&]() -> std::string {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "%s needs a value\n", flag.c_str());
        std::exit(2);
      }
      return argv[++i];
    };
    if (flag == "--patients")
      arguments.shape.patients = std::atoi(next().c_str());
    else if (flag == "--lines")
      arguments.shape.lines = std::atoll(next().c_str());
    else if (flag == "--seed")
      arguments.shape.seed = std::strtoull(next().c_str(), nullptr, 10);
    else if (flag == "--server")
      arguments.server = next();
    else if (flag == "--keep")
      arguments.keep = true;
    else if (flag == "--engine") {
      const std::string engine = next();
      if (engine == "sqlite")
        arguments.engine = store::Engine::Embedded;
      else if (engine == "server")
        arguments.engine = store::Engine::Server;
      else {
        std::fprintf(stderr, "--engine is sqlite or server\n");
        std::exit(2);
      }
    } else {
      std::fprintf(stderr, "unknown argument %s\n", flag.c_str());
      std::exit(2);
    }
  }
  if (arguments.shape.patients < 1 || arguments.shape.lines < 1) {
    std::fprintf(stderr, "--patients and --lines must be positive\n");
    std::exit(2);
  }
  if (arguments.engine == store::Engine::Server && arguments.server.empty()) {
    std::fprintf(stderr, "--engine server needs --server or VANTRELL_TEST_SERVER\n");
    std::exit(2);
  }
  return arguments;
}

store::DataLocation benchPracticeLocation(const PracticeBenchArguments& arguments,
                                          const std::string& benchName) {
  store::DataLocation location;
  location.engine = arguments.engine;
  if (arguments.engine == store::Engine::Embedded) {
    const std::filesystem::path directory = std::filesystem::temp_directory_path() /
                                            fmt::format("vantrell-{}-{}", benchName, ::getpid());
    std::filesystem::create_directories(directory);
    location.path = directory.string();
  } else {
    ::setenv("VANTRELL_SERVER", arguments.server.c_str(), 1);
    location.path = fmt::format("{}_{}", benchName, ::getpid());
  }
  return location;
}

void removeBenchPractice(const PracticeBenchArguments& arguments,
                         const store::DataLocation& location, const ui::Clock& clock) {
  if (arguments.keep) {
    fmt::print("practice kept at {}\n", location.path);
  } else if (arguments.engine == store::Engine::Embedded) {
    std::filesystem::remove_all(location.path);
  } else {
    auto cleanup = store::Connection::open(location, {"bench", &clock, false});
    cleanup->driver().executeScript("DROP SCHEMA IF EXISTS \"" + location.path + "\" CASCADE");
  }
}

}  // namespace vantrell::bench
