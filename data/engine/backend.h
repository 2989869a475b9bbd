#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <functional>
#include <memory>
#include <optional>

// The database behind a connection: the program's SQLite file or the school's PostgreSQL server. The engine
// says everything else in SQL both understand (names quoted, values bound); what differs sits behind this.
namespace backend {

// A column of a table as the database declares it.
struct ColumnInfo {
    QString name;
    QString declaredType;
    bool primaryKey = false;
};

// A relation: `column` of `table` refers to `parentColumn` of `parentTable` and keeps that row from being
// deleted (relations that cascade are left out).
struct Reference {
    QString table;
    QString column;
    QString parentTable;
    QString parentColumn;
};

// One value of a row as the database gives it: a whole number, a real, text (also for numbers and dates
// that the database sends as text), or null.
struct Cell {
    enum Type { Null, Integer, Real, Text };
    Type type = Null;
    qint64 integer = 0;
    double real = 0;
    const char* text = nullptr; // UTF-8, valid until the next row
    int length = 0;
};

// The rows of one table, read in order: the row's key, then the asked columns.
class RowStream {
public:
    virtual ~RowStream() = default;
    // How many rows to make room for; an estimate that may be wrong either way.
    virtual qint64 sizeHint() const = 0;
    // The next row, false after the last. A failure throws.
    virtual bool next() = 0;
    virtual qint64 key() const = 0;
    virtual Cell cell(int column) const = 0; // 0 is the first asked column
};

// Why the database refused a write that was well formed: a rule of the tables.
struct Refusal {
    enum Kind { ForeignKey, Unique, NotNull, Check };
    Kind kind;
    QString column; // the column the database names, when it names one
    QString text;   // the database's own words
};

// Thrown by a write the database refused by a rule.
struct Refused {
    Refusal refusal;
};

// Thrown by any other failure of the database. `problem` ends a sentence in the user's words when the
// failure is a common one ("база данных занята другой программой, повторите позже."), else it is empty and
// `text` holds the database's own words.
struct DatabaseError {
    QString problem;
    QString text;
    QString state = {}; // the server's SQLSTATE, when it gave one
    // `lead` and the problem, or the database's words alone.
    QString sentence(const QString& lead) const { return problem.isEmpty() ? text : lead + problem; }
};

// One row written or deleted in one transaction.
struct RowWrite {
    enum Kind { Insert, Update, Delete };
    Kind kind = Insert;
    QString table;       // the real name
    QStringList columns; // real names, quoted by the backend
    QVariantList values; // as Table stores them: int, bool, ISO date text, text, or a null
    qint64 key = 0;      // the row updated or deleted
    // For an update: throws when the row no longer holds what was read; run inside the transaction with the
    // row locked, so nobody changes it between the check and the write.
    std::function<void()> check;
};

class Backend {
public:
    virtual ~Backend() = default;

    // The QtSql connection, for free queries.
    virtual QSqlDatabase database() const = 0;
    virtual QStringList tableNames() const = 0;
    virtual QVector<ColumnInfo> columns(const QString& table) const = 0;
    virtual QVector<Reference> references() const = 0;
    // The expression that names a row of `table` (SQLite's rowid, the server's key column), quoted.
    virtual QString rowKey(const QString& table) const = 0;
    // The collation that compares text as Jet did: letter case ignored in every alphabet.
    virtual QString caseInsensitiveCollation() const = 0;

    // Rows of `table`: all, or the one with `key` (locked until the write's transaction ends when `lock`).
    virtual std::unique_ptr<RowStream> select(const QString& table, const QStringList& columns,
                                              std::optional<qint64> key = std::nullopt,
                                              bool lock = false) = 0;
    // Rows of `table` whose key is above `key`, in key order: what was stored after the rows read.
    virtual std::unique_ptr<RowStream> selectAfter(const QString& table, const QStringList& columns,
                                                   qint64 key) = 0;
    // Stores the write; the key of an inserted row. A rule's refusal throws Refused, other failures
    // DatabaseError; what the check throws passes through. Nothing is stored twice: a write whose fate the
    // server's going away left open is looked up after reconnecting.
    virtual qint64 write(const RowWrite& write) = 0;
    // Runs one statement of the program's own inside the caller's transaction, `?` marking each of `values`
    // in turn. Bytes reach the database as they are (a driver's text would be twice their size). A rule's
    // refusal throws Refused, other failures DatabaseError.
    virtual void execute(const QString& sql, const QVariantList& values) = 0;
    // Made ready before a write (a file opened read-only is tried again, a lost server reached again).
    virtual void prepareForWriting() = 0;
    // A failed QtSql call as the backend tells it.
    virtual DatabaseError error(const QSqlError& error) const = 0;
    // Runs a read; once more when it failed because the server went away, after reaching it again.
    virtual void retryingRead(const std::function<void()>& read) = 0;
};

} // namespace backend
