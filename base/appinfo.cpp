#include "appinfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {
QString folderOverride;
}

namespace appinfo {

QString titleFromFileName(const QString& fileName) {
    QString name = fileName.section(QLatin1Char('.'), 0, 0);
    if (name.size() > 1)
        name = name.left(1) + name.mid(1).toLower();
    return name;
}

QString title() {
    return titleFromFileName(QFileInfo(QCoreApplication::applicationFilePath()).fileName());
}

QString programFolder() {
    QString folder = folderOverride.isEmpty() ? QCoreApplication::applicationDirPath() : folderOverride;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

void setProgramFolderForTesting(const QString& folder) {
    folderOverride = folder;
}

} // namespace appinfo
