#pragma once

#include "data/providers/accessreader/AccessReaderProtocol.h"

#include <mdbtools.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vdata {

// An Access file opened read-only through MDB Tools: its user tables and
// their rows. Raises DataError when the file or a table cannot be read.
class MdbReader {
public:
    explicit MdbReader(const std::string& path);
    MdbReader(const MdbReader&) = delete;
    MdbReader& operator=(const MdbReader&) = delete;

    // The user tables in catalogue order, without the system tables.
    const std::vector<std::string>& tables() const { return tables_; }

    std::vector<AccessColumn> columns(const std::string& table);
    // Hands each row of `table` to `sink`, one value per column.
    void readRows(const std::string& table, const AccessRowSink& sink);

private:
    struct HandleCloser {
        void operator()(MdbHandle* h) const { mdb_close(h); }
    };
    struct TableCloser {
        void operator()(MdbTableDef* t) const { mdb_free_tabledef(t); }
    };
    using Table = std::unique_ptr<MdbTableDef, TableCloser>;
    Table openTable(const std::string& table);
    void checkAllRowsRead(const std::string& name, const MdbTableDef& table, unsigned rows) const;
    void checkCatalogue();
    void readValue(MdbColumn& col, const char* text, int textLength, Value& value);

    std::string path_;
    std::unique_ptr<MdbHandle, HandleCloser> mdb_;
    std::vector<std::string> tables_;
};

} // namespace vdata
