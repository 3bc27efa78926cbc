#include "toolkit/ValueListEditor.h"

#include "toolkit/Text.h"

#include <QHeaderView>
#include <QKeyEvent>

namespace tk {

ValueListEditor::ValueListEditor(QWidget* parent) : QTableWidget(0, 2, parent) {
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    verticalHeader()->hide();
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setStretchLastSection(false);
    setTitles(QStringLiteral("Master"), QStringLiteral("Child"));
    setColumnWidth(0, 104);
    setColumnWidth(1, 103);
    showPlaceholderRow();
}

void ValueListEditor::setTitles(const QString& keyTitle, const QString& valueTitle) {
    setHorizontalHeaderLabels({keyTitle, valueTitle});
}

void ValueListEditor::showPlaceholderRow() {
    if (rowCount() == 0) {
        setRowCount(1);
        setItem(0, 0, new QTableWidgetItem);
        setItem(0, 1, new QTableWidgetItem);
        placeholderShown_ = true;
    }
}

int ValueListEditor::pairCount() const {
    return placeholderShown_ ? 0 : rowCount();
}

QString ValueListEditor::key(int index) const {
    return index >= 0 && index < pairCount() ? item(index, 0)->text() : QString();
}

QString ValueListEditor::value(int index) const {
    return index >= 0 && index < pairCount() ? item(index, 1)->text() : QString();
}

int ValueListEditor::findKey(const QString& k) const {
    for (int i = 0; i < pairCount(); ++i) {
        if (key(i).compare(k, Qt::CaseInsensitive) == 0) {
            return i;
        }
    }
    return -1;
}

QString ValueListEditor::cell(int column, int row) const {
    if (row == 0) {
        const QTableWidgetItem* title = horizontalHeaderItem(column);
        return title ? title->text() : QString();
    }
    const QTableWidgetItem* it = item(row - 1, column);
    return it ? it->text() : QString();
}

int ValueListEditor::insertPair(const QString& k, const QString& v, bool append) {
    if (k.contains(QLatin1Char('='))) {
        throw ListEditError("Key may not contain equals sign (\"=\")");
    }
    if (findKey(k) >= 0) {
        throw ListEditError("A key with the name of \"" + tk::ss(k) + "\" already exists");
    }
    if (placeholderShown_) {
        setRowCount(0);
        placeholderShown_ = false;
    }
    const int row = append ? rowCount() : 0;
    insertRow(row);
    setItem(row, 0, new QTableWidgetItem(k));
    setItem(row, 1, new QTableWidgetItem(v));
    return row;
}

void ValueListEditor::deletePair(int index) {
    if (index < 0 || index >= pairCount()) {
        return;
    }
    removeRow(index);
    showPlaceholderRow();
}

void ValueListEditor::clearPairs() {
    setRowCount(0);
    showPlaceholderRow();
}

void ValueListEditor::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (event->key() == Qt::Key_Delete &&
        (modifiers == Qt::NoModifier || modifiers == Qt::ControlModifier)) {
        deletePair(currentRow());
        event->accept();
        return;
    }
    QTableWidget::keyPressEvent(event);
}

} // namespace tk
