#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <functional>

#include "accounts/case_tabs.hpp"
#include "accounts/case_window.hpp"
#include "accounts/patient_list.hpp"
#include "accounts/patient_window.hpp"
#include "case_dialog.hpp"
#include "desktop_fixture.hpp"
#include "modal_answers.hpp"
#include "patient_dialog.hpp"

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

  // Opens the patient list from the Lists menu, as the clerk does. The list stays
  // open beside the main window, not modal: the work runs in it while the answers
  // answer the windows it opens. The list, or null when it did not come.
  QWidget* openPatientList(ModalAnswers& answers, const std::function<void(QWidget&)>& work) {
    QAction* entry = nullptr;
    for (auto* action : window_.menuBar()->findChildren<QAction*>()) {
      if (action->text() == "&Patients/Guarantors and Cases") entry = action;
    }
    if (entry == nullptr || !entry->isEnabled()) {
      ADD_FAILURE() << "no Patients/Guarantors and Cases entry to choose";
      return nullptr;
    }
    entry->trigger();
    QWidget* list = nullptr;
    for (QWidget* window : QApplication::topLevelWidgets()) {
      if (window->objectName() == "PatientList" && window->isVisible()) list = window;
    }
    if (list == nullptr) {
      ADD_FAILURE() << "the patient list did not come up";
      return nullptr;
    }
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    // The keyboard is on the list once its window is active.
    EXPECT_TRUE(QTest::qWaitForWindowActive(list));
    answers.run([&] { work(*list); });
    return list;
  }

  // A stored case of a new patient, described as given; its number.
  std::int64_t addCase(const std::string& chart, const std::string& description) {
    accounts::CaseWindow made(practice(), prompter_, clock_, application_.security());
    if (!made.startNew(chart) ||
        !made.setFields({{"Description", description}, {"Assigned Provider", "DJ"}}) ||
        !made.save())
      return 0;
    const std::int64_t number = made.caseNumber();
    made.cancel();
    return number;
  }

  std::string storedDescription(const std::string& chart) {
    accounts::PatientList list(practice(), prompter_, application_.security());
    const auto cases = list.casesOf(chart);
    return cases.empty() ? std::string("(no case)") : cases.front().text("Description");
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
  QWidget* shown = openPatientList(answers, [](QWidget& list) { click(list, "newPatient"); });
  ASSERT_NE(shown, nullptr);
  charts = chartNumbersIn(*shown);
  caption = shown->findChild<QLabel*>("casesCaption")->text();
  shown->close();
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
  QWidget* shown = openPatientList(answers, [](QWidget& list) { click(list, "newPatient"); });
  ASSERT_NE(shown, nullptr);
  shown->close();
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
  QWidget* shown = openPatientList(answers, [](QWidget& list) {
    QTest::keyClicks(field(list, "search"), "DOE");
    click(list, "newCase");
  });
  ASSERT_NE(shown, nullptr);
  auto* cases = shown->findChild<QTableWidget*>("cases");
  caseRows = cases->rowCount();
  if (caseRows > 0) caseDescription = cases->item(0, 1)->text();
  shown->close();

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
  answers.then(ModalAnswers::clickButton("Yes"));
  QWidget* shown = openPatientList(answers, [&](QWidget& list) {
    before = chartNumbersIn(list);
    QTest::keyClicks(field(list, "search"), "GONE");
    auto* patients = list.findChild<QTableView*>("patients");
    patients->setFocus();
    QTest::keyClick(patients, Qt::Key_Delete);
    after = chartNumbersIn(list);
  });
  ASSERT_NE(shown, nullptr);
  shown->close();
  EXPECT_TRUE(before.contains("GONE0001"));
  EXPECT_FALSE(after.contains("GONE0001"));
  EXPECT_EQ(answers.seen(), std::vector<std::string>{
                                "All Cases, Transactions and Claims for this patient\nwill also "
                                "be deleted.\nAre you sure you want to delete this patient?"});
}

TEST_F(PatientWindowsTest, EscOrTheCloseBoxOfACaseWindowDropsWhatWasTypedAndClosesIt) {
  addPatient({{"Chart Number", "ESCAP000"}, {"Last Name", "Escape"}, {"First Name", "Eve"}});
  const std::int64_t number = addCase("ESCAP000", "Shoulder");
  ASSERT_NE(number, 0);
  auto& open = *application_.practice();
  for (const bool closeBox : {false, true}) {
    accounts::CaseWindow caseWindow(practice(), prompter_, clock_, open.security.get());
    ASSERT_TRUE(caseWindow.open(number));
    CaseDialog dialog(caseWindow, practice(), open.options, prompter_, clock_, open.security.get(),
                      &window_);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    // The focus is in a field with a change typed, as a clerk leaves it.
    QLineEdit* description = field(dialog, "Description");
    description->setFocus();
    QTest::keyClicks(description, " and elbow");
    if (closeBox)
      dialog.close();
    else
      QTest::keyClick(description, Qt::Key_Escape);
    QApplication::processEvents();
    EXPECT_FALSE(dialog.isVisible()) << (closeBox ? "close box" : "Esc");
    EXPECT_FALSE(caseWindow.isOpen());
  }
  EXPECT_EQ(storedDescription("ESCAP000"), "Shoulder");
}

TEST_F(PatientWindowsTest, ACopayTypedWithoutAPointInTheCaseWindowIsInCents) {
  practice().executeSql("UPDATE QVOPT SET \"Auto. Place Decimal Point\" = ?", {store::Value{true}});
  addPatient({{"Chart Number", "CENTS000"}, {"Last Name", "Cents"}, {"First Name", "Cy"}});
  const std::int64_t number = addCase("CENTS000", "Knee");
  ASSERT_NE(number, 0);
  auto& open = *application_.practice();
  accounts::CaseWindow caseWindow(practice(), prompter_, clock_, open.security.get());
  ASSERT_TRUE(caseWindow.open(number));
  CaseDialog dialog(caseWindow, practice(), open.options, prompter_, clock_, open.security.get(),
                    &window_);
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  auto* pages = dialog.findChild<QTabWidget*>();
  ASSERT_NE(pages, nullptr);
  QLineEdit* copay = field(dialog, "Copayment Amount");
  for (int page = 0; page < pages->count(); ++page) {
    if (pages->widget(page)->isAncestorOf(copay)) pages->setCurrentIndex(page);
  }
  copay->setFocus();
  copay->selectAll();
  QTest::keyClicks(copay, "2000");
  QTest::keyClick(copay, Qt::Key_F9);
  QApplication::processEvents();
  EXPECT_FALSE(dialog.isVisible());
  const auto stored = practice().executeSql(
      "SELECT \"Copayment Amount\" FROM QVCAS WHERE \"Case Number\" = ?", {store::Value{number}});
  EXPECT_EQ(std::get<double>(stored.rows.at(0).at(0)), 20.0);  // 2000 cents
}

TEST_F(PatientWindowsTest, TheCaseWindowShowsItsTimeStampsMonthFirstAsTheListsDo) {
  addPatient({{"Chart Number", "STAMP000"}, {"Last Name", "Stamp"}, {"First Name", "Stu"}});
  const std::int64_t number = addCase("STAMP000", "Wrist");
  ASSERT_NE(number, 0);
  // The stored stamp as the database gives it, "yyyy-mm-dd hh:mm:ss", turned
  // around by hand into "mm/dd/yyyy hh:mm:ss".
  const std::string iso = store::valueToText(
      practice()
          .executeSql("SELECT \"Date Modified\" FROM QVCAS WHERE \"Case Number\" = ?",
                      {store::Value{number}})
          .rows.at(0)
          .at(0));
  ASSERT_GE(iso.size(), 19u) << iso;
  const std::string expected =
      iso.substr(5, 2) + "/" + iso.substr(8, 2) + "/" + iso.substr(0, 4) + " " + iso.substr(11, 8);
  auto& open = *application_.practice();
  accounts::CaseWindow caseWindow(practice(), prompter_, clock_, open.security.get());
  ASSERT_TRUE(caseWindow.open(number));
  CaseDialog dialog(caseWindow, practice(), open.options, prompter_, clock_, open.security.get(),
                    &window_);
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  EXPECT_EQ(field(dialog, "Date Modified")->text().toStdString(), expected);
  EXPECT_EQ(field(dialog, "Date Created")->text().toStdString(), "12/05/2026");  // the test's clock
  QTest::keyClick(field(dialog, "Description"), Qt::Key_Escape);
  QApplication::processEvents();
  EXPECT_FALSE(dialog.isVisible());
}

// Nothing of any page lies beyond the window as it opens: no sideways scrolling
// to a field, whatever the screen.
void expectEveryPageFits(QDialog& dialog) {
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  ASSERT_LE(dialog.frameGeometry().width(), dialog.screen()->availableSize().width());
  ASSERT_LE(dialog.frameGeometry().height(), dialog.screen()->availableSize().height());
  auto* pages = dialog.findChild<QTabWidget*>();
  ASSERT_NE(pages, nullptr);
  for (int page = 0; page < pages->count(); ++page) {
    if (!pages->isTabVisible(page)) continue;
    pages->setCurrentIndex(page);
    QApplication::processEvents();
    for (const QWidget* child : pages->currentWidget()->findChildren<QWidget*>()) {
      const auto* label = qobject_cast<const QLabel*>(child);
      if (child->isHidden() ||
          (qobject_cast<const QLineEdit*>(child) == nullptr && label == nullptr))
        continue;
      const QPoint right = child->mapTo(&dialog, QPoint(child->width() - 1, 0));
      EXPECT_LT(right.x(), dialog.width())
          << dialog.objectName().toStdString() << ", " << pages->tabText(page).toStdString() << ": "
          << child->objectName().toStdString() << " "
          << (label != nullptr ? label->text().toStdString() : "");
    }
  }
}

TEST_F(PatientWindowsTest, EveryPageOfThePatientAndCaseWindowsFitsTheWidthTheyOpenWith) {
  addPatient({{"Chart Number", "WIDTH000"}, {"Last Name", "Width"}, {"First Name", "Wes"}});
  const std::int64_t number = addCase("WIDTH000", "Elbow");
  ASSERT_NE(number, 0);
  auto& open = *application_.practice();
  {
    accounts::PatientWindow patient(practice(), prompter_, clock_, open.security.get(), false);
    ASSERT_TRUE(patient.open("WIDTH000"));
    PatientDialog dialog(patient, practice(), prompter_, clock_, open.security.get(), &window_);
    dialog.show();
    expectEveryPageFits(dialog);
    dialog.reject();
  }
  accounts::CaseWindow caseWindow(practice(), prompter_, clock_, open.security.get());
  ASSERT_TRUE(caseWindow.open(number));
  CaseDialog dialog(caseWindow, practice(), open.options, prompter_, clock_, open.security.get(),
                    &window_);
  dialog.show();
  expectEveryPageFits(dialog);
  dialog.reject();
}

// From the keyboard alone: Tab leaves the patients for their cases (a list is chosen by row, not
// walked cell by cell), and Ctrl+Tab turns the case pages the practice shows, each time with the
// focus on a field of the page turned to.
TEST_F(PatientWindowsTest, TabReachesTheCasesAndCtrlTabTurnsOnlyTheShownCasePages) {
  addPatient({{"Chart Number", "KEYS0000"}, {"Last Name", "Keys"}, {"First Name", "Kim"}});
  ASSERT_NE(addCase("KEYS0000", "Wrist"), 0);
  QString afterTab;
  std::vector<std::string> turnedTo, focusOffAField;
  ModalAnswers answers;
  answers.then([&](QWidget& caseWindow) {
    auto* pages = caseWindow.findChild<QTabWidget*>("pages");
    for (int turn = 0; turn < pages->count(); ++turn) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
      const std::string title = pages->tabText(pages->currentIndex()).toStdString();
      turnedTo.push_back(title);
      QWidget* focus = QApplication::focusWidget();
      if (focus == nullptr || !pages->currentWidget()->isAncestorOf(focus) ||
          (qobject_cast<QLineEdit*>(focus) == nullptr && !focus->inherits("QAbstractButton") &&
           !focus->inherits("QComboBox") && !focus->inherits("QPlainTextEdit")))
        focusOffAField.push_back(title);
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  });
  QWidget* shown = openPatientList(answers, [&](QWidget& list) {
    QTest::keyClicks(field(list, "search"), "KEYS");
    list.findChild<QTableView*>("patients")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    afterTab = QApplication::focusWidget()->objectName();
    list.findChild<QTableWidget*>("cases")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);  // the case at the cursor
  });
  ASSERT_NE(shown, nullptr);
  shown->close();
  EXPECT_EQ(afterTab.toStdString(), "cases");
  // The dental page is hidden on the tutorial practice; the turns go round the other eleven.
  EXPECT_EQ(turnedTo, (std::vector<std::string>{"Account", "Diagnosis", "Condition",
                                                "Miscellaneous", "Policy 1", "Policy 2", "Policy 3",
                                                "Medicaid and Tricare", "Comment",
                                                "Eligibility and Claims", "Personal", "Account"}));
  EXPECT_TRUE(focusOffAField.empty()) << "no field has the focus on " << focusOffAField.front();
}

// F9, Ctrl+S and Alt+S (whatever the desktop's button texts) save from the field just typed in.
TEST_F(PatientWindowsTest, F9CtrlSAndAltSSaveThePatientAndTheCaseWindows) {
  addPatient({{"Chart Number", "SAVEK000"}, {"Last Name", "Saver"}, {"First Name", "Sam"}});
  const std::int64_t number = addCase("SAVEK000", "Hip");
  ASSERT_NE(number, 0);
  auto& open = *application_.practice();
  enum class Key { F9, CtrlS, AltS };
  const auto typeAndSave = [](QDialog& dialog, const char* name, const std::string& typed,
                              Key key) {
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    QLineEdit* edit = field(dialog, name);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, QString::fromStdString(typed));
    if (key == Key::F9)
      QTest::keyClick(edit, Qt::Key_F9);
    else if (key == Key::CtrlS)
      QTest::keySequence(edit, QKeySequence(Qt::CTRL | Qt::Key_S));
    else
      ASSERT_TRUE(vantrell::testing::pressAccessKey(dialog, Qt::Key_S));
    QApplication::processEvents();
    EXPECT_FALSE(dialog.isVisible()) << typed;
    EXPECT_EQ(dialog.result(), QDialog::Accepted) << typed;
  };
  for (const auto& [key, typed] :
       {std::pair{Key::F9, "Hip left"}, std::pair{Key::CtrlS, "Hip right"},
        std::pair{Key::AltS, "Left hip"}}) {
    accounts::CaseWindow caseWindow(practice(), prompter_, clock_, open.security.get());
    ASSERT_TRUE(caseWindow.open(number));
    CaseDialog dialog(caseWindow, practice(), open.options, prompter_, clock_, open.security.get(),
                      &window_);
    dialog.show();
    typeAndSave(dialog, "Description", typed, key);
    EXPECT_EQ(storedDescription("SAVEK000"), typed);
  }
  for (const auto& [key, typed] : {std::pair{Key::F9, "Samuel"}, std::pair{Key::AltS, "Sammy"}}) {
    {
      accounts::PatientWindow patient(practice(), prompter_, clock_, open.security.get(), false);
      ASSERT_TRUE(patient.open("SAVEK000"));
      PatientDialog dialog(patient, practice(), prompter_, clock_, open.security.get(), &window_);
      dialog.show();
      typeAndSave(dialog, "First Name", typed, key);
    }
    accounts::PatientWindow stored(practice(), prompter_, clock_, open.security.get(), false);
    ASSERT_TRUE(stored.open("SAVEK000"));
    EXPECT_EQ(stored.record().text("First Name"), typed);
    stored.cancel();
  }
}

}  // namespace
}  // namespace vantrell::desktop
