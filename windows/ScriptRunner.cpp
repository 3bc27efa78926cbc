#include "windows/ScriptRunner.h"

#include "data/service/Connection.h"
#include "data/service/SqlCompletion.h"
#include "toolkit/Cursors.h"
#include "toolkit/EditorMarks.h"
#include "toolkit/ErrorReport.h"
#include "toolkit/Progress.h"
#include "toolkit/SchemaCatalogCache.h"
#include "toolkit/SqlEditor.h"
#include "toolkit/Text.h"
#include "windows/DataSetPanel.h"
#include "windows/DataWindow.h"
#include "windows/ErrorPointer.h"
#include "windows/QueryHistory.h"
#include "windows/SafeMode.h"
#include "windows/ScriptMessages.h"
#include "windows/ScriptResults.h"

#include <QElapsedTimer>

ScriptRunner::ScriptRunner(Parts parts) : parts_(std::move(parts)) {
    command_.setConnection(&parts_.connection);
}

void ScriptRunner::run() {
    parts_.results.reset();
    const QByteArray text = parts_.editor->text().toUtf8();
    const std::vector<vdata::StatementSpan> spans = vdata::splitStatements(
        std::string_view(text.constData(), std::size_t(text.size())), parts_.editor->sqlFamily());
    for (const vdata::StatementSpan& span : spans) {
        if (!runPart(text, span)) {
            return;
        }
    }
    parts_.results.setCurrentIndex(0);
    parts_.status(QStringLiteral("The script ran %1 statements.").arg(spans.size()));
}

bool ScriptRunner::runPart(const QByteArray& text, vdata::StatementSpan span) {
    const auto begin = qsizetype(span.begin);
    const QString statement = QString::fromUtf8(text.mid(begin, qsizetype(span.end) - begin));
    const int line = int(text.left(begin).count('\n')) + 1;
    parts_.marks.flashRange(int(span.begin), int(span.end));
    if (parts_.safeMode() && !allowWholeTableChange(parts_.connection, tk::ss(statement))) {
        parts_.results.messages().addStatement(line, statement, QString(), 0,
                                               QStringLiteral("Not run: cancelled in safe mode"));
        stop(line, QStringLiteral("cancelled in safe mode"));
        return false;
    }
    // Sent as a single statement is sent: its lines end with "\r\n".
    const std::string sent =
        tk::ss(statement.split(QLatin1Char('\n')).join(QStringLiteral("\r\n")));
    parts_.pointer.aim(sent, span.begin);
    HistoryEntry entry;
    entry.at = QDateTime::currentDateTimeUtc();
    entry.sql = statement;
    QElapsedTimer clock;
    clock.start();
    try {
        const QString rows = runStatement(statement, sent, entry.rows);
        entry.milliseconds = clock.elapsed();
        if (vdata::changesSchema(sent, parts_.editor->sqlFamily())) {
            tk::SchemaCatalogCache::instance().reload(parts_.connection.connectionString());
        }
        parts_.record(entry);
        parts_.results.messages().addStatement(line, statement, rows, entry.milliseconds);
        return true;
    } catch (const std::exception& e) {
        entry.milliseconds = clock.elapsed();
        entry.failed = true;
        entry.error = tk::qs(e.what());
        entry.rows = -1;
        parts_.record(entry);
        const QString why =
            tk::isCancellation(e) ? QStringLiteral("Cancelled") : parts_.pointer.report(e);
        parts_.results.messages().addStatement(line, statement, QString(), entry.milliseconds, why);
        stop(line, why);
        return false;
    }
}

// The engine tells whether the statement returns rows; the first word
// decides only when it cannot, as for a single statement. The results
// before are read to their end first, so that the statement neither waits
// for their reads nor changes the rows they show.
QString ScriptRunner::runStatement(const QString& statement, const std::string& sent,
                                   long long& rows) {
    const tk::AppCursorGuard busy(tk::CursorShape::SqlWait);
    const tk::ProgressGuard progress(parts_.editor->window());
    for (DataSetPanel* result : parts_.results.results()) {
        result->query().readAll();
    }
    command_.setCommandText(sent);
    const bool select = DataWindow::firstWord(statement) == QLatin1String("select");
    if (!command_.returnsRows().value_or(select)) {
        rows = command_.execute();
        return QStringLiteral("%1 affected").arg(rows);
    }
    DataSetPanel& panel = parts_.results.nextResult(ScriptResults::titleOf(statement));
    try {
        panel.query().setSQL(sent);
        panel.query().open();
    } catch (...) {
        parts_.results.dropLastResult();
        throw;
    }
    panel.fillSearchColumns();
    rows = panel.query().recordCount();
    // The rest of the rows are read after the script, or before the next
    // statement.
    return panel.query().reading() ? QStringLiteral("%1 returned so far").arg(rows)
                                   : QStringLiteral("%1 returned").arg(rows);
}

void ScriptRunner::stop(int line, const QString& why) {
    // The engine's message may end with its own full stop.
    QString reason = why;
    while (reason.endsWith(QLatin1Char('.'))) {
        reason.chop(1);
    }
    const QString note = QStringLiteral("The script stopped at line %1: %2. Nothing after it ran.")
                             .arg(line)
                             .arg(reason);
    parts_.results.messages().addNote(note);
    parts_.results.setCurrentWidget(&parts_.results.messages());
    parts_.status(note);
}
