#pragma once

#include <QHash>
#include <QString>
#include <QVariant>

class Connection;

// Why the database refused to store or delete a row of `realTable`, in words a teacher understands
// (the table that still refers to the row, the field whose value is missing or repeated), given SQLite's
// message `text`; `rowid` is the row deleted, `values` the columns a post wrote.
QString explainWriteError(const Connection& connection, const QString& realTable, const QString& text,
                          bool deleting, qint64 rowid, const QHash<QString, QVariant>& values = {});
