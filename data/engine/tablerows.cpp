// Reading a table's rows into its columns from the database behind the connection.
#include "table_p.h"

#include "backend.h"
#include "connection.h"

#include <QByteArray>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <numeric>

// Repeated short texts of one column (marks, class names) share one string while rows are read. Texts of
// up to 7 bytes are found by their bytes packed into one number, longer ones by the bytes themselves.
class TextPool {
public:
    QString text(const char* utf8, int length) {
        if (length < 8) {
            quint64 key = quint64(length) << 56;
            std::memcpy(&key, utf8, size_t(length));
            if (const auto it = m_short.constFind(key); it != m_short.cend())
                return *it;
            QString value = QString::fromUtf8(utf8, length);
            if (m_short.size() < limit)
                m_short.insert(key, value);
            return value;
        }
        if (length > 32)
            return QString::fromUtf8(utf8, length);
        if (const auto it = m_long.constFind(QByteArray::fromRawData(utf8, length)); it != m_long.cend())
            return *it;
        QString value = QString::fromUtf8(utf8, length);
        if (m_long.size() < limit)
            m_long.insert(QByteArray(utf8, length), value);
        return value;
    }

private:
    static constexpr int limit = 4096;
    QHash<quint64, QString> m_short;
    QHash<QByteArray, QString> m_long;
};

namespace {

// A real stored in a text column, written as SQLite writes it: "2.0", "0.5", "1.0e+20".
QString realText(double value) {
    QString text = QString::number(value, 'g', 15);
    if (!text.contains(u'.') && !text.contains(u'e') && !text.contains(u'n') && !text.contains(u'i'))
        text += QStringLiteral(".0");
    return text;
}

} // namespace

// One row of the stream into the columns.
void TableData::readRow(const backend::RowStream& rows, std::vector<Column>& into, int row,
                        std::vector<TextPool>& interned) const {
    int col = -1;
    for (int pos = 0; pos < fields.size(); ++pos) {
        if (columnNames[pos].isEmpty())
            continue;
        Column& c = into[size_t(pos)];
        const backend::Cell value = rows.cell(++col);
        if (value.type == backend::Cell::Null)
            continue;
        if (c.isText()) {
            c.texts[size_t(row)] = value.type == backend::Cell::Text
                                       ? interned[size_t(pos)].text(value.text, value.length)
                                   : value.type == backend::Cell::Integer ? QString::number(value.integer)
                                                                          : realText(value.real);
            c.nulls[size_t(row)] = false;
            continue;
        }
        bool ok = true;
        qint64 v = 0;
        if (value.type == backend::Cell::Integer) {
            v = value.integer;
        } else if (value.type == backend::Cell::Real) {
            // A real beyond the whole numbers (1e300, NaN) is an invalid value, never converted out of range.
            ok = value.real > -9.2e18 && value.real < 9.2e18;
            v = ok ? qint64(value.real) : 0;
        } else if (c.kind == FieldKind::DateTime) {
            ok = Column::parseStoredDateTime(value.text, value.length, &v);
        } else if (const auto [end, error] = std::from_chars(value.text, value.text + value.length, v);
                   error != std::errc() || end != value.text + value.length) {
            // Not a plain whole number: blanks around it, letter case of yes/no words, a sign.
            const QByteArray word = QByteArray(value.text, value.length).trimmed().toLower();
            if (c.kind == FieldKind::Boolean && (word.startsWith('t') || word.startsWith('f')))
                v = word.startsWith('t');
            else
                v = word.toLongLong(&ok);
        }
        if (c.kind == FieldKind::Boolean)
            v = v != 0;
        else if ((c.kind == FieldKind::Integer || c.kind == FieldKind::AutoInc) &&
                 (v < INT_MIN || v > INT_MAX))
            ok = false; // integer fields hold 32 bits
        c.ints[size_t(row)] = v;
        c.nulls[size_t(row)] = !ok;
    }
}

QStringList TableData::storedColumns() const {
    QStringList names;
    for (const QString& name : columnNames)
        if (!name.isEmpty())
            names.append(name);
    return names;
}

// Runs a read of the table's rows; a failure of the database in the user's words.
void TableData::reading(const std::function<void(backend::Backend&)>& read) const {
    backend::Backend& database = q->connection()->backend();
    try {
        database.retryingRead([&] { read(database); });
    } catch (const backend::DatabaseError& error) {
        fail(error.sentence(QStringLiteral("Строки таблицы нельзя прочитать: ")));
    }
}

void TableData::loadRows() {
    reading([this](backend::Backend& database) {
        const std::unique_ptr<backend::RowStream> rows = database.select(realTable, storedColumns());
        for (Column& c : columns)
            c.clear();
        rowids.clear();
        deleted.clear();
        // Sized once for the counted rows; rows written meanwhile by someone else grow it.
        int capacity = int(std::clamp<qint64>(rows->sizeHint(), 0, INT_MAX / 2));
        auto resize = [&](int count) {
            for (Column& c : columns)
                c.resize(count);
            rowids.resize(size_t(count));
            deleted.resize(size_t(count), false);
        };
        resize(capacity);
        std::vector<TextPool> interned(columns.size());
        int row = 0;
        while (rows->next()) {
            if (row == capacity)
                resize(capacity = capacity * 2 + 16);
            rowids[size_t(row)] = rows->key();
            readRow(*rows, columns, row++, interned);
        }
        resize(row);
        if (capacity > row + row / 4 + 1024)
            shrink();
        // A server gives the rows as they lie; the table shows them in key order, as a file does.
        if (!std::is_sorted(rowids.begin(), rowids.end()))
            orderByKey();
    });
    invalidateIndexes();
}

bool TableData::loadRowsAfter() {
    bool added = false;
    reading([&](backend::Backend& database) {
        const qint64 last = rowids.empty() ? 0 : rowids.back();
        const std::unique_ptr<backend::RowStream> rows =
            database.selectAfter(realTable, storedColumns(), last);
        std::vector<TextPool> interned(columns.size());
        while (rows->next()) {
            const int row = int(rowids.size());
            for (Column& c : columns)
                c.resize(row + 1);
            rowids.push_back(rows->key());
            deleted.push_back(false);
            readRow(*rows, columns, row, interned);
            added = true;
        }
    });
    if (added)
        invalidateIndexes();
    return added;
}

namespace {

template <typename Vector> void permute(Vector& values, const std::vector<int>& order) {
    if (values.empty())
        return;
    Vector moved(values.size());
    for (size_t i = 0; i < order.size(); ++i)
        moved[i] = std::move(values[size_t(order[i])]);
    values.swap(moved);
}

} // namespace

void TableData::orderByKey() {
    std::vector<int> byKey(rowids.size());
    std::iota(byKey.begin(), byKey.end(), 0);
    std::sort(byKey.begin(), byKey.end(),
              [this](int a, int b) { return rowids[size_t(a)] < rowids[size_t(b)]; });
    for (Column& c : columns) {
        permute(c.ints, byKey);
        permute(c.texts, byKey);
        permute(c.nulls, byKey);
    }
    permute(rowids, byKey);
    permute(deleted, byKey);
}

void TableData::shrink() {
    for (Column& c : columns) {
        c.ints.shrink_to_fit();
        c.texts.shrink_to_fit();
        c.nulls.shrink_to_fit();
    }
    rowids.shrink_to_fit();
    deleted.shrink_to_fit();
}

// Re-reads one stored row after it was written, so defaults and conversions show as stored.
void TableData::reloadRow(int row) {
    reading([&](backend::Backend& database) {
        const auto rows = database.select(realTable, storedColumns(), rowids[size_t(row)]);
        std::vector<TextPool> interned(columns.size());
        if (rows->next()) {
            for (int pos = 0; pos < fields.size(); ++pos)
                if (!columnNames[pos].isEmpty())
                    columns[size_t(pos)].set(row, QVariant());
            readRow(*rows, columns, row, interned);
        }
    });
}

bool TableData::storedRowUnchanged(int row) const {
    // Asked inside the write's transaction, so the row is locked and read without a retry.
    const auto rows =
        q->connection()->backend().select(realTable, storedColumns(), rowids[size_t(row)], true);
    std::vector<Column> stored(columns.size());
    for (size_t pos = 0; pos < stored.size(); ++pos) {
        stored[pos].kind = columns[pos].kind;
        stored[pos].resize(1);
    }
    std::vector<TextPool> interned(columns.size());
    if (!rows->next())
        return false;
    readRow(*rows, stored, 0, interned);
    for (int pos = 0; pos < fields.size(); ++pos) {
        if (columnNames[pos].isEmpty())
            continue;
        const Column& now = stored[size_t(pos)];
        const Column& read = columns[size_t(pos)];
        if (now.isNull(0) != read.isNull(row))
            return false;
        if (now.isNull(0))
            continue;
        if (now.isText() ? now.textAt(0) != read.textAt(row) : now.intAt(0) != read.intAt(row))
            return false;
    }
    return true;
}
