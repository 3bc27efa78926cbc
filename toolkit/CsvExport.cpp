#include "toolkit/CsvExport.h"

#include "data/service/CsvWriter.h"
#include "data/service/Query.h"
#include "toolkit/Cursors.h"
#include "toolkit/Dialogs.h"

#include <QDir>
#include <QSaveFile>

namespace tk {
namespace {

// Unbuffered, each piece is written when the writer hands it over and a short
// write shows at once: a buffered write past a full disk can end with part
// of the data written and no error at all.
bool writePiece(QSaveFile& file, std::string_view piece) {
    // The rest of a short write is tried again, so that the failure comes
    // back with the system's reason.
    while (!piece.empty()) {
        const qint64 written = file.write(piece.data(), qint64(piece.size()));
        if (written <= 0) {
            return false;
        }
        piece.remove_prefix(std::size_t(written));
    }
    return true;
}

} // namespace

QString writeCsvFile(const QString& fileName, const vdata::Query& query) {
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return file.errorString();
    }
    vdata::CsvWriter writer([&file](std::string_view piece) { return writePiece(file, piece); });
    if (!writer.write(query)) {
        const QString error = file.errorString();
        file.cancelWriting();
        return error;
    }
    return file.commit() ? QString() : file.errorString();
}

QString exportToCsv(QWidget* parent, const vdata::Query& query) {
    QString fileName = QString::fromStdString(query.editableTable());
    if (!fileName.isEmpty()) {
        fileName = fileName.replace(QLatin1Char('/'), QLatin1Char('_')) + QStringLiteral(".csv");
    }
    if (!Dialogs::current().saveFile(parent, QStringLiteral("CSV files (*.csv);;All files (*)"),
                                     QStringLiteral("csv"), fileName)) {
        return QString();
    }
    QString error;
    {
        const AppCursorGuard busy(CursorShape::Hourglass);
        error = writeCsvFile(fileName, query);
    }
    if (error.isEmpty()) {
        return fileName;
    }
    showMessage(MessageKind::Error, QStringLiteral("Could not export to %1:\n%2")
                                        .arg(QDir::toNativeSeparators(fileName), error));
    return QString();
}

} // namespace tk
