#pragma once

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

namespace vdata {

// What went wrong, so that callers tell failures apart without reading the
// message.
enum class ErrorKind {
    Connection,   // no session: cannot connect, connection closed or lost
    Statement,    // the engine or the service refused a statement or a value
    Conflict,     // someone else changed, deleted or locked the row
    ReadOnly,     // the data cannot be written back
    NotADatabase, // the file is not a database this program opens (or the key is wrong)
    Cancelled,    // the work was cancelled before it finished
};

// Where in the SQL text as sent an engine placed a failure, in the engine's
// own terms: a byte offset from 0, a character position from 1, or a line
// from 1 with the text the engine quoted from the failing place on (`near`,
// empty when it quoted none). errorOffset (ErrorPlace.h) turns it into a
// byte offset.
struct SqlErrorPlace {
    enum class Unit { Byte, Character, Line };
    Unit unit = Unit::Byte;
    std::size_t value = 0;
    std::string near;
};

// Every failure of the data-access service arrives as this exception; its
// message is the provider's own text, ready to be shown to the user.
// nativeCode is the engine's own code for the failure (SQLite's result
// code in decimal, PostgreSQL's SQLSTATE), empty when the failure is
// the service's own.
class DataError : public std::runtime_error {
public:
    explicit DataError(const std::string& message, ErrorKind kind = ErrorKind::Statement,
                       std::string nativeCode = {})
        : std::runtime_error(message), kind_(kind), nativeCode_(std::move(nativeCode)) {}

    ErrorKind kind() const { return kind_; }
    const std::string& nativeCode() const { return nativeCode_; }
    // Where the engine placed the failure in the statement; none when it
    // did not say.
    const std::optional<SqlErrorPlace>& place() const { return place_; }
    void setPlace(std::optional<SqlErrorPlace> place) { place_ = std::move(place); }

private:
    ErrorKind kind_;
    std::string nativeCode_;
    std::optional<SqlErrorPlace> place_;
};

// Raised by a reader whose rows no longer have the columns the result was
// described with: the table's columns changed during the read.
inline constexpr const char* tableChangedWhileRead =
    "The table changed while it was read; press Refresh.";

} // namespace vdata
