#include "windows/ScriptMessages.h"

#include <QHeaderView>

ScriptMessages::ScriptMessages(QWidget* parent) : QTableWidget(0, 5, parent) {
    setObjectName(QStringLiteral("ScriptMessages"));
    setHorizontalHeaderLabels({QStringLiteral("Line"), QStringLiteral("Statement"),
                               QStringLiteral("Rows"), QStringLiteral("Time"),
                               QStringLiteral("Message")});
    setEditTriggers(NoEditTriggers);
    setSelectionBehavior(SelectRows);
    verticalHeader()->hide();
    horizontalHeader()->setStretchLastSection(true);
}

void ScriptMessages::addStatement(int line, const QString& statement, const QString& rows,
                                  qint64 ms, const QString& error) {
    const int row = rowCount();
    insertRow(row);
    const QStringList cells{QString::number(line), statement.simplified(), rows,
                            QStringLiteral("%1 ms").arg(ms), error};
    for (int column = 0; column < cells.size(); ++column) {
        setItem(row, column, new QTableWidgetItem(cells.at(column)));
    }
}

void ScriptMessages::addNote(const QString& text) {
    const int row = rowCount();
    insertRow(row);
    setItem(row, 0, new QTableWidgetItem(text));
    setSpan(row, 0, 1, columnCount());
}
