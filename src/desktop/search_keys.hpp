#pragma once

class QLineEdit;
class QTableView;

namespace vantrell::desktop {

// Up, Down, PgUp and PgDn typed in a list window's search box move the current
// row of its list, so the keyboard never has to leave the box; with no current
// row the first key takes the first row.
void addSearchMoveKeys(QLineEdit& search, QTableView& list);

}  // namespace vantrell::desktop
