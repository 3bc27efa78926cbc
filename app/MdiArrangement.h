#pragma once

#include <Qt>

class QMdiArea;

// The window commands that QMdiArea does not offer as such.

// Tiles the data windows that are not minimized: Qt::Vertical stacks them
// one above the other, Qt::Horizontal puts them side by side. A strip at the
// bottom stays free for minimized windows.
void tileSubWindows(QMdiArea& area, Qt::Orientation stacking);

// Lines the minimized data windows up along the bottom edge, left to right,
// starting a new row above when one is full.
void arrangeMinimizedSubWindows(QMdiArea& area);
