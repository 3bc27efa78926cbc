#pragma once

#include <QString>

class QDialog;
class QWidget;

namespace tk {

enum class MessageKind { Error, Warning, Information };
// The answers to "save the changes?" when a changed document would close.
enum class SaveChoice { Save, Discard, Cancel };

// Every modal interaction goes through the installed Dialogs. The real one
// uses Qt; tests install a scripted one that records and answers. Texts are
// shown as plain text: they often come from data (paths, names, engine
// messages), and markup in them is shown as typed.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    // A modal box with a single OK button.
    virtual void message(MessageKind kind, const QString& caption, const QString& text) = 0;
    // OK / Cancel confirmation; true for OK.
    virtual bool confirm(const QString& caption, const QString& text) = 0;
    // One-line text prompt with OK / Cancel; false for Cancel. `value` holds
    // the default on entry and the answer on return. A masked prompt shows
    // what is typed as dots (for a password).
    enum class Echo { Shown, Masked };
    virtual bool prompt(const QString& caption, const QString& label, QString& value, int maxLength,
                        Echo echo) = 0;
    // Save / Discard / Cancel question about a changed document.
    virtual SaveChoice askToSave(const QString& caption, const QString& text) = 0;
    // File-open dialog; `fileName` is the starting name and, on true, the
    // choice. `selectedFilter` is the file type the dialog starts on (one of
    // the ";;"-separated `filter` entries; empty: the first) and, on true,
    // the type the user last chose.
    virtual bool openFile(QWidget* parent, const QString& filter, QString& fileName,
                          QString& selectedFilter) = 0;
    // File-save dialog; `fileName` is the starting name and, on true, the
    // choice. A name typed without a suffix gets `defaultSuffix`; an existing
    // file is replaced only after the user confirms.
    virtual bool saveFile(QWidget* parent, const QString& filter, const QString& defaultSuffix,
                          QString& fileName) = 0;
    // Shows a dialog modally and returns its result code.
    virtual int showModal(QDialog& dialog) = 0;

    static Dialogs& current();
    // Installs d (not owned); nullptr puts the real dialogs back.
    static void install(Dialogs* d);
};

// The standard caption of a message kind: "Error", "Warning", "Information".
QString messageCaption(MessageKind kind);
// message() with the standard caption of its kind.
void showMessage(MessageKind kind, const QString& text);

} // namespace tk
