#pragma once

#include <string>

namespace vdata {

class Connection;

// Runs statements that return no rows.
class Command {
public:
    explicit Command(Connection* connection = nullptr) : connection_(connection) {}
    void setConnection(Connection* c) { connection_ = c; }
    Connection* connection() const { return connection_; }

    void setCommandText(std::string text) { text_ = std::move(text); }
    const std::string& commandText() const { return text_; }

    // Runs the text once and returns the records affected as the engine
    // counts them. An empty text raises DataError.
    long long execute();

private:
    Connection* connection_;
    std::string text_;
};

} // namespace vdata
