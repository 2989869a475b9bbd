#pragma once

#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QVariantList>

// A PostgreSQL server of the test executable's own: Debian's postgresql-15 in a temporary folder, listening
// only on a Unix socket in that folder (no TCP), with one superuser that signs in by password. Started once
// per test executable; stopped and removed with the object, and killed by the kernel with the test process
// should that die first. Under root the server runs as the unprivileged user "nobody", since it refuses root.
class PrivateServer {
public:
    PrivateServer();
    ~PrivateServer();
    PrivateServer(const PrivateServer&) = delete;
    PrivateServer& operator=(const PrivateServer&) = delete;

    // Why there is no server because this machine lacks one (the tests then skip); empty when it has one.
    QString skipReason() const { return m_skipReason; }
    // The same, known without starting a server.
    static QString missing();
    // What went wrong starting a server that is there (the tests then fail); empty when it runs.
    QString failure() const { return m_failure; }
    bool isRunning() const { return m_skipReason.isEmpty() && m_failure.isEmpty(); }

    // The folder of the server's socket (the `host` of its URIs).
    QString socketFolder() const { return m_dir.path(); }
    static QString adminName() { return QStringLiteral("muzyka_admin"); }
    QString adminPassword() const { return m_password; }
    // A libpq URI of the superuser on `database`, with `password` in place of the right one when given.
    QString adminUri(const QString& database, const QString& password = {}) const;
    // A libpq URI of any login of the server on `database`.
    QString uri(const QString& user, const QString& password, const QString& database) const;
    // A new empty database owned by the superuser; its name. Ends the test run when it cannot be made.
    QString createDatabase();
    // Runs SQL as the superuser on `database`; returns the server's message, empty on success.
    QString exec(const QString& database, const QString& sql) const;
    // Every row of a query run as the superuser on `database`; bad SQL ends the test run.
    QList<QVariantList> rows(const QString& database, const QString& sql) const;

    // Stops the server as an administrator's fast shutdown does (its clients are cut off), and starts it
    // again on the same data; false when it does not come up (failure() says why).
    void stop();
    bool start();

    // The milliseconds that making and starting the server took.
    qint64 startMilliseconds() const { return m_startMs; }

private:
    bool run(const QString& program, const QStringList& arguments);
    bool waitUntilReady();

    QTemporaryDir m_dir;
    QProcess m_server;
    QString m_password;
    QString m_skipReason;
    QString m_failure;
    qint64 m_startMs = 0;
    int m_databases = 0;
};

// libpq's URI form of a socket folder or any other value: percent-encoded.
QString uriEncoded(const QString& value);
