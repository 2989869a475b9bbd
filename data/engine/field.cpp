#include "field.h"

FieldDef makeField(const QString& name, FieldKind kind, int displayWidth) {
    FieldDef f;
    f.name = name;
    f.kind = kind;
    f.size = kind == FieldKind::Text ? 255 : kind == FieldKind::Lookup ? 20 : 0;
    f.displayWidth = displayWidth;
    return f;
}

FieldDef makeHiddenField(const QString& name, FieldKind kind) {
    FieldDef f = makeField(name, kind);
    f.visible = false;
    return f;
}

FieldDef makeLookupField(const QString& name, const QString& keyField, Table* table,
                         const QString& resultField, int displayWidth) {
    FieldDef f = makeField(name, FieldKind::Lookup, displayWidth);
    f.keyField = keyField;
    f.lookupTable = table;
    f.lookupKeyField = keyField;
    f.lookupResultField = resultField;
    return f;
}

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
