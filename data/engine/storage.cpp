#include "storage.h"

namespace {
constexpr qint64 secondsPerDay = 86400;
}

void Column::clear() {
    ints = {};
    texts = {};
    nulls = {};
}

void Column::reserve(int rows) {
    nulls.reserve(rows);
    if (isText())
        texts.reserve(rows);
    else
        ints.reserve(rows);
}

void Column::appendNull() {
    nulls.push_back(true);
    if (isText())
        texts.emplace_back();
    else
        ints.push_back(0);
}

void Column::set(int row, const QVariant& value) {
    nulls[row] = value.isNull();
    if (isText()) {
        texts[row] = value.isNull() ? QString() : value.toString();
        return;
    }
    if (value.isNull())
        ints[row] = 0;
    else if (kind == FieldKind::DateTime)
        ints[row] = encodeDateTime(value.toDateTime());
    else if (kind == FieldKind::Boolean)
        ints[row] = value.toBool() ? 1 : 0;
    else
        ints[row] = value.toLongLong();
}

QVariant Column::value(int row) const {
    if (nulls[row])
        return {};
    switch (kind) {
    case FieldKind::Text:
    case FieldKind::Lookup:
        return QVariant(texts[row]);
    case FieldKind::Boolean:
        return QVariant(ints[row] != 0);
    case FieldKind::DateTime:
        return QVariant(decodeDateTime(ints[row]));
    case FieldKind::AutoInc:
    case FieldKind::Integer:
        break;
    }
    return QVariant(int(ints[row]));
}

qint64 Column::encodeDateTime(const QDateTime& value) {
    return value.date().toJulianDay() * secondsPerDay + value.time().msecsSinceStartOfDay() / 1000;
}

QDateTime Column::decodeDateTime(qint64 seconds) {
    const qint64 day = seconds >= 0 ? seconds / secondsPerDay : (seconds - secondsPerDay + 1) / secondsPerDay;
    const qint64 rest = seconds - day * secondsPerDay;
    return QDateTime(QDate::fromJulianDay(day), QTime::fromMSecsSinceStartOfDay(int(rest * 1000)));
}
