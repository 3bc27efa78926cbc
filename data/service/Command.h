#pragma once

#include <optional>
#include <string>

namespace vdata {

class Connection;
class Engine;

// Runs statements that return no rows, and tells a text that returns rows.
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
    // Whether the text is one statement that returns rows, checked without
    // running it, so that it can be opened as a query instead; none when the
    // engine cannot tell, as for several statements or a faulty text. Raises
    // DataError when there is no connection to ask.
    std::optional<bool> returnsRows() const;

private:
    Engine& engine() const;

    Connection* connection_;
    std::string text_;
};

} // namespace vdata
