#include "startup_keys.hpp"

#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QGuiApplication>
#include <QApplication>

namespace vantrell::desktop {
namespace {

class KeyWatcher : public QLabel {
 public:
  HeldKeys held;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_F7) held.f7 = true;
    if (event->key() == Qt::Key_F8) held.f8 = true;
  }
};

}  // namespace

HeldKeys watchStartupKeys(int milliseconds) {
  KeyWatcher splash;
  splash.setText(QObject::tr("  Starting QelVantrell...  \n  (F8: choose another practice, F7: another data directory)  "));
  splash.setWindowFlags(Qt::SplashScreen | Qt::WindowStaysOnTopHint);
  splash.setFocusPolicy(Qt::StrongFocus);
  splash.show();
  splash.activateWindow();
  splash.setFocus();
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < milliseconds) QApplication::processEvents(QEventLoop::AllEvents, 50);
  return splash.held;
}

}  // namespace vantrell::desktop
