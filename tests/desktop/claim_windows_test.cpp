#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>

#include "claim_windows.hpp"
#include "claims/claim_creation.hpp"
#include "desktop_fixture.hpp"
#include "keyboard_driving.hpp"
#include "modal_answers.hpp"
#include "store/table_creation.hpp"

// The claim windows on the tutorial practice, driven from the keyboard: the
// keys go where the focus is (or to the open menu), as they do for a person.
namespace vantrell::desktop {
namespace {

using vantrell::testing::ModalAnswers;

// An access key clicks its button after a short animation: the button's action (and the
// dialog it opens) comes from the event loop after the key.
void pressAccessKey(int key) {
  press(key, Qt::AltModifier);
  QTest::qWait(250);
}
// Moves the cursor of a list with the keys until the row is current.
void moveTo(QTableView& view, int row) {
  view.setFocus();
  press(Qt::Key_Home, Qt::ControlModifier);
  for (int at = 0; at < row; ++at) press(Qt::Key_Down);
  ASSERT_EQ(view.currentIndex().row(), row);
}

class ClaimWindowsTest : public DesktopTest {
 protected:
  void SetUp() override { ASSERT_TRUE(window_.start(options())); }  // the tutorial practice

  store::Connection& practice() { return *application_.practice()->connection; }

  std::vector<store::Record> rowsOf(const char* table) {
    std::vector<store::Record> rows;
    store::Table opened = practice().openTable(table);
    opened.forEach([&](const store::Record& row) { rows.push_back(row); });
    return rows;
  }

  ClaimManagementWindow* openList() {
    window_.claimManagement();
    auto* list = qobject_cast<ClaimManagementWindow*>(shownWindow("ClaimManagement"));
    EXPECT_NE(list, nullptr);
    if (list != nullptr) {
      EXPECT_TRUE(hasTheKeyboard(*list));
    }
    return list;
  }

  // Claim number to its charges' entry numbers, as the ledger has them now.
  std::map<std::int64_t, std::set<std::int64_t>> chargesByClaim() {
    std::map<std::int64_t, std::set<std::int64_t>> charges;
    for (const auto& row : rowsOf("QVTRN")) {
      if (row.integer("Claim Number") > 0)
        charges[row.integer("Claim Number")].insert(row.integer("Entry Number"));
    }
    return charges;
  }

  // The charges a run with no criteria must bill, worked out here from the rows: not on a
  // claim, a charge (type below H) some carrier answers for, of a case that is no cash case
  // and has a first carrier.
  std::set<std::int64_t> billableCharges() {
    std::set<std::pair<std::string, std::int64_t>> insuredCases;
    for (const auto& row : rowsOf("QVCAS")) {
      if (!row.logical("Cash Case") && !row.text("Insurance Carrier #1").empty())
        insuredCases.emplace(row.text("Chart Number"), row.integer("Case Number"));
    }
    std::set<std::int64_t> entries;
    for (const auto& row : rowsOf("QVTRN")) {
      const bool insured = row.logical("Insurance 1 Responsible") ||
                           row.logical("Insurance 2 Responsible") ||
                           row.logical("Insurance 3 Responsible");
      if (row.integer("Claim Number") < 1 && insured && row.text("Transaction Type") < "H" &&
          row.money("Amount") > Money{} &&
          insuredCases.count({row.text("Chart Number"), row.integer("Case Number")}) != 0)
        entries.insert(row.integer("Entry Number"));
    }
    return entries;
  }
};

TEST_F(ClaimWindowsTest, ClaimsAreCreatedFilteredEditedAndMovedFromTheKeyboard) {
  const std::set<std::int64_t> billable = billableCharges();
  ASSERT_FALSE(billable.empty()) << "the tutorial has no unbilled insurance charge";
  const std::size_t claimsBefore = rowsOf("QVCLA").size();

  // Alt+A opens Activities and C its Claim Management.
  window_.activateWindow();
  ASSERT_TRUE(hasTheKeyboard(window_));
  press(Qt::Key_A, Qt::AltModifier);
  ASSERT_NE(QApplication::activePopupWidget(), nullptr) << "Alt+A opened no menu";
  shoot(*QApplication::activePopupWidget(), "claims-01-activities-menu.png");
  press(Qt::Key_C);
  auto* list = qobject_cast<ClaimManagementWindow*>(shownWindow("ClaimManagement"));
  ASSERT_NE(list, nullptr) << "the claim management window did not come up";
  ASSERT_TRUE(hasTheKeyboard(*list));
  EXPECT_EQ(list->windowTitle(), "Claim Management");
  auto* table = list->findChild<QTableView*>("claims");
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(static_cast<std::size_t>(table->model()->rowCount()), claimsBefore);

  // Alt+C: Create Claims; its criteria left empty, Enter runs it.
  ModalAnswers create;
  create.then([](QWidget& dialog) {
    EXPECT_EQ(dialog.windowTitle(), "Create Claims");
    ASSERT_TRUE(backTo(dialog));
    shoot(dialog, "claims-02-create-claims.png");
    press(Qt::Key_O, Qt::AltModifier);
  });
  create.run([&] { pressAccessKey(Qt::Key_C); });
  EXPECT_TRUE(create.seen().empty()) << create.seen().front();
  ASSERT_TRUE(backTo(*list));

  // Every billable charge is on a claim that exists, and the list shows every claim.
  const auto claimRows = rowsOf("QVCLA");
  std::set<std::int64_t> claimNumbers;
  for (const auto& row : claimRows) claimNumbers.insert(row.integer("Claim Number"));
  std::map<std::int64_t, std::set<std::int64_t>> chargesOf;
  for (const auto& row : rowsOf("QVTRN")) {
    if (row.integer("Claim Number") > 0)
      chargesOf[row.integer("Claim Number")].insert(row.integer("Entry Number"));
    if (billable.count(row.integer("Entry Number")) != 0) {
      EXPECT_GT(row.integer("Claim Number"), 0)
          << "charge " << row.integer("Entry Number") << " was left unbilled";
      EXPECT_EQ(claimNumbers.count(row.integer("Claim Number")), 1u);
    }
  }
  ASSERT_GT(claimRows.size(), claimsBefore);
  EXPECT_EQ(static_cast<std::size_t>(table->model()->rowCount()), claimRows.size());
  shoot(*list, "claims-03-list.png");

  const auto column = [&](const std::string& title) {
    const auto& titles = ClaimListModel::columns();
    return static_cast<int>(std::find(titles.begin(), titles.end(), title) - titles.begin());
  };
  const auto shown = [&](int row, const std::string& title) {
    return table->model()->index(row, column(title)).data().toString().toStdString();
  };
  const std::int64_t first = std::stoll(shown(0, "Claim Number"));
  const store::Record* firstRow = nullptr;
  for (const auto& row : claimRows) {
    if (row.integer("Claim Number") == first) firstRow = &row;
  }
  ASSERT_NE(firstRow, nullptr);
  EXPECT_EQ(shown(0, "Status 1"), "Ready to Send");

  // Alt+F: the filter; the chart number typed lists that patient's claims only.
  const std::string chart = firstRow->text("Chart Number");
  std::size_t claimsOfChart = 0;
  for (const auto& row : claimRows)
    if (row.text("Chart Number") == chart) ++claimsOfChart;
  ModalAnswers filter;
  filter.then([&](QWidget& dialog) {
    EXPECT_EQ(dialog.windowTitle(), "List Only Claims That Match");
    ASSERT_TRUE(backTo(dialog));
    type(QString::fromStdString(chart));
    shoot(dialog, "claims-04-filter.png");
    // The filter is saved under a name for every workstation.
    auto* save = dialog.findChild<QPushButton*>("saveFilter");
    ASSERT_NE(save, nullptr);
    QTimer::singleShot(0, save, [save] { save->click(); });
  });
  filter.then([&](QWidget& name) {
    EXPECT_EQ(name.windowTitle(), "Save Filter");
    type("One patient");
    press(Qt::Key_Return);
  });
  filter.then([&](QWidget& dialog) {
    EXPECT_EQ(dialog.objectName(), "ClaimFilter");
    ASSERT_TRUE(backTo(dialog));
    // Enter moves to the next field in the tutorial practice; Alt+O is OK.
    press(Qt::Key_O, Qt::AltModifier);
  });
  filter.run([&] { pressAccessKey(Qt::Key_F); });
  ASSERT_TRUE(backTo(*list));
  ASSERT_EQ(static_cast<std::size_t>(table->model()->rowCount()), claimsOfChart);
  for (int row = 0; row < table->model()->rowCount(); ++row)
    EXPECT_EQ(shown(row, "Chart Number"), chart);
  // Opened again with the chart cleared, the saved filter brings it back.
  ModalAnswers reuse;
  reuse.then([&](QWidget& dialog) {
    auto* chartField = dialog.findChild<QLineEdit*>("chartNumber");
    auto* named = dialog.findChild<QComboBox*>("namedFilters");
    ASSERT_NE(chartField, nullptr);
    ASSERT_NE(named, nullptr);
    chartField->clear();
    named->setFocus();
    QTest::keyClick(named, Qt::Key_Down);
    EXPECT_EQ(named->currentText(), "One patient");
    EXPECT_EQ(chartField->text().toStdString(), chart);
    QTest::keyClick(&dialog, Qt::Key_Escape);
  });
  reuse.run([&] { pressAccessKey(Qt::Key_F); });
  ASSERT_TRUE(backTo(*list));

  // Enter opens the claim at the cursor in its own window, with its charges; Ctrl+T in the
  // comment stamps the program date and the user.
  table->setFocus();
  table->setCurrentIndex(table->model()->index(0, 0));
  press(Qt::Key_Return);
  auto* editor = shownWindow("ClaimEditor");
  ASSERT_NE(editor, nullptr) << "Enter opened no claim";
  EXPECT_EQ(editor->windowTitle().toStdString(), "Claim: " + std::to_string(first));
  auto* charges = editor->findChild<QTableWidget*>("charges");
  ASSERT_NE(charges, nullptr);
  std::set<std::int64_t> listed;
  for (int row = 0; row < charges->rowCount(); ++row)
    listed.insert(charges->item(row, 0)->text().toLongLong());
  EXPECT_EQ(listed, chargesOf[first]);
  ASSERT_TRUE(hasTheKeyboard(*editor));
  press(Qt::Key_M, Qt::AltModifier);
  press(Qt::Key_T, Qt::ControlModifier);
  auto* comment = editor->findChild<QPlainTextEdit*>("comment");
  ASSERT_NE(comment, nullptr);
  EXPECT_TRUE(comment->toPlainText().startsWith(
      QString::fromStdString(application_.programDate().value().toMonthDayYear() + " ")))
      << comment->toPlainText().toStdString();
  shoot(*editor, "claims-05-editor.png");
  // Esc closes without saving and lets the claim go.
  press(Qt::Key_Escape);
  ASSERT_TRUE(QTest::qWaitFor([&] { return shownWindow("ClaimEditor") == nullptr; }));
  ASSERT_TRUE(backTo(*list));

  // Alt+S: Change Status of the claim at the cursor from any status to Sent, for the primary
  // carrier only.
  table->setFocus();
  table->selectRow(0);
  ModalAnswers status;
  status.then([&](QWidget& dialog) {
    EXPECT_EQ(dialog.windowTitle(), "Change Claim Status/Billing Method");
    ASSERT_TRUE(backTo(dialog));
    press(Qt::Key_End);  // Status From: "Any status type"
    press(Qt::Key_Tab);
    type("s");  // Status To: Sent
    press(Qt::Key_Tab);
    type("p");  // For Carrier: Primary
    shoot(dialog, "claims-06-change-status.png");
    press(Qt::Key_O, Qt::AltModifier);
  });
  status.run([&] { pressAccessKey(Qt::Key_S); });
  EXPECT_TRUE(status.seen().empty()) << status.seen().front();
  for (const auto& row : rowsOf("QVCLA")) {
    const auto& before = *std::find_if(claimRows.begin(), claimRows.end(), [&](const auto& old) {
      return old.integer("Claim Number") == row.integer("Claim Number");
    });
    const bool moved = row.integer("Claim Number") == first;
    EXPECT_EQ(row.text("Claim Status 1"), moved ? "2" : before.text("Claim Status 1"));
    EXPECT_EQ(row.text("Claim Status 2"), before.text("Claim Status 2"));
    EXPECT_EQ(row.text("Claim Status 3"), before.text("Claim Status 3"));
  }
  ASSERT_TRUE(backTo(*list));
  EXPECT_EQ(shown(0, "Status 1"), "Sent");
  shoot(*list, "claims-07-list-after-status.png");
}

TEST_F(ClaimWindowsTest, TheListReadsAPageAtATimeAndReadsOnAsTheCursorGoesDown) {
  // Many more claims than a screen shows, put into the store directly.
  constexpr int made = 250;
  ASSERT_TRUE(store::ensureTable(practice(), "QVCLA") || practice().tableExists("QVCLA"));
  {
    store::Table claims = practice().openTable("QVCLA");
    for (int at = 0; at < made; ++at) {
      store::Record row = claims.newRecord();
      row.setFromText("Chart Number", "PAGE" + std::to_string(at % 7));
      row.setFromText("Insurance Carrier 1", "MC");
      row.setFromText("Claim Status 1", "2");
      row.setFromText("Primary Billing Method", "E");
      row.setFromText("Batch Number 1", "7");
      row.setFromText("Claim Status 2", "6");
      row.setFromText("Claim Status 3", "6");
      claims.append(row);
    }
  }
  ClaimManagementWindow* list = openList();
  ASSERT_NE(list, nullptr);
  auto* table = list->findChild<QTableView*>("claims");
  auto* count = list->findChild<QLabel*>("count");
  ASSERT_NE(table, nullptr);
  ASSERT_NE(count, nullptr);
  EXPECT_EQ(count->text(), "250 claim(s)");
  const int firstRead = table->model()->rowCount();
  EXPECT_GT(firstRead, 0);
  EXPECT_LT(firstRead, made) << "the whole table was read at once";
  // Columns 2-7 are slot 1 (carrier, status, medium, batch, billing date, receiver), 8-13 slot 2.
  EXPECT_EQ(table->model()->index(0, 2).data().toString(), "MC");
  EXPECT_EQ(table->model()->index(0, 3).data().toString(), "Sent");
  EXPECT_EQ(table->model()->index(0, 4).data().toString(), "EDI");
  EXPECT_EQ(table->model()->index(0, 5).data().toString(), "7");
  // Slot 2 has no carrier: its Done code shows no status and no medium.
  EXPECT_EQ(table->model()->index(0, 9).data().toString(), "");
  EXPECT_EQ(table->model()->index(0, 10).data().toString(), "");
  // Ctrl+End again and again reaches the last claim, read on page by page.
  table->setFocus();
  for (int presses = 0; presses < 10 && table->model()->rowCount() < made; ++presses)
    press(Qt::Key_End, Qt::ControlModifier);
  EXPECT_EQ(table->model()->rowCount(), made);
  EXPECT_EQ(table->model()->index(made - 1, 0).data().toString(), QString::number(made));
  shoot(*list, "claims-08-many-claims.png");
}

TEST_F(ClaimWindowsTest, DelReleasesTheClaimsChargesAndTheEditorRemovesAMarkedCharge) {
  claims::ClaimCriteria everything;
  const auto created = claims::createClaims({practice(), prompter_}, everything);
  ASSERT_GT(created.claims.size(), 2u);
  const auto before = chargesByClaim();
  // One claim to delete, and one with at least three charges to take two from.
  std::int64_t several = 0;
  for (const auto& [number, entries] : before) {
    if (entries.size() >= 3) several = number;
  }
  ASSERT_NE(several, 0) << "no claim of the tutorial has three charges";
  const std::int64_t doomed =
      several == before.begin()->first ? std::next(before.begin())->first : before.begin()->first;

  ClaimManagementWindow* list = openList();
  ASSERT_NE(list, nullptr);
  auto* table = list->findChild<QTableView*>("claims");
  ASSERT_NE(table, nullptr);
  const auto rowOf = [&](std::int64_t claim) {
    for (int row = 0; row < table->model()->rowCount(); ++row) {
      if (table->model()->index(row, 0).data().toLongLong() == claim) return row;
    }
    return -1;
  };
  const int rowsBefore = table->model()->rowCount();
  moveTo(*table, rowOf(doomed));
  ModalAnswers question;
  question.then(ModalAnswers::clickButton("Yes"));
  question.run([&] { press(Qt::Key_Delete); });
  EXPECT_EQ(question.seen(),
            std::vector<std::string>{
                "Deleting this claim will release the transactions\nthat are bound to it. They "
                "can then be placed\non another claim.\n\nAre you sure you want to delete this "
                "claim?"});
  // What the delete does to the ledger is the core's to check; here, that the key reached it.
  EXPECT_EQ(chargesByClaim().count(doomed), 0u);
  ASSERT_TRUE(backTo(*list));
  EXPECT_EQ(table->model()->rowCount(), rowsBefore - 1);
  EXPECT_EQ(rowOf(doomed), -1);

  // Enter opens the other claim; in its charges the first alone is marked, and Alt+V removes it.
  moveTo(*table, rowOf(several));
  press(Qt::Key_Return);
  auto* editor = shownWindow("ClaimEditor");
  ASSERT_NE(editor, nullptr);
  ASSERT_TRUE(hasTheKeyboard(*editor));
  auto* charges = editor->findChild<QTableWidget*>("charges");
  ASSERT_NE(charges, nullptr);
  ASSERT_EQ(static_cast<std::size_t>(charges->rowCount()), before.at(several).size());
  press(Qt::Key_H, Qt::AltModifier);
  ASSERT_EQ(QApplication::focusWidget(), charges);
  press(Qt::Key_Down);
  press(Qt::Key_Up);
  const std::int64_t removed = charges->item(0, 0)->text().toLongLong();
  ModalAnswers removal;
  removal.then(ModalAnswers::clickButton("Yes"));
  removal.run([&] { pressAccessKey(Qt::Key_V); });
  EXPECT_EQ(removal.seen(),
            std::vector<std::string>{"Are you sure you want to remove this transaction?"});
  std::set<std::int64_t> left = before.at(several);
  left.erase(removed);
  EXPECT_EQ(chargesByClaim()[several], left);
  EXPECT_EQ(static_cast<std::size_t>(charges->rowCount()), left.size());
  shoot(*editor, "claims-09-editor-after-remove.png");

  // The next charge marked alone, Alt+P splits it off onto a new claim.
  ASSERT_TRUE(backTo(*editor));
  press(Qt::Key_H, Qt::AltModifier);
  press(Qt::Key_Down);
  press(Qt::Key_Up);
  const std::int64_t split = charges->item(0, 0)->text().toLongLong();
  ModalAnswers splitting;
  splitting.then(ModalAnswers::clickButton("Yes"));
  splitting.run([&] { pressAccessKey(Qt::Key_P); });
  EXPECT_EQ(
      splitting.seen(),
      std::vector<std::string>{"Are you sure you want to move this transaction to a new claim?"});
  left.erase(split);
  const auto afterSplit = chargesByClaim();
  EXPECT_EQ(afterSplit.at(several), left);
  const std::int64_t newest = afterSplit.rbegin()->first;
  EXPECT_GT(newest, before.rbegin()->first);
  EXPECT_EQ(afterSplit.at(newest), std::set<std::int64_t>{split});
  EXPECT_EQ(static_cast<std::size_t>(charges->rowCount()), left.size());
  EXPECT_EQ(rowOf(newest), table->model()->rowCount() - 1)
      << "the list does not show the new claim";
  ASSERT_TRUE(backTo(*editor));
  press(Qt::Key_Escape);
  EXPECT_TRUE(QTest::qWaitFor([&] { return shownWindow("ClaimEditor") == nullptr; }));

  // Alt+N: the claim's note. Ctrl+T stamps it; Esc leaves the stored note as it was, Save keeps
  // the stamp.
  ASSERT_TRUE(backTo(*list));
  moveTo(*table, rowOf(several));
  const std::string stamp = application_.programDate().value().toMonthDayYear() + " ";
  const auto storedNote = [&] {
    for (const auto& row : rowsOf("QVCLA")) {
      if (row.integer("Claim Number") == several) return row.text("Comment");
    }
    return std::string("(no claim)");
  };
  for (const bool keep : {false, true}) {
    ModalAnswers note;
    note.then([&](QWidget& dialog) {
      ASSERT_TRUE(backTo(dialog));
      press(Qt::Key_T, Qt::ControlModifier);
      auto* text = dialog.findChild<QPlainTextEdit*>("note");
      ASSERT_NE(text, nullptr);
      EXPECT_TRUE(text->toPlainText().startsWith(QString::fromStdString(stamp)))
          << text->toPlainText().toStdString();
      if (keep)
        ModalAnswers::clickButton("Save")(dialog);
      else
        press(Qt::Key_Escape);
    });
    note.run([&] { pressAccessKey(Qt::Key_N); });
    if (keep)
      // The date leads the stored note (the store keeps no trailing blank).
      EXPECT_EQ(storedNote().rfind(stamp.substr(0, 10), 0), 0u) << storedNote();
    else
      EXPECT_EQ(storedNote(), "");
    ASSERT_TRUE(backTo(*list));
  }
}

// The main window closes its work windows before the practice or the user changes: the claim
// windows go with their list, and their claims' patients are free again.
TEST_F(ClaimWindowsTest, ClosingTheListClosesItsClaimWindowsAndLetsTheirPatientsGo) {
  claims::ClaimCriteria everything;
  ASSERT_GT(claims::createClaims({practice(), prompter_}, everything).claims.size(), 1u);
  ClaimManagementWindow* list = openList();
  ASSERT_NE(list, nullptr);
  auto* table = list->findChild<QTableView*>("claims");
  ASSERT_NE(table, nullptr);
  // Two claims of two patients (one patient's claims are edited one at a time).
  const auto chartAt = [&](int row) {
    return table->model()->index(row, 1).data().toString().toStdString();
  };
  int second = 1;
  while (second < table->model()->rowCount() && chartAt(second) == chartAt(0)) ++second;
  ASSERT_LT(second, table->model()->rowCount());
  std::set<std::string> charts;
  for (int row : {0, second}) {
    ASSERT_TRUE(backTo(*list));
    moveTo(*table, row);
    charts.insert(chartAt(row));
    press(Qt::Key_Return);
  }
  int open = 0;
  for (QWidget* window : QApplication::topLevelWidgets())
    open += window->objectName() == "ClaimEditor" && window->isVisible() ? 1 : 0;
  ASSERT_EQ(open, 2);
  QPointer<ClaimManagementWindow> watched(list);
  ASSERT_TRUE(list->close());
  EXPECT_EQ(shownWindow("ClaimEditor"), nullptr);
  delete watched.data();
  for (const auto& chart : charts) {
    claims::PatientLocks locks(practice(), prompter_);
    EXPECT_TRUE(locks.hold(chart)) << chart << " is still held";
  }
}

TEST_F(ClaimWindowsTest, CreateClaimsRefusesDatesTheWrongWayRoundAndStaysOnTheToDate) {
  ClaimManagementWindow* list = openList();
  ASSERT_NE(list, nullptr);
  ModalAnswers answers;
  answers.then([](QWidget& dialog) {
    ASSERT_TRUE(backTo(dialog));
    type("12/01/2026");
    press(Qt::Key_Tab);
    type("11/01/2026");
    press(Qt::Key_O, Qt::AltModifier);
  });
  answers.then(ModalAnswers::clickButton("OK"));
  answers.then([](QWidget& dialog) {
    EXPECT_EQ(dialog.objectName(), "CreateClaims");
    ASSERT_TRUE(backTo(dialog));
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), "toDate");
    press(Qt::Key_Escape);
  });
  answers.run([&] { pressAccessKey(Qt::Key_C); });
  EXPECT_EQ(answers.seen(),
            std::vector<std::string>{"A date entered is not correct.  Enter a valid date\nand "
                                     "make sure that the TO date is on or after the FROM date."});
  EXPECT_TRUE(!practice().tableExists("QVCLA") || rowsOf("QVCLA").empty());
}

}  // namespace
}  // namespace vantrell::desktop
