#pragma once

#include "data/service/ForeignKey.h"

#include <QObject>

#include <set>
#include <vector>

class DataSetPanel;
class QLineEdit;
class QModelIndex;
class QWidget;

namespace vdata {
class Connection;
class Query;
struct DataEvent;
} // namespace vdata

// Editing a grid's foreign-key cells: a cell of a one-column key opens a
// LookupEditor; a post with a changed key that names no row of the
// referenced table is refused before anything is written, with a message
// that names that table.
class KeyLookup : public QObject {
    Q_OBJECT
public:
    KeyLookup(DataSetPanel& panel, vdata::Connection& connection);
    ~KeyLookup() override;

private:
    QLineEdit* editorFor(QWidget* parent, const QModelIndex& index);
    void follow(const vdata::DataEvent& event);
    void checkKeys();
    std::vector<vdata::ForeignKey> keys() const;

    vdata::Connection& connection_;
    vdata::Query* query_;
    int subscription_;
    std::set<int> changed_; // fields given a value since the record was read
};
