#pragma once

#include "data/service/Errors.h"

#include <sql.h>
#include <sqlext.h>

#include <string>
#include <string_view>

namespace vdata {

// One ODBC handle (environment, connection or statement), freed with its
// owner. Moving hands it over.
class OdbcHandle {
public:
    OdbcHandle() = default;
    // Allocates a handle of `type` under `parent`; raises DataError when the
    // driver manager cannot.
    OdbcHandle(SQLSMALLINT type, SQLHANDLE parent);
    ~OdbcHandle();
    OdbcHandle(OdbcHandle&& other) noexcept;
    OdbcHandle& operator=(OdbcHandle&& other) noexcept;
    OdbcHandle(const OdbcHandle&) = delete;
    OdbcHandle& operator=(const OdbcHandle&) = delete;

    SQLHANDLE get() const { return handle_; }
    SQLSMALLINT type() const { return type_; }
    void reset() noexcept;

    // Raises the handle's diagnostics as DataError unless `rc` succeeded.
    void check(SQLRETURN rc) const;

private:
    SQLSMALLINT type_ = 0;
    SQLHANDLE handle_ = SQL_NULL_HANDLE;
};

bool succeeded(SQLRETURN rc);

// The driver's diagnostics for the last call on a handle as DataError: the
// messages, the first SQLSTATE as native code, and a kind by its class
// (08 connection, HY008 cancelled, the rest the statement's).
DataError odbcError(SQLSMALLINT type, SQLHANDLE handle);

// Text as ODBC's 16-bit wide characters (UTF-16 under unixODBC) and back.
std::u16string toUtf16(std::string_view utf8);
std::string fromUtf16(const SQLWCHAR* text, std::size_t units);

// A text argument for a wide call.
inline SQLWCHAR* wide(std::u16string& text) {
    return reinterpret_cast<SQLWCHAR*>(text.data());
}

} // namespace vdata
