#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPdfDocument>
#include <QPdfSelection>
#include <QPointer>
#include <QRadioButton>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <algorithm>

#include "collection_windows.hpp"
#include "collections/work_list.hpp"
#include "desktop_fixture.hpp"
#include "keyboard_driving.hpp"
#include "modal_answers.hpp"
#include "pdf_preview_window.hpp"
#include "store/table.hpp"
#include "support/practice_rows.hpp"

// The collector's windows on the tutorial practice, driven by key. Today is 12/5/2026.
namespace vantrell::desktop {
namespace {

using vantrell::testing::ModalAnswers;

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

void typeInto(QWidget& window, const char* name, const QString& text) {
  QLineEdit* edit = field(window, name);
  edit->setFocus();
  edit->selectAll();
  type(text);
}

std::string trimmed(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

class CollectionWindowsTest : public DesktopTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(window_.start(options()));
    practice().openTable("QVPAT").forEach([&](const store::Record& row) {
      if (charts_.size() < 2) charts_.push_back(trimmed(row.text("Chart Number")));
    });
    ASSERT_EQ(charts_.size(), 2u);
  }
  store::Connection& practice() { return *application_.practice()->connection; }

  std::int64_t item(const std::string& chart, Date followUp) {
    collections::WorkListItem made;
    made.responsibleType = "P";
    made.responsibleParty = chart;
    made.patient = chart;
    made.guarantor = chart;
    made.balance = Money::fromCents(12000);
    made.followUpDate = followUp;
    made.action = "Call about the balance";
    return collections::addWorkListItem(practice(), made);
  }
  store::Record stored(const char* table, const char* tag, store::Value key) {
    store::Table rows = practice().openTable(table);
    rows.setOrder(tag);
    return *rows.seek({key});
  }
  QWidget* openByMenu(Qt::Key menu, Qt::Key entry, const QString& name, const char* shot) {
    window_.activateWindow();
    if (!hasTheKeyboard(window_)) return nullptr;
    press(menu, Qt::AltModifier);
    if (QApplication::activePopupWidget() == nullptr) {
      ADD_FAILURE() << "no menu opened";
      return nullptr;
    }
    shoot(*QApplication::activePopupWidget(), shot);
    press(entry);
    return waitForWindow(name);
  }
  std::vector<std::string> charts_;
};

// The list opens with today's follow-ups first; Ins makes a tickler (a carrier that is not the
// patient's refused, naming it); F8 sets the next follow-up; F7 opens the patient's ledger; Del
// asks and keeps the item as deleted; a backward date range is refused.
TEST_F(CollectionWindowsTest, TheWorkListIsWorkedByKey) {
  const std::string& first = charts_[0];
  addInsuredCase(first, "Work list");
  const auto later = item(first, Date::fromYmd(2026, 12, 20));
  const auto today = item(charts_[1], Date::fromYmd(2026, 12, 5));
  QWidget* list = openByMenu(Qt::Key_A, Qt::Key_L, "WorkList", "worklist-01-activities-menu.png");
  ASSERT_NE(list, nullptr);
  auto* view = list->findChild<QTableView*>("items");
  ASSERT_NE(view, nullptr);
  ASSERT_EQ(view->model()->rowCount(), 2);
  EXPECT_EQ(view->model()->index(0, 1).data().toLongLong(), today);
  EXPECT_EQ(view->model()->index(1, 1).data().toLongLong(), later);
  shoot(*list, "worklist-02-list.png");

  view->setFocus();
  press(Qt::Key_Insert);
  QWidget* tickler = waitForWindow("Tickler");
  ASSERT_NE(tickler, nullptr);
  EXPECT_EQ(tickler->windowTitle(), "Tickler: (new)");
  typeInto(*tickler, "patient", QString::fromStdString(first));
  press(Qt::Key_Tab);
  auto* typeBox = tickler->findChild<QComboBox*>("responsibleType");
  typeBox->setFocus();
  press(Qt::Key_Down);
  typeInto(*tickler, "responsiblePartyText", "NOTMINE");
  typeInto(*tickler, "assignTo", "MARY");
  ModalAnswers refused;
  refused.then(pressOn("OK"));
  refused.run([&] { press(Qt::Key_F9); });
  ASSERT_EQ(refused.seen().size(), 1u);
  EXPECT_EQ(refused.seen()[0],
            "Insurance carrier NOTMINE is not on an open case of patient " + first + ".");
  ASSERT_TRUE(backTo(*tickler));
  typeInto(*tickler, "responsiblePartyText", "MC");
  press(Qt::Key_F9);
  ASSERT_EQ(view->model()->rowCount(), 3) << "the saved item is not listed";
  const std::int64_t made =
      vantrell::testing::singleNumber(practice(), "SELECT MAX(\"Item Number\") FROM QVWRK");
  const store::Record insurance = stored("QVWRK", "Primary", store::Value{made});
  EXPECT_EQ(insurance.text("Responsible Type"), "I");
  EXPECT_EQ(trimmed(insurance.text("Responsible Party")), "MC");
  EXPECT_FALSE(trimmed(insurance.text("Policy Number")).empty()) << "no policy of the case";
  EXPECT_TRUE(tickler->windowTitle().startsWith(QString("Tickler: Item #%1 for ").arg(made)));
  shoot(*tickler, "worklist-03-tickler.png");
  press(Qt::Key_Escape);

  // Print Work List: the report's pages in the preview.
  ASSERT_TRUE(backTo(*list));
  ASSERT_TRUE(vantrell::testing::pressAccessKey(*list, Qt::Key_P));
  QWidget* report = nullptr;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return (report = shownWindow("WorkListReportPreview")) != nullptr; }, 3000));
  EXPECT_EQ(qobject_cast<PdfPreviewWindow*>(report)->pageCount(), 1);
  QTest::qWait(500);  // the page is drawn by the view's own renderer
  shoot(*report, "worklist-04-report.png");
  report->close();

  // F8 on today's item: the follow-up goes a week on and the item leaves the top.
  ASSERT_TRUE(backTo(*list));
  view->setFocus();
  view->setCurrentIndex(view->model()->index(0, 0));
  press(Qt::Key_F8);
  EXPECT_EQ(stored("QVWRK", "Primary", store::Value{today}).date("Follow Up Date"),
            Date::fromYmd(2026, 12, 12));
  EXPECT_EQ(stored("QVWRK", "Primary", store::Value{today}).text("Status"), "0");

  // F7: the ledger of the current item's patient.
  const int row = view->currentIndex().row();
  const std::string patient = trimmed(view->model()->index(row, 5).data().toString().toStdString());
  press(Qt::Key_F7);
  QWidget* ledger = waitForWindow("TransactionEntry");
  ASSERT_NE(ledger, nullptr);
  EXPECT_EQ(field(*ledger, "chart")->text().toStdString(), patient);
  ledger->close();

  // Del asks first; the item stays, deleted, and leaves the list.
  ASSERT_TRUE(backTo(*list));
  view->setFocus();
  view->setCurrentIndex(view->model()->index(0, 0));
  const std::int64_t removed = view->model()->index(0, 1).data().toLongLong();
  ModalAnswers remove;
  remove.then(pressOn("Yes"));
  remove.run([&] { press(Qt::Key_Delete); });
  ASSERT_EQ(remove.seen().size(), 1u);
  EXPECT_EQ(stored("QVWRK", "Primary", store::Value{removed}).text("Status"), "D");
  EXPECT_EQ(stored("QVWRK", "Primary", store::Value{removed}).date("Date Deleted"),
            Date::fromYmd(2026, 12, 5));
  EXPECT_EQ(view->model()->rowCount(), 2);

  ASSERT_TRUE(backTo(*list));
  typeInto(*list, "createdFrom", "12/10/2026");
  typeInto(*list, "createdTo", "12/1/2026");
  ModalAnswers range;
  range.then(pressOn("OK"));
  range.run([&] { ASSERT_TRUE(vantrell::testing::pressAccessKey(*list, Qt::Key_I)); });
  ASSERT_EQ(range.seen().size(), 1u);
  EXPECT_EQ(range.seen()[0], "Invalid date range. 12/1/2026 is earlier than 12/10/2026");
  EXPECT_EQ(view->model()->rowCount(), 2);
}

// Change Status keeps its dialog open on an incomplete choice, in the system's words; the
// selected item is resolved, then every listed item re-dated. The patient, resolved-date and
// responsible-party filters narrow the list; the tracer of the filtered party is previewed.
TEST_F(CollectionWindowsTest, StatusChangeFiltersAndTracer) {
  const std::string& first = charts_[0];
  const std::string& second = charts_[1];
  const auto a = item(first, Date::fromYmd(2026, 12, 5));
  const auto b = item(second, Date::fromYmd(2026, 12, 8));
  const auto c = item(second, Date::fromYmd(2026, 11, 20));
  store::Record done = stored("QVWRK", "Primary", store::Value{c});
  done.set("Status", std::string("1"));
  done.set("Date Resolved", Date::fromYmd(2026, 12, 3));
  practice().openTable("QVWRK").post(done);
  const auto followUp = [&](std::int64_t number) {
    return stored("QVWRK", "Primary", store::Value{number}).date("Follow Up Date");
  };
  const auto status = [&](std::int64_t number) {
    return stored("QVWRK", "Primary", store::Value{number}).text("Status");
  };

  QWidget* list = openByMenu(Qt::Key_A, Qt::Key_L, "WorkList", "worklist-05-activities-menu.png");
  ASSERT_NE(list, nullptr);
  auto* view = list->findChild<QTableView*>("items");
  ASSERT_EQ(view->model()->rowCount(), 2);  // the open ones
  ASSERT_EQ(view->model()->index(0, 1).data().toLongLong(), a);
  const auto choose = [](QWidget& dialog, const char* name, int index) {
    auto* box = dialog.findChild<QComboBox*>(name);
    ASSERT_NE(box, nullptr) << name;
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Home);
    for (int step = 0; step < index; ++step) QTest::keyClick(box, Qt::Key_Down);
  };
  const auto enter = [](QWidget& dialog) {
    QTimer::singleShot(0, &dialog, [&dialog] { QTest::keyClick(&dialog, Qt::Key_Return); });
  };
  QPointer<QWidget> dialog;
  ModalAnswers incomplete;
  incomplete.then([&](QWidget& shown) {
    EXPECT_EQ(shown.objectName(), "ChangeStatus");
    dialog = &shown;
    enter(shown);
  });
  incomplete.then(pressOn("OK"));
  incomplete.then([&](QWidget& shown) {
    EXPECT_EQ(&shown, dialog.data()) << "the dialog did not stay open";
    choose(shown, "statusFrom", 1);  // Open
    enter(shown);
  });
  incomplete.then(pressOn("OK"));
  incomplete.then([&](QWidget& shown) {
    choose(shown, "statusTo", 2);  // Resolved
    shoot(shown, "worklist-06-change-status.png");
    enter(shown);
  });
  incomplete.run([&] { ASSERT_TRUE(vantrell::testing::pressAccessKey(*list, Qt::Key_U)); });
  EXPECT_EQ(incomplete.seen(),
            (std::vector<std::string>{
                "The 'from' status was not selected and the 'Follow Up Date' was not "
                "entered.\rOne of these needs to be entered. No changes were made",
                "The 'to' status was not selected.  No changes were made"}));
  EXPECT_EQ(status(a), "1");
  EXPECT_EQ(stored("QVWRK", "Primary", store::Value{a}).date("Date Resolved"),
            Date::fromYmd(2026, 12, 5));
  EXPECT_EQ(status(b), "0");
  ASSERT_EQ(view->model()->rowCount(), 1);

  // All Ticklers with only a date: asked first; only the listed (open) item moves, still open.
  ModalAnswers all;
  all.then([&](QWidget& shown) {
    shown.findChild<QRadioButton*>("allTicklers")->click();
    typeInto(shown, "followUpDate", "12/15/2026");
    enter(shown);
  });
  all.then(pressOn("Yes"));
  ASSERT_TRUE(backTo(*list));
  all.run([&] { ASSERT_TRUE(vantrell::testing::pressAccessKey(*list, Qt::Key_U)); });
  EXPECT_EQ(all.seen(),
            std::vector<std::string>{"You have selected ALL Ticklers. Do you want to continue?"});
  EXPECT_EQ(followUp(b), Date::fromYmd(2026, 12, 15));
  EXPECT_EQ(status(b), "0");
  EXPECT_EQ(followUp(a), Date::fromYmd(2026, 12, 5));
  EXPECT_EQ(followUp(c), Date::fromYmd(2026, 11, 20));

  // Any status; the second patient's items, then those resolved from 12/1 to 12/4.
  const auto listed = [&] {
    std::vector<std::int64_t> numbers;
    for (int row = 0; row < view->model()->rowCount(); ++row)
      numbers.push_back(view->model()->index(row, 1).data().toLongLong());
    std::sort(numbers.begin(), numbers.end());
    return numbers;
  };
  ASSERT_TRUE(backTo(*list));
  list->findChild<QComboBox*>("statusFilter")->setCurrentIndex(2);
  typeInto(*list, "patientFrom", QString::fromStdString(second));
  typeInto(*list, "patientTo", QString::fromStdString(second));
  ASSERT_TRUE(vantrell::testing::pressAccessKey(*list, Qt::Key_I));
  EXPECT_EQ(listed(), (std::vector<std::int64_t>{b, c}));
  typeInto(*list, "resolvedFrom", "12/1/2026");
  typeInto(*list, "resolvedTo", "12/4/2026");
  ASSERT_TRUE(vantrell::testing::pressAccessKey(*list, Qt::Key_I));
  EXPECT_EQ(listed(), std::vector<std::int64_t>{c});
  shoot(*list, "worklist-07-filtered.png");
  typeInto(*list, "resolvedFrom", "12/4/2026");
  typeInto(*list, "resolvedTo", "12/1/2026");
  ModalAnswers backwards;
  backwards.then(pressOn("OK"));
  backwards.run([&] { ASSERT_TRUE(vantrell::testing::pressAccessKey(*list, Qt::Key_I)); });
  EXPECT_EQ(backwards.seen(),
            std::vector<std::string>{"Invalid date range. 12/1/2026 is earlier than 12/4/2026"});
  ASSERT_TRUE(backTo(*list));
  for (const char* name : {"resolvedFrom", "resolvedTo", "patientFrom", "patientTo"}) {
    typeInto(*list, name, "");
    press(Qt::Key_Backspace);
  }
  typeInto(*list, "responsiblePartyFilter", QString::fromStdString(first));
  ASSERT_TRUE(vantrell::testing::pressAccessKey(*list, Qt::Key_I));
  EXPECT_EQ(listed(), std::vector<std::int64_t>{a});

  // The tracer of the filtered party: its two letters, not the other party's.
  for (const auto& [party, sent] : {std::pair{first, "11/02/2026"}, std::pair{first, "12/01/2026"},
                                    std::pair{second, "12/01/2026"}})
    vantrell::testing::insertRow(practice(), "QVWTR",
                                 {{"Responsible Party", party},
                                  {"Patient Chart", party},
                                  {"Balance", "120"},
                                  {"Date Letter Sent", sent},
                                  {"Reasons", "Overdue"}});
  ASSERT_TRUE(vantrell::testing::pressAccessKey(*list, Qt::Key_A));
  QWidget* tracer = nullptr;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return (tracer = shownWindow("TracerReportPreview")) != nullptr; }, 3000));
  auto* pdf = tracer->findChild<QPdfDocument*>();
  ASSERT_NE(pdf, nullptr);
  const QString text = pdf->getAllText(0).text();
  EXPECT_TRUE(text.contains("11/2/2026")) << text.toStdString();
  EXPECT_EQ(text.count(QString::fromStdString(second)), 0) << text.toStdString();
  EXPECT_EQ(text.count("120.00"), 2) << text.toStdString();
  QTest::qWait(500);  // the page is drawn by the view's own renderer
  shoot(*tracer, "worklist-08-tracer.png");
  tracer->close();
}

// A plan is made in its window (day 0 refused); a patient who keeps to it gets no letter and
// the run says so; without leaving plan keepers out, the letter is previewed and, printed, traced.
TEST_F(CollectionWindowsTest, PlansAndTheLetterRun) {
  QWidget* plans = openByMenu(Qt::Key_L, Qt::Key_L, "PaymentPlanList", "plans-01-lists-menu.png");
  ASSERT_NE(plans, nullptr);
  plans->findChild<QTableWidget*>("plans")->setFocus();
  press(Qt::Key_Insert);
  QWidget* plan = waitForWindow("PaymentPlan");
  ASSERT_NE(plan, nullptr);
  typeInto(*plan, "code", "m50");
  typeInto(*plan, "description", "Fifty a month");
  typeInto(*plan, "firstPaymentDue", "0");
  typeInto(*plan, "dueEvery", "30");
  typeInto(*plan, "amountDue", "50");
  ModalAnswers refused;
  refused.then(pressOn("OK"));
  refused.run([&] { ASSERT_TRUE(vantrell::testing::pressAccessKey(*plan, Qt::Key_S)); });
  ASSERT_EQ(refused.seen().size(), 1u);
  EXPECT_EQ(refused.seen()[0], "Invalid First Payment Due value");
  ASSERT_TRUE(backTo(*plan));
  typeInto(*plan, "firstPaymentDue", "1");
  shoot(*plan, "plans-02-plan.png");
  ASSERT_TRUE(vantrell::testing::pressAccessKey(*plan, Qt::Key_O));
  ASSERT_TRUE(QTest::qWaitFor([&] { return shownWindow("PaymentPlan") == nullptr; }, 3000));
  auto* table = plans->findChild<QTableWidget*>("plans");
  ASSERT_EQ(table->rowCount(), 1);
  EXPECT_EQ(table->item(0, 0)->text(), "M50");
  EXPECT_EQ(table->item(0, 4)->text(), "50.00");
  shoot(*plans, "plans-03-list.png");

  // The first patient owes, uses the plan and paid its installment on 12/1.
  const std::string& chart = charts_[0];
  store::Record patient = stored("QVPAT", "Primary", store::Value{chart});
  patient.set("Payment Plan", std::string("M50"));
  patient.set("Patient Reference Balance", 120.0);
  practice().openTable("QVPAT").post(patient);
  vantrell::testing::insertRow(practice(), "QVTRN",
                               {{"Chart Number", chart},
                                {"Case Number", "1"},
                                {"Transaction Type", "J"},
                                {"Date From", "12/01/2026"},
                                {"Amount", "-50"}});
  item(chart, Date::fromYmd(2026, 12, 5));

  QWidget* list = openByMenu(Qt::Key_A, Qt::Key_L, "WorkList", "letters-01-activities-menu.png");
  ASSERT_NE(list, nullptr);
  ASSERT_TRUE(vantrell::testing::pressAccessKey(*list, Qt::Key_S));
  QWidget* letters = waitForWindow("CollectionLetters");
  ASSERT_NE(letters, nullptr);
  shoot(*letters, "letters-02-criteria.png");
  ModalAnswers nothing;
  nothing.then(pressOn("OK"));
  nothing.run([&] { ASSERT_TRUE(vantrell::testing::pressAccessKey(*letters, Qt::Key_O)); });
  ASSERT_EQ(nothing.seen().size(), 1u);
  EXPECT_EQ(nothing.seen()[0],
            "All of the patients for this report have followed the payment plan.  There is no "
            "report to print.");
  EXPECT_EQ(vantrell::testing::singleNumber(practice(), "SELECT COUNT(*) FROM QVWTR"), 0);

  ASSERT_TRUE(backTo(*letters));
  letters->findChild<QCheckBox*>("excludePlan")->setFocus();
  press(Qt::Key_Space);
  ModalAnswers printed;
  printed.then(pressOn("Yes"));
  printed.run([&] { ASSERT_TRUE(vantrell::testing::pressAccessKey(*letters, Qt::Key_O)); });
  ASSERT_EQ(printed.seen().size(), 1u);
  EXPECT_EQ(printed.seen()[0], "Do you want to print collection letters?");
  QWidget* preview = shownWindow("CollectionLettersPreview");
  ASSERT_NE(preview, nullptr) << "no preview of the letters";
  auto* pages = qobject_cast<PdfPreviewWindow*>(preview);
  ASSERT_NE(pages, nullptr);
  ASSERT_TRUE(pages->isLoaded());
  EXPECT_EQ(pages->pageCount(), 1) << "one letter, to the one account";
  QTest::qWait(500);  // the page is drawn by the view's own renderer
  shoot(*preview, "letters-03-preview.png");
  EXPECT_EQ(vantrell::testing::singleNumber(
                practice(), "SELECT COUNT(*) FROM QVWTR WHERE \"Patient Chart\" = '" + chart + "'"),
            1);
  preview->close();
}

}  // namespace
}  // namespace vantrell::desktop
