#include "data/service/RowReader.h"

#include "data/service/Progress.h"

#include <algorithm>

namespace vdata {

void RowReader::start(std::unique_ptr<RowStream> stream, Snapshot& rows) {
    stream_ = std::move(stream);
    rows_ = &rows;
    stopped_ = false;
    if (stream_) {
        rows.makeRoom(rows.rowCount() + stream_->rowsExpected());
    }
}

bool RowReader::readMore(std::size_t maxRows) {
    if (!stream_) {
        return false;
    }
    try {
        if (!stream_->readMore(*rows_, std::max<std::size_t>(maxRows, 1))) {
            finish();
        }
    } catch (...) {
        stop();
        throw;
    }
    return stream_ != nullptr;
}

bool RowReader::wanted() const {
    return progressContinues(rows_ ? rows_->rowCount() : 0);
}

void RowReader::finish() {
    stream_.reset();
    rows_->shrinkToFit();
}

void RowReader::stop() {
    if (stream_) {
        stream_.reset();
        stopped_ = true;
    }
}

void RowReader::reset() {
    stream_.reset();
    rows_ = nullptr;
    stopped_ = false;
}

} // namespace vdata
