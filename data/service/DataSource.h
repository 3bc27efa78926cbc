#pragma once

namespace vdata {

class Query;

// Links a dataset to what shows or follows it. A query whose data source is
// another query's data source is that query's detail (the master link).
class DataSource {
public:
    explicit DataSource(Query* dataSet = nullptr) : dataSet_(dataSet) {}
    Query* dataSet() const { return dataSet_; }
    void setDataSet(Query* dataSet) { dataSet_ = dataSet; }

private:
    Query* dataSet_;
};

} // namespace vdata
