#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace vdata {

// Texts and blobs of a snapshot, each prefixed with its length as a varint,
// in 1 MiB blocks (a larger value gets a block of its own). Bytes are only
// added; a reference names block and offset.
class ByteArena {
public:
    std::int64_t store(std::string_view bytes);
    std::string_view bytes(std::int64_t ref) const;
    std::size_t memoryUsed() const;

private:
    std::vector<std::unique_ptr<char[]>> blocks_;
    std::vector<std::size_t> blockSizes_;
    std::size_t used_ = 0;  // bytes used in the last block
    std::size_t limit_ = 0; // capacity of the last block
};

} // namespace vdata
