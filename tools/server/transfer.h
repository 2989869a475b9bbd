#pragma once

#include <QSqlDatabase>
#include <QString>

// Carrying the school's six tables and the program's own (the topics' settings, the questions' media, the
// answer log) between a PostgreSQL server (the objects of resources/server/) and a database file of the
// program (resources/sample/schema.sql and the tables' own statements). Failures are Failure exceptions with
// one Russian sentence; a failed step leaves the server and the folder as they were.
namespace transfer {

// Makes the program's objects on the server and loads the rows of `source` into them, keys kept and the key
// sequences moved past them, all in one transaction. `source` is a database file of the program or an Access
// file (converted first, in a temporary folder); empty means the sample rows. Tables that hold rows already
// are refused unless `replace`, which empties them first. Returns what was loaded, one sentence.
QString setUp(QSqlDatabase& server, const QString& serverName, const QString& source, bool replace);

// Brings the program's objects on a server set up by an older version up to this one (its new tables, columns
// and functions: the set-up's scripts run again), in one transaction. Rows and the lab login's password stay,
// so the lab computers keep their line. Returns what was done, one sentence.
QString update(QSqlDatabase& server, const QString& serverName);

// Gives the lab login muzyka_lab a new random password, sent to the server only as its SCRAM verifier; the
// password, for /etc/muzyka.conf on the lab computers.
QString newLabPassword(QSqlDatabase& server, const QString& serverName);

// Writes every row of the server's six tables and of the program's own that it has, read in one snapshot,
// into the new database file `target`.
// Returns what was written, one sentence.
QString dump(QSqlDatabase& server, const QString& serverName, const QString& target);

} // namespace transfer
