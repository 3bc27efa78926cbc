#pragma once

#include <QTableWidget>

// The "Messages" tab of a script: a row per statement run, with the line it
// starts on, its first words, the rows it returned or affected, the time it
// took and its error; and a last row that says where the script stopped.
class ScriptMessages : public QTableWidget {
    Q_OBJECT
public:
    explicit ScriptMessages(QWidget* parent = nullptr);

    void addStatement(int line, const QString& statement, const QString& rows, qint64 ms,
                      const QString& error = QString());
    void addNote(const QString& text);
};
