#pragma once

#include <QDialog>

class QLabel;

namespace tk {

class LongTextEditor;

// A window that shows one value whole, where the grid cannot edit it (a
// read-only result, a column that is never written): long and multi-line
// text can be read, selected and copied, but not changed. A NULL shows as
// "(null)" in grey. The note says why the value cannot be edited.
class ValueViewer : public QDialog {
    Q_OBJECT
public:
    explicit ValueViewer(QWidget* parent = nullptr);

    void showValue(const QString& title, const QString& value, bool isNull, const QString& note);
    QString text() const;

private:
    LongTextEditor* text_;
    QLabel* note_;
};

} // namespace tk
