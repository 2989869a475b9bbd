#pragma once

#include "mdbreader.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

// Converting a school's Access database into the program's own SQLite format (docs/database.md): every
// table with its columns and rows, the relations as foreign keys with their delete rules. The Access file
// is only read; the converted database is built in memory and reaches the disk in one atomic step.
// Failures are Failure exceptions with a whole Russian sentence that names the file.
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

// Called once a table has been carried over; returning false abandons the conversion (nothing is written).
using TableDone = std::function<bool(const TableReport&)>;

// Writes the converted database as `target`, which must not exist yet.
Report convertFile(const QString& accessPath, const QString& target, const TableDone& tableDone = {});

// Converts an Access file where it lies: the original is kept byte for byte under the name `keptName()`
// gives, and the converted database takes the original's name, so that a program opening that name finds
// its own format from now on. On failure the folder is as it was.
struct InPlace {
    QString original;  // where the Access file is kept now
    QString converted; // the converted database: the name the Access file had
    Report report;
    // The one message that tells the user where each file is.
    QString notice() const;
};
InPlace convertInPlace(const QString& path, const TableDone& tableDone = {});

// The first free name beside `path` for keeping the original: Primer.mdb gives Primer.access.mdb, then
// Primer.access-2.mdb and so on.
QString keptName(const QString& path);

} // namespace accessdb
