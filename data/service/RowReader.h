#pragma once

#include "data/service/Engine.h"
#include "data/service/Progress.h"

#include <cstddef>
#include <memory>

namespace vdata {

// Reads the rest of a result into its snapshot in steps: the stream of an
// engine (rows fetched on the window's thread, or taken from a reader
// thread of the engine's, whose failures the stream raises here). A step
// that fails ends the read, keeping the rows read, and raises; nothing is
// left waiting for a reader that failed.
class RowReader {
public:
    // Starts reading `stream` into `rows` (which it must not outlive), with
    // room made for the rows the stream expects.
    void start(std::unique_ptr<RowStream> stream, Snapshot& rows);
    bool reading() const { return stream_ != nullptr; }
    // Whether the last read ended before its last row (stop, a failure);
    // until the next start.
    bool stopped() const { return stopped_; }

    // Appends up to `maxRows` rows and returns whether rows remain.
    bool readMore(std::size_t maxRows);
    // Whether the installed progress lets a long read go on.
    bool wanted() const;
    static constexpr std::size_t rowsPerStep = 65536;
    // Ends the read early.
    void stop();
    // Drops the stream and forgets the rows (the snapshot goes away).
    void reset();

private:
    void finish();

    std::unique_ptr<RowStream> stream_;
    Snapshot* rows_ = nullptr;
    bool stopped_ = false;
};

// Reads the first `count` rows of a stream into `rows` through `take`
// (appends up to n rows, waiting a while for the first of them; false once
// no row remains), asking the installed progress between waits. Returns
// whether rows remain; a cancellation raises.
template <class Take> bool readFirstRows(Snapshot& rows, std::size_t count, Take&& take) {
    const std::size_t before = rows.rowCount();
    while (rows.rowCount() - before < count) {
        if (!take(count - (rows.rowCount() - before))) {
            return false;
        }
        checkProgress(rows.rowCount() - before);
    }
    return true;
}

} // namespace vdata
