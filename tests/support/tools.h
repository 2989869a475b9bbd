#pragma once

#include <QString>
#include <QStringList>

// What a tool of the program folder did: its exit code (-1 when it crashed) and what it printed.
struct ToolRun {
    int exitCode = -1;
    QString output;
    QString errors;
};

// Runs a tool that the build put beside the test executable, with `environment` (NAME=VALUE) added to the
// test's own; ends the test run when it is missing or hangs.
ToolRun runTool(const QString& name, const QStringList& args, const QStringList& environment = {});
