#include "sqlfile.h"

#include <QFile>

#include <sqlite3.h>

SqlFile::SqlFile(const QString& path, Relations relations) {
    if (sqlite3_open(QFile::encodeName(path).constData(), &m_db) != SQLITE_OK)
        qFatal("cannot open %s", qPrintable(path));
    if (relations == Checked)
        exec(QStringLiteral("PRAGMA foreign_keys=ON"));
}

SqlFile::~SqlFile() {
    sqlite3_close(m_db);
}

QList<QVariantList> SqlFile::rows(const QString& sql) const {
    sqlite3_stmt* st = nullptr;
    QList<QVariantList> result;
    if (sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK)
        qFatal("bad test SQL: %s", sqlite3_errmsg(m_db));
    while (sqlite3_step(st) == SQLITE_ROW) {
        QVariantList row;
        for (int c = 0; c < sqlite3_column_count(st); ++c) {
            switch (sqlite3_column_type(st, c)) {
            case SQLITE_NULL:
                row << QVariant();
                break;
            case SQLITE_INTEGER:
                row << QVariant(sqlite3_column_int64(st, c));
                break;
            default:
                row << QVariant(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, c))));
            }
        }
        result << row;
    }
    sqlite3_finalize(st);
    return result;
}

QString SqlFile::scalar(const QString& sql) const {
    return rows(sql).value(0).value(0).toString();
}

QString SqlFile::exec(const QString& sql) const {
    char* message = nullptr;
    const int rc = sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &message);
    const QString text = message ? QString::fromUtf8(message) : QString();
    sqlite3_free(message);
    return rc == SQLITE_OK ? QString() : text;
}
