#include "serverbackend.h"

#include "base/failure.h"
#include "base/sqlname.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>

#include <libpq-fe.h>

#include <charconv>
#include <cstring>

using namespace backend;

namespace {

using Result = std::shared_ptr<PGresult>;

// The lab's views of the tables come first where the server has them; the tables themselves after.
const QString searchPath = QStringLiteral("SET search_path = muzyka_lab, muzyka");

QString field(const PGresult* result, int code) {
    return QString::fromUtf8(PQresultErrorField(result, code));
}

// The column a refusal names: the server's field, or "Key (column)=" of its detail.
QString refusedColumn(const PGresult* result) {
    QString column = field(result, PG_DIAG_COLUMN_NAME);
    if (!column.isEmpty())
        return column;
    const QString detail = field(result, PG_DIAG_MESSAGE_DETAIL);
    const qsizetype open = detail.indexOf(u'(');
    const qsizetype close = detail.indexOf(QLatin1String(")="));
    return open >= 0 && close > open ? detail.mid(open + 1, close - open - 1) : QString();
}

// The rows of one query result, all received before the first is read.
class ServerRows final : public RowStream {
public:
    explicit ServerRows(Result result) : m_result(std::move(result)), m_rows(PQntuples(m_result.get())) {}
    qint64 sizeHint() const override { return m_rows; }
    bool next() override { return ++m_row < m_rows; }
    qint64 key() const override {
        qint64 key = 0;
        const char* text = PQgetvalue(m_result.get(), m_row, 0);
        std::from_chars(text, text + PQgetlength(m_result.get(), m_row, 0), key);
        return key;
    }
    Cell cell(int column) const override {
        Cell c;
        if (PQgetisnull(m_result.get(), m_row, column + 1))
            return c;
        c.type = Cell::Text;
        c.text = PQgetvalue(m_result.get(), m_row, column + 1);
        c.length = PQgetlength(m_result.get(), m_row, column + 1);
        return c;
    }

private:
    Result m_result;
    int m_rows;
    int m_row = -1;
};

// Every row of a table as the rows of a COPY: the server sends them while they are read, and each costs one
// small buffer instead of a place in one result that holds all rows before the first is read.
class CopyRows final : public RowStream {
public:
    CopyRows(PGconn* conn, int columns, qint64 rows, std::function<void(const PGresult*)> failed)
        : m_conn(conn), m_rows(rows), m_failed(std::move(failed)), m_cells(size_t(columns)),
          m_decoded(size_t(columns)) {}
    ~CopyRows() override {
        release();
        if (m_done)
            return;
        // Read to the end, so the connection takes commands again.
        char* line = nullptr;
        while (PQgetCopyData(m_conn, &line, 0) > 0)
            PQfreemem(line);
        while (PGresult* rest = PQgetResult(m_conn))
            PQclear(rest);
    }
    CopyRows(const CopyRows&) = delete;
    CopyRows& operator=(const CopyRows&) = delete;

    qint64 sizeHint() const override { return m_rows; }
    bool next() override {
        release();
        const int length = PQgetCopyData(m_conn, &m_line, 0);
        if (length == -1) {
            m_done = true;
            const Result end(PQgetResult(m_conn), PQclear);
            while (PGresult* rest = PQgetResult(m_conn))
                PQclear(rest);
            if (PQresultStatus(end.get()) != PGRES_COMMAND_OK)
                m_failed(end.get());
            return false;
        }
        if (length < 0) {
            m_done = true;
            m_failed(nullptr);
            return false;
        }
        split(m_line, m_line + length - (length > 0 && m_line[length - 1] == '\n' ? 1 : 0));
        return true;
    }
    qint64 key() const override {
        qint64 key = 0;
        std::from_chars(m_cells[0].text, m_cells[0].text + m_cells[0].length, key);
        return key;
    }
    Cell cell(int column) const override { return m_cells[size_t(column) + 1]; }

private:
    void release() {
        if (m_line)
            PQfreemem(m_line);
        m_line = nullptr;
    }
    // Fields are parted by tabs; "\N" is null; a backslash escapes a control character or itself.
    void split(const char* from, const char* end) {
        for (size_t i = 0; i < m_cells.size(); ++i) {
            const char* stop = static_cast<const char*>(std::memchr(from, '\t', size_t(end - from)));
            if (!stop)
                stop = end;
            Cell& c = m_cells[i];
            const int length = int(stop - from);
            if (length == 2 && from[0] == '\\' && from[1] == 'N') {
                c = Cell{};
            } else if (!std::memchr(from, '\\', size_t(length))) {
                c = Cell{Cell::Text, 0, 0, from, length};
            } else {
                QByteArray& decoded = m_decoded[i];
                decoded.clear();
                for (const char* p = from; p < stop; ++p) {
                    char ch = *p;
                    if (ch == '\\' && p + 1 < stop) {
                        switch (*++p) {
                        case 'b':
                            ch = '\b';
                            break;
                        case 'f':
                            ch = '\f';
                            break;
                        case 'n':
                            ch = '\n';
                            break;
                        case 'r':
                            ch = '\r';
                            break;
                        case 't':
                            ch = '\t';
                            break;
                        case 'v':
                            ch = '\v';
                            break;
                        default:
                            ch = *p;
                        }
                    }
                    decoded.append(ch);
                }
                c = Cell{Cell::Text, 0, 0, decoded.constData(), int(decoded.size())};
            }
            from = stop < end ? stop + 1 : end;
        }
    }

    PGconn* m_conn;
    qint64 m_rows;
    std::function<void(const PGresult*)> m_failed;
    char* m_line = nullptr;
    bool m_done = false;
    std::vector<Cell> m_cells; // the key, then the asked columns
    std::vector<QByteArray> m_decoded;
};

// A value as libpq's text format has it; null stays a null array.
QByteArray parameterText(const QVariant& value) {
    if (value.isNull())
        return {};
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? QByteArrayLiteral("t") : QByteArrayLiteral("f");
    return value.toString().toUtf8();
}

} // namespace

ServerBackend::ServerBackend(const QString& uri, const QString& connectionName)
    : m_address(ServerAddress::parse(uri)), m_name(connectionName) {
    try {
        openServer(m_address, m_name, QStringLiteral("muzyka"));
        run(searchPath);
        if (tableNames().isEmpty())
            throw Failure(QStringLiteral("В базе данных «%1» на сервере «%2» нет таблиц программы: её "
                                         "настраивают командой muzyka_server setup.")
                              .arg(m_address.database, m_address.shown()));
    } catch (const DatabaseError& error) {
        QSqlDatabase::removeDatabase(m_name);
        throw Failure(error.sentence({}));
    } catch (...) {
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
        throw;
    }
}

ServerBackend::~ServerBackend() {
    QSqlDatabase::database(m_name, false).close();
    QSqlDatabase::removeDatabase(m_name);
}

QSqlDatabase ServerBackend::database() const {
    return QSqlDatabase::database(m_name, false);
}

PGconn* ServerBackend::connection() const {
    const QVariant h = database().driver()->handle();
    return *static_cast<PGconn* const*>(h.constData());
}

bool ServerBackend::lost() const {
    PGconn* conn = connection();
    return m_broken || !conn || PQstatus(conn) == CONNECTION_BAD;
}

DatabaseError ServerBackend::lostError() const {
    m_broken = true;
    return {QStringLiteral("нет связи с сервером «%1»: он не отвечает или недоступен по сети; повторите, "
                           "когда связь восстановится.")
                .arg(m_address.shown()),
            {}};
}

void ServerBackend::reconnect() {
    QSqlDatabase db = database();
    db.close();
    if (!db.open())
        throw lostError();
    m_broken = false;
    run(QStringLiteral("SET client_min_messages = warning"));
    run(searchPath);
    // A sign-in outlives the connection: the server keeps its session, the new connection names it again.
    if (!m_session.isEmpty())
        setSession(m_session);
}

Result ServerBackend::run(const QString& sql, const QList<QByteArray>& parameters, const QVector<bool>& nulls,
                          const QVector<bool>& binary) const {
    PGconn* conn = connection();
    if (!conn)
        throw lostError();
    const QByteArray text = sql.toUtf8();
    std::vector<const char*> values;
    std::vector<int> lengths;
    std::vector<int> formats;
    for (qsizetype i = 0; i < parameters.size(); ++i) {
        values.push_back(nulls.value(i) ? nullptr : parameters[i].constData());
        lengths.push_back(int(parameters[i].size()));
        formats.push_back(binary.value(i) ? 1 : 0);
    }
    Result result(PQexecParams(conn, text.constData(), int(values.size()), nullptr, values.data(),
                               lengths.data(), formats.data(), 0),
                  PQclear);
    const ExecStatusType status = PQresultStatus(result.get());
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
        return result;
    failed(result.get());
}

void ServerBackend::failed(const PGresult* result) const {
    PGconn* conn = connection();
    if (!conn || PQstatus(conn) == CONNECTION_BAD)
        throw lostError();
    const QString state = field(result, PG_DIAG_SQLSTATE);
    const QString words = field(result, PG_DIAG_MESSAGE_PRIMARY);
    if (state == u"23503")
        throw Refused{{Refusal::ForeignKey, {}, words}};
    if (state == u"23505")
        throw Refused{{Refusal::Unique, refusedColumn(result), words}};
    if (state == u"23502")
        throw Refused{{Refusal::NotNull, refusedColumn(result), words}};
    if (state == u"23514")
        throw Refused{{Refusal::Check, {}, words}};
    if (state == u"42501")
        throw DatabaseError{
            QStringLiteral("сервер не разрешает этого входу «%1»: %2").arg(m_address.user, words), words,
            state};
    if (state == u"40P01" || state == u"55P03" || state == u"40001")
        throw DatabaseError{QStringLiteral("запись занята другим компьютером, повторите позже."), words};
    if (state.startsWith(u"08") || state.startsWith(u"57P"))
        throw lostError();
    throw DatabaseError{
        {}, words.isEmpty() ? QString::fromUtf8(PQerrorMessage(conn)).trimmed() : words, state};
}

QStringList ServerBackend::tableNames() const {
    if (m_tableNames)
        return *m_tableNames;
    QStringList names;
    const Result result =
        run(QStringLiteral("SELECT c.relname FROM pg_catalog.pg_class c JOIN pg_catalog.pg_namespace n ON "
                           "n.oid = c.relnamespace "
                           "WHERE n.nspname = 'muzyka' AND c.relkind IN ('r', 'v', 'p') ORDER BY c.oid"));
    for (int row = 0; row < PQntuples(result.get()); ++row)
        names.append(QString::fromUtf8(PQgetvalue(result.get(), row, 0)));
    if (!names.isEmpty())
        m_tableNames = names;
    return names;
}

QVector<ColumnInfo> ServerBackend::columns(const QString& table) const {
    if (const auto known = m_columns.constFind(table); known != m_columns.cend())
        return *known;
    QVector<ColumnInfo> result;
    const Result rows =
        run(QStringLiteral("SELECT a.attname, pg_catalog.format_type(a.atttypid, a.atttypmod), "
                           // A view of the lab has no key of its own: its first column is its table's key.
                           "       COALESCE(a.attnum = ANY (i.indkey), c.relkind = 'v' AND a.attnum = 1) "
                           "FROM pg_catalog.pg_attribute a "
                           "JOIN pg_catalog.pg_class c ON c.oid = a.attrelid "
                           "JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace "
                           "LEFT JOIN pg_catalog.pg_index i ON i.indrelid = c.oid AND i.indisprimary "
                           "WHERE c.oid = pg_catalog.to_regclass(pg_catalog.quote_ident($1)) AND a.attnum > "
                           "0 AND NOT a.attisdropped "
                           "ORDER BY a.attnum"),
            {table.toUtf8()});
    for (int row = 0; row < PQntuples(rows.get()); ++row)
        result.append({QString::fromUtf8(PQgetvalue(rows.get(), row, 0)),
                       QString::fromUtf8(PQgetvalue(rows.get(), row, 1)),
                       *PQgetvalue(rows.get(), row, 2) == 't'});
    if (!result.isEmpty())
        m_columns.insert(table, result);
    return result;
}

QVector<Reference> ServerBackend::references() const {
    QVector<Reference> result;
    const Result rows = run(QStringLiteral(
        "SELECT c.relname, a.attname, p.relname, pa.attname "
        "FROM pg_catalog.pg_constraint k "
        "JOIN pg_catalog.pg_class c ON c.oid = k.conrelid "
        "JOIN pg_catalog.pg_class p ON p.oid = k.confrelid "
        "JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace "
        "JOIN pg_catalog.pg_attribute a ON a.attrelid = k.conrelid AND a.attnum = k.conkey[1] "
        "JOIN pg_catalog.pg_attribute pa ON pa.attrelid = k.confrelid AND pa.attnum = k.confkey[1] "
        "WHERE n.nspname = 'muzyka' AND k.contype = 'f' AND k.confdeltype <> 'c'"));
    for (int row = 0; row < PQntuples(rows.get()); ++row)
        result.append({QString::fromUtf8(PQgetvalue(rows.get(), row, 0)),
                       QString::fromUtf8(PQgetvalue(rows.get(), row, 1)),
                       QString::fromUtf8(PQgetvalue(rows.get(), row, 2)),
                       QString::fromUtf8(PQgetvalue(rows.get(), row, 3))});
    return result;
}

QString ServerBackend::rowKey(const QString& table) const {
    // The columns are asked of the catalog once per connection, the key with them.
    for (const ColumnInfo& column : columns(table))
        if (column.primaryKey)
            return quotedSqlName(column.name);
    throw DatabaseError{{}, QStringLiteral("у таблицы «%1» на сервере нет ключа.").arg(table)};
}

std::unique_ptr<RowStream> ServerBackend::select(const QString& table, const QStringList& columns,
                                                 std::optional<qint64> key, bool lock) {
    const QString rowKeyName = rowKey(table);
    QStringList names{rowKeyName};
    for (const QString& name : columns)
        names.append(quotedSqlName(name));
    QString sql = QStringLiteral("SELECT %1 FROM %2").arg(names.join(u','), quotedSqlName(table));
    QList<QByteArray> parameters;
    if (key) {
        sql += QStringLiteral(" WHERE %1 = $1").arg(rowKeyName);
        parameters.append(QByteArray::number(*key));
    }
    if (lock)
        sql += QStringLiteral(" FOR UPDATE");
    if (key)
        return std::make_unique<ServerRows>(run(sql, parameters));
    PGconn* conn = connection();
    if (!conn)
        throw lostError();
    // The rows are counted first in the same round trip, so that the table makes room for them once.
    const QByteArray both =
        QStringLiteral("SELECT pg_catalog.count(*) FROM (%1) r; COPY (%1) TO STDOUT").arg(sql).toUtf8();
    if (!PQsendQuery(conn, both.constData()))
        failed(nullptr);
    const Result count(PQgetResult(conn), PQclear);
    const Result copy(PQresultStatus(count.get()) == PGRES_TUPLES_OK ? PQgetResult(conn) : nullptr, PQclear);
    if (PQresultStatus(copy.get()) != PGRES_COPY_OUT) {
        while (PGresult* rest = PQgetResult(conn))
            PQclear(rest);
        failed(copy ? copy.get() : count.get());
    }
    const qint64 rows = QByteArray(PQgetvalue(count.get(), 0, 0)).toLongLong();
    return std::make_unique<CopyRows>(conn, int(names.size()), rows,
                                      [this](const PGresult* r) { failed(r); });
}

std::unique_ptr<RowStream> ServerBackend::selectAfter(const QString& table, const QStringList& columns,
                                                      qint64 key) {
    const QString rowKeyName = rowKey(table);
    QStringList names{rowKeyName};
    for (const QString& name : columns)
        names.append(quotedSqlName(name));
    return std::make_unique<ServerRows>(run(QStringLiteral("SELECT %1 FROM %2 WHERE %3 > $1 ORDER BY %3")
                                                .arg(names.join(u','), quotedSqlName(table), rowKeyName),
                                            {QByteArray::number(key)}));
}

QString ServerBackend::writeSql(const RowWrite& write) const {
    const QString table = quotedSqlName(write.table);
    const QString key = rowKey(write.table);
    QStringList names;
    for (const QString& column : write.columns)
        names.append(quotedSqlName(column));
    QStringList marks;
    for (qsizetype i = 1; i <= names.size(); ++i)
        marks.append(QStringLiteral("$%1").arg(i));
    const QString mark = QStringLiteral("$%1").arg(names.size() + 1);
    // Each statement names its transaction, by which a write whose COMMIT got no answer is looked up.
    const QString returning = QStringLiteral(" RETURNING %1, pg_catalog.pg_current_xact_id()::text").arg(key);
    switch (write.kind) {
    case RowWrite::Insert:
        return (names.isEmpty() ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table)
                                : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                      .arg(table, names.join(u','), marks.join(u','))) +
               returning;
    case RowWrite::Update: {
        QStringList sets;
        for (qsizetype i = 0; i < names.size(); ++i)
            sets.append(names[i] + u'=' + marks[i]);
        return QStringLiteral("UPDATE %1 SET %2 WHERE %3 = %4").arg(table, sets.join(u','), key, mark) +
               returning;
    }
    case RowWrite::Delete:
        break;
    }
    return QStringLiteral("DELETE FROM %1 WHERE %2 = %3").arg(table, key, mark) + returning;
}

qint64 ServerBackend::write(const RowWrite& write) {
    prepareForWriting();
    Written written;
    try {
        writeOnce(write, &written);
        return written.key;
    } catch (const DatabaseError&) {
        if (!lost())
            throw;
    }
    // The server went away. The transaction of a statement that got its answer may have been committed.
    reconnect();
    if (!written.transaction.isEmpty()) {
        const QString status = transactionStatus(written.transaction);
        if (status == u"committed")
            return written.key;
        if (status != u"aborted")
            throw DatabaseError{QStringLiteral("сервер «%1» не подтвердил запись, пока связь прерывалась; "
                                               "проверьте, сохранилась ли она, прежде чем повторить.")
                                    .arg(m_address.shown()),
                                {}};
    }
    // Nothing was stored: the transaction ended with the connection. Once more on the new connection.
    written = {};
    writeOnce(write, &written);
    return written.key;
}

// The fate of a transaction of a connection that is gone: "committed", "aborted", or "in progress" while the
// server has not yet noticed; waited for a few seconds.
QString ServerBackend::transactionStatus(const QByteArray& transaction) const {
    QString status;
    for (int attempt = 0; attempt < 50; ++attempt) {
        const Result result =
            run(QStringLiteral("SELECT pg_catalog.pg_xact_status($1::xid8)"), {transaction});
        status = QString::fromUtf8(PQgetvalue(result.get(), 0, 0));
        if (status != u"in progress")
            break;
        QThread::msleep(100);
    }
    return status;
}

void ServerBackend::writeOnce(const RowWrite& write, Written* written) {
    const QString sql = writeSql(write);
    run(QStringLiteral("BEGIN"));
    try {
        if (write.check)
            write.check();
        QList<QByteArray> parameters;
        QVector<bool> nulls;
        for (const QVariant& value : write.values) {
            parameters.append(parameterText(value));
            nulls.append(value.isNull());
        }
        if (write.kind != RowWrite::Insert) {
            parameters.append(QByteArray::number(write.key));
            nulls.append(false);
        }
        const Result result = run(sql, parameters, nulls);
        if (PQntuples(result.get()) == 1) {
            written->key = QByteArray(PQgetvalue(result.get(), 0, 0)).toLongLong();
            written->transaction = PQgetvalue(result.get(), 0, 1);
        } else {
            written->key = write.key;
        }
    } catch (...) {
        if (!lost())
            run(QStringLiteral("ROLLBACK"));
        throw;
    }
    run(QStringLiteral("COMMIT"));
}

void ServerBackend::execute(const QString& sql, const QVariantList& values) {
    // The program's statements hold no question mark in a quoted name or a literal.
    QString numbered;
    int mark = 0;
    for (const QChar c : sql)
        numbered += c == u'?' ? QStringLiteral("$%1").arg(++mark) : QString(c);
    QList<QByteArray> parameters;
    QVector<bool> nulls;
    QVector<bool> binary;
    for (const QVariant& value : values) {
        const bool bytes = value.typeId() == QMetaType::QByteArray;
        parameters.append(bytes ? value.toByteArray() : parameterText(value));
        nulls.append(value.isNull());
        binary.append(bytes);
    }
    run(numbered, parameters, nulls, binary);
}

void ServerBackend::prepareForWriting() {
    if (lost())
        reconnect();
}

void ServerBackend::retryingRead(const std::function<void()>& read) {
    if (lost())
        reconnect();
    try {
        read();
        return;
    } catch (const DatabaseError&) {
        if (!lost())
            throw;
    }
    reconnect();
    read();
}

void ServerBackend::setSession(const QString& key) {
    run(QStringLiteral("SELECT pg_catalog.set_config('muzyka.session', $1, false)"), {key.toUtf8()});
    m_session = key;
}

QList<QVariantList> ServerBackend::call(const QString& sql, const QVariantList& values) {
    QList<QVariantList> rows;
    retryingRead([&] {
        QList<QByteArray> parameters;
        QVector<bool> nulls;
        for (const QVariant& value : values) {
            parameters.append(parameterText(value));
            nulls.append(value.isNull());
        }
        const Result result = run(sql, parameters, nulls);
        rows.clear();
        for (int row = 0; row < PQntuples(result.get()); ++row) {
            QVariantList line;
            for (int column = 0; column < PQnfields(result.get()); ++column)
                line.append(PQgetisnull(result.get(), row, column)
                                ? QVariant()
                                : QVariant(QString::fromUtf8(PQgetvalue(result.get(), row, column))));
            rows.append(line);
        }
    });
    return rows;
}

DatabaseError ServerBackend::error(const QSqlError& e) const {
    if (lost())
        return lostError();
    const QString text = e.databaseText().isEmpty() ? e.text() : e.databaseText();
    return {{}, text.trimmed()};
}
