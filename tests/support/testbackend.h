#pragma once

#include "tests/support/pgserver.h"

#include <QString>
#include <QtTest>

// Where the tests keep the school's tables: in a database file (the default) or, when the environment says
// MUZYKA_TEST_BACKEND=server, on a PostgreSQL server of the test executable's own. CTest runs the suites that
// store or edit rows both ways; the tests themselves are the same, they read and write the file as always and
// the file is kept in step with the server (ServerCopy).
namespace testbackend {

bool onServer();
// Why the server cannot run on this machine (the run on the server then skips); empty when it can, and always
// empty on the file backend.
QString missing();
// The process's own server, started on first use and stopped with the application object; a server that
// fails to start ends the test run.
PrivateServer& server();

// A database of the server that holds the rows of a database file and follows it: reading the file through
// the test helpers first writes what the server holds into the file, and what a test writes into the file is
// loaded back into the server in place of its rows. Each copy has a database of its own while it lives;
// whoever is still connected to it is cut off with the object.
class ServerCopy {
public:
    explicit ServerCopy(const QString& file);
    ~ServerCopy();
    ServerCopy(const ServerCopy&) = delete;
    ServerCopy& operator=(const ServerCopy&) = delete;

    // The superuser's libpq URI of the database.
    QString uri() const;
    QString database() const { return m_database; }
    // The file gets what the server holds now.
    void toFile() const;
    // The server gets the rows of the file in place of its own.
    void toServer() const;

    // The copy that follows the file at `path` while it lives; null when there is none.
    static const ServerCopy* of(const QString& path);

private:
    QString m_file;
    QString m_database;
};

} // namespace testbackend

// First thing in a test about the database file itself (its lock, its header, its folder, converting it...):
// the run on the server skips it, saying why.
#define SKIP_ON_SERVER(why)                                                                                  \
    do {                                                                                                     \
        if (testbackend::onServer())                                                                         \
            QSKIP("about the file, not the server: " why);                                                   \
    } while (false)

// In initTestCase of a suite that CTest also runs on the server: without a server on the machine that run
// skips as a whole, saying why.
#define SKIP_WITHOUT_SERVER()                                                                                \
    do {                                                                                                     \
        if (!testbackend::missing().isEmpty())                                                               \
            QSKIP(qPrintable(testbackend::missing()));                                                       \
    } while (false)
