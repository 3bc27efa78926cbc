#include "windows/KeptText.h"

#include "windows/QueryHistory.h"

#include <Qsci/qsciscintilla.h>

#include <QCoreApplication>
#include <QHash>
#include <QSet>
#include <QTimer>

namespace {

// The slots the open windows hold, per database.
QHash<QString, QSet<int>>& slotsInUse() {
    static QHash<QString, QSet<int>> inUse;
    return inUse;
}

int takeSlot(const QString& database) {
    QSet<int>& taken = slotsInUse()[database];
    int slot = 1;
    while (taken.contains(slot)) {
        ++slot;
    }
    taken.insert(slot);
    return slot;
}

// A crash loses at most what was typed in this time.
constexpr int savePauseMs = 2000;

} // namespace

KeptText::KeptText(QsciScintilla& editor, const QString& database)
    : QObject(&editor), editor_(editor), database_(database), slot_(takeSlot(database)),
      pause_(new QTimer(this)), saved_(editor.text()) {
    pause_->setObjectName(QStringLiteral("KeptTextPause"));
    pause_->setSingleShot(true);
    pause_->setInterval(savePauseMs);
    connect(pause_, &QTimer::timeout, this, &KeptText::save);
    connect(&editor_, &QsciScintilla::textChanged, pause_, qOverload<>(&QTimer::start));
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, &KeptText::save);
}

KeptText::~KeptText() {
    slotsInUse()[database_].remove(slot_);
}

bool KeptText::restore() {
    QString text;
    try {
        text = QueryHistory::keptText(database_, slot_);
    } catch (const HistoryError&) {
        return false; // the history panel says why
    }
    // An emptied editor comes back with its placeholder.
    if (text.isEmpty()) {
        return false;
    }
    editor_.setText(text);
    // Typing goes on where the text ends.
    editor_.SendScintilla(QsciScintillaBase::SCI_DOCUMENTEND);
    saved_ = text;
    pause_->stop();
    return true;
}

void KeptText::save() {
    pause_->stop();
    // The text itself tells whether it changed: the editor reports a change
    // only once the event that made it is over, and the window may close
    // before that.
    const QString text = editor_.text();
    if (text == saved_) {
        return;
    }
    try {
        QueryHistory::keepText(database_, slot_, text);
        saved_ = text;
    } catch (const HistoryError&) {
        // Kept for the next try; the history panel says why.
    }
}
