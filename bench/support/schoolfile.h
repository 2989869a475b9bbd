#pragma once

#include <QString>

// A database file of the program for a benchmark: the sample's six empty tables, then `rowsSql` (SQLite's
// SQL) run over them. Stops the benchmark with the reason when either fails.
void makeSchoolFile(const QString& path, const QString& rowsSql);
