// vantrell: the desktop program.
//   vantrell [CS] [--reset-practice] [--reset-root]
// "CS" works on the database server; F8 held at start-up forgets the practice
// opened last, F7 also the root data directory.

#include <QApplication>
#include <QString>
#include <QStyle>
#include <cstdlib>

#include "app/application.hpp"
#include "main_window.hpp"
#include "message_box_prompter.hpp"
#include "startup_keys.hpp"
#include "ui/clock.hpp"
#include "ui/launcher.hpp"
#include "ui/settings.hpp"

int main(int argc, char** argv) {
  using namespace vantrell;
  QApplication application(argc, argv);
  QApplication::setApplicationName("QelVantrell");
  QApplication::setWindowIcon(application.style()->standardIcon(QStyle::SP_ComputerIcon));

  app::StartupOptions options;
  options.useDefaultRootWhenUnset = true;
  for (const QString& argument : QApplication::arguments().mid(1)) {
    if (argument.compare("CS", Qt::CaseInsensitive) == 0 || argument == "--server") options.engine = store::Engine::Server;
    else if (argument == "--reset-practice") options.resetPractice = true;
    else if (argument == "--reset-root") options.resetRoot = true;
  }
  const desktop::HeldKeys held = desktop::watchStartupKeys(400);
  options.resetPractice = options.resetPractice || held.f8;
  options.resetRoot = options.resetRoot || held.f7;

  ui::IniSettings settings(ui::IniSettings::defaultFile());
  ui::SystemClock clock;
  ui::ProcessLauncher launcher(ui::ProcessLauncher::runningProgramDirectory());
  desktop::MessageBoxPrompter prompter;
  const char* login = std::getenv("USER");
  practice::Surroundings surroundings{prompter, settings, launcher, clock, practice::ProgramPlaces::forCurrentUser(),
                                      login != nullptr ? login : "vantrell"};
  app::Application program(surroundings);
  desktop::MainWindow window(program, prompter, settings);
  surroundings.loginPrompt = &window.loginPrompt();
  if (!window.start(options)) return 0;
  return QApplication::exec();
}
