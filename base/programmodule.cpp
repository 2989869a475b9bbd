#include "programmodule.h"

#include <QCoreApplication>
#include <QPluginLoader>

QString programModulePath(const QString& fileName) {
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + fileName;
}

QObject* programModuleRoot(const QString& fileName, QString& reason) {
    // A loader left behind keeps the module loaded, and a later one finds the same root object.
    QPluginLoader loader(programModulePath(fileName));
    QObject* root = loader.instance();
    reason = loader.errorString();
    return root;
}
