#pragma once

#include "data/service/DisplayRows.h"
#include "data/service/FieldType.h"
#include "data/service/FilteredOrder.h"
#include "data/service/Snapshot.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vdata {

// The column a sort orders by: its index and type in the result.
struct SortColumn {
    std::size_t index = 0;
    FieldType type = FieldType::Unknown;
    bool descending = false;
};

// The rows a query holds and the order it shows them in: the snapshot read
// from the database, the display order (sorted, filtered, with rows posted
// and deleted since the read) and what a filter hid.
class RowSet {
public:
    // New rows, every one shown in storage order.
    void take(Snapshot rows);
    void drop();
    bool held() const { return rows_ != nullptr; }

    Snapshot& rows() { return *rows_; }
    const Snapshot& rows() const { return *rows_; }
    DisplayRows& order() { return order_; }
    const DisplayRows& order() const { return order_; }
    std::size_t size() const { return order_.size(); }
    std::uint32_t storageRow(std::size_t display) const { return order_[display]; }

    // Every row shown again in storage order, no filter on.
    void showAll();
    // Shows the snapshot rows from `before` on after the others.
    void showAppended(std::size_t before);

    // The rows shown, sorted by `column` (ties keep storage order), or in
    // storage order without one. A cancelled sort keeps the order shown.
    void sort(const SortColumn* column);
    // Of every row (see unfiltered), those that `filter` matches.
    void filter(const RowFilter& filter, const SortColumn* sortedBy);
    // Every row the filter hid shown again, in the order they would have
    // without it.
    void clearFilter(const SortColumn* sortedBy);
    bool filtered() const { return filtered_.active(); }

private:
    std::vector<std::uint32_t> unfiltered(const SortColumn* sortedBy) const;

    std::unique_ptr<Snapshot> rows_;
    DisplayRows order_;
    FilteredOrder filtered_;
};

} // namespace vdata
