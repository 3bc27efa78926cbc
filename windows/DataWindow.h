#pragma once

#include "data/service/Command.h"
#include "data/service/DataSource.h"
#include "data/service/Query.h"
#include "ui_FreehandQuery.h"

#include <QWidget>

#include <memory>

class DataSetPanel;
class DataWindowHost;
class ErrorPointer;
class HistoryPanel;
class KeptText;
class SqlFile;
struct HistoryEntry;
class QMenu;
class QSplitter;
class RelationSetup;
class ScriptResults;
class ScriptRunner;
namespace tk {
class EditorMarks;
}

// A data window: a view of one table, the freehand query (the SQL box above
// the grid) or the master-detail window (the relation set-up at the top,
// then the master and the detail panel, in a splitter the user can drag).
class DataWindow : public QWidget {
    Q_OBJECT
public:
    enum class Use { Table, Freehand, MasterDetail };

    // Builds the window for `use` and runs the initialisation. Every query
    // and command of the window uses `connection`. With a host the window
    // becomes one of the host's windows and shows its state in the host's
    // banner.
    DataWindow(vdata::Connection& connection, Use use, DataWindowHost* host = nullptr);
    ~DataWindow() override;

    // Opens the window's work (`table` names the table of a table view),
    // activates it and gives the keyboard to where its work starts. A table
    // that fails to open leaves the window with its caption, and the error
    // goes to the caller.
    void setUp(const QString& table = QString());
    // Initialisation; may run any number of times with the same result.
    void initialise();
    // The window became the active one: the host shows its Close button.
    void activate();

    Use use() const { return use_; }
    QString title() const { return title_; }
    // The table a table view shows; empty in the other windows.
    QString table() const { return table_; }
    vdata::Query& query() { return query_; }
    // The detail's query of a master-detail window; null in the others.
    vdata::Query* childQuery();
    DataSetPanel& master() const { return *master_; }
    DataSetPanel* detail() const { return detail_; }
    RelationSetup* setup() const { return setup_; }
    // The master-detail window's splitter (set-up, master, detail), or the
    // freehand window's (the SQL text above the results); null in a table view.
    QSplitter* splitter() const { return splitter_; }
    // The freehand query's SQL box, its Refresh button and the frame that
    // holds them; null in the other windows.
    QFrame* sqlArea() const { return sqlArea_; }
    tk::SqlEditor* sqlBox() const { return sqlArea_ ? sql_.SQLQuery : nullptr; }
    QToolButton* runButton() const { return sqlArea_ ? sql_.RefreshButton : nullptr; }
    // The freehand window's "Run all" button, safe-mode box and results
    // (the master alone, or a script's result tabs); null in the others.
    QToolButton* runAllButton() const { return sqlArea_ ? sql_.RunAllButton : nullptr; }
    QCheckBox* safeModeBox() const { return sqlArea_ ? sql_.SafeModeBox : nullptr; }
    ScriptResults* results() const { return results_; }

    // The freehand window's statements run, its kept text and its .sql file;
    // null in the other windows.
    HistoryPanel* historyPanel() const { return history_; }
    KeptText* keptText() const { return keptText_; }
    SqlFile* sqlFile() const { return sqlFile_; }
    // Shows the .sql file in the freehand window's editor; false (after a
    // message) when it could not be read.
    bool openSqlFile(const QString& fileName);
    // Every statement run from the freehand window goes to the history here.
    void recordRun(const HistoryEntry& entry);

    // A table view listed in the order of `column` alone shows only its
    // rows from `key` on, without reading the rows before them; the title
    // says so, and "Show all rows" in the grid's menu lists every row
    // again. False, with nothing changed, in any other window or order and
    // when a pending edit is not saved.
    bool showRowsFrom(const std::string& column, const vdata::Value& key);
    void showAllRows();

    // The first word of a line, lower-cased (see the .cpp for the rule).
    static QString firstWord(const QString& line);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QList<DataSetPanel*> panels() const;
    void buildFreehand();
    void buildFreehandMemory();
    void toggleHistory();
    void showFileInTitle();
    void attachCompletion();
    void buildMasterDetail();
    void attachToHost();
    void addFindKeys();
    DataSetPanel* focusedPanel() const;
    void setTitle(const QString& title);
    void focusFirstInput();
    bool savePendingEdits();
    void closeQueries();
    void buildScripts();
    void equipPanel(DataSetPanel& panel);
    void runWholeText();
    void runSql(const QString& sql, std::size_t start = 0);
    QString errorText(const std::exception& e) const;
    QString statementToRun(std::size_t& start) const;
    void runSelect(const QString& text, HistoryEntry& entry);
    void runStatement(const QString& text, HistoryEntry& entry);
    void showMasterDetail();
    void fillSearchColumns();
    vdata::TableRead tableRead(const std::string& table) const;
    void readTableView(vdata::TableRead read, const QString& note);
    void addShowAllRows(QMenu* menu);

    vdata::Connection& connection_;
    DataWindowHost* const host_;
    const Use use_;
    QString title_;
    QString table_;
    bool startsAtKey_ = false; // a table view shows its rows from a key on
    vdata::Query query_;
    vdata::DataSource source_{&query_};
    vdata::Query detailQuery_; // the detail of query_ through source_
    vdata::DataSource detailSource_{&detailQuery_};
    vdata::Command command_;
    DataSetPanel* master_ = nullptr;
    DataSetPanel* detail_ = nullptr;
    RelationSetup* setup_ = nullptr;
    QSplitter* splitter_ = nullptr;
    QFrame* sqlArea_ = nullptr;
    HistoryPanel* history_ = nullptr;
    KeptText* keptText_ = nullptr;
    SqlFile* sqlFile_ = nullptr;
    Ui::FreehandQuery sql_{};
    ScriptResults* results_ = nullptr;
    tk::EditorMarks* marks_ = nullptr;
    std::unique_ptr<ErrorPointer> pointer_;
    std::unique_ptr<ScriptRunner> script_;
};
