#include "toolkit/StepReader.h"

#include "data/service/Query.h"
#include "toolkit/Cursors.h"
#include "toolkit/ErrorReport.h"
#include "toolkit/Progress.h"
#include "toolkit/ScreenReaderQuestions.h"

#include <QElapsedTimer>

#include <algorithm>

#include <malloc.h>

namespace tk {

bool readAllRows(QWidget* parent, vdata::Query& query) {
    if (!query.reading()) {
        return true;
    }
    const AppCursorGuard busy(CursorShape::SqlWait);
    try {
        const ProgressGuard progress(parent);
        query.readAll();
    } catch (const std::exception& e) {
        if (!isCancellation(e)) {
            reportError(e);
        }
        return false;
    }
    return true;
}

StepReader::StepReader(vdata::Query& query, QObject* parent) : QObject(parent), query_(&query) {
    timer_.setInterval(0);
    connect(&timer_, &QTimer::timeout, this, &StepReader::step);
    subscription_ = query.subscribe([this](const vdata::DataEvent& e) { follow(e); });
}

StepReader::~StepReader() {
    if (query_ != nullptr) {
        query_->unsubscribe(subscription_);
    }
}

void StepReader::follow(const vdata::DataEvent& e) {
    if (e.kind == vdata::DataEvent::Kind::Destroyed) {
        query_ = nullptr;
        timer_.stop();
    } else if (query_->reading() && !timer_.isActive()) {
        timer_.start();
    }
}

// Each step reads as many rows as the last ones read in the time a step
// takes, so the steps stay short whatever a row costs.
void StepReader::step() {
    if (query_ == nullptr || !query_->reading()) {
        timer_.stop();
        return;
    }
    if (ProgressGuard::working() || ScreenReaderQuestions::justAsked()) {
        return;
    }
    QElapsedTimer clock;
    clock.start();
    const int before = query_->recordCount();
    try {
        query_->readMore(rowsPerStep_);
    } catch (const std::exception& e) {
        timer_.stop();
        reportError(e);
        return;
    }
    if (!query_->reading()) {
        timer_.stop();
        malloc_trim(0); // what the read's growth copies freed goes back to the system
        return;
    }
    // A step that got fewer rows than asked for waited for them: it says
    // nothing of how many rows fit in a step.
    const auto read = static_cast<std::size_t>(query_->recordCount() - before);
    if (read < rowsPerStep_ && clock.nsecsElapsed() < stepNs) {
        return;
    }
    const double scale = double(stepNs) / double(std::max<qint64>(clock.nsecsElapsed(), 1));
    const double wanted = double(rowsPerStep_) * std::clamp(scale, 0.5, 2.0);
    rowsPerStep_ = static_cast<std::size_t>(std::clamp(wanted, 256.0, double(1 << 20)));
}

} // namespace tk
