#include "logtables.h"

#include "data/engine/attemptstables.h"
#include "data/engine/settingstable.h"

QString logTablesSql() {
    QString sql;
    for (const OwnTable* table : {&settingstable::definition(), &attemptstables::definition()})
        for (const QString& statement : table->fileDdl)
            sql += statement + QStringLiteral(";\n");
    return sql;
}
