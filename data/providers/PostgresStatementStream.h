#pragma once

#include "data/providers/PostgresSession.h"
#include "data/providers/PostgresValues.h"
#include "data/service/ConnectionString.h"
#include "data/service/Engine.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace vdata {

// Appends a row of a single-row result; one whose columns are not the
// ones described (the table changed between the description and the
// statement) raises, appending nothing.
void appendPgRow(const PGresult* row, const std::vector<PgStorage>& storage, Snapshot& rows);

// Reads the rows of one statement with bound parameters on a session of its
// own, in single-row mode: the server sends rows as the client takes them,
// under one snapshot, so the first rows come at once and writes on the
// engine's session neither wait for the read nor change what it reads. A
// step turns the rows that have arrived into rows of the result. Destroying
// the stream cancels the statement on the server and closes the session.
class PostgresStatementStream : public RowStream {
public:
    // Sends the statement on a new session; null when no session can be
    // made or the statement cannot be sent.
    static std::unique_ptr<PostgresStatementStream> open(const ConnectionString& cs,
                                                         const std::string& sql,
                                                         const std::vector<Value>& params,
                                                         std::vector<PgStorage> storage);
    ~PostgresStatementStream() override;
    PostgresStatementStream(const PostgresStatementStream&) = delete;
    PostgresStatementStream& operator=(const PostgresStatementStream&) = delete;

    bool readMore(Snapshot& rows, std::size_t maxRows) override;
    // Waits until `count` rows are read or none remain; raises DataError
    // (Cancelled) when the progress callback asks to stop.
    bool readFirst(Snapshot& rows, std::size_t count);

private:
    PostgresStatementStream(const ConnectionString& cs, std::vector<PgStorage> storage);
    bool take(Snapshot& rows, std::size_t maxRows, std::chrono::milliseconds wait);
    bool arrived(std::chrono::milliseconds wait);
    void append(const PGresult* row, Snapshot& rows);
    [[noreturn]] void fail(const PGresult* result);

    PostgresSession session_;
    PGconn* conn_ = nullptr;
    std::vector<PgStorage> storage_;
    std::size_t read_ = 0;
    bool running_ = false;
};

} // namespace vdata
