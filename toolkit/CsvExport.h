#pragma once

#include <QString>

class QWidget;
namespace vdata {
class Query;
} // namespace vdata

namespace tk {

// The Export command: asks for a file in the save dialog and writes the
// query's result there as CSV (see vdata::CsvWriter), with the busy cursor.
// The file appears whole under its name or not at all: a write error (no
// permission, disk full) leaves any earlier file as it was and shows the
// system's message. The dialog suggests the table's name ("Album.csv") for
// a result of one table. Returns the file written; empty when none was.
QString exportToCsv(QWidget* parent, const vdata::Query& query);

// Writes the file without asking; the system's message on failure, empty on
// success.
QString writeCsvFile(const QString& fileName, const vdata::Query& query);

} // namespace tk
