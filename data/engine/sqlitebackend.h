#pragma once

#include "backend.h"

struct sqlite3;

// The program's own database file, a SQLite 3 database, through QtSql's SQLite driver; rows are read
// straight through the sqlite3 handle under it.
class SqliteBackend final : public backend::Backend {
public:
    // Opens the file read-write without create (a file that vanished meanwhile must not come back empty),
    // foreign keys on, the collation UNOCASE made; waits `busyTimeout` ms for a lock. Throws DatabaseError.
    SqliteBackend(const QString& path, const QString& connectionName, int busyTimeout);
    ~SqliteBackend() override;

    bool isReadOnly() const;

    QSqlDatabase database() const override;
    QStringList tableNames() const override;
    QVector<backend::ColumnInfo> columns(const QString& table) const override;
    QVector<backend::Reference> references() const override;
    QString rowKey(const QString&) const override { return QStringLiteral("rowid"); }
    QString caseInsensitiveCollation() const override { return QStringLiteral("UNOCASE"); }
    std::unique_ptr<backend::RowStream> select(const QString& table, const QStringList& columns,
                                               std::optional<qint64> key, bool lock) override;
    std::unique_ptr<backend::RowStream> selectAfter(const QString& table, const QStringList& columns,
                                                    qint64 key) override;
    qint64 write(const backend::RowWrite& write) override;
    void execute(const QString& sql, const QVariantList& values) override;
    void prepareForWriting() override;
    backend::DatabaseError error(const QSqlError& error) const override;
    void retryingRead(const std::function<void()>& read) override { read(); }

    // The common failures of a database file (locked or busy, read-only, full, damaged, not a database,
    // cannot be opened, an input-output error or no access; deleted, replaced or cut short while open) as the
    // end of a Russian sentence, from SQLite's (extended) result code and its message `text`; empty for any
    // other failure.
    static QString fileProblem(int sqliteCode, const QString& text = {});

private:
    sqlite3* handle() const;
    backend::DatabaseError lastError() const;

    QString m_path;
    QString m_name; // the QtSql connection's name; a new one after reopening
};
