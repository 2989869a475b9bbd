#pragma once

#include "failure.h"

#include <QObject>
#include <QString>

// A module of the program's own (the browser, the media player, the workbook writer), loaded when first
// needed. It belongs to the installed program, so it is looked for beside the executable.
QString programModulePath(const QString& fileName);

// Modules are looked for in `folder` instead (an empty one: beside the executable again), for tests and
// benchmarks that run outside the program folder or without a module.
void setProgramModuleFolderForTesting(const QString& folder);

// The module's root object; nullptr, with the loader's reason in `reason` (without a full stop at its end, to
// close a sentence of the program's own), when it cannot be loaded.
QObject* programModuleRoot(const QString& fileName, QString& reason);

// The module's root object as the interface it offers. When it cannot be loaded, or offers another interface,
// throws Failure «Не удалось загрузить модуль <what>: <reason>.», `what` naming the module ("видеоуроков").
template <typename Interface> Interface& loadProgramModule(const QString& fileName, const QString& what) {
    QString reason;
    auto* module = qobject_cast<Interface*>(programModuleRoot(fileName, reason));
    if (module)
        return *module;
    if (reason.isEmpty())
        reason = QStringLiteral("в файле другой модуль");
    throw Failure(QStringLiteral("Не удалось загрузить модуль %1: %2.").arg(what, reason));
}
