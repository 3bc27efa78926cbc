#include "data/service/RowSet.h"

#include "data/service/RowOrder.h"

#include <algorithm>

namespace vdata {

void RowSet::take(Snapshot rows) {
    rows_ = std::make_unique<Snapshot>(std::move(rows));
    showAll();
}

void RowSet::drop() {
    rows_.reset();
    order_.clear();
    filtered_.clear();
}

void RowSet::showAll() {
    order_.reset(rows_ ? rows_->rowCount() : 0);
    filtered_.clear();
}

void RowSet::showAppended(std::size_t before) {
    order_.append(static_cast<std::uint32_t>(before), rows_->rowCount() - before);
}

// The rows shown (not those deleted since the read) are sorted from their
// storage order, so ties keep it. The new order replaces the old one only
// once it is complete.
void RowSet::sort(const SortColumn* column) {
    if (!column) {
        order_.sortByStorage();
    } else {
        std::vector<std::uint32_t> sorted = order_.rowsInStorageOrder();
        sortRows(sorted, *rows_, column->index, column->type, column->descending);
        order_.assign(std::move(sorted));
    }
    filtered_.reordered();
}

void RowSet::filter(const RowFilter& filter, const SortColumn* sortedBy) {
    order_.assign(filtered_.apply(unfiltered(sortedBy), *rows_, filter));
}

void RowSet::clearFilter(const SortColumn* sortedBy) {
    std::vector<std::uint32_t> all = unfiltered(sortedBy);
    filtered_.clear();
    order_.assign(std::move(all));
}

// Every row read and not deleted, in the order shown before the filter, or
// in the sort order chosen since.
std::vector<std::uint32_t> RowSet::unfiltered(const SortColumn* sortedBy) const {
    if (!filtered_.active()) {
        return order_.rows();
    }
    std::vector<std::uint32_t> all = filtered_.allRows(order_, rows_->rowCount());
    if (filtered_.wasReordered()) {
        std::sort(all.begin(), all.end());
        if (sortedBy) {
            sortRows(all, *rows_, sortedBy->index, sortedBy->type, sortedBy->descending);
        }
    }
    return all;
}

} // namespace vdata
