#pragma once

#include "data/service/DisplayRows.h"
#include "data/service/RowFilter.h"
#include "data/service/Snapshot.h"

#include <cstdint>
#include <vector>

namespace vdata {

// What a filter hid, so that clearing it shows every row again in the order
// the rows had before: rows added while it was on take their place among
// them, rows deleted stay away.
class FilteredOrder {
public:
    bool active() const { return active_; }

    // Of `all` (rows in display order) those `filter` matches, in that
    // order; `all` is remembered. A cancelled run (progress) raises and
    // remembers nothing.
    std::vector<std::uint32_t> apply(std::vector<std::uint32_t> all, const Snapshot& rows,
                                     const RowFilter& filter);
    // Every row as it was before the filter, `shown` being the rows shown
    // now. Once the rows shown were put in a new order (`reordered`), the
    // hidden ones simply follow them and the caller sorts the whole.
    std::vector<std::uint32_t> allRows(const DisplayRows& shown, std::size_t rowCount) const;
    void reordered() { reordered_ = active_; }
    bool wasReordered() const { return reordered_; }
    void clear();

private:
    std::vector<std::uint32_t> before_;
    std::vector<bool> hidden_; // by storage row
    bool active_ = false;
    bool reordered_ = false;
};

} // namespace vdata
