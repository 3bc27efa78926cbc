#pragma once

class QSplitter;

// The sizes of the freehand window's splitter (SQL text above the results),
// kept in the registry when a window closes and given to the next one.
namespace splitmemory {

void restore(QSplitter& splitter);
void remember(const QSplitter& splitter);

} // namespace splitmemory
