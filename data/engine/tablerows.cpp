// Reading a table's rows into its columns through the sqlite3 handle of the connection.
#include "table_p.h"

#include "connection.h"
#include "writeerrors.h"

#include <QByteArray>

#include <sqlite3.h>

#include <algorithm>
#include <cstring>

// Repeated short texts of one column (marks, class names) share one string while rows are read. Texts of
// up to 7 bytes are found by their bytes packed into one number, longer ones by the bytes themselves.
class TextPool {
public:
    QString text(const char* utf8, int length) {
        if (length < 8) {
            quint64 key = quint64(length) << 56;
            std::memcpy(&key, utf8, size_t(length));
            if (const auto it = m_short.constFind(key); it != m_short.cend())
                return *it;
            QString value = QString::fromUtf8(utf8, length);
            if (m_short.size() < limit)
                m_short.insert(key, value);
            return value;
        }
        if (length > 32)
            return QString::fromUtf8(utf8, length);
        if (const auto it = m_long.constFind(QByteArray::fromRawData(utf8, length)); it != m_long.cend())
            return *it;
        QString value = QString::fromUtf8(utf8, length);
        if (m_long.size() < limit)
            m_long.insert(QByteArray(utf8, length), value);
        return value;
    }

private:
    static constexpr int limit = 4096;
    QHash<quint64, QString> m_short;
    QHash<QByteArray, QString> m_long;
};

QString TableData::selectSql() const {
    QStringList cols{QStringLiteral("rowid")};
    for (const QString& name : columnNames)
        if (!name.isEmpty())
            cols.append(Connection::quoted(name));
    return QStringLiteral("SELECT %1 FROM %2").arg(cols.join(u','), Connection::quoted(realTable));
}

// One row of the SELECT into the columns. Each value is taken once through sqlite3_column_value (one
// lock of the connection instead of one per accessor); the connection is used by this thread only.
void TableData::readRow(sqlite3_stmt* stmt, std::vector<Column>& into, int row,
                        std::vector<TextPool>& interned) const {
    int col = 0;
    for (int pos = 0; pos < fields.size(); ++pos) {
        if (columnNames[pos].isEmpty())
            continue;
        Column& c = into[size_t(pos)];
        sqlite3_value* value = sqlite3_column_value(stmt, ++col);
        const int type = sqlite3_value_type(value);
        if (type == SQLITE_NULL)
            continue;
        if (c.isText()) {
            const char* utf8 = reinterpret_cast<const char*>(sqlite3_value_text(value));
            c.texts[size_t(row)] = interned[size_t(pos)].text(utf8, sqlite3_value_bytes(value));
            c.nulls[size_t(row)] = false;
            continue;
        }
        bool ok = true;
        qint64 v = 0;
        if (type == SQLITE_INTEGER) {
            v = sqlite3_value_int64(value);
        } else if (type == SQLITE_FLOAT) {
            // A real beyond the whole numbers (1e300, NaN) is an invalid value, never converted out of range.
            const double real = sqlite3_value_double(value);
            ok = real > -9.2e18 && real < 9.2e18;
            v = ok ? qint64(real) : 0;
        } else {
            const char* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
            const int length = sqlite3_value_bytes(value);
            if (c.kind == FieldKind::DateTime) {
                ok = Column::parseStoredDateTime(text, length, &v);
            } else {
                const QByteArray word = QByteArray(text, length).trimmed().toLower();
                if (c.kind == FieldKind::Boolean && (word.startsWith('t') || word.startsWith('f')))
                    v = word.startsWith('t');
                else
                    v = word.toLongLong(&ok);
            }
        }
        if (c.kind == FieldKind::Boolean)
            v = v != 0;
        else if ((c.kind == FieldKind::Integer || c.kind == FieldKind::AutoInc) &&
                 (v < INT_MIN || v > INT_MAX))
            ok = false; // integer fields hold 32 bits
        c.ints[size_t(row)] = v;
        c.nulls[size_t(row)] = !ok;
    }
}

void TableData::prepare(sqlite3_stmt** stmt, const QString& sql) const {
    sqlite3* h = q->connection()->handle();
    if (!h)
        fail(QStringLiteral("Cannot perform this operation on a closed connection"));
    const QByteArray utf8 = sql.toUtf8();
    if (sqlite3_prepare_v2(h, utf8.constData(), int(utf8.size()), stmt, nullptr) != SQLITE_OK)
        fail(failureText(QStringLiteral("Строки таблицы нельзя прочитать: "), h));
}

void TableData::loadRows() {
    sqlite3* h = q->connection()->handle();
    // The largest rowid estimates the row count in logarithmic time (counting would read the whole
    // table once more); only a sparse table is counted.
    auto single = [&](const QString& sql) {
        sqlite3_stmt* stmt = nullptr;
        prepare(&stmt, sql);
        const qint64 value = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int64(stmt, 0) : 0;
        sqlite3_finalize(stmt);
        return value;
    };
    qint64 estimate = single(QStringLiteral("SELECT max(rowid) FROM %1").arg(Connection::quoted(realTable)));
    if (estimate > 4'000'000 || estimate < 0)
        estimate = single(QStringLiteral("SELECT count(*) FROM %1").arg(Connection::quoted(realTable)));
    const int expected = int(std::min<qint64>(estimate, INT_MAX / 2));

    for (Column& c : columns)
        c.clear();
    rowids.clear();
    deleted.clear();
    sqlite3_stmt* stmt = nullptr;
    prepare(&stmt, selectSql());
    // Sized once for the counted rows; rows written meanwhile by someone else grow it.
    int capacity = expected;
    auto resize = [&](int rows) {
        for (Column& c : columns)
            c.resize(rows);
        rowids.resize(size_t(rows));
        deleted.resize(size_t(rows), false);
    };
    resize(capacity);
    std::vector<TextPool> interned(columns.size());
    int rc = SQLITE_ROW;
    int row = 0;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        if (row == capacity)
            resize(capacity = capacity * 2 + 16);
        rowids[size_t(row)] = sqlite3_column_int64(stmt, 0);
        readRow(stmt, columns, row++, interned);
    }
    resize(row);
    if (capacity > row + row / 4 + 1024)
        shrink();
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE)
        fail(failureText(QStringLiteral("Строки таблицы нельзя прочитать: "), h));
    invalidateIndexes();
}

void TableData::shrink() {
    for (Column& c : columns) {
        c.ints.shrink_to_fit();
        c.texts.shrink_to_fit();
        c.nulls.shrink_to_fit();
    }
    rowids.shrink_to_fit();
    deleted.shrink_to_fit();
}

// Re-reads one stored row after it was written, so defaults and conversions show as stored.
void TableData::reloadRow(int row) {
    sqlite3_stmt* stmt = nullptr;
    prepare(&stmt, selectSql() + QStringLiteral(" WHERE rowid=?"));
    sqlite3_bind_int64(stmt, 1, rowids[size_t(row)]);
    std::vector<TextPool> interned(columns.size());
    if (sqlite3_step(stmt) == SQLITE_ROW) {
        for (int pos = 0; pos < fields.size(); ++pos)
            if (!columnNames[pos].isEmpty())
                columns[size_t(pos)].set(row, QVariant());
        readRow(stmt, columns, row, interned);
    }
    sqlite3_finalize(stmt);
}

bool TableData::storedRowUnchanged(int row) const {
    sqlite3_stmt* stmt = nullptr;
    prepare(&stmt, selectSql() + QStringLiteral(" WHERE rowid=?"));
    sqlite3_bind_int64(stmt, 1, rowids[size_t(row)]);
    std::vector<Column> stored(columns.size());
    for (size_t pos = 0; pos < stored.size(); ++pos) {
        stored[pos].kind = columns[pos].kind;
        stored[pos].resize(1);
    }
    std::vector<TextPool> interned(columns.size());
    const bool found = sqlite3_step(stmt) == SQLITE_ROW;
    if (found)
        readRow(stmt, stored, 0, interned);
    sqlite3_finalize(stmt);
    if (!found)
        return false;
    for (int pos = 0; pos < fields.size(); ++pos) {
        if (columnNames[pos].isEmpty())
            continue;
        const Column& now = stored[size_t(pos)];
        const Column& read = columns[size_t(pos)];
        if (now.isNull(0) != read.isNull(row))
            return false;
        if (now.isNull(0))
            continue;
        if (now.isText() ? now.textAt(0) != read.textAt(row) : now.intAt(0) != read.intAt(row))
            return false;
    }
    return true;
}
