#include "tests/support/ScriptedDialogs.h"

#include <optional>

namespace {

// The next scripted answer, taken off the script; none when it has run out.
template <class T> std::optional<T> takeNext(std::deque<T>& answers) {
    if (answers.empty()) {
        return std::nullopt;
    }
    T answer = std::move(answers.front());
    answers.pop_front();
    return answer;
}

} // namespace

ScriptedDialogs::ScriptedDialogs() {
    tk::Dialogs::install(this);
}

ScriptedDialogs::~ScriptedDialogs() {
    tk::Dialogs::install(nullptr);
}

QStringList ScriptedDialogs::texts() const {
    QStringList result;
    for (const Shown& s : shown) {
        result << s.text;
    }
    return result;
}

QStringList ScriptedDialogs::kinds() const {
    QStringList result;
    for (const Shown& s : shown) {
        result << s.kind;
    }
    return result;
}

int ScriptedDialogs::count(const QString& kind) const {
    int n = 0;
    for (const Shown& s : shown) {
        n += s.kind == kind ? 1 : 0;
    }
    return n;
}

void ScriptedDialogs::message(tk::MessageKind kind, const QString& caption, const QString& text) {
    static const char* const names[] = {"error", "warning", "information"};
    shown.append({QString::fromLatin1(names[static_cast<int>(kind)]), caption, text, QString()});
}

bool ScriptedDialogs::confirm(const QString& caption, const QString& text) {
    shown.append({QStringLiteral("confirm"), caption, text, QString()});
    return takeNext(confirmAnswers).value_or(true);
}

tk::SaveChoice ScriptedDialogs::askToSave(const QString& caption, const QString& text) {
    shown.append({QStringLiteral("asksave"), caption, text, QString()});
    return takeNext(saveChoices).value_or(tk::SaveChoice::Cancel);
}

bool ScriptedDialogs::prompt(const QString& caption, const QString& label, QString& value,
                             int maxLength, Echo echo) {
    shown.append({QStringLiteral("prompt"), caption, label, QString(), echo == Echo::Masked});
    const std::optional<QString> answer = takeNext(promptAnswers);
    if (!answer || answer->isNull()) {
        return false;
    }
    value = answer->left(maxLength);
    return true;
}

bool ScriptedDialogs::openFile(QWidget*, const QString& filter, QString& fileName,
                               QString& selectedFilter) {
    shown.append({QStringLiteral("open"), QString(), filter, selectedFilter});
    const std::optional<QString> answer = takeNext(fileAnswers);
    if (!answer) {
        return false;
    }
    const QString type = takeNext(fileTypeAnswers).value_or(QString());
    if (answer->isNull()) {
        return false;
    }
    fileName = *answer;
    if (!type.isNull()) {
        selectedFilter = type;
    }
    return true;
}

bool ScriptedDialogs::saveFile(QWidget*, const QString& filter, const QString&, QString& fileName) {
    shown.append({QStringLiteral("save"), QString(), filter, fileName});
    const std::optional<QString> answer = takeNext(fileAnswers);
    if (!answer || answer->isNull()) {
        return false;
    }
    fileName = *answer;
    return true;
}

int ScriptedDialogs::showModal(QDialog& dialog) {
    shown.append({QStringLiteral("modal"), dialog.windowTitle(), QString(), QString()});
    if (modalScripts.empty()) {
        return QDialog::Rejected;
    }
    auto script = std::move(modalScripts.front());
    modalScripts.pop_front();
    const int code = script(dialog);
    return code == -1 ? dialog.result() : code;
}
