#pragma once

#include "field.h"

#include <QDateTime>
#include <QString>
#include <QVariant>

#include <cstddef>
#include <new>
#include <vector>

// Where a large table's rows are kept. Blocks of 4 MB and more (a million rows' whole numbers take 8 MB) are
// mapped on their own and backed by huge pages where the system offers them on request: opening a table of a
// million rows then faults in some forty 2 MB pages instead of twenty thousand small ones, which cost more
// than reading the rows. Smaller blocks, and every block where huge pages are not offered, come from the
// heap.
namespace rowstorage {
void* allocate(std::size_t bytes);
void release(void* block, std::size_t bytes);
} // namespace rowstorage

template <typename T> struct RowAllocator {
    using value_type = T;
    RowAllocator() = default;
    template <typename U> RowAllocator(const RowAllocator<U>&) noexcept {}
    T* allocate(std::size_t n) { return static_cast<T*>(rowstorage::allocate(n * sizeof(T))); }
    void deallocate(T* p, std::size_t n) noexcept { rowstorage::release(p, n * sizeof(T)); }
    template <typename U> bool operator==(const RowAllocator<U>&) const noexcept { return true; }
};

// One value per row.
template <typename T> using RowVector = std::vector<T, RowAllocator<T>>;

// One stored column of a table object's rows, kept compactly: whole numbers (keys, integers, yes/no, and
// date-times as seconds) in one vector, text in another, nulls in a bitmap. A row is an index into it.
struct Column {
    FieldKind kind = FieldKind::Text;
    RowVector<qint64> ints;
    RowVector<QString> texts;
    RowVector<bool> nulls;

    bool isText() const { return kind == FieldKind::Text; }
    int size() const { return int(nulls.size()); }
    bool isStored() const { return kind != FieldKind::Lookup; }
    bool isNull(int row) const { return nulls[row]; }
    qint64 intAt(int row) const { return ints[row]; }
    const QString& textAt(int row) const { return texts[row]; }

    void clear();
    // Makes the column `rows` long; new rows are null. A lookup field has no stored column and stays empty.
    void resize(int rows);
    void appendNull() { resize(size() + 1); }
    // Stores a value already converted to the column's kind (see Table::convert); null stores null.
    void set(int row, const QVariant& value);
    QVariant value(int row) const;

    static qint64 encodeDateTime(const QDateTime& value);
    static qint64 encode(const QDate& date, int secondsOfDay);
    // The stored ISO text ("YYYY-MM-DD" or "YYYY-MM-DD HH:MM:SS", "T" and fractions allowed) as encoded
    // seconds; false if malformed. Works on the bytes, as opening a large table reads many dates.
    static bool parseStoredDateTime(const char* text, int length, qint64* seconds);
    static QDateTime decodeDateTime(qint64 seconds);
};
