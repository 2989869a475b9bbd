#include "conversion.h"

#include "base/failure.h"
#include "base/sqlname.h"

#include <QDate>
#include <QSet>

#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <new>

namespace accessdb {

namespace {

QString quotedList(const QStringList& names) {
    QStringList result;
    for (const QString& name : names)
        result.append(quotedSqlName(name));
    return result.join(u',');
}

// Access keeps a date-time as days from 30 December 1899, the time of day as the fraction, also before
// that day (-1.25 is 29 December 1899, 6:00). The program stores "YYYY-MM-DD" or "YYYY-MM-DD HH:MM:SS"
// (docs/database.md). Empty when the value lies outside the years 100 to 9999 that Access allows.
QByteArray storedDateTime(double value) {
    constexpr double firstDay = -657434.0; // 1 January 100
    constexpr double lastDay = 2958466.0;  // the day after 31 December 9999
    if (!std::isfinite(value) || value < firstDay || value >= lastDay)
        return {};
    const double whole = std::trunc(value);
    qint64 days = qint64(whole);
    qint64 seconds = std::llround(std::fabs(value - whole) * 86400.0);
    if (seconds >= 86400) { // rounded up to the next midnight
        seconds -= 86400;
        ++days;
    }
    const QDate date = QDate(1899, 12, 30).addDays(days);
    if (!date.isValid() || date.year() > 9999)
        return {};
    QByteArray text = date.toString(QStringLiteral("yyyy-MM-dd")).toLatin1();
    if (seconds != 0)
        text += QTime(0, 0).addSecs(int(seconds)).toString(QStringLiteral(" HH:mm:ss")).toLatin1();
    return text;
}

// A single-precision number as the shortest decimal that reads back as the same single, so that 0.1
// stays 0.1 in the double the database keeps.
double fromSingle(double single) {
    char text[32];
    const auto result = std::to_chars(std::begin(text), std::end(text), float(single));
    *result.ptr = '\0';
    return std::strtod(text, nullptr);
}

// The converted database, built in memory; failures name the Access file it comes from.
class Database {
public:
    explicit Database(const QString& source) : m_source(source) {
        const int code =
            sqlite3_open_v2("access-conversion", &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, "memdb");
        if (code != SQLITE_OK)
            fail(code);
    }
    ~Database() { sqlite3_close(m_db); }
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    void exec(const QString& sql) const {
        const int code = sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
        if (code != SQLITE_OK)
            fail(code);
    }
    sqlite3* handle() const { return m_db; }
    // `code` is what the failing call returned: the handle's own message is stale after some failures
    // ("not an error").
    [[noreturn]] void fail(int code) const {
        const int primary = code & 0xff;
        if (primary == SQLITE_NOMEM)
            throw std::bad_alloc(); // the converter reports it as memory that ran out
        QString reason;
        if (primary == SQLITE_CONSTRAINT)
            reason = QStringLiteral("значения её таблиц нарушают их ключи или уникальные индексы, чего в "
                                    "целой базе Access не бывает: файл повреждён");
        else if (primary == SQLITE_FULL || primary == SQLITE_TOOBIG)
            reason =
                QStringLiteral("переведённая база данных больше, чем программа может построить в памяти");
        else
            reason = QStringLiteral("ошибка SQLite «%1»").arg(QString::fromUtf8(sqlite3_errstr(code)));
        throw Failure(
            QStringLiteral("'%1' — база данных Access, которую не удалось перевести в формат программы: %2.")
                .arg(shownPath(m_source), reason));
    }
    // The whole database file.
    QByteArray bytes() const {
        sqlite3_int64 size = 0;
        unsigned char* data = sqlite3_serialize(m_db, "main", &size, 0);
        if (!data)
            throw std::bad_alloc();
        QByteArray copy(reinterpret_cast<const char*>(data), qsizetype(size));
        sqlite3_free(data);
        return copy;
    }

private:
    QString m_source;
    sqlite3* m_db = nullptr;
};

class Statement {
public:
    Statement(const Database& db, const QString& sql) : m_db(db) {
        const QByteArray text = sql.toUtf8();
        const int code =
            sqlite3_prepare_v2(db.handle(), text.constData(), int(text.size()), &m_statement, nullptr);
        if (code != SQLITE_OK)
            db.fail(code);
    }
    ~Statement() { sqlite3_finalize(m_statement); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    sqlite3_stmt* get() const { return m_statement; }
    void run() {
        const int code = sqlite3_step(m_statement);
        sqlite3_reset(m_statement);
        if (code != SQLITE_DONE)
            m_db.fail(code);
    }

private:
    const Database& m_db;
    sqlite3_stmt* m_statement = nullptr;
};

// The column that becomes the table's autonumber key (SQLite's rowid), or -1: an autonumber column that
// is the sole primary key, or the only autonumber of a table without one.
int rowidColumn(const TableSchema& table) {
    const auto primary = std::find_if(table.indexes.cbegin(), table.indexes.cend(),
                                      [](const Index& index) { return index.primary; });
    if (primary != table.indexes.cend())
        return primary->columns.size() == 1 && table.columns[primary->columns[0]].autoNumber
                   ? primary->columns[0]
                   : -1;
    for (int i = 0; i < table.columns.size(); ++i)
        if (table.columns[i].autoNumber)
            return i;
    return -1;
}

QString declaredType(const Column& column, bool inKey) {
    switch (column.kind) {
    case Kind::Boolean:
        return QStringLiteral("BOOLEAN DEFAULT 0"); // Access's yes/no is never empty
    case Kind::Byte:
        return QStringLiteral("TINYINT");
    case Kind::Short:
        return QStringLiteral("SMALLINT");
    case Kind::Long:
    case Kind::Complex:
        // A plain INTEGER key would become SQLite's rowid, which the engine takes for an autonumber.
        return inKey ? QStringLiteral("INT") : QStringLiteral("INTEGER");
    case Kind::Float:
        return QStringLiteral("FLOAT");
    case Kind::Double:
        return QStringLiteral("DOUBLE");
    case Kind::Currency:
        return QStringLiteral("CURRENCY");
    case Kind::Decimal:
        return QStringLiteral("DECIMAL(%1,%2)").arg(column.precision).arg(column.scale);
    case Kind::DateTime:
        return QStringLiteral("DATETIME");
    case Kind::Text:
        return QStringLiteral("VARCHAR(%1)").arg(column.length);
    case Kind::Memo:
        return QStringLiteral("TEXT");
    case Kind::Guid:
        return QStringLiteral("VARCHAR(38)");
    case Kind::Binary:
    case Kind::Ole:
        break;
    }
    return QStringLiteral("BLOB");
}

QStringList columnNames(const TableSchema& table, const QVector<int>& positions) {
    QStringList names;
    for (const int position : positions)
        names.append(table.columns[position].name);
    return names;
}

const TableSchema* findTable(const QVector<TableSchema>& tables, const QString& name) {
    for (const TableSchema& table : tables)
        if (table.name.compare(name, Qt::CaseInsensitive) == 0)
            return &table;
    return nullptr;
}

// Column positions by name, the names compared as Access does; empty if one is missing.
QVector<int> positionsOf(const TableSchema& table, const QStringList& names) {
    QVector<int> positions;
    for (const QString& name : names) {
        int found = -1;
        for (int i = 0; i < table.columns.size() && found < 0; ++i)
            if (table.columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
                found = i;
        if (found < 0)
            return {};
        positions.append(found);
    }
    return positions;
}

bool sameColumns(QVector<int> a, QVector<int> b) {
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    return a == b;
}

// SQLite refers only to a primary key or a unique index, as Access does for a relation it enforces.
bool isKey(const TableSchema& table, const QVector<int>& columns) {
    const int rowid = rowidColumn(table);
    if (rowid >= 0 && columns == QVector<int>{rowid})
        return true;
    return std::any_of(table.indexes.cbegin(), table.indexes.cend(), [&](const Index& index) {
        return index.unique && sameColumns(index.columns, columns);
    });
}

struct ForeignKey {
    Relation relation;      // with the real names of tables and columns
    QVector<int> positions; // of the referring columns
};

// The relations that become foreign keys; the others are told in `report`.
QVector<ForeignKey> foreignKeys(const Reader& reader, Report* report) {
    QVector<ForeignKey> keys;
    for (const Relation& relation : reader.relations()) {
        const TableSchema* child = findTable(reader.tables(), relation.table);
        const TableSchema* parent = findTable(reader.tables(), relation.referenced);
        if (!child || !parent)
            continue; // between the file's system tables
        const QVector<int> from = positionsOf(*child, relation.columns);
        const QVector<int> to = positionsOf(*parent, relation.referencedColumns);
        const QString name = QStringLiteral("«%1» → «%2»").arg(child->name, parent->name);
        if (!relation.enforced) {
            report->notCarried.append(
                QStringLiteral("Связь %1 в Access не проверяется и не перенесена.").arg(name));
            continue;
        }
        if (from.isEmpty() || to.isEmpty() || from.size() != to.size() || !isKey(*parent, to)) {
            report->notCarried.append(
                QStringLiteral("Связь %1 ссылается не на ключ таблицы и не перенесена.").arg(name));
            continue;
        }
        ForeignKey key{relation, from};
        key.relation.table = child->name;
        key.relation.referenced = parent->name;
        key.relation.columns = columnNames(*child, from);
        key.relation.referencedColumns = columnNames(*parent, to);
        keys.append(key);
    }
    return keys;
}

QString createTable(const TableSchema& table, const QVector<ForeignKey>& keys) {
    const int rowid = rowidColumn(table);
    const auto primary = std::find_if(table.indexes.cbegin(), table.indexes.cend(),
                                      [](const Index& index) { return index.primary; });
    const bool keyConstraint = rowid < 0 && primary != table.indexes.cend();
    QStringList parts;
    for (int i = 0; i < table.columns.size(); ++i) {
        const Column& column = table.columns[i];
        if (i == rowid) {
            parts.append(quotedSqlName(column.name) + QStringLiteral(" INTEGER PRIMARY KEY AUTOINCREMENT"));
            continue;
        }
        const bool inKey = keyConstraint && primary->columns.contains(i);
        parts.append(quotedSqlName(column.name) + u' ' + declaredType(column, inKey));
    }
    if (keyConstraint)
        parts.append(
            QStringLiteral("PRIMARY KEY (%1)").arg(quotedList(columnNames(table, primary->columns))));
    for (const ForeignKey& key : keys) {
        if (key.relation.table != table.name)
            continue;
        const Relation& r = key.relation;
        parts.append(QStringLiteral("FOREIGN KEY (%1) REFERENCES %2 (%3) ON DELETE %4 ON UPDATE %5")
                         .arg(quotedList(r.columns), quotedSqlName(r.referenced),
                              quotedList(r.referencedColumns),
                              r.cascadeDelete ? QStringLiteral("CASCADE") : QStringLiteral("RESTRICT"),
                              r.cascadeUpdate ? QStringLiteral("CASCADE") : QStringLiteral("RESTRICT")));
    }
    return QStringLiteral("CREATE TABLE %1 (%2)")
        .arg(quotedSqlName(table.name), parts.join(QStringLiteral(", ")));
}

// The table's own indexes other than its key, and one on the referring columns of every foreign key that
// has none, so that checking a delete in the referred table does not read the whole table.
QStringList createIndexes(const TableSchema& table, const QVector<ForeignKey>& keys, QSet<QString>* names) {
    QStringList statements;
    QVector<QVector<int>> made;
    const int rowid = rowidColumn(table);
    if (rowid >= 0)
        made.append(QVector<int>{rowid});
    const auto add = [&](const QString& name, const QVector<int>& columns, const QVector<bool>& descending,
                         bool unique) {
        QString indexName = table.name + u'_' + name;
        for (int n = 2; names->contains(indexName.toCaseFolded()); ++n)
            indexName = table.name + u'_' + name + u'_' + QString::number(n);
        names->insert(indexName.toCaseFolded());
        QStringList parts;
        for (int i = 0; i < columns.size(); ++i)
            parts.append(quotedSqlName(table.columns[columns[i]].name) +
                         (descending.value(i) ? QStringLiteral(" DESC") : QString()));
        statements.append(QStringLiteral("CREATE %1INDEX %2 ON %3 (%4)")
                              .arg(unique ? QStringLiteral("UNIQUE ") : QString(), quotedSqlName(indexName),
                                   quotedSqlName(table.name), parts.join(u',')));
        made.append(columns);
    };
    for (const Index& index : table.indexes)
        if (!index.primary && !made.contains(index.columns))
            add(index.name, index.columns, index.descending, index.unique);
    for (const ForeignKey& key : keys) {
        if (key.relation.table != table.name)
            continue;
        const bool covered = std::any_of(made.cbegin(), made.cend(), [&](const QVector<int>& columns) {
            return columns.mid(0, key.positions.size()) == key.positions;
        });
        if (!covered)
            add(key.relation.name, key.positions, {}, false);
    }
    return statements;
}

void bindValue(sqlite3_stmt* statement, int at, const Column& column, const Value& value,
               const TableSchema& table, const QString& path) {
    switch (value.type) {
    case Value::Null:
        sqlite3_bind_null(statement, at);
        return;
    case Value::Integer:
        sqlite3_bind_int64(statement, at, value.integer);
        return;
    case Value::Real:
        if (column.kind == Kind::DateTime) {
            const QByteArray text = storedDateTime(value.real);
            if (text.isEmpty())
                throw Failure(QStringLiteral("'%1' — база данных Access с повреждённым значением: в таблице "
                                             "«%2» поле «%3» хранит дату вне лет от 100 до 9999.")
                                  .arg(shownPath(path), table.name, column.name));
            sqlite3_bind_text(statement, at, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        } else {
            sqlite3_bind_double(statement, at,
                                column.kind == Kind::Float ? fromSingle(value.real) : value.real);
        }
        return;
    case Value::Text:
        sqlite3_bind_text(statement, at, value.bytes.constData(), int(value.bytes.size()), SQLITE_STATIC);
        return;
    case Value::Blob:
        sqlite3_bind_blob(statement, at, value.bytes.constData(), int(value.bytes.size()), SQLITE_STATIC);
        return;
    }
}

Report build(const QString& path, int codePage, const Database& db) {
    const Reader reader(path, codePage);
    Report report;
    const QVector<ForeignKey> keys = foreignKeys(reader, &report);
    for (const ForeignKey& key : keys)
        report.relations.append(key.relation);
    db.exec(QStringLiteral("BEGIN"));
    QSet<QString> indexNames;
    for (const TableSchema& table : reader.tables()) {
        db.exec(createTable(table, keys));
        QStringList marks;
        for (int i = 0; i < table.columns.size(); ++i)
            marks.append(QStringLiteral("?"));
        Statement insert(
            db,
            QStringLiteral("INSERT INTO %1 VALUES (%2)").arg(quotedSqlName(table.name), marks.join(u',')));
        const qint64 rows = reader.readRows(table, [&](const QVector<Value>& values) {
            for (int i = 0; i < values.size(); ++i)
                bindValue(insert.get(), i + 1, table.columns[i], values[i], table, path);
            insert.run();
        });
        for (const QString& statement : createIndexes(table, keys, &indexNames))
            db.exec(statement);
        report.tables.append(TableReport{table.name, int(table.columns.size()), rows});
    }
    db.exec(QStringLiteral("COMMIT"));
    return report;
}

} // namespace

bool isAccessFile(const QByteArray& firstBytes) {
    const QByteArray signature = firstBytes.mid(4, 15);
    return signature == "Standard Jet DB" || signature == "Standard ACE DB";
}

Converted convertHere(const QString& accessPath, int codePage) {
    const Database db(accessPath);
    Converted converted;
    converted.report = build(accessPath, codePage, db);
    converted.database = db.bytes();
    return converted;
}

} // namespace accessdb
