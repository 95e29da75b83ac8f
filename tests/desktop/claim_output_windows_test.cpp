#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>

#include "claim_windows.hpp"
#include "claims/claim_creation.hpp"
#include "desktop_fixture.hpp"
#include "keyboard_driving.hpp"
#include "modal_answers.hpp"
#include "pdf_preview_window.hpp"

// Claims leaving the practice from the claim list, driven by key on the tutorial practice:
// paper forms to the preview, electronic claims through the receiver's sending program, and
// the claims that may not leave listed with what is wrong.
namespace vantrell::desktop {
namespace {

using vantrell::testing::ModalAnswers;
using vantrell::testing::pressAccessKey;

class ClaimOutputTest : public DesktopTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(window_.start(options()));
    claims::ClaimCriteria everything;
    ASSERT_GT(claims::createClaims({practice(), prompter_}, everything).claims.size(), 2u);
  }

  store::Connection& practice() { return *application_.practice()->connection; }

  std::map<std::int64_t, store::Record> claimRows() {
    std::map<std::int64_t, store::Record> rows;
    store::Table claims = practice().openTable("QVCLA");
    claims.forEach(
        [&](const store::Record& row) { rows.emplace(row.integer("Claim Number"), row); });
    return rows;
  }

  // Changes the stored rows of a table that `wanted` picks, as another window would have.
  void change(const char* table, const std::function<bool(const store::Record&)>& wanted,
              const std::function<void(store::Record&)>& edit) {
    store::Table rows = practice().openTable(table);
    std::vector<store::Record> picked;
    rows.forEach([&](const store::Record& row) {
      if (wanted(row)) picked.push_back(row);
    });
    for (auto& row : picked) {
      rows.edit(row);
      edit(row);
      rows.post(row);
    }
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

  std::int64_t highestBatch() {
    std::int64_t highest = 0;
    for (const auto& [number, row] : claimRows())
      for (const char* field : {"Batch Number 1", "Batch Number 2", "Batch Number 3"})
        highest = std::max(highest, row.integer(field));
    return highest;
  }

  PdfPreviewWindow* newestPreview(const std::set<QWidget*>& before) {
    for (QWidget* window : QApplication::topLevelWidgets())
      if (window->objectName() == "PdfPreview" && window->isVisible() && !before.count(window))
        return qobject_cast<PdfPreviewWindow*>(window);
    return nullptr;
  }
  std::set<QWidget*> previews() {
    std::set<QWidget*> shown;
    for (QWidget* window : QApplication::topLevelWidgets())
      if (window->objectName() == "PdfPreview") shown.insert(window);
    return shown;
  }
};

TEST_F(ClaimOutputTest, PaperClaimsPrintToThePreviewAndARebillPrintsAgainInItsBatch) {
  // The tutorial's carriers bill electronically: every other claim goes on paper here.
  std::set<std::int64_t> paper;
  for (const auto& [number, row] : claimRows())
    if (row.text("Claim Status 1") == "1" && number % 2 == 1) paper.insert(number);
  change(
      "QVCLA", [](const store::Record&) { return true; },
      [&](store::Record& row) {
        row.setFromText("Primary Billing Method",
                        paper.count(row.integer("Claim Number")) ? "P" : "E");
      });
  const auto before = claimRows();
  ASSERT_GE(paper.size(), 2u);
  ASSERT_LT(paper.size(), before.size());
  const std::int64_t batch = highestBatch() + 1;
  const Date today = application_.programDate().value();

  ClaimManagementWindow* list = openList();
  ASSERT_NE(list, nullptr);
  auto shownBefore = previews();
  ModalAnswers print;
  print.then([&](QWidget& dialog) {
    EXPECT_EQ(dialog.windowTitle(), "Print/Send Claims");
    ASSERT_TRUE(backTo(dialog));
    shoot(dialog, "claim-output-01-print-send.png");
    // Paper is preset; the plain form and the primary carrier are the first choices.
    press(Qt::Key_O, Qt::AltModifier);
  });
  print.then(ModalAnswers::clickButton("OK"));
  print.run([&] { pressAccessKey(*list, Qt::Key_P); });
  ASSERT_EQ(print.seen().size(), 1u);
  EXPECT_EQ(print.seen()[0], std::to_string(paper.size()) + " claim(s) marked Sent; batch " +
                                 std::to_string(batch) + " for those that had no batch.");
  PdfPreviewWindow* preview = newestPreview(shownBefore);
  ASSERT_NE(preview, nullptr) << "no claim forms were shown";
  ASSERT_TRUE(QTest::qWaitFor([&] { return preview->isLoaded(); }));
  EXPECT_GE(preview->pageCount(), static_cast<int>(paper.size()));
  shoot(*preview, "claim-output-02-plain-forms.png");

  // The paper claims alone are billed (the billing fields themselves are the core's to check).
  auto after = claimRows();
  for (const auto& [number, row] : after) {
    EXPECT_EQ(row.text("Claim Status 1"),
              paper.count(number) ? "2" : before.at(number).text("Claim Status 1"))
        << number;
    if (paper.count(number)) {
      EXPECT_EQ(row.date("Primary Billing Date"), today) << number;
    }
  }
  preview->close();

  // Rebill of the claim at the cursor, on the red form: a new submission in the same batch.
  ASSERT_TRUE(backTo(*list));
  auto* table = list->findChild<QTableView*>("claims");
  ASSERT_NE(table, nullptr);
  table->setFocus();
  int row = 0;
  while (row < table->model()->rowCount() &&
         !paper.count(table->model()->index(row, 0).data().toLongLong()))
    ++row;
  ASSERT_LT(row, table->model()->rowCount());
  press(Qt::Key_Home, Qt::ControlModifier);
  for (int at = 0; at < row; ++at) press(Qt::Key_Down);
  const std::int64_t again = table->model()->index(row, 0).data().toLongLong();
  shownBefore = previews();
  ModalAnswers rebill;
  rebill.then([&](QWidget& dialog) {
    EXPECT_EQ(dialog.windowTitle(), "Reprint Claims");
    ASSERT_TRUE(backTo(dialog));
    type("r");  // the claim form: the red form
    shoot(dialog, "claim-output-03-rebill.png");
    press(Qt::Key_O, Qt::AltModifier);
  });
  rebill.then(ModalAnswers::clickButton("OK"));
  rebill.run([&] { pressAccessKey(*list, Qt::Key_R); });
  preview = newestPreview(shownBefore);
  ASSERT_NE(preview, nullptr) << "the rebill printed nothing";
  ASSERT_TRUE(QTest::qWaitFor([&] { return preview->isLoaded(); }));
  shoot(*preview, "claim-output-04-red-form.png");
  const auto afterRebill = claimRows();
  const store::Record& rebilled = afterRebill.at(again);
  EXPECT_EQ(rebilled.text("Claim Status 1"), "2");
  EXPECT_EQ(rebilled.integer("Batch Number 1"), after.at(again).integer("Batch Number 1"));
  EXPECT_EQ(rebilled.integer("Primary Submission Count"),
            after.at(again).integer("Primary Submission Count") + 1);
  preview->close();
}

TEST_F(ClaimOutputTest, AReceiverMadeInItsWindowSendsAndTheRefusedClaimsOpenInTheEditor) {
  // Short: the receiver's folder field holds 90 characters.
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("vantrell-outbox-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  struct Removed {
    std::filesystem::path path;
    ~Removed() { std::filesystem::remove_all(path); }
  } removed{folder};

  // Lists > EDI Receivers, Ins: a receiver whose program is not there.
  window_.activateWindow();
  ASSERT_TRUE(hasTheKeyboard(window_));
  press(Qt::Key_L, Qt::AltModifier);
  ASSERT_NE(QApplication::activePopupWidget(), nullptr) << "Alt+L opened no menu";
  press(Qt::Key_E);
  QWidget* receivers = shownWindow("QVECRList");
  ASSERT_NE(receivers, nullptr) << "the receivers window did not come up";
  const auto makeReceiver = [&](const QString& code, const QString& program) {
    ModalAnswers made;
    made.then([&](QWidget& edit) {
      QTest::keyClicks(field(edit, "Code"), code);
      QTest::keyClicks(field(edit, "Name"), "Test clearinghouse");
      QTest::keyClicks(field(edit, "Submitter ID 1"), "SUB123");
      QTest::keyClicks(field(edit, "Extra 1"), "RCV01");
      QTest::keyClicks(field(edit, "Program File"), program);
      QTest::keyClicks(field(edit, "FilePath"), QString::fromStdString(folder.string()));
      shoot(edit, "claim-output-05-receiver.png");
      QTest::keyClick(field(edit, "Code"), Qt::Key_F9);
    });
    ASSERT_TRUE(backTo(*receivers));
    made.run([&] { pressAccessKey(*receivers, Qt::Key_N); });
    EXPECT_TRUE(made.seen().empty()) << made.seen().front();
  };
  makeReceiver("NOPRG", "NOSUCH");
  makeReceiver("TST", "vantrell-send-837");
  // The names of receivers made in a list that opened empty are not cut short.
  auto* rows = receivers->findChild<QTableView*>("rows");
  ASSERT_NE(rows, nullptr);
  EXPECT_GE(rows->columnWidth(1), rows->fontMetrics().horizontalAdvance("Test Clearinghouse"));
  shoot(*receivers, "claim-output-06-receivers.png");
  receivers->close();

  // The ready primary claims go to that receiver electronically; one provider's NPI gets a
  // wrong check digit, so that provider's claims may not leave.
  auto before = claimRows();
  std::set<std::int64_t> ready;
  for (const auto& [number, row] : before)
    if (row.text("Claim Status 1") == "1") ready.insert(number);
  ASSERT_FALSE(ready.empty());
  change(
      "QVCLA",
      [&](const store::Record& row) { return ready.count(row.integer("Claim Number")) > 0; },
      [](store::Record& row) {
        row.setFromText("Primary Billing Method", "E");
        row.setFromText("EMC Receiver 1", "TST");
      });
  const std::string broken = before.at(*ready.begin()).text("Provider");
  std::string npi;
  change(
      "QVPHY", [&](const store::Record& row) { return row.text("Code") == broken; },
      [&](store::Record& row) {
        npi = row.text("National Provider Identifier");
        // Another last digit: the check digit of an NPI is the only one that fits.
        npi.back() = static_cast<char>('0' + (npi.back() - '0' + 1) % 10);
        row.setFromText("National Provider Identifier", npi);
      });
  ASSERT_EQ(npi.size(), 10u);
  std::set<std::int64_t> refused;
  for (const auto number : ready)
    if (before.at(number).text("Provider") == broken) refused.insert(number);

  ClaimManagementWindow* list = openList();
  ASSERT_NE(list, nullptr);
  // Electronic with the receiver whose program is missing: the look-up's message, nothing sent.
  const auto sendTo = [&](int receiverRow) {
    return [&, receiverRow](QWidget& dialog) {
      ASSERT_TRUE(backTo(dialog));
      press(Qt::Key_E, Qt::AltModifier);
      auto* receiver = dialog.findChild<QComboBox*>("receiver");
      ASSERT_NE(receiver, nullptr);
      // The access key clicks Electronic a moment later, which opens the receivers.
      ASSERT_TRUE(QTest::qWaitFor([&] { return receiver->isEnabled(); }));
      press(Qt::Key_Tab);
      ASSERT_EQ(QApplication::focusWidget(), receiver);
      press(Qt::Key_Home);
      for (int at = 0; at < receiverRow; ++at) press(Qt::Key_Down);
      shoot(dialog, "claim-output-07-electronic.png");
      press(Qt::Key_O, Qt::AltModifier);
    };
  };
  ModalAnswers missing;
  missing.then(sendTo(0));  // NOPRG comes first in code order
  missing.then(ModalAnswers::clickButton("OK"));
  missing.run([&] { pressAccessKey(*list, Qt::Key_P); });
  EXPECT_EQ(missing.seen(),
            std::vector<std::string>{
                "The \"Program File\" field for this Receiver needs to be specified."});
  for (const auto& [number, row] : claimRows())
    EXPECT_EQ(row.text("Claim Status 1"), before.at(number).text("Claim Status 1"));

  // The sending program beside the program writes the claims that pass.
  ASSERT_TRUE(backTo(*list));
  const std::int64_t batch = highestBatch() + 1;
  ModalAnswers send;
  send.then(sendTo(1));
  send.then(ModalAnswers::clickButton("OK"));
  send.run([&] { pressAccessKey(*list, Qt::Key_P); });
  const std::size_t sent = ready.size() - refused.size();
  ASSERT_EQ(send.seen().size(), 1u);
  EXPECT_EQ(send.seen()[0], std::to_string(sent) + " claim(s) sent and marked Sent; batch " +
                                std::to_string(batch) + " for those that had no batch.");
  // The receiver chosen is kept for the sending program.
  EXPECT_EQ(settings_.read("Software\\Vantrell\\EMC Receiver", "Receiver"),
            std::optional<std::string>("TST"));
  for (const auto& [number, row] : claimRows()) {
    if (!ready.count(number)) continue;
    EXPECT_EQ(row.text("Claim Status 1"), refused.count(number) ? "1" : "2") << number;
  }
  // One file, one claim (CLM) per claim sent.
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) files.push_back(entry);
  ASSERT_EQ(files.size(), 1u);
  std::ifstream in(files[0]);
  const std::string interchange((std::istreambuf_iterator<char>(in)), {});
  std::size_t claimSegments = 0;
  for (std::size_t at = interchange.find("CLM*"); at != std::string::npos;
       at = interchange.find("CLM*", at + 1))
    if (at > 0 && (interchange[at - 1] == '~' || interchange[at - 1] == '\n')) ++claimSegments;
  EXPECT_EQ(claimSegments, sent);

  // The refused claims, each with what is wrong (the provider and the NPI) and where.
  QWidget* refusedWindow = shownWindow("RefusedClaims");
  ASSERT_NE(refusedWindow, nullptr) << "the refused claims were not listed";
  ASSERT_TRUE(hasTheKeyboard(*refusedWindow));
  shoot(*refusedWindow, "claim-output-08-refused.png");
  auto* problems = refusedWindow->findChild<QTableWidget*>("problems");
  ASSERT_NE(problems, nullptr);
  std::set<std::int64_t> listed;
  for (int at = 0; at < problems->rowCount(); ++at) {
    listed.insert(problems->item(at, 0)->data(Qt::UserRole).toLongLong());
    EXPECT_TRUE(problems->item(at, 3)->text().contains(QString::fromStdString(npi)))
        << problems->item(at, 3)->text().toStdString();
    EXPECT_TRUE(problems->item(at, 4)->text().contains(QString::fromStdString(broken)))
        << problems->item(at, 4)->text().toStdString();
  }
  EXPECT_EQ(listed, refused);

  // Down to the last line, Enter: that claim opens in its window.
  press(Qt::Key_End, Qt::ControlModifier);
  const std::int64_t last =
      problems->item(problems->currentRow(), 0)->data(Qt::UserRole).toLongLong();
  press(Qt::Key_Return);
  QWidget* editor = shownWindow("ClaimEditor");
  ASSERT_NE(editor, nullptr) << "Enter opened no claim";
  EXPECT_EQ(editor->windowTitle().toStdString(), "Claim: " + std::to_string(last));
  editor->close();
  refusedWindow->close();

  // Check on the list (Alt+K) lists the same for a refused claim at the cursor.
  ASSERT_TRUE(backTo(*list));
  auto* table = list->findChild<QTableView*>("claims");
  ASSERT_NE(table, nullptr);
  table->setFocus();
  press(Qt::Key_Home, Qt::ControlModifier);
  while (table->currentIndex().row() + 1 < table->model()->rowCount() &&
         table->model()->index(table->currentIndex().row(), 0).data().toLongLong() != last)
    press(Qt::Key_Down);
  ASSERT_TRUE(pressAccessKey(*list, Qt::Key_K));
  ASSERT_TRUE(QTest::qWaitFor([] { return shownWindow("RefusedClaims") != nullptr; }));
  problems = shownWindow("RefusedClaims")->findChild<QTableWidget*>("problems");
  ASSERT_NE(problems, nullptr);
  ASSERT_GE(problems->rowCount(), 1);
  EXPECT_EQ(problems->item(0, 0)->text().toLongLong(), last);
  shownWindow("RefusedClaims")->close();
}

}  // namespace
}  // namespace vantrell::desktop
