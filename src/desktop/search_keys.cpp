#include "search_keys.hpp"

#include <QLineEdit>
#include <QShortcut>
#include <QTableView>
#include <algorithm>

namespace vantrell::desktop {

void addSearchMoveKeys(QLineEdit& search, QTableView& list) {
  for (const auto key : {Qt::Key_Up, Qt::Key_Down, Qt::Key_PageUp, Qt::Key_PageDown}) {
    auto* move = new QShortcut(QKeySequence(key), &search, nullptr, nullptr, Qt::WidgetShortcut);
    QObject::connect(move, &QShortcut::activated, &list, [&list, key] {
      const int rows = list.model()->rowCount();
      if (rows == 0) return;
      const int step = key == Qt::Key_Up       ? -1
                       : key == Qt::Key_Down   ? 1
                       : key == Qt::Key_PageUp ? -10
                                               : 10;
      const int at = list.currentIndex().isValid() ? list.currentIndex().row() + step : 0;
      list.setCurrentIndex(list.model()->index(std::clamp(at, 0, rows - 1), 0));
    });
  }
}

}  // namespace vantrell::desktop
