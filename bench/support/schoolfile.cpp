#include "schoolfile.h"

#include <QFile>

#include <sqlite3.h>

void makeSchoolFile(const QString& path, const QString& rowsSql) {
    QFile schema(QStringLiteral(ESUN_SOURCE_DIR "/resources/sample/schema.sql"));
    if (!schema.open(QIODevice::ReadOnly))
        qFatal("schema.sql not found beside the benchmark's sources");
    const QByteArray sql = schema.readAll() + rowsSql.toUtf8();
    sqlite3* db = nullptr;
    if (sqlite3_open(QFile::encodeName(path).constData(), &db) != SQLITE_OK)
        qFatal("cannot create %s", qPrintable(path));
    char* error = nullptr;
    if (sqlite3_exec(db, sql.constData(), nullptr, nullptr, &error) != SQLITE_OK)
        qFatal("cannot fill the database: %s", error);
    sqlite3_close(db);
}
