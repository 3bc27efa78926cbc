#pragma once

// The whole program on one main window, driven through its menus and its
// tree as a person does: open a file, click a table, work in the window,
// disconnect.

#include "tests/support/GridDriver.h"
#include "tests/support/WindowTestEnv.h"

namespace robust {

// Shown at a size that fits its data windows.
struct Program : ProgramFixture {
    Program() { show(); }
};

} // namespace robust
