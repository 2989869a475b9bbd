#include "formats.h"

#include "base/failure.h"

#include <QLocale>
#include <QRegularExpression>

namespace formats {

namespace {

// The locale whose formats the program shows; tests and servers run with C/POSIX, where the program's
// Russian users' formats are the sensible choice.
QLocale displayLocale() {
    const QLocale system = QLocale::system();
    if (system.language() == QLocale::C)
        return QLocale(QLocale::Russian, QLocale::Russia);
    return system;
}

bool isCLocale() {
    return QLocale::system().language() == QLocale::C;
}

int digits(QStringView text, qsizetype from, qsizetype count, bool* ok) {
    int value = 0;
    for (qsizetype i = from; i < from + count; ++i) {
        const QChar c = text[i];
        if (c < u'0' || c > u'9') {
            *ok = false;
            return 0;
        }
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

} // namespace

QString shortDateFormat() {
    static const QString format =
        isCLocale() ? QStringLiteral("dd.MM.yyyy") : displayLocale().dateFormat(QLocale::ShortFormat);
    return format;
}

QString longTimeFormat() {
    static const QString format =
        isCLocale() ? QStringLiteral("H:mm:ss") : displayLocale().timeFormat(QLocale::LongFormat);
    return format;
}

QString dateTimeText(const QDateTime& value) {
    if (!value.isValid())
        return {};
    const QLocale locale = displayLocale();
    QString text = locale.toString(value.date(), shortDateFormat());
    if (value.time() != QTime(0, 0))
        text += u' ' + locale.toString(value.time(), longTimeFormat());
    return text;
}

QString displayText(FieldKind kind, const QVariant& value) {
    if (value.isNull())
        return {};
    switch (kind) {
    case FieldKind::Boolean:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case FieldKind::DateTime:
        return dateTimeText(value.toDateTime());
    case FieldKind::AutoInc:
    case FieldKind::Integer:
        return QString::number(value.toLongLong());
    case FieldKind::Text:
    case FieldKind::Lookup:
        break;
    }
    return value.toString();
}

QString isoText(const QDateTime& value) {
    if (!value.isValid())
        return {};
    if (value.time() == QTime(0, 0))
        return value.date().toString(Qt::ISODate);
    return value.date().toString(Qt::ISODate) + u' ' + value.time().toString(QStringLiteral("HH:mm:ss"));
}

QDateTime parseIso(QStringView text) {
    text = text.trimmed();
    if (text.size() < 10 || text[4] != u'-' || text[7] != u'-')
        return {};
    bool ok = true;
    const QDate date(digits(text, 0, 4, &ok), digits(text, 5, 2, &ok), digits(text, 8, 2, &ok));
    if (!ok || !date.isValid())
        return {};
    if (text.size() == 10)
        return QDateTime(date, QTime(0, 0));
    if ((text[10] != u' ' && text[10] != u'T') || text.size() < 16 || text[13] != u':')
        return {};
    const int hour = digits(text, 11, 2, &ok);
    const int minute = digits(text, 14, 2, &ok);
    int second = 0;
    if (text.size() >= 19 && text[16] == u':')
        second = digits(text, 17, 2, &ok);
    else if (text.size() != 16)
        return {};
    if (text.size() > 19 && text[19] != u'.')
        return {};
    const QTime time(hour, minute, second);
    if (!ok || !time.isValid())
        return {};
    return QDateTime(date, time);
}

QDateTime parseDateTime(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return {};
    QDateTime iso = parseIso(trimmed);
    if (iso.isValid())
        return iso;
    const QLocale locale = displayLocale();
    const QString datePart = trimmed.section(u' ', 0, 0);
    const QString timePart = trimmed.section(u' ', 1).trimmed();
    QDate date = locale.toDate(datePart, shortDateFormat());
    if (!date.isValid()) {
        // Day and month without leading zeros, and two-digit years, as people type them.
        static const QRegularExpression loose(
            QStringLiteral("^(\\d{1,2})([./-])(\\d{1,2})\\2(\\d{2}|\\d{4})$"));
        const auto match = loose.match(datePart);
        if (!match.hasMatch())
            return {};
        int year = match.captured(4).toInt();
        if (match.captured(4).size() == 2)
            year += year < 50 ? 2000 : 1900;
        date = shortDateFormat().startsWith(u'M')
                   ? QDate(year, match.captured(1).toInt(), match.captured(3).toInt())
                   : QDate(year, match.captured(3).toInt(), match.captured(1).toInt());
        if (!date.isValid())
            return {};
    }
    if (timePart.isEmpty())
        return QDateTime(date, QTime(0, 0));
    for (const QString& format : {longTimeFormat(), QStringLiteral("H:mm:ss"), QStringLiteral("H:mm")}) {
        const QTime time = locale.toTime(timePart, format);
        if (time.isValid())
            return QDateTime(date, time);
    }
    return {};
}

QVariant parseTyped(FieldKind kind, const QString& text, const QString& fieldName) {
    if (text.isEmpty())
        return {};
    switch (kind) {
    case FieldKind::Integer:
    case FieldKind::AutoInc: {
        static const QRegularExpression integer(QStringLiteral("^[+-]?\\d{1,10}$"));
        bool ok = integer.match(text).hasMatch();
        const qlonglong value = ok ? text.toLongLong(&ok) : 0;
        if (!ok || value < INT_MIN || value > INT_MAX)
            throw Failure(
                QStringLiteral("'%1' is not a valid integer value for field '%2'").arg(text, fieldName));
        return QVariant(int(value));
    }
    case FieldKind::Boolean:
        if (QStringLiteral("False").startsWith(text, Qt::CaseInsensitive))
            return QVariant(false);
        if (QStringLiteral("True").startsWith(text, Qt::CaseInsensitive))
            return QVariant(true);
        throw Failure(
            QStringLiteral("'%1' is not a valid boolean value for field '%2'").arg(text, fieldName));
    case FieldKind::DateTime: {
        const QDateTime value = parseDateTime(text);
        if (!value.isValid())
            throw Failure(QStringLiteral("'%1' is not a valid date and time").arg(text));
        return QVariant(value);
    }
    case FieldKind::Text:
    case FieldKind::Lookup:
        break;
    }
    return QVariant(text);
}

} // namespace formats
