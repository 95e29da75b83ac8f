#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <tuple>

#include "accounts/case_tabs.hpp"
#include "accounts/case_window.hpp"
#include "accounts/patient_window.hpp"
#include "case_dialog.hpp"
#include "code_list_window.hpp"
#include "desktop_fixture.hpp"
#include "modal_answers.hpp"
#include "transaction_entry_window.hpp"

namespace vantrell::desktop {
namespace {

using vantrell::testing::ModalAnswers;

class LookUpsTest : public DesktopTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(window_.start(options()));  // the tutorial practice
    accounts::PatientWindow patient(practice(), prompter_, clock_, application_.security(), false);
    ASSERT_TRUE(patient.startNew());
    ASSERT_TRUE(patient.setFields(
        {{"Chart Number", "DOEJA000"}, {"Last Name", "Doe"}, {"First Name", "Jane"}}));
    ASSERT_TRUE(patient.save());
  }

  store::Connection& practice() { return *application_.practice()->connection; }

  // A new case of the patient in its window, on the page of the given tab.
  std::unique_ptr<CaseDialog> openCase(
      accounts::CaseWindow& model, accounts::CaseTab tab,
      const std::vector<std::pair<std::string, std::string>>& fields = {}) {
    EXPECT_TRUE(model.startNew("DOEJA000"));
    if (!fields.empty()) {
      EXPECT_TRUE(model.setFields(fields));
    }
    auto& open = *application_.practice();
    auto dialog = std::make_unique<CaseDialog>(model, practice(), open.options, prompter_, clock_,
                                               open.security.get(), &window_);
    dialog->show();
    dialog->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    dialog->findChild<QTabWidget*>("pages")->setCurrentIndex(static_cast<int>(tab) - 1);
    return dialog;
  }
};

QString labelText(QWidget& window, const QString& name) {
  auto* label = window.findChild<QLabel*>(name);
  if (label == nullptr) return "(no label " + name + ")";
  return label->text();
}

QStringList rowsOf(QWidget& list) {
  auto* rows = list.findChild<QTableView*>("rows");
  QStringList shown;
  for (int row = 0; row < rows->model()->rowCount(); ++row)
    shown << rows->model()->index(row, 0).data().toString() + " " +
                 rows->model()->index(row, 1).data().toString();
  return shown;
}

TEST_F(LookUpsTest, F4OpensTheDiagnosisListWhichFiltersOnCodeAndDescriptionAsTyped) {
  accounts::CaseWindow model(practice(), prompter_, clock_, application_.security());
  auto dialog = openCase(model, accounts::CaseTab::Diagnosis);
  QLineEdit* diagnosis = field(*dialog, "Diagnosis 1");
  diagnosis->setFocus();

  ModalAnswers answers;
  bool chosenBeforeTyping = true, chosenWhileNothingMatched = true;
  QStringList byDescription, byCode, orders;
  answers.then([&](QWidget& list) {
    auto* rows = list.findChild<QTableView*>("rows");
    auto* order = list.findChild<QComboBox*>("order");
    for (int item = 0; item < order->count(); ++item) orders << order->itemText(item);
    chosenBeforeTyping = rows->currentIndex().isValid();
    QTest::keyClicks(field(list, "search"), "kneex");
    chosenWhileNothingMatched = rows->currentIndex().isValid();
    QTest::keyClick(field(list, "search"), Qt::Key_Backspace);
    byDescription = rowsOf(list);
    QTest::keyClick(field(list, "search"), Qt::Key_Return);  // takes the one found
  });
  answers.run([&] { QTest::keyClick(diagnosis, Qt::Key_F4); });
  EXPECT_FALSE(chosenBeforeTyping);
  EXPECT_FALSE(chosenWhileNothingMatched);
  EXPECT_EQ(byDescription, QStringList{"M17.11 Primary osteoarthritis, right knee"});
  EXPECT_EQ(diagnosis->text(), "M17.11");
  EXPECT_EQ(labelText(*dialog, "Diagnosis 1 name"), "Primary osteoarthritis, right knee");
  // The orders are named for what they sort on, never an index's name.
  EXPECT_FALSE(orders.isEmpty());
  EXPECT_FALSE(orders.contains("Primary")) << orders.join(" | ").toStdString();

  // F2 does the same from the next field; "j0" is found in the codes.
  QLineEdit* second = field(*dialog, "Diagnosis 2");
  second->setFocus();
  ModalAnswers again;
  again.then([&](QWidget& list) {
    QTest::keyClicks(field(list, "search"), "j0");
    byCode = rowsOf(list);
    list.close();
  });
  again.run([&] { QTest::keyClick(second, Qt::Key_F2); });
  byCode.sort();
  EXPECT_EQ(byCode, (QStringList{"J02.9 Acute pharyngitis, unspecified",
                                 "J06.9 Acute upper respiratory infection"}));
  EXPECT_TRUE(second->text().isEmpty());
  model.cancel();
}

TEST_F(LookUpsTest, EachCodeFieldOfTheCaseShowsTheNameOfWhatItRefersTo) {
  accounts::CaseWindow model(practice(), prompter_, clock_, application_.security());
  auto dialog = openCase(
      model, accounts::CaseTab::Account,
      {{"Assigned Provider", "TV"}, {"Insurance Carrier #1", "RIG"}, {"Diagnosis 1", "J06.9"}});
  EXPECT_EQ(labelText(*dialog, "Guarantor name"), "Doe, Jane");
  EXPECT_EQ(labelText(*dialog, "Chart Number name"), "Doe, Jane");
  EXPECT_EQ(labelText(*dialog, "Assigned Provider name"), "Vasquell, Teodor");
  EXPECT_EQ(labelText(*dialog, "Insurance Carrier #1 name"), "Ridgeholt Insurance Group");
  EXPECT_EQ(labelText(*dialog, "Diagnosis 1 name"), "Acute upper respiratory infection");
  // An empty code has no name beside it.
  EXPECT_EQ(labelText(*dialog, "Diagnosis 2 name"), "");
  model.cancel();
}

TEST_F(LookUpsTest, ThePatientPickListFiltersByChartNumberAndNameAndTakesOnlyAMatch) {
  for (const auto& [chart, last, first] :
       {std::tuple{"QXELL000", "Qxellis", "Ann"}, std::tuple{"QXELS000", "Qxelsworth", "Ruth"},
        std::tuple{"FARRE000", "Farqxel", "Tom"}}) {
    accounts::PatientWindow patient(practice(), prompter_, clock_, application_.security(), false);
    ASSERT_TRUE(patient.startNew());
    ASSERT_TRUE(
        patient.setFields({{"Chart Number", chart}, {"Last Name", last}, {"First Name", first}}));
    ASSERT_TRUE(patient.save());
  }
  accounts::CaseWindow model(practice(), prompter_, clock_, application_.security());
  auto dialog = openCase(model, accounts::CaseTab::Account);
  QLineEdit* guarantor = field(*dialog, "Guarantor");
  guarantor->setFocus();

  ModalAnswers answers;
  QStringList byName, byChart;
  bool chosenWhileNothingMatched = true;
  answers.then([&](QWidget& list) {
    auto* rows = list.findChild<QTableView*>("patients");
    const auto charts = [rows] {
      QStringList shown;
      for (int row = 0; row < rows->model()->rowCount(); ++row)
        shown << rows->model()->index(row, 0).data().toString();
      return shown;
    };
    auto* search = field(list, "search");
    search->clear();
    QTest::keyClicks(search, "qxel");
    byChart = charts();  // in two chart numbers, and in Farqxel's name
    QTest::keyClicks(search, "sworthz");
    chosenWhileNothingMatched = rows->currentIndex().isValid();
    QTest::keyClick(search, Qt::Key_Backspace);
    byName = charts();
    QTest::keyClick(search, Qt::Key_Return);
  });
  answers.run([&] { QTest::keyClick(guarantor, Qt::Key_F4); });
  EXPECT_EQ(byChart, (QStringList{"FARRE000", "QXELL000", "QXELS000"}));
  EXPECT_FALSE(chosenWhileNothingMatched);
  EXPECT_EQ(byName, QStringList{"QXELS000"});
  EXPECT_EQ(guarantor->text(), "QXELS000");
  EXPECT_EQ(labelText(*dialog, "Guarantor name"), "Qxelsworth, Ruth");
  model.cancel();
}

TEST_F(LookUpsTest, F4AndF2PickTheProcedureAndDiagnosisOfAChargeWhoseDescriptionHasAColumn) {
  ASSERT_NO_FATAL_FAILURE(addInsuredCase("DOEJA000", "Check-up"));
  auto& open = *application_.practice();
  TransactionEntryWindow entry(
      {practice(), open.options, prompter_, clock_, open.security.get(),
       [this] { return application_.programDate().value(); }, transactions::Ledger::Transactions},
      &window_);
  entry.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&entry));
  auto* chart = field(entry, "chart");
  chart->setFocus();
  QTest::keyClicks(chart, "doeja000");
  QTest::keyClick(chart, Qt::Key_Return);
  ASSERT_TRUE(entry.model().isLoaded());
  auto* charges = entry.findChild<QTableView*>("charges");
  const auto cell = [charges](int column) {
    return charges->model()->index(0, column).data().toString();
  };

  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Insert);
  QTest::keyClicks(QApplication::focusWidget(), "992");
  ModalAnswers answers;
  QString startedWith;
  QStringList found;
  answers.then([&](QWidget& list) {
    startedWith = field(list, "search")->text();
    field(list, "search")->end(false);
    QTest::keyClicks(field(list, "search"), "13");
    found = rowsOf(list);
    QTest::keyClick(field(list, "search"), Qt::Key_Return);
  });
  answers.run([&] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_F4); });
  EXPECT_EQ(startedWith, "992");
  EXPECT_EQ(found, QStringList{"99213 Office visit, established"});
  EXPECT_EQ(cell(ChargeGridModel::Procedure), "99213");
  // The description has a column of its own, titled so.
  int description = -1;
  for (int column = 0; column < charges->model()->columnCount(); ++column) {
    if (charges->model()->headerData(column, Qt::Horizontal).toString() == "Description")
      description = column;
  }
  ASSERT_GE(description, 0);
  EXPECT_EQ(cell(description), "Office visit, established");
  EXPECT_EQ(cell(ChargeGridModel::Total), "80.00");

  entry.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&entry));
  charges->setFocus();
  charges->setCurrentIndex(charges->model()->index(0, ChargeGridModel::Diagnosis2));
  ModalAnswers diagnosis;
  diagnosis.then([&](QWidget& list) {
    QTest::keyClicks(field(list, "search"), "knee");
    QTest::keyClick(field(list, "search"), Qt::Key_Return);
  });
  diagnosis.run([&] { QTest::keyClick(charges, Qt::Key_F2); });
  EXPECT_EQ(cell(ChargeGridModel::Diagnosis2), "M17.11");
  entry.model().close();
}

}  // namespace
}  // namespace vantrell::desktop
