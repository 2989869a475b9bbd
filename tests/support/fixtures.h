#pragma once

#include <QByteArray>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QString>

// Files made by tools outside the project, kept read-only in ../shared/fixtures: a test copies one into its
// own folder and never writes to the original.
inline QString fixturePath(const QString& relative) {
    return QStringLiteral(ESUN_SOURCE_DIR "/../shared/fixtures/") + relative;
}

// Copies a fixture to `target`, writable as a school's own copy would be; false if it cannot.
inline bool placeFixture(const QString& relative, const QString& target) {
    return QFile::copy(fixturePath(relative), target) &&
           QFile::setPermissions(target,
                                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
}

// The SHA-256 of a file's bytes (empty for a file that cannot be read).
inline QByteArray fileHash(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result().toHex();
}

// Every file of a folder, hidden ones included, with the hash of its bytes.
inline QMap<QString, QByteArray> folderState(const QString& folder) {
    QMap<QString, QByteArray> state;
    const QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System))
        state.insert(name, fileHash(dir.filePath(name)));
    return state;
}
