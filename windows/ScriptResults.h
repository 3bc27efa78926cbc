#pragma once

#include "data/service/DataSource.h"
#include "data/service/Query.h"

#include <QTabWidget>

#include <functional>
#include <memory>
#include <vector>

class DataSetPanel;
class ScriptMessages;

// The freehand window's results: the master panel alone, as a single
// statement leaves it (no tab bar), or a script's results, a tab for each
// statement that returned rows (the master the first) and a "Messages" tab.
class ScriptResults : public QTabWidget {
    Q_OBJECT
public:
    // `equip` gives a new result panel what the window's panels have.
    using Equip = std::function<void(DataSetPanel&)>;
    ScriptResults(DataSetPanel* master, vdata::Connection& connection, Equip equip,
                  QWidget* parent = nullptr);
    ~ScriptResults() override;

    // Back to the master alone; its query is closed.
    void reset();
    // The panel for a script's next result, in a tab named `title`.
    DataSetPanel& nextResult(const QString& title);
    // Takes back the result nextResult() gave last, for a statement that
    // failed: its tab goes (the first result's panel stays, closed).
    void dropLastResult();
    // The Messages tab, added on first use.
    ScriptMessages& messages();
    // Saves a change pending in a result after the master; false when the
    // database refused one (see DataSetPanel::savePendingEdit).
    bool savePendingEdits();
    // The result panels, the master first.
    QList<DataSetPanel*> results() const;

    // A tab's name: the statement's first words, cut with "…".
    static QString titleOf(const QString& statement);

private:
    struct Result {
        std::unique_ptr<vdata::Query> query;
        std::unique_ptr<vdata::DataSource> source;
        DataSetPanel* panel = nullptr;
    };

    DataSetPanel* master_;
    vdata::Connection& connection_;
    Equip equip_;
    bool masterUsed_ = false;
    std::vector<Result> extra_;
    ScriptMessages* messages_ = nullptr;
};
