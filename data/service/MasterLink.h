#pragma once

#include "data/service/Value.h"

#include <string>
#include <utility>
#include <vector>

namespace vdata {

class DataSource;
class Field;
class Query;
struct DataEvent;

// A query's link to its master (a query is a detail when its data source is
// another query's) and to its own details. The detail reads again whenever
// the master's current row or its linked values change; the master saves a
// detail's pending change before it moves, reads again, posts or deletes.
class MasterLink {
public:
    explicit MasterLink(Query& query) : query_(query) {}
    ~MasterLink() { unlink(); }
    MasterLink(const MasterLink&) = delete;
    MasterLink& operator=(const MasterLink&) = delete;

    void setSource(DataSource* source) { source_ = source; }
    DataSource* source() const { return source_; }
    // The fields a new record takes from the master: each pair names a
    // master field and the field of this query that receives its value.
    using Pairs = std::vector<std::pair<std::string, std::string>>;
    void setPairs(Pairs pairs) { pairs_ = std::move(pairs); }
    const Pairs& pairs() const { return pairs_; }

    // Follows the master from now on (an open); unlink stops (a close).
    void link();
    void unlink();

    // The values of the master fields named, from the master's saved record
    // (null where there is no master, no such field or no saved record).
    std::vector<Value> values(const std::vector<std::string>& masterFields) const;
    // Saves (or, with nothing typed, gives up) each detail's pending change;
    // a refusal raises before anything moved.
    void postDetails();
    // Puts the master's values into the paired fields of a new record;
    // `masterFields` pairs each parameter's field with itself when no pairs
    // are set.
    void fillNewRecord(const std::vector<std::string>& masterFields);

private:
    Query* master() const;
    void masterChanged(const DataEvent& e);

    Query& query_;
    DataSource* source_ = nullptr;
    Pairs pairs_;
    Query* linked_ = nullptr;
    int subscription_ = 0;
    std::vector<Query*> details_; // the open queries linked to this one
};

} // namespace vdata
