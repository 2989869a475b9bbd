#pragma once

#include "mdbreader.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

// Converting a school's Access database into the program's own SQLite format (docs/database.md): every
// table with its columns and rows, the relations as foreign keys with their delete rules. The Access file
// is only read; the converted database is built in memory. Failures are Failure exceptions with a whole
// Russian sentence that names the file.
namespace accessdb {

// True when the first bytes of a file are those of an Access database (Jet 3, Jet 4 or ACE).
bool isAccessFile(const QByteArray& firstBytes);

struct TableReport {
    QString name;
    int columns = 0;
    qint64 rows = 0;
};

struct Report {
    QVector<TableReport> tables;
    QVector<Relation> relations; // those carried over as foreign keys
    QStringList notCarried;      // sentences about what the file holds and the conversion left out
};

// The converted database: the bytes of its SQLite file and what was carried over.
struct Converted {
    QByteArray database;
    Report report;
};

// Reads the Access file through libmdb in this process; `codePage` as for Reader. A damaged file can keep
// libmdb busy without end or make it allocate without bound, so the program calls this only in the
// converter's child process (converter.h), where both are bounded.
Converted convertHere(const QString& accessPath, int codePage = 0);

} // namespace accessdb
