#include "testbackend.h"

#include "base/failure.h"
#include "data/engine/serveraddress.h"
#include "tests/support/testdb.h"
#include "tools/server/transfer.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <cstdio>
#include <memory>

namespace testbackend {
namespace {

std::unique_ptr<PrivateServer>& theServer() {
    static std::unique_ptr<PrivateServer> server;
    return server;
}

QHash<QString, const ServerCopy*>& copies() {
    static QHash<QString, const ServerCopy*> byFile;
    return byFile;
}

QString absolute(const QString& path) {
    return QFileInfo(path).absoluteFilePath();
}

QString connectionTo(const QString& database) {
    return QStringLiteral("test copy ") + database;
}

// Runs `work` on a connection of the superuser to `database` that is open while it runs; a failure of the
// transfer ends the test run with its sentence.
template <typename Work> void onDatabase(const QString& database, Work work) {
    try {
        QSqlDatabase db = QSqlDatabase::database(connectionTo(database), false);
        if (!db.isOpen()) {
            db = openServer(ServerAddress::parse(server().adminUri(database)), connectionTo(database));
            // A test that keeps the server's rows locked fails instead of waiting for ever.
            QSqlQuery(QStringLiteral("SET lock_timeout = '10s'"), db);
        }
        work(db);
    } catch (const Failure& failure) {
        qFatal("the server copy of the test's file: %s", qPrintable(failure.text()));
    }
}

// Databases that copies no longer use. Making a database and removing it costs five times as much as
// replacing the rows of one, so each is used again, its connection kept open.
QStringList& idleDatabases() {
    static QStringList databases;
    return databases;
}

} // namespace

bool onServer() {
    return qEnvironmentVariable("MUZYKA_TEST_BACKEND") == QLatin1String("server");
}

QString missing() {
    return onServer() ? PrivateServer::missing() : QString();
}

PrivateServer& server() {
    std::unique_ptr<PrivateServer>& server = theServer();
    if (!server) {
        server = std::make_unique<PrivateServer>();
        // The server goes before the application object that its process needs, and the connections to it
        // before the server.
        qAddPostRoutine([] {
            for (const QString& name : QSqlDatabase::connectionNames())
                if (name.startsWith(connectionTo({})))
                    QSqlDatabase::removeDatabase(name);
            theServer().reset();
        });
        if (!server->skipReason().isEmpty()) // not its words, which mark a run as skipped
            qFatal("a suite run on the server needs SKIP_WITHOUT_SERVER() in its initTestCase");
        if (!server->failure().isEmpty())
            qFatal("the tests' server: %s", qPrintable(server->failure()));
    }
    return *server;
}

ServerCopy::ServerCopy(const QString& file) : m_file(absolute(file)) {
    m_database = idleDatabases().isEmpty() ? server().createDatabase() : idleDatabases().takeLast();
    toServer(); // the first time also makes the program's objects
    copies().insert(m_file, this);
}

ServerCopy::~ServerCopy() {
    copies().remove(m_file);
    // Whoever the test left connected is cut off, as from a database that is removed.
    onDatabase(m_database, [](QSqlDatabase& db) {
        QSqlQuery query(db);
        if (!query.exec(QStringLiteral("SELECT pg_terminate_backend(pid, 10000) FROM pg_stat_activity "
                                       "WHERE datname = current_database() AND pid <> pg_backend_pid()")))
            qFatal("cannot cut the tests' connections off: %s", qPrintable(query.lastError().text()));
    });
    idleDatabases().append(m_database);
}

QString ServerCopy::uri() const {
    return server().adminUri(m_database);
}

void ServerCopy::toFile() const {
    const QString fresh = m_file + QStringLiteral(".server");
    QFile::remove(fresh);
    onDatabase(m_database, [&](QSqlDatabase& db) { transfer::dump(db, m_database, fresh); });
    if (std::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(m_file).constData()) != 0)
        qFatal("cannot put the server's rows into %s", qPrintable(m_file));
}

void ServerCopy::toServer() const {
    onDatabase(m_database, [&](QSqlDatabase& db) { transfer::setUp(db, m_database, m_file, true); });
}

const ServerCopy* ServerCopy::of(const QString& path) {
    return copies().value(absolute(path));
}

} // namespace testbackend
