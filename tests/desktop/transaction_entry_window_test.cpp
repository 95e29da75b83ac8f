#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include "accounts/case_window.hpp"
#include "accounts/patient_window.hpp"
#include "desktop_fixture.hpp"
#include "modal_answers.hpp"
#include "reference/code_window.hpp"
#include "transaction_entry_window.hpp"

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

  std::vector<store::Record> ledger() {
    std::vector<store::Record> rows;
    store::Table table = practice().openTable("QVTRN");
    table.setOrder("Primary");
    table.forEach([&](const store::Record& row) { rows.push_back(row); });
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

  static QString cell(TransactionEntryWindow& entry, int row, int column) {
    auto* grid = entry.findChild<QTableView*>("charges");
    return grid->model()->index(row, column).data().toString();
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

TEST_F(TransactionEntryWindowTest, EnterTransactionsInTheActivitiesMenuOpensTheWindow) {
  QAction* entry = nullptr;
  for (auto* action : window_.menuBar()->findChildren<QAction*>()) {
    if (action->text() == "&Enter Transactions") entry = action;
  }
  ASSERT_NE(entry, nullptr);
  ASSERT_TRUE(entry->isEnabled());
  ModalAnswers answers;
  QString opened;
  answers.then([&](QWidget& transactions) {
    opened = transactions.objectName();
    chooseChart(static_cast<TransactionEntryWindow&>(transactions), chart_);
    transactions.close();
  });
  answers.run([&] { entry->trigger(); });
  EXPECT_EQ(opened, "TransactionEntry");
  // Nothing was typed, so closing asked nothing, and the patient was let go.
  EXPECT_EQ(answers.seen(), std::vector<std::string>{});
  EXPECT_EQ(unexpected_.texts(), std::vector<std::string>{});
  const practice::Options options = application_.practice()->options;
  TransactionEntryWindow again(surroundings(options), &window_);
  EXPECT_TRUE(again.model().chooseChart(chart_));
}

}  // namespace
}  // namespace vantrell::desktop
