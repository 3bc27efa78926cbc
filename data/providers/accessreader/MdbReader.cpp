#include "data/providers/accessreader/MdbReader.h"

#include "data/providers/accessreader/AccessValues.h"
#include "data/service/Errors.h"

#include <charconv>
#include <cstring>
#include <filesystem>
#include <memory>

namespace vdata {
namespace {

// Room for the longest text or memo value as UTF-8 (65,535 characters of up
// to three bytes each) and for a page of an OLE object.
constexpr std::size_t bindSize = 3 * 65536 + 1;

// The types MDB Tools turns into text (memo and OLE it also follows to their
// own pages); every other value is read from the row's bytes here.
bool boundByLibrary(int type) {
    return type == MDB_TEXT || type == MDB_MEMO || type == MDB_NUMERIC || type == MDB_REPID ||
           type == MDB_OLE;
}

// `size` little-endian bytes at `at` as an unsigned number.
std::uint64_t littleEndian(const unsigned char* at, int size) {
    std::uint64_t v = 0;
    for (int i = size - 1; i >= 0; --i) {
        v = (v << 8) | at[i];
    }
    return v;
}

template <typename T> T fromBits(std::uint64_t bits) {
    T v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

// A Single as the double that prints as its shortest form (0.1, not
// 0.100000001490116).
double singleAsDouble(float f) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, f).ptr;
    double d = f;
    std::from_chars(text, end, d);
    return d;
}

bool isSystemTable(const MdbCatalogEntry& entry) {
    return mdb_is_system_table(const_cast<MdbCatalogEntry*>(&entry)) ||
           std::strncmp(entry.object_name, "MSys", 4) == 0;
}

DataError damaged(const std::string& what) {
    return DataError(what + "; the file is damaged.", ErrorKind::NotADatabase);
}

void setText(Value& v, const char* p, std::size_t n) {
    v.kind = Value::Kind::Text;
    v.s.assign(p, n);
}

} // namespace

MdbReader::MdbReader(const std::string& path)
    : path_(path), mdb_(mdb_open(path.c_str(), MDB_NOFLAGS)) {
    if (!mdb_) {
        throw damaged("'" + path + "' cannot be read as an Access database");
    }
    mdb_set_bind_size(mdb_.get(), bindSize);
    // A file cut short makes MDB Tools read stale page buffers as pages,
    // which can keep it busy for minutes: an Access file is whole pages.
    std::error_code failed;
    const std::uintmax_t size = std::filesystem::file_size(path, failed);
    if (failed || size % static_cast<std::uintmax_t>(mdb_->fmt->pg_size) != 0) {
        throw damaged("'" + path + "' is cut short (not a whole number of pages)");
    }
    if (!mdb_read_catalog(mdb_.get(), MDB_TABLE)) {
        throw damaged("The catalogue of '" + path + "' cannot be read");
    }
    checkCatalogue();
    for (unsigned i = 0; i < mdb_->num_catalog; ++i) {
        const auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb_->catalog, i));
        if (entry->object_type == MDB_TABLE && !isSystemTable(*entry)) {
            tables_.emplace_back(entry->object_name);
        }
    }
}

MdbReader::Table MdbReader::openTable(const std::string& name) {
    MdbCatalogEntry* entry = mdb_get_catalogentry_by_name(mdb_.get(), name.c_str());
    Table table(entry ? mdb_read_table(entry) : nullptr);
    if (!table || !mdb_read_columns(table.get())) {
        throw damaged("Table " + name + " of '" + path_ + "' cannot be read");
    }
    return table;
}

std::vector<AccessColumn> MdbReader::columns(const std::string& name) {
    const Table table = openTable(name);
    std::vector<AccessColumn> columns;
    for (unsigned i = 0; i < table->num_cols; ++i) {
        const auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
        columns.push_back({col->name, col->col_type, col->is_long_auto || col->is_uuid_auto,
                           col->col_prec, col->col_scale});
    }
    return columns;
}

void MdbReader::readRows(const std::string& name, const AccessRowSink& sink) {
    const Table table = openTable(name);
    const unsigned count = table->num_cols;
    std::vector<std::unique_ptr<char[]>> texts(count);
    std::vector<int> lengths(count, 0);
    for (unsigned i = 0; i < count; ++i) {
        const auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
        if (boundByLibrary(col->col_type)) {
            texts[i].reset(new char[bindSize]);
            texts[i][0] = '\0';
            mdb_bind_column(table.get(), static_cast<int>(i) + 1, texts[i].get(), &lengths[i]);
        }
    }
    mdb_rewind_table(table.get());
    std::vector<Value> row(count);
    unsigned rows = 0;
    while (mdb_fetch_row(table.get())) {
        // Pages that link back to each other would hand out rows forever.
        if (rows == table->num_rows) {
            throw damaged("Table " + name + " of '" + path_ + "' holds more rows than its " +
                          "definition says (" + std::to_string(table->num_rows) + ")");
        }
        for (unsigned i = 0; i < count; ++i) {
            auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
            readValue(*col, texts[i].get(), lengths[i], row[i]);
        }
        sink(row);
        ++rows;
    }
    checkAllRowsRead(name, *table, rows);
}

// MDB Tools skips pages it cannot read without saying so; the table's
// definition holds how many rows there are.
void MdbReader::checkAllRowsRead(const std::string& name, const MdbTableDef& table,
                                 unsigned rows) const {
    if (rows != table.num_rows) {
        throw damaged("Table " + name + " of '" + path_ + "' holds " +
                      std::to_string(table.num_rows) + " rows, of which only " +
                      std::to_string(rows) + " can be read");
    }
}

// The catalogue lists what MDB Tools could read of it; a catalogue cut short
// would show fewer tables without a word.
void MdbReader::checkCatalogue() {
    const Table catalogue = openTable("MSysObjects");
    mdb_rewind_table(catalogue.get());
    unsigned rows = 0;
    while (rows <= catalogue->num_rows && mdb_fetch_row(catalogue.get())) {
        ++rows;
    }
    checkAllRowsRead("MSysObjects", *catalogue, rows);
}

void MdbReader::readValue(MdbColumn& col, const char* text, int textLength, Value& value) {
    // A Yes/No value lives in the row's null mask: set means Yes.
    if (col.col_type == MDB_BOOL) {
        value.kind = Value::Kind::Int;
        value.i = col.cur_value_len == 0 ? 1 : 0;
        return;
    }
    const int start = col.cur_value_start;
    const int length = col.cur_value_len;
    const int fixed = col.col_type == MDB_BINARY ? length : mdb_col_fixed_size(&col);
    if (length == 0 || start < 0 ||
        (!boundByLibrary(col.col_type) && (fixed <= 0 || start + fixed > mdb_->fmt->pg_size))) {
        value.kind = Value::Kind::Null;
        return;
    }
    const unsigned char* at = mdb_->pg_buf + start;
    value.kind = Value::Kind::Int;
    switch (col.col_type) {
    case MDB_BYTE:
        value.i = at[0];
        return;
    case MDB_INT:
        value.i = static_cast<std::int16_t>(littleEndian(at, 2));
        return;
    case MDB_LONGINT:
    case MDB_COMPLEX:
        value.i = static_cast<std::int32_t>(littleEndian(at, 4));
        return;
    case MDB_MONEY:
        setText(value, "", 0);
        value.s = accessCurrencyText(static_cast<std::int64_t>(littleEndian(at, 8)));
        return;
    case MDB_FLOAT:
        value.kind = Value::Kind::Real;
        value.d = singleAsDouble(fromBits<float>(littleEndian(at, 4)));
        return;
    case MDB_DOUBLE:
        value.kind = Value::Kind::Real;
        value.d = fromBits<double>(littleEndian(at, 8));
        return;
    case MDB_DATETIME: {
        const auto date = accessDateText(fromBits<double>(littleEndian(at, 8)));
        value.kind = date ? Value::Kind::Text : Value::Kind::Null;
        value.s = date.value_or(std::string());
        return;
    }
    case MDB_BINARY:
        value.kind = Value::Kind::Blob;
        value.s.assign(reinterpret_cast<const char*>(at), static_cast<std::size_t>(length));
        return;
    case MDB_OLE: {
        // The object's length stands before its first part, which MDB
        // Tools placed in the bound buffer.
        const std::size_t stored =
            littleEndian(reinterpret_cast<const unsigned char*>(text), 4) & 0x3fffffff;
        std::size_t size = 0;
        std::unique_ptr<void, decltype(&std::free)> bytes(
            mdb_ole_read_full(mdb_.get(), &col, &size), &std::free);
        if (!bytes || size != stored) {
            throw DataError("An OLE object in column " + std::string(col.name) + " of '" + path_ +
                                "' cannot be read whole; the file is damaged.",
                            ErrorKind::NotADatabase);
        }
        value.kind = Value::Kind::Blob;
        value.s.assign(static_cast<const char*>(bytes.get()), size);
        return;
    }
    default:
        setText(value, text, static_cast<std::size_t>(textLength));
    }
}

} // namespace vdata
