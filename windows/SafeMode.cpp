#include "windows/SafeMode.h"

#include "data/service/Connection.h"
#include "data/service/WholeTableChange.h"
#include "toolkit/Dialogs.h"

#include <QLocale>

#include <optional>

namespace {

// The table's rows, as a count with thousands separators; none when the
// count fails.
std::optional<QString> rowCount(vdata::Connection& connection, const std::string& table) {
    try {
        const vdata::ResultSet count = connection.select("SELECT COUNT(*) FROM " + table);
        const std::string rows = count.rows.value(0, 0).toText();
        return QLocale(QLocale::English).toString(QString::fromStdString(rows).toLongLong());
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace

// A table that cannot be counted is not asked about: the statement then
// fails the same way and the engine's message says why.
bool allowWholeTableChange(vdata::Connection& connection, const std::string& statement) {
    const std::optional<vdata::WholeTableChange> change =
        vdata::wholeTableChange(statement, connection.engine().sqlFamily());
    if (!change) {
        return true;
    }
    const std::optional<QString> rows = rowCount(connection, change->sql);
    if (!rows) {
        return true;
    }
    return tk::Dialogs::current().confirm(QStringLiteral("Safe mode"),
                                          QStringLiteral("This changes all %1 rows of %2. Run it?")
                                              .arg(*rows, QString::fromStdString(change->name)));
}
