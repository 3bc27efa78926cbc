#pragma once

#include "ui_MainWindow.h"
#include "windows/DataWindowHost.h"

#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QString>

class DataWindowKeys;
class QMdiArea;
class QMdiSubWindow;
class RecentFiles;
class RowHistory;

// The MDI frame of the program: banner, connection status panel, database
// tree, menus and the data windows as MDI children. The layout comes from
// forms/MainForm.ui. It follows the connection manager through its signals
// and is the host of the data windows.
class MainWindow : public QMainWindow, public Ui::MainWindow, public DataWindowHost {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // What is connected: the database file, or database + " on " + server.
    QString ConnectedTo;
    // The recent-databases list under "&MRU".
    RecentFiles* MRU = nullptr;

    QMdiArea* mdiArea() const { return MdiClient; }
    // Makes `window` an MDI child, shown maximized. It is freed when closed.
    QMdiSubWindow* addDataWindow(QWidget* window) override;
    void showCloseButton() override;
    void restoreBanner() override;
    // On the status bar, for five seconds.
    void showStatus(const QString& text) override;
    RowHistory* rowHistory() override { return rowHistory_; }
    // Opens the .sql file in a new freehand query window on the open
    // database; without one, a message says so.
    void openSqlFile(const QString& fileName) override;

    // The file type the Open dialog starts on: the one last chosen.
    QString OpenDialogFileType() const { return openDialogFileType_; }
    static QString OpenDialogFilter();

    void FillDatabaseTree();
    // Asks every data window to close; false when one stayed open (it holds
    // a change the database refused).
    bool CloseAllChildren();
    void MRUClick(RecentFiles* Sender, const QString& FileName);
    // Opens a database file as File > Open does once the file is chosen
    // (password prompt included) and adds it to the recent list; refused
    // with a message while a database is connected, as the command is.
    void OpenFile(const QString& fileName);

public Q_SLOTS:
    void FormCreate();
    void FormClose();
    void actFileOpenExecute();
    void mnuOpenSQLServerClick();
    void mnuDisconnectClick();
    void FileExit1Execute();
    void CloseButtonClick();
    void DBTreeClick();
    void HelpAbout1Execute();
    void EditCut1Execute();
    void EditCopy1Execute();
    void EditPaste1Execute();
    void WindowCascade1Execute();
    void WindowTileHorizontal1Execute();
    void WindowTileVertical1Execute();
    void WindowMinimizeAll1Execute();
    void WindowArrangeAll1Execute();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // A database file dropped on the window opens as with File > Open; a
    // .sql file opens in a new freehand query window.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void connectHandlers();
    void followConnectionManager();
    void addWindowKeys();
    void switchTreeAndWindow();
    void connectionOpened();
    void connectionClosed();
    void showRecentFilesPlaceholder();
    void updateWindowCommands(const QMdiSubWindow* goingAway = nullptr);
    void rebuildWindowList();
    QList<QMdiSubWindow*> openDataWindows(const QMdiSubWindow* goingAway = nullptr) const;
    void tileDataWindows(Qt::Orientation orientation);

    QString openDialogFileName_;
    QString openDialogFileType_;
    QAction* noRecentFiles_ = nullptr;
    DataWindowKeys* dataWindowKeys_ = nullptr;
    RowHistory* rowHistory_ = nullptr;
    QList<QAction*> windowListActions_;
};

extern MainWindow* MainForm;
