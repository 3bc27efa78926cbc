#include "data/service/MasterLink.h"

#include "data/service/DataSource.h"
#include "data/service/Query.h"

#include <algorithm>

namespace vdata {

Query* MasterLink::master() const {
    Query* master = source_ ? source_->dataSet() : nullptr;
    return master == &query_ ? nullptr : master;
}

void MasterLink::link() {
    Query* master = this->master();
    if (!master || linked_ == master) {
        return;
    }
    unlink();
    linked_ = master;
    subscription_ = master->subscribe([this](const DataEvent& e) { masterChanged(e); });
    master->link_.details_.push_back(&query_);
}

void MasterLink::unlink() {
    if (linked_) {
        linked_->unsubscribe(subscription_);
        std::erase(linked_->link_.details_, &query_);
        linked_ = nullptr;
        subscription_ = 0;
    }
}

std::vector<Value> MasterLink::values(const std::vector<std::string>& masterFields) const {
    const Query* master = this->master();
    std::vector<Value> values;
    for (const std::string& name : masterFields) {
        const Field* f = master && master->active() ? master->findField(name) : nullptr;
        values.push_back(f ? master->linkValue(*f) : Value::null());
    }
    return values;
}

void MasterLink::postDetails() {
    for (Query* detail : std::vector<Query*>(details_)) {
        detail->link_.postDetails();
        const bool pending =
            detail->state_ == DataSetState::Edit || detail->state_ == DataSetState::Insert;
        if (pending && detail->modified()) {
            detail->post();
        } else if (pending) {
            detail->cancel();
        }
    }
}

// The detail runs again whenever the master's current row changes, or the
// values of its linked fields change (a post, a delete, an insert starting
// or ending).
void MasterLink::masterChanged(const DataEvent& e) {
    using K = DataEvent::Kind;
    if (e.kind == K::Destroyed) {
        linked_ = nullptr;
        return;
    }
    if (!query_.active()) {
        return;
    }
    const bool rowChanged = e.kind == K::Scrolled || e.kind == K::RowsReset || e.kind == K::Opened;
    const bool valuesChanged = (e.kind == K::RowChanged || e.kind == K::RowInserted ||
                                e.kind == K::RowRemoved || e.kind == K::StateChanged) &&
                               query_.parameterValues() != query_.lastParams_;
    if (rowChanged || valuesChanged) {
        query_.requery();
    }
}

// A new record takes the values of the master record that the rows shown
// belong to.
void MasterLink::fillNewRecord(const std::vector<std::string>& masterFields) {
    const Query* master = this->master();
    if (!master || !master->active()) {
        return;
    }
    Pairs pairs = pairs_;
    if (pairs.empty()) {
        for (const std::string& name : masterFields) {
            pairs.emplace_back(name, name);
        }
    }
    for (const auto& [masterName, detailName] : pairs) {
        const Field* source = master->findField(masterName);
        const Field* target = query_.findField(detailName);
        if (source && target) {
            query_.edit_.fill(static_cast<std::size_t>(target->index()),
                              master->linkValue(*source));
        }
    }
}

} // namespace vdata
