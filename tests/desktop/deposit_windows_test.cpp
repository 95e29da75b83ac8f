#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>

#include "deposit_windows.hpp"
#include "desktop_fixture.hpp"
#include "keyboard_driving.hpp"
#include "modal_answers.hpp"
#include "pdf_preview_window.hpp"
#include "support/scripted_prompter.hpp"

// Enter Deposits/Payments on the tutorial practice, driven by key as a clerk does it.
namespace vantrell::desktop {
namespace {

using vantrell::testing::ModalAnswers;

// The window of that name once it is up and holds the keyboard; null (failing the test) else.
QWidget* waitForWindow(const QString& name) {
  QWidget* found = nullptr;
  if (!QTest::qWaitFor([&] { return (found = shownWindow(name)) != nullptr; }, 3000))
    found = nullptr;
  if (found == nullptr || !hasTheKeyboard(*found)) {
    ADD_FAILURE() << "the window " << name.toStdString() << " did not come up with the keyboard";
    return nullptr;
  }
  return found;
}

// Puts the keyboard in the field and types over what it holds.
void typeInto(QWidget& window, const char* name, const QString& text) {
  QLineEdit* edit = field(window, name);
  edit->setFocus();
  edit->selectAll();
  type(text);
}
// Picks the n-th choice of a drop-down box with the arrow keys.
void choose(QWidget& window, const char* name, int index) {
  auto* box = window.findChild<QComboBox*>(name);
  ASSERT_NE(box, nullptr) << name;
  box->setFocus();
  QTest::keyClick(box, Qt::Key_Home);
  for (int step = 0; step < index; ++step) QTest::keyClick(box, Qt::Key_Down);
  ASSERT_EQ(box->currentIndex(), index) << name;
}
void typeCode(QWidget& window, const char* name, const std::string& code) {
  auto* box = window.findChild<QComboBox*>(name);
  ASSERT_NE(box, nullptr) << name;
  box->setFocus();
  box->lineEdit()->selectAll();
  type(QString::fromStdString(code));
}
std::string labelText(QWidget& window, const char* name) {
  auto* label = window.findChild<QLabel*>(name);
  return label == nullptr ? "(no label " + std::string(name) + ")" : label->text().toStdString();
}
bool shownRed(QWidget& window, const char* name) {
  auto* label = window.findChild<QLabel*>(name);
  return label != nullptr && label->styleSheet().contains("red");
}

std::string trimmed(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

class DepositWindowsTest : public DesktopTest {
 protected:
  void SetUp() override { ASSERT_TRUE(window_.start(options())); }  // the tutorial practice

  store::Connection& practice() { return *application_.practice()->connection; }

  // A procedure code of that type, read straight from the code table.
  std::string codeOfType(const std::string& wanted) {
    std::string found;
    practice().openTable("QVPRO").forEach([&](const store::Record& row) {
      if (found.empty() && trimmed(row.text("Type")) == wanted && !row.logical("Inactive"))
        found = trimmed(row.text("Code 1"));
    });
    return found;
  }
  std::map<std::int64_t, store::Record> depositRows() {
    std::map<std::int64_t, store::Record> rows;
    practice().openTable("QVDEP").forEach(
        [&](const store::Record& row) { rows.emplace(row.integer("Entry Number"), row); });
    return rows;
  }

  QWidget* openListByKey() {
    window_.activateWindow();
    if (!hasTheKeyboard(window_)) return nullptr;
    press(Qt::Key_A, Qt::AltModifier);
    if (QApplication::activePopupWidget() == nullptr) {
      ADD_FAILURE() << "Alt+A opened no menu";
      return nullptr;
    }
    shoot(*QApplication::activePopupWidget(), "deposits-01-activities-menu.png");
    press(Qt::Key_D);
    return waitForWindow("DepositList");
  }

  // A patient of one primary carrier with nothing open: chart, carrier, case.
  struct InsuredPatient {
    std::string chart, carrier;
    std::int64_t caseNumber = 0;
  };
  InsuredPatient insuredPatientWithNothingOpen() {
    std::map<std::pair<std::string, std::int64_t>, std::string> carrierOf;
    practice().openTable("QVCAS").forEach([&](const store::Record& row) {
      carrierOf[{trimmed(row.text("Chart Number")), row.integer("Case Number")}] =
          trimmed(row.text("Insurance Carrier #1"));
    });
    struct Patient {
      std::set<std::string> carriers;
      std::int64_t caseNumber = 0;
      bool open = false;
    };
    std::map<std::string, Patient> patients;
    practice().openTable("QVTRN").forEach([&](const store::Record& row) {
      const std::string kind = trimmed(row.text("Transaction Type"));
      if (kind.empty() || kind >= "I") return;
      Patient& patient = patients[trimmed(row.text("Chart Number"))];
      Money open = row.money("Amount");
      for (const char* part :
           {"Guarantor Amount Paid", "Insurance 1 Amount Paid", "Insurance 2 Amount Paid",
            "Insurance 3 Amount Paid", "Attorney Amount Paid", "Adjustment Amount"})
        open += row.money(part);
      patient.open = patient.open || open != Money{};
      patient.caseNumber = row.integer("Case Number");
      patient.carriers.insert(carrierOf[{trimmed(row.text("Chart Number")), patient.caseNumber}]);
    });
    InsuredPatient found;
    for (const auto& [candidate, patient] : patients) {
      if (patient.open || patient.carriers.size() != 1 || patient.carriers.begin()->empty())
        continue;
      found = {candidate, *patient.carriers.begin(), patient.caseNumber};
      break;
    }
    return found;
  }

  // The steering options off, so that the grid books exactly what is typed.
  void bookOnlyWhatIsTyped() {
    store::Table options = practice().openTable("QVOPT");
    options.forEach([&](const store::Record& row) {
      store::Record copy = row;
      for (const char* flag : {"Mark Complete", "Calculate Disallowed Amt",
                               "Calculate Allowed Amount", "Mark Completed Claims Done"})
        copy.set(flag, false);
      options.post(copy);
      application_.practice()->options = practice::Options(copy);
    });
  }
};

// New deposit by key: a patient's cash with a type K payment code is refused and the focus goes
// to the payment code; the insurance check is then saved; later payment amounts move the
// unapplied amount by the difference only; Delete asks first.
TEST_F(DepositWindowsTest, DepositsAreEnteredCheckedEditedAndDeletedByKey) {
  const std::string checkCode = codeOfType("K");
  const std::string insuranceCode = codeOfType("I");
  ASSERT_FALSE(checkCode.empty());
  ASSERT_FALSE(insuranceCode.empty());
  std::string chart, carrier;
  practice().openTable("QVPAT").forEach([&](const store::Record& row) {
    if (chart.empty()) chart = trimmed(row.text("Chart Number"));
  });
  practice().openTable("QVINS").forEach([&](const store::Record& row) {
    if (carrier.empty()) carrier = trimmed(row.text("Code"));
  });
  ASSERT_FALSE(chart.empty());
  ASSERT_FALSE(carrier.empty());
  const auto before = depositRows();

  QWidget* list = openListByKey();
  ASSERT_NE(list, nullptr) << "Alt+A, D did not bring up the deposit list with the keyboard";
  auto* view = list->findChild<QTableView*>("deposits");
  ASSERT_NE(view, nullptr);
  view->setFocus();
  press(Qt::Key_Insert);
  QWidget* deposit = waitForWindow("Deposit");
  ASSERT_NE(deposit, nullptr) << "Ins opened no deposit window";
  EXPECT_EQ(deposit->windowTitle(), "Deposit: (new)");

  // A patient paying cash cannot be booked with a check payment code.
  typeInto(*deposit, "chartNumber", QString::fromStdString(chart));
  press(Qt::Key_Tab);
  choose(*deposit, "paymentMethod", 1);  // Cash
  typeCode(*deposit, "paymentCode", checkCode);
  typeInto(*deposit, "paymentAmount", "100");
  ModalAnswers refused;
  refused.then(pressOn("OK"));
  refused.run([&] { press(Qt::Key_F9); });
  ASSERT_EQ(refused.seen().size(), 1u);
  EXPECT_NE(refused.seen()[0].find("The Payment code type does not match the Payment Method."),
            std::string::npos)
      << refused.seen()[0];
  ASSERT_TRUE(backTo(*deposit));
  auto* paymentBox = deposit->findChild<QComboBox*>("paymentCode");
  EXPECT_TRUE(QApplication::focusWidget() == paymentBox ||
              paymentBox->isAncestorOf(QApplication::focusWidget()))
      << "the focus is on "
      << (QApplication::focusWidget() ? QApplication::focusWidget()->objectName().toStdString()
                                      : "nothing");
  EXPECT_EQ(depositRows().size(), before.size()) << "a refused deposit was stored";

  // The carrier's check, saved with Ctrl+S.
  choose(*deposit, "payorType", 1);      // Insurance
  choose(*deposit, "paymentMethod", 0);  // Check
  // The payment code box offers the insurance payment codes (type I) and nothing else; the
  // adjustment box the insurance adjustments (type T).
  std::map<std::string, std::string> typeOf;
  practice().openTable("QVPRO").forEach([&](const store::Record& row) {
    typeOf[trimmed(row.text("Code 1"))] = trimmed(row.text("Type"));
  });
  for (const auto& [box, wanted] :
       {std::pair<const char*, const char*>{"paymentCode", "I"}, {"adjustmentCode", "T"}}) {
    auto* codes = deposit->findChild<QComboBox*>(box);
    ASSERT_NE(codes, nullptr) << box;
    std::set<std::string> offered, expected;
    for (int n = 0; n < codes->count(); ++n)
      if (!codes->itemText(n).isEmpty()) offered.insert(codes->itemText(n).toStdString());
    for (const auto& [code, kind] : typeOf)
      if (kind == wanted) expected.insert(code);
    EXPECT_FALSE(expected.empty()) << "the tutorial has no code of type " << wanted;
    EXPECT_EQ(offered, expected) << box;
  }
  typeInto(*deposit, "insuranceCode", QString::fromStdString(carrier));
  press(Qt::Key_Tab);
  typeInto(*deposit, "description", "EOB 4471");
  typeInto(*deposit, "checkNumber", "4471");
  typeCode(*deposit, "paymentCode", insuranceCode);
  typeInto(*deposit, "paymentAmount", "100.00");
  EXPECT_EQ(labelText(*deposit, "unapplied"), "100.00");
  shoot(*deposit, "deposits-02-new-deposit.png");
  press(Qt::Key_S, Qt::ControlModifier);
  auto after = depositRows();
  ASSERT_EQ(after.size(), before.size() + 1) << "Ctrl+S stored no deposit";
  const std::int64_t entry = after.rbegin()->first;
  const store::Record& saved = after.rbegin()->second;
  EXPECT_EQ(trimmed(saved.text("Payor Type")), "Insurance");
  EXPECT_EQ(trimmed(saved.text("Insurance Code")), carrier);
  EXPECT_EQ(trimmed(saved.text("Payment Code")), insuranceCode);
  EXPECT_EQ(trimmed(saved.text("Check Number")), "4471");
  EXPECT_EQ(saved.money("Payment Amount"), Money::fromCents(10000));
  EXPECT_EQ(saved.money("Unapplied Amount"), Money::fromCents(10000));
  EXPECT_EQ(saved.date("Deposit Date"), application_.programDate().value());
  EXPECT_EQ(deposit->windowTitle().toStdString(), "Deposit: " + std::to_string(entry));
  press(Qt::Key_Escape);
  ASSERT_TRUE(QTest::qWaitFor([] { return shownWindow("Deposit") == nullptr; }));

  // The list shows it on the program date.
  ASSERT_TRUE(backTo(*list));
  shoot(*list, "deposits-03-list.png");
  ASSERT_GE(view->model()->rowCount(), 1);
  int row = -1;
  for (int n = 0; n < view->model()->rowCount(); ++n)
    if (view->model()->index(n, 0).data().toLongLong() == entry) row = n;
  ASSERT_GE(row, 0) << "the new deposit is not in the list";
  EXPECT_EQ(view->model()->index(row, 5).data().toString(), "100.00");

  // 30.00 of it was applied elsewhere: 120 leaves 90 unapplied, 80 then leaves 50.
  {
    store::Table table = practice().openTable("QVDEP");
    table.forEach([&](const store::Record& stored) {
      if (stored.integer("Entry Number") != entry) return;
      store::Record copy = stored;
      copy.set("Unapplied Amount", 70.0);
      table.post(copy);
    });
  }
  list->findChild<QCheckBox*>("unappliedOnly")->setChecked(false);
  view->setFocus();
  view->setCurrentIndex(view->model()->index(row, 0));
  press(Qt::Key_Return);
  deposit = waitForWindow("Deposit");
  ASSERT_NE(deposit, nullptr) << "Enter opened no deposit";
  EXPECT_EQ(labelText(*deposit, "unapplied"), "70.00");
  typeInto(*deposit, "paymentAmount", "120");
  EXPECT_EQ(labelText(*deposit, "unapplied"), "90.00");
  press(Qt::Key_F9);
  EXPECT_EQ(depositRows().at(entry).money("Unapplied Amount"), Money::fromCents(9000));
  typeInto(*deposit, "paymentAmount", "80");
  EXPECT_EQ(labelText(*deposit, "unapplied"), "50.00");
  press(Qt::Key_F9);
  EXPECT_EQ(depositRows().at(entry).money("Payment Amount"), Money::fromCents(8000));
  EXPECT_EQ(depositRows().at(entry).money("Unapplied Amount"), Money::fromCents(5000));
  press(Qt::Key_Escape);
  ASSERT_TRUE(QTest::qWaitFor([] { return shownWindow("Deposit") == nullptr; }));

  // Unapplied only: a deposit with nothing left to apply leaves the list and comes back.
  ASSERT_TRUE(backTo(*list));
  const auto listed = [&] {
    for (int n = 0; n < view->model()->rowCount(); ++n)
      if (view->model()->index(n, 0).data().toLongLong() == entry) return true;
    return false;
  };
  {
    store::Table table = practice().openTable("QVDEP");
    table.forEach([&](const store::Record& stored) {
      if (stored.integer("Entry Number") != entry) return;
      store::Record copy = stored;
      copy.set("Unapplied Amount", 0.0);
      table.post(copy);
    });
  }
  auto* unappliedOnly = list->findChild<QCheckBox*>("unappliedOnly");
  unappliedOnly->setFocus();
  press(Qt::Key_Space);
  ASSERT_TRUE(unappliedOnly->isChecked());
  EXPECT_FALSE(listed()) << "a deposit with nothing unapplied is listed under unapplied only";
  press(Qt::Key_Space);
  EXPECT_TRUE(listed());

  // Delete asks; No keeps the deposit, Yes removes it.
  ASSERT_TRUE(backTo(*list));
  view->setFocus();
  view->setCurrentIndex(view->model()->index(row, 0));
  ModalAnswers keep;
  keep.then(pressOn("No"));
  keep.run([&] { press(Qt::Key_Delete); });
  EXPECT_EQ(keep.seen().size(), 1u);
  EXPECT_TRUE(depositRows().count(entry));
  ASSERT_TRUE(backTo(*list));
  view->setFocus();
  ModalAnswers remove;
  remove.then(pressOn("Yes"));
  remove.run([&] { press(Qt::Key_Delete); });
  EXPECT_FALSE(depositRows().count(entry));
  for (int n = 0; n < view->model()->rowCount(); ++n)
    EXPECT_NE(view->model()->index(n, 0).data().toLongLong(), entry);
  list->close();
}

// One insurance check posted from an explanation of benefits in the grid, by key: amounts
// typed column by column with Enter moving on, the unapplied amount in sight and red when
// over-applied, the save booked as typed, the deposit's unapplied amount written on close, and
// the abandon question for entries not saved.
TEST_F(DepositWindowsTest, PaymentApplicationGridPostsAnExplanationOfBenefitsByKey) {
  bookOnlyWhatIsTyped();
  // A patient of one primary carrier with nothing open, and two new charges of 80.00 and
  // 50.00 on that case: Show Remainder Only then lists just those two, oldest first.
  const InsuredPatient patient = insuredPatientWithNothingOpen();
  const std::string chart = patient.chart, carrier = patient.carrier;
  const std::int64_t caseNumber = patient.caseNumber;
  ASSERT_FALSE(chart.empty()) << "the tutorial has no fully paid insured patient";
  std::vector<std::int64_t> charges;
  {
    store::Table ledger = practice().openTable("QVTRN");
    for (const auto& [date, amount] : std::vector<std::pair<std::string, std::string>>{
             {"2026-12-01", "80.00"}, {"2026-12-02", "50.00"}}) {
      store::Record charge = ledger.newRecord();
      for (const auto& [name, value] : std::vector<std::pair<std::string, std::string>>{
               {"Chart Number", chart},
               {"Case Number", std::to_string(caseNumber)},
               {"Transaction Type", "A"},
               {"Procedure Code", "99213"},
               {"Date From", date},
               {"Amount", amount},
               {"Units", "1"},
               {"Insurance 1 Responsible", "T"},
               {"Guarantor Responsible", "T"}})
        charge.setFromText(name, value);
      ledger.append(charge);
      charges.push_back(charge.integer("Entry Number"));
    }
  }
  const std::string paymentCode = codeOfType("I");
  const std::string adjustmentCode = codeOfType("T");
  const std::string deductibleCode = codeOfType("P");
  ASSERT_FALSE(deductibleCode.empty());
  ASSERT_FALSE(paymentCode.empty());
  ASSERT_FALSE(adjustmentCode.empty());

  // The carrier's check of 100.00, put down for the program date.
  std::int64_t entry = 0;
  {
    store::Table table = practice().openTable("QVDEP");
    store::Record deposit = table.newRecord();
    for (const auto& [name, value] :
         std::vector<std::pair<std::string, std::string>>{{"Description", "EOB 5120"},
                                                          {"Payor Type", "Insurance"},
                                                          {"Payment Method", "Check"},
                                                          {"Insurance Code", carrier},
                                                          {"Payor Name", "Carrier " + carrier},
                                                          {"Check Number", "5120"},
                                                          {"Payment Amount", "100.00"},
                                                          {"Unapplied Amount", "100.00"},
                                                          {"Payment Code", paymentCode},
                                                          {"Deductible Code", deductibleCode},
                                                          {"Adjustment Code", adjustmentCode}})
      deposit.setFromText(name, value);
    deposit.set("Deposit Date", application_.programDate().value());
    table.append(deposit);
    entry = deposit.integer("Entry Number");
  }
  std::int64_t linesBefore = 0;
  practice().openTable("QVTRN").forEach([&](const store::Record&) { ++linesBefore; });
  // The patient is his own guarantor and gets statements, as the case window makes a case.
  bool statementsBefore = false;
  {
    store::Table cases = practice().openTable("QVCAS");
    cases.forEach([&](const store::Record& row) {
      if (row.integer("Case Number") != caseNumber) return;
      store::Record copy = row;
      copy.set("Guarantor", chart);
      copy.set("Print Patient Statements", true);
      cases.post(copy);
    });
    practice().openTable("QVSTA").forEach([&](const store::Record&) { statementsBefore = true; });
  }

  QWidget* list = openListByKey();
  ASSERT_NE(list, nullptr);
  auto* view = list->findChild<QTableView*>("deposits");
  int row = -1;
  for (int n = 0; n < view->model()->rowCount(); ++n)
    if (view->model()->index(n, 0).data().toLongLong() == entry) row = n;
  ASSERT_GE(row, 0) << "the deposit is not listed";
  view->setFocus();
  view->setCurrentIndex(view->model()->index(row, 0));
  ASSERT_TRUE(vantrell::testing::pressAccessKey(*list, Qt::Key_A)) << "Alt+A (Apply)";
  QWidget* grid = waitForWindow("PaymentApplication");
  ASSERT_NE(grid, nullptr) << "Apply opened no payment application window";
  EXPECT_EQ(grid->windowTitle(), "Apply Payment/Adjustments to Charges");
  EXPECT_EQ(labelText(*grid, "unapplied"), "$100.00");

  // The patient, then the first charge: payment 30, deductible 10, Enter past withhold and
  // allowed, adjustment 2.50, Enter past take back, complete Y, Enter past the rejection.
  typeInto(*grid, "chart", QString::fromStdString(chart));
  press(Qt::Key_Return);
  auto* table = grid->findChild<QTableWidget*>("charges");
  ASSERT_NE(table, nullptr);
  EXPECT_GT(table->rowCount(), 2) << "the paid charges are listed too";
  EXPECT_EQ(QApplication::focusWidget(), table) << "Enter on the chart did not go to the grid";
  ASSERT_TRUE(vantrell::testing::pressAccessKey(*grid, Qt::Key_R)) << "Alt+R (Remainder Only)";
  ASSERT_EQ(table->rowCount(), 2);
  EXPECT_EQ(table->item(0, PaymentApplicationDialog::Amount)->text(), "80.00");
  EXPECT_EQ(table->item(1, PaymentApplicationDialog::Amount)->text(), "50.00");
  EXPECT_EQ(table->item(0, PaymentApplicationDialog::Payor)->text(), "Primary Carrier");
  table->setFocus();
  table->setCurrentCell(0, PaymentApplicationDialog::Payment);
  // What is typed goes into the cell, and Enter keeps it and opens the next one.
  const auto enter = [](const QString& text) {
    type(text);
    press(Qt::Key_Return);
  };
  enter("30");
  EXPECT_EQ(table->currentColumn(), PaymentApplicationDialog::Deductible);
  EXPECT_EQ(labelText(*grid, "unapplied"), "$70.00");
  enter("10");
  enter("");  // withhold
  enter("");  // allowed
  enter("2.50");
  enter("");  // take back
  enter("y");
  enter("");  // rejection
  EXPECT_EQ(table->currentRow(), 1) << "Enter in the last column did not move to the next charge";
  EXPECT_EQ(table->currentColumn(), PaymentApplicationDialog::Payment);
  EXPECT_EQ(table->item(0, PaymentApplicationDialog::Remainder)->text().toStdString(), "47.50");
  EXPECT_EQ(labelText(*grid, "unapplied"), "$70.00");  // deductible and adjustment spend nothing

  // Over-applied shows red; corrected it does not.
  enter("90");
  EXPECT_EQ(labelText(*grid, "unapplied"), "$-20.00");
  EXPECT_TRUE(shownRed(*grid, "unapplied"));
  shoot(*grid, "deposits-04-grid-over-applied.png");
  table->setCurrentCell(1, PaymentApplicationDialog::Payment);
  enter("20");
  EXPECT_EQ(labelText(*grid, "unapplied"), "$50.00");
  EXPECT_FALSE(shownRed(*grid, "unapplied"));
  shoot(*grid, "deposits-05-grid.png");

  // The first charge's note, from the Documentation window (Alt+M): kind B, typed text.
  table->setCurrentCell(0, PaymentApplicationDialog::Payment);
  ModalAnswers documenting;
  documenting.then([](QWidget& editor) {
    shoot(editor, "deposits-14-documentation.png");
    choose(editor, "documentationType", 6);  // B, after the six EDI kinds
    typeInto(editor, "documentationText", "EOB on file");
    press(Qt::Key_Return);
  });
  documenting.run([&] { ASSERT_TRUE(vantrell::testing::pressAccessKey(*grid, Qt::Key_M)); });
  ASSERT_TRUE(backTo(*grid));
  EXPECT_EQ(table->item(0, PaymentApplicationDialog::Documentation)->text(), "B: EOB on file");
  shoot(*grid, "deposits-15-grid-documentation.png");

  // F9 saves with Print Statement Now (Alt+P): payment, deductible and adjustment lines for
  // the first charge, a payment for the second, the primary carrier's buckets and the first
  // charge complete; then the create dialog (Create) and the new statement in the preview.
  ASSERT_TRUE(vantrell::testing::pressAccessKey(*grid, Qt::Key_P)) << "Alt+P (Print Statement Now)";
  ModalAnswers saving;
  saving.then([](QWidget& create) {
    EXPECT_EQ(create.objectName(), "CreateStatements");
    ASSERT_TRUE(vantrell::testing::pressAccessKey(create, Qt::Key_C)) << "Alt+C (Create)";
  });
  if (!statementsBefore) saving.then(pressOn("No"));  // the first statements' zero-total question
  saving.run([&] { press(Qt::Key_F9); });
  PdfPreviewWindow* preview = nullptr;
  ASSERT_TRUE(QTest::qWaitFor([&] {
    return (preview = qobject_cast<PdfPreviewWindow*>(shownWindow("PdfPreview"))) != nullptr;
  })) << "the save opened no statement preview";
  ASSERT_TRUE(QTest::qWaitForWindowExposed(preview));
  ASSERT_TRUE(QTest::qWaitFor([&] { return preview->isLoaded(); }));
  EXPECT_GE(preview->pageCount(), 1);
  shoot(*preview, "deposits-16-statement-preview.png");
  preview->close();
  ASSERT_TRUE(backTo(*grid));
  std::map<std::int64_t, store::Record> after;
  std::vector<Money> newAmounts;
  std::int64_t lines = 0;
  practice().openTable("QVTRN").forEach([&](const store::Record& line) {
    ++lines;
    after.emplace(line.integer("Entry Number"), line);
  });
  EXPECT_EQ(lines, linesBefore + 4);
  Money booked;
  for (const auto& [number, line] : after)
    if (trimmed(line.text("Transaction Type")) >= "I" && line.integer("Deposit ID") == entry)
      booked += line.money("Amount");
  // 30 + 2.50 + 20 as credits; the deductible's line carries its amount in words only.
  EXPECT_EQ(booked, Money::fromCents(-5250));
  const store::Record& first = after.at(charges[0]);
  const store::Record& second = after.at(charges[1]);
  Money firstOpen = first.money("Amount"), secondOpen = second.money("Amount");
  for (const char* part :
       {"Guarantor Amount Paid", "Insurance 1 Amount Paid", "Insurance 2 Amount Paid",
        "Insurance 3 Amount Paid", "Attorney Amount Paid", "Adjustment Amount"}) {
    firstOpen += first.money(part);
    secondOpen += second.money(part);
  }
  EXPECT_EQ(firstOpen, Money::fromCents(4750));   // 80 - 30 - 2.50
  EXPECT_EQ(secondOpen, Money::fromCents(3000));  // 50 - 20
  EXPECT_EQ(first.money("Insurance 1 Amount Paid"), Money::fromCents(-3000));
  EXPECT_EQ(first.money("Adjustment Amount"), Money::fromCents(-250));
  EXPECT_TRUE(first.logical("Insurance 1 Paid"));
  EXPECT_FALSE(second.logical("Insurance 1 Paid"));
  EXPECT_EQ(trimmed(first.text("Documentation Type")), "B");
  EXPECT_EQ(first.text("Documentation"), "EOB on file");
  // Both charges are on the one new statement, under the patient's chart.
  std::int64_t newest = 0;
  practice().openTable("QVSTA").forEach([&](const store::Record& statement) {
    newest = std::max(newest, statement.integer("Statement Number"));
  });
  EXPECT_GT(newest, 0);
  EXPECT_EQ(first.integer("Statement Number"), newest);
  EXPECT_EQ(second.integer("Statement Number"), newest);
  EXPECT_EQ(depositRows().at(entry).money("Unapplied Amount"), Money::fromCents(10000))
      << "the deposit is written when the window closes, not before";

  // Apply To Oldest spends the 50.00 left on the remainders 47.50 and 30.00, oldest first.
  EXPECT_EQ(table->item(0, PaymentApplicationDialog::Remainder)->text(), "47.50");
  EXPECT_EQ(table->item(1, PaymentApplicationDialog::Remainder)->text(), "30.00");
  EXPECT_EQ(table->item(0, PaymentApplicationDialog::Payment)->text(), "") << "saved, not typed";
  ModalAnswers oldest;
  oldest.then(pressOn("OK"));
  oldest.run([&] { ASSERT_TRUE(vantrell::testing::pressAccessKey(*grid, Qt::Key_O)); });
  ASSERT_EQ(oldest.seen().size(), 1u);
  EXPECT_EQ(oldest.seen()[0], "This Deposit has been fully applied.");
  ASSERT_TRUE(backTo(*grid));
  EXPECT_EQ(table->item(0, PaymentApplicationDialog::Payment)->text(), "47.50");
  EXPECT_EQ(table->item(1, PaymentApplicationDialog::Payment)->text(), "2.50");
  EXPECT_EQ(table->item(1, PaymentApplicationDialog::Remainder)->text(), "27.50");
  EXPECT_EQ(labelText(*grid, "unapplied"), "$0.00");

  // Not saved: Escape asks; No stays, Yes leaves it unbooked.
  table->setFocus();
  ModalAnswers stay;
  stay.then(pressOn("No"));
  stay.run([&] { press(Qt::Key_Escape); });
  ASSERT_EQ(stay.seen().size(), 1u);
  EXPECT_EQ(stay.seen()[0], "Do you want to abandon your changes?");
  ASSERT_TRUE(grid->isVisible()) << "No closed the window";
  ASSERT_TRUE(backTo(*grid));
  ModalAnswers leave;
  leave.then(pressOn("Yes"));
  leave.run([&] { press(Qt::Key_Escape); });
  ASSERT_TRUE(QTest::qWaitFor([] { return shownWindow("PaymentApplication") == nullptr; }));
  // What was saved stays spent; the abandoned 50.00 was never booked.
  EXPECT_EQ(depositRows().at(entry).money("Unapplied Amount"), Money::fromCents(5000));
  std::int64_t linesAfter = 0;
  practice().openTable("QVTRN").forEach([&](const store::Record&) { ++linesAfter; });
  EXPECT_EQ(linesAfter, linesBefore + 4);
  ASSERT_TRUE(backTo(*list));
  EXPECT_EQ(view->model()->index(view->currentIndex().row(), 5).data().toString(), "50.00");
  list->close();
}

// Apply holds the deposit while the grid is open; the grid offers the carrier's codes in its
// code boxes, remembers its four check boxes, lists what is typed (List Only) and what was
// written (View So Far); the list's Detail shows what each payment line applied.
TEST_F(DepositWindowsTest, ApplyHoldsTheDepositAndTheGridOffersCodesChoicesAndLists) {
  bookOnlyWhatIsTyped();
  // A charge on an insured case, the carrier of that case paying it.
  std::map<std::pair<std::string, std::int64_t>, std::string> carrierOf;
  practice().openTable("QVCAS").forEach([&](const store::Record& row) {
    carrierOf[{trimmed(row.text("Chart Number")), row.integer("Case Number")}] =
        trimmed(row.text("Insurance Carrier #1"));
  });
  std::string chart, carrier;
  std::int64_t charge = 0;
  practice().openTable("QVTRN").forEach([&](const store::Record& row) {
    const std::string kind = trimmed(row.text("Transaction Type"));
    const std::string& payer =
        carrierOf[{trimmed(row.text("Chart Number")), row.integer("Case Number")}];
    if (!chart.empty() || kind.empty() || kind >= "I" || payer.empty()) return;
    chart = trimmed(row.text("Chart Number"));
    carrier = payer;
    charge = row.integer("Entry Number");
  });
  ASSERT_FALSE(chart.empty()) << "the tutorial has no insured charge";
  const std::string paymentCode = codeOfType("I");
  const std::string adjustmentCode = codeOfType("T");
  ASSERT_FALSE(paymentCode.empty());
  ASSERT_FALSE(adjustmentCode.empty());
  std::int64_t entry = 0;
  {
    store::Table table = practice().openTable("QVDEP");
    store::Record deposit = table.newRecord();
    for (const auto& [name, value] :
         std::vector<std::pair<std::string, std::string>>{{"Description", "EOB 88"},
                                                          {"Payor Type", "Insurance"},
                                                          {"Payment Method", "Check"},
                                                          {"Insurance Code", carrier},
                                                          {"Payment Amount", "100.00"},
                                                          {"Unapplied Amount", "100.00"},
                                                          {"Payment Code", paymentCode}})
      deposit.setFromText(name, value);
    deposit.set("Deposit Date", application_.programDate().value());
    table.append(deposit);
    entry = deposit.integer("Entry Number");
  }
  vantrell::testing::ScriptedPrompter refused{};
  const deposits::DepositSurroundings here{practice(), refused, nullptr,
                                           [] { return Date::fromYmd(2026, 12, 5); }};

  QWidget* list = openListByKey();
  ASSERT_NE(list, nullptr);
  auto* view = list->findChild<QTableView*>("deposits");
  const auto chooseDeposit = [&] {
    for (int n = 0; n < view->model()->rowCount(); ++n)
      if (view->model()->index(n, 0).data().toLongLong() == entry)
        view->setCurrentIndex(view->model()->index(n, 0));
    view->setFocus();
  };
  chooseDeposit();
  ASSERT_TRUE(vantrell::testing::pressAccessKey(*list, Qt::Key_A)) << "Alt+A (Apply)";
  QWidget* grid = waitForWindow("PaymentApplication");
  ASSERT_NE(grid, nullptr);
  EXPECT_EQ(deposits::DepositForApplying::hold(here, entry), nullptr)
      << "the deposit is not held while the grid is open";
  EXPECT_EQ(refused.transcript(),
            std::vector<std::string>{
                "error: The current record is in use.  This process cannot complete."});

  // Each code box offers only the carrier's codes of its kind and starts from the deposit's.
  std::map<std::string, std::string> typeOf;
  practice().openTable("QVPRO").forEach([&](const store::Record& row) {
    typeOf[trimmed(row.text("Code 1"))] = trimmed(row.text("Type"));
  });
  for (const auto& [name, type] : std::vector<std::pair<const char*, std::string>>{
           {"paymentCode", "I"}, {"adjustmentCode", "T"}, {"takeBackCode", "V"}}) {
    auto* box = grid->findChild<QComboBox*>(name);
    ASSERT_NE(box, nullptr) << name;
    EXPECT_EQ(box->count() > 1, !codeOfType(type).empty()) << name;
    for (int n = 1; n < box->count(); ++n)
      EXPECT_EQ(typeOf[box->itemText(n).toStdString()], type) << name;
  }
  EXPECT_EQ(grid->findChild<QComboBox*>("paymentCode")->currentText().toStdString(), paymentCode);
  typeCode(*grid, "adjustmentCode", QString::fromStdString(adjustmentCode).toLower().toStdString());
  EXPECT_EQ(static_cast<PaymentApplicationDialog*>(grid)->model().codes().adjustment,
            adjustmentCode);

  // Alt+C ticks Alert When Claims Are Done; it is remembered for this user.
  ASSERT_TRUE(vantrell::testing::pressAccessKey(*grid, Qt::Key_C));
  EXPECT_EQ(settings_.read(deposits::paymentApplicationSettingsKey, "Show Done Claims"), "1");
  EXPECT_EQ(settings_.read(deposits::paymentApplicationSettingsKey, "Bill Remaining Insurances"),
            "0");

  // 1.00 on the charge; List Only shows it before the save, View So Far the line after it.
  typeInto(*grid, "chart", QString::fromStdString(chart));
  press(Qt::Key_Return);
  auto* table = grid->findChild<QTableWidget*>("charges");
  const auto& rows = static_cast<PaymentApplicationDialog*>(grid)->model().rows();
  int row = -1;
  for (std::size_t n = 0; n < rows.size(); ++n)
    if (rows[n].charge.integer("Entry Number") == charge) row = static_cast<int>(n);
  ASSERT_GE(row, 0);
  table->setCurrentCell(row, PaymentApplicationDialog::Payment);
  type("1");
  press(Qt::Key_Return);
  shoot(*grid, "deposits-10-grid-codes-and-choices.png");
  ASSERT_TRUE(vantrell::testing::pressAccessKey(*grid, Qt::Key_N)) << "Alt+N (List Only)";
  QWidget* typed = waitForWindow("ListOnly");
  ASSERT_NE(typed, nullptr);
  auto* typedLines = typed->findChild<QTableWidget*>("lines");
  ASSERT_EQ(typedLines->rowCount(), 1);
  EXPECT_EQ(typedLines->item(0, 3)->text(), "1.00");
  shoot(*typed, "deposits-11-list-only.png");
  press(Qt::Key_Escape);
  ASSERT_TRUE(QTest::qWaitFor([] { return shownWindow("ListOnly") == nullptr; }));
  ASSERT_TRUE(backTo(*grid));
  press(Qt::Key_F9);
  ASSERT_TRUE(vantrell::testing::pressAccessKey(*grid, Qt::Key_V)) << "Alt+V (View So Far)";
  QWidget* written = waitForWindow("ViewSoFar");
  ASSERT_NE(written, nullptr);
  auto* writtenLines = written->findChild<QTableWidget*>("lines");
  ASSERT_EQ(writtenLines->rowCount(), 1);
  EXPECT_EQ(writtenLines->item(0, 1)->text().toStdString(), chart);
  EXPECT_EQ(writtenLines->item(0, 6)->text(), "-1.00");
  shoot(*written, "deposits-12-view-so-far.png");
  press(Qt::Key_Escape);
  ASSERT_TRUE(QTest::qWaitFor([] { return shownWindow("ViewSoFar") == nullptr; }));

  // Closed, the deposit is let go with 99.00 left; reopened, the ticked box is still ticked.
  ASSERT_TRUE(backTo(*grid));
  press(Qt::Key_Escape);
  ASSERT_TRUE(QTest::qWaitFor([] { return shownWindow("PaymentApplication") == nullptr; }));
  EXPECT_EQ(depositRows().at(entry).money("Unapplied Amount"), Money::fromCents(9900));
  EXPECT_NE(deposits::DepositForApplying::hold(here, entry), nullptr);
  ASSERT_TRUE(backTo(*list));
  chooseDeposit();
  ASSERT_TRUE(vantrell::testing::pressAccessKey(*list, Qt::Key_A));
  grid = waitForWindow("PaymentApplication");
  ASSERT_NE(grid, nullptr);
  EXPECT_TRUE(grid->findChild<QCheckBox*>("alertClaimsDone")->isChecked());
  EXPECT_FALSE(grid->findChild<QCheckBox*>("printStatements")->isChecked());
  press(Qt::Key_Escape);
  ASSERT_TRUE(QTest::qWaitFor([] { return shownWindow("PaymentApplication") == nullptr; }));

  // Detail: the one payment line, all of it applied.
  ASSERT_TRUE(backTo(*list));
  chooseDeposit();
  ASSERT_TRUE(vantrell::testing::pressAccessKey(*list, Qt::Key_T)) << "Alt+T (Detail)";
  QWidget* detail = waitForWindow("DepositDetail");
  ASSERT_NE(detail, nullptr);
  auto* detailLines = detail->findChild<QTableWidget*>("lines");
  ASSERT_EQ(detailLines->rowCount(), 1);
  EXPECT_EQ(detailLines->item(0, 1)->text().toStdString(), chart);
  EXPECT_EQ(detailLines->item(0, 7)->text(), "-1.00");
  EXPECT_EQ(detailLines->item(0, 8)->text(), "-1.00");
  shoot(*detail, "deposits-13-detail.png");
  press(Qt::Key_Escape);
  list->close();
}

// Bill Remaining Insurances Now (Alt+I) with a save that finishes the primary carrier's part of
// a claim whose secondary waits on paper: the paper options come with the secondary fixed, the
// claim's form is shown in the preview, and the claim is marked Sent for its secondary.
TEST_F(DepositWindowsTest, BillRemainingInsurancesNowShowsTheDueClaimsFormAndBillsIt) {
  bookOnlyWhatIsTyped();
  {
    store::Table options = practice().openTable("QVOPT");
    options.forEach([&](const store::Record& row) {
      store::Record copy = row;
      copy.set("Mark Completed Claims Done", true);
      options.post(copy);
      application_.practice()->options = practice::Options(copy);
    });
  }
  const InsuredPatient patient = insuredPatientWithNothingOpen();
  ASSERT_FALSE(patient.chart.empty()) << "the tutorial has no fully paid insured patient";
  std::string secondary;
  practice().openTable("QVINS").forEach([&](const store::Record& row) {
    if (secondary.empty() && trimmed(row.text("Code")) != patient.carrier)
      secondary = trimmed(row.text("Code"));
  });
  ASSERT_FALSE(secondary.empty());
  {
    store::Table cases = practice().openTable("QVCAS");
    cases.forEach([&](const store::Record& row) {
      if (row.integer("Case Number") != patient.caseNumber) return;
      store::Record copy = row;
      copy.set("Insurance Carrier #2", secondary);
      cases.post(copy);
    });
  }
  // The claim: sent to the primary, its secondary Ready to Send on paper; one charge of 80.00.
  const auto insert = [&](const char* name,
                          const std::vector<std::pair<std::string, std::string>>& fields) {
    store::Table table = practice().openTable(name);
    store::Record row = table.newRecord();
    for (const auto& [field, value] : fields) row.setFromText(field, value);
    if (std::string(name) == "QVDEP") row.set("Deposit Date", application_.programDate().value());
    table.append(row);
    return row;
  };
  const std::int64_t claim = insert("QVCLA", {{"Chart Number", patient.chart},
                                              {"Case Number", std::to_string(patient.caseNumber)},
                                              {"Insurance Carrier 1", patient.carrier},
                                              {"Insurance Carrier 2", secondary},
                                              {"Claim Status 1", "2"},
                                              {"Claim Status 2", "1"},
                                              {"Secondary Billing Method", "P"}})
                                 .integer("Claim Number");
  insert("QVTRN", {{"Chart Number", patient.chart},
                   {"Case Number", std::to_string(patient.caseNumber)},
                   {"Transaction Type", "A"},
                   {"Procedure Code", "99213"},
                   {"Date From", "2026-12-01"},
                   {"Amount", "80.00"},
                   {"Units", "1"},
                   {"Claim Number", std::to_string(claim)},
                   {"Insurance 1 Responsible", "T"},
                   {"Insurance 2 Responsible", "T"},
                   {"Guarantor Responsible", "T"}});
  const std::int64_t entry = insert("QVDEP", {{"Description", "EOB 7310"},
                                              {"Payor Type", "Insurance"},
                                              {"Payment Method", "Check"},
                                              {"Insurance Code", patient.carrier},
                                              {"Check Number", "7310"},
                                              {"Payment Amount", "80.00"},
                                              {"Unapplied Amount", "80.00"},
                                              {"Payment Code", codeOfType("I")}})
                                 .integer("Entry Number");

  QWidget* list = openListByKey();
  ASSERT_NE(list, nullptr);
  auto* view = list->findChild<QTableView*>("deposits");
  for (int n = 0; n < view->model()->rowCount(); ++n)
    if (view->model()->index(n, 0).data().toLongLong() == entry)
      view->setCurrentIndex(view->model()->index(n, 0));
  view->setFocus();
  ASSERT_TRUE(vantrell::testing::pressAccessKey(*list, Qt::Key_A)) << "Alt+A (Apply)";
  QWidget* grid = waitForWindow("PaymentApplication");
  ASSERT_NE(grid, nullptr) << "Apply opened no payment application window";
  typeInto(*grid, "chart", QString::fromStdString(patient.chart));
  press(Qt::Key_Return);
  ASSERT_TRUE(vantrell::testing::pressAccessKey(*grid, Qt::Key_R)) << "Alt+R (Remainder Only)";
  auto* table = grid->findChild<QTableWidget*>("charges");
  ASSERT_EQ(table->rowCount(), 1);
  table->setFocus();
  table->setCurrentCell(0, PaymentApplicationDialog::Payment);
  for (const char* typed : {"80", "", "", "", "", "", "y"}) {
    type(typed);
    press(Qt::Key_Return);
  }
  ASSERT_TRUE(vantrell::testing::pressAccessKey(*grid, Qt::Key_I))
      << "Alt+I (Bill Remaining Insurances Now)";
  ASSERT_TRUE(grid->findChild<QCheckBox*>("billRemaining")->isChecked());

  // F9: the paper options for the secondary, OK (Alt+O), then what was billed.
  ModalAnswers saving;
  saving.then([](QWidget& options) {
    EXPECT_EQ(options.objectName(), "ClaimPrintSend");
    EXPECT_EQ(options.windowTitle(), "Bill Remaining Insurances");
    auto* slot = options.findChild<QComboBox*>("slot");
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(slot->currentText(), "Secondary");
    EXPECT_FALSE(slot->isEnabled());
    shoot(options, "deposits-17-bill-remaining-options.png");
    ASSERT_TRUE(vantrell::testing::pressAccessKey(options, Qt::Key_O)) << "Alt+O (OK)";
  });
  saving.then(pressOn("OK"));
  saving.run([&] { press(Qt::Key_F9); });
  ASSERT_EQ(saving.seen().size(), 1u);
  EXPECT_EQ(saving.seen()[0].rfind("1 claim(s) marked Sent; batch ", 0), 0u) << saving.seen()[0];
  PdfPreviewWindow* preview = nullptr;
  ASSERT_TRUE(QTest::qWaitFor([&] {
    return (preview = qobject_cast<PdfPreviewWindow*>(shownWindow("PdfPreview"))) != nullptr;
  })) << "the save opened no claim form preview";
  EXPECT_EQ(preview->windowTitle(), "Claims: 1 form(s)");
  ASSERT_TRUE(QTest::qWaitFor([&] { return preview->isLoaded(); }));
  EXPECT_EQ(preview->pageCount(), 1);
  shoot(*preview, "deposits-18-bill-remaining-preview.png");
  preview->close();

  std::optional<store::Record> billed;
  practice().openTable("QVCLA").forEach([&](const store::Record& row) {
    if (row.integer("Claim Number") == claim) billed = row;
  });
  ASSERT_TRUE(billed.has_value());
  EXPECT_EQ(trimmed(billed->text("Claim Status 1")), "6");
  EXPECT_EQ(trimmed(billed->text("Claim Status 2")), "2");
  EXPECT_EQ(billed->integer("Secondary Submission Cnt"), 1);
  EXPECT_GT(billed->integer("Batch Number 2"), 0);
  EXPECT_EQ(billed->date("Secondary Billing Date"), application_.programDate().value());
  ASSERT_TRUE(backTo(*grid));
  press(Qt::Key_Escape);
  ASSERT_TRUE(QTest::qWaitFor([] { return shownWindow("PaymentApplication") == nullptr; }));
  list->close();
}

// The list reads a date's deposits a page at a time, in the order chosen, and only that date's.
TEST_F(DepositWindowsTest, ListShowsOneDateAPageAtATimeInTheChosenOrder) {
  // 130 deposits of 12/03/2026, amounts 1.00 ... 130.00 put down in a shuffled order (37 is
  // prime to 130), and one of 12/04/2026.
  {
    store::Table table = practice().openTable("QVDEP");
    const auto put = [&](const char* date, int dollars) {
      store::Record deposit = table.newRecord();
      for (const auto& [name, value] : std::vector<std::pair<std::string, std::string>>{
               {"Deposit Date", date},
               {"Description", "Batch " + std::to_string(2000 - dollars)},
               {"Payor Type", "Patient"},
               {"Payment Method", "Cash"},
               {"Payment Amount", std::to_string(dollars) + ".00"},
               {"Unapplied Amount", std::to_string(dollars) + ".00"}})
        deposit.setFromText(name, value);
      table.append(deposit);
    };
    for (int n = 0; n < 130; ++n) put("2026-12-03", (n * 37) % 130 + 1);
    put("2026-12-04", 500);
  }
  QWidget* list = openListByKey();
  ASSERT_NE(list, nullptr);
  auto* view = list->findChild<QTableView*>("deposits");
  typeInto(*list, "depositDate", "12/03/2026");
  press(Qt::Key_Tab);
  EXPECT_EQ(labelText(*list, "count"), "There are 130 deposits.");
  EXPECT_EQ(view->model()->rowCount(), 100) << "the first page only";

  // Sorted by amount, scrolling to the end reads the rest: 1.00 to 130.00 in order.
  auto* order = list->findChild<QComboBox*>("sortOrder");
  ASSERT_NE(order, nullptr);
  const int byAmount = order->findText("Amount");
  ASSERT_GE(byAmount, 0);
  choose(*list, "sortOrder", byAmount);
  view->setFocus();
  ASSERT_EQ(view->model()->rowCount(), 100);
  press(Qt::Key_End, Qt::ControlModifier);
  QTest::qWait(50);
  press(Qt::Key_End, Qt::ControlModifier);
  ASSERT_EQ(view->model()->rowCount(), 130) << "scrolling did not read the second page";
  for (int row = 0; row < 130; ++row)
    ASSERT_EQ(view->model()->index(row, 4).data().toString().toStdString(),
              std::to_string(row + 1) + ".00")
        << "row " << row;
  shoot(*list, "deposits-06-list-by-amount.png");

  // The other date shows its one deposit.
  typeInto(*list, "depositDate", "12/04/2026");
  press(Qt::Key_Tab);
  ASSERT_EQ(view->model()->rowCount(), 1);
  EXPECT_EQ(view->model()->index(0, 4).data().toString(), "500.00");
  EXPECT_EQ(labelText(*list, "count"), "There is 1 deposit.");
  list->close();
}

}  // namespace
}  // namespace vantrell::desktop
