#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>

#include "command_tree.hpp"
#include "context.hpp"
#include "maintenance/practice_maintenance.hpp"

namespace vantrell::cli {
namespace {

// The person's choice of folder, remembered for the backup program (which
// reads it there, as it would after its own folder dialog).
void chooseFolder(Context& context, const std::optional<std::string>& folder) {
  if (folder)
    context.settings().write(maintenance::backupSettingsKey, maintenance::backupFolderValue,
                             std::filesystem::absolute(*folder).string());
}

int outcome(const maintenance::PracticeMaintenance& maintenance, bool ran) {
  if (!ran) throw Refused();
  return maintenance.lastExitCode() == 0 ? done : refused;
}

int backUp(Context& context, const std::optional<std::string>& folder) {
  context.openPractice();
  chooseFolder(context, folder);
  maintenance::PracticeMaintenance maintenance(context.application());
  const bool ran = maintenance.backUp({});
  return outcome(maintenance, ran || maintenance.lastExitCode() != -1);
}

int restore(Context& context, const std::string& file) {
  context.openPractice();
  ui::Settings& settings = context.settings();
  settings.write(maintenance::backupSettingsKey, maintenance::restoreFileValue,
                 std::filesystem::absolute(file).string());
  maintenance::PracticeMaintenance maintenance(context.application());
  const bool reopened = maintenance.restore({});
  // A refusal before the program ran leaves the hand-over for nobody.
  settings.remove(maintenance::backupSettingsKey, maintenance::restoreFileValue);
  if (!reopened) {
    std::cerr << "The practice could not be opened again after the restore.\n";
    return refused;
  }
  return outcome(maintenance, maintenance.lastExitCode() != -1);
}

int viewBackups(Context& context, const std::optional<std::string>& folder) {
  context.openPractice();
  chooseFolder(context, folder);
  maintenance::PracticeMaintenance maintenance(context.application());
  maintenance.viewBackups();
  return outcome(maintenance, maintenance.lastExitCode() != -1);
}

int maintain(Context& context, bool repair) {
  context.openPractice();
  maintenance::PracticeMaintenance maintenance(context.application());
  std::vector<std::string> extra;
  if (repair) extra.emplace_back("--repair");
  maintenance.fileMaintenance({}, extra);
  return outcome(maintenance, maintenance.lastExitCode() != -1);
}

}  // namespace

void addMaintenanceCommands(CLI::App& app, Action& chosen) {
  auto folder = std::make_shared<std::optional<std::string>>();
  CLI::App* backup = app.add_subcommand("backup", "backs up the open practice");
  backup->add_option_function<std::string>(
      "--to", [folder](const std::string& value) { *folder = value; },
      "the folder for the backup (remembered)");
  onRun(backup, chosen, [folder](Context& context) { return backUp(context, *folder); });

  auto file = std::make_shared<std::string>();
  CLI::App* restoreVerb = app.add_subcommand("restore", "restores the open practice from a backup");
  restoreVerb->add_option("FILE", *file, "the backup to restore")->required();
  onRun(restoreVerb, chosen, [file](Context& context) { return restore(context, *file); });

  auto viewFolder = std::make_shared<std::optional<std::string>>();
  CLI::App* backups = app.add_subcommand("backups", "lists the backups in the backup folder");
  backups->add_option_function<std::string>(
      "DIR", [viewFolder](const std::string& value) { *viewFolder = value; },
      "the folder to list (remembered)");
  onRun(backups, chosen,
        [viewFolder](Context& context) { return viewBackups(context, *viewFolder); });

  auto repair = std::make_shared<bool>(false);
  CLI::App* maintainVerb = app.add_subcommand("maintain", "checks the practice's files and totals");
  maintainVerb->add_flag("--repair", *repair, "repair what the checks find");
  onRun(maintainVerb, chosen, [repair](Context& context) { return maintain(context, *repair); });
}

}  // namespace vantrell::cli
