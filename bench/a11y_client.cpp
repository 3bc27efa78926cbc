// An accessibility client in a process of its own, as a screen reader is: it
// finds the program of process `pid` on the AT-SPI bus, walks its windows to
// the first table of at least `rows` rows, and reads the first cell's name,
// role and state. Prints how long the walk and the cell took, in seconds, and
// the cell's name; exits with 1 when the table or its cell cannot be found.
//
//   a11y_client <pid> <rows>     (in the D-Bus session of the program)
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>

#include <chrono>
#include <cstdio>
#include <deque>
#include <optional>
#include <utility>
#include <vector>

namespace {

constexpr auto rootPath = "/org/a11y/atspi/accessible/root";
constexpr auto accessible = "org.a11y.atspi.Accessible";
constexpr auto table = "org.a11y.atspi.Table";
constexpr unsigned tableRole = 55; // ATSPI_ROLE_TABLE

struct Object {
    QString bus;
    QString path;
};

QDBusMessage call(const QDBusConnection& bus, const Object& o, const char* interface,
                  const char* method, const QVariantList& args = {}) {
    QDBusMessage m =
        QDBusMessage::createMethodCall(o.bus, o.path, QString::fromLatin1(interface), method);
    m.setArguments(args);
    const QDBusMessage reply = bus.call(m, QDBus::Block, 10000);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        std::fprintf(stderr, "%s.%s on %s: %s\n", interface, method, qPrintable(o.path),
                     qPrintable(reply.errorMessage()));
    }
    return reply;
}

QVariant property(const QDBusConnection& bus, const Object& o, const char* interface,
                  const char* name) {
    const QDBusMessage reply = call(bus, o, "org.freedesktop.DBus.Properties", "Get",
                                    {QString::fromLatin1(interface), QString::fromLatin1(name)});
    return reply.arguments().isEmpty() ? QVariant()
                                       : reply.arguments().front().value<QDBusVariant>().variant();
}

Object reference(const QDBusArgument& arg) {
    Object o;
    QDBusObjectPath path;
    arg.beginStructure();
    arg >> o.bus >> path;
    arg.endStructure();
    o.path = path.path();
    return o;
}

std::vector<Object> children(const QDBusConnection& bus, const Object& o) {
    const QDBusMessage reply = call(bus, o, accessible, "GetChildren");
    std::vector<Object> found;
    if (reply.arguments().isEmpty()) {
        return found;
    }
    const auto arg = reply.arguments().front().value<QDBusArgument>();
    arg.beginArray();
    while (!arg.atEnd()) {
        found.push_back(reference(arg));
    }
    arg.endArray();
    return found;
}

unsigned role(const QDBusConnection& bus, const Object& o) {
    const QDBusMessage reply = call(bus, o, accessible, "GetRole");
    return reply.arguments().isEmpty() ? 0 : reply.arguments().front().toUInt();
}

// The program's own root among the applications the registry knows.
std::optional<Object> application(const QDBusConnection& bus, uint pid) {
    for (const Object& app : children(bus, {"org.a11y.atspi.Registry", rootPath})) {
        const QDBusMessage reply =
            call(bus, {"org.freedesktop.DBus", "/org/freedesktop/DBus"}, "org.freedesktop.DBus",
                 "GetConnectionUnixProcessID", {app.bus});
        if (!reply.arguments().isEmpty() && reply.arguments().front().toUInt() == pid) {
            return app;
        }
    }
    return std::nullopt;
}

// The first table of at least `rows` rows, breadth first; a table's own children
// (its cells) are never listed.
std::optional<Object> findTable(const QDBusConnection& bus, const Object& app, int rows) {
    std::deque<Object> queue{app};
    while (!queue.empty()) {
        const Object o = queue.front();
        queue.pop_front();
        if (role(bus, o) == tableRole) {
            if (property(bus, o, table, "NRows").toInt() >= rows) {
                return o;
            }
            continue;
        }
        for (Object& child : children(bus, o)) {
            queue.push_back(std::move(child));
        }
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: a11y_client <pid> <rows>\n");
        return 2;
    }
    const uint pid = QByteArray(argv[1]).toUInt();
    const int rows = QByteArray(argv[2]).toInt();
    const QDBusMessage address =
        call(QDBusConnection::sessionBus(), {"org.a11y.Bus", "/org/a11y/bus"}, "org.a11y.Bus",
             "GetAddress");
    if (address.arguments().isEmpty()) {
        return 1;
    }
    const QDBusConnection bus =
        QDBusConnection::connectToBus(address.arguments().front().toString(), "a11y");
    // A screen reader listens for what the program tells; the bridge sends
    // its events only once someone does.
    for (const char* event : {"object:", "window:", "focus:"}) {
        call(bus, {"org.a11y.atspi.Registry", "/org/a11y/atspi/registry"},
             "org.a11y.atspi.Registry", "RegisterEvent",
             {QString::fromLatin1(event), QStringList(), QString()});
    }
    const std::optional<Object> root = application(bus, pid);
    if (!root) {
        std::fprintf(stderr, "the program is not on the accessibility bus\n");
        return 1;
    }
    // Every question below waits for the program to answer it.
    const auto start = std::chrono::steady_clock::now();
    const std::optional<Object> grid = findTable(bus, *root, rows);
    if (!grid) {
        std::fprintf(stderr, "no table of at least %d rows in the program's windows\n", rows);
        return 1;
    }
    const QDBusMessage at = call(bus, *grid, table, "GetAccessibleAt", {0, 0});
    if (at.arguments().isEmpty()) {
        return 1;
    }
    const Object cell = reference(at.arguments().front().value<QDBusArgument>());
    const QString name = property(bus, cell, accessible, "Name").toString();
    role(bus, cell);
    call(bus, cell, accessible, "GetState");
    const double took =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%.3f %s\n", took, qPrintable(name));
    return name.isEmpty() ? 1 : 0;
}
