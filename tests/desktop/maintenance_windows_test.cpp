#include <gtest/gtest.h>

#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTest>
#include <QTreeWidget>
#include <algorithm>
#include <cstdlib>
#include <optional>

#include "desktop_fixture.hpp"
#include "keyboard_driving.hpp"
#include "maintenance/practice_maintenance.hpp"
#include "modal_answers.hpp"
#include "store/exclusive_operation_lock.hpp"
#include "store/value.hpp"
#include "support/other_process.hpp"

namespace vantrell::desktop {
namespace {

using vantrell::testing::ModalAnswers;

class MaintenanceWindowsTest : public DesktopTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(window_.start(options()));
    ASSERT_NE(application_.practice(), nullptr);
    folder_ = home_ / "Backups";
    std::filesystem::create_directories(folder_);
    // The backup program started from the menu keeps its choices in here, not
    // in the home of whoever runs the tests.
    for (const auto& [name, folder] :
         {std::pair{"XDG_CONFIG_HOME", "config"}, std::pair{"XDG_DATA_HOME", "data"}}) {
      if (const char* was = std::getenv(name))
        before_.emplace_back(name, was);
      else
        before_.emplace_back(name, std::nullopt);
      ::setenv(name, (home_ / folder).c_str(), 1);
    }
  }
  void TearDown() override {
    for (const auto& [name, was] : before_) {
      if (was)
        ::setenv(name, was->c_str(), 1);
      else
        ::unsetenv(name);
    }
  }

  // Every row of every table as text, sorted, read with plain SELECTs.
  std::vector<std::string> everyRow() {
    store::Connection& practice = *application_.practice()->connection;
    std::vector<std::string> rows;
    for (const auto& table : practice.tableNames()) {
      for (const auto& row : practice.executeSql("SELECT * FROM \"" + table + "\"").rows) {
        std::string line = table;
        for (const auto& value : row) line += "|" + store::valueToText(value);
        rows.push_back(line);
      }
    }
    std::sort(rows.begin(), rows.end());
    return rows;
  }
  std::vector<std::filesystem::path> backups() const {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder_))
      files.push_back(entry.path());
    return files;
  }
  // Alt+F and the entry's letter, from the main window.
  void chooseFromFileMenu(Qt::Key letter) {
    ASSERT_TRUE(backTo(window_));
    press(Qt::Key_F, Qt::AltModifier);
    ASSERT_NE(QApplication::activePopupWidget(), nullptr) << "Alt+F opened no menu";
    shoot(*QApplication::activePopupWidget(), "file-menu.png");
    press(letter);
  }

  std::filesystem::path folder_;
  std::vector<std::pair<const char*, std::optional<std::string>>> before_;
};

TEST_F(MaintenanceWindowsTest, ABackupRestoredByKeysBringsBackEveryRowAndFileMaintenanceReports) {
  // The supplied backup program named in the options: View Backups is offered
  // once the practice is opened again after the backup.
  application_.practice()->connection->executeSql(
      "UPDATE QVOPT SET \"Backup Program\" = 'vantrell-backup'");
  const auto backedUp = everyRow();
  const std::string caption = window_.windowTitle().toStdString();
  ModalAnswers backup;
  backup.then([&](QWidget& dialog) {
    ASSERT_EQ(dialog.objectName(), "BackupFolderDialog");
    ASSERT_TRUE(hasTheKeyboard(dialog));
    shoot(dialog, "backup-folder.png");
    // The folder field has the keyboard: the new folder typed over the remembered one.
    press(Qt::Key_A, Qt::ControlModifier);
    type(QString::fromStdString(folder_.string()));
    press(Qt::Key_Return);
  });
  backup.then([&](QWidget& message) {
    shoot(message, "backup-done.png");
    pressOn("OK")(message);
  });
  backup.run([&] { chooseFromFileMenu(Qt::Key_B); });
  ASSERT_EQ(backups().size(), 1u);
  EXPECT_NE(backup.seen().back().find(backups()[0].string()), std::string::npos)
      << backup.seen().back();
  ASSERT_NE(application_.practice(), nullptr) << "the practice was not opened again";
  EXPECT_EQ(window_.windowTitle().toStdString(), caption);
  EXPECT_EQ(everyRow(), backedUp);

  ModalAnswers view;
  std::string listed;
  view.then([&](QWidget& shown) {
    ASSERT_EQ(shown.objectName(), "MaintenanceReport");
    listed = shown.findChild<QPlainTextEdit*>("report")->toPlainText().toStdString();
    shoot(shown, "view-backups.png");
    ASSERT_TRUE(hasTheKeyboard(shown));
    press(Qt::Key_Escape);
  });
  view.run([&] { chooseFromFileMenu(Qt::Key_V); });
  EXPECT_NE(listed.find("1 backup(s)"), std::string::npos) << listed;
  EXPECT_NE(listed.find(backups()[0].filename().string()), std::string::npos) << listed;

  // Work after the backup: a patient comes, a charge changes.
  store::Connection& practice = *application_.practice()->connection;
  practice.executeSql(
      "INSERT INTO QVPAT (\"Chart Number\", \"Last Name\") VALUES ('ZZTOP000', 'Later')");
  practice.executeSql(
      "UPDATE QVTRN SET \"Amount\" = 999 WHERE \"Entry Number\" = (SELECT MIN(\"Entry Number\") "
      "FROM QVTRN)");
  ASSERT_NE(everyRow(), backedUp);

  ModalAnswers restore;
  restore.then([&](QWidget& dialog) {
    ASSERT_EQ(dialog.objectName(), "RestoreChoiceDialog");
    ASSERT_TRUE(hasTheKeyboard(dialog));
    // The folder chosen for the backup is remembered, and its backup is offered first.
    EXPECT_EQ(field(dialog, "folder")->text().toStdString(), folder_.string());
    auto* list = dialog.findChild<QTreeWidget*>("backups");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->topLevelItemCount(), 1);
    shoot(dialog, "restore-choice.png");
    press(Qt::Key_Return);
  });
  restore.then([&](QWidget& question) {
    shoot(question, "restore-confirmation.png");
    pressOn("OK")(question);
  });
  restore.then(pressOn("OK"));
  restore.run([&] { chooseFromFileMenu(Qt::Key_R); });
  ASSERT_GE(restore.seen().size(), 1u);
  EXPECT_EQ(restore.seen().front(),
            "You are about to overwrite all the files in the practice\nthat is currently open in "
            "QelVantrell!");
  ASSERT_NE(application_.practice(), nullptr) << "the restored practice was not opened";
  EXPECT_EQ(everyRow(), backedUp);

  // File maintenance, check only: its report, and the practice untouched.
  ModalAnswers maintain;
  std::string report;
  maintain.then([&](QWidget& dialog) {
    ASSERT_EQ(dialog.objectName(), "FileMaintenanceDialog");
    ASSERT_TRUE(hasTheKeyboard(dialog));
    shoot(dialog, "file-maintenance.png");
    press(Qt::Key_Return);
  });
  maintain.then([&](QWidget& shown) {
    ASSERT_EQ(shown.objectName(), "MaintenanceReport");
    report = shown.findChild<QPlainTextEdit*>("report")->toPlainText().toStdString();
    shoot(shown, "file-maintenance-report.png");
    ASSERT_TRUE(hasTheKeyboard(shown));
    press(Qt::Key_Escape);
  });
  maintain.run([&] { chooseFromFileMenu(Qt::Key_M); });
  EXPECT_NE(report.find("Integrity check: no problems"), std::string::npos) << report;
  ASSERT_NE(application_.practice(), nullptr);
  EXPECT_EQ(everyRow(), backedUp);
}

TEST_F(MaintenanceWindowsTest, ABackupWhileAnotherWorkstationIsInThePracticeIsRefused) {
  const store::DataLocation location = application_.practice()->location;
  const auto before = everyRow();
  vantrell::testing::OtherProcess other([&](const auto& holdUntilKilled) {
    auto session = store::Connection::open(location, {"JOHN", nullptr, false});
    auto inUse = store::ExclusiveOperationLock::holdShared(*session);
    auto ledger = session->openTable("QVTRN");
    holdUntilKilled();
  });
  ASSERT_TRUE(other.ready());
  ModalAnswers refused;
  refused.then([&](QWidget& message) {
    shoot(message, "backup-refused.png");
    pressOn("OK")(message);
  });
  refused.run([&] { chooseFromFileMenu(Qt::Key_B); });
  ASSERT_EQ(refused.seen().size(), 1u);
  EXPECT_EQ(refused.seen()[0], "This option requires other users to exit the program");
  EXPECT_TRUE(backups().empty());
  ASSERT_NE(application_.practice(), nullptr);
  EXPECT_EQ(everyRow(), before);
}

// Backing up at the reminder on leaving asks for the folder as the menu does,
// the folder used last offered first, and goes where the person says.
TEST_F(MaintenanceWindowsTest, TheBackupReminderOnLeavingAsksForTheFolder) {
  ASSERT_TRUE(application_.practice()->options.flag("Remind to Backup on Close"));
  const std::filesystem::path remembered = home_ / "Last Backups";
  std::filesystem::create_directories(remembered);
  settings_.write(maintenance::backupSettingsKey, maintenance::backupFolderValue,
                  remembered.string());
  ModalAnswers leaving;
  leaving.then(ModalAnswers::clickButton("Back Up Data Now"));
  leaving.then([&](QWidget& dialog) {
    ASSERT_EQ(dialog.objectName(), "BackupFolderDialog");
    ASSERT_TRUE(hasTheKeyboard(dialog));
    EXPECT_EQ(field(dialog, "folder")->text().toStdString(), remembered.string());
    shoot(dialog, "backup-folder-on-leaving.png");
    press(Qt::Key_A, Qt::ControlModifier);
    type(QString::fromStdString(folder_.string()));
    press(Qt::Key_Return);
  });
  leaving.run([&] { window_.close(); });
  EXPECT_EQ(backups().size(), 1u);
  EXPECT_TRUE(std::filesystem::is_empty(remembered));
  EXPECT_EQ(application_.practice(), nullptr) << "the program did not end after its backup";
}

}  // namespace
}  // namespace vantrell::desktop
