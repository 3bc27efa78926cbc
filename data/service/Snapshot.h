#pragma once

#include "data/service/ByteArena.h"
#include "data/service/PackedInts.h"
#include "data/service/TextDictionary.h"
#include "data/service/Value.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace vdata {

// A static, compact copy of a result, column by column. Each column keeps its
// cells in the narrowest width that holds them: integers as they are,
// decimal reals such as prices as scaled integers, other reals as their
// bits, texts as a code into the column's dictionary while it repeats few
// values, else as a reference into a shared byte arena. Rows are only
// appended; an edited cell gets new arena bytes. A cell is read in constant
// time.
class Snapshot {
public:
    explicit Snapshot(std::size_t columns = 0);

    std::size_t columnCount() const { return columns_.size(); }
    std::size_t rowCount() const { return rows_; }

    // Building, cell by cell in column order; a row ends after its last column.
    void appendNull();
    void appendInt(std::int64_t v);
    void appendReal(double v);
    void appendText(std::string_view v);
    void appendBlob(std::string_view v);
    void appendValue(const Value& v);
    std::size_t appendRow(const std::vector<Value>& values); // returns the new row's index

    Value::Kind kind(std::size_t row, std::size_t col) const { return columns_[col].kind(row); }
    bool isNull(std::size_t row, std::size_t col) const {
        return kind(row, col) == Value::Kind::Null;
    }
    std::int64_t intAt(std::size_t row, std::size_t col) const { return columns_[col].cells[row]; }
    double realAt(std::size_t row, std::size_t col) const;
    std::string_view bytesAt(std::size_t row, std::size_t col) const; // text or blob
    Value value(std::size_t row, std::size_t col) const;
    std::vector<Value> row(std::size_t row) const;

    void set(std::size_t row, std::size_t col, const Value& v);
    void setRow(std::size_t row, const std::vector<Value>& values);

    std::size_t memoryUsed() const;
    // Makes room for `rows` rows in all, so that a big result read in steps
    // is not copied as it grows.
    void makeRoom(std::size_t rows);
    // Gives back the room kept for rows still to come, once none will.
    void shrinkToFit();

private:
    // A column whose cells all have one kind (the usual case) keeps that kind
    // once; a kind byte per cell appears with the first cell of another kind.
    struct Column {
        Value::Kind uniform = Value::Kind::Null;
        std::vector<Value::Kind> kinds; // empty while the column is uniform
        PackedInts cells;
        std::unique_ptr<TextDictionary> dictionary; // while text cells hold codes
        bool plainText = false;                     // the dictionary was given up
        int realScale = 0;                          // real cells hold value * 10^realScale ...
        bool realBits = false;                      // ... unless they hold the double's bits

        Value::Kind kind(std::size_t row) const { return kinds.empty() ? uniform : kinds[row]; }
        void setKind(std::size_t row, Value::Kind k);
    };

    std::int64_t slotOf(Column& c, const Value& v);
    std::int64_t textSlot(Column& c, std::string_view text);
    std::int64_t realSlot(Column& c, double v);
    void dropDictionary(Column& c);
    static bool rescaleReals(Column& c, int scale);
    static void keepRealBits(Column& c);
    void push(Value::Kind kind, std::int64_t slot);

    std::vector<Column> columns_;
    ByteArena arena_;
    std::size_t rows_ = 0;
    std::size_t nextColumn_ = 0;
};

} // namespace vdata
