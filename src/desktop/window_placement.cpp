#include "window_placement.hpp"

#include <QGuiApplication>
#include <QScreen>
#include <QStringList>

namespace vantrell::desktop {

void WindowPlacement::restore(QWidget& window, const ui::Settings& settings) {
  const auto stored = settings.read(key, window.objectName().toStdString());
  if (!stored) return;
  const QStringList parts = QString::fromStdString(*stored).split(' ');
  if (parts.size() != 4) return;
  const QRect rectangle(parts[0].toInt(), parts[1].toInt(), parts[2].toInt(), parts[3].toInt());
  // A window saved on a screen that is gone comes back where it can be seen.
  const QScreen* screen = QGuiApplication::screenAt(rectangle.center());
  if (screen == nullptr || rectangle.width() < 100 || rectangle.height() < 80) return;
  window.setGeometry(rectangle.intersected(screen->availableGeometry()));
}

void WindowPlacement::save(const QWidget& window, ui::Settings& settings) {
  const QRect rectangle = window.geometry();
  settings.write(key, window.objectName().toStdString(),
                 QString("%1 %2 %3 %4").arg(rectangle.x()).arg(rectangle.y()).arg(rectangle.width())
                     .arg(rectangle.height()).toStdString());
}

}  // namespace vantrell::desktop
