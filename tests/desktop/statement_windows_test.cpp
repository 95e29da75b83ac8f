#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>

#include "core/printing/pdf_reading.hpp"
#include "desktop_fixture.hpp"
#include "keyboard_driving.hpp"
#include "modal_answers.hpp"
#include "pdf_preview_window.hpp"
#include "statement_windows.hpp"

// Statement Management on the tutorial practice, driven by key as a clerk does it.
namespace vantrell::desktop {
namespace {

using vantrell::testing::ModalAnswers;
using vantrell::testing::pdfText;

class StatementWindowsTest : public DesktopTest {
 protected:
  void SetUp() override { ASSERT_TRUE(window_.start(options())); }  // the tutorial practice

  store::Connection& practice() { return *application_.practice()->connection; }

  // The ledger read straight from the table, with each case's guarantor.
  struct Line {
    std::int64_t entry, statement;
    std::string chart, guarantor, type;
    Money open;  // the charge less what was paid and adjusted on it
    bool caseStatements;
    Date lastStatement;
  };
  std::vector<Line> ledger() {
    std::map<std::pair<std::string, std::int64_t>, std::pair<std::string, bool>> cases;
    practice().openTable("QVCAS").forEach([&](const store::Record& row) {
      cases[{row.text("Chart Number"), row.integer("Case Number")}] = {
          row.text("Guarantor"), row.logical("Print Patient Statements")};
    });
    std::vector<Line> lines;
    practice().openTable("QVTRN").forEach([&](const store::Record& row) {
      const auto* last = std::get_if<Date>(&row.value("Date of Last Statement"));
      Money open = row.money("Amount");
      for (const char* part :
           {"Guarantor Amount Paid", "Insurance 1 Amount Paid", "Insurance 2 Amount Paid",
            "Insurance 3 Amount Paid", "Attorney Amount Paid", "Adjustment Amount"})
        open += row.money(part);
      const auto& owner = cases[{row.text("Chart Number"), row.integer("Case Number")}];
      lines.push_back({row.integer("Entry Number"), row.integer("Statement Number"),
                       row.text("Chart Number"), owner.first, row.text("Transaction Type"), open,
                       owner.second, last != nullptr ? *last : Date{}});
    });
    return lines;
  }
  std::map<std::int64_t, store::Record> statementRecords() {
    std::map<std::int64_t, store::Record> rows;
    practice().openTable("QVSTA").forEach(
        [&](const store::Record& row) { rows.emplace(row.integer("Statement Number"), row); });
    return rows;
  }
  std::string nameOf(const std::string& chart) {
    store::Table patients = practice().openTable("QVPAT");
    patients.setOrder("Primary");
    const auto row = patients.seek({store::Value{chart}});
    return row ? row->text("Last Name") : std::string();
  }

  StatementManagementWindow* openByKey() {
    window_.activateWindow();
    if (!hasTheKeyboard(window_)) return nullptr;
    press(Qt::Key_A, Qt::AltModifier);
    if (QApplication::activePopupWidget() == nullptr) {
      ADD_FAILURE() << "Alt+A opened no menu";
      return nullptr;
    }
    shoot(*QApplication::activePopupWidget(), "statements-01-activities-menu.png");
    press(Qt::Key_S);
    auto* list = qobject_cast<StatementManagementWindow*>(shownWindow("StatementManagement"));
    if (list == nullptr || !hasTheKeyboard(*list)) return nullptr;
    return list;
  }

  // Create Statements by key: Ins, the dialog's defaults taken with Enter, and Yes to each
  // question of a first run; returns the messages seen after the dialog.
  std::vector<std::string> createByKey(StatementManagementWindow& list) {
    ModalAnswers answers;
    answers.then([](QWidget& dialog) {
      EXPECT_EQ(dialog.objectName(), "CreateStatements");
      shoot(dialog, "statements-02-create-dialog.png");
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    });
    answers.then(pressOn("Yes"));  // only statements with a total above zero
    answers.then(pressOn("OK"));   // what the run made
    answers.run([&] {
      list.findChild<QTableView*>("statements")->setFocus();
      press(Qt::Key_Insert);
    });
    return answers.seen();
  }
};

TEST_F(StatementWindowsTest, StatementsAreMadeOpenedAndPrintedToThePreviewByKey) {
  const std::vector<Line> before = ledger();
  // The guarantors a run has to bill (the first run asks for totals above zero, answered Yes):
  // those whose unassigned charges, on cases that print statements, are still owed in sum.
  std::map<std::string, Money> owed;
  for (const Line& line : before)
    if (line.statement == 0 && line.type <= "H" && line.caseStatements)
      owed[line.guarantor] += line.open;
  std::set<std::string> expected;
  for (const auto& [guarantor, total] : owed)
    if (total > Money{}) expected.insert(guarantor);
  ASSERT_FALSE(expected.empty()) << "the tutorial has no unbilled balance to make statements of";

  StatementManagementWindow* list = openByKey();
  ASSERT_NE(list, nullptr) << "Alt+A, S did not bring up Statement Management with the keyboard";
  auto* view = list->findChild<QTableView*>("statements");
  ASSERT_NE(view, nullptr);
  const int rowsBefore = view->model()->rowCount();

  const auto seen = createByKey(*list);
  ASSERT_TRUE(backTo(*list));
  shoot(*list, "statements-03-list.png");

  // One standard statement per guarantor owed money, each holding only that guarantor's lines.
  const auto statements = statementRecords();
  std::set<std::string> billed;
  for (const auto& [number, row] : statements) {
    EXPECT_EQ(row.text("Statement Type"), "S");
    billed.insert(row.text("Chart Number"));
  }
  EXPECT_EQ(billed, expected);
  EXPECT_EQ(view->model()->rowCount() - rowsBefore, static_cast<int>(statements.size()));
  std::map<std::int64_t, std::vector<Line>> linesOf;
  for (const Line& line : ledger()) {
    if (line.statement == 0) continue;
    linesOf[line.statement].push_back(line);
    ASSERT_TRUE(statements.count(line.statement)) << "a line on a missing statement";
    EXPECT_EQ(line.guarantor, statements.at(line.statement).text("Chart Number"));
  }
  EXPECT_EQ(linesOf.size(), statements.size()) << "a statement without lines";

  // Enter opens the statement the list is on, with its lines.
  ASSERT_TRUE(view->currentIndex().isValid());
  const std::int64_t number =
      view->model()->index(view->currentIndex().row(), 0).data().toLongLong();
  ASSERT_TRUE(statements.count(number));
  const std::string chart = statements.at(number).text("Chart Number");
  ModalAnswers editor;
  editor.then([&](QWidget& dialog) {
    EXPECT_EQ(dialog.objectName(), "StatementEdit");
    EXPECT_TRUE(dialog.windowTitle().endsWith("- Standard")) << dialog.windowTitle().toStdString();
    auto* lines = dialog.findChild<QTableWidget*>("lines");
    ASSERT_NE(lines, nullptr);
    std::set<std::int64_t> shownEntries, storedEntries;
    for (int row = 0; row < lines->rowCount(); ++row)
      shownEntries.insert(lines->item(row, 3)->text().toLongLong());
    for (const Line& line : linesOf[number]) storedEntries.insert(line.entry);
    EXPECT_EQ(shownEntries, storedEntries);
    shoot(dialog, "statements-04-editor.png");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  });
  editor.run([&] { press(Qt::Key_Return); });
  ASSERT_TRUE(backTo(*list));

  // Ctrl+P prints the statement to the preview, and the statement is billed.
  const std::int64_t countBefore = statements.at(number).integer("Submission Count");
  ModalAnswers printSend;
  printSend.then([&](QWidget& dialog) {
    EXPECT_EQ(dialog.windowTitle(), "Print/Send Statements");
    shoot(dialog, "statements-05-print-send.png");
    QTest::keyClick(&dialog, Qt::Key_Return);  // Paper, the default
  });
  printSend.run([&] { press(Qt::Key_P, Qt::ControlModifier); });
  PdfPreviewWindow* preview = list->lastPreview();
  ASSERT_NE(preview, nullptr) << "Ctrl+P opened no preview";
  ASSERT_TRUE(QTest::qWaitForWindowExposed(preview));
  expectFitsTheScreen(*preview);
  ASSERT_TRUE(preview->isLoaded());
  EXPECT_GE(preview->pageCount(), 1);
  QTest::qWait(500);  // the page is drawn in the background
  shoot(*preview, "statements-05-preview.png");
  const std::filesystem::path copy = home_ / "printed.pdf";
  ASSERT_TRUE(preview->saveCopy(QString::fromStdString(copy.string())));
  const std::string text = pdfText(copy);
  EXPECT_NE(text.find(chart), std::string::npos) << text;
  EXPECT_NE(text.find(nameOf(chart)), std::string::npos) << text;
  // The amount due is what is still open on the statement's charges.
  Money due;
  for (const Line& line : linesOf[number])
    if (line.type <= "H") due += line.open;
  EXPECT_NE(text.find("$" + due.toGroupedString()), std::string::npos) << text;

  const store::Record printed = statementRecords().at(number);
  const Date today = application_.programDate().value();
  EXPECT_EQ(printed.text("Status"), "2");
  EXPECT_EQ(printed.integer("Submission Count"), countBefore + 1);
  EXPECT_EQ(std::get<Date>(printed.value("Last Billing Date")), today);
  for (const Line& line : ledger())
    if (line.statement == number) {
      EXPECT_EQ(line.lastStatement, today);
    }
  // The list shows what the print did.
  const int row = view->currentIndex().row();
  EXPECT_EQ(view->model()->index(row, 0).data().toLongLong(), number);
  EXPECT_EQ(view->model()->index(row, 3).data().toString(), "Sent");
  preview->close();
  ASSERT_TRUE(QTest::qWaitFor([&] { return list->lastPreview() == nullptr; }));

  // A reprint shows it again and bills nothing.
  ASSERT_TRUE(backTo(*list));
  press(Qt::Key_R, Qt::ControlModifier);
  ASSERT_NE(list->lastPreview(), nullptr) << "Ctrl+R opened no preview";
  EXPECT_EQ(statementRecords().at(number).integer("Submission Count"), countBefore + 1);
  list->lastPreview()->close();
  list->close();
}

TEST_F(StatementWindowsTest, ChangeStatusFilterSortAndDeleteWorkOnWhatTheListShows) {
  StatementManagementWindow* list = openByKey();
  ASSERT_NE(list, nullptr);
  createByKey(*list);
  ASSERT_TRUE(backTo(*list));
  auto* view = list->findChild<QTableView*>("statements");
  const auto made = statementRecords();
  ASSERT_GE(made.size(), 3u);

  // Every statement selected; a status from without a status to keeps the dialog open with its
  // message, and the pair then moves every one of them to Hold.
  view->setFocus();
  press(Qt::Key_A, Qt::ControlModifier);
  ModalAnswers change;
  const auto choose = [](QWidget& dialog, const char* name, int index) {
    auto* box = dialog.findChild<QComboBox*>(name);
    ASSERT_NE(box, nullptr) << name;
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Home);
    for (int step = 0; step < index; ++step) QTest::keyClick(box, Qt::Key_Down);
    EXPECT_EQ(box->currentIndex(), index);
  };
  QPointer<QWidget> changeDialog;
  change.then([&](QWidget& dialog) {
    EXPECT_EQ(dialog.objectName(), "ChangeStatus");
    changeDialog = &dialog;
    choose(dialog, "statusFrom", 6);  // "Any Status Type"
    shoot(dialog, "statements-06-change-status.png");
    // Enter on the closed dialog brings its message; the answer returns first.
    QTimer::singleShot(0, &dialog, [&dialog] { QTest::keyClick(&dialog, Qt::Key_Return); });
  });
  change.then(pressOn("OK"));
  change.then([&](QWidget& dialog) {
    EXPECT_EQ(&dialog, changeDialog.data()) << "the dialog did not stay open";
    choose(dialog, "statusTo", 1);  // "Hold"
    QTimer::singleShot(0, &dialog, [&dialog] { QTest::keyClick(&dialog, Qt::Key_Return); });
  });
  change.run([&] { list->findChild<QPushButton*>("changeStatus")->click(); });
  EXPECT_EQ(change.seen(),
            std::vector<std::string>{"Please select both a 'Status From' and a 'Status To'."});
  for (const auto& [number, row] : statementRecords()) EXPECT_EQ(row.text("Status"), "0") << number;

  // The status filter lists them all under Hold and none under Sent.
  auto* status = list->findChild<QComboBox*>("statusFilter");
  ASSERT_NE(status, nullptr);
  status->setCurrentIndex(1);  // Hold
  while (view->model()->canFetchMore({})) view->model()->fetchMore({});
  EXPECT_EQ(view->model()->rowCount(), static_cast<int>(made.size()));
  status->setCurrentIndex(3);  // Sent
  EXPECT_EQ(view->model()->rowCount(), 0);
  list->findChild<QPushButton*>("defaults")->click();
  EXPECT_EQ(status->currentIndex(), 0);

  // Two clicks on Chart Number sort the list by it, descending.
  std::vector<std::string> charts;
  for (const auto& [number, row] : made) charts.push_back(row.text("Chart Number"));
  std::sort(charts.rbegin(), charts.rend());
  auto* header = view->horizontalHeader();
  const int chartColumn = 1;
  for (int click = 0; click < 2; ++click)
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(chartColumn) + 5, 5));
  while (view->model()->canFetchMore({})) view->model()->fetchMore({});
  std::vector<std::string> shown;
  for (int row = 0; row < view->model()->rowCount(); ++row)
    shown.push_back(view->model()->index(row, chartColumn).data().toString().toStdString());
  EXPECT_EQ(shown, charts);

  // Del on the first row deletes that statement, after its question, and frees its lines.
  ASSERT_TRUE(backTo(*list));
  view->setFocus();
  view->selectRow(0);
  const std::int64_t gone = view->model()->index(0, 0).data().toLongLong();
  ModalAnswers question;
  question.then(pressOn("Yes"));
  question.run([&] { press(Qt::Key_Delete); });
  ASSERT_EQ(question.seen().size(), 1u);
  EXPECT_EQ(question.seen()[0].rfind("Deleting this Statement will release", 0), 0u);
  EXPECT_EQ(statementRecords().count(gone), 0u);
  EXPECT_EQ(view->model()->rowCount(), static_cast<int>(made.size()) - 1);
  for (const Line& line : ledger()) EXPECT_NE(line.statement, gone);
  list->close();
}

TEST_F(StatementWindowsTest, QuickBalanceListsWhatAGuarantorStillOwes) {
  StatementManagementWindow* list = openByKey();
  ASSERT_NE(list, nullptr);
  const std::vector<Line> lines = ledger();
  std::map<std::int64_t, Money> openOf;
  std::set<std::string> guarantors;
  for (const Line& line : lines) {
    openOf[line.entry] = line.open;
    guarantors.insert(line.guarantor);
  }
  // A patient who guarantees no case of their own but has one.
  std::string patientOnly;
  for (const Line& line : lines)
    if (guarantors.count(line.chart) == 0) patientOnly = line.chart;
  guarantors.erase("");
  // A guarantor with something left to owe after insurance (only chosen here; what the window
  // shows is checked against the ledger).
  std::string guarantor;
  for (const std::string& chart : guarantors) {
    statements::QuickBalanceWindow probe(
        {practice(), application_.practice()->options, prompter_, settings_, clock_});
    if (probe.chooseChart(chart) && !probe.lines().empty()) guarantor = chart;
  }
  ASSERT_FALSE(guarantor.empty()) << "no tutorial guarantor owes anything after insurance";

  const auto typeChart = [](QWidget& dialog, const std::string& chart) {
    auto* edit = dialog.findChild<QLineEdit*>("chart");
    EXPECT_NE(edit, nullptr);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, QString::fromStdString(chart).toLower());
    return edit;
  };
  // The guarantor's lines with their open amounts, and the balance they add up to.
  const auto checkGuarantor = [&](QWidget& dialog) {
    QTest::keyClick(typeChart(dialog, guarantor), Qt::Key_Return);
    auto* shownLines = dialog.findChild<QTableWidget*>("lines");
    auto* balance = dialog.findChild<QLabel*>("balance");
    ASSERT_NE(shownLines, nullptr);
    ASSERT_NE(balance, nullptr);
    ASSERT_GT(shownLines->rowCount(), 0);
    Money total;
    for (int row = 0; row < shownLines->rowCount(); ++row) {
      const std::int64_t entry = shownLines->item(row, 3)->text().toLongLong();
      ASSERT_TRUE(openOf.count(entry));
      EXPECT_EQ(shownLines->item(row, 4)->text().toStdString(), openOf[entry].toGroupedString());
      total += openOf[entry];
    }
    EXPECT_EQ(balance->text().toStdString(), "Remainder balance: " + total.toGroupedString());
    shoot(dialog, "statements-07-quick-balance.png");
    qobject_cast<QDialog*>(&dialog)->reject();
  };
  ModalAnswers answers;
  if (patientOnly.empty()) {
    answers.then(checkGuarantor);
  } else {
    answers.then([&](QWidget& dialog) {
      EXPECT_EQ(dialog.objectName(), "QuickBalance");
      QLineEdit* edit = typeChart(dialog, patientOnly);
      QTimer::singleShot(0, edit, [edit] { QTest::keyClick(edit, Qt::Key_Return); });
    });
    answers.then(pressOn("OK"));
    answers.then(checkGuarantor);
  }
  answers.run([&] { list->findChild<QPushButton*>("quickBalance")->click(); });
  if (!patientOnly.empty()) {
    EXPECT_EQ(answers.seen(), std::vector<std::string>{"This is not a guarantor's account."});
  }
  list->close();
}

TEST_F(StatementWindowsTest, TheEditorSplitsRemovesAndAddsLinesOfAStatement) {
  StatementManagementWindow* list = openByKey();
  ASSERT_NE(list, nullptr);
  createByKey(*list);
  ASSERT_TRUE(backTo(*list));
  auto* view = list->findChild<QTableView*>("statements");

  // The statement with the most lines.
  std::map<std::int64_t, std::vector<std::int64_t>> entriesOf;
  for (const Line& line : ledger())
    if (line.statement != 0) entriesOf[line.statement].push_back(line.entry);
  std::int64_t number = 0;
  for (const auto& [statement, entries] : entriesOf)
    if (number == 0 || entries.size() > entriesOf[number].size()) number = statement;
  ASSERT_GE(entriesOf[number].size(), 3u);
  const std::size_t size = entriesOf[number].size();
  const auto row = qobject_cast<StatementListModel*>(view->model())->rowOf(number);
  ASSERT_TRUE(row.has_value());
  view->setFocus();
  view->selectRow(*row);

  const auto entryOfRow = [](QWidget& editor, int at) {
    return editor.findChild<QTableWidget*>("lines")->item(at, 3)->text().toLongLong();
  };
  const auto later = [](QWidget& dialog, const char* button) {
    auto* pushed = dialog.findChild<QPushButton*>(button);
    EXPECT_NE(pushed, nullptr) << button;
    QTimer::singleShot(0, pushed, [pushed] { pushed->click(); });
  };
  std::int64_t split = 0, removed = 0;
  ModalAnswers answers;
  answers.then([&](QWidget& editor) {
    ASSERT_EQ(editor.objectName(), "StatementEdit");
    editor.findChild<QTableWidget*>("lines")->selectRow(0);
    split = entryOfRow(editor, 0);
    later(editor, "split");
  });
  answers.then(pressOn("Yes"));
  answers.then([&](QWidget& editor) {
    EXPECT_EQ(editor.findChild<QTableWidget*>("lines")->rowCount(), static_cast<int>(size) - 1);
    editor.findChild<QTableWidget*>("lines")->selectRow(0);
    removed = entryOfRow(editor, 0);
    later(editor, "remove");
  });
  answers.then(pressOn("Yes"));
  answers.then([&](QWidget& editor) {
    EXPECT_EQ(editor.findChild<QTableWidget*>("lines")->rowCount(), static_cast<int>(size) - 2);
    later(editor, "add");
  });
  answers.then([&](QWidget& adding) {
    ASSERT_EQ(adding.objectName(), "AddTransactions");
    auto* candidates = adding.findChild<QTableWidget*>("candidates");
    ASSERT_NE(candidates, nullptr);
    int at = -1;
    for (int candidate = 0; candidate < candidates->rowCount(); ++candidate)
      if (candidates->item(candidate, 3)->text().toLongLong() == removed) at = candidate;
    ASSERT_GE(at, 0) << "the line taken off is not offered again";
    candidates->selectRow(at);
    shoot(adding, "statements-08-add-transactions.png");
    // Enter on the list adds the chosen line.
    candidates->setFocus();
    QTimer::singleShot(0, candidates,
                       [candidates] { QTest::keyClick(candidates, Qt::Key_Return); });
  });
  answers.then(pressOn("Yes"));
  answers.then([&](QWidget& editor) {
    EXPECT_EQ(editor.findChild<QTableWidget*>("lines")->rowCount(), static_cast<int>(size) - 1);
    shoot(editor, "statements-09-editor-after.png");
    qobject_cast<QDialog*>(&editor)->reject();
  });
  answers.run([&] { press(Qt::Key_Return); });
  EXPECT_EQ(answers.seen(),
            (std::vector<std::string>{
                "Are you sure you want to move this transaction to a new Statement?",
                "Are you sure you want to remove this transaction?",
                "Are you sure you want to add this transaction to this statement?"}));

  // The store: the split line on a new statement of the same guarantor, the removed line back.
  std::map<std::int64_t, std::int64_t> statementOf;
  for (const Line& line : ledger()) statementOf[line.entry] = line.statement;
  const auto statements = statementRecords();
  ASSERT_TRUE(statements.count(statementOf[split]));
  EXPECT_NE(statementOf[split], number);
  EXPECT_EQ(statements.at(statementOf[split]).text("Chart Number"),
            statements.at(number).text("Chart Number"));
  EXPECT_EQ(statementOf[removed], number);
  list->close();
}

TEST_F(StatementWindowsTest, ARefusedChartRangeBringsTheCreateDialogBackOnTheToField) {
  StatementManagementWindow* list = openByKey();
  ASSERT_NE(list, nullptr);
  ModalAnswers answers;
  answers.then([](QWidget& dialog) {
    ASSERT_EQ(dialog.objectName(), "CreateStatements");
    auto* from = dialog.findChild<QLineEdit*>("fromChart");
    auto* to = dialog.findChild<QLineEdit*>("toChart");
    ASSERT_NE(from, nullptr);
    ASSERT_NE(to, nullptr);
    QTest::keyClicks(from, "zz");
    QTest::keyClicks(to, "aa");
    // Enter on the last field presses Create.
    auto* minimum = dialog.findChild<QLineEdit*>("minimum");
    ASSERT_NE(minimum, nullptr);
    minimum->setFocus();
    QTimer::singleShot(0, minimum, [minimum] { QTest::keyClick(minimum, Qt::Key_Return); });
  });
  answers.then(pressOn("Yes"));  // a first run: only totals above zero
  answers.then(pressOn("OK"));   // the range
  answers.then([](QWidget& dialog) {
    ASSERT_EQ(dialog.objectName(), "CreateStatements");
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    EXPECT_EQ(focus->objectName(), "toChart");
    EXPECT_EQ(dialog.findChild<QLineEdit*>("fromChart")->text(), "ZZ");
    QTimer::singleShot(0, focus, [focus] { QTest::keyClick(focus, Qt::Key_Escape); });
  });
  answers.run([&] {
    list->findChild<QTableView*>("statements")->setFocus();
    press(Qt::Key_Insert);
  });
  ASSERT_EQ(answers.seen().size(), 2u);
  EXPECT_EQ(answers.seen()[1], statements::StatementCreateDialog::badChartRange);
  EXPECT_TRUE(statementRecords().empty());
  list->close();
}

}  // namespace
}  // namespace vantrell::desktop
