#include "field.h"

QString kindName(FieldKind kind) {
    switch (kind) {
    case FieldKind::AutoInc:
        return QStringLiteral("AutoInc");
    case FieldKind::Text:
    case FieldKind::Lookup:
        return QStringLiteral("WideString");
    case FieldKind::Integer:
        return QStringLiteral("Integer");
    case FieldKind::Boolean:
        return QStringLiteral("Boolean");
    case FieldKind::DateTime:
        return QStringLiteral("DateTime");
    }
    return {};
}
