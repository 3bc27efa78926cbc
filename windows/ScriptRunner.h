#pragma once

#include "data/service/Command.h"
#include "data/service/SqlStatements.h"

#include <QByteArray>
#include <QString>

#include <functional>

namespace tk {
class EditorMarks;
class SqlEditor;
} // namespace tk
namespace vdata {
class Connection;
}
class ErrorPointer;
class ScriptResults;
struct HistoryEntry;

// Runs the freehand window's whole text as a script, statement by
// statement: each that returns rows gets a result tab, and the Messages tab
// lists what each did. The first failure, refusal or cancel stops the
// script there; its error goes to the Messages tab and the status bar, never
// to a message box.
class ScriptRunner {
public:
    struct Parts {
        vdata::Connection& connection;
        tk::SqlEditor* editor;
        tk::EditorMarks& marks;
        ErrorPointer& pointer;
        ScriptResults& results;
        std::function<bool()> safeMode;
        std::function<void(const QString&)> status;
        // Keeps each statement run (the database is filled in there).
        std::function<void(HistoryEntry&)> record;
    };
    explicit ScriptRunner(Parts parts);

    void run();

private:
    // What a statement did ("N returned", "N affected", the count also in
    // `rows`); raises its failure.
    QString runStatement(const QString& statement, const std::string& sent, long long& rows);
    // Whether the script goes on after the statement at `span`.
    bool runPart(const QByteArray& text, vdata::StatementSpan span);
    void stop(int line, const QString& why);

    Parts parts_;
    vdata::Command command_;
};
