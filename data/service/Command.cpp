#include "Command.h"

#include "Connection.h"
#include "Errors.h"

#include <algorithm>
#include <cctype>

namespace vdata {

long long Command::execute() {
    if (!connection_) {
        throw DataError("The command has no connection.");
    }
    const bool blank = std::all_of(text_.begin(), text_.end(),
                                   [](unsigned char c) { return std::isspace(c) != 0; });
    if (blank) {
        throw DataError("Command text was not set for the command object.");
    }
    Engine& engine = connection_->engine();
    return engine.execute(engine.rewrite(text_), {});
}

} // namespace vdata
