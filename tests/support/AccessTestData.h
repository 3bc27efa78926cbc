#pragma once

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QString>
#include <QtTest>

// The real Access files the tests read: ../shared/testdata/access beside the
// checkout (ACCESS_TESTDATA, set by CMake). They are opened, never written:
// AccessTestData remembers their checksums so a test can check every byte is
// still as it was.
class AccessTestData {
public:
    static QString folder() { return QStringLiteral(ACCESS_TESTDATA); }
    static bool present() { return QDir(folder()).exists(); }
    static QString file(const QString& name) { return QDir(folder()).filePath(name); }

    AccessTestData() {
        for (const QString& name : QDir(folder()).entryList(QDir::Files)) {
            sums_.insert(name, checksum(file(name)));
        }
    }

    // The names of the files whose bytes changed since construction.
    QStringList changed() const {
        QStringList names;
        for (auto it = sums_.begin(); it != sums_.end(); ++it) {
            if (checksum(file(it.key())) != it.value()) {
                names << it.key();
            }
        }
        return names;
    }

private:
    static QByteArray checksum(const QString& path) {
        QFile f(path);
        QCryptographicHash hash(QCryptographicHash::Sha256);
        if (f.open(QIODevice::ReadOnly)) {
            hash.addData(&f);
        }
        return hash.result();
    }

    QMap<QString, QByteArray> sums_;
};

// Skips the test function when the Access files are absent (CI checks that
// they are there, so there it never skips).
#define SKIP_WITHOUT_ACCESS_FILES()                                                                \
    if (!AccessTestData::present())                                                                \
    QSKIP(qPrintable("The Access test files are missing: " + AccessTestData::folder()))
