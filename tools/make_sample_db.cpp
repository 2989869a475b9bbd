// make_sample_db [--force] <file>: makes the school's sample database from resources/sample/schema.sql
// (the tables) and resources/sample/sample.sql (the rows), both compiled into the tool. An existing file is
// kept unless --force is given; the new file is built beside it under a temporary name and only then put in
// its place, so a failure never leaves half a database behind.

#include "base/tool.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <sqlite3.h>

#include <cstdio>
#include <optional>

namespace {

using tool::say;

int fail(const QString& text) {
    say(stderr, QStringLiteral("make_sample_db: ") + text);
    return 1;
}

std::optional<QByteArray> readSource(const QString& name, QString* error) {
    const QString path = QStringLiteral(":/sample/") + name;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    return file.readAll();
}

// Runs SQL on an open database; returns the engine's message on failure.
QString run(sqlite3* db, const QByteArray& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql.constData(), nullptr, nullptr, &message) == SQLITE_OK)
        return {};
    QString text = message ? QString::fromUtf8(message) : QString::fromUtf8(sqlite3_errmsg(db));
    sqlite3_free(message);
    return text.isEmpty() ? QStringLiteral("unknown database error") : text;
}

int count(sqlite3* db, const char* sql) {
    sqlite3_stmt* statement = nullptr;
    int result = -1;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW)
        result = sqlite3_column_int(statement, 0);
    sqlite3_finalize(statement);
    return result;
}

// Builds the database at `path`; returns an error text, empty on success, and a summary of what was made.
QString build(const QString& path, const QByteArray& schema, const QByteArray& rows, QString* summary) {
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK) {
        QString text = QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
        sqlite3_close(db);
        return text;
    }
    QString error = run(db, "PRAGMA foreign_keys=ON; BEGIN;");
    if (error.isEmpty())
        error = run(db, schema);
    if (error.isEmpty())
        error = run(db, rows);
    if (error.isEmpty() && count(db, "SELECT COUNT(*) FROM pragma_foreign_key_check") != 0)
        error = QStringLiteral("the sample rows refer to rows that do not exist");
    if (error.isEmpty())
        error = run(db, "COMMIT;");
    if (error.isEmpty()) {
        *summary = QStringLiteral("%1 classes, %2 pupils, %3 topics, %4 questions, %5 answers, %6 results")
                       .arg(count(db, "SELECT COUNT(*) FROM \"класс\""))
                       .arg(count(db, "SELECT COUNT(*) FROM \"Ученики\""))
                       .arg(count(db, "SELECT COUNT(*) FROM \"Тема\""))
                       .arg(count(db, "SELECT COUNT(*) FROM \"Вопрос\""))
                       .arg(count(db, "SELECT COUNT(*) FROM \"Ответы\""))
                       .arg(count(db, "SELECT COUNT(*) FROM \"результаты\""));
    }
    sqlite3_close(db);
    return error;
}

} // namespace

int main(int argc, char** argv) {
    bool force = false;
    QStringList files;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == QLatin1String("--force"))
            force = true;
        else if (arg.startsWith(QLatin1Char('-')))
            return fail(QStringLiteral("unknown option %1\nusage: make_sample_db [--force] <file>").arg(arg));
        else
            files << arg;
    }
    if (files.size() != 1)
        return fail(QStringLiteral("usage: make_sample_db [--force] <file>"));

    const QString target = files.first();
    const QFileInfo info(target);
    if (info.isDir())
        return fail(QStringLiteral("%1 is a folder").arg(target));
    if (info.exists() && !force)
        return fail(QStringLiteral("%1 already exists; add --force to replace it").arg(target));
    if (!info.absoluteDir().exists())
        return fail(QStringLiteral("the folder %1 does not exist").arg(info.absolutePath()));

    QString error;
    const auto schema = readSource(QStringLiteral("schema.sql"), &error);
    if (!schema)
        return fail(error);
    const auto rows = readSource(QStringLiteral("sample.sql"), &error);
    if (!rows)
        return fail(error);

    const QString temporary = target + QStringLiteral(".new");
    QFile::remove(temporary);
    QString summary;
    error = build(temporary, *schema, *rows, &summary);
    if (!error.isEmpty()) {
        QFile::remove(temporary);
        return fail(QStringLiteral("cannot make %1: %2").arg(target, error));
    }
    if (info.exists() && !QFile::remove(target)) {
        QFile::remove(temporary);
        return fail(QStringLiteral("cannot replace %1").arg(target));
    }
    if (!QFile::rename(temporary, target)) {
        QFile::remove(temporary);
        return fail(QStringLiteral("cannot write %1").arg(target));
    }
    say(stdout, QStringLiteral("Made %1: %2").arg(target, summary));
    return 0;
}
