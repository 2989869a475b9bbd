#pragma once

#include <QObject>
#include <QString>

// A module of the program's own (the browser, the media player), loaded when first needed. It belongs to the
// installed program, so it is looked for beside the executable.
QString programModulePath(const QString& fileName);

// The module's root object; nullptr, with the loader's reason in `reason`, when it cannot be loaded.
QObject* programModuleRoot(const QString& fileName, QString& reason);

// The module's root object as the interface it offers; nullptr as above, or when it offers another one.
template <typename Interface> Interface* loadProgramModule(const QString& fileName, QString& reason) {
    return qobject_cast<Interface*>(programModuleRoot(fileName, reason));
}
