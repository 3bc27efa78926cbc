#pragma once

#include "data/service/DataSource.h"
#include "data/service/Query.h"
#include "ui_DataSetPanel.h"

#include <QElapsedTimer>
#include <QMetaType>
#include <QWidget>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// One query shown as a data window shows it: an editable grid with
// title-click sorting, its navigator, a search box with its column list, and
// the record counter. Every handler serves this panel's own query.
class DataSetPanel : public QWidget, public Ui::DataSetPanel {
    Q_OBJECT
public:
    // Shows `source`'s query; both outlive the panel's use of them.
    explicit DataSetPanel(vdata::DataSource& source, QWidget* parent = nullptr);
    ~DataSetPanel() override;

    vdata::Query& query() const { return query_; }
    vdata::DataSource& source() const { return source_; }

    // Adds `suffix` to the object names of the panel's widgets, so that a
    // second panel in a window has names of its own (GridChild, ...).
    void nameWidgets(const QString& suffix);

    // The counter of a new panel, and of a query that is closed.
    void showNoDataset();
    // Opens the query when it has a text and is not open yet.
    void openIfSet();
    // The columns that can be searched: integers of every size (keys
    // included), dates and texts.
    void fillSearchColumns();
    // Reads the query again; a failure closes it, says so in the counter
    // and goes to the caller.
    void refresh();
    void showClosed();
    void showRecord();
    // Ascending on the first click, then descending, then ascending again.
    // A refused sort keeps the order and shows nothing.
    void sort(const QString& fieldName);
    // The navigator's Refresh (F5) reads the query again as refresh() does
    // and comes back to the current row and the scroll position, where by
    // itself it runs the query's own refresh (which keeps the record number
    // and leaves the counter as it is).
    void readAgainOnRefresh();
    // Saves a change pending in the grid before the window closes; see the
    // .cpp for when the window closes without it.
    bool savePendingEdit();

    // Searches for the box's term: on from the current row, forward or
    // `backward` and around the end, when the term and column are those of
    // the last search; from the first (last) row when they are new. A term
    // that starts with "*" matches anywhere in a text. A miss and a search
    // that went around the end say so through statusMessage.
    void find(bool backward = false);

    // Reads the rest of a table read in steps, with the progress dialog;
    // false when cancelled or failed (see tk::readAllRows).
    bool readAllRows();

    // Shows only the rows that meet the filter box's condition; an empty box
    // shows every row again. Says through statusMessage how many match. A
    // condition that cannot be read raises, with the part of the box's text
    // it stumbled on selected, and the rows shown stay as they were.
    void applyFilter();

    // The field an entry of a search-column list refers to; null when the
    // entry is missing or its query was closed since the list was filled.
    static std::shared_ptr<vdata::Field> entryField(const QComboBox* list, int index);

    static const QString searchPlaceholder;      // a new box
    static const QString searchAgainPlaceholder; // a box left empty
    static const QString noDataset;              // the counter of a closed query
    // How long a read in steps runs before the counter shows the rows read
    // so far: a shorter read shows its total only.
    static constexpr int countWhileReadingAfterMs = 500;

signals:
    // The query was read again through the navigator's Refresh button.
    void refreshed();
    // A short note on what a search did, for the host's status bar.
    void statusMessage(const QString& text);

private:
    void connectHandlers();
    void followQuery(const vdata::DataEvent& e);
    QString shownTotal() const;
    void addNavigatorKeys();
    void fitSearchBar();
    void flowTopBar();
    void setNavigatorCaptions();
    bool beforeNavigatorAction(int button);
    void readAgainKeepingPlace();
    int findRowAgain(const std::vector<std::string>& names,
                     const std::vector<vdata::Value>& before) const;
    void showPointerOver(int x, int y);
    void enterSearchBox();
    void leaveSearchBox();
    std::optional<QString> searchTerm() const;
    vdata::LocateStart searchStart(const QString& term, const std::string& field,
                                   bool backward) const;
    void showMatch(int row, const vdata::Field& field, const vdata::LocateStart& start);
    void markFilterError(const vdata::FilterError& e);

    vdata::DataSource& source_;
    vdata::Query& query_;
    // The last search, so that the next one can go on from its match: its
    // term, its column and the value the box was given for the match.
    std::optional<QString> lastTerm_;
    std::string lastField_;
    QString filledText_;
    int subscription_ = 0;    // the panel's own watch on the query
    QElapsedTimer readSince_; // since the read in steps started
};

Q_DECLARE_METATYPE(std::weak_ptr<vdata::Field>)
