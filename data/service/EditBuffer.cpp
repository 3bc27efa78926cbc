#include "data/service/EditBuffer.h"

namespace vdata {

void EditBuffer::start(std::vector<Value> values) {
    changed_.assign(values.size(), false);
    values_ = std::move(values);
    modified_ = false;
    conflicted_ = false;
}

void EditBuffer::clear() {
    values_.clear();
    changed_.clear();
    modified_ = false;
    conflicted_ = false;
}

void EditBuffer::set(std::size_t column, const Value& v) {
    fill(column, v);
    modified_ = true;
}

void EditBuffer::fill(std::size_t column, const Value& v) {
    values_.at(column) = v;
    changed_.at(column) = true;
}

RowEdit EditBuffer::edit(const Target& target, std::vector<Value> original) const {
    RowEdit e;
    e.columns = &target.columns;
    e.table = target.table;
    e.original = std::move(original);
    e.current = values_;
    e.changed = changed_;
    return e;
}

template <class Write>
std::vector<Value> EditBuffer::written(Write&& write, std::exception_ptr& unread) {
    try {
        return write();
    } catch (const RowNotReadBack& e) {
        unread = std::current_exception();
        return e.written();
    } catch (const DataError& e) {
        conflicted_ = e.kind() == ErrorKind::Conflict;
        throw;
    }
}

std::vector<Value> EditBuffer::update(const Target& target, std::vector<Value> original,
                                      std::exception_ptr& unread) {
    const RowEdit e = edit(target, std::move(original));
    return written([&] { return target.engine.updateRow(e); }, unread);
}

std::vector<Value> EditBuffer::insert(const Target& target, std::exception_ptr& unread) {
    const RowEdit e = edit(target, {});
    return written([&] { return target.engine.insertRow(e); }, unread);
}

void EditBuffer::remove(const Target& target, std::vector<Value> row) {
    EditBuffer unchanged;
    unchanged.start(row);
    target.engine.deleteRow(unchanged.edit(target, std::move(row)));
}

} // namespace vdata
