#pragma once

#include <QString>

// The tables the test window logs its answers into and the topics' settings, as a database gets them at
// their first use (CREATE TABLE IF NOT EXISTS): for the rows of tests and benchmarks that read the log.
QString logTablesSql();
