#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

class Connection;

// Tables of the program's own beside the six of the school's file format. A file gets one when the program
// first writes it (CREATE TABLE IF NOT EXISTS), so an older file opens as it always did and still opens in
// an older program; the server gets them from `muzyka_server setup`. Reading a table that is not there reads
// nothing.
struct OwnTable {
    QString name;
    QStringList fileDdl; // SQLite's statements that make it, each safe to run again
};

namespace owntable {

// Whether the open database holds the table.
bool exists(const Connection& connection, const QString& name);
// Makes the table on a file that lacks it; on the server only checks that setup made it. Throws Failure.
void ensure(Connection& connection, const OwnTable& table);

// Runs one statement with `values` bound to its "?" in order; the rows it returns, in order. A failure
// throws Failure: `lead` followed by the database's reason.
QList<QVariantList> run(const Connection& connection, const QString& sql, const QVariantList& values,
                        const QString& lead);

} // namespace owntable
