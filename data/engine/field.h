#pragma once

#include <QString>

class Table;

enum class FieldKind { AutoInc, Text, Integer, Boolean, DateTime, Lookup };

// One field of a table object's field list.
struct FieldDef {
    QString name;
    FieldKind kind = FieldKind::Text;
    int size = 0;         // text: the declared size in characters; lookup: 20
    int displayWidth = 0; // characters a grid reserves; 0 takes the kind's default (see Table::displayWidth)
    bool visible = true;  // hidden fields get no grid column

    // Lookup fields only: this row's key field, the lookup table, its key field and its result field.
    QString keyField;
    Table* lookupTable = nullptr;
    QString lookupKeyField;
    QString lookupResultField;

    bool readOnly() const { return kind == FieldKind::AutoInc; }
    bool isLookup() const { return kind == FieldKind::Lookup; }
};

// Builders of field lists. A field of `kind` (a text field holds 255 characters) that a grid shows
// `displayWidth` characters wide (0: the kind's default), or one that gets no grid column.
FieldDef makeField(const QString& name, FieldKind kind, int displayWidth = 0);
FieldDef makeHiddenField(const QString& name, FieldKind kind);
// A lookup field: this row's `keyField` found in the same-named field of `table`, showing its `resultField`.
FieldDef makeLookupField(const QString& name, const QString& keyField, Table* table,
                         const QString& resultField, int displayWidth = 0);

// The kind's name as the type-mismatch message spells it ("AutoInc", "WideString", "Integer", "Boolean",
// "DateTime").
QString kindName(FieldKind kind);
