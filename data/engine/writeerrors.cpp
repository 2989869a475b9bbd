#include "writeerrors.h"

#include "connection.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <sqlite3.h>

namespace {

// A table whose rows still refer to the given row through a foreign key that does not cascade.
QString referencingTable(const Connection& connection, const QString& realTable, qint64 rowid) {
    const QSqlDatabase db = connection.database();
    for (const QString& other : connection.tableNames()) {
        QSqlQuery keys(db);
        keys.prepare(QStringLiteral("SELECT \"table\", \"from\", \"to\" FROM pragma_foreign_key_list(?)"));
        keys.addBindValue(other);
        keys.exec();
        while (keys.next()) {
            if (!Connection::sameName(keys.value(0).toString(), realTable))
                continue;
            const QString to = keys.value(2).toString();
            QSqlQuery probe(db);
            probe.prepare(
                QStringLiteral("SELECT 1 FROM %1 WHERE %2 = (SELECT %3 FROM %4 WHERE rowid=?) LIMIT 1")
                    .arg(Connection::quoted(other), Connection::quoted(keys.value(1).toString()),
                         to.isEmpty() ? QStringLiteral("rowid") : Connection::quoted(to),
                         Connection::quoted(realTable)));
            probe.addBindValue(rowid);
            if (probe.exec() && probe.next())
                return other;
        }
    }
    return {};
}

// The first written key whose row is missing from the table it refers to, as a sentence.
QString missingParent(const Connection& connection, const QString& realTable,
                      const QHash<QString, QVariant>& values) {
    const QSqlDatabase db = connection.database();
    QSqlQuery keys(db);
    keys.prepare(QStringLiteral("SELECT \"table\", \"from\", \"to\" FROM pragma_foreign_key_list(?)"));
    keys.addBindValue(realTable);
    keys.exec();
    while (keys.next()) {
        const QString parent = keys.value(0).toString();
        const QString from = keys.value(1).toString();
        const QString to = keys.value(2).toString();
        const QVariant value = values.value(from);
        if (value.isNull())
            continue;
        QSqlQuery probe(db);
        probe.prepare(QStringLiteral("SELECT 1 FROM %1 WHERE %2 = ? LIMIT 1")
                          .arg(Connection::quoted(parent),
                               to.isEmpty() ? QStringLiteral("rowid") : Connection::quoted(to)));
        probe.addBindValue(value);
        if (probe.exec() && !probe.next())
            return QStringLiteral("в таблице «%1» нет записи, на которую ссылается поле «%2» (%3).")
                .arg(parent, from, value.toString());
    }
    return {};
}

} // namespace

QString explainWriteError(const Connection& connection, const QString& realTable, const QString& text,
                          bool deleting, qint64 rowid, const QHash<QString, QVariant>& values) {
    if (text.contains(QLatin1String("FOREIGN KEY constraint failed"))) {
        if (deleting) {
            const QString other = referencingTable(connection, realTable, rowid);
            return other.isEmpty() ? QStringLiteral("на неё ссылаются записи другой таблицы.")
                                   : QStringLiteral("на неё ссылаются записи таблицы «%1».").arg(other);
        }
        const QString missing = missingParent(connection, realTable, values);
        return missing.isEmpty() ? QStringLiteral("в связанной таблице нет записи с таким ключом.") : missing;
    }
    const QString column = text.section(u'.', -1).trimmed();
    if (text.contains(QLatin1String("UNIQUE constraint failed")))
        return QStringLiteral("значение поля «%1» уже есть в другой записи.").arg(column);
    if (text.contains(QLatin1String("NOT NULL constraint failed")))
        return QStringLiteral("поле «%1» должно быть заполнено.").arg(column);
    if (text.contains(QLatin1String("CHECK constraint failed")))
        return QStringLiteral("значение не удовлетворяет условию таблицы (%1).").arg(text);
    return text;
}

QString fileProblem(int sqliteCode, const QString& text) {
    // The file was deleted, or another one put in its place, under the open connection.
    if (sqliteCode == SQLITE_READONLY_DBMOVED)
        return QStringLiteral("файл базы данных удалён или заменён другим, пока программа работала; "
                              "перезапустите программу.");
    // A file cut short or replaced loses its tables under the open connection.
    if ((sqliteCode & 0xff) == SQLITE_ERROR && text.contains(QLatin1String("no such table")))
        return QStringLiteral("в файле базы данных нет нужной таблицы: файл повреждён или заменён другим.");
    switch (sqliteCode & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("база данных занята другой программой, повторите позже.");
    case SQLITE_READONLY:
        return QStringLiteral("база данных открыта только для чтения.");
    case SQLITE_FULL:
        return QStringLiteral("на диске не хватает места для базы данных.");
    case SQLITE_CORRUPT:
        return QStringLiteral("файл базы данных повреждён.");
    case SQLITE_NOTADB:
        return QStringLiteral("файл не является базой данных.");
    case SQLITE_CANTOPEN:
        return QStringLiteral("файл базы данных не удаётся открыть.");
    case SQLITE_IOERR:
        return QStringLiteral("произошла ошибка ввода-вывода при работе с файлом базы данных.");
    case SQLITE_PERM:
        return QStringLiteral("нет доступа к файлу базы данных.");
    default:
        return {};
    }
}

QString failureText(const QString& lead, const QSqlError& error) {
    const QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    const QString problem = fileProblem(error.nativeErrorCode().toInt(), text);
    return problem.isEmpty() ? text : lead + problem;
}

QString failureText(const QString& lead, sqlite3* handle) {
    const QString text = QString::fromUtf8(sqlite3_errmsg(handle));
    const QString problem = fileProblem(sqlite3_extended_errcode(handle), text);
    return problem.isEmpty() ? text : lead + problem;
}
