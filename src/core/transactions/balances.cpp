#include "transactions/balances.hpp"

#include <array>

#include <fmt/format.h>

#include "store/group_totals.hpp"
#include "store/names.hpp"
#include "store/table.hpp"

namespace vantrell::transactions {
namespace {

constexpr std::array<const char*, 6> bucketFields = {
    "Insurance 1 Amount Paid", "Insurance 2 Amount Paid", "Insurance 3 Amount Paid",
    "Attorney Amount Paid",    "Guarantor Amount Paid",   "Adjustment Amount"};

constexpr const char* patientPaymentTypes =
    "((\"Transaction Type\" >= 'J' AND \"Transaction Type\" <= 'O') OR \"Transaction Type\" IN "
    "('Q', 'R'))";
constexpr const char* allPaymentTypes =
    "((\"Transaction Type\" >= 'I' AND \"Transaction Type\" <= 'O') OR \"Transaction Type\" IN "
    "('Q', 'R'))";

}  // namespace

Money moneyOf(const store::Value& value) {
  if (const auto* number = std::get_if<double>(&value)) return Money::fromDouble(*number);
  if (const auto* whole = std::get_if<std::int64_t>(&value))
    return Money::fromDouble(static_cast<double>(*whole));
  if (const auto* money = std::get_if<Money>(&value)) return *money;
  if (const auto* text = std::get_if<std::string>(&value))
    return Money::parse(*text).value_or(Money{});
  return Money{};
}

bool isPaymentClass(char type) {
  return type >= 'I' && type <= 'R';
}
bool isAdjustmentClass(char type) {
  return type >= 'S' && type <= 'Y';
}

const char* bucketOf(char entryType, const std::string& whoPaid) {
  if (isAdjustmentClass(entryType)) return "Adjustment Amount";
  if (!isPaymentClass(entryType) || entryType == 'P') return nullptr;
  const std::string who(store::trimRight(whoPaid));
  if (who == "1") return bucketFields[0];
  if (who == "2") return bucketFields[1];
  if (who == "3") return bucketFields[2];
  if (who == "A") return bucketFields[3];
  if (who == "G") return bucketFields[4];
  return nullptr;
}

std::optional<std::size_t> bucketIndexOfApplication(const std::string& whoPaid) {
  const std::string who(store::trimRight(whoPaid));
  if (who.empty()) return 5;
  if (who == "1") return 0;
  if (who == "2") return 1;
  if (who == "3") return 2;
  if (who == "A") return 3;
  if (who == "G") return 4;
  return std::nullopt;
}

const char* bucketOfApplication(const std::string& whoPaid) {
  const auto index = bucketIndexOfApplication(whoPaid);
  return index ? bucketFields[*index] : nullptr;
}

bool recalculateChargePaid(store::Connection& practice, store::Record& charge) {
  std::array<Money, 6> totals{};
  auto rows = practice.driver().query(
      "SELECT \"Who Paid\", SUM(\"Payment Amount\") FROM \"QVPAX\" WHERE COALESCE(\"Charge "
      "Reference\", 0) = ? "
      "GROUP BY \"Who Paid\"",
      {store::Value{charge.integer("Entry Number")}});
  while (rows->next()) {
    if (const auto bucket = bucketIndexOfApplication(
            store::valueToText(rows->column(0, store::FieldType::Character))))
      totals[*bucket] += moneyOf(rows->column(1));
  }
  bool changed = false;
  for (std::size_t i = 0; i < bucketFields.size(); ++i) {
    if (charge.money(bucketFields[i]) == totals[i]) continue;
    charge.set(bucketFields[i], totals[i]);
    changed = true;
  }
  if (changed) {
    store::Table ledger = practice.openTable(charge.table().name());
    ledger.post(charge);
  }
  return changed;
}

bool recalculateUnapplied(store::Connection& practice, store::Record& payment) {
  const std::string type = payment.text("Transaction Type");
  if (type.empty()) return false;
  Money unapplied;
  if (type != "P") {
    auto rows = practice.driver().query(
        "SELECT SUM(\"Payment Amount\") FROM \"QVPAX\" WHERE COALESCE(\"Payment Reference\", 0) = "
        "?",
        {store::Value{payment.integer("Entry Number")}});
    const Money applied = rows->next() ? moneyOf(rows->column(0)) : Money{};
    unapplied = payment.money("Amount") - applied;
  }
  if (payment.money("Unapplied Amount") == unapplied) return false;
  payment.set("Unapplied Amount", unapplied);
  store::Table ledger = practice.openTable(payment.table().name());
  ledger.post(payment);
  return true;
}

Money accountBalanceOf(store::Connection& practice, const std::string& chartNumber) {
  // Summed in fixed point, a row at a time: the engine's double sum can miss a cent.
  Money balance;
  auto rows = practice.driver().query(
      "SELECT \"Amount\" FROM \"QVTRN\" WHERE \"Chart Number\" = ? AND \"Transaction Type\" <> ''",
      {store::Value{store::upperAscii(chartNumber)}});
  while (rows->next()) balance += moneyOf(rows->column(0));
  return balance;
}

std::map<std::string, Money> accountBalances(store::Connection& practice) {
  std::map<std::string, Money> balances;
  for (auto& totals : store::groupTotals(practice, "QVTRN", {"Chart Number"}, {"Amount"},
                                         "Transaction Type <> ''"))
    balances.emplace_hint(balances.end(), store::valueToText(totals.group[0]), totals.totals[0]);
  return balances;
}

void setLastPayments(store::Connection& practice, store::Record& patient) {
  // The last patient payment and the last payment of any payer in one round
  // trip: on the server each query waits for the network.
  const auto lastOf = [](int kind, const char* types) {
    return fmt::format(
        "SELECT * FROM (SELECT {} AS \"Kind\", \"Date From\", \"Amount\" FROM \"QVTRN\" "
        "WHERE \"Chart Number\" = ? AND {} ORDER BY \"Date From\" DESC, \"Entry Number\" DESC "
        "LIMIT 1) last{}",
        kind, types, kind);
  };
  const store::Value chart{patient.text("Chart Number")};
  auto rows = practice.driver().query(
      lastOf(0, patientPaymentTypes) + " UNION ALL " + lastOf(1, allPaymentTypes), {chart, chart});
  while (rows->next()) {
    const store::Value kind = rows->column(0, store::FieldType::Integer);
    const bool patientPayment = kind == store::Value{std::int64_t{0}};
    const auto date = rows->column(1, store::FieldType::Date);
    patient.set(patientPayment ? "Last Patient Payment Date" : "Date of Last Payment",
                std::holds_alternative<Date>(date) ? std::get<Date>(date) : Date{});
    patient.set(patientPayment ? "Last Patient Payment Amount" : "Last Payment Amount",
                moneyOf(rows->column(2)));
  }
}

bool updatePatientTotals(store::Connection& practice, store::Record& patient) {
  patient.clearModifications();
  const Money balance = accountBalanceOf(practice, patient.text("Chart Number"));
  const auto before = patient;
  if (patient.money("Patient Reference Balance") != balance)
    patient.set("Patient Reference Balance", balance);
  setLastPayments(practice, patient);
  bool changed = false;
  for (const char* field :
       {"Patient Reference Balance", "Date of Last Payment", "Last Payment Amount",
        "Last Patient Payment Date", "Last Patient Payment Amount"}) {
    const auto index = *patient.table().fieldIndex(field);
    if (!(patient.value(index) == before.value(index))) changed = true;
  }
  if (!changed) {
    patient.clearModifications();
    return false;
  }
  store::Table patients = practice.openTable("QVPAT");
  patients.post(patient, patient.isInEdit());
  return true;
}

Estimates shownEstimates(store::Connection& practice, bool forceDocumentNumber,
                         const store::Record& caseRecord, const char* ledgerTable,
                         const std::string& typedDocument, Date today) {
  if (!forceDocumentNumber)
    return estimatesOf(practice, caseRecord, ledgerTable, std::nullopt, today);
  if (typedDocument.empty()) return {};
  return estimatesOf(practice, caseRecord, ledgerTable, typedDocument, today);
}

Estimates estimatesOf(store::Connection& practice, const store::Record& caseRecord,
                      const char* ledgerTable, const std::optional<std::string>& document,
                      Date today) {
  Estimates estimates;
  store::Table ledger = practice.openTable(ledgerTable);
  ledger.setOrder("idxChartCaseDoc");
  std::vector<store::Value> key = {store::Value{caseRecord.text("Chart Number")},
                                   store::Value{caseRecord.integer("Case Number")}};
  if (document) key.emplace_back(*document);
  ledger.setRange(key, key);
  const bool cash = caseRecord.logical("Cash Case");
  std::vector<std::int64_t> deductibleLines;
  ledger.forEach([&](const store::Record& row) {
    const std::string typeText = row.text("Transaction Type");
    const char type = typeText.empty() ? '\0' : typeText[0];
    const Money amount = row.money("Amount");
    if (type >= 'A' && type <= 'H') {
      estimates.charges += amount;
      const Money allowed = row.money("Allowed Amount");
      const Money base = allowed != Money{} ? allowed : amount;
      estimates.estimatedAdjustment += row.money("Adjustment Amount") + (amount - base);
      Money left = base;
      const std::string categoryText = row.text("Insurance Category");
      const char category = categoryText.empty() ? 'A' : categoryText[0];
      for (int policy = 1; policy <= 3; ++policy) {
        if (!row.logical(fmt::format("Insurance {} Responsible", policy)) || cash) continue;
        if (policy > 1 && left <= Money{}) continue;
        const Money paid = row.money(fmt::format("Insurance {} Amount Paid", policy));
        if (row.logical(fmt::format("Insurance {} Paid", policy))) {
          left += paid;
          continue;
        }
        const double percent =
            caseRecord.number(fmt::format("Percent Covered {} #{}", category, policy)) / 100.0;
        // The primary's share is of the base, a later policy's of what is left.
        const Money of = policy == 1 ? base : left;
        const Money share = Money::fromDouble(of.toDouble() * percent) + paid;
        estimates.insuranceDue[policy - 1] -= share;
        left = left - share + paid;
      }
      if (row.logical("Guarantor Responsible"))
        estimates.guarantorDue += left + row.money("Guarantor Amount Paid");
    } else if (isAdjustmentClass(type)) {
      estimates.adjustments += amount;
    } else if (isPaymentClass(type)) {
      estimates.payments += amount;
      if (type == 'P') deductibleLines.push_back(row.integer("Entry Number"));
    }
  });
  if (caseRecord.logical("Deductible Met")) {
    estimates.deductiblePaid = caseRecord.money("Annual Deductible");
  } else {
    const auto year = static_cast<int>(today.value().year());
    for (const auto line : deductibleLines) {
      auto rows = practice.driver().query(
          std::string("SELECT p.\"Payment Amount\", t.\"Date From\" FROM \"QVPAX\" p JOIN \"") +
              ledgerTable +
              "\" t ON t.\"Entry Number\" = p.\"Charge Reference\" WHERE p.\"Payment Reference\" = "
              "?",
          {store::Value{line}});
      while (rows->next()) {
        const auto date = rows->column(1, store::FieldType::Date);
        if (std::holds_alternative<Date>(date) && !std::get<Date>(date).isEmpty() &&
            static_cast<int>(std::get<Date>(date).value().year()) == year)
          estimates.deductiblePaid += moneyOf(rows->column(0, store::FieldType::Double));
      }
    }
  }
  return estimates;
}

}  // namespace vantrell::transactions
