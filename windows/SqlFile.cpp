#include "windows/SqlFile.h"

#include "toolkit/Dialogs.h"

#include <Qsci/qsciscintilla.h>

#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMimeData>
#include <QSaveFile>
#include <QStringDecoder>

namespace {

const QString filter = QStringLiteral("SQL files (*.sql);;All files (*)");

// The one .sql file a drag carries; empty for anything else.
QString droppedSqlFile(const QMimeData* data) {
    const QList<QUrl> urls = data->urls();
    if (urls.size() != 1 || !urls.first().isLocalFile()) {
        return {};
    }
    const QString name = urls.first().toLocalFile();
    return SqlFile::isSqlFile(name) ? name : QString();
}

QString shown(const QString& fileName) {
    return QDir::toNativeSeparators(fileName);
}

} // namespace

SqlFile::SqlFile(QsciScintilla& editor) : QObject(&editor), editor_(editor) {
    // Ctrl+O and Ctrl+S belong to the editor while it has the keyboard.
    editor_.installEventFilter(this);
    editor_.viewport()->installEventFilter(this);
    connect(&editor_, &QsciScintilla::modificationChanged, this, &SqlFile::titleChanged);
}

bool SqlFile::isSqlFile(const QString& fileName) {
    return QFileInfo(fileName).suffix().compare(QLatin1String("sql"), Qt::CaseInsensitive) == 0;
}

QString SqlFile::titleName() const {
    if (fileName_.isEmpty()) {
        return {};
    }
    return QFileInfo(fileName_).fileName() +
           (editor_.isModified() ? QStringLiteral("*") : QString());
}

bool SqlFile::hasUnsavedChanges() const {
    return !fileName_.isEmpty() && editor_.isModified();
}

void SqlFile::setFileName(const QString& fileName) {
    fileName_ = fileName;
    editor_.setModified(false);
    emit titleChanged();
}

bool SqlFile::open(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        tk::showMessage(tk::MessageKind::Error, QStringLiteral("The file %1 could not be read: %2.")
                                                    .arg(shown(fileName), file.errorString()));
        return false;
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(file.readAll());
    if (utf8.hasError()) {
        tk::showMessage(tk::MessageKind::Error,
                        QStringLiteral("The file %1 is not UTF-8 text; it was not opened.")
                            .arg(shown(fileName)));
        return false;
    }
    editor_.setText(text);
    setFileName(QFileInfo(fileName).absoluteFilePath());
    return true;
}

void SqlFile::openChosen() {
    QString name = fileName_;
    QString type;
    if (mayReplace() && tk::Dialogs::current().openFile(&editor_, filter, name, type)) {
        open(name);
    }
}

bool SqlFile::save() {
    QString name = fileName_;
    if (name.isEmpty() &&
        !tk::Dialogs::current().saveFile(&editor_, filter, QStringLiteral("sql"), name)) {
        return false;
    }
    return write(name);
}

bool SqlFile::write(const QString& fileName) {
    QSaveFile file(fileName);
    const QByteArray bytes = editor_.text().toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        tk::showMessage(tk::MessageKind::Error,
                        QStringLiteral("The file %1 could not be saved: %2.")
                            .arg(shown(fileName), file.errorString()));
        return false;
    }
    setFileName(QFileInfo(fileName).absoluteFilePath());
    return true;
}

bool SqlFile::mayClose() {
    if (!hasUnsavedChanges()) {
        return true;
    }
    return saveIf(tk::Dialogs::current().askToSave(
        QStringLiteral("Save changes"),
        QStringLiteral("The SQL in %1 has changed. Save the changes?").arg(shown(fileName_))));
}

// Text typed in a window without a file is asked about too: a file opened
// over it would otherwise replace it, kept text included.
bool SqlFile::mayReplace() {
    if (!fileName_.isEmpty() || !editor_.isModified() || editor_.text().trimmed().isEmpty()) {
        return mayClose();
    }
    return saveIf(tk::Dialogs::current().askToSave(
        QStringLiteral("Save changes"),
        QStringLiteral("The SQL typed here is in no file yet. Save it before opening another?")));
}

bool SqlFile::saveIf(tk::SaveChoice choice) {
    switch (choice) {
    case tk::SaveChoice::Save:
        return save();
    case tk::SaveChoice::Discard:
        return true;
    case tk::SaveChoice::Cancel:
        break;
    }
    return false;
}

bool SqlFile::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::ShortcutOverride:
    case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool open = key->matches(QKeySequence::Open);
        if (open || key->matches(QKeySequence::Save)) {
            event->accept();
            if (event->type() == QEvent::KeyPress) {
                open ? openChosen() : void(save());
            }
            return true;
        }
        break;
    }
    case QEvent::DragEnter:
    case QEvent::DragMove:
        if (!droppedSqlFile(static_cast<QDropEvent*>(event)->mimeData()).isEmpty()) {
            static_cast<QDropEvent*>(event)->acceptProposedAction();
            return true;
        }
        break;
    case QEvent::Drop:
        if (const QString name = droppedSqlFile(static_cast<QDropEvent*>(event)->mimeData());
            !name.isEmpty()) {
            static_cast<QDropEvent*>(event)->acceptProposedAction();
            emit fileDropped(name);
            return true;
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
