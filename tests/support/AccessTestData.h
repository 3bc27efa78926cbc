#pragma once

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QString>
#include <QtTest>

#include <array>
#include <cstring>

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

namespace accessdata {

inline QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// RC4, which masks an Access file's header from offset 0x18 on.
inline void rc4(QByteArray& data, int from, int length) {
    const std::array<unsigned char, 4> key{0xc7, 0xda, 0x39, 0x6b};
    std::array<unsigned char, 256> s{};
    for (int i = 0; i < 256; ++i) {
        s[i] = static_cast<unsigned char>(i);
    }
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[i % 4]) & 0xff;
        std::swap(s[i], s[j]);
    }
    for (int k = 0, i = 0, j = 0; k < length; ++k) {
        i = (i + 1) & 0xff;
        j = (j + s[i]) & 0xff;
        std::swap(s[i], s[j]);
        data[from + k] = static_cast<char>(data[from + k] ^ s[(s[i] + s[j]) & 0xff]);
    }
}

// A copy of an Access file whose header holds `password` as Access keeps
// it: at 0x42, in single bytes (Access 97) or UTF-16 masked with the whole
// days of the creation date at 0x72 (later versions).
inline void writePasswordCopy(const QString& from, const QString& to, const QString& password) {
    QFile in(from);
    QVERIFY(in.open(QIODevice::ReadOnly));
    QByteArray bytes = in.readAll();
    const bool jet3 = bytes[0x14] == 0;
    const int masked = jet3 ? 126 : 128;
    rc4(bytes, 0x18, masked);
    if (jet3) {
        const QByteArray latin1 = password.toLatin1();
        for (int i = 0; i < latin1.size(); ++i) {
            bytes[0x42 + i] = latin1[i];
        }
    } else {
        double created = 0;
        std::memcpy(&created, bytes.constData() + 0x72, sizeof created);
        const auto days = static_cast<quint32>(static_cast<qint32>(created));
        for (int i = 0; i < password.size(); ++i) {
            const char16_t c = password[i].unicode();
            bytes[0x42 + 2 * i] = static_cast<char>((c & 0xff) ^ (days >> (8 * ((2 * i) % 4))));
            bytes[0x43 + 2 * i] = static_cast<char>((c >> 8) ^ (days >> (8 * ((2 * i + 1) % 4))));
        }
    }
    rc4(bytes, 0x18, masked);
    QFile out(to);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(bytes);
}

} // namespace accessdata

// Skips the test function when the Access files are absent (CI checks that
// they are there, so there it never skips).
#define SKIP_WITHOUT_ACCESS_FILES()                                                                \
    if (!AccessTestData::present())                                                                \
    QSKIP(qPrintable("The Access test files are missing: " + AccessTestData::folder()))
