#include "windows/ErrorPointer.h"

#include "data/service/Connection.h"
#include "data/service/ErrorPlace.h"
#include "data/service/Errors.h"
#include "toolkit/EditorMarks.h"

#include <Qsci/qsciscintilla.h>

#include <algorithm>

void ErrorPointer::aim(std::string sent, std::size_t start) {
    sent_ = std::move(sent);
    start_ = start;
}

// The engine's place is in the rewritten text; a rewrite keeps the length
// of what it changes but for TOP, so the offset stands for the text sent.
// Each "\n" before it was sent after an added "\r".
std::optional<std::size_t> ErrorPointer::editorOffset(const std::exception& e) const {
    const auto* error = dynamic_cast<const vdata::DataError*>(&e);
    if (!error || !error->place()) {
        return std::nullopt;
    }
    std::optional<std::size_t> offset;
    try {
        offset = vdata::errorOffset(connection_.engine().rewrite(sent_), *error->place());
    } catch (const vdata::DataError&) {
        return std::nullopt; // no connection to rewrite with
    }
    if (!offset) {
        return std::nullopt;
    }
    const std::size_t at = std::min(*offset, sent_.size());
    const auto added = std::count(sent_.begin(), sent_.begin() + std::ptrdiff_t(at), '\n');
    return start_ + at - std::size_t(added);
}

QString ErrorPointer::report(const std::exception& e) const {
    QString text = QString::fromUtf8(e.what());
    const std::optional<std::size_t> offset = editorOffset(e);
    if (!offset) {
        return text;
    }
    const QByteArray bytes = editor_->text().toUtf8();
    const auto at =
        static_cast<qsizetype>(std::min<std::size_t>(*offset, std::size_t(bytes.size())));
    const qsizetype lineStart = at > 0 ? bytes.lastIndexOf('\n', at - 1) + 1 : 0;
    const qsizetype line = bytes.left(at).count('\n') + 1;
    const qsizetype column = QString::fromUtf8(bytes.mid(lineStart, at - lineStart)).size() + 1;
    marks_.markError(static_cast<int>(at));
    return text + QStringLiteral(" (line %1, column %2)").arg(line).arg(column);
}
