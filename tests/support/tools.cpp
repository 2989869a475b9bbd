#include "tools.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>

ToolRun runTool(const QString& name, const QStringList& args, const QStringList& environment) {
    const QString tool = QCoreApplication::applicationDirPath() + QLatin1Char('/') + name;
    if (!QFile::exists(tool))
        qFatal("%s is not built beside the tests", qPrintable(name));
    QProcess process;
    QProcessEnvironment settings = QProcessEnvironment::systemEnvironment();
    for (const QString& setting : environment)
        settings.insert(setting.section(u'=', 0, 0), setting.section(u'=', 1));
    process.setProcessEnvironment(settings);
    process.start(tool, args);
    if (!process.waitForFinished(120000))
        qFatal("%s did not finish", qPrintable(name));
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}
