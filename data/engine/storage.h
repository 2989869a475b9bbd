#pragma once

#include "field.h"

#include <QDateTime>
#include <QString>
#include <QVariant>

#include <vector>

// One stored column of a table object's rows, kept compactly: whole numbers (keys, integers, yes/no, and
// date-times as seconds) in one vector, text in another, nulls in a bitmap. A row is an index into it.
struct Column {
    FieldKind kind = FieldKind::Text;
    std::vector<qint64> ints;
    std::vector<QString> texts;
    std::vector<bool> nulls;

    bool isText() const { return kind == FieldKind::Text; }
    int size() const { return int(nulls.size()); }
    bool isNull(int row) const { return nulls[row]; }
    qint64 intAt(int row) const { return ints[row]; }
    const QString& textAt(int row) const { return texts[row]; }

    void clear();
    void reserve(int rows);
    // Adds a null row; set() fills it.
    void appendNull();
    // Stores a value already converted to the column's kind (see Table::convert); null stores null.
    void set(int row, const QVariant& value);
    QVariant value(int row) const;

    static qint64 encodeDateTime(const QDateTime& value);
    static QDateTime decodeDateTime(qint64 seconds);
};
