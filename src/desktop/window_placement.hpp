#pragma once

#include <QWidget>

#include "ui/settings.hpp"

namespace vantrell::desktop {

// Windows come back where the person left them: the geometry is kept under
// the system's "Window Defaults" key, one value per window.
class WindowPlacement {
 public:
  static constexpr const char* key = "Software\\Vantrell\\Radavad Adedarirar 10\\Window Defaults";
  static void restore(QWidget& window, const ui::Settings& settings);
  static void save(const QWidget& window, ui::Settings& settings);
};

}  // namespace vantrell::desktop
