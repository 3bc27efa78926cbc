// Measures the SQL editor as a user meets it, section by section:
//   completion  a catalogue of 10,000 tables of 20 columns each; the time
//               from a key press to the completion list shown, for the
//               widest lists (every table after FROM, on Ctrl+Space and on a
//               typed letter) and for an alias's columns and a join
//               condition. Target: 50 ms each, the slowest of the repeats.
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

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const char* only = argc > 2 ? argv[2] : nullptr;
    const std::vector<std::pair<const char*, std::function<void(int)>>> sections = {
        {"completion", completionSection},
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
