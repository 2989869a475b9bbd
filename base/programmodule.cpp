#include "programmodule.h"

#include <QCoreApplication>
#include <QPluginLoader>

namespace {
QString folderOverride;
}

QString programModulePath(const QString& fileName) {
    const QString folder = folderOverride.isEmpty() ? QCoreApplication::applicationDirPath() : folderOverride;
    return folder + QLatin1Char('/') + fileName;
}

void setProgramModuleFolderForTesting(const QString& folder) {
    folderOverride = folder;
}

QObject* programModuleRoot(const QString& fileName, QString& reason) {
    // A loader left behind keeps the module loaded, and a later one finds the same root object.
    QPluginLoader loader(programModulePath(fileName));
    QObject* root = loader.instance();
    reason = loader.errorString();
    // Qt's reason may end with its own full stop (its translations do).
    if (reason.endsWith(QLatin1Char('.')))
        reason.chop(1);
    return root;
}
