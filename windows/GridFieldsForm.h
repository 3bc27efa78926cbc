#pragma once

#include "data/service/Command.h"
#include "data/service/DataSource.h"
#include "data/service/Query.h"
#include "ui_GridFieldsForm.h"

#include <QMetaType>
#include <QWidget>

#include <memory>

class QComboBox;
class DataWindowHost;
namespace tk {
class DBGrid;
} // namespace tk
namespace tk {
class DBNavigator;
} // namespace tk
namespace tk {
class EditBox;
} // namespace tk

// The data grid window: one query in an editable grid with its navigator,
// search box, record counter, title-click sorting and a freehand SQL panel.
// Every handler serves the window's own components (the main set) and the
// components whose names end in "Child" (the child set of the derived
// master-detail window); a window without a child set works alone.
class TfrmGridFields : public QWidget, public Ui::frmGridFields {
    Q_OBJECT
public:
    enum class CloseAction { None, Free };

    // Loads the layout and runs the initialisation. Every query and command
    // of the window uses `connection`. With a host the window becomes one of
    // the host's windows and shows its state in the host's banner.
    explicit TfrmGridFields(vdata::Connection& connection, DataWindowHost* host = nullptr);
    ~TfrmGridFields() override;

    vdata::DataSource DataSource{&Query};
    vdata::Query Query;
    vdata::Command Command;

    void SetTitle(const QString& title);
    QString title() const { return title_; }

    static bool IsChildName(const QString& name);
    static bool IsChildName(const std::string& name);

    // Initialisation; may run any number of times with the same result.
    virtual void FormCreate(QObject* Sender = nullptr);
    void FormActivate(QObject* Sender = nullptr);
    void FormClose(QObject* Sender, CloseAction& Action);

    void RefreshDataSet(vdata::Query* dataSet);
    void QueryAfterScroll(vdata::Query* dataSet);
    void SetNavigatorCaptions(tk::DBNavigator* navigator);
    void FillSearchFields(QComboBox* list, vdata::Query* dataSet);
    void SortGrid(tk::DBGrid* grid, const QString& fieldName);

    // The first word of a line, lower-cased (see the .cpp for the rule).
    static QString FirstWord(const QString& line);

    // The field an entry of a search-column list refers to; null when the
    // entry is missing or its query was closed since the list was filled.
    static std::shared_ptr<vdata::Field> entryField(const QComboBox* list, int index);

    // The child set as found by the last initialisation (null when absent).
    vdata::Query* childQuery() const { return queryChild_; }
    tk::DBGrid* childGrid() const { return gridChild_; }
    tk::DBNavigator* childNavigator() const { return navigatorChild_; }
    QComboBox* childSearchList() const { return cboTraziPoChild_; }
    tk::EditBox* childSearchBox() const { return edTraziChild_; }

    static const QString searchPlaceholder;      // a new box
    static const QString searchAgainPlaceholder; // a box left empty
    static const QString noDataset;              // the counter of a closed query

public slots:
    void GridTitleClick(QObject* Sender, const QString& fieldName);
    void GridMouseMove(QObject* Sender, Qt::KeyboardModifiers Shift, int X, int Y);
    void GridKeyDown(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift);
    void DBNavigatorBeforeAction(tk::DBNavigator* Sender, int Button);

    void edTraziEnter(QObject* Sender);
    void edTraziExit(QObject* Sender);
    void cboTraziPoClick();
    void cboTraziPoClick(QObject* Sender);
    void edTraziKeyDown(QObject* Sender, int Key, Qt::KeyboardModifiers Shift);

    void RefreshButtonClick();

protected:
    struct NoInit {};
    // For a derived window: loads this layout, leaves the initialisation to it.
    TfrmGridFields(vdata::Connection& connection, DataWindowHost* host, NoInit);

    // A query the window owns, by its name; null when none.
    virtual vdata::Query* ownedQuery(const std::string& name);
    // Runs the initialisation, sending errors to the default error report.
    void initialise();

    void attachToHost();
    vdata::Connection& connection() const { return connection_; }

    void closeEvent(QCloseEvent* event) override;
    bool savePendingEdits();
    bool savePendingEdit(tk::DBGrid& grid);
    // The counter of a query that is closed says so.
    void showClosed(const vdata::Query& dataSet);

private:
    void setupLayout();
    void bindQuery(vdata::Query& query);
    QLabel* counterFor(const vdata::Query& dataSet) const;
    tk::DBNavigator* navigatorFor(const vdata::Query& dataSet) const;
    void runSelect(const QString& text);
    void runStatement(const QString& text);

    vdata::Connection& connection_;
    DataWindowHost* const host_;
    QString title_;
    vdata::Query* queryChild_ = nullptr;
    tk::DBGrid* gridChild_ = nullptr;
    tk::DBNavigator* navigatorChild_ = nullptr;
    QComboBox* cboTraziPoChild_ = nullptr;
    tk::EditBox* edTraziChild_ = nullptr;
};

Q_DECLARE_METATYPE(std::weak_ptr<vdata::Field>)
