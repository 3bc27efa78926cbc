#include "data/providers/OdbcResult.h"

#include "data/providers/TypeMap.h"
#include "data/service/Progress.h"

#include <algorithm>
#include <chrono>
#include <future>

namespace vdata {

namespace {

// A block holds about this many bytes of cells, and at most maxBlockRows rows.
constexpr SQLLEN blockBytes = 256 * 1024;
constexpr SQLULEN maxBlockRows = 1024;

std::string textAttribute(const OdbcHandle& stmt, SQLUSMALLINT column, SQLUSMALLINT field) {
    SQLWCHAR text[512] = {};
    SQLSMALLINT length = 0;
    if (!succeeded(
            SQLColAttributeW(stmt.get(), column, field, text, sizeof text, &length, nullptr))) {
        return {};
    }
    return fromUtf16(text, std::min<std::size_t>(static_cast<std::size_t>(length) / 2, 511));
}

SQLLEN numberAttribute(const OdbcHandle& stmt, SQLUSMALLINT column, SQLUSMALLINT field) {
    SQLLEN value = 0;
    if (!succeeded(SQLColAttributeW(stmt.get(), column, field, nullptr, 0, nullptr, &value))) {
        return 0;
    }
    return value;
}

bool isLongType(SQLSMALLINT sqlType) {
    return sqlType == SQL_LONGVARCHAR || sqlType == SQL_WLONGVARCHAR ||
           sqlType == SQL_LONGVARBINARY;
}

void cancelled(const OdbcHandle& stmt) {
    SQLCancel(stmt.get());
    throwCancelled();
}

// Column-wise bound buffers for blocks of rows.
class BlockReader {
public:
    BlockReader(const OdbcHandle& stmt, const std::vector<OdbcColumnPlan>& plans)
        : stmt_(stmt), plans_(plans) {
        SQLLEN rowBytes = 0;
        for (const OdbcColumnPlan& p : plans) {
            rowBytes += p.width;
        }
        size_ = std::clamp<SQLULEN>(
            static_cast<SQLULEN>(blockBytes / std::max<SQLLEN>(rowBytes, 1)), 1, maxBlockRows);
        buffers_.resize(plans.size());
        indicators_.resize(plans.size());
        stmt.check(SQLSetStmtAttr(stmt.get(), SQL_ATTR_ROW_BIND_TYPE,
                                  reinterpret_cast<SQLPOINTER>(SQL_BIND_BY_COLUMN), 0));
        stmt.check(SQLSetStmtAttr(stmt.get(), SQL_ATTR_ROW_ARRAY_SIZE,
                                  reinterpret_cast<SQLPOINTER>(size_), 0));
        stmt.check(SQLSetStmtAttr(stmt.get(), SQL_ATTR_ROWS_FETCHED_PTR, &fetched_, 0));
        for (std::size_t c = 0; c < plans.size(); ++c) {
            buffers_[c].resize(static_cast<std::size_t>(plans[c].width) * size_);
            indicators_[c].resize(size_);
            stmt.check(SQLBindCol(stmt.get(), static_cast<SQLUSMALLINT>(c + 1),
                                  odbcCType(plans[c].storage), buffers_[c].data(), plans[c].width,
                                  indicators_[c].data()));
        }
    }
    ~BlockReader() {
        SQLFreeStmt(stmt_.get(), SQL_UNBIND);
        SQLSetStmtAttr(stmt_.get(), SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0);
    }
    BlockReader(const BlockReader&) = delete;
    BlockReader& operator=(const BlockReader&) = delete;

    void readAll(Snapshot& rows) {
        std::size_t done = 0;
        while (true) {
            fetched_ = 0;
            const SQLRETURN rc = SQLFetch(stmt_.get());
            if (rc == SQL_NO_DATA) {
                return;
            }
            stmt_.check(rc);
            for (SQLULEN r = 0; r < fetched_; ++r) {
                appendRow(rows, r);
            }
            const std::size_t before = done;
            done += fetched_;
            if (done / progressStep != before / progressStep && !progressContinues(done)) {
                cancelled(stmt_);
            }
        }
    }

private:
    void appendRow(Snapshot& rows, SQLULEN r) {
        for (std::size_t c = 0; c < plans_.size(); ++c) {
            const OdbcColumnPlan& p = plans_[c];
            const SQLLEN length = indicators_[c][r];
            const SQLLEN terminator = p.storage == OdbcStorage::Text     ? sizeof(SQLWCHAR)
                                      : p.storage == OdbcStorage::Digits ? 1
                                                                         : 0;
            if (isVariableLength(p.storage) &&
                (length == SQL_NO_TOTAL || length > p.width - terminator)) {
                throw DataError("A value of column " + std::to_string(c + 1) +
                                " is longer than the driver's description of the column allows; "
                                "it was not read.");
            }
            appendOdbcCell(rows, p.storage,
                           buffers_[c].data() + static_cast<std::size_t>(p.width) * r, length);
        }
    }

    const OdbcHandle& stmt_;
    const std::vector<OdbcColumnPlan>& plans_;
    SQLULEN size_ = 1;
    SQLULEN fetched_ = 0;
    std::vector<std::vector<char>> buffers_;
    std::vector<std::vector<SQLLEN>> indicators_;
};

void readRowByRow(const OdbcHandle& stmt, const std::vector<OdbcColumnPlan>& plans,
                  Snapshot& rows) {
    std::size_t done = 0;
    while (true) {
        const SQLRETURN rc = SQLFetch(stmt.get());
        if (rc == SQL_NO_DATA) {
            return;
        }
        stmt.check(rc);
        for (std::size_t c = 0; c < plans.size(); ++c) {
            appendOdbcData(rows, plans[c].storage, stmt.get(), static_cast<SQLUSMALLINT>(c + 1));
        }
        if (++done % progressStep == 0 && !progressContinues(done)) {
            cancelled(stmt);
        }
    }
}

} // namespace

SQLRETURN executeOdbc(const OdbcHandle& stmt, const std::function<SQLRETURN()>& call) {
    std::future<SQLRETURN> running = std::async(std::launch::async, call);
    bool stopped = false;
    while (running.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
        if (!stopped && !progressContinues(0)) {
            stopped = true;
            SQLCancel(stmt.get());
        }
    }
    const SQLRETURN rc = running.get();
    if (stopped) {
        throwCancelled();
    }
    return rc;
}

std::vector<ColumnInfo> describeOdbcColumns(const OdbcHandle& stmt, bool trustSizes,
                                            std::vector<OdbcColumnPlan>& plans) {
    SQLSMALLINT count = 0;
    stmt.check(SQLNumResultCols(stmt.get(), &count));
    std::vector<ColumnInfo> columns(static_cast<std::size_t>(count));
    plans.assign(columns.size(), {});
    for (SQLUSMALLINT i = 1; i <= static_cast<SQLUSMALLINT>(count); ++i) {
        SQLWCHAR name[512] = {};
        SQLSMALLINT nameLength = 0;
        SQLSMALLINT sqlType = 0;
        SQLULEN size = 0;
        SQLSMALLINT digits = 0;
        SQLSMALLINT nullable = 0;
        stmt.check(SQLDescribeColW(stmt.get(), i, name, 512, &nameLength, &sqlType, &size, &digits,
                                   &nullable));
        ColumnInfo& c = columns[i - 1u];
        c.name = fromUtf16(name, std::min<std::size_t>(static_cast<std::size_t>(nameLength), 511));
        c.type = odbcFieldType(sqlType, numberAttribute(stmt, i, SQL_DESC_UNSIGNED) == SQL_TRUE,
                               numberAttribute(stmt, i, SQL_DESC_AUTO_UNIQUE_VALUE) == SQL_TRUE);
        c.table = textAttribute(stmt, i, SQL_DESC_BASE_TABLE_NAME);
        c.column =
            c.table.empty() ? std::string() : textAttribute(stmt, i, SQL_DESC_BASE_COLUMN_NAME);
        OdbcColumnPlan& plan = plans[i - 1u];
        plan.storage = odbcStorage(c.type);
        const bool unbounded =
            isLongType(sqlType) || (!trustSizes && isVariableLength(plan.storage));
        plan.width = unbounded ? 0 : odbcCellWidth(plan.storage, size);
    }
    return columns;
}

void fetchOdbcRows(const OdbcHandle& stmt, const std::vector<OdbcColumnPlan>& plans,
                   Snapshot& rows) {
    // Every row fetched has the described columns; a snapshot of others
    // would take its cells shifted.
    if (plans.size() != rows.columnCount()) {
        throw DataError(tableChangedWhileRead);
    }
    const bool blocks = std::all_of(plans.begin(), plans.end(),
                                    [](const OdbcColumnPlan& p) { return p.width > 0; });
    if (blocks && !plans.empty()) {
        BlockReader(stmt, plans).readAll(rows);
    } else {
        readRowByRow(stmt, plans, rows);
    }
}

} // namespace vdata
