#pragma once

#include "data/providers/AccessTableCopier.h"
#include "data/service/Engine.h"

#include <cstdint>
#include <string>

namespace vdata {

// Reads the rows of an Access table while the copier copies it in steps.
// Each step copies the rows the reader has sent meanwhile, then reads back
// from the copy those after the last one read, in rowid order: the order a
// view of the copied table shows them in. So each row is read once, as that
// view would read it, whoever made the copy go on in between.
class AccessTableStream : public RowStream {
public:
    // Reads `table` through its rowid's name `rowid`, after rowid `read`.
    AccessTableStream(AccessTableCopier& copier, sqlite3* db, std::string table, std::string rowid,
                      std::int64_t read);

    bool readMore(Snapshot& rows, std::size_t maxRows) override;

private:
    AccessTableCopier& copier_;
    sqlite3* db_;
    std::string table_;
    std::string quoted_;
    std::string rowid_;
    std::int64_t read_;
};

} // namespace vdata
