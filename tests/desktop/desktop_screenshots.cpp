// desktop_screenshots DIR: starts the desktop on a fresh root data directory
// (the tutorial practice) and saves PNG pictures of the main window, the
// practice list, the new practice window and every page of the options window.

#include <QApplication>
#include <QTabWidget>
#include <QTimer>
#include <filesystem>
#include <iostream>

#include <unistd.h>

#include "app/application.hpp"
#include "main_window.hpp"
#include "message_box_prompter.hpp"
#include "code_list_window.hpp"
#include "options_dialog.hpp"
#include "practice_dialogs.hpp"
#include "ui/launcher.hpp"
#include "ui/settings.hpp"

using namespace vantrell;

namespace {

void save(QWidget& widget, const std::filesystem::path& file) {
  widget.show();
  QApplication::processEvents();
  widget.grab().save(QString::fromStdString(file.string()));
  std::cout << file.string() << '\n';
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "Usage: desktop_screenshots DIR\n";
    return 2;
  }
  QApplication application(argc, argv);
  const std::filesystem::path out(argv[1]);
  std::filesystem::create_directories(out);
  const auto home = std::filesystem::temp_directory_path() / ("vantrell-screens-" + std::to_string(::getpid()));

  desktop::MessageBoxPrompter prompter;
  ui::MemorySettings settings;
  ui::ProcessLauncher launcher(ui::ProcessLauncher::runningProgramDirectory());
  ui::SystemClock clock;
  practice::Surroundings surroundings{prompter, settings, launcher, clock, practice::ProgramPlaces{home / "state"}, "MARY"};
  app::Application program(surroundings);
  desktop::MainWindow window(program, prompter, settings);
  app::StartupOptions options;
  options.rootDirectory = (home / "Data").string();
  options.createRootWithoutAsking = true;
  if (!window.start(options)) return 1;
  window.resize(1366, 740);
  save(window, out / "main-window.png");

  desktop::PracticeListDialog list(program, &window);
  save(list, out / "practice-list.png");
  list.hide();
  desktop::NewPracticeDialog newPractice(program, &window);
  save(newPractice, out / "new-practice.png");
  newPractice.hide();
  desktop::OptionsDialog optionsDialog(*program.practice()->connection, prompter, false, &window);
  auto* pages = optionsDialog.findChild<QTabWidget*>("optionPages");
  for (int page = 0; page < pages->count(); ++page) {
    pages->setCurrentIndex(page);
    save(optionsDialog, out / ("options-" + std::to_string(page + 1) + ".png"));
  }
  optionsDialog.hide();
  desktop::PracticeInformationDialog information(*program.practice()->connection, prompter, &window);
  save(information, out / "practice-information.png");
  information.hide();
  auto& practice = *program.practice();
  desktop::CodeListWindow codes(*practice.connection, *reference::findCodeTable("code"), prompter, clock,
                                practice.security.get(), &window);
  save(codes, out / "procedure-codes.png");
  codes.hide();
  reference::CodeWindow code(*practice.connection, *reference::findCodeTable("code"), prompter, clock,
                             practice.security.get());
  code.open("99213");
  desktop::CodeEditDialog editCode(code, *practice.connection, prompter, practice.security.get(), &window);
  save(editCode, out / "procedure-code.png");
  editCode.hide();
  reference::CodeWindow carrier(*practice.connection, *reference::findCodeTable("carrier"), prompter, clock,
                                practice.security.get());
  carrier.open("MC");
  desktop::CodeEditDialog editCarrier(carrier, *practice.connection, prompter, practice.security.get(), &window);
  editCarrier.findChild<QTabWidget*>("pages")->setCurrentIndex(3);
  save(editCarrier, out / "carrier-allowed-amounts.png");
  editCarrier.hide();
  std::error_code ignored;
  std::filesystem::remove_all(home, ignored);
  return 0;
}
