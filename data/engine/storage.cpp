#include "storage.h"

#include <QFile>

#include <cstdint>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace {
constexpr qint64 secondsPerDay = 86400;

#if defined(__linux__) && defined(MADV_HUGEPAGE)
constexpr std::size_t hugePage = std::size_t(2) << 20;
constexpr std::size_t mappedFrom = 2 * hugePage;

// Whether the kernel gives huge pages to memory that asks for them ("always" or "madvise", not "never").
bool hugePagesOffered() {
    static const bool offered = [] {
        QFile setting(QStringLiteral("/sys/kernel/mm/transparent_hugepage/enabled"));
        return setting.open(QIODevice::ReadOnly) && !setting.readAll().contains("[never]");
    }();
    return offered;
}

bool mapped(std::size_t bytes) {
    return bytes >= mappedFrom && hugePagesOffered();
}

std::size_t mappedSize(std::size_t bytes) {
    return (bytes + hugePage - 1) / hugePage * hugePage;
}
#endif
} // namespace

namespace rowstorage {

void* allocate(std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (mapped(bytes)) {
        // Mapped one huge page larger, then cut to a huge page boundary at both ends.
        const std::size_t size = mappedSize(bytes);
        void* area =
            mmap(nullptr, size + hugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (area == MAP_FAILED)
            throw std::bad_alloc();
        const auto start = reinterpret_cast<std::uintptr_t>(area);
        const std::uintptr_t aligned = (start + hugePage - 1) / hugePage * hugePage;
        if (aligned > start)
            munmap(area, aligned - start);
        if (const std::size_t after = start + size + hugePage - (aligned + size); after > 0)
            munmap(reinterpret_cast<void*>(aligned + size), after);
        void* block = reinterpret_cast<void*>(aligned);
        madvise(block, size, MADV_HUGEPAGE); // only advice: small pages serve where it is not taken
        return block;
    }
#endif
    return ::operator new(bytes);
}

void release(void* block, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (mapped(bytes)) {
        munmap(block, mappedSize(bytes));
        return;
    }
#endif
    ::operator delete(block);
}

} // namespace rowstorage

void Column::clear() {
    ints = {};
    texts = {};
    nulls = {};
}

void Column::resize(int rows) {
    if (!isStored())
        return;
    nulls.resize(size_t(rows), true);
    if (isText())
        texts.resize(size_t(rows));
    else
        ints.resize(size_t(rows), 0);
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
    return encode(value.date(), value.time().msecsSinceStartOfDay() / 1000);
}

qint64 Column::encode(const QDate& date, int secondsOfDay) {
    return date.toJulianDay() * secondsPerDay + secondsOfDay;
}

bool Column::parseStoredDateTime(const char* text, int length, qint64* seconds) {
    while (length > 0 && text[length - 1] == ' ')
        --length;
    bool ok = true;
    auto number = [&](int from, int count) {
        int value = 0;
        for (int i = from; i < from + count; ++i) {
            if (i >= length || text[i] < '0' || text[i] > '9') {
                ok = false;
                return 0;
            }
            value = value * 10 + (text[i] - '0');
        }
        return value;
    };
    if (length < 10 || text[4] != '-' || text[7] != '-')
        return false;
    const int year = number(0, 4);
    const int month = number(5, 2);
    const int day = number(8, 2);
    static constexpr int monthDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (!ok || year < 1 || month < 1 || month > 12 || day < 1 || day > monthDays[month - 1])
        return false;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (month == 2 && day == 29 && !leap)
        return false;
    // The Julian day number of a Gregorian date (Fliegel and Van Flandern), as QDate counts it.
    const int a = (14 - month) / 12;
    const qint64 y = year + 4800 - a;
    const qint64 m = month + 12 * a - 3;
    const qint64 julianDay = day + (153 * m + 2) / 5 + 365 * y + y / 4 - y / 100 + y / 400 - 32045;
    int secs = 0;
    if (length > 10) {
        if ((text[10] != ' ' && text[10] != 'T') || length < 16 || text[13] != ':')
            return false;
        const int hour = number(11, 2);
        const int minute = number(14, 2);
        const int second = length >= 19 && text[16] == ':' ? number(17, 2) : 0;
        if (length > 16 && text[16] != ':')
            return false;
        if (length > 19 && text[19] != '.')
            return false;
        if (!ok || hour > 23 || minute > 59 || second > 59)
            return false;
        secs = hour * 3600 + minute * 60 + second;
    }
    *seconds = julianDay * secondsPerDay + secs;
    return true;
}

QDateTime Column::decodeDateTime(qint64 seconds) {
    const qint64 day = seconds >= 0 ? seconds / secondsPerDay : (seconds - secondsPerDay + 1) / secondsPerDay;
    const qint64 rest = seconds - day * secondsPerDay;
    return QDateTime(QDate::fromJulianDay(day), QTime::fromMSecsSinceStartOfDay(int(rest * 1000)));
}
