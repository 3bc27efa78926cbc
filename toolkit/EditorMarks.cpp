#include "toolkit/EditorMarks.h"

#include <Qsci/qsciscintilla.h>

#include <QTimer>

namespace tk {

EditorMarks::EditorMarks(QsciScintilla* editor)
    : QObject(editor), editor_(editor), flashTimer_(new QTimer(this)),
      flash_(editor->indicatorDefine(QsciScintilla::FullBoxIndicator)),
      error_(editor->indicatorDefine(QsciScintilla::SquiggleIndicator)) {
    editor->setIndicatorForegroundColor(QColor(0xff, 0xc8, 0x40, 0x80), flash_);
    editor->setIndicatorForegroundColor(Qt::red, error_);
    flashTimer_->setSingleShot(true);
    flashTimer_->setInterval(500);
    connect(flashTimer_, &QTimer::timeout, this, [this] { clear(flash_); });
    connect(editor, &QsciScintilla::textChanged, this, [this] {
        clear(flash_);
        clear(error_);
    });
}

void EditorMarks::flashRange(int begin, int end) {
    clear(flash_);
    fill(flash_, begin, end);
    flashTimer_->start();
    // Painted now: the statement runs before the event loop comes back.
    editor_->viewport()->repaint();
}

void EditorMarks::markError(int position) {
    clear(error_);
    const long end = editor_->SendScintilla(QsciScintillaBase::SCI_WORDENDPOSITION, position, 1L);
    const long after =
        editor_->SendScintilla(QsciScintillaBase::SCI_POSITIONAFTER, static_cast<long>(position));
    fill(error_, position, static_cast<int>(end > position ? end : after));
    editor_->SendScintilla(QsciScintillaBase::SCI_GOTOPOS, static_cast<long>(position));
}

void EditorMarks::clear(int indicator) {
    editor_->SendScintilla(QsciScintillaBase::SCI_SETINDICATORCURRENT, indicator);
    editor_->SendScintilla(QsciScintillaBase::SCI_INDICATORCLEARRANGE, 0L,
                           editor_->SendScintilla(QsciScintillaBase::SCI_GETLENGTH));
}

void EditorMarks::fill(int indicator, int begin, int end) {
    editor_->SendScintilla(QsciScintillaBase::SCI_SETINDICATORCURRENT, indicator);
    editor_->SendScintilla(QsciScintillaBase::SCI_INDICATORFILLRANGE, static_cast<long>(begin),
                           static_cast<long>(end - begin));
}

} // namespace tk
