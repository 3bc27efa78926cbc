#pragma once

// The whole program for a test, as main() builds it: scripted dialogs, the
// connection manager, then the main window (destroyed in the opposite order).
// Optionally a real SQLite file made from a script in a temporary folder,
// with the program connected to it and a second connection for reading back.
// The helpers drive the main window as a person does: File > Open, a click
// on a table in the tree, the close button, Disconnect.

#include "app/MainWindow.h"
#include "connection/ConnectionManager.h"
#include "data/service/Connection.h"
#include "tests/support/ScriptedDialogs.h"
#include "windows/DataWindow.h"

#include <QComboBox>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidgetItem>

#include <memory>
#include <string>

namespace program {

inline const QString title = QStringLiteral("QRV Veldmark");

// Called from a test's init(): a handler that a form names but the class no
// longer has, or a connection Qt cannot make, fails the test instead of
// leaving a button that silently does nothing.
inline void failOnConnectionWarnings() {
    QTest::failOnWarning(QRegularExpression(
        QStringLiteral("QObject::connect|QMetaObject::connectSlotsByName|No such slot")));
}

// The entries of a drop-down list, in order.
inline QStringList entries(const QComboBox* list) {
    QStringList result;
    for (int i = 0; i < list->count(); ++i) {
        result << list->itemText(i);
    }
    return result;
}

} // namespace program

class ProgramFixture {
    // Declared first: the dialogs outlive the program.
    std::unique_ptr<ScriptedDialogs> ownDialogs_;

public:
    // With a script: the script run into a new SQLite file, the program
    // connected to it.
    explicit ProgramFixture(const char* script = nullptr);
    // The program answered by dialogs that outlive it (one record across a
    // restart).
    explicit ProgramFixture(ScriptedDialogs& answers) : dialogs(answers) {}
    ProgramFixture(const ProgramFixture&) = delete;
    ProgramFixture& operator=(const ProgramFixture&) = delete;

    QTemporaryDir dir;
    QString path; // the file made from the script; empty when none was given
    ScriptedDialogs& dialogs;
    ConnectionManager dm;
    MainWindow form;

    // The program's connection, which the data windows receive.
    vdata::Connection& connection() { return dm.connection; }
    // A new connection of its own with the given string, opened.
    static std::unique_ptr<vdata::Connection> connectTo(const std::string& connectionString);
    // A second, independent connection to the script's file.
    std::unique_ptr<vdata::Connection> other() const;
    // One value read through a second connection; "<no row>" when none.
    std::string readBack(const std::string& sql) const;
    int count(const QString& kind) const { return dialogs.count(kind); }

    // Shown at a size that fits the data windows.
    void show();
    // Shown maximized and active, as main() starts it; false if it never
    // became active.
    bool started();

    // Database > Open on `file`; a password prompt with no scripted answer
    // is cancelled.
    void open(const QString& file);
    // The tables the tree lists.
    QList<QTreeWidgetItem*> tables() const;
    // Clicks the node's row in the tree; the newest data window, or null.
    DataWindow* click(QTreeWidgetItem* item);
    // The same for the leaf `leaf` under the root `parent`.
    DataWindow* click(const QString& parent, const QString& leaf);
    int windowCount() const;
    // Closes the active data window with the main window's close button.
    void closeActive();
    // Database > Disconnect, with the closed windows freed.
    void disconnect();

    // What the program's event loop does between two commands: closed
    // windows are freed and posted events delivered (the test has no loop
    // running, and undelivered events would pile up).
    static void settle();
};
