#pragma once

#include <QString>

// A table or column name as one SQL identifier: between double quotes, a double quote in it doubled.
inline QString quotedSqlName(const QString& name) {
    return u'"' + QString(name).replace(u'"', QStringLiteral("\"\"")) + u'"';
}
