#include "transactions/recalculation.hpp"

#include <array>
#include <map>

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

// The application sums of a page of entries, read with one query per side.
struct PageSums {
  std::map<std::int64_t, std::array<Money, 6>> charged;  // by charge, per bucket
  std::map<std::int64_t, Money> applied;                 // by payment
};

PageSums sumsBetween(store::Connection& practice, std::int64_t first, std::int64_t last) {
  PageSums sums;
  auto charges = practice.driver().query(
      "SELECT \"Charge Reference\", \"Who Paid\", SUM(\"Payment Amount\") FROM \"QVPAX\" "
      "WHERE COALESCE(\"Charge Reference\", 0) BETWEEN ? AND ? GROUP BY \"Charge Reference\", "
      "\"Who Paid\"",
      {store::Value{first}, store::Value{last}});
  while (charges->next()) {
    const auto entry = std::get<std::int64_t>(charges->column(0, store::FieldType::Integer));
    if (const auto bucket = bucketIndexOfApplication(
            store::valueToText(charges->column(1, store::FieldType::Character))))
      sums.charged[entry][*bucket] += moneyOf(charges->column(2));
  }
  auto payments = practice.driver().query(
      "SELECT \"Payment Reference\", SUM(\"Payment Amount\") FROM \"QVPAX\" "
      "WHERE COALESCE(\"Payment Reference\", 0) BETWEEN ? AND ? GROUP BY \"Payment Reference\"",
      {store::Value{first}, store::Value{last}});
  while (payments->next())
    sums.applied[std::get<std::int64_t>(payments->column(0, store::FieldType::Integer))] +=
        moneyOf(payments->column(1));
  return sums;
}

// Brings one ledger row's totals in line with its applications; true when it changed.
bool correctEntry(store::Record& row, const PageSums& sums, RecalculationReport& report) {
  const std::string typeText = row.text("Transaction Type");
  if (typeText.empty()) return false;
  const char type = typeText[0];
  const auto entry = row.integer("Entry Number");
  bool changed = false;
  if (type >= 'A' && type <= 'H') {
    ++report.chargesRead;
    const auto found = sums.charged.find(entry);
    for (std::size_t i = 0; i < bucketFields.size(); ++i)
      changed = setIfDifferent(row, bucketFields[i],
                               found != sums.charged.end() ? found->second[i] : Money{}) ||
                changed;
    if (changed) ++report.chargesChanged;
  } else if (type >= 'I' && type <= 'Y') {
    ++report.paymentsRead;
    Money unapplied;
    if (type != 'P') {
      const auto found = sums.applied.find(entry);
      unapplied = row.money("Amount") - (found != sums.applied.end() ? found->second : Money{});
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

  // The ledger in one ordered pass; each page's application sums in two
  // queries, and only the rows whose totals were wrong written back.
  store::PageCursor cursor;
  for (auto page = ledger.nextPage(cursor, pageSize); !page.empty();
       page = ledger.nextPage(cursor, pageSize)) {
    std::int64_t first = page.front().integer("Entry Number");
    std::int64_t last = first;
    for (const auto& row : page) {
      first = std::min(first, row.integer("Entry Number"));
      last = std::max(last, row.integer("Entry Number"));
    }
    const PageSums sums = sumsBetween(practice, first, last);
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

  // Then each patient's balance and last payments, a page of patients at a
  // time: one sum and one ordered walk of the payments for the page's charts.
  store::PageCursor patientCursor;
  for (auto page = patients.nextPage(patientCursor, pageSize / 4); !page.empty();
       page = patients.nextPage(patientCursor, pageSize / 4)) {
    const std::string first = page.front().text("Chart Number");
    const std::string last = page.back().text("Chart Number");
    const std::vector<store::Value> range = {store::Value{store::upperAscii(first)},
                                             store::Value{store::upperAscii(last)}};
    std::map<std::string, Money> balances;
    auto sums = practice.driver().query(
        "SELECT \"Chart Number\", SUM(\"Amount\") FROM \"QVTRN\" WHERE \"Chart Number\" BETWEEN ? "
        "AND ? AND "
        "\"Transaction Type\" <> '' GROUP BY \"Chart Number\"",
        range);
    while (sums->next())
      balances[store::valueToText(sums->column(0, store::FieldType::Character))] =
          moneyOf(sums->column(1));
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
    store::Transaction transaction(practice);
    for (auto& patient : page) {
      ++report.patientsRead;
      const std::string chart = patient.text("Chart Number");
      bool changed = setIfDifferent(patient, "Patient Reference Balance", balances[chart]);
      const auto& [own, any] = lastPayments[chart];
      const auto setLast = [&](const LastPayment& payment, const char* dateField,
                               const char* amountField) {
        if (!payment.found) return;
        if (patient.date(dateField) != payment.date) {
          patient.set(dateField, payment.date);
          changed = true;
        }
        changed = setIfDifferent(patient, amountField, payment.amount) || changed;
      };
      setLast(own, "Last Patient Payment Date", "Last Patient Payment Amount");
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
