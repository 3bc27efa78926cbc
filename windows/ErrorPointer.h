#pragma once

#include <QString>

#include <cstddef>
#include <exception>
#include <optional>
#include <string>

namespace tk {
class EditorMarks;
}
namespace vdata {
class Connection;
}
class QsciScintilla;

// Points at the place in the SQL editor where the engine says a statement
// failed: the text sent is a part of the editor's text, with "\n" turned
// into "\r\n", and the engine's place is in that text as the engine
// rewrote it.
class ErrorPointer {
public:
    ErrorPointer(vdata::Connection& connection, QsciScintilla* editor, tk::EditorMarks& marks)
        : connection_(connection), editor_(editor), marks_(marks) {}

    // The text about to be sent, and the byte offset in the editor's text
    // where the part it was made from starts.
    void aim(std::string sent, std::size_t start);
    // e's message, followed by "(line L, column C)" when the engine placed
    // the failure; the caret goes to that place, which is marked.
    QString report(const std::exception& e) const;

private:
    std::optional<std::size_t> editorOffset(const std::exception& e) const;

    vdata::Connection& connection_;
    QsciScintilla* editor_;
    tk::EditorMarks& marks_;
    std::string sent_;
    std::size_t start_ = 0;
};
