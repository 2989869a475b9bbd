#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

#include <memory>

struct sqlite3;

namespace testbackend {
class ServerCopy;
}

// A database file made for one test: the program's schema plus the test's own rows, in a temporary folder
// that is the current folder while the object lives (the data module opens "Primer.mdb" by its bare name).
// When the tests run on the server (testbackend.h), a database of the server holds the same rows and
// MUZYKA_SERVER names it while the object lives (as it was afterwards), so the data module opens it instead;
// the file follows it (reading the file reads what the server holds, writing into it writes the server). On
// the file backend MUZYKA_SERVER is left to the test.
class TestDatabase {
public:
    explicit TestDatabase(const QString& rowsSql = {},
                          const QString& fileName = QStringLiteral("Primer.mdb"));
    ~TestDatabase();
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    QString folder() const { return m_dir.path(); }
    QString path() const { return m_path; }
    // The server's database while the tests run on the server (for Connection::setServer of a connection a
    // test builds itself); empty on the file backend. The newest object's when several live.
    static QString serverUri();
    // Runs SQL straight on the file (several statements allowed); ends the test run on error.
    void exec(const QString& sql) const;
    // Marks the file as one SQLite may only read (a write version above 2 in its header), or as writable
    // again. Unlike file modes this holds for root too. About the file only.
    void setReadOnly(bool on) const;
    // One value of the file, read past the program's tables (see SqlFile::scalar).
    QString scalar(const QString& sql) const;
    // The first row that a query returns, each column as text; empty when it returns none.
    QStringList firstRow(const QString& sql) const;

    // The program's schema (resources/sample/schema.sql).
    static QString schemaSql();
    // A few classes, pupils, topics with questions and answers, and results; see testdb.cpp.
    static QString smallRowsSql();

private:
    QTemporaryDir m_dir;
    QString m_path;
    QString m_previousFolder;
    std::unique_ptr<testbackend::ServerCopy> m_server;
    QByteArray m_previousServer;
};

// Another program holding the exclusive lock of a database file while the object lives: nobody else can
// read or write it meanwhile.
class DatabaseLock {
public:
    explicit DatabaseLock(const QString& path);
    ~DatabaseLock();
    DatabaseLock(const DatabaseLock&) = delete;
    DatabaseLock& operator=(const DatabaseLock&) = delete;

private:
    sqlite3* m_db = nullptr;
};

// A database file read and written straight through the sqlite3 C API, past the program's own tables. A file
// that a server copy follows (a TestDatabase's on the server) is first refreshed from the server, and what is
// written into it is loaded back.
class SqlFile {
public:
    enum Relations { Unchecked, Checked }; // Checked switches SQLite's foreign-key rules on

    explicit SqlFile(const QString& path, Relations relations = Unchecked);
    ~SqlFile();
    SqlFile(const SqlFile&) = delete;
    SqlFile& operator=(const SqlFile&) = delete;

    // Every row of a query, each column as a variant (text, integer or null); bad SQL ends the test run.
    QList<QVariantList> rows(const QString& sql) const;
    // The first column of the first row as text; a null string for NULL or no row.
    QString scalar(const QString& sql) const;
    qint64 number(const QString& sql) const { return rows(sql).value(0).value(0).toLongLong(); }
    // Runs SQL (several statements allowed); returns the engine's message, empty on success.
    QString exec(const QString& sql) const;

private:
    void open() const;
    void close() const;
    // The file gets what the server holds now, when a server copy follows it.
    void refresh() const;

    QString m_path;
    Relations m_relations;
    const testbackend::ServerCopy* m_server;
    mutable sqlite3* m_db = nullptr;
};
