#pragma once

#include <QList>
#include <QString>
#include <QVariant>

struct sqlite3;

// A database file read and written straight through the sqlite3 C API, past the program's own tables.
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
    sqlite3* m_db = nullptr;
};
