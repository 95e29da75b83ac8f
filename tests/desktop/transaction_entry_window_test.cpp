#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <map>
#include <set>

#include "accounts/case_window.hpp"
#include "accounts/patient_window.hpp"
#include "apply_dialog_window.hpp"
#include "desktop_fixture.hpp"
#include "modal_answers.hpp"
#include "reference/code_window.hpp"
#include "transaction_entry_window.hpp"
#include "transactions/balances.hpp"

namespace vantrell::desktop {
namespace {

using vantrell::testing::ModalAnswers;

// A message box nobody in the test expects is written down and closed after a
// while, so that a wrong turn fails the test instead of hanging it.
class UnexpectedMessages {
 public:
  UnexpectedMessages() {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr || box != waiting_) {
        waiting_ = box;
        ticks_ = 0;
        return;
      }
      if (++ticks_ < 10) return;
      texts_.push_back(box->text().toStdString());
      box->reject();
    });
    timer_.start(100);
  }
  const std::vector<std::string>& texts() const { return texts_; }

 private:
  QTimer timer_;
  QMessageBox* waiting_ = nullptr;
  int ticks_ = 0;
  std::vector<std::string> texts_;
};

// The visible top-level window of that name, or null.
QWidget* shownWindow(const QString& name) {
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (window->objectName() == name && window->isVisible()) return window;
  }
  return nullptr;
}

class TransactionEntryWindowTest : public DesktopTest {
 protected:
  // The tutorial practice: provider DJ, carrier MC, diagnosis I10, and 99213 at 80.00 in Amount A.
  void SetUp() override {
    ASSERT_TRUE(window_.start(options()));
    accounts::PatientWindow patient(practice(), prompter_, clock_, application_.security(), false);
    ASSERT_TRUE(patient.startNew());
    ASSERT_TRUE(patient.setFields(
        {{"Last Name", "Lane"}, {"First Name", "Ruth"}, {"Date of Birth", "1970-02-03"}}));
    ASSERT_TRUE(patient.save());
    chart_ = patient.record().text("Chart Number");
    accounts::CaseWindow made(practice(), prompter_, clock_, application_.security());
    ASSERT_TRUE(made.startNew(chart_));
    // No price code: the first priced line gives the case "A".
    ASSERT_TRUE(made.setFields({{"Description", "Knee sprain"},
                                {"Assigned Provider", "DJ"},
                                {"Insurance Carrier #1", "MC"},
                                {"Policy Number #1", "ABC123"},
                                {"Percent Covered A #1", "80"},
                                {"Diagnosis 1", "I10"}}));
    ASSERT_TRUE(made.saveAndClose());
  }

  store::Connection& practice() { return *application_.practice()->connection; }

  transactions::TransactionEntryWindow::Surroundings surroundings(
      const practice::Options& options) {
    auto& open = *application_.practice();
    return {practice(),
            options,
            prompter_,
            clock_,
            open.security.get(),
            [this] { return application_.programDate().value(); },
            transactions::Ledger::Transactions};
  }

  practice::Options optionsWith(std::initializer_list<std::pair<const char*, bool>> flags) {
    store::Record record = application_.practice()->options.record();
    for (const auto& [flag, on] : flags) record.set(flag, on);
    return practice::Options(record);
  }

  // The entries of the test's patient (the practice may hold other patients' ledgers).
  std::vector<store::Record> ledger() {
    std::vector<store::Record> rows;
    store::Table table = practice().openTable("QVTRN");
    table.setOrder("Primary");
    table.forEach([&](const store::Record& row) {
      if (row.text("Chart Number") == chart_) rows.push_back(row);
    });
    return rows;
  }

  // Each key goes where the focus is then: the first key typed on a cell opens it for typing.
  static void type(const QString& text) {
    for (const QChar key : text) QTest::keyClicks(QApplication::focusWidget(), QString(key));
  }
  static void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(key), modifiers);
  }

  // Chooses the chart from the keyboard: the patient's only case comes with it.
  static void chooseChart(TransactionEntryWindow& entry, const std::string& chart) {
    auto* edit = field(entry, "chart");
    edit->setFocus();
    QTest::keyClicks(edit, QString::fromStdString(chart).toLower());
    QTest::keyClick(edit, Qt::Key_Return);
  }

  static QString cell(TransactionEntryWindow& entry, int row, int column,
                      const char* grid = "charges") {
    return entry.findChild<QTableView*>(grid)->model()->index(row, column).data().toString();
  }
  static QString paymentCell(TransactionEntryWindow& entry, int row, int column) {
    return cell(entry, row, column, "payments");
  }
  // The keyboard back on the window after a dialog (the offscreen platform has no window manager
  // to give it back).
  static bool backTo(QWidget& window) {
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window);
  }
  // Puts the keyboard on a cell of a grid, ready for typing.
  static void goTo(TransactionEntryWindow& entry, const char* grid, int row, int column) {
    auto* view = entry.findChild<QTableView*>(grid);
    view->setFocus();
    view->setCurrentIndex(view->model()->index(row, column));
  }

  void addPaymentCode(const char* code, const char* type, const char* description) {
    reference::CodeWindow codes(practice(), *reference::findCodeTable("code"), prompter_, clock_,
                                application_.security());
    ASSERT_TRUE(codes.startNew());
    ASSERT_TRUE(codes.setFields({{"Code 1", code}, {"Type", type}, {"Description", description}}));
    ASSERT_TRUE(codes.save());
  }

  // Posts charges from the keyboard, each priced by its code.
  static void postCharges(std::initializer_list<const char*> codes) {
    for (const char* code : codes) {
      press(Qt::Key_Insert);
      type(code);
      press(Qt::Key_Tab);
    }
    press(Qt::Key_Escape);
  }

  // The application rows of the test patient's payments.
  std::vector<store::Record> applications() {
    std::set<std::int64_t> entries;
    for (const auto& row : ledger()) entries.insert(row.integer("Entry Number"));
    std::vector<store::Record> rows;
    store::Table table = practice().openTable("QVPAX");
    table.forEach([&](const store::Record& row) {
      if (entries.count(row.integer("Payment Reference")) > 0) rows.push_back(row);
    });
    return rows;
  }

  std::string chart_;
  UnexpectedMessages unexpected_;
};

TEST_F(TransactionEntryWindowTest, AVisitIsPostedAndSavedFromTheKeyboardAlone) {
  const practice::Options options = optionsWith({{"Multiply Units Times Amt.", false}});
  TransactionEntryWindow entry(surroundings(options), &window_);
  entry.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&entry));
  chooseChart(entry, chart_);
  EXPECT_EQ(entry.findChild<QLabel*>("patientName")->text(), "Lane, Ruth");
  auto* caseList = entry.findChild<QComboBox*>("case");
  ASSERT_EQ(caseList->count(), 1);
  EXPECT_TRUE(caseList->currentText().endsWith(" - Knee sprain"))
      << caseList->currentText().toStdString();
  ASSERT_TRUE(entry.model().isLoaded());

  // Ins opens a new line on its procedure code; Tab takes the code and prices the line.
  press(Qt::Key_Insert);
  type("99213");
  press(Qt::Key_Tab);
  EXPECT_EQ(cell(entry, 0, ChargeGridModel::Procedure), "99213");
  EXPECT_EQ(cell(entry, 0, ChargeGridModel::DateFrom), "12/05/2026");
  EXPECT_EQ(cell(entry, 0, ChargeGridModel::Units), "1");
  EXPECT_EQ(cell(entry, 0, ChargeGridModel::Total), "80.00");
  EXPECT_EQ(cell(entry, 0, ChargeGridModel::Diagnosis1), "I10");
  EXPECT_EQ(cell(entry, 0, ChargeGridModel::Provider), "DJ");
  EXPECT_EQ(cell(entry, 0, ChargeGridModel::Remainder), "80.00");
  // Tab went on to the units, open for typing; Enter takes them and goes on as Tab does.
  type("2");
  press(Qt::Key_Return);
  QApplication::processEvents();  // Enter hands the cell over from the next turn of the event loop
  EXPECT_EQ(cell(entry, 0, ChargeGridModel::Units), "2");
  EXPECT_EQ(entry.findChild<QTableView*>("charges")->currentIndex().column(),
            ChargeGridModel::UnitAmount);

  press(Qt::Key_F9);
  const auto rows = ledger();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].text("Chart Number"), chart_);
  EXPECT_EQ(rows[0].text("Procedure Code"), "99213");
  EXPECT_EQ(rows[0].text("Transaction Type"), "A");
  EXPECT_EQ(rows[0].number("Units"), 2.0);
  // Units do not multiply the price unless the practice says so.
  EXPECT_EQ(rows[0].money("Amount"), Money::fromCents(8000));
  EXPECT_EQ(rows[0].text("Attending Provider"), "DJ");
  EXPECT_EQ(rows[0].text("Price Indicator"), "A");
  // The saved line is shown as stored, and the window has nothing left to save.
  EXPECT_EQ(cell(entry, 0, ChargeGridModel::Total), "80.00");
  EXPECT_FALSE(entry.model().workingSet().hasUnsavedLines());
  EXPECT_EQ(unexpected_.texts(), std::vector<std::string>{});
  entry.close();
}

TEST_F(TransactionEntryWindowTest, TheAmountColumnIsPerUnitAndTheTotalIsTheLinesAmount) {
  const practice::Options options = optionsWith({{"Multiply Units Times Amt.", true}});
  TransactionEntryWindow entry(surroundings(options), &window_);
  entry.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&entry));
  chooseChart(entry, chart_);
  press(Qt::Key_N, Qt::ControlModifier);
  type("99213");
  press(Qt::Key_Tab);
  type("3");
  press(Qt::Key_Tab);
  EXPECT_EQ(cell(entry, 0, ChargeGridModel::Total), "240.00");
  EXPECT_EQ(cell(entry, 0, ChargeGridModel::UnitAmount), "80.00");
  // A new amount per unit is multiplied out; a new total stands as typed.
  type("70");
  press(Qt::Key_Tab);
  EXPECT_EQ(cell(entry, 0, ChargeGridModel::Total), "210.00");
  type("200");
  press(Qt::Key_Tab);
  EXPECT_EQ(cell(entry, 0, ChargeGridModel::Total), "200.00");
  EXPECT_EQ(cell(entry, 0, ChargeGridModel::UnitAmount), "66.67");
  // The modifiers are typed in one cell, blank-separated.
  auto* grid = entry.findChild<QTableView*>("charges");
  grid->setCurrentIndex(grid->model()->index(0, ChargeGridModel::Modifiers));
  type("25 59");
  press(Qt::Key_Tab);
  EXPECT_EQ(entry.model().charges()[0].row.text("Modifier 1"), "25");
  EXPECT_EQ(entry.model().charges()[0].row.text("Modifier 2"), "59");
  EXPECT_EQ(cell(entry, 0, ChargeGridModel::Modifiers), "25 59   ");
  press(Qt::Key_S, Qt::ControlModifier);
  const auto rows = ledger();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].money("Amount"), Money::fromCents(20000));
  EXPECT_EQ(unexpected_.texts(), std::vector<std::string>{});
  entry.close();
}

TEST_F(TransactionEntryWindowTest, DeletingAndLeavingAskTheSystemsQuestions) {
  const practice::Options options = application_.practice()->options;
  auto entry = std::make_unique<TransactionEntryWindow>(surroundings(options), &window_);
  entry->show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(entry.get()));
  chooseChart(*entry, chart_);
  for (const char* code : {"99213", "99213"}) {
    press(Qt::Key_Insert);
    type(code);
    press(Qt::Key_Tab);
  }
  ASSERT_EQ(entry->model().charges().size(), 2u);
  // Del on the grid (not in a cell being typed in) deletes the charge after asking.
  press(Qt::Key_Escape);
  ModalAnswers answers;
  answers.then(ModalAnswers::clickButton("Yes"));
  answers.run([&] { QTest::keyClick(entry->findChild<QTableView*>("charges"), Qt::Key_Delete); });
  EXPECT_EQ(answers.seen(),
            std::vector<std::string>{"Are you sure you want to delete this charge?"});
  EXPECT_EQ(entry->model().charges().size(), 1u);
  EXPECT_EQ(entry->findChild<QTableView*>("charges")->model()->rowCount(), 1);

  // Closing with a line not saved asks; No leaves the ledger as it was.
  ModalAnswers leaving;
  leaving.then(ModalAnswers::clickButton("No"));
  leaving.run([&] { entry->close(); });
  EXPECT_EQ(leaving.seen(),
            std::vector<std::string>{"There are transactions that are not saved.  Save now?"});
  EXPECT_FALSE(entry->isVisible());
  EXPECT_TRUE(ledger().empty());
  entry.reset();

  // The patient was let go with the window: another window takes the chart.
  TransactionEntryWindow again(surroundings(options), &window_);
  again.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&again));
  chooseChart(again, chart_);
  EXPECT_TRUE(again.model().isLoaded());
  EXPECT_EQ(unexpected_.texts(), std::vector<std::string>{});
  again.close();
}

TEST_F(TransactionEntryWindowTest, CtrlMPostsTheChargesOfAMultiLinkCodeOnTheDateChosen) {
  reference::CodeWindow link(practice(), *reference::findCodeTable("multilink"), prompter_, clock_,
                             application_.security());
  ASSERT_TRUE(link.startNew());
  ASSERT_TRUE(link.setFields({{"Code", "CHECKUP"},
                              {"Description", "Visit with blood count"},
                              {"Link Code 1", "99213"},
                              {"Link Code 2", "85025"}}));
  ASSERT_TRUE(link.save());
  const practice::Options options = application_.practice()->options;
  TransactionEntryWindow entry(surroundings(options), &window_);
  entry.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&entry));
  chooseChart(entry, chart_);
  ModalAnswers answers;
  answers.then([](QWidget& dialog) {
    QTest::keyClicks(field(dialog, "code"), "checkup");
    dialog.findChild<QDateEdit*>("date")->setDate(QDate(2026, 12, 1));
    ModalAnswers::clickButton("Create Transactions")(dialog);
  });
  answers.run([&] { press(Qt::Key_M, Qt::ControlModifier); });
  ASSERT_EQ(entry.findChild<QTableView*>("charges")->model()->rowCount(), 2);
  EXPECT_EQ(cell(entry, 0, ChargeGridModel::Procedure), "99213");
  EXPECT_EQ(cell(entry, 1, ChargeGridModel::Procedure), "85025");
  EXPECT_EQ(cell(entry, 1, ChargeGridModel::DateFrom), "12/01/2026");
  EXPECT_EQ(cell(entry, 1, ChargeGridModel::Total), "25.00");
  EXPECT_EQ(unexpected_.texts(), std::vector<std::string>{});
  entry.model().close();
}

TEST_F(TransactionEntryWindowTest, TheDocumentFieldIsTheSuperbillWhenSuperbillsAreForced) {
  const auto labelOf = [this](const practice::Options& options) {
    TransactionEntryWindow entry(surroundings(options), &window_);
    for (auto* label : entry.findChildren<QLabel*>()) {
      if (label->buddy() == field(entry, "document"))
        return std::make_pair(label->text(), field(entry, "document")->toolTip());
    }
    return std::make_pair(QString(), QString());
  };
  EXPECT_EQ(
      labelOf(optionsWith({{"Force Document Number", true}, {"Use Serialized Superbills", false}})),
      std::make_pair(QString("&Document:"), QString()));
  EXPECT_EQ(
      labelOf(optionsWith({{"Force Document Number", false}, {"Use Serialized Superbills", true}})),
      std::make_pair(QString("&Document:"), QString()));
  EXPECT_EQ(
      labelOf(optionsWith({{"Force Document Number", true}, {"Use Serialized Superbills", true}})),
      std::make_pair(QString("S&uperbill:"),
                     QString("Enter the superbill number here.  Press F6 to search.")));
}

TEST_F(TransactionEntryWindowTest, APatientCheckIsTypedAppliedToTheOldestChargesAndSaved) {
  addPaymentCode("PATCHK", "K", "Patient check");
  const practice::Options options = application_.practice()->options;
  TransactionEntryWindow entry(surroundings(options), &window_);
  entry.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&entry));
  chooseChart(entry, chart_);
  postCharges({"99213", "85025"});

  // Ctrl+P opens a payment on its code; the code's exit sets the payer of a patient check.
  press(Qt::Key_P, Qt::ControlModifier);
  type("patchk");
  press(Qt::Key_Tab);
  EXPECT_EQ(paymentCell(entry, 0, PaymentGridModel::Procedure), "PATCHK");
  EXPECT_EQ(paymentCell(entry, 0, PaymentGridModel::WhoPaid), "G");
  EXPECT_EQ(paymentCell(entry, 0, PaymentGridModel::Description), "Patient check");
  press(Qt::Key_Tab);
  press(Qt::Key_Tab);
  type("1001");
  press(Qt::Key_Tab);
  // A payment typed positive is stored negative, and its unapplied amount follows each change.
  type("80");
  press(Qt::Key_Tab);
  EXPECT_EQ(paymentCell(entry, 0, PaymentGridModel::Amount), "-80.00");
  EXPECT_EQ(paymentCell(entry, 0, PaymentGridModel::Unapplied), "-80.00");
  goTo(entry, "payments", 0, PaymentGridModel::Amount);
  type("100");
  press(Qt::Key_Tab);
  EXPECT_EQ(paymentCell(entry, 0, PaymentGridModel::Amount), "-100.00");
  EXPECT_EQ(paymentCell(entry, 0, PaymentGridModel::Unapplied), "-100.00");
  EXPECT_EQ(paymentCell(entry, 0, PaymentGridModel::CheckNumber), "1001");

  ModalAnswers answers;
  answers.then([](QWidget& dialog) {
    EXPECT_EQ(dialog.windowTitle(), "Apply Payment to Charges");
    EXPECT_EQ(dialog.findChild<QLabel*>("caption")->text(), "Payment From: Ruth Lane");
    EXPECT_EQ(dialog.findChild<QLabel*>("count")->text(), "There are 2 charge entries.");
    EXPECT_EQ(dialog.findChild<QLabel*>("remainder")->text(), "Unapplied: $-100.00");
    // A guarantor's payment offers apply to oldest instead of automatic completion.
    EXPECT_EQ(dialog.findChild<QCheckBox*>("autoComplete"), nullptr);
    ModalAnswers::clickButton("Apply to Oldest")(dialog);
    auto* rows = dialog.findChild<QTableView*>("rows")->model();
    EXPECT_EQ(rows->index(0, ApplyRowsModel::ThisPayment).data().toString(), "-80.00");
    EXPECT_EQ(rows->index(0, ApplyRowsModel::Balance).data().toString(), "0.00");
    EXPECT_EQ(rows->index(1, ApplyRowsModel::ThisPayment).data().toString(), "-20.00");
    EXPECT_EQ(rows->index(1, ApplyRowsModel::Balance).data().toString(), "5.00");
    EXPECT_EQ(rows->index(1, ApplyRowsModel::TotalPaid).data().toString(), "-20.00");
    EXPECT_EQ(dialog.findChild<QLabel*>("remainder")->text(), "Unapplied: $0.00");
    ModalAnswers::clickButton("OK")(dialog);
  });
  answers.then(ModalAnswers::clickButton("OK"));
  answers.run([&] { press(Qt::Key_F7); });
  EXPECT_EQ(answers.seen(), std::vector<std::string>{"This Payment has been fully applied."});
  EXPECT_EQ(cell(entry, 0, ChargeGridModel::Remainder), "0.00");
  EXPECT_EQ(cell(entry, 1, ChargeGridModel::Remainder), "5.00");
  EXPECT_EQ(paymentCell(entry, 0, PaymentGridModel::Unapplied), "0.00");

  ASSERT_TRUE(backTo(entry));
  press(Qt::Key_F9);
  std::map<std::string, store::Record> stored;
  for (const auto& row : ledger()) stored.emplace(row.text("Procedure Code"), row);
  ASSERT_EQ(stored.size(), 3u);
  EXPECT_EQ(stored.at("99213").money("Guarantor Amount Paid"), Money::fromCents(-8000));
  EXPECT_EQ(stored.at("85025").money("Guarantor Amount Paid"), Money::fromCents(-2000));
  const store::Record& check = stored.at("PATCHK");
  EXPECT_EQ(check.text("Transaction Type"), "K");
  EXPECT_EQ(check.text("Who Paid"), "G");
  EXPECT_EQ(check.text("Check Number"), "1001");
  EXPECT_EQ(check.money("Amount"), Money::fromCents(-10000));
  EXPECT_EQ(check.money("Unapplied Amount"), Money{});
  std::map<std::int64_t, Money> applied;
  for (const auto& row : applications()) {
    EXPECT_EQ(row.integer("Payment Reference"), check.integer("Entry Number"));
    EXPECT_EQ(row.text("Who Paid"), "G");
    applied[row.integer("Charge Reference")] = transactions::moneyOf(row.value("Payment Amount"));
  }
  EXPECT_EQ(applied, (std::map<std::int64_t, Money>{
                         {stored.at("99213").integer("Entry Number"), Money::fromCents(-8000)},
                         {stored.at("85025").integer("Entry Number"), Money::fromCents(-2000)}}));
  EXPECT_EQ(unexpected_.texts(), std::vector<std::string>{});
  entry.close();
}

TEST_F(TransactionEntryWindowTest, AnInsurancePaymentIsAppliedAsTypedAndClosingAsksWhileUnapplied) {
  const practice::Options options = optionsWith({{"Force Payment Application", false}});
  auto entry = std::make_unique<TransactionEntryWindow>(surroundings(options), &window_);
  entry->show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(entry.get()));
  chooseChart(*entry, chart_);
  postCharges({"99213"});
  press(Qt::Key_P, Qt::ControlModifier);
  type("inspay");
  press(Qt::Key_Tab);
  EXPECT_EQ(paymentCell(*entry, 0, PaymentGridModel::WhoPaid), "1");
  goTo(*entry, "payments", 0, PaymentGridModel::Amount);
  type("50");
  press(Qt::Key_Tab);

  // Cancel leaves the applications as they were.
  const auto typeThirty = [](QWidget& dialog) {
    auto* rows = dialog.findChild<QTableView*>("rows");
    EXPECT_EQ(rows->currentIndex().column(), ApplyRowsModel::ThisPayment);
    // The first key opens the cell; Enter takes it from the next turn of the event loop.
    QTest::keyClicks(rows, "3");
    QWidget* editor = rows->indexWidget(rows->currentIndex());
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor, "0");
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(rows->model()->index(0, ApplyRowsModel::ThisPayment).data().toString(), "-30.00");
    EXPECT_EQ(rows->model()->index(0, ApplyRowsModel::Balance).data().toString(), "50.00");
    EXPECT_EQ(rows->model()->index(0, ApplyRowsModel::TotalPaid).data().toString(), "-30.00");
  };
  ModalAnswers cancelled;
  cancelled.then([&](QWidget& dialog) {
    typeThirty(dialog);
    ModalAnswers::clickButton("Cancel")(dialog);
  });
  cancelled.run([&] { press(Qt::Key_A, Qt::ControlModifier); });
  ASSERT_TRUE(backTo(*entry));
  EXPECT_EQ(cell(*entry, 0, ChargeGridModel::Remainder), "80.00");
  EXPECT_EQ(paymentCell(*entry, 0, PaymentGridModel::Unapplied), "-50.00");

  ModalAnswers answers;
  answers.then([&](QWidget& dialog) {
    EXPECT_EQ(dialog.findChild<QLabel*>("caption")->text(), "Payment From: Medicare");
    EXPECT_EQ(dialog.findChild<QLabel*>("count")->text(), "There is 1 charge entry.");
    EXPECT_EQ(dialog.findChild<QPushButton*>("applyToOldest"), nullptr);
    // An insurance payment marks its charges complete as amounts are applied.
    auto* autoComplete = dialog.findChild<QCheckBox*>("autoComplete");
    ASSERT_NE(autoComplete, nullptr);
    EXPECT_TRUE(autoComplete->isChecked());
    typeThirty(dialog);
    auto* rows = dialog.findChild<QTableView*>("rows")->model();
    EXPECT_EQ(rows->index(0, ApplyRowsModel::Complete).data(Qt::CheckStateRole).toInt(),
              Qt::Checked);
    EXPECT_EQ(dialog.findChild<QLabel*>("remainder")->text(), "Unapplied: $-20.00");
    ModalAnswers::clickButton("OK")(dialog);
  });
  answers.run([&] { entry->findChild<QPushButton*>("apply")->click(); });
  EXPECT_EQ(cell(*entry, 0, ChargeGridModel::Remainder), "50.00");
  EXPECT_EQ(paymentCell(*entry, 0, PaymentGridModel::Unapplied), "-20.00");
  ASSERT_TRUE(backTo(*entry));
  press(Qt::Key_F9);
  std::map<std::string, store::Record> stored;
  for (const auto& row : ledger()) stored.emplace(row.text("Procedure Code"), row);
  EXPECT_EQ(stored.at("99213").money("Insurance 1 Amount Paid"), Money::fromCents(-3000));
  EXPECT_TRUE(stored.at("99213").logical("Insurance 1 Paid"));
  EXPECT_EQ(stored.at("INSPAY").money("Unapplied Amount"), Money::fromCents(-2000));
  const auto applied = applications();
  ASSERT_EQ(applied.size(), 1u);
  EXPECT_EQ(applied[0].text("Who Paid"), "1");
  EXPECT_EQ(transactions::moneyOf(applied[0].value("Payment Amount")), Money::fromCents(-3000));

  // Yes to applying it now keeps the window open; No lets it close.
  ModalAnswers stay;
  stay.then(ModalAnswers::clickButton("Yes"));
  stay.run([&] { entry->close(); });
  EXPECT_EQ(stay.seen(), std::vector<std::string>{
                             "There are payments that are not completely applied.  Apply now?"});
  EXPECT_TRUE(entry->isVisible());
  ModalAnswers leave;
  leave.then(ModalAnswers::clickButton("No"));
  leave.run([&] { entry->close(); });
  EXPECT_FALSE(entry->isVisible());
  entry.reset();

  // A practice that forces application refuses to close at all.
  const practice::Options forced = optionsWith({{"Force Payment Application", true}});
  TransactionEntryWindow again(surroundings(forced), &window_);
  again.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&again));
  chooseChart(again, chart_);
  ModalAnswers refused;
  refused.then(ModalAnswers::clickButton("OK"));
  refused.run([&] { again.close(); });
  EXPECT_EQ(refused.seen(), std::vector<std::string>{"There are payments that must be completely "
                                                     "applied before continuing."});
  EXPECT_TRUE(again.isVisible());
  EXPECT_EQ(unexpected_.texts(), std::vector<std::string>{});
  again.model().close();
}

TEST_F(TransactionEntryWindowTest, EnterPastTheLastCellOfANewChargeStartsTheNextAndNeverASavedOne) {
  const practice::Options options = application_.practice()->options;
  TransactionEntryWindow entry(surroundings(options), &window_);
  entry.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&entry));
  chooseChart(entry, chart_);
  postCharges({"99213"});
  press(Qt::Key_F9);
  ASSERT_EQ(ledger().size(), 1u);

  auto* grid = entry.findChild<QTableView*>("charges");
  goTo(entry, "charges", 0, ChargeGridModel::Procedure);
  press(Qt::Key_Insert);
  type("99213");
  press(Qt::Key_Tab);
  ASSERT_EQ(grid->currentIndex().row(), 1);
  // Enter goes along the new line to its last cell...
  std::set<int> rowsVisited;
  for (int step = 0; step < 2 * ChargeGridModel::ColumnCount &&
                     grid->currentIndex().column() != ChargeGridModel::Remainder;
       ++step) {
    press(Qt::Key_Return);
    QApplication::processEvents();
    rowsVisited.insert(grid->currentIndex().row());
  }
  EXPECT_EQ(rowsVisited, std::set<int>{1});
  ASSERT_EQ(grid->currentIndex().column(), ChargeGridModel::Remainder);
  // ...and past it starts the next new line on its code, not the saved line at the top.
  press(Qt::Key_Return);
  QApplication::processEvents();
  EXPECT_EQ(grid->currentIndex().row(), 2);
  EXPECT_EQ(grid->currentIndex().column(), ChargeGridModel::Procedure);
  type("85025");
  press(Qt::Key_Tab);
  QApplication::processEvents();
  EXPECT_EQ(cell(entry, 0, ChargeGridModel::Procedure), "99213");
  EXPECT_EQ(cell(entry, 1, ChargeGridModel::Procedure), "99213");
  EXPECT_EQ(cell(entry, 2, ChargeGridModel::Procedure), "85025");

  // On a saved line Enter stops at the last cell.
  press(Qt::Key_Escape);
  goTo(entry, "charges", 0, ChargeGridModel::Remainder);
  press(Qt::Key_Return);
  QApplication::processEvents();
  EXPECT_EQ(grid->currentIndex().row(), 0);
  EXPECT_EQ(grid->model()->rowCount(), 3);

  press(Qt::Key_F9);
  std::multiset<std::string> codes;
  for (const auto& row : ledger()) codes.insert(row.text("Procedure Code"));
  EXPECT_EQ(codes, (std::multiset<std::string>{"85025", "99213", "99213"}));
  EXPECT_EQ(unexpected_.texts(), std::vector<std::string>{});
  entry.close();
}

TEST_F(TransactionEntryWindowTest, TheListTheKeysActOnIsShownAndUnsavedLinesAreMarked) {
  const practice::Options options = application_.practice()->options;
  TransactionEntryWindow entry(surroundings(options), &window_);
  entry.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&entry));
  chooseChart(entry, chart_);
  postCharges({"99213"});
  press(Qt::Key_F9);
  auto* charges = entry.findChild<QTableView*>("charges");
  auto* payments = entry.findChild<QTableView*>("payments");
  auto* activeList = entry.findChild<QLabel*>("activeList");
  ASSERT_NE(activeList, nullptr);
  const auto buttonText = [&](const char* name) {
    auto* button = entry.findChild<QPushButton*>(name);
    return button != nullptr ? button->text().remove('&').toStdString() : std::string("(none)");
  };

  goTo(entry, "charges", 0, ChargeGridModel::Procedure);
  QApplication::processEvents();
  EXPECT_TRUE(activeList->text().contains("Charges")) << activeList->text().toStdString();
  EXPECT_TRUE(charges->property("active").toBool());
  EXPECT_FALSE(payments->property("active").toBool());
  EXPECT_EQ(buttonText("newCharge"), "New Charge (Ins)");
  EXPECT_EQ(buttonText("newPayment"), "New Payment (Ctrl+P)");

  press(Qt::Key_Tab, Qt::ControlModifier);
  QApplication::processEvents();
  EXPECT_EQ(QApplication::focusWidget(), payments);
  EXPECT_TRUE(activeList->text().contains("Payments")) << activeList->text().toStdString();
  EXPECT_FALSE(charges->property("active").toBool());
  EXPECT_TRUE(payments->property("active").toBool());
  EXPECT_EQ(buttonText("newCharge"), "New Charge (Ctrl+N)");
  EXPECT_EQ(buttonText("newPayment"), "New Payment (Ins)");
  EXPECT_EQ(buttonText("deletePayment"), "Delete Payment (Del)");

  // Ins in the payments makes a payment. A line typed and not saved yet is marked in its row
  // header; the saved charge is not.
  press(Qt::Key_Insert);
  type("cash");
  press(Qt::Key_Tab);
  EXPECT_EQ(paymentCell(entry, 0, PaymentGridModel::WhoPaid), "G");
  press(Qt::Key_Escape);
  goTo(entry, "charges", 0, ChargeGridModel::Procedure);
  press(Qt::Key_N, Qt::ControlModifier);
  type("99213");
  press(Qt::Key_Tab);
  press(Qt::Key_Escape);
  const auto mark = [](QTableView* grid, int row) {
    return grid->model()->headerData(row, Qt::Vertical).toString().toStdString();
  };
  EXPECT_EQ(mark(charges, 0).find('*'), std::string::npos) << mark(charges, 0);
  EXPECT_NE(mark(charges, 1).find('*'), std::string::npos) << mark(charges, 1);
  EXPECT_NE(mark(payments, 0).find('*'), std::string::npos) << mark(payments, 0);
  EXPECT_FALSE(payments->verticalHeader()->isHidden());
  press(Qt::Key_F9);
  EXPECT_EQ(mark(charges, 1).find('*'), std::string::npos) << mark(charges, 1);
  EXPECT_EQ(mark(payments, 0).find('*'), std::string::npos) << mark(payments, 0);

  // Del in the payments deletes the payment after asking, and no charge.
  goTo(entry, "payments", 0, PaymentGridModel::Procedure);
  ModalAnswers answers;
  answers.then(ModalAnswers::clickButton("Yes"));
  answers.run([&] { press(Qt::Key_Delete); });
  EXPECT_EQ(answers.seen(),
            std::vector<std::string>{"Are you sure you want to delete this payment?"});
  EXPECT_EQ(payments->model()->rowCount(), 0);
  EXPECT_EQ(charges->model()->rowCount(), 2);
  EXPECT_EQ(unexpected_.texts(), std::vector<std::string>{});
  entry.model().close();
}

TEST_F(TransactionEntryWindowTest, ThePatientListAndTheTransactionWindowStayOpenSideBySide) {
  // A window that comes up modal is written down and closed, so the menu entry returns.
  QStringList cameModal;
  QTimer watchdog;
  QObject::connect(&watchdog, &QTimer::timeout, [&] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      cameModal << modal->objectName();
      modal->close();
    }
  });
  watchdog.start(1500);
  for (const char* text :
       {"&Patients/Guarantors and Cases", "&Enter Transactions", "&Diagnosis Codes"}) {
    QAction* entry = nullptr;
    for (auto* action : window_.menuBar()->findChildren<QAction*>()) {
      if (action->text() == text) entry = action;
    }
    ASSERT_NE(entry, nullptr) << text;
    entry->trigger();
  }
  QApplication::processEvents();
  watchdog.stop();
  EXPECT_EQ(cameModal, QStringList{});
  QWidget* list = shownWindow("PatientList");
  auto* entry = qobject_cast<TransactionEntryWindow*>(shownWindow("TransactionEntry"));
  QWidget* diagnoses = shownWindow("QVDIAList");
  ASSERT_NE(list, nullptr);
  ASSERT_NE(entry, nullptr);
  EXPECT_NE(diagnoses, nullptr);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

  // From the list, the chosen patient's transactions in one step.
  list->activateWindow();
  // Active for the application too, not only for the platform: the keys go to the list.
  ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == list; }));
  QTest::keyClicks(field(*list, "search"), QString::fromStdString(chart_).toLower());
  press(Qt::Key_T, Qt::ControlModifier);
  QApplication::processEvents();
  EXPECT_EQ(entry->model().chartNumber(), chart_);
  EXPECT_EQ(entry->findChild<QLabel*>("patientName")->text(), "Lane, Ruth");
  EXPECT_TRUE(entry->model().isLoaded());
  EXPECT_TRUE(list->isVisible());
  // Still one transaction window.
  int transactionWindows = 0;
  for (QWidget* window : QApplication::topLevelWidgets())
    transactionWindows += window->objectName() == "TransactionEntry" && window->isVisible();
  EXPECT_EQ(transactionWindows, 1);
  // Nothing was typed, so closing asks nothing (a question would stay up).
  EXPECT_TRUE(entry->close());
  EXPECT_EQ(unexpected_.texts(), std::vector<std::string>{});
  list->close();
  if (diagnoses != nullptr) diagnoses->close();
}

TEST_F(TransactionEntryWindowTest, TheEstimatesAndTheAccountTotalShowTheCaseAsStored) {
  {
    // A balance that has drifted from the ledger, for the account total to put right.
    store::Table patients = practice().openTable("QVPAT");
    patients.setOrder("Primary");
    auto patient = patients.seek({store::Value{chart_}});
    ASSERT_TRUE(patient);
    patients.edit(*patient);
    patient->set("Patient Reference Balance", Money::fromCents(1234));
    patients.post(*patient);
  }
  const practice::Options options = optionsWith({{"Multiply Units Times Amt.", false}});
  TransactionEntryWindow entry(surroundings(options), &window_);
  entry.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&entry));
  chooseChart(entry, chart_);
  auto* total = entry.findChild<QPushButton*>("accountTotal");
  EXPECT_EQ(total->text(), "Account Total: $12.34");
  const auto figure = [&](const char* name) { return entry.findChild<QLabel*>(name)->text(); };
  EXPECT_EQ(figure("guarantorDue"), "");

  // A charge of 100.00 allowed at 80.00, 80 percent on policy 1.
  postCharges({"99213"});
  goTo(entry, "charges", 0, ChargeGridModel::Total);
  type("100");
  press(Qt::Key_Tab);
  goTo(entry, "charges", 0, ChargeGridModel::Allowed);
  type("80");
  press(Qt::Key_Tab);
  press(Qt::Key_F9);
  entry.findChild<QCheckBox*>("showEstimates")->click();
  EXPECT_EQ(figure("estimatedCharges"), "$100.00");
  EXPECT_EQ(figure("estimatedAdjustments"), "$0.00");
  EXPECT_EQ(figure("estimatedTotal"), "$100.00");
  EXPECT_EQ(figure("estimatedPayments"), "$0.00");
  EXPECT_EQ(figure("estimatedBalance"), "$100.00");
  EXPECT_EQ(figure("insurance1Due"), "$-64.00");
  EXPECT_EQ(figure("insurance2Due"), "$0.00");
  EXPECT_EQ(figure("guarantorDue"), "$16.00");
  EXPECT_EQ(figure("estimatedAdjustment"), "$20.00");
  EXPECT_EQ(figure("deductiblePaid"), "$0.00");

  // The save moved the balance it was given; a click adds the ledger up again.
  EXPECT_EQ(total->text(), "Account Total: $112.34");
  total->click();
  EXPECT_EQ(total->text(), "Account Total: $100.00");
  store::Table patients = practice().openTable("QVPAT");
  patients.setOrder("Primary");
  EXPECT_EQ(patients.seek({store::Value{chart_}})->money("Patient Reference Balance"),
            Money::fromCents(10000));
  EXPECT_EQ(unexpected_.texts(), std::vector<std::string>{});
  entry.close();
}

}  // namespace
}  // namespace vantrell::desktop
