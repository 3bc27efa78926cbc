#pragma once

#include "toolkit/Dialogs.h"

#include <QDialog>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>

// A Dialogs seam for tests: records every interaction and answers from
// queues filled by the test. An interaction with no queued answer gets a
// default (confirm: true, askToSave: cancel, prompt: cancel, openFile and saveFile: cancel,
// showModal: runs the queued script or rejects). Installs itself on construction and puts the real
// dialogs back on destruction.
class ScriptedDialogs : public tk::Dialogs {
public:
    struct Shown {
        QString kind;        // "error", "warning", "information", "confirm", "asksave", "prompt",
                             // "open", "save", "modal"
        QString caption;     // caption, or the dialog's window title for "modal"
        QString text;        // message, prompt label, or filter for "open" and "save"
        QString start;       // "open": the file type the dialog started on; "save": the name
        bool masked = false; // "prompt": what is typed shows as dots
    };

    ScriptedDialogs();
    ~ScriptedDialogs() override;

    // Answers, used first-in first-out.
    std::deque<bool> confirmAnswers;
    std::deque<tk::SaveChoice> saveChoices;
    std::deque<QString> promptAnswers; // a null QString answers Cancel
    std::deque<QString> fileAnswers;   // Open and Save; a null QString answers Cancel
    // The file type chosen in the Open dialog with each answered file; none
    // or a null QString keeps the type the dialog started on.
    std::deque<QString> fileTypeAnswers;
    // Each showModal() pops one script; it may drive the dialog and returns
    // the result code to report (the dialog's own result() if it returns -1).
    std::deque<std::function<int(QDialog&)>> modalScripts;

    QList<Shown> shown;
    QStringList texts() const; // the text of every interaction, in order
    QStringList kinds() const; // the kind of every interaction, in order
    int count(const QString& kind) const;
    void clear() { shown.clear(); }

    void message(tk::MessageKind kind, const QString& caption, const QString& text) override;
    bool confirm(const QString& caption, const QString& text) override;
    tk::SaveChoice askToSave(const QString& caption, const QString& text) override;
    bool prompt(const QString& caption, const QString& label, QString& value, int maxLength,
                Echo echo) override;
    bool openFile(QWidget* parent, const QString& filter, QString& fileName,
                  QString& selectedFilter) override;
    bool saveFile(QWidget* parent, const QString& filter, const QString& defaultSuffix,
                  QString& fileName) override;
    int showModal(QDialog& dialog) override;
};
