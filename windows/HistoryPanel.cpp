#include "windows/HistoryPanel.h"

#include "windows/QueryHistory.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

enum Column { When, Rows, Time, Statement };

QTreeWidgetItem* itemFor(const HistoryEntry& entry) {
    // The list shows a statement on one line; the item keeps it whole.
    QString line = entry.sql.simplified();
    auto* item =
        new QTreeWidgetItem({entry.at.toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")),
                             entry.failed ? QStringLiteral("failed") : QString::number(entry.rows),
                             QStringLiteral("%1 ms").arg(entry.milliseconds), line});
    item->setData(Statement, Qt::UserRole, entry.sql);
    item->setToolTip(Statement, entry.failed ? entry.error : entry.sql);
    item->setToolTip(Rows, entry.error);
    return item;
}

} // namespace

HistoryPanel::HistoryPanel(const QString& database, QWidget* parent)
    : QWidget(parent), database_(database), filter_(new QLineEdit(this)),
      list_(new QTreeWidget(this)), problem_(new QLabel(this)) {
    setObjectName(QStringLiteral("HistoryPanel"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    filter_->setPlaceholderText(QStringLiteral("Filter the history"));
    filter_->setClearButtonEnabled(true);
    list_->setHeaderLabels({QStringLiteral("Run at"), QStringLiteral("Rows"),
                            QStringLiteral("Time"), QStringLiteral("Statement")});
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->header()->setStretchLastSection(true);
    problem_->setWordWrap(true);
    problem_->setTextFormat(Qt::PlainText);
    problem_->hide();
    layout->addWidget(filter_);
    layout->addWidget(problem_);
    layout->addWidget(list_, 1);
    setFocusProxy(filter_);
    connect(filter_, &QLineEdit::textChanged, this, &HistoryPanel::applyFilter);
    // Return in the filter box takes the first statement it kept.
    connect(filter_, &QLineEdit::returnPressed, this, [this] {
        for (int i = 0; i < list_->topLevelItemCount(); ++i) {
            if (!list_->topLevelItem(i)->isHidden()) {
                choose(list_->topLevelItem(i));
                return;
            }
        }
    });
    connect(list_, &QTreeWidget::itemActivated, this, &HistoryPanel::choose);
}

void HistoryPanel::reload() {
    list_->clear();
    try {
        for (const HistoryEntry& entry : QueryHistory::entries(database_)) {
            list_->addTopLevelItem(itemFor(entry));
        }
        problem_->hide();
    } catch (const HistoryError& e) {
        problem_->setText(QString::fromStdString(e.what()));
        problem_->show();
    }
    applyFilter();
}

void HistoryPanel::applyFilter() {
    const QString term = filter_->text();
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list_->topLevelItem(i);
        const QString sql = item->data(Statement, Qt::UserRole).toString();
        item->setHidden(!sql.contains(term, Qt::CaseInsensitive));
    }
}

void HistoryPanel::choose(QTreeWidgetItem* item) {
    if (item) {
        emit chosen(item->data(Statement, Qt::UserRole).toString());
    }
}
