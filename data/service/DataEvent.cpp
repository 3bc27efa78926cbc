#include "data/service/DataEvent.h"

#include <algorithm>
#include <exception>

namespace vdata {

int DataObservers::subscribe(std::function<void(const DataEvent&)> observer, Tier tier) {
    // Models stand before the others, each tier in the order it subscribed.
    const auto at = tier == Tier::Model
                        ? std::find_if(observers_.begin(), observers_.end(),
                                       [](const Observer& o) { return o.tier != Tier::Model; })
                        : observers_.end();
    observers_.insert(at, {nextId_, tier, std::move(observer)});
    return nextId_++;
}

void DataObservers::unsubscribe(int id) {
    std::erase_if(observers_, [id](const Observer& o) { return o.id == id; });
}

void DataObservers::notify(const DataEvent& e) const {
    // A copy, so that an observer may unsubscribe while being told.
    const std::vector<Observer> observers = observers_;
    std::exception_ptr failure;
    for (const Observer& o : observers) {
        try {
            o.fn(e);
        } catch (...) {
            if (!failure) {
                failure = std::current_exception();
            }
        }
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
}

} // namespace vdata
