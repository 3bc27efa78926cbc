#pragma once

#include "data/providers/PostgresCopyReader.h"
#include "data/providers/PostgresCopyText.h"
#include "data/providers/PostgresSession.h"
#include "data/providers/PostgresValues.h"
#include "data/service/ConnectionString.h"
#include "data/service/Engine.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace vdata {

// Reads the rows of a table on a session of its own through the COPY form
// of one statement, so that writes on the engine's session never wait for
// the read. The statement runs under one snapshot: rows saved or added
// after it started are not read again. Sorts are turned off on that
// session, so the server reads the table through its primary key's index
// and the first rows come at once. A step turns the lines that have
// arrived into rows. Destroying the stream cancels the statement on the
// server and closes the session.
class PostgresTableStream : public RowStream {
public:
    // Starts `copy` (a COPY ... TO STDOUT) on a new session; null when no
    // session can be made or the server refuses the statement before
    // sending a row, so that the caller reads the rows the usual way.
    static std::unique_ptr<PostgresTableStream>
    open(const ConnectionString& cs, const std::string& copy, std::vector<PgStorage> storage);

    bool readMore(Snapshot& rows, std::size_t maxRows) override;
    std::size_t rowsExpected() const override { return expected_; }
    void expectRows(std::size_t rows) { expected_ = rows; }
    // Waits until `count` rows are read or none remain; raises DataError
    // (Cancelled) when the progress callback asks to stop.
    bool readFirst(Snapshot& rows, std::size_t count);

private:
    PostgresTableStream(const ConnectionString& cs, std::vector<PgStorage> storage);
    bool start(const std::string& copy);
    bool take(Snapshot& rows, std::size_t maxRows, std::chrono::milliseconds wait);

    PostgresSession session_;
    std::unique_ptr<PostgresCopyReader> reader_; // ends before the session closes
    std::vector<PgStorage> storage_;
    std::string lines_; // taken from the reader, not yet turned into rows
    std::size_t next_ = 0;
    CopyLineScratch scratch_;
    std::size_t expected_ = 0;
};

} // namespace vdata
