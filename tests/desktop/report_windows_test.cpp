#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "core/printing/pdf_reading.hpp"
#include "desktop_fixture.hpp"
#include "keyboard_driving.hpp"
#include "modal_answers.hpp"
#include "report_windows.hpp"

// The Reports menu on the tutorial practice, driven by key.
namespace vantrell::desktop {
namespace {

using vantrell::testing::ModalAnswers;
using vantrell::testing::pdfText;
using vantrell::testing::pressAccessKey;

// The records of a CSV file, quoted fields unquoted.
std::vector<std::vector<std::string>> csvRecords(const std::string& text) {
  std::vector<std::vector<std::string>> records(1);
  std::string field;
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"')
        field += text[++i];
      else if (c == '"')
        quoted = false;
      else
        field += c;
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      records.back().push_back(std::move(field));
      field.clear();
    } else if (c == '\n') {
      records.back().push_back(std::move(field));
      field.clear();
      records.emplace_back();
    } else if (c != '\r') {
      field += c;
    }
  }
  if (records.back().empty()) records.pop_back();
  return records;
}

// Cents as the paper prints them: "12,345.67", "-5.00".
std::string printed(std::int64_t cents) {
  std::string whole = std::to_string(std::llabs(cents) / 100);
  for (int at = static_cast<int>(whole.size()) - 3; at > 0; at -= 3)
    whole.insert(static_cast<std::size_t>(at), ",");
  char fraction[4];
  std::snprintf(fraction, sizeof fraction, ".%02lld", std::llabs(cents) % 100);
  return (cents < 0 ? "-" : "") + whole + fraction;
}

// OK by key: with "Use ENTER for next Field" Enter in a field moves on instead.
void pressOk(QWidget& dialog) {
  auto* ok = dialog.findChild<QPushButton*>("ok");
  ASSERT_NE(ok, nullptr);
  ok->setFocus();
  press(Qt::Key_Space);
}

class ReportWindowsTest : public DesktopTest {
 protected:
  void SetUp() override { ASSERT_TRUE(window_.start(options())); }  // the tutorial practice
  store::Connection& practice() { return *application_.practice()->connection; }
};

TEST_F(ReportWindowsTest, PatientAgingIsAskedByKeyPreviewedExportedSavedAndFillsTheWorkList) {
  // What each patient owes as of the program date, worked out from the ledger: every open
  // charge aged, with payments not yet applied netted in, comes to the sum of all the
  // patient's amounts when nothing is dated after the report date.
  const Date asOf = application_.programDate().value();
  std::map<std::string, std::int64_t> owed;
  practice().openTable("QVTRN").forEach([&](const store::Record& row) {
    const auto* from = std::get_if<Date>(&row.value("Date From"));
    ASSERT_TRUE(from == nullptr || !(asOf < *from)) << "a line after the report date";
    owed[row.text("Chart Number")] +=
        std::llround(static_cast<double>(row.money("Amount").tenThousandths()) / 100.0);
  });
  std::int64_t total = 0;
  for (auto it = owed.begin(); it != owed.end();)
    if (it->second == 0) {
      it = owed.erase(it);
    } else {
      total += it->second;
      ++it;
    }
  ASSERT_GE(owed.size(), 2u) << "the tutorial has too few balances to age";
  const auto workListBefore = practice().openTable("QVWRK").count();

  window_.activateWindow();
  ASSERT_TRUE(hasTheKeyboard(window_));
  ModalAnswers questions;
  questions.then([&](QWidget& dialog) {
    EXPECT_EQ(dialog.objectName(), "AgingQuestions");
    EXPECT_EQ(dialog.findChild<QComboBox*>("kind")->currentText(), "Patient Aging");
    EXPECT_EQ(field(dialog, "dateTo")->text().toStdString(),
              reports::questionDefault("TODAY", asOf));
    shoot(dialog, "reports-01-aging-questions.png");
    // An aging date range that ends before it starts is refused.
    ASSERT_TRUE(pressAccessKey(dialog, Qt::Key_D));
    type("12/31/2099");
    pressOk(dialog);
  });
  questions.then(pressOn("OK"));
  questions.then([&](QWidget& dialog) {
    EXPECT_EQ(dialog.objectName(), "AgingQuestions") << "the refusal closed the questions";
    ASSERT_TRUE(backTo(dialog));
    ASSERT_TRUE(pressAccessKey(dialog, Qt::Key_D));
    press(Qt::Key_A, Qt::ControlModifier);
    press(Qt::Key_Delete);
    ASSERT_TRUE(pressAccessKey(dialog, Qt::Key_W));  // Add To Work List
    pressOk(dialog);
  });
  questions.run([&] {
    press(Qt::Key_R, Qt::AltModifier);
    ASSERT_NE(QApplication::activePopupWidget(), nullptr) << "Alt+R opened no menu";
    press(Qt::Key_A);
  });
  ASSERT_EQ(questions.seen().size(), 1u);
  EXPECT_EQ(questions.seen()[0], "Invalid date range. " + reports::questionDefault("TODAY", asOf) +
                                     " is earlier than 12/31/2099");

  auto* preview = qobject_cast<ReportPreviewWindow*>(shownWindow("ReportPreview"));
  ASSERT_NE(preview, nullptr) << "the aging report opened no preview";
  ASSERT_TRUE(hasTheKeyboard(*preview));
  ASSERT_TRUE(preview->isLoaded());
  expectFitsTheScreen(*preview);
  const int pages = preview->pageCount();
  ASSERT_GE(pages, 1);
  EXPECT_EQ(preview->pageText(), QString("Page 1 of %1").arg(pages));
  press(Qt::Key_End);
  EXPECT_EQ(preview->currentPage(), pages - 1);
  press(Qt::Key_Home);
  EXPECT_EQ(preview->currentPage(), 0);
  QTest::qWait(300);  // the page is drawn in the background
  shoot(*preview, "reports-02-aging-preview.png");
  const qreal zoom = preview->zoom();
  press(Qt::Key_Plus, Qt::ControlModifier);
  EXPECT_GT(preview->zoom(), zoom);

  // Ctrl+E asks where to export; the export holds one record per patient owed, with his balance.
  const std::filesystem::path csvPath = home_ / "aging.csv";
  ModalAnswers chooser;
  chooser.then([&](QWidget& dialog) {
    auto* files = qobject_cast<QFileDialog*>(&dialog);
    ASSERT_NE(files, nullptr) << "Ctrl+E opened no file chooser";
    EXPECT_EQ(files->acceptMode(), QFileDialog::AcceptSave);
    files->reject();
  });
  chooser.run([&] { press(Qt::Key_E, Qt::ControlModifier); });
  ASSERT_TRUE(preview->exportCsv(QString::fromStdString(csvPath.string())));
  std::ifstream csvFile(csvPath);
  std::stringstream csvText;
  csvText << csvFile.rdbuf();
  const auto records = csvRecords(csvText.str());
  ASSERT_GE(records.size(), 2u) << csvText.str();
  const auto& header = records.front();
  const auto column = [&](const std::string& title) {
    const auto at = std::find(header.begin(), header.end(), title);
    EXPECT_NE(at, header.end()) << "no column " << title;
    return static_cast<std::size_t>(at - header.begin());
  };
  const std::size_t chart = column("Chart");
  const std::size_t balance = column("Balance");
  std::map<std::string, std::int64_t> exported;
  for (std::size_t index = 1; index < records.size(); ++index) {
    const auto amount = Money::parse(records[index].at(balance));
    ASSERT_TRUE(amount) << records[index].at(balance);
    exported[records[index].at(chart)] = amount->tenThousandths() / 100;
  }
  EXPECT_EQ(exported, owed);

  // The saved PDF shows the same grand total.
  const std::filesystem::path pdfPath = home_ / "aging.pdf";
  ASSERT_TRUE(preview->saveCopy(QString::fromStdString(pdfPath.string())));
  const std::string text = pdfText(pdfPath);
  const auto totals = text.find("Report Aging Totals");
  ASSERT_NE(totals, std::string::npos) << text;
  const std::string totalsLine = text.substr(totals, text.find('\n', totals) - totals);
  EXPECT_NE(totalsLine.find(printed(total)), std::string::npos)
      << totalsLine << " lacks " << printed(total);

  // Closing the report offers the work list; Yes adds one item per patient printed.
  ModalAnswers closing;
  closing.then(pressOn("Yes"));
  ASSERT_TRUE(backTo(*preview));
  closing.run([&] { press(Qt::Key_Escape); });
  ASSERT_EQ(closing.seen().size(), 1u);
  EXPECT_EQ(closing.seen()[0], reports::addToWorkListQuestion);
  std::map<std::string, int> items;
  practice().openTable("QVWRK").forEach(
      [&](const store::Record& row) { ++items[row.text("Patient")]; });
  EXPECT_EQ(practice().openTable("QVWRK").count() - workListBefore,
            static_cast<std::int64_t>(owed.size()));
  for (const auto& [owing, cents] : owed) EXPECT_EQ(items[owing], 1) << owing;
}

// A preview left open when another practice is opened goes first, its work list
// question asked while the practice it was run on is still the open one.
TEST_F(ReportWindowsTest, AnAgingPreviewClosesOnItsOwnPracticeWhenAnotherPracticeOpens) {
  const std::string tutorial = application_.practice()->location.path;
  ModalAnswers questions;
  questions.then([&](QWidget& dialog) {
    dialog.findChild<QCheckBox*>("addToWorkList")->setChecked(true);
    pressOk(dialog);
  });
  questions.run([&] { window_.agingReports(); });
  ASSERT_NE(shownWindow("ReportPreview"), nullptr) << "the aging report opened no preview";

  std::string askedOn;
  const std::string clinic = (home_ / "Clinic").string();
  ModalAnswers switching;
  switching.then([&](QWidget& dialog) {
    askedOn = application_.practice()->location.path;
    ModalAnswers::clickButton("No")(dialog);
  });
  switching.then([&](QWidget& dialog) {
    EXPECT_EQ(shownWindow("ReportPreview"), nullptr) << "the preview outlived its practice";
    field(dialog, "name")->setText("Clinic");
    field(dialog, "path")->setText(QString::fromStdString(clinic));
    dialog.findChild<QPushButton*>("create")->click();
  });
  switching.run([&] { window_.newPractice(); });
  EXPECT_EQ(switching.seen(), std::vector<std::string>{reports::addToWorkListQuestion});
  EXPECT_EQ(askedOn, tutorial);
  EXPECT_EQ(application_.practice()->location.path, clinic);
  EXPECT_EQ(shownWindow("ReportPreview"), nullptr);
}

// The service dates are asked of the remainder reports only, the provider of
// every report, and they reach the report's questions.
TEST_F(ReportWindowsTest, TheAgingQuestionsAskServiceDatesOfTheRemainderReportsOnly) {
  AgingQuestionsDialog questions(
      prompter_, Date::fromYmd(2026, 12, 31), [](int) { return true; }, &window_);
  ModalAnswers answers;
  answers.then([&](QWidget& dialog) {
    auto* kind = dialog.findChild<QComboBox*>("kind");
    QLineEdit* from = field(dialog, "serviceFrom");
    QLineEdit* to = field(dialog, "serviceTo");
    ASSERT_NE(from, nullptr);
    ASSERT_NE(to, nullptr);
    for (const char* other :
         {"Patient Aging", "Applied Patient Aging", "Primary Insurance Aging"}) {
      kind->setCurrentIndex(kind->findText(other));
      EXPECT_FALSE(from->isEnabled() || to->isEnabled()) << other;
    }
    kind->setCurrentIndex(kind->findText("Guarantor Remainder Totals"));
    EXPECT_TRUE(from->isEnabled() && to->isEnabled());
    kind->setCurrentIndex(kind->findText("Patient Remainder Aging"));
    from->setText("3/1/2026");
    to->setText("03/31/2026");
    // Every aging report reads the provider, billing code and indicator questions.
    for (const char* name : {"providerFrom", "billingTo", "indicator"})
      EXPECT_TRUE(field(dialog, name)->isEnabled()) << name;
    field(dialog, "providerFrom")->setText("DRW");
    shoot(dialog, "reports-05-remainder-questions.png");
    pressOk(dialog);
  });
  int result = QDialog::Rejected;
  answers.run([&] { result = questions.exec(); });
  ASSERT_EQ(result, QDialog::Accepted);
  EXPECT_EQ(questions.kind(), reports::AgingKind::Remainder);
  EXPECT_EQ(questions.questions().serviceDate.from, Date::fromYmd(2026, 3, 1));
  EXPECT_EQ(questions.questions().serviceDate.to, Date::fromYmd(2026, 3, 31));
  EXPECT_EQ(questions.questions().provider.from, "DRW");
}

TEST_F(ReportWindowsTest, DaySheetQuestionsGoThroughTheCoreAndThePreviewHoldsTheLedgersNetEffect) {
  // Every entry ever made, below "Z", is the net effect on the accounts receivable.
  Money net;
  practice().openTable("QVTRN").forEach([&](const store::Record& row) {
    if (row.text("Transaction Type") < "Z") net += row.money("Amount");
  });

  window_.activateWindow();
  ASSERT_TRUE(hasTheKeyboard(window_));
  const auto clearCreated = [](QWidget& dialog) {
    for (const char* name : {"from:Date Created", "to:Date Created"}) {
      QLineEdit* edit = field(dialog, name);
      ASSERT_NE(edit, nullptr);
      edit->setFocus();
      press(Qt::Key_A, Qt::ControlModifier);
      press(Qt::Key_Delete);
    }
  };
  ModalAnswers questions;
  questions.then([&](QWidget& dialog) {
    EXPECT_EQ(dialog.objectName(), "LedgerQuestions");
    EXPECT_EQ(dialog.findChild<QComboBox*>("kind")->currentText(), "Patient Day Sheet");
    shoot(dialog, "reports-03-day-sheet-questions.png");
    // Alt and a letter of its own reaches each range.
    QString letters = "RSB";  // the report box and the two choices
    for (QLabel* label : dialog.findChildren<QLabel*>()) {
      if (label->buddy() == nullptr || !label->buddy()->objectName().startsWith("from:")) continue;
      const auto at = label->text().indexOf('&');
      ASSERT_GE(at, 0) << label->text().toStdString() << " has no access key";
      const QChar letter = label->text().at(at + 1).toUpper();
      EXPECT_FALSE(letters.contains(letter)) << label->text().toStdString();
      letters += letter;
      ASSERT_TRUE(vantrell::testing::pressAccessKey(dialog, static_cast<Qt::Key>(letter.unicode())));
      EXPECT_EQ(QApplication::focusWidget(), label->buddy()) << label->text().toStdString();
    }
    EXPECT_EQ(letters.size(), 3 + 7) << letters.toStdString();
    clearCreated(dialog);
    type("13/45/2026");
    pressOk(dialog);
  });
  questions.then(pressOn("OK"));
  questions.then([&](QWidget& dialog) {
    ASSERT_TRUE(backTo(dialog));
    clearCreated(dialog);
    pressOk(dialog);
  });
  questions.run([&] {
    press(Qt::Key_R, Qt::AltModifier);
    press(Qt::Key_D);
  });
  ASSERT_EQ(questions.seen().size(), 1u);
  EXPECT_EQ(questions.seen()[0], "\"13/45/2026\" is not a valid date.");

  auto* preview = qobject_cast<ReportPreviewWindow*>(shownWindow("ReportPreview"));
  ASSERT_NE(preview, nullptr) << "the day sheet opened no preview";
  ASSERT_TRUE(hasTheKeyboard(*preview));
  EXPECT_EQ(preview->report().header.title, "Patient Day Sheet");
  const auto& summary = preview->report().summary;
  const auto line = std::find_if(summary.begin(), summary.end(), [](const auto& entry) {
    return entry.label == "Net Effect on Accounts Receivable";
  });
  ASSERT_NE(line, summary.end());
  EXPECT_EQ(line->value.amount(), net);
  QTest::qWait(300);
  shoot(*preview, "reports-04-day-sheet-preview.png");
  press(Qt::Key_Escape);
  EXPECT_TRUE(QTest::qWaitFor([] { return shownWindow("ReportPreview") == nullptr; }));
}

}  // namespace
}  // namespace vantrell::desktop
