#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;

// The statements run on one database, newest first, with a box that keeps
// those whose text contains what is typed there (letter case ignored).
// Double-click or Return on one hands its text on; nothing is run here.
// When the history file cannot be read, the panel says why instead.
class HistoryPanel : public QWidget {
    Q_OBJECT
public:
    HistoryPanel(const QString& database, QWidget* parent);

    // Reads the list from the history file again.
    void reload();

    QLineEdit* filterBox() const { return filter_; }
    QTreeWidget* list() const { return list_; }
    // Why the list is empty when the file cannot be read; hidden otherwise.
    QLabel* problem() const { return problem_; }

signals:
    void chosen(const QString& sql);

private:
    void applyFilter();
    void choose(QTreeWidgetItem* item);

    const QString database_;
    QLineEdit* filter_;
    QTreeWidget* list_;
    QLabel* problem_;
};
