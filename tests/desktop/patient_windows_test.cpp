#include <gtest/gtest.h>

#include <QAction>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>

#include "accounts/case_tabs.hpp"
#include "accounts/patient_list.hpp"
#include "accounts/patient_window.hpp"
#include "desktop_fixture.hpp"
#include "modal_answers.hpp"

namespace vantrell::desktop {
namespace {

using vantrell::testing::ModalAnswers;

class PatientWindowsTest : public DesktopTest {
 protected:
  void SetUp() override { ASSERT_TRUE(window_.start(options())); }  // the tutorial practice

  store::Connection& practice() { return *application_.practice()->connection; }

  void addPatient(const std::vector<std::pair<std::string, std::string>>& fields) {
    accounts::PatientWindow patient(practice(), prompter_, clock_, application_.security(), false);
    ASSERT_TRUE(patient.startNew());
    ASSERT_TRUE(patient.setFields(fields));
    ASSERT_TRUE(patient.save());
  }

  // Opens the patient list from the Lists menu, as the clerk does.
  void openPatientList(ModalAnswers& answers) {
    QAction* entry = nullptr;
    for (auto* action : window_.menuBar()->findChildren<QAction*>()) {
      if (action->text() == "&Patients/Guarantors and Cases") entry = action;
    }
    ASSERT_NE(entry, nullptr);
    ASSERT_TRUE(entry->isEnabled());
    answers.run([&] { entry->trigger(); });
  }
};

QStringList chartNumbersIn(QWidget& list) {
  auto* rows = list.findChild<QTableView*>("patients");
  QStringList charts;
  for (int row = 0; row < rows->model()->rowCount(); ++row)
    charts << rows->model()->index(row, 0).data().toString();
  return charts;
}

void click(QWidget& window, const char* button) {
  auto* found = window.findChild<QAbstractButton*>(button);
  ASSERT_NE(found, nullptr) << button;
  found->click();
}

TEST_F(PatientWindowsTest, APatientMadeInItsWindowShowsInTheListUnderItsChartNumber) {
  ModalAnswers answers;
  QStringList charts;
  QString caption;
  std::vector<std::string> missing;
  answers.then([&](QWidget& list) { click(list, "newPatient"); });
  answers.then([&](QWidget& patient) {
    for (const auto& stored : practice().catalogue().get("QVPAT").fields()) {
      if (patient.findChild<QWidget*>(QString::fromStdString(stored.name)) == nullptr)
        missing.push_back(stored.name);
    }
    // The chart number is taken in upper case, eight characters at most.
    QTest::keyClicks(field(patient, "Chart Number"), "lee01xyz9");
    EXPECT_EQ(field(patient, "Chart Number")->text().toStdString(), "LEE01XYZ");
    field(patient, "Chart Number")->setText("lee01");
    field(patient, "Last Name")->setText("Lee");
    field(patient, "First Name")->setText("Ann");
    patient.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Save)->click();
  });
  answers.then([&](QWidget& list) {
    charts = chartNumbersIn(list);
    caption = list.findChild<QLabel*>("casesCaption")->text();
    list.close();
  });
  openPatientList(answers);
  EXPECT_TRUE(missing.empty()) << "fields without a widget: " << missing.front();
  EXPECT_TRUE(answers.seen().empty()) << answers.seen().front();
  EXPECT_TRUE(charts.contains("LEE01")) << charts.join(",").toStdString();
  EXPECT_EQ(caption.toStdString(), "List of cases for: Lee, Ann");
}

TEST_F(PatientWindowsTest, LeavingTheSsnOfAnotherPatientOffersToSwitchToThatChart) {
  addPatient({{"Chart Number", "SMITH000"},
              {"Last Name", "Smith"},
              {"First Name", "John"},
              {"Social Security Number", "123-45-6789"}});
  ModalAnswers answers;
  QString shownChart, title;
  bool chartLocked = false;
  answers.then([&](QWidget& list) { click(list, "newPatient"); });
  answers.then([&](QWidget& patient) {
    auto* ssn = field(patient, "Social Security Number");
    ssn->setFocus();
    QTest::keyClicks(ssn, "123-45-6789");
    QTest::keyClick(ssn, Qt::Key_Return);  // leaves the field: the question comes up
    shownChart = field(patient, "Chart Number")->text();
    chartLocked = field(patient, "Chart Number")->isReadOnly();
    title = patient.windowTitle();
    patient.close();
  });
  answers.then(ModalAnswers::clickButton("Yes"));
  answers.then([&](QWidget& list) { list.close(); });
  openPatientList(answers);
  EXPECT_EQ(answers.seen(),
            std::vector<std::string>{"An existing patient was found with the SSN you entered.\n\n"
                                     "Smith, John\nSMITH000\n\nDo you want to switch to this chart "
                                     "number?"});
  EXPECT_EQ(shownChart.toStdString(), "SMITH000");
  EXPECT_TRUE(chartLocked);
  EXPECT_EQ(title.toStdString(), "Patient / Guarantor: Smith, John ");
}

TEST_F(PatientWindowsTest, ANewCaseShowsItsDefaultsAndARefusedSaveGoesToTheFieldItNames) {
  addPatient({{"Chart Number", "DOEJA000"}, {"Last Name", "Doe"}, {"First Name", "Jane"}});
  auto& open = *application_.practice();
  ASSERT_TRUE(accounts::showCaseTab(practice(), open.security.get(), open.options,
                                    accounts::CaseTab::Miscellaneous, false));

  ModalAnswers answers;
  std::vector<std::string> coverage, visibleTabs;
  QString pageAfterRefusal, focusAfterRefusal, pickedCarrier;
  int caseRows = 0;
  QString caseDescription;
  answers.then([&](QWidget& list) {
    QTest::keyClicks(field(list, "search"), "DOE");
    click(list, "newCase");
  });
  answers.then([&](QWidget& caseWindow) {
    auto* pages = caseWindow.findChild<QTabWidget*>("pages");
    for (int page = 0; page < pages->count(); ++page) {
      if (pages->isTabVisible(page)) visibleTabs.push_back(pages->tabText(page).toStdString());
    }
    for (char category = 'A'; category <= 'H'; ++category)
      coverage.push_back(
          field(caseWindow, (std::string("Percent Covered ") + category + " #1").c_str())
              ->text()
              .toStdString());
    pages->setCurrentIndex(static_cast<int>(accounts::CaseTab::Policy1) - 1);
    caseWindow.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Save)->click();
  });
  answers.then(ModalAnswers::clickButton("OK"));
  answers.then([&](QWidget& caseWindow) {
    auto* pages = caseWindow.findChild<QTabWidget*>("pages");
    pageAfterRefusal = pages->tabText(pages->currentIndex());
    focusAfterRefusal =
        caseWindow.focusWidget() != nullptr ? caseWindow.focusWidget()->objectName() : QString();
    field(caseWindow, "Description")->setText("Back pain");
    field(caseWindow, "Assigned Provider")->setText("dj");
    // The carrier is picked in the carriers' list window.
    caseWindow.findChild<QToolButton*>("Insurance Carrier #1 pick")->click();
    pickedCarrier = field(caseWindow, "Insurance Carrier #1")->text();
    caseWindow.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Save)->click();
  });
  answers.then([&](QWidget& carriers) {
    QTest::keyClicks(field(carriers, "search"), "mc");  // nothing is chosen until typed
    click(carriers, "select");
  });
  answers.then([&](QWidget& list) {
    auto* cases = list.findChild<QTableWidget*>("cases");
    caseRows = cases->rowCount();
    if (caseRows > 0) caseDescription = cases->item(0, 1)->text();
    list.close();
  });
  openPatientList(answers);

  EXPECT_EQ(coverage, (std::vector<std::string>{"80", "100", "0", "80", "80", "80", "80", "80"}));
  // Dental is hidden until the practice shows it, Miscellaneous was hidden above.
  EXPECT_EQ(visibleTabs,
            (std::vector<std::string>{"Personal", "Account", "Diagnosis", "Condition", "Policy 1",
                                      "Policy 2", "Policy 3", "Medicaid and Tricare", "Comment",
                                      "Eligibility and Claims"}));
  EXPECT_EQ(answers.seen(),
            std::vector<std::string>{"A description has not been entered for this case."});
  EXPECT_EQ(pageAfterRefusal.toStdString(), "Personal");
  EXPECT_EQ(focusAfterRefusal.toStdString(), "Description");
  EXPECT_EQ(pickedCarrier.toStdString(), "MC");
  EXPECT_EQ(caseRows, 1);
  EXPECT_EQ(caseDescription.toStdString(), "Back pain");
  accounts::PatientList list(practice(), prompter_, application_.security());
  const auto stored = list.casesOf("DOEJA000");
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(stored.front().text("Insurance Carrier #1"), "MC");
  EXPECT_EQ(stored.front().text("Assigned Provider"), "DJ");
}

TEST_F(PatientWindowsTest, DelInTheListDeletesThePatientAfterTheQuestion) {
  addPatient({{"Chart Number", "GONE0001"}, {"Last Name", "Gone"}, {"First Name", "Gus"}});
  ModalAnswers answers;
  QStringList before, after;
  answers.then([&](QWidget& list) {
    before = chartNumbersIn(list);
    QTest::keyClicks(field(list, "search"), "GONE");
    auto* patients = list.findChild<QTableView*>("patients");
    patients->setFocus();
    QTest::keyClick(patients, Qt::Key_Delete);
    after = chartNumbersIn(list);
    list.close();
  });
  answers.then(ModalAnswers::clickButton("Yes"));
  openPatientList(answers);
  EXPECT_TRUE(before.contains("GONE0001"));
  EXPECT_FALSE(after.contains("GONE0001"));
  EXPECT_EQ(answers.seen(), std::vector<std::string>{
                                "All Cases, Transactions and Claims for this patient\nwill also "
                                "be deleted.\nAre you sure you want to delete this patient?"});
}

}  // namespace
}  // namespace vantrell::desktop
