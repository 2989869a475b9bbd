#pragma once

#include "backend.h"
#include "serveraddress.h"

#include <QHash>

#include <optional>

struct pg_conn;
struct pg_result;

// The school's PostgreSQL server: the six tables in the schema "muzyka", reached through QtSql's PostgreSQL
// driver, rows read and written straight through libpq on the driver's connection. A connection the server
// dropped is made again on the next command; a write it dropped is looked up by its transaction, so a row
// is stored once or reported as not stored, never twice.
class ServerBackend final : public backend::Backend {
public:
    // Connects; a Failure names the server (never its password) when it cannot, or when the database does not
    // hold the program's tables.
    ServerBackend(const QString& uri, const QString& connectionName);
    ~ServerBackend() override;

    QSqlDatabase database() const override;
    QStringList tableNames() const override;
    QVector<backend::ColumnInfo> columns(const QString& table) const override;
    QVector<backend::Reference> references() const override;
    QString rowKey(const QString& table) const override;
    QString caseInsensitiveCollation() const override { return QStringLiteral("muzyka.unocase"); }
    std::unique_ptr<backend::RowStream> select(const QString& table, const QStringList& columns,
                                               std::optional<qint64> key, bool lock) override;
    std::unique_ptr<backend::RowStream> selectAfter(const QString& table, const QStringList& columns,
                                                    qint64 key) override;
    qint64 write(const backend::RowWrite& write) override;
    void execute(const QString& sql, const QVariantList& values) override;
    void prepareForWriting() override;
    backend::DatabaseError error(const QSqlError& error) const override;
    void retryingRead(const std::function<void()>& read) override;

    // A sign-in the server recorded: its key goes with every connection, also one made again.
    void setSession(const QString& key);
    // Runs a statement of the server's own functions with `values` for $1, $2…; its rows, values as text. A
    // dropped connection is made again first; a failure throws DatabaseError (with the server's SQLSTATE).
    QList<QVariantList> call(const QString& sql, const QVariantList& values = {});

private:
    pg_conn* connection() const;
    bool lost() const;
    // Connects again after the server dropped the connection; throws the lost connection's DatabaseError.
    void reconnect();
    backend::DatabaseError lostError() const;
    // Runs one statement with text parameters (null for SQL NULL; those marked in `binary` go as bytes); the
    // result, or throws for a failure.
    std::shared_ptr<pg_result> run(const QString& sql, const QList<QByteArray>& parameters = {},
                                   const QVector<bool>& nulls = {}, const QVector<bool>& binary = {}) const;
    // Throws what a failed command's result (or a lost connection) means.
    [[noreturn]] void failed(const pg_result* result) const;
    struct Written {
        qint64 key = 0;
        QByteArray transaction; // the server's number of the write's transaction, once it answered
    };
    QString writeSql(const backend::RowWrite& write) const;
    void writeOnce(const backend::RowWrite& write, Written* written);
    QString transactionStatus(const QByteArray& transaction) const;

    ServerAddress m_address;
    QString m_name;
    // The server ended the connection (a restart, an administrator's cut) though libpq may not know yet.
    mutable bool m_broken = false;
    QString m_session;
    // The schema's tables and their columns, asked once: every query's names are resolved against them, and
    // the server's catalog does not change under the program.
    mutable std::optional<QStringList> m_tableNames;
    mutable QHash<QString, QVector<backend::ColumnInfo>> m_columns;
};
