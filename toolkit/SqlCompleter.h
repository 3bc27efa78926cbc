#pragma once

#include "data/service/SqlCompletion.h"

#include <QObject>

#include <memory>

namespace tk {

class CompletionList;
class SqlEditor;

// Completion in a SQL editor: as the user types a name (or a quote or a dot
// before one), after "ON " that follows a join, and on Ctrl+Space, a list
// of what fits at the caret; Return or Tab writes the chosen item in place
// of what was typed of it, Escape closes the list. Tab after
// "JOIN t [alias]" offers the ON clause. Without a catalogue only keywords
// are offered.
class SqlCompleter : public QObject {
    Q_OBJECT
public:
    explicit SqlCompleter(SqlEditor* editor);

    void setCatalog(std::shared_ptr<const vdata::SchemaCatalog> catalog);
    const vdata::SchemaCatalog* catalog() const { return catalog_.get(); }
    // Shows what fits at the caret; whether there was anything.
    bool showAtCaret();
    bool listShown() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void charAdded(int c);
    bool show(const vdata::Completion& completion);
    void hide();
    bool listKey(int key);
    void choose(const QString& text);
    vdata::Completion atCaret(bool joinClause) const;
    bool endsStatement(std::size_t pos) const;
    std::string_view text() const;
    std::size_t caret() const;

    SqlEditor* editor_;
    CompletionList* list_;
    std::shared_ptr<const vdata::SchemaCatalog> catalog_;
    std::size_t from_ = 0;
};

} // namespace tk
