#include "modal_answers.hpp"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <chrono>
#include <string>
#include <vector>

// The harness itself: a test whose windows do not come as scripted must fail
// within its patience, naming the step, and must not hang.
namespace vantrell::testing {
namespace {

using namespace std::chrono_literals;

std::vector<std::string> failuresOf(const std::function<void()>& test) {
  ::testing::TestPartResultArray results;
  {
    ::testing::ScopedFakeTestPartResultReporter reporter(
        ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &results);
    test();
  }
  std::vector<std::string> messages;
  for (int i = 0; i < results.size(); ++i)
    messages.emplace_back(results.GetTestPartResult(i).message());
  return messages;
}

TEST(ModalAnswersTest, AStepWhoseWindowNeverComesFailsNamingItAndTheActionReturns) {
  QDialog list;
  list.setObjectName("patientList");
  ModalAnswers answers;
  answers.setPatience(300ms);
  answers.then([](QWidget&) {});  // leaves the list up
  const int secondStepLine = __LINE__ + 1;
  answers.then(ModalAnswers::clickButton("OK"));
  const auto started = std::chrono::steady_clock::now();
  const auto failures = failuresOf([&] { answers.run([&] { list.exec(); }); });
  EXPECT_LT(std::chrono::steady_clock::now() - started, 5s) << "the harness hung";
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_NE(failures[0].find(
                "step 2 of 2 (modal_answers_test.cpp:" + std::to_string(secondStepLine) + ")"),
            std::string::npos)
      << failures[0];
  EXPECT_NE(failures[0].find("QDialog \"patientList\""), std::string::npos) << failures[0];
  EXPECT_FALSE(list.isVisible());
}

TEST(ModalAnswersTest, AWindowNoStepAnswersIsClosedAndNamed) {
  QMessageBox box(QMessageBox::Question, "Vantrell", "Save now?",
                  QMessageBox::Yes | QMessageBox::No);
  ModalAnswers answers;
  answers.setPatience(300ms);
  const auto failures = failuresOf([&] { answers.run([&] { box.exec(); }); });
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_NE(failures[0].find("no step answers"), std::string::npos) << failures[0];
  EXPECT_NE(failures[0].find("Save now?"), std::string::npos) << failures[0];
}

TEST(ModalAnswersTest, AWindowShownAgainIsANewWindowToAnswer) {
  // The same dialog opened twice (as a list reopened after its child closes)
  // takes two steps; the second is not mistaken for the first.
  QMessageBox box(QMessageBox::Question, "Vantrell", "Again?", QMessageBox::Yes | QMessageBox::No);
  ModalAnswers answers;
  answers.setPatience(2s);
  answers.then(ModalAnswers::clickButton("Yes"));
  answers.then(ModalAnswers::clickButton("No"));
  std::vector<int> results;
  const auto failures = failuresOf([&] {
    answers.run([&] {
      results.push_back(box.exec());
      results.push_back(box.exec());
    });
  });
  EXPECT_EQ(failures, std::vector<std::string>{});
  EXPECT_EQ(results, (std::vector<int>{QMessageBox::Yes, QMessageBox::No}));
  EXPECT_EQ(answers.seen(), (std::vector<std::string>{"Again?", "Again?"}));
}

TEST(ModalAnswersTest, AnAccessKeyPressedInADialogJustOpenedOverAnotherClicksItsButtonOnce) {
  QWidget main;
  main.resize(300, 200);
  main.show();
  ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &main; }));
  QDialog dialog(&main);
  dialog.setObjectName("goDialog");
  auto* layout = new QVBoxLayout(&dialog);
  auto* edit = new QLineEdit;
  layout->addWidget(edit);
  auto* go = new QPushButton("&Go");
  layout->addWidget(go);
  int clicks = 0;
  QObject::connect(go, &QPushButton::clicked, &dialog, [&] {
    ++clicks;
    dialog.accept();
  });
  // Pressed as soon as the dialog is shown, while the main window may still hold
  // the keyboard; the click has come when the helper returns.
  dialog.show();
  edit->setFocus();
  EXPECT_TRUE(pressAccessKey(dialog, Qt::Key_G));
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);

  // A window that never takes the keyboard fails naming it, within seconds.
  QWidget hidden;
  hidden.setObjectName("neverShown");
  const auto failures = failuresOf([&] { EXPECT_FALSE(pressAccessKey(hidden, Qt::Key_G)); });
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_NE(failures.front().find("\"neverShown\" never took the keyboard"), std::string::npos)
      << failures.front();
}

TEST(ModalWatchdogTest, AMessageBoxNobodyAnswersFailsTheTestFastNamingItAndIsClosed) {
  ModalWatchdog watchdog(300ms);
  QMessageBox box(QMessageBox::Warning, "Procedure Validation", "The code is not on file.",
                  QMessageBox::Ok);
  const auto started = std::chrono::steady_clock::now();
  const auto failures = failuresOf([&] { box.exec(); });
  EXPECT_LT(std::chrono::steady_clock::now() - started, 5s) << "the test hung on the box";
  // The watchdog of main() may name it too, but never before its own longer patience.
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_NE(failures[0].find("titled \"Procedure Validation\""), std::string::npos) << failures[0];
  EXPECT_NE(failures[0].find("saying \"The code is not on file.\""), std::string::npos)
      << failures[0];
  EXPECT_FALSE(box.isVisible());

  // Windows answered inside ModalAnswers::run are left to it.
  ModalAnswers answers;
  answers.then([](QWidget& window) {
    QTimer::singleShot(600, &window, [&window] { ModalAnswers::clickButton("OK")(window); });
  });
  EXPECT_EQ(failuresOf([&] { answers.run([&] { box.exec(); }); }), std::vector<std::string>{});
}

}  // namespace
}  // namespace vantrell::testing
