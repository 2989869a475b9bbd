#pragma once

#include <QString>

class PrivateServer;

// A new database on a private server, set up from a database file as `muzyka_server setup` does it, the lab
// login given a new password.
struct LabDatabase {
    QString name;
    QString labUri; // the lab login's URI
};
LabDatabase labDatabase(PrivateServer& server, const QString& file);

// The server flushes every commit to the disk, as an installed one does (the tests' private server does not).
void makeDurable(PrivateServer& server);

// The program's data module (into DataModule11) on the lab login of a durable database made from `file`, the
// pupil with `surname` and `password` signed in, as a lab computer has it; the database. Stops the benchmark
// when he cannot sign in.
LabDatabase pupilOnLab(PrivateServer& server, const QString& file, const QString& surname,
                       const QString& password);
