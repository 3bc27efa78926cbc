#include "data/providers/OdbcHandle.h"

#include "data/service/ErrorPlace.h"

#include <algorithm>
#include <utility>

namespace vdata {

OdbcHandle::OdbcHandle(SQLSMALLINT type, SQLHANDLE parent) : type_(type) {
    if (!succeeded(SQLAllocHandle(type, parent, &handle_))) {
        handle_ = SQL_NULL_HANDLE;
        if (parent == SQL_NULL_HANDLE) {
            throw DataError("The ODBC driver manager could not be started.", ErrorKind::Connection);
        }
        throw odbcError(type == SQL_HANDLE_STMT ? SQL_HANDLE_DBC : SQL_HANDLE_ENV, parent);
    }
}

OdbcHandle::~OdbcHandle() {
    reset();
}

OdbcHandle::OdbcHandle(OdbcHandle&& other) noexcept
    : type_(other.type_), handle_(std::exchange(other.handle_, nullptr)) {}

OdbcHandle& OdbcHandle::operator=(OdbcHandle&& other) noexcept {
    if (this != &other) {
        reset();
        type_ = other.type_;
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
}

void OdbcHandle::reset() noexcept {
    if (handle_ != SQL_NULL_HANDLE) {
        SQLFreeHandle(type_, handle_);
        handle_ = SQL_NULL_HANDLE;
    }
}

void OdbcHandle::check(SQLRETURN rc) const {
    if (!succeeded(rc)) {
        throw odbcError(type_, handle_);
    }
}

bool succeeded(SQLRETURN rc) {
    return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
}

namespace {

constexpr SQLINTEGER mysqlLockWaitTimeout = 1205;

ErrorKind kindOf(std::string_view state) {
    if (state.starts_with("08")) {
        return ErrorKind::Connection;
    }
    return state == "HY008" ? ErrorKind::Cancelled : ErrorKind::Statement;
}

// Drivers start their messages with the makers' names in brackets
// ("[unixODBC][MariaDB][ODBC 3.1.15 Driver]..."): the user reads the rest.
std::string withoutVendorTags(std::string text) {
    std::size_t start = 0;
    while (start < text.size() && text[start] == '[') {
        const std::size_t end = text.find(']', start);
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return start < text.size() ? text.substr(start) : text;
}

} // namespace

DataError odbcError(SQLSMALLINT type, SQLHANDLE handle) {
    std::string message;
    std::string firstState;
    for (SQLSMALLINT record = 1;; ++record) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLWCHAR text[1024] = {};
        SQLSMALLINT length = 0;
        const SQLRETURN rc =
            SQLGetDiagRecW(type, handle, record, state, &native, text, 1024, &length);
        if (!succeeded(rc)) {
            break;
        }
        const std::string line = withoutVendorTags(
            fromUtf16(text, std::min<std::size_t>(static_cast<std::size_t>(length), 1023)));
        if (firstState.empty()) {
            firstState = fromUtf16(state, 5);
            // MySQL and MariaDB report a lock wait that ran out of time
            // (their error 1205) under the general state HY000.
            firstState =
                firstState == "HY000" && native == mysqlLockWaitTimeout ? "HYT00" : firstState;
        }
        if (message.find(line) == std::string::npos) {
            message += (message.empty() ? "" : "\n") + line;
        }
    }
    if (message.empty()) {
        message = "The ODBC driver reported a failure without a message.";
    }
    DataError error(message, kindOf(firstState), firstState);
    error.setPlace(placeInMessage(message));
    return error;
}

std::u16string toUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        const int extra = b < 0x80 ? 0 : b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : -1;
        char32_t cp = extra == 0 ? b : extra == 1 ? b & 0x1F : extra == 2 ? b & 0x0F : b & 0x07;
        bool valid = extra >= 0 && i + static_cast<std::size_t>(extra) < utf8.size();
        for (int k = 1; valid && k <= extra; ++k) {
            const auto c = static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]);
            valid = (c & 0xC0) == 0x80;
            cp = (cp << 6) | (c & 0x3F);
        }
        if (!valid) {
            out += u'\uFFFD';
            ++i;
            continue;
        }
        i += static_cast<std::size_t>(extra) + 1;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

namespace {

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

} // namespace

std::string fromUtf16(const SQLWCHAR* text, std::size_t units) {
    std::string out;
    out.reserve(units);
    for (std::size_t i = 0; i < units; ++i) {
        char32_t cp = text[i];
        const bool high = cp >= 0xD800 && cp < 0xDC00;
        if (high && i + 1 < units && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp < 0xE000) {
            cp = 0xFFFD; // a lone surrogate
        }
        appendUtf8(out, cp);
    }
    return out;
}

} // namespace vdata
