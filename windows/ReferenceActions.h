#pragma once

#include "data/service/ForeignKey.h"
#include "data/service/Value.h"

#include <QObject>
#include <QString>

#include <optional>
#include <string>
#include <vector>

class DataSetPanel;
class DataWindow;
class DataWindowHost;
class QAction;
class QMdiArea;
class QMenu;

namespace vdata {
class Connection;
} // namespace vdata

// What a grid offers for the foreign keys its table declares: on a cell of a
// key column, "Go to the referenced row" (Ctrl+Return) opens the referenced
// table's view, or brings an open one forward, on the referenced row; "Show
// rows that refer to this row" opens a master-detail window of this table's
// row and the rows of a table that refers to it.
class ReferenceActions : public QObject {
    Q_OBJECT
public:
    ReferenceActions(DataSetPanel& panel, vdata::Connection& connection, DataWindowHost* host);

    QAction* goAction() const { return go_; }
    void goToReferencedRow();
    // `key` is a key of another table that refers to this panel's table.
    void showReferringRows(const vdata::ForeignKey& key);

private:
    void addMenuItems(QMenu* menu);
    std::string table() const;
    std::optional<vdata::ForeignKey> currentKey() const;
    static constexpr int notFound = -1;
    static constexpr int notRead = -2;
    int referencedRow(DataWindow& target, const vdata::ForeignKey& key,
                      const std::vector<vdata::Value>& values);
    static QString emptyKeyText(const vdata::ForeignKey& key,
                                const std::vector<vdata::Value>& values);
    bool tableExists(const std::string& table) const;
    void say(const QString& text) const;
    DataWindow* tableView(const QString& table) const;
    QMdiArea* area() const;

    DataSetPanel& panel_;
    vdata::Connection& connection_;
    DataWindowHost* host_;
    QAction* go_;
};
