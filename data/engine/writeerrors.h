#pragma once

#include <QString>

class Connection;

// Why the database refused to store or delete a row of `realTable`, in words a teacher understands
// (the table that still refers to the row, the field whose value is missing or repeated), given SQLite's
// message `text`; `rowid` is the row concerned (0 for a new one).
QString explainWriteError(const Connection& connection, const QString& realTable, const QString& text,
                          bool deleting, qint64 rowid);
