#include "data/service/DisplayRows.h"

#include <algorithm>
#include <numeric>

namespace vdata {

void DisplayRows::reset(std::size_t count) {
    map_.clear();
    map_.shrink_to_fit();
    count_ = count;
    identity_ = true;
}

void DisplayRows::writeOut() {
    if (identity_) {
        map_ = rows();
        identity_ = false;
    }
}

// A row appended to the snapshot and shown last keeps the identity.
void DisplayRows::insert(std::size_t display, std::uint32_t row) {
    if (!(identity_ && display == count_ && row == count_)) {
        writeOut();
        map_.insert(map_.begin() + static_cast<std::ptrdiff_t>(display), row);
    }
    ++count_;
}

void DisplayRows::append(std::uint32_t first, std::size_t count) {
    if (identity_ && first == count_) {
        count_ += count;
        return;
    }
    writeOut();
    for (std::size_t i = 0; i < count; ++i) {
        map_.push_back(first + static_cast<std::uint32_t>(i));
    }
    count_ += count;
}

void DisplayRows::erase(std::size_t display) {
    writeOut();
    map_.erase(map_.begin() + static_cast<std::ptrdiff_t>(display));
    --count_;
}

std::vector<std::uint32_t> DisplayRows::rows() const {
    if (!identity_) {
        return map_;
    }
    std::vector<std::uint32_t> all(count_);
    std::iota(all.begin(), all.end(), 0u);
    return all;
}

std::vector<std::uint32_t> DisplayRows::rowsInStorageOrder() const {
    std::vector<std::uint32_t> sorted = rows();
    if (!identity_) {
        std::sort(sorted.begin(), sorted.end());
    }
    return sorted;
}

void DisplayRows::assign(std::vector<std::uint32_t> rows) {
    std::uint32_t next = 0;
    if (std::all_of(rows.begin(), rows.end(), [&next](std::uint32_t r) { return r == next++; })) {
        reset(rows.size()); // back in storage order, with nothing left out
        return;
    }
    map_ = std::move(rows);
    count_ = map_.size();
    identity_ = false;
}

void DisplayRows::sortByStorage() {
    if (!identity_) {
        std::sort(map_.begin(), map_.end());
    }
}

} // namespace vdata
