#pragma once

#include <QHash>
#include <QString>
#include <QVariant>

class Connection;
class QSqlError;
struct sqlite3;

// The common failures of a database file (locked or busy, read-only, full, damaged, not a database, cannot be
// opened, an input-output error or no access; deleted, replaced or cut short while open) as the end of a
// Russian sentence ("база данных занята другой программой, повторите позже."), from SQLite's (extended)
// result code and its message `text`; empty for any other failure.
QString fileProblem(int sqliteCode, const QString& text = {});
// `lead` followed by the file problem of a failure, or the driver's own text when it is none of the common
// ones: the failure of a QtSql call, or the last one of an sqlite3 handle.
QString failureText(const QString& lead, const QSqlError& error);
QString failureText(const QString& lead, sqlite3* handle);

// Why the database refused to store or delete a row of `realTable`, in words a teacher understands
// (the table that still refers to the row, the field whose value is missing or repeated), given SQLite's
// message `text`; `rowid` is the row deleted, `values` the columns a post wrote.
QString explainWriteError(const Connection& connection, const QString& realTable, const QString& text,
                          bool deleting, qint64 rowid, const QHash<QString, QVariant>& values = {});
