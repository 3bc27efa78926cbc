#pragma once

// The whole program as a benchmark drives it: the connection manager and the
// main window, shown at a size that fits a big table, connected to a file.

#include "app/MainWindow.h"
#include "connection/ConnectionManager.h"

#include <QCoreApplication>
#include <QString>

#include <string>

struct ShownProgram {
    ConnectionManager dataModule;
    MainWindow form;

    explicit ShownProgram(const std::string& path) {
        form.resize(1280, 900);
        form.show();
        QCoreApplication::processEvents();
        dataModule.OpenDatabase(QString::fromStdString(path), true, QString());
    }
};
