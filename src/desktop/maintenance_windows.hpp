#pragma once

#include <QDialog>
#include <filesystem>
#include <optional>

#include "store/connection.hpp"
#include "ui/settings.hpp"

class QLineEdit;
class QRadioButton;
class QTreeWidget;

namespace vantrell::desktop {

// The folder a backup goes to; the choice is remembered where the backup
// program finds it.
class BackupFolderDialog final : public QDialog {
  Q_OBJECT

 public:
  BackupFolderDialog(ui::Settings& settings, QWidget* parent);
  std::filesystem::path folder() const;

  void accept() override;

 private:
  ui::Settings& settings_;
  QLineEdit* folder_;
};

// The backup to restore: this practice's backups in the folder, newest first,
// or any backup file chosen by name.
class RestoreChoiceDialog final : public QDialog {
  Q_OBJECT

 public:
  RestoreChoiceDialog(ui::Settings& settings, const store::DataLocation& practice, QWidget* parent);
  std::filesystem::path chosen() const { return chosen_; }

  void accept() override;

 private:
  void listFolder();

  ui::Settings& settings_;
  store::DataLocation practice_;
  QLineEdit* folder_;
  QTreeWidget* backups_;
  std::filesystem::path chosen_;
};

// File maintenance: check and report only, or repair what the checks find.
class FileMaintenanceDialog final : public QDialog {
  Q_OBJECT

 public:
  explicit FileMaintenanceDialog(QWidget* parent);
  bool repair() const;

 private:
  QRadioButton* repair_;
};

// What a companion program reported (the list of backups, the maintenance report).
void showReport(const QString& title, const std::string& text, QWidget* parent);

// The folder backups go to when the person has chosen none: the backup
// program's own.
std::filesystem::path defaultBackupFolder();

}  // namespace vantrell::desktop
