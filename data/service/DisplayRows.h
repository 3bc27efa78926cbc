#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vdata {

// Which snapshot row each display row shows. Until the rows are sorted, a
// row is removed or one is inserted other than at the end, that is every
// snapshot row in storage order, and the map takes no memory.
class DisplayRows {
public:
    void reset(std::size_t count); // every row, in storage order
    void clear() { reset(0); }

    std::size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    bool inStorageOrder() const { return identity_; }
    std::uint32_t operator[](std::size_t display) const {
        return identity_ ? static_cast<std::uint32_t>(display) : map_[display];
    }

    void insert(std::size_t display, std::uint32_t row);
    void erase(std::size_t display);
    // Shows snapshot rows first .. first + count - 1 after the others.
    void append(std::uint32_t first, std::size_t count);
    std::vector<std::uint32_t> rows() const; // the map, written out
    std::vector<std::uint32_t> rowsInStorageOrder() const;
    void assign(std::vector<std::uint32_t> rows);
    void sortByStorage(); // the rows shown, back in storage order

private:
    void writeOut();

    std::vector<std::uint32_t> map_; // empty while identity_
    std::size_t count_ = 0;
    bool identity_ = true;
};

} // namespace vdata
