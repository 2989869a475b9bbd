#pragma once

#include <QString>
#include <QTemporaryDir>

// A database file made for one test: the program's schema plus the test's own rows, in a temporary folder
// that is the current folder while the object lives (the data module opens "Primer.mdb" by its bare name).
class TestDatabase {
public:
    explicit TestDatabase(const QString& rowsSql = {},
                          const QString& fileName = QStringLiteral("Primer.mdb"));
    ~TestDatabase();
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    QString folder() const { return m_dir.path(); }
    QString path() const { return m_path; }
    // Runs SQL straight on the file (several statements allowed); fails the calling test on error.
    void exec(const QString& sql) const;

    // The program's schema (resources/sample/schema.sql).
    static QString schemaSql();
    // A few classes, pupils, topics with questions and answers, and results; see testdb.cpp.
    static QString smallRowsSql();

private:
    QTemporaryDir m_dir;
    QString m_path;
    QString m_previousFolder;
};
