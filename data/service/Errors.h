#pragma once

#include <stdexcept>
#include <string>

namespace vdata {

// Every failure of the data-access service arrives as this exception; its
// message is the provider's own text, ready to be shown to the user.
class DataError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A deliberate, silent cancellation of a standard action (for example a
// navigator button whose before-action hook handled the work itself). The
// application's default error report ignores it.
class SilentAbort : public std::exception {
public:
    const char* what() const noexcept override { return "Operation aborted"; }
};

} // namespace vdata
