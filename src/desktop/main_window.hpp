#pragma once

#include <QMainWindow>
#include <QTimer>

#include "app/application.hpp"
#include "message_box_prompter.hpp"

class QLabel;
class QMdiArea;
class QPushButton;

namespace vantrell::desktop {

class EnterMovesFocus;

// The main window: menus for every subsystem (an entry shows once its window
// exists), the toolbar, the status bar with the program date and the user,
// and the timers of the main loop.
class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  MainWindow(app::Application& application, MessageBoxPrompter& prompter, ui::Settings& settings);
  ~MainWindow() override;

  // Start-up: the root data directory, the practice opened last, else the
  // practice list or the tutorial. False when the program is to end.
  bool start(const app::StartupOptions& options);

  void openPractice();
  void newPractice();
  void programOptions();
  void practiceInformation();
  void setProgramDate();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  struct MenuEntry {
    const char* menu;
    const char* text;
    QKeySequence shortcut;
    void (MainWindow::*handler)();  // null: its window comes with later work
  };

  void buildMenus();
  void practiceChanged();
  void refreshProgramDate();
  void presenceRefresh();
  void idleCheck();

  app::Application& application_;
  MessageBoxPrompter& prompter_;
  ui::Settings& settings_;
  QMdiArea* workspace_;
  QPushButton* programDate_;
  QLabel* user_;
  QTimer presenceTimer_;
  QTimer logOffTimer_;
  std::vector<QAction*> practiceActions_;
  EnterMovesFocus* enterMovesFocus_;
};

// When the option "Use ENTER for next Field" is set, Enter in a field moves on
// to the next one, as Tab does; buttons and multi-line text keep their Enter.
class EnterMovesFocus : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;
  void setEnabled(bool enabled) { enabled_ = enabled; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool enabled_ = false;
};

}  // namespace vantrell::desktop
