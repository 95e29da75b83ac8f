#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QMenu>
#include <QMessageBox>
#include <QTableView>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>

#include "apply_dialog_window.hpp"
#include "desktop_fixture.hpp"
#include "keyboard_driving.hpp"
#include "modal_answers.hpp"
#include "transaction_entry_window.hpp"
#include "transactions/balances.hpp"

// A clerk's visit on the tutorial practice, from the keyboard alone: the keys
// go where the focus is (or to the open menu), as they do for a person.
namespace vantrell::desktop {
namespace {

using vantrell::testing::ModalAnswers;

class KeyboardDayTest : public DesktopTest {
 protected:
  void SetUp() override { ASSERT_TRUE(window_.start(options())); }  // the tutorial practice

  store::Connection& practice() { return *application_.practice()->connection; }

  // A tutorial patient whose latest case is insured, with a copay.
  struct Chosen {
    std::string chart;
    std::int64_t caseNumber = 0;
    Money copay;
    char priceCode = 'A';
  };
  Chosen tutorialPatient() {
    std::map<std::string, store::Record> latest;
    store::Table cases = practice().openTable("QVCAS");
    cases.forEach([&](const store::Record& row) {
      const auto kept = latest.find(row.text("Chart Number"));
      if (kept == latest.end())
        latest.emplace(row.text("Chart Number"), row);
      else if (row.integer("Case Number") > kept->second.integer("Case Number"))
        kept->second = row;
    });
    for (const auto& [chart, row] : latest) {
      if (row.text("Insurance Carrier #1").empty() || row.money("Copayment Amount") == Money{} ||
          row.logical("Case Closed"))
        continue;
      Chosen chosen{chart, row.integer("Case Number"), row.money("Copayment Amount")};
      if (!row.text("Price Code").empty()) chosen.priceCode = row.text("Price Code")[0];
      return chosen;
    }
    return {};
  }

  std::vector<store::Record> ledgerOf(const std::string& chart) {
    std::vector<store::Record> rows;
    store::Table table = practice().openTable("QVTRN");
    table.forEach([&](const store::Record& row) {
      if (row.text("Chart Number") == chart) rows.push_back(row);
    });
    return rows;
  }
  Money balanceOf(const std::string& chart) {
    store::Table patients = practice().openTable("QVPAT");
    patients.setOrder("Primary");
    return patients.seek({store::Value{chart}})->money("Patient Reference Balance");
  }
};

// What a charge of 99213 costs under each price code of the tutorial's fee schedule.
Money officeVisitFee(char priceCode) {
  switch (priceCode) {
    case 'B':
      return Money::fromCents(6500);
    case 'C':
      return Money::fromCents(7200);
    default:
      return Money::fromCents(8000);
  }
}

TEST_F(KeyboardDayTest, AVisitACopayAndAnInsurancePaymentArePostedFromTheKeyboardAlone) {
  const Chosen patient = tutorialPatient();
  ASSERT_FALSE(patient.chart.empty()) << "no tutorial patient with an insured case and a copay";
  const Money fee = officeVisitFee(patient.priceCode);
  const Money insurancePaid = Money::fromCents(4800);
  const Money balanceBefore = balanceOf(patient.chart);
  std::set<std::int64_t> entriesBefore;
  for (const auto& row : ledgerOf(patient.chart)) entriesBefore.insert(row.integer("Entry Number"));

  // The main window has the keyboard; Alt+L opens the Lists menu and P its patient list.
  window_.activateWindow();
  ASSERT_TRUE(hasTheKeyboard(window_));
  shoot(window_, "keyboard-01-main-window.png");
  press(Qt::Key_L, Qt::AltModifier);
  ASSERT_NE(QApplication::activePopupWidget(), nullptr) << "Alt+L opened no menu";
  shoot(*QApplication::activePopupWidget(), "keyboard-02-lists-menu.png");
  press(Qt::Key_P);
  QWidget* list = shownWindow("PatientList");
  ASSERT_NE(list, nullptr) << "the patient list did not come up";
  ASSERT_TRUE(hasTheKeyboard(*list));

  // The chart number typed into the search finds the patient; Ctrl+T opens the transactions.
  type(QString::fromStdString(patient.chart).toLower());
  shoot(*list, "keyboard-03-patient-list.png");
  press(Qt::Key_T, Qt::ControlModifier);
  auto* entry = qobject_cast<TransactionEntryWindow*>(shownWindow("TransactionEntry"));
  ASSERT_NE(entry, nullptr) << "Ctrl+T opened no transaction window";
  ASSERT_TRUE(hasTheKeyboard(*entry));
  ASSERT_EQ(entry->model().chartNumber(), patient.chart);
  ASSERT_EQ(entry->model().caseNumber(), patient.caseNumber);

  // The visit: Ins opens a charge on its code, Tab prices it. Leaving the line for the copay
  // (Ctrl+P opens a payment on its code) brings the case's copay reminder, answered with Enter.
  ModalAnswers reminder;
  reminder.then([](QWidget& box) { QTest::keyClick(&box, Qt::Key_Return); });
  reminder.run([&] {
    press(Qt::Key_Insert);
    type("99213");
    press(Qt::Key_Tab);
    press(Qt::Key_Escape);
    shoot(*entry, "keyboard-04-charge.png");
    press(Qt::Key_P, Qt::ControlModifier);
  });
  EXPECT_EQ(reminder.seen(),
            std::vector<std::string>{"This Case requires a $" + patient.copay.toGroupedString() +
                                     " copay for each visit."});
  ASSERT_TRUE(backTo(*entry));
  type("copaychk");
  press(Qt::Key_Tab);
  auto* payments = entry->findChild<QTableView*>("payments");
  for (int tabs = 0; tabs < PaymentGridModel::ColumnCount &&
                     payments->currentIndex().column() != PaymentGridModel::Amount;
       ++tabs)
    press(Qt::Key_Tab);
  type(QString::fromStdString(patient.copay.toString()));
  press(Qt::Key_Tab);

  // Applied from the keyboard: Ctrl+A; the new charge is the last row; Enter ends the amount and
  // Enter again is OK.
  const auto applyToLastRow = [&](const Money& amount, const char* picture) {
    return [&, amount, picture](QWidget& dialog) {
      auto* rows = dialog.findChild<QTableView*>("rows");
      ASSERT_NE(rows, nullptr);
      const int last = rows->model()->rowCount() - 1;
      for (int row = rows->currentIndex().row(); row < last; ++row) press(Qt::Key_Down);
      type(QString::fromStdString(amount.toString()));
      shoot(dialog, picture);
      press(Qt::Key_Return);
      QApplication::processEvents();
      EXPECT_EQ(rows->model()->index(last, ApplyRowsModel::ThisPayment).data().toString(),
                QString::fromStdString((-amount).toString()));
      press(Qt::Key_Return);
      EXPECT_FALSE(dialog.isVisible()) << "Enter did not take the applied amounts";
    };
  };
  ModalAnswers copayApplied;
  copayApplied.then(applyToLastRow(patient.copay, "keyboard-05-apply-copay.png"));
  copayApplied.run([&] { press(Qt::Key_A, Qt::ControlModifier); });
  shoot(*entry, "keyboard-06-copay-applied.png");
  ASSERT_TRUE(backTo(*entry));

  // The insurance payment: its code, then the amount, applied the same way.
  press(Qt::Key_P, Qt::ControlModifier);
  type("inspay");
  press(Qt::Key_Tab);
  for (int tabs = 0; tabs < PaymentGridModel::ColumnCount &&
                     payments->currentIndex().column() != PaymentGridModel::Amount;
       ++tabs)
    press(Qt::Key_Tab);
  type(QString::fromStdString(insurancePaid.toString()));
  press(Qt::Key_Tab);
  ModalAnswers insuranceApplied;
  insuranceApplied.then(applyToLastRow(insurancePaid, "keyboard-07-apply-insurance.png"));
  insuranceApplied.run([&] { press(Qt::Key_A, Qt::ControlModifier); });
  ASSERT_TRUE(backTo(*entry));
  shoot(*entry, "keyboard-08-before-save.png");
  press(Qt::Key_F9);
  shoot(*entry, "keyboard-09-saved.png");

  // The ledger against the worked numbers: a fee, less the copay and the insurance payment.
  std::map<std::string, store::Record> added;
  for (const auto& row : ledgerOf(patient.chart))
    if (entriesBefore.count(row.integer("Entry Number")) == 0)
      added.emplace(row.text("Procedure Code"), row);
  ASSERT_EQ(added.size(), 3u);
  const store::Record& charge = added.at("99213");
  const store::Record& copay = added.at("COPAYCHK");
  const store::Record& insurance = added.at("INSPAY");
  EXPECT_EQ(charge.integer("Case Number"), patient.caseNumber);
  EXPECT_EQ(charge.money("Amount"), fee);
  EXPECT_EQ(copay.money("Amount"), -patient.copay);
  EXPECT_EQ(copay.text("Who Paid"), "G");
  EXPECT_EQ(insurance.money("Amount"), -insurancePaid);
  EXPECT_EQ(insurance.text("Who Paid"), "1");
  EXPECT_EQ(charge.money("Guarantor Amount Paid"), -patient.copay);
  EXPECT_EQ(charge.money("Insurance 1 Amount Paid"), -insurancePaid);
  EXPECT_EQ(copay.money("Unapplied Amount"), Money{});
  EXPECT_EQ(insurance.money("Unapplied Amount"), Money{});
  // The account owes what is left of the fee.
  EXPECT_EQ(balanceOf(patient.chart) - balanceBefore, fee - patient.copay - insurancePaid);
  EXPECT_FALSE(entry->model().workingSet().hasUnsavedLines());
  entry->close();
  list->close();
}

}  // namespace
}  // namespace vantrell::desktop
