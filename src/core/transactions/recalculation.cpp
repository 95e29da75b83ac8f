#include "transactions/recalculation.hpp"

#include <algorithm>
#include <array>
#include <map>
#include <optional>

#include <fmt/format.h>

#include "store/group_totals.hpp"
#include "store/names.hpp"
#include "store/table.hpp"
#include "transactions/balances.hpp"

namespace vantrell::transactions {
namespace {

constexpr std::size_t pageSize = 2000;

constexpr std::array<const char*, 6> bucketFields = {
    "Insurance 1 Amount Paid", "Insurance 2 Amount Paid", "Insurance 3 Amount Paid",
    "Attorney Amount Paid",    "Guarantor Amount Paid",   "Adjustment Amount"};

// An empty total reads as 0 and is right when 0 is.
bool setIfDifferent(store::Record& row, const char* field, Money value) {
  if (row.money(field) == value) return false;
  row.set(field, value);
  return true;
}

// The application sums of the entries: per charge and bucket, and per payment.
// Kept sorted by entry number, as the engine hands them out.
struct ApplicationSums {
  std::vector<std::pair<std::int64_t, std::array<Money, 6>>> charged;
  std::vector<std::pair<std::int64_t, Money>> applied;

  const std::array<Money, 6>* chargedOf(std::int64_t entry) const { return find(charged, entry); }
  const Money* appliedOf(std::int64_t entry) const { return find(applied, entry); }

 private:
  template <typename Pairs>
  static const typename Pairs::value_type::second_type* find(const Pairs& pairs,
                                                             std::int64_t entry) {
    const auto found =
        std::lower_bound(pairs.begin(), pairs.end(), entry,
                         [](const auto& pair, std::int64_t key) { return pair.first < key; });
    return found != pairs.end() && found->first == entry ? &found->second : nullptr;
  }
};

std::int64_t entryOf(const store::Value& value) {
  const auto* number = std::get_if<std::int64_t>(&value);
  return number != nullptr ? *number : 0;
}

// One grouped read per side, over every application or over those of an entry
// range (one chart's entries).
ApplicationSums applicationSums(store::Connection& practice,
                                std::optional<std::pair<std::int64_t, std::int64_t>> entries) {
  const auto within = [&](const char* field) {
    if (!entries) return std::string();
    return fmt::format("{0} >= {1} AND {0} <= {2}", field, entries->first, entries->second);
  };
  ApplicationSums sums;
  for (auto& row : store::groupTotals(practice, "QVPAX", {"Charge Reference", "Who Paid"},
                                      {"Payment Amount"}, within("Charge Reference"))) {
    const auto bucket = bucketIndexOfApplication(store::valueToText(row.group[1]));
    if (!bucket) continue;
    const std::int64_t entry = entryOf(row.group[0]);
    if (sums.charged.empty() || sums.charged.back().first != entry)
      sums.charged.push_back({entry, {}});
    sums.charged.back().second[*bucket] += row.totals[0];
  }
  for (auto& row : store::groupTotals(practice, "QVPAX", {"Payment Reference"}, {"Payment Amount"},
                                      within("Payment Reference")))
    sums.applied.emplace_back(entryOf(row.group[0]), row.totals[0]);
  // Either engine orders whole numbers alike; sorted again only to be safe
  // against a collation surprise, which costs nothing when already in order.
  const auto byEntry = [](const auto& a, const auto& b) { return a.first < b.first; };
  if (!std::is_sorted(sums.charged.begin(), sums.charged.end(), byEntry))
    std::sort(sums.charged.begin(), sums.charged.end(), byEntry);
  if (!std::is_sorted(sums.applied.begin(), sums.applied.end(), byEntry))
    std::sort(sums.applied.begin(), sums.applied.end(), byEntry);
  return sums;
}

// Brings one ledger row's totals in line with its applications; true when it changed.
bool correctEntry(store::Record& row, const ApplicationSums& sums, RecalculationReport& report) {
  const std::string typeText = row.text("Transaction Type");
  if (typeText.empty()) return false;
  const char type = typeText[0];
  const auto entry = row.integer("Entry Number");
  bool changed = false;
  if (type >= 'A' && type <= 'H') {
    ++report.chargesRead;
    const auto* found = sums.chargedOf(entry);
    for (std::size_t i = 0; i < bucketFields.size(); ++i)
      changed =
          setIfDifferent(row, bucketFields[i], found != nullptr ? (*found)[i] : Money{}) || changed;
    if (changed) ++report.chargesChanged;
  } else if (type >= 'I' && type <= 'Y') {
    ++report.paymentsRead;
    Money unapplied;
    if (type != 'P') {
      const auto* found = sums.appliedOf(entry);
      unapplied = row.money("Amount") - (found != nullptr ? *found : Money{});
    }
    changed = setIfDifferent(row, "Unapplied Amount", unapplied);
    if (changed) ++report.paymentsChanged;
  }
  return changed;
}

}  // namespace

RecalculationReport recalculatePractice(store::Connection& practice,
                                        const std::optional<std::string>& chartNumber,
                                        ui::Progress& progress) {
  RecalculationReport report;
  store::Table ledger = practice.openTable("QVTRN");
  store::Table patients = practice.openTable("QVPAT");
  patients.setOrder("Primary");
  // Only the fields the totals come from and go to: a ledger row has dozens more.
  std::vector<std::string> ledgerFields = {"Entry Number", "Transaction Type", "Amount",
                                           "Unapplied Amount"};
  ledgerFields.insert(ledgerFields.end(), bucketFields.begin(), bucketFields.end());
  ledger.setFields(ledgerFields);
  patients.setFields({"Chart Number", "Patient Reference Balance", "Last Patient Payment Date",
                      "Last Patient Payment Amount", "Date of Last Payment",
                      "Last Payment Amount"});
  if (chartNumber) {
    // One chart: its entries in entry order.
    ledger.setOrder("idxChartNumber");
    const std::string chart = store::upperAscii(*chartNumber);
    ledger.setRange({store::Value{chart}}, {store::Value{chart}});
    patients.setRange({store::Value{chart}}, {store::Value{chart}});
  } else {
    ledger.setOrder("Idxentrynumber");
  }
  progress.begin("Recalculating balances", ledger.count() + patients.count());
  std::int64_t done = 0;

  // The ledger in one ordered pass against the application sums of the whole
  // practice, read once; a single chart's sums are read per page of its
  // entries. Only the rows whose totals were wrong are written back.
  std::optional<ApplicationSums> practiceSums;
  if (!chartNumber) practiceSums = applicationSums(practice, std::nullopt);
  store::PageCursor cursor;
  for (auto page = ledger.nextPage(cursor, pageSize); !page.empty();
       page = ledger.nextPage(cursor, pageSize)) {
    std::optional<ApplicationSums> chartSums;
    if (!practiceSums) {
      std::int64_t first = page.front().integer("Entry Number");
      std::int64_t last = first;
      for (const auto& row : page) {
        first = std::min(first, row.integer("Entry Number"));
        last = std::max(last, row.integer("Entry Number"));
      }
      chartSums = applicationSums(practice, std::make_pair(first, last));
    }
    const ApplicationSums& sums = practiceSums ? *practiceSums : *chartSums;
    store::Transaction transaction(practice);
    for (auto& row : page) {
      if (correctEntry(row, sums, report)) ledger.post(row);
    }
    transaction.commit();
    done += static_cast<std::int64_t>(page.size());
    if (!progress.advance(done)) {
      report.aborted = true;
      progress.end();
      return report;
    }
  }

  // Then each patient's balance, from one grouped read of the ledger (or the
  // one chart's sum), and last payments, a page of patients at a time from one
  // ordered walk of the payments of the page's charts.
  std::map<std::string, Money> balances;
  if (chartNumber)
    balances[store::upperAscii(*chartNumber)] = accountBalanceOf(practice, *chartNumber);
  else
    balances = accountBalances(practice);
  const bool hasDeposits = practice.tableExists("QVDEP");
  store::PageCursor patientCursor;
  for (auto page = patients.nextPage(patientCursor, pageSize / 4); !page.empty();
       page = patients.nextPage(patientCursor, pageSize / 4)) {
    const std::string first = page.front().text("Chart Number");
    const std::string last = page.back().text("Chart Number");
    const std::vector<store::Value> range = {store::Value{store::upperAscii(first)},
                                             store::Value{store::upperAscii(last)}};
    struct LastPayment {
      Date date;
      Money amount;
      bool found = false;
    };
    std::map<std::string, std::pair<LastPayment, LastPayment>>
        lastPayments;  // patient's own, any payer
    auto payments = practice.driver().query(
        "SELECT \"Chart Number\", \"Date From\", \"Amount\", \"Transaction Type\" FROM \"QVTRN\" "
        "WHERE "
        "\"Chart Number\" BETWEEN ? AND ? AND ((\"Transaction Type\" >= 'I' AND \"Transaction "
        "Type\" <= 'O') OR "
        "\"Transaction Type\" IN ('Q', 'R')) ORDER BY \"Chart Number\", \"Date From\", \"Entry "
        "Number\"",
        range);
    while (payments->next()) {
      auto& [own, any] =
          lastPayments[store::valueToText(payments->column(0, store::FieldType::Character))];
      const auto date = payments->column(1, store::FieldType::Date);
      const LastPayment seen{std::holds_alternative<Date>(date) ? std::get<Date>(date) : Date{},
                             moneyOf(payments->column(2)), true};
      any = seen;
      if (store::valueToText(payments->column(3, store::FieldType::Character)) != "I") own = seen;
    }
    // Saving a patient's deposit makes it his last payment before any of it is
    // applied; that stands until a later ledger payment of his own.
    std::map<std::string, std::vector<LastPayment>> depositsOf;
    if (hasDeposits) {
      auto deposits = practice.driver().query(
          "SELECT UPPER(\"Chart Number\"), \"Deposit Date\", \"Payment Amount\" FROM \"QVDEP\" "
          "WHERE UPPER(\"Chart Number\") BETWEEN ? AND ?",
          range);
      while (deposits->next()) {
        const auto date = deposits->column(1, store::FieldType::Date);
        depositsOf[store::valueToText(deposits->column(0, store::FieldType::Character))].push_back(
            {std::holds_alternative<Date>(date) ? std::get<Date>(date) : Date{},
             moneyOf(deposits->column(2)), true});
      }
    }
    store::Transaction transaction(practice);
    for (auto& patient : page) {
      ++report.patientsRead;
      const std::string chart = patient.text("Chart Number");
      bool changed = setIfDifferent(patient, "Patient Reference Balance", balances[chart]);
      const auto& [own, any] = lastPayments[chart];
      const Date ownDate = patient.date("Last Patient Payment Date");
      const Money ownAmount = patient.money("Last Patient Payment Amount");
      const auto& deposits = depositsOf[chart];
      const bool ownIsADeposit =
          own.found && std::any_of(deposits.begin(), deposits.end(), [&](const LastPayment& d) {
            return d.date == ownDate && d.amount == ownAmount && d.date >= own.date;
          });
      const auto setLast = [&](const LastPayment& payment, const char* dateField,
                               const char* amountField) {
        if (!payment.found) return;
        if (patient.date(dateField) != payment.date) {
          patient.set(dateField, payment.date);
          changed = true;
        }
        changed = setIfDifferent(patient, amountField, payment.amount) || changed;
      };
      if (!ownIsADeposit) setLast(own, "Last Patient Payment Date", "Last Patient Payment Amount");
      setLast(any, "Date of Last Payment", "Last Payment Amount");
      if (!changed) continue;
      patients.post(patient);
      ++report.patientsChanged;
    }
    transaction.commit();
    done += static_cast<std::int64_t>(page.size());
    if (!progress.advance(done)) {
      report.aborted = true;
      break;
    }
  }
  progress.end();
  return report;
}

}  // namespace vantrell::transactions
