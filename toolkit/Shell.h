#pragma once

#include <QString>

namespace tk {

// The desktop shell's "open": hands a web address or a "mailto:" link to the
// user's default browser or mail program. Failures (nothing registered for
// the link) are ignored. Tests install their own Shell to see what was opened.
class Shell {
public:
    virtual ~Shell() = default;

    // `target` is passed exactly as given; the real shell turns it into a URL.
    virtual void open(const QString& target) = 0;

    static Shell& current();
    // Installs s (not owned); nullptr puts the real shell back.
    static void install(Shell* s);
};

// Shell::current().open(target).
void shellOpen(const QString& target);

} // namespace tk
