#include "sqlitebackend.h"

#include "base/sqlname.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

#include <sqlite3.h>

using namespace backend;

namespace {

// Text compared as Jet compares it: letter case ignored in every alphabet.
int unocase(void*, int lengthA, const void* a, int lengthB, const void* b) {
    const QStringView sa(static_cast<const QChar*>(a), lengthA / 2);
    const QStringView sb(static_cast<const QChar*>(b), lengthB / 2);
    return sa.compare(sb, Qt::CaseInsensitive);
}

constexpr int busyWait = 5000; // milliseconds SQLite waits for a lock held by another program

DatabaseError errorOf(const QSqlError& e) {
    const QString text = e.databaseText().isEmpty() ? e.text() : e.databaseText();
    return {SqliteBackend::fileProblem(e.nativeErrorCode().toInt(), text), text};
}

// Opens the file as the QtSql connection `name`; the failure, the connection then removed again.
std::optional<DatabaseError> openHandle(const QString& path, int busyTimeout, const QString& name) {
    std::optional<DatabaseError> error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded) +
                           QStringLiteral("?mode=rw"));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeout));
        if (!db.open()) {
            error = errorOf(db.lastError());
        } else {
            QSqlQuery pragma(db);
            if (!pragma.exec(QStringLiteral("PRAGMA foreign_keys=ON")) ||
                !pragma.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")))
                error = errorOf(pragma.lastError());
        }
        if (!error) {
            sqlite3* h = *static_cast<sqlite3* const*>(db.driver()->handle().constData());
            if (sqlite3_create_collation_v2(h, "UNOCASE", SQLITE_UTF16_ALIGNED, nullptr, unocase, nullptr) !=
                SQLITE_OK)
                error = DatabaseError{{}, QString::fromUtf8(sqlite3_errmsg(h))};
            sqlite3_busy_timeout(h, busyWait);
            // Extended codes tell a file deleted or replaced under the connection from a read-only one.
            sqlite3_extended_result_codes(h, 1);
        }
        if (error)
            db.close();
    }
    if (error)
        QSqlDatabase::removeDatabase(name);
    return error;
}

void removeConnection(const QString& name) {
    QSqlDatabase::database(name, false).close();
    QSqlDatabase::removeDatabase(name);
}

// A write transaction that takes the database's write lock at once; rolled back unless committed.
class WriteTransaction {
public:
    explicit WriteTransaction(const QSqlDatabase& db) : m_query(db) {
        m_begun = m_query.exec(QStringLiteral("BEGIN IMMEDIATE"));
    }
    ~WriteTransaction() {
        if (m_begun)
            m_query.exec(QStringLiteral("ROLLBACK")); // nothing was written, so nothing is lost
    }
    WriteTransaction(const WriteTransaction&) = delete;
    WriteTransaction& operator=(const WriteTransaction&) = delete;

    bool begun() const { return m_begun; }
    bool commit() {
        if (!m_query.exec(QStringLiteral("COMMIT")))
            return false;
        m_begun = false;
        return true;
    }
    QSqlError error() const { return m_query.lastError(); }

private:
    QSqlQuery m_query;
    bool m_begun = false;
};

// A failed write: a rule of the tables by SQLite's words, otherwise the failure as it is.
[[noreturn]] void writeFailed(const QSqlError& e) {
    const DatabaseError error = errorOf(e);
    const QString& text = error.text;
    const QString column = text.section(u'.', -1).trimmed();
    if (error.problem.isEmpty()) {
        if (text.contains(QLatin1String("FOREIGN KEY constraint failed")))
            throw Refused{{Refusal::ForeignKey, {}, text}};
        if (text.contains(QLatin1String("UNIQUE constraint failed")))
            throw Refused{{Refusal::Unique, column, text}};
        if (text.contains(QLatin1String("NOT NULL constraint failed")))
            throw Refused{{Refusal::NotNull, column, text}};
        if (text.contains(QLatin1String("CHECK constraint failed")))
            throw Refused{{Refusal::Check, {}, text}};
    }
    throw error;
}

class SqliteRows final : public RowStream {
public:
    SqliteRows(sqlite3* handle, const QString& sql, qint64 estimate)
        : m_handle(handle), m_estimate(estimate) {
        const QByteArray utf8 = sql.toUtf8();
        if (sqlite3_prepare_v2(handle, utf8.constData(), int(utf8.size()), &m_stmt, nullptr) != SQLITE_OK)
            throwLast();
    }
    ~SqliteRows() override { sqlite3_finalize(m_stmt); }
    SqliteRows(const SqliteRows&) = delete;
    SqliteRows& operator=(const SqliteRows&) = delete;

    void bindKey(qint64 key) { sqlite3_bind_int64(m_stmt, 1, key); }
    qint64 sizeHint() const override { return m_estimate; }
    bool next() override {
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            throwLast();
        return false;
    }
    qint64 key() const override { return sqlite3_column_int64(m_stmt, 0); }
    // Each value is taken once through sqlite3_column_value (one lock of the connection instead of one per
    // accessor); the connection is used by this thread only.
    Cell cell(int column) const override {
        sqlite3_value* value = sqlite3_column_value(m_stmt, column + 1);
        Cell c;
        switch (sqlite3_value_type(value)) {
        case SQLITE_NULL:
            break;
        case SQLITE_INTEGER:
            c.type = Cell::Integer;
            c.integer = sqlite3_value_int64(value);
            break;
        case SQLITE_FLOAT:
            c.type = Cell::Real;
            c.real = sqlite3_value_double(value);
            break;
        default:
            c.type = Cell::Text;
            c.text = reinterpret_cast<const char*>(sqlite3_value_text(value));
            c.length = sqlite3_value_bytes(value);
        }
        return c;
    }

private:
    [[noreturn]] void throwLast() const {
        const QString text = QString::fromUtf8(sqlite3_errmsg(m_handle));
        throw DatabaseError{SqliteBackend::fileProblem(sqlite3_extended_errcode(m_handle), text), text};
    }

    sqlite3* m_handle;
    sqlite3_stmt* m_stmt = nullptr;
    qint64 m_estimate;
};

int reopenings = 0;

} // namespace

SqliteBackend::SqliteBackend(const QString& path, const QString& connectionName, int busyTimeout)
    : m_path(path), m_name(connectionName) {
    if (const auto error = openHandle(path, busyTimeout, connectionName))
        throw *error;
}

SqliteBackend::~SqliteBackend() {
    removeConnection(m_name);
}

QSqlDatabase SqliteBackend::database() const {
    return QSqlDatabase::database(m_name, false);
}

sqlite3* SqliteBackend::handle() const {
    const QVariant h = database().driver()->handle();
    return *static_cast<sqlite3* const*>(h.constData());
}

bool SqliteBackend::isReadOnly() const {
    return sqlite3_db_readonly(handle(), "main") == 1;
}

void SqliteBackend::prepareForWriting() {
    // A database opened read-only stays so even once its file becomes writable, so it is opened again
    // (quietly, tables untouched) in case the cause has gone.
    if (!isReadOnly())
        return;
    const QString name = QStringLiteral("%1~%2").arg(m_name).arg(++reopenings);
    if (openHandle(m_path, busyWait, name))
        return; // it cannot be opened again: the write itself reports why
    removeConnection(m_name);
    m_name = name;
}

QStringList SqliteBackend::tableNames() const {
    QStringList names;
    QSqlQuery q(database());
    q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type IN ('table','view') "
                          "AND name NOT LIKE 'sqlite_%' ORDER BY rowid"));
    while (q.next())
        names.append(q.value(0).toString());
    return names;
}

QVector<ColumnInfo> SqliteBackend::columns(const QString& table) const {
    QVector<ColumnInfo> result;
    QSqlQuery q(database());
    q.prepare(QStringLiteral("SELECT name, type, pk FROM pragma_table_info(?)"));
    q.addBindValue(table);
    q.exec();
    while (q.next())
        result.append({q.value(0).toString(), q.value(1).toString(), q.value(2).toInt() > 0});
    return result;
}

QVector<Reference> SqliteBackend::references() const {
    QVector<Reference> result;
    for (const QString& table : tableNames()) {
        QSqlQuery keys(database());
        keys.prepare(
            QStringLiteral("SELECT \"table\", \"from\", \"to\", on_delete FROM pragma_foreign_key_list(?)"));
        keys.addBindValue(table);
        keys.exec();
        while (keys.next())
            if (keys.value(3).toString().compare(QLatin1String("CASCADE"), Qt::CaseInsensitive) != 0)
                result.append({table, keys.value(1).toString(), keys.value(0).toString(),
                               keys.value(2).toString().isEmpty() ? QStringLiteral("rowid")
                                                                  : keys.value(2).toString()});
    }
    return result;
}

std::unique_ptr<RowStream> SqliteBackend::select(const QString& table, const QStringList& columns,
                                                 std::optional<qint64> key, bool) {
    sqlite3* h = handle();
    QStringList names{QStringLiteral("rowid")};
    for (const QString& name : columns)
        names.append(quotedSqlName(name));
    QString sql = QStringLiteral("SELECT %1 FROM %2").arg(names.join(u','), quotedSqlName(table));
    qint64 estimate = 1;
    if (key) {
        sql += QStringLiteral(" WHERE rowid=?");
    } else {
        // The largest rowid estimates the row count in logarithmic time (counting would read the whole table
        // once more); only a sparse table is counted.
        auto single = [&](const QString& text) {
            SqliteRows rows(h, text, 0);
            return rows.next() ? rows.key() : 0;
        };
        estimate = single(QStringLiteral("SELECT max(rowid) FROM %1").arg(quotedSqlName(table)));
        if (estimate > 4'000'000 || estimate < 0)
            estimate = single(QStringLiteral("SELECT count(*) FROM %1").arg(quotedSqlName(table)));
    }
    auto rows = std::make_unique<SqliteRows>(h, sql, estimate);
    if (key)
        rows->bindKey(*key);
    return rows;
}

std::unique_ptr<RowStream> SqliteBackend::selectAfter(const QString& table, const QStringList& columns,
                                                      qint64 key) {
    QStringList names{QStringLiteral("rowid")};
    for (const QString& name : columns)
        names.append(quotedSqlName(name));
    auto rows = std::make_unique<SqliteRows>(handle(),
                                             QStringLiteral("SELECT %1 FROM %2 WHERE rowid>? ORDER BY rowid")
                                                 .arg(names.join(u','), quotedSqlName(table)),
                                             1);
    rows->bindKey(key);
    return rows;
}

qint64 SqliteBackend::write(const RowWrite& write) {
    const QString table = quotedSqlName(write.table);
    QStringList names;
    for (const QString& column : write.columns)
        names.append(quotedSqlName(column));
    QString sql;
    switch (write.kind) {
    case RowWrite::Insert: {
        const QStringList marks(names.size(), QStringLiteral("?"));
        sql = names.isEmpty() ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table)
                              : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                    .arg(table, names.join(u','), marks.join(u','));
        break;
    }
    case RowWrite::Update: {
        QStringList sets;
        for (const QString& name : names)
            sets.append(name + QStringLiteral("=?"));
        sql = QStringLiteral("UPDATE %1 SET %2 WHERE rowid=?").arg(table, sets.join(u','));
        break;
    }
    case RowWrite::Delete:
        sql = QStringLiteral("DELETE FROM %1 WHERE rowid=?").arg(table);
        break;
    }
    QSqlQuery query(database());
    std::optional<WriteTransaction> transaction;
    if (write.check) {
        transaction.emplace(database());
        if (!transaction->begun())
            writeFailed(transaction->error());
        write.check();
    }
    if (!query.prepare(sql))
        writeFailed(query.lastError());
    for (const QVariant& v : write.values)
        query.addBindValue(v);
    if (write.kind != RowWrite::Insert)
        query.addBindValue(write.key);
    if (!query.exec())
        writeFailed(query.lastError());
    if (transaction && !transaction->commit())
        writeFailed(transaction->error());
    return write.kind == RowWrite::Insert ? query.lastInsertId().toLongLong() : write.key;
}

void SqliteBackend::execute(const QString& sql, const QVariantList& values) {
    QSqlQuery query(database());
    if (!query.prepare(sql))
        writeFailed(query.lastError());
    for (const QVariant& v : values)
        query.addBindValue(v);
    if (!query.exec())
        writeFailed(query.lastError());
}

DatabaseError SqliteBackend::error(const QSqlError& e) const {
    return errorOf(e);
}

QString SqliteBackend::fileProblem(int sqliteCode, const QString& text) {
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
