#include "toolkit/DBNavigator.h"

#include "data/service/DataSource.h"
#include "data/service/Errors.h"
#include "data/service/Query.h"
#include "toolkit/DBGrid.h"
#include "toolkit/Dialogs.h"
#include "toolkit/ErrorReport.h"
#include "toolkit/Progress.h"

#include <QHBoxLayout>
#include <QToolButton>

using vdata::DataSetState;

namespace tk {

DBNavigator::DBNavigator(QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    for (int i = 0; i < buttonCount; ++i) {
        auto* b = new QToolButton(this);
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
        connect(b, &QToolButton::clicked, this, [this, i] { click(i); });
        buttons_[static_cast<std::size_t>(i)] = b;
        row->addWidget(b);
    }
    setVisibleButtons(allButtons);
    updateButtons();
}

DBNavigator::~DBNavigator() {
    watch(nullptr);
}

void DBNavigator::setDataSource(vdata::DataSource* source) {
    dataSource_ = source;
    watch(source ? source->dataSet() : nullptr);
    updateButtons();
}

vdata::Query* DBNavigator::dataSet() const {
    return watched_;
}

void DBNavigator::watch(vdata::Query* query) {
    if (watched_) {
        watched_->unsubscribe(subscription_);
        subscription_ = 0;
    }
    watched_ = query;
    if (watched_) {
        subscription_ = watched_->subscribe([this](const vdata::DataEvent& e) {
            if (e.kind == vdata::DataEvent::Kind::Destroyed) {
                watched_ = nullptr;
                subscription_ = 0;
            }
            updateButtons();
        });
    }
}

void DBNavigator::setVisibleButtons(int mask) {
    visible_ = mask & allButtons;
    for (int i = 0; i < buttonCount; ++i) {
        button(i)->setVisible((visible_ & (1 << i)) != 0);
    }
}

void DBNavigator::setCaption(int index, const QString& caption) {
    button(index)->setText(caption);
}

QString DBNavigator::caption(int index) const {
    return button(index)->text();
}

void DBNavigator::setHint(int index, const QString& hint) {
    extra_.at(static_cast<std::size_t>(index)).hint = hint;
}

QString DBNavigator::hint(int index) const {
    return extra_.at(static_cast<std::size_t>(index)).hint;
}

QStringList DBNavigator::hints() const {
    QStringList all;
    for (const Extra& e : extra_) {
        all << e.hint;
    }
    return all;
}

void DBNavigator::setHints(const QStringList& hints) {
    for (int i = 0; i < buttonCount && i < hints.size(); ++i) {
        setHint(i, hints.at(i));
    }
}

void DBNavigator::setGlyph(int index, const QIcon& glyph, bool above) {
    QToolButton* b = button(index);
    b->setIcon(glyph);
    b->setToolButtonStyle(glyph.isNull() ? Qt::ToolButtonTextOnly
                          : above        ? Qt::ToolButtonTextUnderIcon
                                         : Qt::ToolButtonTextBesideIcon);
}

// The enabled states of a dataset navigator: moving needs somewhere to go,
// Edit and Delete need a record, Post and Cancel a pending change.
void DBNavigator::updateButtons() {
    vdata::Query* q = watched_;
    const bool active = q && q->active();
    const bool editing =
        active && (q->state() == DataSetState::Edit || q->state() == DataSetState::Insert);
    const bool empty = !active || q->isEmpty();
    const bool browsing = active && !editing;
    const bool atFirst = empty || q->currentRow() <= 0;
    const bool atLast = empty || q->currentRow() >= q->recordCount() - 1;
    // A result that cannot be written (an Access file, a join, a table
    // without a key) offers no command that would change it.
    const bool writable = active && q->readOnlyReason().empty();
    button(First)->setEnabled(browsing && !atFirst);
    button(Prior)->setEnabled(browsing && !atFirst);
    button(Next)->setEnabled(browsing && !atLast);
    button(Last)->setEnabled(browsing && !atLast);
    button(Insert)->setEnabled(writable);
    button(Delete)->setEnabled(browsing && !empty && writable);
    button(Edit)->setEnabled(browsing && !empty && writable);
    button(Post)->setEnabled(editing);
    button(Cancel)->setEnabled(editing);
    button(Refresh)->setEnabled(active);
}

void DBNavigator::click(int index) {
    vdata::Query* q = watched_;
    if (!q || !q->active() || index < 0 || index >= buttonCount) {
        return;
    }
    try {
        // Moving reads a linked detail's rows again, which can take long.
        const ProgressGuard progress(this);
        if (!beforeAction || beforeAction(this, index)) {
            runAction(index);
            if (index == Insert || index == Edit) {
                focusGrid();
            }
        }
    } catch (const std::exception& e) {
        tk::reportError(e);
    }
    updateButtons();
}

void DBNavigator::runAction(int index) {
    vdata::Query* q = watched_;
    switch (static_cast<Button>(index)) {
    case First:
        q->first();
        break;
    case Prior:
        q->prior();
        break;
    case Next:
        q->next();
        break;
    case Last:
        q->last();
        break;
    case Insert:
        q->insert();
        break;
    case Delete:
        // A result that cannot change is refused before the question.
        if (!q->canModify()) {
            throw vdata::DataError(q->readOnlyReason(), vdata::ErrorKind::ReadOnly);
        }
        if (tk::Dialogs::current().confirm(QStringLiteral("Confirm"),
                                           QStringLiteral("Delete record?"))) {
            q->remove();
        }
        break;
    case Edit:
        q->edit();
        break;
    case Post:
        q->post();
        break;
    case Cancel:
        q->cancel();
        break;
    case Refresh:
        q->refresh();
        break;
    }
}

// The keyboard goes to the grid that shows this navigator's data source, on
// the current (new or edited) record, so that typing changes that record.
void DBNavigator::focusGrid() {
    vdata::Query* q = watched_;
    for (DBGrid* grid : window()->findChildren<DBGrid*>()) {
        if (grid->dataSource() != dataSource_) {
            continue;
        }
        const QModelIndex now = grid->currentIndex();
        const int row = q ? q->currentRow() : -1;
        if (row >= 0 && row < grid->model()->rowCount() && (!now.isValid() || now.row() != row)) {
            grid->setCurrentIndex(grid->model()->index(row, now.isValid() ? now.column() : 0));
        }
        grid->setFocus(Qt::OtherFocusReason);
        return;
    }
}

} // namespace tk
