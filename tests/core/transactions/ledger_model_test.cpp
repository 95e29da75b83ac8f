// Random edits and saves of the transaction window, checked after every save
// against a small model of the ledger written here from the posting rules:
// buckets are the sums of their applications by payer, a payment's unapplied
// amount is what its applications leave, a deductible fills no bucket, the
// complete marks and responsibility give the paid flags, and the estimates
// follow from the percentages of the case. Saves of the payment application
// window, posting a carrier's deposit against one of the case's charges, come
// between them.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "deposits/payment_application.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"
#include "support/money_printing.hpp"
#include "support/practice_rows.hpp"
#include "support/store_fixture.hpp"
#include "transactions/recalculation.hpp"
#include "transactions/transaction_entry.hpp"

namespace vantrell::transactions {
namespace {

using vantrell::testing::EngineTest;

// Says Yes to every question and keeps only the last error.
class AgreeingPrompter final : public ui::Prompter {
 public:
  int choose(const std::string&, const std::string&, const std::vector<std::string>&) override {
    return 0;
  }
  std::optional<std::string> askText(const std::string&, const std::string&) override {
    return std::nullopt;
  }
  std::string lastError;

 protected:
  void say(Severity severity, const std::string&, const std::string& text) override {
    if (severity == Severity::Error) lastError = text;
  }
  bool ask(Question, const std::string&, const std::string&) override { return true; }
};

// Payers as the model names them: the three policies, attorney, guarantor.
enum Payer { Policy1, Policy2, Policy3, Attorney, Guarantor, NoPayer };

Payer payerOf(const std::string& whoPaid) {
  if (whoPaid == "1") return Policy1;
  if (whoPaid == "2") return Policy2;
  if (whoPaid == "3") return Policy3;
  if (whoPaid == "A") return Attorney;
  if (whoPaid == "G") return Guarantor;
  return NoPayer;
}

// Each line carries a tag in its Description so the model finds it in the window and the ledger.
struct ModelCharge {
  std::string tag;
  Money amount;
  std::int64_t entry = 0;  // 0 until saved
  bool paid[5] = {};       // policies 1 to 3, attorney, guarantor
  bool changed = true;     // written at the next save
};

struct ModelPayment {
  std::string tag;
  char type = 'K';
  std::string whoPaid;
  Money amount;
  std::int64_t entry = 0;
  bool changed = true;
};

struct ModelApplication {
  std::string payment, charge;
  Money amount;
};

struct Model {
  bool carrier[3] = {};
  int percent[3] = {};
  std::vector<ModelCharge> charges;
  std::vector<ModelPayment> payments;
  std::vector<ModelApplication> applications;
  bool storedLineDeleted = false;

  // Whether the save has anything to write: a new or changed line, or a stored one deleted.
  bool dirty() const {
    for (const auto& line : charges)
      if (line.changed || line.entry == 0) return true;
    for (const auto& line : payments)
      if (line.changed || line.entry == 0) return true;
    return storedLineDeleted;
  }

  ModelPayment* payment(const std::string& tag) {
    for (auto& line : payments)
      if (line.tag == tag) return &line;
    return nullptr;
  }
  ModelCharge* charge(const std::string& tag) {
    for (auto& line : charges)
      if (line.tag == tag) return &line;
    return nullptr;
  }
  ModelApplication* application(const std::string& paymentTag, const std::string& chargeTag) {
    for (auto& row : applications)
      if (row.payment == paymentTag && row.charge == chargeTag) return &row;
    return nullptr;
  }
  static bool paymentClass(char type) { return type >= 'I' && type <= 'R'; }
  static bool adjustmentClass(char type) { return type >= 'S' && type <= 'Y'; }
  // The application's Who Paid as stored: "P" for a deductible, blank for an adjustment.
  std::string storedWhoPaid(const ModelApplication& row) {
    const ModelPayment& line = *payment(row.payment);
    if (line.type == 'P') return "P";
    if (adjustmentClass(line.type)) return "";
    return line.whoPaid;
  }
  // The charge's buckets: insurance 1 to 3, attorney, guarantor, adjustment.
  std::array<Money, 6> buckets(const std::string& chargeTag) {
    std::array<Money, 6> sums{};
    for (const auto& row : applications) {
      if (row.charge != chargeTag) continue;
      const ModelPayment& line = *payment(row.payment);
      if (line.type == 'P') continue;
      if (adjustmentClass(line.type)) {
        sums[5] += row.amount;
      } else if (const Payer who = payerOf(line.whoPaid); who != NoPayer) {
        sums[who] += row.amount;
      }
    }
    return sums;
  }
  Money remainder(const ModelCharge& line) {
    Money left = line.amount;
    for (const Money bucket : buckets(line.tag)) left += bucket;
    return left;
  }
  Money unapplied(const ModelPayment& line) {
    if (line.type == 'P') return Money{};
    Money left = line.amount;
    for (const auto& row : applications)
      if (row.payment == line.tag) left -= row.amount;
    return left;
  }
  void remove(const std::string& paymentTag, const std::string& chargeTag) {
    std::erase_if(applications, [&](const ModelApplication& row) {
      return row.payment == paymentTag && row.charge == chargeTag;
    });
  }
  // Whether a policy still has a payment (or its deductible) applied to the charge.
  bool appliedBy(const ModelCharge& line, int policy) {
    for (const auto& row : applications) {
      if (row.charge != line.tag) continue;
      const ModelPayment& from = *payment(row.payment);
      if (paymentClass(from.type) && payerOf(from.whoPaid) == policy) return true;
    }
    return false;
  }

  // The save: the responsibility of every written charge, then all is stored.
  void save(bool forced) {
    for (auto& line : charges) {
      if (!line.changed && !forced) continue;
      for (int policy = 0; policy < 3; ++policy) {
        if (line.entry > 0 && carrier[policy] && line.paid[policy])
          line.paid[policy] = appliedBy(line, policy);
        if (!carrier[policy]) line.paid[policy] = true;
      }
      line.changed = false;
    }
    for (auto& line : payments) line.changed = false;
    storedLineDeleted = false;
  }

  // What the estimates make of the case: insurance 1 to 3 due, guarantor due.
  std::array<Money, 4> estimates() {
    std::array<Money, 4> due{};
    for (auto& line : charges) {
      const auto paid = buckets(line.tag);
      const Money base = line.amount;
      Money left = base;
      for (std::size_t policy = 0; policy < 3; ++policy) {
        if (!carrier[policy] || (policy > 0 && left <= Money{})) continue;
        if (line.paid[policy]) {
          left += paid[policy];
          continue;
        }
        const Money of = policy == 0 ? base : left;
        // A whole percentage of an amount in ten-thousandths, to four decimals.
        const std::int64_t product = of.tenThousandths() * percent[policy];
        const std::int64_t share = (product + (product >= 0 ? 50 : -50)) / 100;
        const Money expected = Money::fromTenThousandths(share) + paid[policy];
        due[policy] -= expected;
        left = left - expected + paid[policy];
      }
      due[3] += left + paid[4];
    }
    return due;
  }
};

class LedgerModel : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    if (IsSkipped() || HasFailure()) return;
    practice_ = space_->connect();
    store::createMissingTables(*practice_, nullptr);
    options_ = vantrell::testing::newPracticeOptions(*practice_);
    vantrell::testing::insertPaymentPractice(*practice_);
  }
  void insert(const char* table, const vantrell::testing::FieldTexts& fields) {
    vantrell::testing::insertRow(*practice_, table, fields);
  }

  // Every stored figure of the case against the model.
  void compare(TransactionEntryWindow& window, Model& model, const std::string& when) {
    std::map<std::string, store::Record> stored;
    store::Table ledger = practice_->openTable("QVTRN");
    ledger.setOrder("idxChartCaseDoc");
    const std::vector<store::Value> key = {store::Value{std::string("DOEJA000")},
                                           store::Value{window.caseNumber()}};
    ledger.setRange(key, key);
    ledger.forEach([&](const store::Record& row) { stored.emplace(row.text("Description"), row); });
    ASSERT_EQ(stored.size(), model.charges.size() + model.payments.size()) << when;
    const char* flags[] = {"Insurance 1 Paid", "Insurance 2 Paid", "Insurance 3 Paid",
                           "Attorney Paid", "Guarantor Paid"};
    for (auto& line : model.charges) {
      const auto found = stored.find(line.tag);
      ASSERT_NE(found, stored.end()) << when << ": " << line.tag;
      const store::Record& row = found->second;
      line.entry = row.integer("Entry Number");
      EXPECT_EQ(row.money("Amount"), line.amount) << when << ": " << line.tag;
      const auto buckets = model.buckets(line.tag);
      for (std::size_t i = 0; i < buckets.size(); ++i)
        EXPECT_EQ(row.money(paidBuckets[i]), buckets[i])
            << when << ": " << line.tag << " " << paidBuckets[i];
      for (int payer : {0, 1, 2}) {
        EXPECT_EQ(row.logical(flags[payer]), line.paid[payer])
            << when << ": " << line.tag << " " << flags[payer];
      }
      EXPECT_EQ(row.logical("Guarantor Paid"), line.paid[Guarantor])
          << when << ": " << line.tag << " Guarantor Paid";
    }
    for (auto& line : model.payments) {
      const auto found = stored.find(line.tag);
      ASSERT_NE(found, stored.end()) << when << ": " << line.tag;
      line.entry = found->second.integer("Entry Number");
      EXPECT_EQ(found->second.money("Amount"), line.amount) << when << ": " << line.tag;
      EXPECT_EQ(found->second.money("Unapplied Amount"), model.unapplied(line))
          << when << ": " << line.tag << " unapplied";
    }
    // The application rows themselves: one per payment and charge, with the stored payer.
    std::map<std::pair<std::int64_t, std::int64_t>, std::pair<Money, std::string>> rows;
    auto result = practice_->driver().query(
        "SELECT p.\"Payment Reference\", p.\"Charge Reference\", p.\"Payment Amount\", p.\"Who "
        "Paid\" FROM \"QVPAX\" p JOIN \"QVTRN\" t ON t.\"Entry Number\" = p.\"Payment "
        "Reference\" WHERE t.\"Case Number\" = ?",
        {store::Value{window.caseNumber()}});
    while (result->next()) {
      rows[{std::get<std::int64_t>(result->column(0, store::FieldType::Integer)),
            std::get<std::int64_t>(result->column(1, store::FieldType::Integer))}] = {
          moneyOf(result->column(2, store::FieldType::Double)),
          store::valueToText(result->column(3, store::FieldType::Character))};
    }
    EXPECT_EQ(rows.size(), model.applications.size()) << when;
    for (const auto& application : model.applications) {
      const auto found = rows.find(
          {model.payment(application.payment)->entry, model.charge(application.charge)->entry});
      if (found == rows.end()) {
        ADD_FAILURE() << when << ": no row for " << application.payment << " on "
                      << application.charge;
        continue;
      }
      EXPECT_EQ(found->second.first, application.amount) << when << ": " << application.payment;
      EXPECT_EQ(found->second.second, model.storedWhoPaid(application))
          << when << ": " << application.payment;
    }
    const auto due = model.estimates();
    const Estimates shown = window.estimates();
    for (std::size_t policy = 0; policy < 3; ++policy)
      EXPECT_EQ(shown.insuranceDue[policy], due[policy]) << when << ": insurance due " << policy;
    EXPECT_EQ(shown.guarantorDue, due[3]) << when << ": guarantor due";
  }

  ui::FixedClock clock_{*DateTime::parse("2026-12-05 09:00:00")};
  practice::Options options_;
  std::unique_ptr<store::Connection> practice_;
};

TEST_P(LedgerModel, TheStoredLedgerFollowsTheRulesAfterEverySave) {
  std::mt19937_64 random(20261205);
  const bool longRun = std::getenv("VANTRELL_LONG_PROPERTIES") != nullptr;
  const int sequences = longRun ? 5000 : 600;
  AgreeingPrompter prompter;
  const auto pick = [&](std::size_t count) {
    return static_cast<std::size_t>(
        std::uniform_int_distribution<std::size_t>(0, count - 1)(random));
  };
  const char* payers[] = {"1", "2", "G"};
  const char* paymentCodes[] = {"INS", "CHECK", "WO", "TAKE", "DED"};
  std::unique_ptr<TransactionEntryWindow> window;
  Model model;
  int tags = 0;
  std::int64_t caseNumber = 0;
  // The payment window computes nothing on its own here: amounts are posted as typed.
  store::Record quietRow = practice_->openTable("QVOPT").newRecord();
  practice::applyNewOptionValues(quietRow);
  for (const char* flag : {"Mark Complete", "Calculate Disallowed Amt", "Calculate Allowed Amount"})
    quietRow.setFromText(flag, "F");
  const practice::Options quiet(quietRow);
  const auto openWindow = [&] {
    window = std::make_unique<TransactionEntryWindow>(TransactionEntryWindow::Surroundings{
        *practice_, options_, prompter, clock_, nullptr, [this] { return clock_.today(); },
        Ledger::Transactions});
    ASSERT_TRUE(window->chooseChart("DOEJA000"));
    ASSERT_TRUE(window->chooseCase(caseNumber));
  };
  // A carrier's deposit posted against one charge: a payment (possibly 0), a
  // withhold now and then, the complete mark at random.
  const auto postFromDeposit = [&](int sequence) {
    window->close();
    window.reset();
    const int policy = model.carrier[1] && pick(2) == 0 ? 1 : 0;
    const std::string who = policy == 0 ? "1" : "2";
    insert("QVDEP", {{"Deposit Date", "2026-12-04"},
                     {"Payor Type", "Insurance"},
                     {"Insurance Code", policy == 0 ? "MC" : "BC"},
                     {"Payment Amount", "500"},
                     {"Unapplied Amount", "500"},
                     {"Payment Code", "INS"},
                     {"Withhold Code", "WO"}});
    const auto deposit =
        vantrell::testing::singleNumber(*practice_, "SELECT MAX(\"Entry Number\") FROM \"QVDEP\"");
    const auto lastEntry =
        vantrell::testing::singleNumber(*practice_, "SELECT MAX(\"Entry Number\") FROM \"QVTRN\"");
    ModelCharge& charge = model.charges[pick(model.charges.size())];
    const Money paid = Money::fromCents(static_cast<std::int64_t>(pick(3) == 0 ? 0 : pick(6000)));
    const Money withheld =
        pick(3) == 0 ? Money::fromCents(static_cast<std::int64_t>(1 + pick(2000))) : Money{};
    const bool complete = pick(2) == 0;
    {
      deposits::PaymentApplicationWindow payments({*practice_, quiet, prompter, clock_, "CLERK"},
                                                  deposit);
      ASSERT_TRUE(payments.choosePatient("DOEJA000"));
      std::size_t row = payments.rows().size();
      for (std::size_t i = 0; i < payments.rows().size(); ++i)
        if (payments.rows()[i].charge.text("Description") == charge.tag) row = i;
      ASSERT_LT(row, payments.rows().size()) << charge.tag;
      ASSERT_EQ(payments.rows()[row].payor, who);
      payments.setPayment(row, paid);
      payments.setWithhold(row, withheld);
      payments.setComplete(row, complete);
      ASSERT_TRUE(payments.save()) << "sequence " << sequence << ": " << prompter.lastError;
      payments.close();
    }
    // The model's side: the carrier's payment is booked unless it only repeats
    // a complete mark already there; the withhold is an adjustment.
    const auto tagNew = [&](const char* code, const std::string& tag) {
      practice_->executeSql(
          "UPDATE \"QVTRN\" SET \"Description\" = ? WHERE \"Entry Number\" > ? AND "
          "\"Procedure Code\" = ?",
          {store::Value{tag}, store::Value{lastEntry}, store::Value{std::string(code)}});
    };
    bool written = false;
    if ((paid != Money{} || complete) && !(paid == Money{} && charge.paid[policy])) {
      charge.paid[policy] = complete;
      ModelPayment line{fmt::format("p{}", ++tags), 'I', who, -paid, 0, false};
      tagNew("INS", line.tag);
      model.payments.push_back(line);
      model.applications.push_back({line.tag, charge.tag, -paid});
      written = true;
    }
    if (withheld != Money{}) {
      ModelPayment line{fmt::format("p{}", ++tags), 'T', "", -withheld, 0, false};
      tagNew("WO", line.tag);
      model.payments.push_back(line);
      model.applications.push_back({line.tag, charge.tag, -withheld});
      written = true;
    }
    if (written) charge.paid[Guarantor] = model.remainder(charge) == Money{};
    openWindow();
  };
  Money earlierCases;  // the amounts of the chart's other cases
  const auto chargeIndex = [&](const std::string& tag) {
    const auto& lines = window->charges();
    for (std::size_t i = 0; i < lines.size(); ++i)
      if (lines[i].row.text("Description") == tag) return i;
    throw std::runtime_error("no charge " + tag);
  };
  const auto paymentIndex = [&](const std::string& tag) {
    const auto& lines = window->payments();
    for (std::size_t i = 0; i < lines.size(); ++i)
      if (lines[i].row.text("Description") == tag) return i;
    throw std::runtime_error("no payment " + tag);
  };
  // Every stored figure against the model, and the patient's balance: every amount of the chart.
  const auto checkBalance = [&](int sequence, const char* when) {
    compare(*window, model, fmt::format("{} of sequence {}", when, sequence));
    Money balance = earlierCases;
    for (const auto& line : model.charges) balance += line.amount;
    for (const auto& line : model.payments) balance += line.amount;
    auto stored = practice_->driver().query(
        "SELECT \"Patient Reference Balance\" FROM \"QVPAT\" WHERE \"Chart Number\" = ?",
        {store::Value{std::string("DOEJA000")}});
    ASSERT_TRUE(stored->next());
    EXPECT_EQ(moneyOf(stored->column(0, store::FieldType::Double)), balance)
        << when << " of sequence " << sequence;
  };
  const auto tagOfCharge = [&](std::int64_t reference) {
    for (const auto& line : window->charges())
      if (line.reference() == reference) return line.row.text("Description");
    throw std::runtime_error("no charge line");
  };

  for (int sequence = 0; sequence < sequences; ++sequence) {
    // A fresh case now and then keeps each case the size a real one has.
    if (sequence % 20 == 0) {
      if (window) window->close();
      for (const auto& line : model.charges) earlierCases += line.amount;
      for (const auto& line : model.payments) earlierCases += line.amount;
      model = Model{};
      model.carrier[0] = true;
      model.carrier[1] = pick(2) == 0;
      model.percent[0] = 80;
      model.percent[1] = 50;
      insert("QVCAS", {{"Chart Number", "DOEJA000"},
                       {"Description", "Visit"},
                       {"Assigned Provider", "DR1"},
                       {"Insurance Carrier #1", "MC"},
                       {"Insurance Carrier #2", model.carrier[1] ? "BC" : ""},
                       {"Percent Covered A #1", "80"},
                       {"Percent Covered A #2", "50"},
                       {"Diagnosis 1", "R05"},
                       {"Price Code", "A"}});
      caseNumber =
          vantrell::testing::singleNumber(*practice_, "SELECT MAX(\"Case Number\") FROM \"QVCAS\"");
      openWindow();
      if (HasFatalFailure()) return;
    } else if (!model.charges.empty() && pick(8) == 0) {
      postFromDeposit(sequence);
      if (HasFatalFailure()) return;
      checkBalance(sequence, "after a deposit's posting");
      if (HasFailure()) return;
    }
    const int edits = 1 + static_cast<int>(pick(3));
    for (int edit = 0; edit < edits; ++edit) {
      switch (pick(8)) {
        case 0:
        case 1: {
          const bool visit = pick(2) == 0;
          const std::size_t index = window->newCharge();
          ASSERT_TRUE(window->setChargeField(index, "Procedure Code", visit ? "VISIT" : "XRAY"));
          const std::string tag = fmt::format("c{}", ++tags);
          ASSERT_TRUE(window->setChargeField(index, "Description", tag));
          window->postCharge(index);
          ModelCharge line;
          line.tag = tag;
          line.amount = Money::fromCents(visit ? 10000 : 8000);
          for (int policy = 0; policy < 3; ++policy) line.paid[policy] = !model.carrier[policy];
          model.charges.push_back(line);
          break;
        }
        case 2:
        case 3: {
          const char* code = paymentCodes[pick(5)];
          const std::int64_t cents = static_cast<std::int64_t>(pick(9000));
          const std::size_t index = window->newPayment();
          ASSERT_TRUE(window->setPaymentField(index, "Procedure Code", code));
          ASSERT_TRUE(window->setPaymentField(index, "Amount",
                                              fmt::format("{}.{:02d}", cents / 100, cents % 100)));
          ModelPayment line;
          line.tag = fmt::format("p{}", ++tags);
          ASSERT_TRUE(window->setPaymentField(index, "Description", line.tag));
          line.type = window->payments()[index].type();
          line.whoPaid = line.type == 'I' ? "1" : line.type == 'K' ? "G" : "";
          if (line.type == 'I' || line.type == 'P') {
            line.whoPaid = payers[pick(2)];
            ASSERT_TRUE(window->setPaymentField(index, "Who Paid", line.whoPaid));
          }
          window->postPayment(index);
          // Payments and write-offs are negative, a take-back positive, a deductible nothing.
          const Money typed = Money::fromCents(cents);
          line.amount = line.type == 'P' ? Money{} : line.type == 'V' ? typed : -typed;
          model.payments.push_back(line);
          break;
        }
        case 4: {
          if (model.payments.empty() || model.charges.empty()) break;
          ModelPayment& line = model.payments[pick(model.payments.size())];
          const std::size_t index = paymentIndex(line.tag);
          auto dialog = window->applyDialog(index);
          ASSERT_TRUE(dialog);
          const std::size_t row = pick(dialog->rows().size());
          const bool oldest = line.type == 'K' && pick(3) == 0;
          std::map<std::string, Money> wanted;  // this payment per charge, as the model sees it
          for (const auto& existing : model.applications)
            if (existing.payment == line.tag) wanted[existing.charge] = existing.amount;
          if (oldest) {
            // Oldest first: saved charges by entry, then new ones as entered; each takes
            // its balance or what is left of the payment.
            Money left = model.unapplied(line);
            std::vector<ModelCharge*> order;
            for (auto& charge : model.charges)
              if (charge.entry > 0) order.push_back(&charge);
            std::stable_sort(order.begin(), order.end(),
                             [](auto* a, auto* b) { return a->entry < b->entry; });
            for (auto& charge : model.charges)
              if (charge.entry == 0) order.push_back(&charge);
            for (auto* charge : order) {
              if (!(left < Money{})) break;
              const Money open = model.remainder(*charge);
              if (!(open > Money{})) continue;
              const Money taken = std::min(open, left.abs());
              wanted[charge->tag] -= taken;
              left += taken;
            }
            dialog->applyToOldest();
          } else {
            const Money typed = Money::fromCents(static_cast<std::int64_t>(pick(5000)));
            dialog->setThisPayment(row, typed);
            const bool negative = Model::paymentClass(line.type) || line.type == 'T';
            wanted[tagOfCharge(dialog->rows()[row].chargeReference)] = negative ? -typed : typed;
          }
          const bool complete = pick(2) == 0;
          dialog->setComplete(row, complete);
          // The write-back, row by row, as the dialog's close does it.
          const Payer who = payerOf(line.whoPaid);
          const bool paymentMode = Model::paymentClass(line.type);
          for (const auto& shown : dialog->rows()) {
            const std::string chargeTag = tagOfCharge(shown.chargeReference);
            ModelCharge& charge = *model.charge(chargeTag);
            // The mark a row opens with is the charge's paid flag for this payer.
            const bool atOpening = paymentMode && who != NoPayer && charge.paid[who];
            EXPECT_EQ(shown.completeAtOpening, atOpening) << chargeTag << " " << line.tag;
            const bool marked =
                shown.chargeReference == dialog->rows()[row].chargeReference ? complete : atOpening;
            const bool markedHere = marked && !atOpening;
            const Money amount = wanted.count(chargeTag) != 0 ? wanted[chargeTag] : Money{};
            ModelApplication* existing = model.application(line.tag, chargeTag);
            if (amount != Money{} || markedHere || (existing != nullptr && marked)) {
              if (existing == nullptr)
                model.applications.push_back({line.tag, chargeTag, amount});
              else
                existing->amount = amount;
            } else if (existing != nullptr) {
              model.remove(line.tag, chargeTag);
            }
            if (!paymentMode) {
              if (marked)
                for (bool& flag : charge.paid) flag = true;
            } else if (who == Policy1 || who == Policy2 || who == Policy3 || who == Attorney) {
              charge.paid[who] = marked;
            }
            if (line.type != 'P') charge.paid[Guarantor] = model.remainder(charge) == Money{};
            charge.changed = true;
          }
          window->closeApplyDialog(index, *dialog);
          line.changed = true;
          break;
        }
        case 5: {
          if (model.payments.empty()) break;
          ModelPayment& line = model.payments[pick(model.payments.size())];
          const std::size_t index = paymentIndex(line.tag);
          if (line.type == 'I') {
            const std::string payer = payers[pick(3)];
            ASSERT_TRUE(window->setPaymentField(index, "Who Paid", payer));
            window->postPayment(index);
            if (payer != line.whoPaid) {
              // Re-filed: the applications follow the payer, their charges are rewritten.
              for (const auto& application : model.applications)
                if (application.payment == line.tag)
                  model.charge(application.charge)->changed = true;
            }
            line.whoPaid = payer;
          } else {
            const std::int64_t cents = static_cast<std::int64_t>(pick(200)) * 100;
            ASSERT_TRUE(window->setPaymentField(index, "Amount", fmt::format("{}", cents / 100)));
            const Money typed = Money::fromCents(cents);
            line.amount = line.type == 'P' ? Money{} : line.type == 'V' ? typed : -typed;
          }
          line.changed = true;
          break;
        }
        case 6: {
          if (model.charges.empty() || pick(3) != 0) break;
          const std::size_t which = pick(model.charges.size());
          const std::string tag = model.charges[which].tag;
          ASSERT_TRUE(window->deleteCharge(chargeIndex(tag)));
          // What was applied to the charge goes back to its payments.
          for (const auto& application : model.applications)
            if (application.charge == tag) model.payment(application.payment)->changed = true;
          std::erase_if(model.applications,
                        [&](const ModelApplication& row) { return row.charge == tag; });
          if (model.charges[which].entry > 0) model.storedLineDeleted = true;
          model.charges.erase(model.charges.begin() + static_cast<std::ptrdiff_t>(which));
          break;
        }
        case 7: {
          if (model.payments.empty() || pick(3) != 0) break;
          const std::size_t which = pick(model.payments.size());
          const ModelPayment line = model.payments[which];
          ASSERT_TRUE(window->deletePayment(paymentIndex(line.tag)));
          for (const auto& application : std::vector<ModelApplication>(model.applications)) {
            if (application.payment != line.tag) continue;
            model.remove(line.tag, application.charge);
            if (line.type == 'P') continue;
            ModelCharge& charge = *model.charge(application.charge);
            if (Model::paymentClass(line.type) && payerOf(line.whoPaid) != NoPayer)
              charge.paid[payerOf(line.whoPaid)] = false;
            charge.paid[Guarantor] = model.remainder(charge) == Money{};
            charge.changed = true;
          }
          if (line.entry > 0) model.storedLineDeleted = true;
          model.payments.erase(model.payments.begin() + static_cast<std::ptrdiff_t>(which));
          break;
        }
      }
      if (HasFatalFailure()) return;
    }
    const bool forced = pick(10) == 0;
    const bool expected = model.dirty() || forced;
    const bool saved = window->save(forced);
    ASSERT_EQ(saved, expected) << "sequence " << sequence << ": " << prompter.lastError;
    prompter.lastError.clear();
    if (!saved) continue;
    model.save(forced);
    checkBalance(sequence, "after the window's save");
    if (HasFailure()) return;
  }
  // And the practice-wide recalculation finds nothing to correct.
  ui::SilentProgress progress;
  const auto report = recalculatePractice(*practice_, std::nullopt, progress);
  EXPECT_EQ(report.chargesChanged, 0);
  EXPECT_EQ(report.paymentsChanged, 0);
  EXPECT_EQ(report.patientsChanged, 0);
}

VANTRELL_ON_BOTH_ENGINES(LedgerModel);

}  // namespace
}  // namespace vantrell::transactions
