#pragma once

#include "data/service/Query.h"
#include "ui_RelationSetup.h"

#include <QWidget>

#include <string>
#include <utility>
#include <vector>

namespace vdata {
class Connection;
} // namespace vdata

// The master-detail set-up: a master and a child table, the fields of each,
// and the pairs of master and child fields that link them, filled from a key
// the database declares between the two tables where there is one.
class RelationSetup : public QWidget, public Ui::RelationSetup {
    Q_OBJECT
public:
    using Pairs = std::vector<std::pair<std::string, std::string>>;

    explicit RelationSetup(vdata::Connection& connection, QWidget* parent = nullptr);

    // Both lists get every table and view; a failed listing leaves them as
    // they were and goes to the caller.
    void fillTableLists();
    Pairs pairs() const;
    bool hasPairs() const;
    // Chooses the two tables as the user does, then pairs them by `pairs`.
    void relate(const QString& master, const QString& child, const Pairs& pairs);

    // The text of the child query for a child table and the relation pairs,
    // and the master field of each parameter whose name differs from it.
    struct ChildQuery {
        std::string text;
        vdata::Query::ParameterFields parameterFields;
    };
    static ChildQuery childQueryText(const std::string& childTable, const Pairs& pairs);

signals:
    // Refresh was pressed: show the master and the child with these pairs.
    void showRequested();

private:
    bool listFields(const QComboBox* tables, QListWidget* fields);
    void chooseTable(const QComboBox* tables, QListWidget* fields, int column);
    void dropPairsNotIn(const QListWidget* fields, int column);
    void pairByDeclaredKey();
    std::vector<Pairs> declaredPairs(const std::string& master, const std::string& child,
                                     std::vector<std::string>& described);
    void addPair();
    void removePair();
    void fitPairList();

    vdata::Connection& connection_;
};
