#pragma once

#include <QTableWidget>

#include <stdexcept>

namespace tk {

// A refusal of the key/value list; the default error report shows its text.
class ListEditError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A two-column list of key/value pairs. Rows are selected whole and never
// edited in place; Delete or Ctrl+Delete deletes the selected pair. Keys are unique
// (letter case ignored) and contain no "=". With no pairs one empty row is
// shown, so cell(1, 1) is empty exactly when the list is empty.
class ValueListEditor : public QTableWidget {
    Q_OBJECT
public:
    explicit ValueListEditor(QWidget* parent = nullptr);

    void setTitles(const QString& keyTitle, const QString& valueTitle);

    // Adds a pair (at the end when `append`, else first) and returns its
    // 0-based index. Raises ListEditError for a duplicate key or a key with "=".
    int insertPair(const QString& key, const QString& value, bool append = true);
    void deletePair(int index);
    void clearPairs();

    int pairCount() const;
    QString key(int index) const;
    QString value(int index) const;
    int findKey(const QString& key) const; // letter case ignored; -1 when none
    // Classic cell access: column 0 keys, 1 values; row 0 is the title row.
    QString cell(int column, int row) const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void showPlaceholderRow();
    bool placeholderShown_ = false;
};

} // namespace tk
