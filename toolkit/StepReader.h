#pragma once

#include <QObject>
#include <QTimer>

#include <cstddef>

namespace vdata {
class Query;
struct DataEvent;
} // namespace vdata

class QWidget;

namespace tk {

// Reads the rest of a query read in steps now, with the progress dialog and
// a busy cursor, for work that needs every row (a sort, a filter, a search,
// an export, a row looked up). False when the user cancelled (the read
// stops there and the rows read stay) or the read failed (reported).
bool readAllRows(QWidget* parent, vdata::Query& query);

// Reads the rest of a query's result while the program waits for input: a
// step at a time, each short enough that a key press, a scroll or a click
// is answered at once. A step that fails stops the read, keeps the rows read
// and is reported. No step runs while other long work of the data service
// reports progress, since that work may be using the same connection.
class StepReader : public QObject {
    Q_OBJECT
public:
    StepReader(vdata::Query& query, QObject* parent);
    ~StepReader() override;
    StepReader(const StepReader&) = delete;
    StepReader& operator=(const StepReader&) = delete;

    // How long a step reads, about.
    static constexpr qint64 stepNs = 20'000'000;

private:
    void follow(const vdata::DataEvent& e);
    void step();

    vdata::Query* query_;
    int subscription_ = 0;
    QTimer timer_;
    std::size_t rowsPerStep_ = 4096;
};

} // namespace tk
