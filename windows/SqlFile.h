#pragma once

#include "toolkit/Dialogs.h"

#include <QObject>
#include <QString>

class QsciScintilla;

// The .sql file a freehand window's editor shows: Ctrl+O opens one, Ctrl+S
// saves to it (asking for a name the first time), both in UTF-8 as written.
// A .sql file dropped on the editor is handed on (fileDropped) to open in a
// new window.
class SqlFile : public QObject {
    Q_OBJECT
public:
    explicit SqlFile(QsciScintilla& editor);

    // The file's full name; empty when the text is not from a file.
    QString fileName() const { return fileName_; }
    // The name shown in the window's title: the file's name, with "*" when
    // the text changed since it was opened or saved; empty without a file.
    QString titleName() const;
    // Whether the text changed since the file was opened or saved.
    bool hasUnsavedChanges() const;
    // Reads `fileName` into the editor. A file that cannot be read gives a
    // message and changes nothing; returns whether it was read.
    bool open(const QString& fileName);
    // Ctrl+O: a file chosen in the Open dialog, once the changes to the
    // current file, or the text typed without one, are saved or let go.
    void openChosen();
    // Ctrl+S: saves to the file, or to a name chosen first. False when
    // cancelled or the file could not be written (after a message).
    bool save();
    // Before the window closes: changes to the file are saved, let go or the
    // close is cancelled (false).
    bool mayClose();

    // Whether `fileName` names a .sql file.
    static bool isSqlFile(const QString& fileName);

signals:
    void titleChanged();
    void fileDropped(const QString& fileName);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool mayReplace();
    // The answer to "save the changes?" carried out; false for Cancel.
    bool saveIf(tk::SaveChoice choice);
    bool write(const QString& fileName);
    void setFileName(const QString& fileName);

    QsciScintilla& editor_;
    QString fileName_;
};
