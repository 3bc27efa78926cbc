#pragma once

#include "data/service/Value.h"

#include <QAbstractListModel>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vdata {
class Connection;
struct ForeignKey;
} // namespace vdata

// The rows of a referenced table as a lookup list shows them, "2 — Accept"
// (the key and the table's first text column), in the order of the key. A
// search keeps the rows whose text holds the term or whose key is the term
// (begins with it, for a text key). Rows are read a page at a time as the
// list scrolls, so a table of any size opens at once.
class LookupRows : public QAbstractListModel {
    Q_OBJECT
public:
    // Where the rows come from.
    struct Source {
        std::string table;
        std::string key;
        std::string text; // empty: the key alone
        bool numericKey = false;
    };
    // The source of a one-column key; the referenced table is read for its
    // first text column (raises DataError when it cannot be read).
    static Source sourceOf(vdata::Connection& connection, const vdata::ForeignKey& key,
                           bool numericKey);

    LookupRows(vdata::Connection& connection, Source source, QObject* parent = nullptr);

    // The rows matching `term` (all of them when empty), from the first.
    void search(const QString& term);
    QString keyAt(int row) const { return rows_.at(static_cast<std::size_t>(row)).first; }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

    static constexpr int pageRows = 100;

private:
    void readPage();
    std::string pageSql(std::vector<std::pair<std::string, vdata::Value>>& params) const;

    vdata::Connection& connection_;
    const Source source_;
    QString term_;
    std::vector<std::pair<QString, QString>> rows_; // key, shown text
    std::optional<vdata::Value> lastKey_;
    bool done_ = false;
};
