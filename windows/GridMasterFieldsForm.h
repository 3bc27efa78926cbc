#pragma once

#include "windows/GridFieldsForm.h"

#include "ui_GridMasterFieldsForm.h"

#include <string>
#include <utility>
#include <vector>

// The master-detail window: the data grid window plus a child set (grid,
// navigator, search box, counter and QueryChild, the detail of Query through
// the master link) and a setup area that pairs master fields with child
// fields. Every data window of the program is one of these.
class TfrmGridMasterFields : public TfrmGridFields, public Ui::frmGridMasterFields {
    Q_OBJECT
public:
    explicit TfrmGridMasterFields(vdata::Connection& connection, DataWindowHost* host = nullptr);
    ~TfrmGridMasterFields() override;

    vdata::DataSource DataSourceChild{&QueryChild};
    vdata::Query QueryChild;

    // Runs the inherited initialisation, then fills both table lists.
    void FormCreate(QObject* Sender = nullptr) override;

    // What the window is opened for: a view of one table, the freehand query
    // or the master-detail setup.
    enum class Use { Table, Freehand, MasterDetail };
    // Sets the window up for `use` (`table` names the table of a table view),
    // activates it and gives the keyboard to where its work starts. A table
    // that fails to open leaves the window with its caption, and the error
    // goes to the caller.
    void SetUpFor(Use use, const QString& table = QString());

    // The text QueryChild gets for a child table and the relation pairs, and
    // the master field of each parameter whose name differs from it.
    struct ChildQuery {
        std::string text;
        vdata::Query::ParameterFields parameterFields;
    };
    static ChildQuery childQueryText(const std::string& childTable,
                                     const std::vector<std::pair<std::string, std::string>>& pairs);

public slots:
    void cboMasterTableClick();
    void cboMasterTableClick(QObject* Sender);
    void AddRelButtonClick();
    void MCRefreshButtonClick();

protected:
    vdata::Query* ownedQuery(const std::string& name) override;

private:
    void setUpPanels(Use use, const QString& table);
    void focusFirstInput();
    void placeOwnLayout();
    void fillTableLists();
    void fillSearchLists();
    std::vector<std::pair<std::string, std::string>> relationPairs() const;
};
