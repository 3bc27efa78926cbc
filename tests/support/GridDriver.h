#pragma once

// Drives a data grid as a person does: clicks on cells, keys typed into
// whatever has the keyboard, navigator buttons pressed with the mouse, SQL
// typed into a data window and run.

#include "toolkit/DBGrid.h"
#include "toolkit/DBNavigator.h"
#include "toolkit/LongTextEditor.h"
#include "windows/DataSetPanel.h"
#include "windows/DataWindow.h"

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolButton>

namespace gridtest {

struct Driver {
    tk::DBGrid* grid;

    // Shows the grid's window and gives it the keyboard.
    explicit Driver(tk::DBGrid* g) : grid(g) {
        QWidget* window = grid->window();
        window->resize(900, 500);
        window->show();
        QApplication::setActiveWindow(window);
        [[maybe_unused]] const bool exposed = QTest::qWaitForWindowExposed(window);
        grid->setFocus(Qt::MouseFocusReason);
    }

    QPoint centre(int row, int column) const {
        return grid->visualRect(grid->model()->index(row, column)).center();
    }
    void click(int row, int column) const {
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, centre(row, column));
    }
    // What a real double-click delivers: press, release, double-click, release.
    void doubleClick(int row, int column) const {
        const QPoint at = centre(row, column);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {}, at);
    }
    static QWidget* keyboard() { return QApplication::focusWidget(); }
    // Each key goes where the keyboard is at that moment, as a person's does:
    // the first one may open a cell editor that takes the rest.
    static void type(const QString& text) {
        for (const QChar c : text) {
            QTest::keyClicks(keyboard(), QString(c));
        }
    }
    static void key(Qt::Key k, Qt::KeyboardModifiers mods = {}) {
        QTest::keyClick(keyboard(), k, mods);
    }
    // The open cell editor, or null.
    static QLineEdit* editor() { return qobject_cast<QLineEdit*>(keyboard()); }
    // The open multi-line cell editor, or null.
    static tk::LongTextEditor* longEditor() {
        return qobject_cast<tk::LongTextEditor*>(keyboard());
    }
    // What the open cell editor holds, whichever it is; null when none.
    static QString editorText() {
        if (const QLineEdit* line = editor()) {
            return line->text();
        }
        const tk::LongTextEditor* text = longEditor();
        return text ? text->text() : QString();
    }

    // Clicks a cell and types over it.
    void typeOver(int row, int column, const QString& text) const {
        click(row, column);
        type(text);
    }
};

inline void press(tk::DBNavigator* navigator, int button) {
    QTest::mouseClick(navigator->button(button), Qt::LeftButton);
}

// As a person does: the text typed into the SQL box line by line.
inline void typeText(DataWindow& w, const QString& text) {
    QTest::mouseClick(w.sqlBox()->viewport(), Qt::LeftButton);
    QTest::keyClick(w.sqlBox(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(w.sqlBox(), Qt::Key_Delete);
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0) {
            QTest::keyClick(w.sqlBox(), Qt::Key_Return);
        }
        QTest::keyClicks(w.sqlBox(), lines.at(i));
    }
}

// The text typed, then a mouse click on the Refresh button.
inline void typeAndRun(DataWindow& w, const QString& text) {
    typeText(w, text);
    QTest::mouseClick(w.runButton(), Qt::LeftButton);
}

} // namespace gridtest
