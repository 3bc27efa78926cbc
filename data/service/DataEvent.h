#pragma once

#include <functional>
#include <vector>

namespace vdata {

// What changed in a query, for grids, navigators and detail queries.
// Entering or leaving the Insert state comes as StateChanged: displayRowCount()
// then grows or shrinks by the insert row. A posted insert comes as
// RowInserted followed by StateChanged (the insert row became a real row).
struct DataEvent {
    enum class Kind {
        Opened,       // new fields and rows
        Closed,       // no fields, no rows
        RowsReset,    // rows replaced or reordered (requery, refresh, sort)
        RowChanged,   // `row` was rewritten (a post)
        RowInserted,  // `row` was added (a post of an insert)
        RowRemoved,   // `row` was deleted
        StateChanged, // browse / edit / insert
        FieldChanged, // a value of the edit buffer changed (`field`)
        Scrolled,     // another record became current
        // A post is about to write the edit buffer: a control that still
        // holds typed text hands it over now, or raises to stop the post.
        UpdatingRecord,
        Destroyed, // the query is being destroyed: drop every reference to it
        // Rows read in steps were added at the end: `count` of them from
        // display row `row` on (none when the read ended or stopped).
        RowsAppended,
    };
    Kind kind;
    int row = -1; // 0-based display row
    int field = -1;
    int count = 0;
};

// Who hears of a query's events. Models (a grid's rows) hear first, so that
// every other observer finds the rows they show already changed; the order
// among the others is not one anything may depend on. Every observer is
// told even when one fails; the first failure is raised afterwards.
class DataObservers {
public:
    enum class Tier { Model, Other };
    int subscribe(std::function<void(const DataEvent&)> observer, Tier tier);
    void unsubscribe(int id);
    void notify(const DataEvent& e) const;

private:
    struct Observer {
        int id;
        Tier tier;
        std::function<void(const DataEvent&)> fn;
    };
    std::vector<Observer> observers_;
    int nextId_ = 1;
};

} // namespace vdata
