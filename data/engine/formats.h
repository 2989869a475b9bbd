#pragma once

#include "field.h"

#include <QDateTime>
#include <QString>
#include <QVariant>

// How field values become text and typed text becomes values. Shared by the table objects, the record-bound
// widgets and the report, so that every view of a value agrees.
namespace formats {

// The system's short date and long time formats; Russian ones when the system locale is C/POSIX.
QString shortDateFormat();
QString longTimeFormat();

// Date-time display text: the short date, then a blank and the long time when the time of day is not zero.
QString dateTimeText(const QDateTime& value);
// A value of the given kind as grids show it: text as is, integers in decimal, "True"/"False", date-times as
// above; null gives empty text.
QString displayText(FieldKind kind, const QVariant& value);

// The stored form of a date-time: "YYYY-MM-DD" or "YYYY-MM-DD HH:MM:SS".
QString isoText(const QDateTime& value);
// Parses the stored form (a "T" between date and time and fractional seconds allowed); invalid if malformed.
QDateTime parseIso(QStringView text);

// Typed text by the rules of the field's kind; empty text gives null. Failures throw Failure with the
// kind's message ("'%s' is not a valid integer value for field '%s'", ...), unprefixed.
QVariant parseTyped(FieldKind kind, const QString& text, const QString& fieldName);
// A typed date and optional time in the system's short date format (ISO accepted too); invalid if not one.
QDateTime parseDateTime(const QString& text);

} // namespace formats
