// Measures the SQL editor as a user meets it, section by section:
//   completion  a catalogue of 10,000 tables of 20 columns each; the time
//               from a key press to the completion list shown, for the
//               widest lists (every table after FROM, on Ctrl+Space and on a
//               typed letter) and for an alias's columns and a join
//               condition. Target: 50 ms each, the slowest of the repeats.
//
//   typing      a script of 100,000 lines (statements, strings, comments
//               over two lines, dollar-quoted bodies): set, shown and painted;
//               Ctrl+End (everything coloured up to the end); keys typed at
//               the end, in the middle and at the top, each painted. Targets:
//               1 s to open, 16 ms a key, the slowest of all keys. The same
//               editor without colouring is the baseline, measured alongside.
//
//   bench_editor [repeats] [section]   (QT_QPA_PLATFORM=offscreen without a display)
#include "bench/BenchSupport.h"
#include "toolkit/SqlCompleter.h"
#include "toolkit/SqlEditor.h"

#include <QApplication>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace bench;

namespace {

int failures = 0;

void report(const char* measure, double seconds, double targetSeconds) {
    const bool pass = seconds <= targetSeconds;
    failures += pass ? 0 : 1;
    std::printf("%-48s %8.2f ms  target <= %.0f ms  %s\n", measure, seconds * 1000,
                targetSeconds * 1000, pass ? "PASS" : "FAIL");
}

// Tables t00000.. with columns c00..c19; each table's c01 references the
// previous table's c00.
std::shared_ptr<const vdata::SchemaCatalog> bigCatalog(int tables, int columns) {
    auto catalog = std::make_shared<vdata::SchemaCatalog>();
    char name[16];
    for (int t = 0; t < tables; ++t) {
        std::snprintf(name, sizeof name, "t%05d", t);
        vdata::SchemaCatalog::Table& table = catalog->tables.emplace_back();
        table.name = name;
        for (int c = 0; c < columns; ++c) {
            std::snprintf(name, sizeof name, "c%02d", c);
            table.columns.emplace_back(name);
        }
        if (t > 0) {
            catalog->keys.push_back(
                {{}, table.name, {"c01"}, catalog->tables[t - 1].name, {"c00"}});
        }
    }
    catalog->buildIndex();
    return catalog;
}

// The slowest of `repeats` runs of: the editor holding `text`, the caret at
// its end, then `press` until the list is shown.
double slowestShow(tk::SqlEditor& editor, const tk::SqlCompleter& completer, const QString& text,
                   const std::function<void()>& press, int repeats) {
    double slowest = 0;
    for (int i = 0; i < repeats; ++i) {
        QTest::keyClick(&editor, Qt::Key_Escape);
        editor.setText(text);
        editor.SendScintilla(tk::SqlEditor::SCI_DOCUMENTEND);
        QApplication::processEvents();
        const auto start = Clock::now();
        press();
        const bool shown = completer.listShown();
        slowest = std::max(slowest, seconds(start));
        if (!shown) {
            std::printf("  the list did not show for: %s\n", qPrintable(text));
            ++failures;
        }
    }
    return slowest;
}

void completionSection(int repeats) {
    const auto started = Clock::now();
    const auto catalog = bigCatalog(10000, 20);
    std::printf("catalogue of 10,000 tables x 20 columns built in %.0f ms\n",
                seconds(started) * 1000);
    tk::SqlEditor editor;
    auto* completer = new tk::SqlCompleter(&editor);
    completer->setCatalog(catalog);
    editor.resize(800, 600);
    editor.show();
    QApplication::setActiveWindow(&editor);
    editor.setFocus();
    const auto ctrlSpace = [&] { QTest::keyClick(&editor, Qt::Key_Space, Qt::ControlModifier); };
    const auto type = [&](char c) { return [&editor, c] { QTest::keyClick(&editor, c); }; };
    constexpr double target = 0.050;
    report("Ctrl+Space after FROM (10,000 tables)",
           slowestShow(editor, *completer, "SELECT * FROM ", ctrlSpace, repeats), target);
    report("typing \"t\" after FROM (10,000 tables)",
           slowestShow(editor, *completer, "SELECT * FROM ", type('t'), repeats), target);
    report("typing \".\" after an alias (20 columns)",
           slowestShow(editor, *completer, "SELECT * FROM t05000 a WHERE a", type('.'), repeats),
           target);
    report("typing \" \" after ON (join condition)",
           slowestShow(editor, *completer, "SELECT * FROM t05000 a JOIN t05001 b ON", type(' '),
                       repeats),
           target);
}

// A script of `lines` lines of statements, strings, comments over two
// lines and dollar-quoted bodies.
QString longScript(int lines) {
    static const char* const shapes[] = {
        "SELECT a.id, 'it''s; here' AS note, \"Quoted Name\" FROM t%1 a WHERE a.x = :p%1;",
        "/* a comment over %1", "   two lines; */ UPDATE t%1 SET v = v + 1 WHERE id = %1;",
        "-- just a note %1; with a semicolon",
        "INSERT INTO t%1 (id, name) VALUES (%1, $$body; %1$$);"};
    QString text;
    text.reserve(qsizetype(lines) * 60);
    for (int i = 0; i < lines; ++i) {
        text += QString::fromLatin1(shapes[i % 5]).arg(i) + QLatin1Char('\n');
    }
    return text;
}

struct EditorTimes {
    double open;  // text set, shown and painted
    double toEnd; // Ctrl+End painted
    double slowestKey;
    double medianKey;
};

// Opens `text`, goes to its end, then types at the end, in the middle and at
// the top (where what follows may have to be coloured again), painting
// after each key as the screen would.
EditorTimes openAndType(tk::SqlEditor& editor, const QString& text, int repeats) {
    editor.resize(900, 700);
    auto start = Clock::now();
    editor.setText(text);
    editor.show();
    editor.repaint();
    QApplication::processEvents();
    EditorTimes times{seconds(start), 0, 0, 0};
    start = Clock::now();
    QTest::keyClick(&editor, Qt::Key_End, Qt::ControlModifier);
    editor.repaint();
    times.toEnd = seconds(start);
    std::vector<double> keys;
    const int lines = editor.lines();
    for (int round = 0; round < repeats; ++round) {
        for (const int line : {lines - 1, lines / 2, 0}) {
            editor.setCursorPosition(line, 0);
            editor.ensureLineVisible(line);
            editor.repaint();
            for (const char c : std::string("select x, '")) {
                const auto key = Clock::now();
                QTest::keyClick(&editor, c);
                editor.repaint();
                QApplication::processEvents();
                keys.push_back(seconds(key));
            }
        }
    }
    std::sort(keys.begin(), keys.end());
    times.slowestKey = keys.back();
    times.medianKey = keys[keys.size() / 2];
    return times;
}

void typingSection(int repeats) {
    const QString script = longScript(100000);
    tk::SqlEditor coloured;
    const EditorTimes sql = openAndType(coloured, script, std::min(repeats, 3));
    tk::SqlEditor plain;
    plain.setLexer(nullptr);
    const EditorTimes base = openAndType(plain, script, std::min(repeats, 3));
    std::printf("baseline, the editor without colouring: open %.0f ms, Ctrl+End %.0f ms, "
                "keys %.2f ms slowest, %.2f ms median\n",
                base.open * 1000, base.toEnd * 1000, base.slowestKey * 1000, base.medianKey * 1000);
    report("open 100,000 lines", sql.open, 1.0);
    report("Ctrl+End (all of it coloured)", sql.toEnd, 1.0);
    report("slowest key typed", sql.slowestKey, 0.016);
    std::printf("median key %.2f ms (%.2f x the baseline)\n", sql.medianKey * 1000,
                sql.medianKey / base.medianKey);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const char* only = argc > 2 ? argv[2] : nullptr;
    const std::vector<std::pair<const char*, std::function<void(int)>>> sections = {
        {"completion", completionSection},
        {"typing", typingSection},
    };
    for (const auto& [name, run] : sections) {
        if (!only || std::strcmp(only, name) == 0) {
            std::printf("== %s (%d repeats)\n", name, repeats);
            run(repeats);
        }
    }
    std::printf("%s\n", failures == 0 ? "PASS" : "FAIL");
    return failures == 0 ? 0 : 1;
}
