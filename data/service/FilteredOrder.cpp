#include "data/service/FilteredOrder.h"

#include "data/service/Progress.h"

namespace vdata {

std::vector<std::uint32_t> FilteredOrder::apply(std::vector<std::uint32_t> all,
                                                const Snapshot& rows, const RowFilter& filter) {
    std::vector<bool> hidden(rows.rowCount());
    std::vector<std::uint32_t> shown;
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (filter.matches(rows, all[i])) {
            shown.push_back(all[i]);
        } else {
            hidden[all[i]] = true;
        }
        if ((i + 1) % progressStep == 0) {
            checkProgress(i + 1);
        }
    }
    before_ = std::move(all);
    hidden_ = std::move(hidden);
    active_ = true;
    reordered_ = false;
    return shown;
}

// The rows shown now are those shown before, less the deleted ones, in the
// same order, with new rows among them: each row from before is put back
// after the rows shown ahead of it.
std::vector<std::uint32_t> FilteredOrder::allRows(const DisplayRows& shown,
                                                  std::size_t rowCount) const {
    const std::vector<std::uint32_t> now = shown.rows();
    std::vector<std::uint32_t> all;
    all.reserve(before_.size() + now.size());
    if (reordered_) {
        all = now;
        for (std::uint32_t r : before_) {
            if (hidden_[r]) {
                all.push_back(r);
            }
        }
        return all;
    }
    std::vector<bool> isShown(rowCount);
    for (std::uint32_t r : now) {
        isShown[r] = true;
    }
    std::size_t next = 0;
    for (std::uint32_t r : before_) {
        if (hidden_[r]) {
            all.push_back(r);
        } else if (isShown[r]) {
            while (next < now.size()) {
                all.push_back(now[next++]);
                if (all.back() == r) {
                    break;
                }
            }
        }
    }
    all.insert(all.end(), now.begin() + static_cast<std::ptrdiff_t>(next), now.end());
    return all;
}

void FilteredOrder::clear() {
    before_ = {};
    hidden_ = {};
    active_ = false;
    reordered_ = false;
}

} // namespace vdata
