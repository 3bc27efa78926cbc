#pragma once

class QMdiSubWindow;
class RowHistory;
class QString;
class QWidget;

// What a data window asks of the window that holds it (the main window):
// a place among its windows, the banner with its Close button, and a line
// for short notes.
class DataWindowHost {
public:
    // Makes `window` one of the host's windows, shown maximized; the window
    // is freed when it closes.
    virtual QMdiSubWindow* addDataWindow(QWidget* window) = 0;
    // Shows the button that closes the active data window.
    virtual void showCloseButton() = 0;
    // The banner as with no data window: the program's title, no Close button.
    virtual void restoreBanner() = 0;
    // Shows `text` for a few seconds where the host shows short notes.
    virtual void showStatus(const QString& text) = 0;
    // Opens the .sql file in a new freehand window; nothing by default.
    virtual void openSqlFile(const QString& fileName) { (void)fileName; }
    // Where following references goes back and forward; none by default.
    virtual RowHistory* rowHistory() { return nullptr; }

protected:
    ~DataWindowHost() = default;
};
