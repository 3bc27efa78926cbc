#include "data/service/Command.h"

#include "data/service/Connection.h"
#include "data/service/Errors.h"

#include <algorithm>
#include <cctype>

namespace vdata {

Engine& Command::engine() const {
    if (!connection_) {
        throw DataError("The command has no connection.", ErrorKind::Connection);
    }
    const bool blank = std::all_of(text_.begin(), text_.end(),
                                   [](unsigned char c) { return std::isspace(c) != 0; });
    if (blank) {
        throw DataError("Command text was not set for the command object.");
    }
    return connection_->engine();
}

long long Command::execute() {
    Engine& e = engine();
    return e.execute(e.rewrite(text_), {});
}

std::optional<bool> Command::returnsRows() const {
    try {
        Engine& e = engine();
        return e.returnsRows(e.rewrite(text_));
    } catch (const DataError& e) {
        if (e.kind() == ErrorKind::Connection) {
            throw;
        }
        return std::nullopt;
    }
}

} // namespace vdata
