#include "jet3file.h"

#include <QtEndian>

#include <algorithm>
#include <array>
#include <numeric>

namespace {

constexpr int pageSize = 2048;
constexpr int catalogPage = 2; // where Jet keeps MSysObjects' definition
constexpr int catalogDataPage = 3;
constexpr int mapsPage = 4;
constexpr int tablePage = 5;
constexpr int tableDataPage = 6; // the first of the table's data pages

// Column kinds as Jet numbers them.
constexpr quint8 longKind = 4;
constexpr quint8 shortKind = 3;
constexpr quint8 textKind = 10;
constexpr quint8 oleKind = 11;

struct Column {
    QByteArray name;
    quint8 kind;
    bool autoNumber = false;
    int size = 0;      // bytes of a fixed column, characters of a text column
    int position = -1; // offset among the fixed columns, or -1 for a variable one
    int variable = -1; // number among the variable columns
};

// A column value as a row stores it; an empty one is null.
using Values = QVector<QByteArray>;

void put16(QByteArray& page, int at, quint16 value) {
    qToLittleEndian(value, page.data() + at);
}
void put32(QByteArray& page, int at, quint32 value) {
    qToLittleEndian(value, page.data() + at);
}

// The page holding rows from its end towards its start, as a data page does.
QByteArray rowPage(quint8 type, quint32 owner, const QVector<QByteArray>& rows) {
    QByteArray page(pageSize, '\0');
    page[0] = char(type);
    page[1] = 0x01;
    put32(page, 4, owner);
    put16(page, 8, quint16(rows.size()));
    int end = pageSize;
    for (int i = 0; i < rows.size(); ++i) {
        end -= int(rows[i].size());
        page.replace(end, rows[i].size(), rows[i]);
        put16(page, 10 + 2 * i, quint16(end));
    }
    put16(page, 2, quint16(end - 10 - 2 * rows.size())); // free room
    return page;
}

// One row in Jet 3's layout: the column count, the fixed columns, the variable ones, the end of data, the
// variable columns' offsets last first, their count and the null mask. Rows stay under 256 bytes, so no
// jump table is needed.
QByteArray row(const QVector<Column>& columns, const Values& values) {
    const int fixedSize = std::accumulate(columns.cbegin(), columns.cend(), 0, [](int sum, const Column& c) {
        return c.position >= 0 ? sum + c.size : sum;
    });
    QByteArray bytes(1 + fixedSize, '\0');
    bytes[0] = char(columns.size());
    QVector<int> offsets;
    quint8 present = 0;
    for (int i = 0; i < columns.size(); ++i) {
        if (!values[i].isEmpty())
            present |= quint8(1u << i);
        if (columns[i].position >= 0)
            bytes.replace(1 + columns[i].position, values[i].size(), values[i]);
    }
    for (int i = 0; i < columns.size(); ++i)
        if (columns[i].variable >= 0) {
            offsets.append(int(bytes.size()));
            bytes += values[i];
        }
    bytes += char(bytes.size()); // end of data
    for (auto offset = offsets.crbegin(); offset != offsets.crend(); ++offset)
        bytes += char(*offset);
    bytes += char(offsets.size());
    bytes += char(present);
    return bytes;
}

QByteArray definition(const QVector<Column>& columns, int rows, quint32 usageMap) {
    QByteArray page(pageSize, '\0');
    page[0] = 0x02;
    page[1] = 0x01;
    page[2] = 'V';
    page[3] = 'C';
    put32(page, 12, quint32(rows));
    put32(page, 16, quint32(rows + 1)); // the next autonumber
    page[20] = 0x4e;                    // a user table
    const int variable =
        int(std::count_if(columns.cbegin(), columns.cend(), [](const Column& c) { return c.variable >= 0; }));
    put16(page, 21, quint16(columns.size()));
    put16(page, 23, quint16(variable));
    put16(page, 25, quint16(columns.size()));
    put32(page, 35, usageMap);
    put32(page, 39, usageMap); // the free-space map: the same pages
    int at = 43;
    for (int i = 0; i < columns.size(); ++i, at += 18) {
        const Column& c = columns[i];
        page[at] = char(c.kind);
        page[at + 1] = char(i);
        put16(page, at + 3, quint16(std::max(c.variable, 0)));
        put16(page, at + 5, quint16(i));
        put16(page, at + 7, 0x409); // general sort order
        page[at + 13] = char((c.position >= 0 ? 0x01 : 0x00) | 0x02 | (c.autoNumber ? 0x04 : 0x00));
        put16(page, at + 14, quint16(std::max(c.position, 0)));
        put16(page, at + 16, quint16(c.size));
    }
    for (const Column& c : columns) {
        page[at++] = char(c.name.size());
        page.replace(at, c.name.size(), c.name);
        at += int(c.name.size());
    }
    put16(page, 8, quint16(at));
    return page;
}

// A usage map of type 0: the first page and a bit for each page from it, `pages` pages in use.
QByteArray usageMap(quint32 firstPage, int pages) {
    QByteArray map(5 + (pages + 7) / 8, '\0');
    qToLittleEndian(firstPage, map.data() + 1);
    for (int i = 0; i < pages; ++i)
        map[5 + i / 8] = char(map[5 + i / 8] | (1 << (i % 8)));
    return map;
}

QByteArray littleEndian32(quint32 value) {
    QByteArray bytes(4, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

// RC4, with which Jet hides the header's settings.
void rc4(const std::array<quint8, 4>& key, char* data, int size) {
    std::array<quint8, 256> s{};
    std::iota(s.begin(), s.end(), quint8(0));
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[size_t(i)] + key[size_t(i) % key.size()]) & 0xff;
        std::swap(s[size_t(i)], s[size_t(j)]);
    }
    for (int n = 0, i = 0, j = 0; n < size; ++n) {
        i = (i + 1) & 0xff;
        j = (j + s[size_t(i)]) & 0xff;
        std::swap(s[size_t(i)], s[size_t(j)]);
        data[n] = char(quint8(data[n]) ^ s[(s[size_t(i)] + s[size_t(j)]) & 0xff]);
    }
}

QByteArray header(quint16 codePage) {
    QByteArray page(pageSize, '\0');
    page[1] = 0x01;
    page.replace(4, 16, QByteArray("Standard Jet DB", 16));
    page[0x14] = 0; // Jet 3
    put16(page, 0x3c, codePage);
    rc4({0xc7, 0xda, 0x39, 0x6b}, page.data() + 0x18, 126);
    return page;
}

} // namespace

QByteArray Jet3File::bytes() const {
    const QVector<Column> catalog{{"Id", longKind, false, 4, 0, -1},
                                  {"Name", textKind, false, 255, -1, 0},
                                  {"Type", shortKind, false, 2, 4, -1},
                                  {"Flags", longKind, false, 4, 6, -1},
                                  {"LvProp", oleKind, false, 0, -1, 1}};
    QVector<Column> columns{{keyColumn, longKind, true, 4, 0, -1}, {textColumn, textKind, false, 50, -1, 0}};
    QVector<QByteArray> rows;
    for (int i = 0; i < texts.size(); ++i)
        rows.append(row(columns, {littleEndian32(keys.value(i, quint32(i + 1))), texts[i]}));
    columns[0].size = keySize;
    const QByteArray entry =
        row(catalog, {littleEndian32(tablePage), table, QByteArray("\x01\x00", 2), QByteArray(4, '\0'), {}});
    // As many rows on each data page as fit beside their offsets.
    QVector<QVector<QByteArray>> pages(1);
    int room = pageSize - 10;
    for (const QByteArray& r : std::as_const(rows)) {
        if (r.size() + 2 > room) {
            pages.append(QVector<QByteArray>());
            room = pageSize - 10;
        }
        pages.last().append(r);
        room -= int(r.size()) + 2;
    }
    QByteArray file;
    file += header(headerCodePage);
    file += QByteArray(pageSize, '\0');
    file += definition(catalog, 1, mapsPage << 8 | 0);
    file += rowPage(0x01, catalogPage, {entry});
    file += rowPage(0x01, 0, {usageMap(catalogDataPage, 1), usageMap(tableDataPage, int(pages.size()))});
    file += definition(columns, int(rows.size()), mapsPage << 8 | 1);
    for (const QVector<QByteArray>& page : std::as_const(pages))
        file += rowPage(0x01, tablePage, page);
    return file;
}
