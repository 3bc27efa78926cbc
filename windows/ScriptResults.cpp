#include "windows/ScriptResults.h"

#include "windows/DataSetPanel.h"
#include "windows/ScriptMessages.h"

#include <QTabBar>

#include <algorithm>

ScriptResults::ScriptResults(DataSetPanel* master, vdata::Connection& connection, Equip equip,
                             QWidget* parent)
    : QTabWidget(parent), master_(master), connection_(connection), equip_(std::move(equip)) {
    setObjectName(QStringLiteral("ResultTabs"));
    setDocumentMode(true);
    setTabBarAutoHide(true);
    addTab(master_, QStringLiteral("Result"));
}

// The master's query belongs to the window and may be gone by now.
ScriptResults::~ScriptResults() {
    for (Result& result : extra_) {
        delete result.panel;
    }
}

// Panels go before the queries they show.
void ScriptResults::reset() {
    for (Result& result : extra_) {
        delete result.panel;
        result.query->close();
    }
    extra_.clear();
    delete messages_;
    messages_ = nullptr;
    masterUsed_ = false;
    master_->query().close();
    setTabText(0, QStringLiteral("Result"));
}

DataSetPanel& ScriptResults::nextResult(const QString& title) {
    if (!masterUsed_) {
        masterUsed_ = true;
        setTabText(0, title);
        return *master_;
    }
    Result result;
    result.query = std::make_unique<vdata::Query>();
    result.query->name = "Query" + std::to_string(extra_.size() + 2);
    result.query->setConnection(&connection_);
    result.source = std::make_unique<vdata::DataSource>(result.query.get());
    result.panel = new DataSetPanel(*result.source, this);
    result.panel->nameWidgets(QString::number(extra_.size() + 2));
    result.panel->readAgainOnRefresh();
    equip_(*result.panel);
    // The results stay in the order they came, the Messages tab last.
    insertTab(int(extra_.size()) + 1, result.panel, title);
    extra_.push_back(std::move(result));
    return *extra_.back().panel;
}

void ScriptResults::dropLastResult() {
    if (extra_.empty()) {
        master_->showClosed();
        masterUsed_ = false;
        return;
    }
    removeTab(indexOf(extra_.back().panel));
    delete extra_.back().panel;
    extra_.pop_back();
}

ScriptMessages& ScriptResults::messages() {
    if (!messages_) {
        messages_ = new ScriptMessages(this);
        addTab(messages_, QStringLiteral("Messages"));
    }
    return *messages_;
}

bool ScriptResults::savePendingEdits() {
    return std::all_of(extra_.begin(), extra_.end(),
                       [](const Result& result) { return result.panel->savePendingEdit(); });
}

QList<DataSetPanel*> ScriptResults::results() const {
    QList<DataSetPanel*> panels{master_};
    for (const Result& result : extra_) {
        panels.append(result.panel);
    }
    return panels;
}

QString ScriptResults::titleOf(const QString& statement) {
    constexpr int longest = 20;
    const QString words = statement.simplified();
    if (words.size() <= longest) {
        return words;
    }
    const qsizetype cut = words.lastIndexOf(QLatin1Char(' '), longest);
    return words.left(cut > 0 ? cut : longest) + QStringLiteral("…");
}
