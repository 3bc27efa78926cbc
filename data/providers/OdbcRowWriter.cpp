#include "data/providers/OdbcRowWriter.h"

#include "data/service/Errors.h"
#include "data/service/TextHelpers.h"

namespace vdata {

namespace {

WriteBackDialect odbcDialect(const OdbcSession& session, const OdbcTableInfo& table) {
    WriteBackDialect d;
    d.placeholder = [](int) { return std::string("?"); };
    d.table = session.quoted(table.name);
    d.namesFoldCase = session.info().namesFoldCase;
    d.quote = [&session](const std::string& name) { return session.quoted(name); };
    return d;
}

} // namespace

OdbcRowWriter::OdbcRowWriter(const OdbcSession& session, const OdbcTableInfo& table,
                             const RowEdit& edit)
    : edit_(edit), sql_(edit, odbcDialect(session, table)),
      key_(table.name, table.key, edit, session.info().namesFoldCase) {}

} // namespace vdata
