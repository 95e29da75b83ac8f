#include "maintenance_windows.hpp"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cstdlib>

#include "main_window.hpp"
#include "maintenance/backup_archive.hpp"
#include "maintenance/practice_maintenance.hpp"
#include "practice/options.hpp"
#include "transaction_entry_window.hpp"
#include "widget_helpers.hpp"

namespace vantrell::desktop {
namespace {

std::filesystem::path rememberedFolder(const ui::Settings& settings) {
  if (const auto folder =
          settings.read(maintenance::backupSettingsKey, maintenance::backupFolderValue);
      folder && !folder->empty())
    return *folder;
  return defaultBackupFolder();
}

// A folder line with its Browse button.
QLineEdit* folderRow(QVBoxLayout* layout, const QString& caption, const std::filesystem::path& at,
                     QWidget* parent) {
  auto* label = new QLabel(caption);
  auto* edit = new QLineEdit(qt(at.string()));
  edit->setObjectName("folder");
  edit->setMinimumWidth(420);
  label->setBuddy(edit);
  auto* browse = new QPushButton(QObject::tr("B&rowse..."));
  browse->setObjectName("browse");
  browse->setAutoDefault(false);
  QObject::connect(browse, &QPushButton::clicked, parent, [edit, parent] {
    const QString chosen =
        QFileDialog::getExistingDirectory(parent, QObject::tr("Backup Folder"), edit->text());
    if (!chosen.isEmpty()) edit->setText(chosen);
  });
  auto* row = new QHBoxLayout;
  row->addWidget(edit, 1);
  row->addWidget(browse);
  layout->addWidget(label);
  layout->addLayout(row);
  return edit;
}

QDialogButtonBox* okCancel(QDialog* dialog) {
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  buttons->button(QDialogButtonBox::Ok)->setObjectName("ok");
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  return buttons;
}

// A failed run's own words, without the lines that only told how far it was.
std::string lastWords(const std::string& output) {
  std::string text = output;
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  const auto line = text.rfind('\n');
  return line == std::string::npos ? text : text.substr(line + 1);
}

}  // namespace

std::filesystem::path defaultBackupFolder() {
  const char* data = std::getenv("XDG_DATA_HOME");
  const char* home = std::getenv("HOME");
  const std::filesystem::path base =
      data != nullptr && *data != '\0'
          ? std::filesystem::path(data)
          : std::filesystem::path(home != nullptr ? home : ".") / ".local" / "share";
  return base / "vantrell" / "Backups";
}

BackupFolderDialog::BackupFolderDialog(ui::Settings& settings, QWidget* parent)
    : QDialog(parent), settings_(settings) {
  setObjectName("BackupFolderDialog");
  setWindowTitle(tr("Backup Data"));
  auto* layout = new QVBoxLayout(this);
  folder_ = folderRow(layout, tr("Back up the practice into this &folder:"),
                      rememberedFolder(settings), this);
  layout->addWidget(okCancel(this));
}

std::filesystem::path BackupFolderDialog::folder() const {
  return folder_->text().trimmed().toStdString();
}

void BackupFolderDialog::accept() {
  if (folder().empty()) return;
  std::error_code ignored;
  // The folder the backup program makes for itself when none was chosen.
  if (folder() == defaultBackupFolder()) std::filesystem::create_directories(folder(), ignored);
  settings_.write(maintenance::backupSettingsKey, maintenance::backupFolderValue,
                  std::filesystem::absolute(folder()).string());
  QDialog::accept();
}

RestoreChoiceDialog::RestoreChoiceDialog(ui::Settings& settings,
                                         const store::DataLocation& practice, QWidget* parent)
    : QDialog(parent), settings_(settings), practice_(practice) {
  setObjectName("RestoreChoiceDialog");
  setWindowTitle(tr("Restore Data"));
  auto* layout = new QVBoxLayout(this);
  folder_ = folderRow(layout, tr("Backups in this &folder:"), rememberedFolder(settings), this);
  connect(folder_, &QLineEdit::textChanged, this, &RestoreChoiceDialog::listFolder);
  auto* label = new QLabel(tr("&Backup to restore:"));
  backups_ = new QTreeWidget;
  backups_->setObjectName("backups");
  backups_->setRootIsDecorated(false);
  backups_->setHeaderLabels(
      {tr("Made"), tr("Practice"), tr("Data Version"), tr("Rows"), tr("File")});
  backups_->setMinimumSize(720, 220);
  label->setBuddy(backups_);
  connect(backups_, &QTreeWidget::itemDoubleClicked, this, [this] { accept(); });
  layout->addWidget(label);
  layout->addWidget(backups_, 1);
  auto* buttons = okCancel(this);
  QPushButton* other = addButton(buttons, tr("&Other File..."), "otherFile");
  connect(other, &QPushButton::clicked, this, [this] {
    const QString file = QFileDialog::getOpenFileName(
        this, tr("Restore Data"), folder_->text(),
        tr("Backups (*%1)").arg(QString::fromLatin1(maintenance::backupFileExtension)));
    if (file.isEmpty()) return;
    chosen_ = file.toStdString();
    QDialog::accept();
  });
  layout->addWidget(buttons);
  listFolder();
  // The choice is of a backup: the list has the keyboard, Enter takes the one marked.
  backups_->setFocus();
}

void RestoreChoiceDialog::listFolder() {
  backups_->clear();
  std::vector<maintenance::ListedBackup> listed;
  try {
    listed = maintenance::listBackupsOf(folder_->text().trimmed().toStdString(), practice_);
  } catch (const maintenance::BackupError&) {
    // No such folder (yet): nothing to choose from there.
  }
  for (const auto& backup : listed) {
    auto* item = new QTreeWidgetItem(backups_);
    if (backup.manifest) {
      std::int64_t rows = 0;
      for (const auto& [table, count] : backup.manifest->rows) rows += count;
      item->setText(0, qt(backup.manifest->date));
      item->setText(1, qt(backup.manifest->practiceName));
      item->setText(2, QString::number(backup.manifest->dataVersion));
      item->setText(3, QString::number(rows));
      item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
      item->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
    } else {
      item->setText(0, qt(backup.problem));
    }
    item->setText(4, qt(backup.file.filename().string()));
    item->setData(0, Qt::UserRole, qt(backup.file.string()));
  }
  for (int column = 0; column < backups_->columnCount(); ++column)
    backups_->resizeColumnToContents(column);
  if (backups_->topLevelItemCount() > 0) backups_->setCurrentItem(backups_->topLevelItem(0));
}

void RestoreChoiceDialog::accept() {
  const QTreeWidgetItem* item = backups_->currentItem();
  if (item == nullptr) return;
  chosen_ = item->data(0, Qt::UserRole).toString().toStdString();
  settings_.write(maintenance::backupSettingsKey, maintenance::backupFolderValue,
                  std::filesystem::absolute(folder_->text().trimmed().toStdString()).string());
  QDialog::accept();
}

FileMaintenanceDialog::FileMaintenanceDialog(QWidget* parent) : QDialog(parent) {
  setObjectName("FileMaintenanceDialog");
  setWindowTitle(tr("File Maintenance"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(
      new QLabel(tr("File maintenance checks the practice's tables, rebuilds their indexes and\n"
                    "recalculates the stored totals.")));
  auto* check = new QRadioButton(tr("&Check and report only"));
  check->setObjectName("checkOnly");
  check->setChecked(true);
  repair_ = new QRadioButton(tr("Check and &repair what is found"));
  repair_->setObjectName("repair");
  layout->addWidget(check);
  layout->addWidget(repair_);
  layout->addWidget(okCancel(this));
}

bool FileMaintenanceDialog::repair() const {
  return repair_->isChecked();
}

void showReport(const QString& title, const std::string& text, QWidget* parent) {
  QDialog report(parent);
  report.setObjectName("MaintenanceReport");
  report.setWindowTitle(title);
  auto* layout = new QVBoxLayout(&report);
  auto* view = new QPlainTextEdit(qt(text));
  view->setObjectName("report");
  view->setReadOnly(true);
  view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  // Long lines (paths, the totals) wrap rather than hide past the edge.
  view->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  view->setMinimumSize(820, 320);
  layout->addWidget(view);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &report, &QDialog::reject);
  layout->addWidget(buttons);
  report.exec();
}

// The maintenance commands of the File menu: the core's checks in order, the
// person's choices, the companion program under the progress dialog (Abort
// asks it to stop), and the practice back afterwards.
void MainWindow::runMaintenance(int which) {
  practice::OpenPractice* open = application_.practice();
  if (open == nullptr) return;
  const auto operation = static_cast<maintenance::Operation>(which);
  const std::string program = open->options.text("Backup Program");
  const bool supplied = program.empty() || std::filesystem::path(program).filename() ==
                                               practice::suppliedBackupProgram;

  maintenance::WorkInProgress work;
  for (auto& window : workWindows_)
    if (auto* entry = qobject_cast<TransactionEntryWindow*>(window.data());
        entry != nullptr && entry->isVisible() && entry->model().workingSet().hasUnsavedLines())
      work.unsavedEntries = true;
  maintenance::PracticeMaintenance maintenance(application_);
  prepareMaintenance(maintenance);

  bool reopened = true;
  switch (operation) {
    case maintenance::Operation::BackUp:
      maintenance.backUp(work);
      break;
    case maintenance::Operation::Restore:
      reopened = maintenance.restore(work);
      break;
    case maintenance::Operation::FileMaintenance:
      maintenance.fileMaintenance(work);
      break;
  }
  const int exitCode = maintenance.lastExitCode();
  const std::string output = application_.surroundings().launcher.lastOutput();
  practiceChanged();
  if (!reopened) {
    // The restored practice does not open: the program ends.
    close();
    return;
  }
  if (exitCode == -1) return;  // refused, cancelled, or the program is missing (said so)
  if (operation == maintenance::Operation::FileMaintenance && exitCode != 2) {
    showReport(tr("File Maintenance"), output, this);
  } else if (exitCode != 0) {
    prompter_.error(lastWords(output));
  } else if (supplied) {
    prompter_.inform(lastWords(output));
  }
}

void MainWindow::prepareMaintenance(maintenance::PracticeMaintenance& maintenance) {
  practice::OpenPractice* open = application_.practice();
  if (open == nullptr) return;
  const store::DataLocation location = open->location;
  const std::string program = open->options.text("Backup Program");
  const bool supplied = program.empty() || std::filesystem::path(program).filename() ==
                                               practice::suppliedBackupProgram;
  maintenance.setCloseWindows([this] { return closeWorkWindows(); });
  // The choices run after this returns: they keep their own copies.
  maintenance.setChoices([this, supplied, location](maintenance::Operation chosen,
                                                    std::vector<std::string>& arguments) {
    if (chosen == maintenance::Operation::FileMaintenance) {
      FileMaintenanceDialog dialog(this);
      if (dialog.exec() != QDialog::Accepted) return false;
      if (dialog.repair()) arguments.emplace_back("--repair");
      return true;
    }
    // A backup program of the practice's own choosing asks for itself.
    if (!supplied) return true;
    if (chosen == maintenance::Operation::BackUp) {
      BackupFolderDialog dialog(settings_, this);
      if (dialog.exec() != QDialog::Accepted) return false;
      arguments.insert(arguments.end(), {"--folder", dialog.folder().string()});
      return true;
    }
    RestoreChoiceDialog dialog(settings_, location, this);
    if (dialog.exec() != QDialog::Accepted) return false;
    arguments.insert(arguments.end(), {"--file", dialog.chosen().string()});
    return true;
  });
}

void MainWindow::backupData() {
  runMaintenance(static_cast<int>(maintenance::Operation::BackUp));
}

void MainWindow::restoreData() {
  runMaintenance(static_cast<int>(maintenance::Operation::Restore));
}

void MainWindow::fileMaintenance() {
  runMaintenance(static_cast<int>(maintenance::Operation::FileMaintenance));
}

void MainWindow::viewBackups() {
  if (application_.practice() == nullptr) return;
  maintenance::PracticeMaintenance maintenance(application_);
  maintenance.viewBackups();
  if (maintenance.lastExitCode() == -1) return;
  showReport(tr("View Backups"), application_.surroundings().launcher.lastOutput(), this);
}

}  // namespace vantrell::desktop
