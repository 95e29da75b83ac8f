#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <fstream>

#include <fmt/format.h>

#include "claims/claim_creation.hpp"
#include "desktop_fixture.hpp"
#include "keyboard_driving.hpp"
#include "modal_answers.hpp"
#include "remittance/remittance_queue.hpp"
#include "support/tutorial_remittance.hpp"

// Import Remittance (835) and the exception queue on the tutorial practice, by key.
namespace vantrell::desktop {
namespace {

using vantrell::testing::ModalAnswers;

QWidget* waitForWindow(const QString& name) {
  QWidget* found = nullptr;
  if (!QTest::qWaitFor([&] { return (found = shownWindow(name)) != nullptr; }, 3000) ||
      !hasTheKeyboard(*found)) {
    ADD_FAILURE() << "the window " << name.toStdString() << " did not come up with the keyboard";
    return nullptr;
  }
  return found;
}

// The cell's text, or where it is missing.
std::string cell(QWidget& window, const char* table, int row, int column) {
  auto* grid = window.findChild<QTableWidget*>(table);
  if (grid == nullptr || grid->item(row, column) == nullptr)
    return "(no cell " + std::to_string(row) + "," + std::to_string(column) + ")";
  return grid->item(row, column)->text().toStdString();
}

// The file chooser answered with the file's path (the chooser is Qt's own).
ModalAnswers::Answer chooseFile(const std::string& path) {
  return [path](QWidget& window) {
    auto* chooser = qobject_cast<QFileDialog*>(&window);
    ASSERT_NE(chooser, nullptr) << "expected the file chooser, got "
                                << window.objectName().toStdString();
    // Typed into its file name box, which has the keyboard.
    auto* name = chooser->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(name, nullptr);
    name->setText(QString::fromStdString(path));
    static_cast<QDialog*>(chooser)->accept();  // Open, as the button does
  };
}

class RemittanceWindowsTest : public DesktopTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(window_.start(options()));
    claims::ClaimCriteria everything;
    ASSERT_GT(claims::createClaims({practice(), prompter_}, everything).claims.size(), 0u);
    advice_ = testing::writeTutorialRemittance(practice(), "TR4471");
    ASSERT_FALSE(advice_.text.empty());
    file_ = (home_ / "tutorial.835").string();
    std::ofstream(file_) << advice_.text;
  }
  store::Connection& practice() { return *application_.practice()->connection; }
  store::Record charge(std::int64_t entry) {
    std::optional<store::Record> found;
    practice().openTable("QVTRN").forEach([&](const store::Record& row) {
      if (row.integer("Entry Number") == entry) found = row;
    });
    return found ? *found : practice().openTable("QVTRN").newRecord();
  }
  // Alt+A, I: the Activities menu's Import Remittance, with the file chooser answered.
  void importByKey(ModalAnswers& answers) {
    window_.activateWindow();
    ASSERT_TRUE(hasTheKeyboard(window_));
    press(Qt::Key_A, Qt::AltModifier);
    ASSERT_NE(QApplication::activePopupWidget(), nullptr) << "Alt+A opened no menu";
    answers.run([&] { press(Qt::Key_I); });
  }

  testing::TutorialRemittance advice_;
  std::string file_;
};

// The summary before posting (nothing written), F9 posting it, the queue with the denial in
// words, the payment application window opened on the denied line's deposit and patient with
// the item resolved by its note; then the same file again is refused naming the first import.
TEST_F(RemittanceWindowsTest, AnImportIsSummedUpPostedAndItsDenialWorkedFromTheQueue) {
  ModalAnswers chosen;
  chosen.then(chooseFile(file_));
  importByKey(chosen);
  QWidget* summary = waitForWindow("RemittanceImport");
  ASSERT_NE(summary, nullptr);
  shoot(*summary, "remittance-01-summary.png");
  EXPECT_EQ(cell(*summary, "advices", 0, 6), "2");  // lines
  EXPECT_EQ(cell(*summary, "advices", 0, 7), "1");  // to post
  EXPECT_EQ(cell(*summary, "advices", 0, 8), advice_.paid.toGroupedString());
  EXPECT_EQ(cell(*summary, "advices", 0, 9), "1");  // to the queue
  EXPECT_EQ(cell(*summary, "queued", 0, 0), "Denial");
  EXPECT_EQ(cell(*summary, "queued", 0, 3), std::to_string(advice_.deniedEntry));
  EXPECT_NE(cell(*summary, "queued", 0, 7).find("Not deemed a medical necessity"),
            std::string::npos);
  EXPECT_TRUE(remittance::listRemittances(practice()).empty()) << "the summary posted";
  EXPECT_EQ(charge(advice_.paidEntry).money("Insurance 1 Amount Paid"), Money{});

  press(Qt::Key_F9);
  ASSERT_EQ(remittance::listRemittances(practice()).size(), 1u) << "F9 posted nothing";
  const store::Record stored = remittance::listRemittances(practice()).front();
  const std::int64_t number = stored.integer("Remittance Number");
  EXPECT_EQ(summary->windowTitle(), "Remittance Posted: tutorial.835");
  EXPECT_EQ(cell(*summary, "advices", 0, 10), std::to_string(number));
  EXPECT_EQ(charge(advice_.paidEntry).money("Insurance 1 Amount Paid"), -advice_.paid);
  EXPECT_EQ(charge(advice_.paidEntry).money("Adjustment Amount"), -advice_.writtenOff);
  EXPECT_EQ(charge(advice_.deniedEntry).text("Claim Rejection Code"), "50");
  shoot(*summary, "remittance-02-posted.png");

  // Open Queue: the denied line, its reason in words.
  ASSERT_TRUE(backTo(*summary));
  press(Qt::Key_Q, Qt::AltModifier);
  QWidget* queue = waitForWindow("RemittanceQueue");
  ASSERT_NE(queue, nullptr) << "Alt+Q opened no queue";
  EXPECT_EQ(cell(*queue, "items", 0, 2), "Denial");
  EXPECT_EQ(cell(*queue, "items", 0, 4), advice_.chart);
  EXPECT_NE(cell(*queue, "items", 0, 10).find("50: Not deemed a medical necessity by the payer"),
            std::string::npos);
  shoot(*queue, "remittance-03-queue.png");

  // Enter: the payment application window on the import's deposit and the patient.
  queue->findChild<QTableWidget*>("items")->setFocus();
  press(Qt::Key_Return);
  QWidget* application = waitForWindow("PaymentApplication");
  ASSERT_NE(application, nullptr) << "Enter opened no payment application window";
  EXPECT_EQ(application->findChild<QLineEdit*>("chart")->text().toStdString(), advice_.chart);
  bool deniedShown = false;
  auto* rows = application->findChild<QTableWidget*>("charges");
  for (int row = 0; row < rows->rowCount(); ++row)
    deniedShown =
        deniedShown || rows->item(row, 2)->text().toStdString() == advice_.deniedCharge.toString();
  EXPECT_TRUE(deniedShown) << "the denied charge is not among the patient's";
  shoot(*application, "remittance-04-post-by-hand.png");
  // Closing it asks for the note that resolves the item.
  ModalAnswers note;
  note.then([](QWidget& question) {
    auto* answer = question.findChild<QLineEdit*>("answer");
    ASSERT_NE(answer, nullptr);
    answer->setText("Appealed with the notes");
    question.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
  });
  note.run([&] { press(Qt::Key_Escape); });
  const auto items = remittance::queueItems(practice(), number, false);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].text("Status"), "R");
  EXPECT_EQ(items[0].text("Note"), "Appealed with the notes");
  queue->close();
  summary->close();

  // Electronic Remittances lists the import with its deposit and counts.
  window_.activateWindow();
  ASSERT_TRUE(hasTheKeyboard(window_));
  press(Qt::Key_A, Qt::AltModifier);
  press(Qt::Key_M);
  QWidget* list = waitForWindow("RemittanceList");
  ASSERT_NE(list, nullptr) << "Alt+A, M opened no list of remittances";
  EXPECT_EQ(cell(*list, "remittances", 0, 0), std::to_string(number));
  EXPECT_EQ(cell(*list, "remittances", 0, 6), std::to_string(stored.integer("Deposit ID")));
  EXPECT_EQ(cell(*list, "remittances", 0, 9) + "/" + cell(*list, "remittances", 0, 10), "1/1");
  shoot(*list, "remittance-05-list.png");
  list->close();

  // The same file again: refused, naming the first import; nothing more is posted.
  ModalAnswers refused;
  refused.then(chooseFile(file_));
  refused.then(pressOn("OK"));
  importByKey(refused);
  ASSERT_EQ(refused.seen().size(), 1u);
  EXPECT_NE(refused.seen()[0].find("as remittance " + std::to_string(number) +
                                   "; it is not posted twice."),
            std::string::npos)
      << refused.seen()[0];
  EXPECT_EQ(shownWindow("RemittanceImport"), nullptr);
  EXPECT_EQ(remittance::listRemittances(practice()).size(), 1u);
}

// Two patients in one payment: Abort while the first is saved stops the posting, the person is
// told what was posted and what was not, and Post again posts the second patient only.
TEST_F(RemittanceWindowsTest, AbortStopsThePostingAndPostingAgainFinishesIt) {
  advice_ = testing::writeTutorialRemittance(practice(), "TR4472", 2);
  ASSERT_EQ(advice_.others.size(), 1u) << "the tutorial has no second patient of that carrier";
  std::ofstream(file_) << advice_.text;
  // Patients are posted in chart order.
  const bool janeFirst = advice_.chart < advice_.others[0].chart;
  const std::int64_t firstPaid = janeFirst ? advice_.paidEntry : advice_.others[0].paidEntry;
  const std::int64_t secondPaid = janeFirst ? advice_.others[0].paidEntry : advice_.paidEntry;
  const Money firstAmount = janeFirst ? advice_.paid : advice_.others[0].paid;
  const Money secondAmount = janeFirst ? advice_.others[0].paid : advice_.paid;

  ModalAnswers chosen;
  chosen.then(chooseFile(file_));
  importByKey(chosen);
  QWidget* summary = waitForWindow("RemittanceImport");
  ASSERT_NE(summary, nullptr);

  // Abort, as soon as the progress meter is there: it is read after the first patient's save.
  QTimer abort;
  QObject::connect(&abort, &QTimer::timeout, [&] {
    if (auto* meter = summary->findChild<QProgressDialog*>()) {
      meter->cancel();
      abort.stop();
    }
  });
  abort.start(0);
  ModalAnswers told;
  told.then(pressOn("OK"));
  told.run([&] { press(Qt::Key_F9); });
  abort.stop();
  const std::string stopped = fmt::format(
      "Posting was stopped. Posted: 1 line with payments of {}. Not posted: 1 line of the "
      "payment with trace number TR4472. Import the same file again to post the rest; what is "
      "posted already is not posted twice.",
      firstAmount.toString());
  ASSERT_EQ(told.seen().size(), 1u);
  EXPECT_EQ(told.seen()[0], stopped);
  EXPECT_EQ(summary->findChild<QLabel*>("outcome")->text().toStdString(),
            stopped + " Post (F9) posts the rest now.");
  EXPECT_EQ(summary->windowTitle(), "Remittance Partly Posted: tutorial.835");
  EXPECT_EQ(charge(firstPaid).money("Insurance 1 Amount Paid"), -firstAmount);
  EXPECT_EQ(charge(secondPaid).money("Insurance 1 Amount Paid"), Money{});
  shoot(*summary, "remittance-06-stopped.png");

  // F9 again posts the rest, once.
  ASSERT_TRUE(backTo(*summary));
  press(Qt::Key_F9);
  EXPECT_EQ(summary->windowTitle(), "Remittance Posted: tutorial.835");
  EXPECT_NE(summary->findChild<QLabel*>("outcome")->text().toStdString().find(
                "whose import had stopped part way, is finished"),
            std::string::npos);
  EXPECT_EQ(charge(firstPaid).money("Insurance 1 Amount Paid"), -firstAmount);
  EXPECT_EQ(charge(secondPaid).money("Insurance 1 Amount Paid"), -secondAmount);
  ASSERT_EQ(remittance::listRemittances(practice()).size(), 1u);
  EXPECT_EQ(remittance::listRemittances(practice()).front().integer("Lines Posted"), 2);
  shoot(*summary, "remittance-07-finished.png");
  summary->close();
}

}  // namespace
}  // namespace vantrell::desktop
