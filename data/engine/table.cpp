#include "table.h"

#include "connection.h"
#include "datasource.h"
#include "filter.h"
#include "formats.h"
#include "storage.h"
#include "writeerrors.h"

#include "base/failure.h"

#include <QCollator>
#include <QHash>
#include <QMutex>
#include <QPointer>
#include <QRegularExpression>
#include <QScopedValueRollback>
#include <QSqlError>
#include <QSqlQuery>

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>
#include <unordered_set>

namespace {

constexpr int pendingRow = -1;  // the new row of an insert, not yet in the database
constexpr int lookupWidth = 20; // characters a lookup field holds when its size is not given

const QCollator& textCollator() {
    static const QCollator collator = [] {
        QCollator c{QLocale(QLocale::Russian, QLocale::Russia)};
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    return collator;
}

QString variantTypeName(const QVariant& v) {
    switch (v.typeId()) {
    case QMetaType::QString:
        return QStringLiteral("String");
    case QMetaType::Bool:
        return QStringLiteral("Boolean");
    case QMetaType::Double:
    case QMetaType::Float:
        return QStringLiteral("Double");
    case QMetaType::QDate:
    case QMetaType::QDateTime:
        return QStringLiteral("Date");
    default:
        break;
    }
    return v.isNull() ? QStringLiteral("Null") : QStringLiteral("Integer");
}

[[noreturn]] void cannotConvert(const QVariant& v, const QString& target) {
    throw Failure(QStringLiteral("Could not convert variant of type (%1) into type (%2)")
                      .arg(variantTypeName(v), target));
}

bool isNumber(const QVariant& v) {
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
        return true;
    default:
        return false;
    }
}

// A value of any type as a value of the field's kind (int, bool, QDateTime or QString); null stays null.
QVariant convert(const FieldDef& field, const QVariant& v) {
    if (v.isNull())
        return {};
    switch (field.kind) {
    case FieldKind::Text: {
        if (v.typeId() == QMetaType::QDateTime || v.typeId() == QMetaType::QDate)
            return formats::dateTimeText(v.toDateTime());
        if (v.typeId() == QMetaType::Bool)
            return formats::displayText(FieldKind::Boolean, v);
        return v.toString();
    }
    case FieldKind::AutoInc:
    case FieldKind::Integer: {
        if (v.typeId() == QMetaType::QString)
            return formats::parseTyped(FieldKind::Integer, v.toString(), field.name);
        if (v.typeId() == QMetaType::Bool)
            return QVariant(v.toBool() ? 1 : 0);
        if (!isNumber(v))
            cannotConvert(v, QStringLiteral("Integer"));
        const double d = v.toDouble();
        if (d < INT_MIN || d > INT_MAX)
            throw Failure(QStringLiteral("'%1' is not a valid integer value for field '%2'")
                              .arg(v.toString(), field.name));
        return QVariant(int(v.toLongLong()));
    }
    case FieldKind::Boolean:
        if (v.typeId() == QMetaType::QString)
            return formats::parseTyped(FieldKind::Boolean, v.toString(), field.name);
        if (v.typeId() == QMetaType::Bool || isNumber(v))
            return QVariant(v.toBool());
        cannotConvert(v, QStringLiteral("Boolean"));
    case FieldKind::DateTime:
        if (v.typeId() == QMetaType::QDateTime)
            return QVariant(QDateTime(v.toDateTime().date(), v.toDateTime().time()));
        if (v.typeId() == QMetaType::QDate)
            return QVariant(QDateTime(v.toDate(), QTime(0, 0)));
        if (v.typeId() == QMetaType::QString)
            return formats::parseTyped(FieldKind::DateTime, v.toString(), field.name);
        cannotConvert(v, QStringLiteral("Date"));
    case FieldKind::Lookup:
        break;
    }
    return v.toString();
}

// The value as the database stores it: yes/no as 0/1, date-times as ISO text.
QVariant storedForm(FieldKind kind, const QVariant& v) {
    if (v.isNull())
        return QVariant(QMetaType::fromType<QString>());
    switch (kind) {
    case FieldKind::Boolean:
        return QVariant(v.toBool() ? 1 : 0);
    case FieldKind::DateTime:
        return QVariant(formats::isoText(v.toDateTime()));
    case FieldKind::AutoInc:
    case FieldKind::Integer:
        return QVariant(v.toLongLong());
    case FieldKind::Text:
    case FieldKind::Lookup:
        break;
    }
    return QVariant(v.toString());
}

// The kind of a column from its declared type, by SQLite's affinity rules plus the yes/no and date-time
// names.
QString columnKindName(const Connection::ColumnInfo& c, bool singleKey, FieldKind* kind) {
    const QString type = c.declaredType.trimmed().toUpper();
    auto is = [&](FieldKind k) {
        *kind = k;
        return kindName(k);
    };
    if (c.primaryKey && singleKey && type == u"INTEGER")
        return is(FieldKind::AutoInc);
    if (type.startsWith(u"BOOL") || type == u"BIT" || type == u"YESNO" || type == u"LOGICAL")
        return is(FieldKind::Boolean);
    if (type.startsWith(u"DATE") || type.startsWith(u"TIMESTAMP"))
        return is(FieldKind::DateTime);
    if (type.contains(u"INT") || type == u"LONG")
        return is(FieldKind::Integer);
    if (type.contains(u"CHAR") || type.contains(u"CLOB") || type.contains(u"TEXT") || type == u"MEMO")
        return is(FieldKind::Text);
    *kind = FieldKind::Lookup; // none of the program's kinds
    if (type.contains(u"REAL") || type.contains(u"FLOA") || type.contains(u"DOUB"))
        return QStringLiteral("Float");
    if (type.isEmpty() || type.contains(u"BLOB"))
        return QStringLiteral("Blob");
    return QStringLiteral("Numeric");
}

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

// Lookups find a row by key through a hash over all stored rows, built on first use after each change.
struct LookupIndex {
    std::atomic<bool> ready{false};
    QHash<qint64, int> ints;
    QHash<QString, int> texts;
};

} // namespace

struct TableData : public filter::RowSource {
    explicit TableData(Table* table) : q(table) {}

    Table* q;
    QVector<FieldDef> fields;
    QVector<int> order;

    // master-detail
    QPointer<Table> master;
    std::vector<QPointer<Table>> details;
    QString linkField;
    QString masterField;
    int linkPos = -1;
    QVariant masterValue;

    // lookups: per lookup field, its key position here and the key and result positions there
    struct Binding {
        int keyPos = -1;
        int lookupKeyPos = -1;
        int resultPos = -1;
    };
    QVector<Binding> bindings;
    std::unordered_set<const Table*> lookupSources;

    bool active = false;
    Table::State state = Table::State::Inactive;
    QString realTable;
    QStringList columnNames; // the real column per field position; empty for lookups
    std::vector<Column> columns;
    std::vector<qint64> rowids;
    std::vector<bool> deleted;

    std::vector<int> visible;
    int cur = -1;
    bool bof = true;
    bool eof = true;

    QVector<QVariant> buffer;
    QVector<bool> assigned;
    bool modified = false;
    bool noticeGiven = false; // updatingRecord already emitted for the post under way
    int savedCur = -1;
    bool savedBof = true;
    bool savedEof = true;

    QString filterText;
    bool filtered = false;
    std::unique_ptr<filter::Expression> expression;
    QString sortText;
    QVector<int> sortPos;

    std::vector<std::unique_ptr<LookupIndex>> indexes;
    mutable QMutex indexMutex;

    // --- RowSource ---
    const Column* column(int pos) const override {
        return fields[pos].isLookup() ? nullptr : &columns[size_t(pos)];
    }
    QVariant value(int row, int pos) const override { return rowValue(row, pos); }

    int count() const { return int(visible.size()); }
    int currentRow() const { return cur >= 0 && cur < count() ? visible[size_t(cur)] : INT_MIN; }
    bool isBuffered(int row) const {
        return state != Table::State::Browse && state != Table::State::Inactive && row == currentRow();
    }

    QVariant rowValue(int row, int pos) const {
        const FieldDef& f = fields[pos];
        if (f.isLookup()) {
            const Binding& b = bindings[pos];
            if (!f.lookupTable || b.keyPos < 0)
                return {};
            const QVariant key = rowValue(row, b.keyPos);
            const TableData* other = f.lookupTable->d.get();
            const int found = other->active ? other->lookupRow(b.lookupKeyPos, key) : -1;
            if (found < 0)
                return {};
            // The stored row: a pending edit of the lookup table is not yet what others see.
            const QVariant result = other->fields[b.resultPos].isLookup()
                                        ? other->rowValue(found, b.resultPos)
                                        : other->columns[size_t(b.resultPos)].value(found);
            if (result.isNull())
                return {};
            return QVariant(formats::displayText(other->fields[b.resultPos].kind, result)
                                .left(f.size > 0 ? f.size : lookupWidth));
        }
        if (isBuffered(row))
            return buffer[pos];
        if (row < 0)
            return {};
        return columns[size_t(pos)].value(row);
    }

    int lookupRow(int keyPos, const QVariant& key) const {
        if (key.isNull() || keyPos < 0)
            return -1;
        LookupIndex& index = *indexes[size_t(keyPos)];
        const Column& c = columns[size_t(keyPos)];
        if (!index.ready.load(std::memory_order_acquire)) {
            QMutexLocker lock(&indexMutex);
            if (!index.ready.load(std::memory_order_relaxed)) {
                index.ints.clear();
                index.texts.clear();
                for (int row = c.size() - 1; row >= 0; --row) {
                    if (deleted[size_t(row)] || c.isNull(row))
                        continue;
                    if (c.isText())
                        index.texts.insert(c.textAt(row).toCaseFolded(), row);
                    else
                        index.ints.insert(c.intAt(row), row);
                }
                index.ready.store(true, std::memory_order_release);
            }
        }
        if (c.isText())
            return index.texts.value(key.toString().toCaseFolded(), -1);
        bool ok = false;
        const qint64 k = key.typeId() == QMetaType::Bool ? qint64(key.toBool()) : key.toLongLong(&ok);
        if (!ok && key.typeId() != QMetaType::Bool)
            return -1;
        return index.ints.value(k, -1);
    }

    void invalidateIndexes() {
        for (auto& index : indexes)
            index->ready.store(false);
    }

    // Announces a change, then lets the details follow. They follow by a plain call rather than through
    // the signal, so that a detail's failing post reaches the caller of this operation and never unwinds
    // through Qt's signal machinery.
    void notify(void (Table::*notice)()) {
        emit(q->*notice)();
        for (const QPointer<Table>& detail : std::vector<QPointer<Table>>(details))
            if (detail)
                detail->d->followMaster();
    }

    [[noreturn]] void fail(const QString& text) const {
        throw Failure(q->objectName() + QStringLiteral(": ") + text);
    }
    void checkActive() const {
        if (!active)
            fail(QStringLiteral("Cannot perform this operation on a closed dataset"));
    }

    // --- reading rows ---
    QString selectSql() const {
        QStringList cols{QStringLiteral("rowid")};
        for (const QString& name : columnNames)
            if (!name.isEmpty())
                cols.append(Connection::quoted(name));
        return QStringLiteral("SELECT %1 FROM %2").arg(cols.join(u','), Connection::quoted(realTable));
    }

    // One row of the SELECT into the columns. Each value is taken once through sqlite3_column_value (one
    // lock of the connection instead of one per accessor); the connection is used by this thread only.
    void readRow(sqlite3_stmt* stmt, int row, std::vector<TextPool>& interned) {
        rowids[size_t(row)] = sqlite3_column_int64(stmt, 0);
        int col = 0;
        for (int pos = 0; pos < fields.size(); ++pos) {
            if (columnNames[pos].isEmpty())
                continue;
            Column& c = columns[size_t(pos)];
            sqlite3_value* value = sqlite3_column_value(stmt, ++col);
            const int type = sqlite3_value_type(value);
            if (type == SQLITE_NULL)
                continue;
            if (c.isText()) {
                const char* utf8 = reinterpret_cast<const char*>(sqlite3_value_text(value));
                c.texts[size_t(row)] = interned[size_t(pos)].text(utf8, sqlite3_value_bytes(value));
                c.nulls[size_t(row)] = false;
                continue;
            }
            bool ok = true;
            qint64 v = 0;
            if (type == SQLITE_INTEGER) {
                v = sqlite3_value_int64(value);
            } else if (type == SQLITE_FLOAT) {
                v = qint64(sqlite3_value_double(value));
            } else {
                const char* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
                const int length = sqlite3_value_bytes(value);
                if (c.kind == FieldKind::DateTime) {
                    ok = Column::parseStoredDateTime(text, length, &v);
                } else {
                    const QByteArray word = QByteArray(text, length).trimmed().toLower();
                    if (c.kind == FieldKind::Boolean && (word.startsWith('t') || word.startsWith('f')))
                        v = word.startsWith('t');
                    else
                        v = word.toLongLong(&ok);
                }
            }
            if (c.kind == FieldKind::Boolean)
                v = v != 0;
            c.ints[size_t(row)] = v;
            c.nulls[size_t(row)] = !ok;
        }
    }

    void prepare(sqlite3_stmt** stmt, const QString& sql) const {
        sqlite3* h = q->connection()->handle();
        if (!h)
            fail(QStringLiteral("Cannot perform this operation on a closed connection"));
        const QByteArray utf8 = sql.toUtf8();
        if (sqlite3_prepare_v2(h, utf8.constData(), int(utf8.size()), stmt, nullptr) != SQLITE_OK)
            fail(QString::fromUtf8(sqlite3_errmsg(h)));
    }

    void loadRows() {
        sqlite3* h = q->connection()->handle();
        // The largest rowid estimates the row count in logarithmic time (counting would read the whole
        // table once more); only a sparse table is counted.
        auto single = [&](const QString& sql) {
            sqlite3_stmt* stmt = nullptr;
            prepare(&stmt, sql);
            const qint64 value = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int64(stmt, 0) : 0;
            sqlite3_finalize(stmt);
            return value;
        };
        qint64 estimate =
            single(QStringLiteral("SELECT max(rowid) FROM %1").arg(Connection::quoted(realTable)));
        if (estimate > 4'000'000 || estimate < 0)
            estimate = single(QStringLiteral("SELECT count(*) FROM %1").arg(Connection::quoted(realTable)));
        const int expected = int(std::min<qint64>(estimate, INT_MAX / 2));

        for (Column& c : columns)
            c.clear();
        rowids.clear();
        deleted.clear();
        sqlite3_stmt* stmt = nullptr;
        prepare(&stmt, selectSql());
        // Sized once for the counted rows; rows written meanwhile by someone else grow it.
        int capacity = expected;
        auto resize = [&](int rows) {
            for (Column& c : columns)
                c.resize(rows);
            rowids.resize(size_t(rows));
            deleted.resize(size_t(rows), false);
        };
        resize(capacity);
        std::vector<TextPool> interned(columns.size());
        int rc = SQLITE_ROW;
        int row = 0;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            if (row == capacity)
                resize(capacity = capacity * 2 + 16);
            readRow(stmt, row++, interned);
        }
        resize(row);
        if (capacity > row + row / 4 + 1024)
            shrink();
        sqlite3_finalize(stmt);
        if (rc != SQLITE_DONE)
            fail(QString::fromUtf8(sqlite3_errmsg(h)));
        invalidateIndexes();
    }

    void shrink() {
        for (Column& c : columns) {
            c.ints.shrink_to_fit();
            c.texts.shrink_to_fit();
            c.nulls.shrink_to_fit();
        }
        rowids.shrink_to_fit();
        deleted.shrink_to_fit();
    }

    // Re-reads one stored row after it was written, so defaults and conversions show as stored.
    void reloadRow(int row) {
        sqlite3_stmt* stmt = nullptr;
        prepare(&stmt, selectSql() + QStringLiteral(" WHERE rowid=?"));
        sqlite3_bind_int64(stmt, 1, rowids[size_t(row)]);
        std::vector<TextPool> interned(columns.size());
        if (sqlite3_step(stmt) == SQLITE_ROW) {
            for (int pos = 0; pos < fields.size(); ++pos)
                if (!columnNames[pos].isEmpty())
                    columns[size_t(pos)].set(row, QVariant());
            readRow(stmt, row, interned);
        }
        sqlite3_finalize(stmt);
    }

    // --- visible rows ---
    QVariant currentMasterValue() const {
        if (!master || !master->isActive() || master->recNo() < 0)
            return {};
        const int pos = master->indexOf(masterField);
        if (pos < 0)
            return {};
        QVariant v = master->value(pos);
        if (v.isNull())
            return {};
        const FieldKind kind = master->field(pos).kind;
        if (kind == FieldKind::Integer || kind == FieldKind::AutoInc)
            return QVariant(v.toLongLong());
        return v;
    }

    bool linkMatches(int row) const {
        const Column& c = columns[size_t(linkPos)];
        if (masterValue.isNull())
            return c.isNull(row);
        if (c.isNull(row))
            return false;
        if (c.isText())
            return c.textAt(row).compare(masterValue.toString(), Qt::CaseInsensitive) == 0;
        return c.intAt(row) == masterValue.toLongLong();
    }

    QVector<int> effectiveSort() const {
        if (sortPos.isEmpty() && linkPos >= 0)
            return {linkPos};
        return sortPos;
    }

    int compareRows(int a, int b, const QVector<int>& keys) const {
        for (int pos : keys) {
            if (fields[pos].isLookup()) {
                const QVariant va = rowValue(a, pos);
                const QVariant vb = rowValue(b, pos);
                if (va.isNull() != vb.isNull())
                    return va.isNull() ? -1 : 1;
                const int r = textCollator().compare(va.toString(), vb.toString());
                if (r != 0)
                    return r;
                continue;
            }
            const Column& c = columns[size_t(pos)];
            if (c.isNull(a) != c.isNull(b))
                return c.isNull(a) ? -1 : 1;
            if (c.isNull(a))
                continue;
            if (c.isText()) {
                const int r = textCollator().compare(c.textAt(a), c.textAt(b));
                if (r != 0)
                    return r;
            } else if (c.intAt(a) != c.intAt(b)) {
                return c.intAt(a) < c.intAt(b) ? -1 : 1;
            }
        }
        return 0;
    }

    // One numeric key, nulls first, stable. Keys within a small range (topics, pupils, grades) are counted
    // into buckets in linear time; others sort as (key, row) pairs.
    void sortByNumber(const Column& key) {
        qint64 low = LLONG_MAX;
        qint64 high = LLONG_MIN;
        for (int row : visible)
            if (!key.isNull(row)) {
                low = std::min(low, key.intAt(row));
                high = std::max(high, key.intAt(row));
            }
        const size_t n = visible.size();
        if (low > high || quint64(high) - quint64(low) <= 2 * n + 1024) {
            const size_t buckets = low > high ? 1 : size_t(high - low) + 2; // bucket 0 holds the nulls
            std::vector<int> start(buckets + 1, 0);
            auto bucket = [&](int row) {
                return key.isNull(row) ? size_t(0) : size_t(key.intAt(row) - low) + 1;
            };
            for (int row : visible)
                ++start[bucket(row) + 1];
            for (size_t i = 1; i <= buckets; ++i)
                start[i] += start[i - 1];
            std::vector<int> sorted(n);
            for (int row : visible)
                sorted[size_t(start[bucket(row)]++)] = row;
            visible.swap(sorted);
            return;
        }
        std::vector<std::pair<qint64, int>> pairs;
        pairs.reserve(n);
        for (int row : visible)
            pairs.emplace_back(key.isNull(row) ? LLONG_MIN : key.intAt(row), row);
        std::stable_sort(pairs.begin(), pairs.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        for (size_t i = 0; i < n; ++i)
            visible[i] = pairs[i].second;
    }

    void sortVisible() {
        const QVector<int> keys = effectiveSort();
        if (keys.isEmpty() || visible.size() < 2)
            return;
        const Column& first = columns[size_t(keys[0])];
        if (keys.size() == 1 && !fields[keys[0]].isLookup() && !first.isText()) {
            sortByNumber(first);
            return;
        }
        std::stable_sort(visible.begin(), visible.end(),
                         [&](int a, int b) { return compareRows(a, b, keys) < 0; });
    }

    void rebuild() {
        visible.clear();
        const int n = int(rowids.size());
        visible.reserve(size_t(n));
        const bool restrict = linkPos >= 0;
        const filter::Expression* expr =
            filtered && expression && !expression->isEmpty() ? expression.get() : nullptr;
        for (int row = 0; row < n; ++row) {
            if (deleted[size_t(row)])
                continue;
            if (restrict && !linkMatches(row))
                continue;
            if (expr && !expr->matches(*this, row))
                continue;
            visible.push_back(row);
        }
        sortVisible();
    }

    filter::FieldInfo resolveField(const QString& name) const {
        const int pos = q->indexOf(name);
        if (pos < 0)
            return {};
        return {pos, fields[pos].kind, fields[pos].name};
    }

    // Parses the filter text; a malformed one switches filtering off and throws.
    void parseFilter() {
        expression.reset();
        try {
            expression = std::make_unique<filter::Expression>(
                filterText, [this](const QString& name) { return resolveField(name); });
        } catch (const Failure& f) {
            filtered = false;
            fail(f.text());
        }
    }

    void setCursor(int row, bool atBof, bool atEof) {
        const bool changed = row != cur || atBof != bof || atEof != eof;
        cur = row;
        bof = atBof;
        eof = atEof;
        if (changed)
            notify(&Table::dataSetChanged);
    }

    void goFirst(bool announce) {
        cur = count() > 0 ? 0 : -1;
        bof = true;
        eof = count() == 0;
        if (announce)
            notify(&Table::dataSetChanged);
    }

    // After the visible rows were rebuilt: the cursor on visible row `at`, or on the first when it is gone.
    void settleOn(int at) {
        if (at < 0) {
            goFirst(true);
            return;
        }
        cur = at;
        bof = eof = false;
        notify(&Table::dataSetChanged);
    }

    int findVisible(int row) const {
        const auto it = std::find(visible.begin(), visible.end(), row);
        return it == visible.end() ? -1 : int(it - visible.begin());
    }

    // Ends a pending edit or insert: posted when modified, else cancelled.
    void checkBrowse() {
        if (state == Table::State::Edit || state == Table::State::Insert) {
            announceUpdate();
            if (!modified) {
                q->cancel();
                return;
            }
            const QScopedValueRollback<bool> once(noticeGiven, true);
            q->post();
        }
    }

    // Lets widgets write what they hold into the record, once per post even when a handler posts itself.
    void announceUpdate() {
        if (noticeGiven)
            return;
        const QScopedValueRollback<bool> once(noticeGiven, true);
        emit q->updatingRecord();
    }

    // A detail's new row needs its master's key: a modified pending master row is stored first.
    void storeMaster() {
        if (!master || !master->isActive() || master->state() == Table::State::Browse)
            return;
        if (master->modified())
            master->post();
        else if (master->state() == Table::State::Insert)
            fail(QStringLiteral("Cannot add a row under a record that is not stored yet"));
    }

    void followMaster() {
        if (!active || !master)
            return;
        const QVariant value = currentMasterValue();
        if (value == masterValue && value.isNull() == masterValue.isNull())
            return;
        if (q->connection()->isConnected())
            checkBrowse();
        else if (state == Table::State::Edit || state == Table::State::Insert)
            q->cancel(); // the connection is closing: nothing can be stored any more
        if (value == masterValue && value.isNull() == masterValue.isNull())
            return; // ending the edit already followed
        masterValue = value;
        rebuild();
        goFirst(true);
    }

    void beginPending(bool atEnd) {
        savedCur = cur;
        savedBof = bof;
        savedEof = eof;
        buffer = QVector<QVariant>(fields.size());
        assigned = QVector<bool>(fields.size(), false);
        modified = false;
        if (linkPos >= 0 && !masterValue.isNull()) {
            buffer[linkPos] = convert(fields[linkPos], masterValue);
            assigned[linkPos] = true;
        }
        const int at = atEnd || cur < 0 ? count() : cur;
        visible.insert(visible.begin() + at, pendingRow);
        cur = at;
        bof = false;
        eof = atEnd;
        state = Table::State::Insert;
        notify(&Table::editingChanged);
        notify(&Table::dataSetChanged);
    }

    void contentChanged() {
        invalidateIndexes();
        emit q->contentChanged();
    }

    // --- writing ---
    QString writeError(const QSqlError& error, bool deleting, qint64 rowid,
                       const QHash<QString, QVariant>& values = {}) const;
};

Table::Table(const QString& objectName, Connection* connection, const QString& tableName, QObject* parent)
    : QObject(parent), m_connection(connection), m_tableName(tableName),
      d(std::make_unique<TableData>(this)) {
    setObjectName(objectName);
    // Closing the connection closes its tables, as their rows may belong to another database afterwards.
    connect(connection, &Connection::connectedChanged, this, [this](bool connected) {
        if (!connected)
            close();
    });
}

Table::~Table() = default;

void Table::fail(const QString& text) const {
    d->fail(text);
}

void Table::addField(const FieldDef& field) {
    if (d->active)
        fail(QStringLiteral("Cannot perform this operation on an open dataset"));
    d->order.append(d->fields.size());
    d->fields.append(field);
    if (field.isLookup() && field.lookupTable && d->lookupSources.insert(field.lookupTable).second)
        connect(field.lookupTable, &Table::contentChanged, this, [this] {
            if (d->active)
                emit dataSetChanged(); // repaint only: the key values, so the details, are unchanged
        });
}

void Table::setMaster(DataSource* master, const QString& linkField, const QString& masterField) {
    if (d->active)
        fail(QStringLiteral("Cannot perform this operation on an open dataset"));
    if (d->master) {
        auto& list = d->master->d->details;
        list.erase(std::remove(list.begin(), list.end(), QPointer<Table>(this)), list.end());
    }
    d->master = master ? master->table() : nullptr;
    d->linkField = linkField;
    d->masterField = masterField;
    if (d->master)
        d->master->d->details.emplace_back(this);
}

// --- opening -------------------------------------------------------------------------------------------

void Table::open() {
    if (d->active)
        return;
    m_connection->open();
    for (const FieldDef& f : std::as_const(d->fields))
        if (f.isLookup() && f.lookupTable && f.lookupTable != this && !f.lookupTable->isActive())
            f.lookupTable->open();

    d->realTable = m_connection->resolveTableName(m_tableName);
    if (d->realTable.isEmpty())
        fail(QStringLiteral("Table '%1' not found in the database").arg(m_tableName));
    const QVector<Connection::ColumnInfo> columns = m_connection->columns(d->realTable);
    const bool singleKey =
        std::count_if(columns.begin(), columns.end(), [](const auto& c) { return c.primaryKey; }) == 1;

    QStringList names;
    std::vector<Column> storage(size_t(d->fields.size()));
    for (int pos = 0; pos < d->fields.size(); ++pos) {
        const FieldDef& f = d->fields[pos];
        storage[size_t(pos)].kind = f.kind;
        if (f.isLookup()) {
            names.append(QString());
            continue;
        }
        const auto it = std::find_if(columns.begin(), columns.end(),
                                     [&](const auto& c) { return Connection::sameName(c.name, f.name); });
        if (it == columns.end())
            fail(QStringLiteral("Field '%1' not found").arg(f.name));
        FieldKind actual = FieldKind::Lookup;
        const QString actualName = columnKindName(*it, singleKey, &actual);
        if (actual != f.kind)
            fail(QStringLiteral("Type mismatch for field '%1', expecting: %2 actual: %3")
                     .arg(f.name, kindName(f.kind), actualName));
        names.append(it->name);
    }

    QVector<TableData::Binding> bindings(d->fields.size());
    for (int pos = 0; pos < d->fields.size(); ++pos) {
        const FieldDef& f = d->fields[pos];
        if (!f.isLookup() || !f.lookupTable)
            continue;
        bindings[pos].keyPos = fieldPos(f.keyField);
        bindings[pos].lookupKeyPos = f.lookupTable->fieldPos(f.lookupKeyField);
        bindings[pos].resultPos = f.lookupTable->fieldPos(f.lookupResultField);
    }
    d->linkPos = d->master ? fieldPos(d->linkField) : -1;

    d->columnNames = names;
    d->columns = std::move(storage);
    d->bindings = bindings;
    d->indexes.clear();
    for (int pos = 0; pos < d->fields.size(); ++pos)
        d->indexes.push_back(std::make_unique<LookupIndex>());
    try {
        d->loadRows();
    } catch (...) {
        d->columns.clear();
        d->rowids.clear();
        d->deleted.clear();
        throw;
    }
    d->active = true;
    d->state = State::Browse;
    d->masterValue = d->currentMasterValue();
    QString filterFailure;
    if (d->filtered) {
        try {
            d->parseFilter();
        } catch (const Failure& f) {
            filterFailure = f.text();
        }
    }
    d->rebuild();
    d->goFirst(false);
    d->notify(&Table::activeChanged);
    emit contentChanged();
    if (!filterFailure.isEmpty())
        throw Failure(filterFailure);
}

void Table::close() {
    if (!d->active)
        return;
    d->active = false;
    d->state = State::Inactive;
    d->buffer.clear();
    d->assigned.clear();
    d->modified = false;
    d->visible = {};
    d->columns.clear();
    d->rowids = {};
    d->deleted = {};
    d->indexes.clear();
    d->cur = -1;
    d->bof = d->eof = true;
    d->notify(&Table::activeChanged);
    emit contentChanged();
}

bool Table::isActive() const {
    return d->active;
}

void Table::refresh() {
    d->checkActive();
    d->checkBrowse();
    const int row = d->currentRow();
    const qint64 key = row >= 0 ? d->rowids[size_t(row)] : 0;
    d->loadRows();
    d->rebuild();
    int at = -1;
    for (int i = 0; row >= 0 && at < 0 && i < d->count(); ++i)
        if (d->rowids[size_t(d->visible[size_t(i)])] == key)
            at = i;
    d->settleOn(at);
    emit contentChanged();
}

Table::State Table::state() const {
    return d->state;
}

// --- fields ----------------------------------------------------------------------------------------------

int Table::fieldCount() const {
    return d->fields.size();
}

const FieldDef& Table::field(int pos) const {
    if (pos < 0 || pos >= d->fields.size())
        fail(QStringLiteral("Field index %1 out of range").arg(pos));
    return d->fields[pos];
}

int Table::indexOf(const QString& name) const {
    for (int pos = 0; pos < d->fields.size(); ++pos)
        if (d->fields[pos].name == name)
            return pos;
    for (int pos = 0; pos < d->fields.size(); ++pos)
        if (Connection::sameName(d->fields[pos].name, name))
            return pos;
    return -1;
}

int Table::fieldPos(const QString& name) const {
    const int pos = indexOf(name);
    if (pos < 0)
        fail(QStringLiteral("Field '%1' not found").arg(name));
    return pos;
}

int Table::displayWidth(int pos) const {
    const FieldDef& f = field(pos);
    if (f.displayWidth > 0)
        return f.displayWidth;
    switch (f.kind) {
    case FieldKind::Text:
        return f.size > 0 ? f.size : 20;
    case FieldKind::Boolean:
        return 5;
    case FieldKind::Lookup:
        return lookupWidth;
    case FieldKind::DateTime:
        return 18;
    case FieldKind::AutoInc:
    case FieldKind::Integer:
        break;
    }
    return 10;
}

void Table::setDisplayWidth(int pos, int characters) {
    field(pos);
    if (d->fields[pos].displayWidth == characters)
        return;
    d->fields[pos].displayWidth = characters;
    emit layoutChanged();
}

QVector<int> Table::columnOrder() const {
    return d->order;
}

void Table::moveColumn(int from, int to) {
    if (from < 0 || from >= d->order.size() || to < 0 || to >= d->order.size() || from == to)
        return;
    d->order.move(from, to);
    emit layoutChanged();
}

// --- cursor ----------------------------------------------------------------------------------------------

int Table::recordCount() const {
    return d->active ? d->count() : 0;
}
int Table::recNo() const {
    return d->active ? d->cur : -1;
}
bool Table::bof() const {
    return !d->active || d->bof;
}
bool Table::eof() const {
    return !d->active || d->eof;
}

void Table::first() {
    d->checkActive();
    d->checkBrowse();
    d->setCursor(d->count() > 0 ? 0 : -1, true, d->count() == 0);
}

void Table::last() {
    d->checkActive();
    d->checkBrowse();
    d->setCursor(d->count() - 1, d->count() == 0, true);
}

void Table::next() {
    moveBy(1);
}
void Table::prior() {
    moveBy(-1);
}

int Table::moveBy(int distance) {
    d->checkActive();
    d->checkBrowse();
    const int n = d->count();
    if (n == 0) {
        d->setCursor(-1, true, true);
        return 0;
    }
    if (distance == 0)
        return 0;
    const int target = std::clamp(d->cur + distance, 0, n - 1);
    const int moved = target - d->cur;
    const bool shortForward = distance > 0 && moved < distance;
    const bool shortBackward = distance < 0 && moved > distance;
    d->setCursor(target, shortBackward, shortForward);
    return moved;
}

void Table::moveTo(int row) {
    d->checkActive();
    if (row < 0 || row >= d->count() || row == d->cur)
        return;
    const int target = d->visible[size_t(row)];
    d->checkBrowse();
    const int at = d->findVisible(target);
    if (at >= 0)
        d->setCursor(at, false, false);
}

bool Table::locate(const QString& fieldName, const QVariant& value, int options) {
    d->checkActive();
    const int pos = fieldPos(fieldName);
    d->checkBrowse();
    const bool partial = options & PartialKey;
    const Qt::CaseSensitivity cs = (options & CaseInsensitive) ? Qt::CaseInsensitive : Qt::CaseSensitive;
    const FieldDef& f = d->fields[pos];
    const bool textual = f.kind == FieldKind::Text || f.kind == FieldKind::Lookup;
    QVariant wanted;
    if (!textual && !value.isNull()) {
        try {
            wanted = convert(f, value);
        } catch (const Failure&) {
            return false;
        }
    }
    const QString text = value.toString();
    for (int i = 0; i < d->count(); ++i) {
        const QVariant v = d->rowValue(d->visible[size_t(i)], pos);
        bool match = false;
        if (value.isNull())
            match = v.isNull();
        else if (v.isNull())
            match = false;
        else if (textual)
            match = partial ? v.toString().startsWith(text, cs) : v.toString().compare(text, cs) == 0;
        else
            match = v == wanted;
        if (match) {
            d->setCursor(i, false, false);
            return true;
        }
    }
    return false;
}

// --- values ------------------------------------------------------------------------------------------

QVariant Table::value(int pos) const {
    d->checkActive();
    field(pos);
    const int row = d->currentRow();
    if (row == INT_MIN)
        return {};
    return d->rowValue(row, pos);
}

QString Table::asText(int pos) const {
    return displayText(pos);
}

int Table::asInteger(int pos) const {
    const QVariant v = value(pos);
    if (v.isNull())
        cannotConvert(v, QStringLiteral("Integer"));
    switch (d->fields[pos].kind) {
    case FieldKind::Text:
    case FieldKind::Lookup: {
        bool ok = false;
        const int i = v.toString().trimmed().toInt(&ok);
        if (!ok)
            throw Failure(QStringLiteral("'%1' is not a valid integer value").arg(v.toString()));
        return i;
    }
    case FieldKind::DateTime:
        cannotConvert(v, QStringLiteral("Integer"));
    case FieldKind::Boolean:
    case FieldKind::AutoInc:
    case FieldKind::Integer:
        break;
    }
    return v.toInt();
}

bool Table::asBoolean(int pos) const {
    const QVariant v = value(pos);
    if (v.isNull())
        return false;
    switch (d->fields[pos].kind) {
    case FieldKind::Text:
    case FieldKind::Lookup: {
        const QString t = v.toString().trimmed();
        return t.startsWith(u't', Qt::CaseInsensitive) || t.startsWith(u'y', Qt::CaseInsensitive);
    }
    case FieldKind::DateTime:
        return v.toDateTime().isValid();
    case FieldKind::Boolean:
    case FieldKind::AutoInc:
    case FieldKind::Integer:
        break;
    }
    return v.toLongLong() != 0;
}

bool Table::isNull(int pos) const {
    return value(pos).isNull();
}

QString Table::displayText(int pos) const {
    return formats::displayText(d->fields[pos].kind, value(pos));
}

QVariant Table::valueAt(int row, int pos) const {
    if (!d->active || row < 0 || row >= d->count() || pos < 0 || pos >= d->fields.size())
        return {};
    return d->rowValue(d->visible[size_t(row)], pos);
}

QString Table::displayTextAt(int row, int pos) const {
    if (pos < 0 || pos >= d->fields.size())
        return {};
    return formats::displayText(d->fields[pos].kind, valueAt(row, pos));
}

QVariant Table::lookup(const QString& keyField, const QVariant& key, const QString& resultField) const {
    if (!d->active)
        return {};
    const int keyPos = indexOf(keyField);
    const int resultPos = indexOf(resultField);
    if (keyPos < 0 || resultPos < 0 || d->fields[keyPos].isLookup())
        return {};
    const int row = d->lookupRow(keyPos, key);
    if (row < 0)
        return {};
    return d->fields[resultPos].isLookup() ? d->rowValue(row, resultPos)
                                           : d->columns[size_t(resultPos)].value(row);
}

// --- editing -----------------------------------------------------------------------------------------

void Table::edit() {
    d->checkActive();
    if (d->state != State::Browse)
        return;
    if (d->count() == 0) {
        insert();
        return;
    }
    const int row = d->currentRow();
    d->buffer = QVector<QVariant>(d->fields.size());
    for (int pos = 0; pos < d->fields.size(); ++pos)
        if (!d->fields[pos].isLookup())
            d->buffer[pos] = d->columns[size_t(pos)].value(row);
    d->assigned = QVector<bool>(d->fields.size(), false);
    d->modified = false;
    d->state = State::Edit;
    d->notify(&Table::editingChanged);
}

void Table::insert() {
    d->checkActive();
    d->storeMaster();
    d->checkBrowse();
    d->beginPending(false);
}

void Table::append() {
    d->checkActive();
    d->storeMaster();
    d->checkBrowse();
    d->beginPending(true);
}

QString TableData::writeError(const QSqlError& error, bool deleting, qint64 rowid,
                              const QHash<QString, QVariant>& values) const {
    const QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    const QString prefix =
        deleting ? QStringLiteral("Запись нельзя удалить: ") : QStringLiteral("Запись нельзя сохранить: ");
    return prefix + explainWriteError(*q->connection(), realTable, text, deleting, rowid, values);
}

void Table::post() {
    d->checkActive();
    if (d->state != State::Edit && d->state != State::Insert)
        return;
    d->announceUpdate();
    if (d->state != State::Edit && d->state != State::Insert)
        return;
    const bool inserting = d->state == State::Insert;
    QStringList cols;
    QVariantList values;
    QHash<QString, QVariant> written;
    for (int pos = 0; pos < d->fields.size(); ++pos) {
        if (!d->assigned[pos] || d->fields[pos].isLookup() || d->fields[pos].readOnly())
            continue;
        cols.append(Connection::quoted(d->columnNames[pos]));
        values.append(storedForm(d->fields[pos].kind, d->buffer[pos]));
        written.insert(d->columnNames[pos], values.back());
    }
    QSqlQuery query(m_connection->database());
    QString sql;
    const qint64 rowid = inserting ? 0 : d->rowids[size_t(d->currentRow())];
    if (inserting) {
        QStringList marks;
        for (qsizetype i = 0; i < cols.size(); ++i)
            marks.append(QStringLiteral("?"));
        sql = cols.isEmpty()
                  ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(Connection::quoted(d->realTable))
                  : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                        .arg(Connection::quoted(d->realTable), cols.join(u','), marks.join(u','));
    } else if (!cols.isEmpty()) {
        QStringList sets;
        for (const QString& c : cols)
            sets.append(c + QStringLiteral("=?"));
        sql = QStringLiteral("UPDATE %1 SET %2 WHERE rowid=?")
                  .arg(Connection::quoted(d->realTable), sets.join(u','));
        values.append(rowid);
    }
    if (!sql.isEmpty()) {
        if (!query.prepare(sql))
            fail(d->writeError(query.lastError(), false, rowid, written));
        for (const QVariant& v : std::as_const(values))
            query.addBindValue(v);
        if (!query.exec())
            fail(d->writeError(query.lastError(), false, rowid, written));
    }
    if (inserting) {
        const int row = int(d->rowids.size());
        d->rowids.push_back(query.lastInsertId().toLongLong());
        d->deleted.push_back(false);
        for (int pos = 0; pos < d->fields.size(); ++pos) {
            d->columns[size_t(pos)].appendNull();
            if (!d->fields[pos].isLookup())
                d->columns[size_t(pos)].set(row, d->buffer[pos]);
        }
        d->state = State::Browse;
        d->visible[size_t(d->cur)] = row;
        d->reloadRow(row);
    } else {
        const int row = d->currentRow();
        d->state = State::Browse;
        if (!sql.isEmpty())
            d->reloadRow(row);
    }
    d->buffer.clear();
    d->assigned.clear();
    d->modified = false;
    d->contentChanged();
    d->notify(&Table::editingChanged);
    d->notify(&Table::recordChanged);
    d->followMaster(); // the master may have moved while this row could not be stored
}

void Table::cancel() {
    d->checkActive();
    if (d->state == State::Browse)
        return;
    const bool inserting = d->state == State::Insert;
    d->state = State::Browse;
    d->buffer.clear();
    d->assigned.clear();
    d->modified = false;
    if (inserting) {
        d->visible.erase(d->visible.begin() + d->cur);
        d->cur = std::min(d->savedCur, d->count() - 1);
        d->bof = d->count() == 0 || d->savedBof;
        d->eof = d->count() == 0 || d->savedEof;
        d->notify(&Table::editingChanged);
        d->notify(&Table::dataSetChanged);
    } else {
        d->notify(&Table::editingChanged);
        d->notify(&Table::recordChanged);
    }
    d->followMaster();
}

void Table::remove() {
    d->checkActive();
    if (d->state == State::Insert) {
        cancel();
        return;
    }
    if (d->count() == 0)
        fail(QStringLiteral("Cannot perform this operation on an empty dataset"));
    if (d->state == State::Edit)
        cancel();
    const int row = d->currentRow();
    QSqlQuery query(m_connection->database());
    query.prepare(QStringLiteral("DELETE FROM %1 WHERE rowid=?").arg(Connection::quoted(d->realTable)));
    query.addBindValue(d->rowids[size_t(row)]);
    if (!query.exec())
        fail(d->writeError(query.lastError(), true, d->rowids[size_t(row)]));
    d->deleted[size_t(row)] = true;
    d->visible.erase(d->visible.begin() + d->cur);
    d->cur = std::min(d->cur, d->count() - 1);
    d->bof = d->eof = d->count() == 0;
    d->contentChanged();
    d->notify(&Table::dataSetChanged);
}

bool Table::modified() const {
    return d->active && d->state != State::Browse && d->modified;
}

void Table::setValue(int pos, const QVariant& value) {
    d->checkActive();
    const FieldDef& f = field(pos);
    if (f.readOnly() || f.isLookup())
        fail(QStringLiteral("Field '%1' cannot be modified").arg(f.name));
    QVariant converted = convert(f, value);
    if (f.kind == FieldKind::Text && f.size > 0 && converted.toString().size() > f.size)
        fail(QStringLiteral("Text of %1 characters is too long for field '%2' (at most %3)")
                 .arg(converted.toString().size())
                 .arg(f.name)
                 .arg(f.size));
    if (d->state == State::Browse)
        edit();
    d->buffer[pos] = std::move(converted);
    d->assigned[pos] = true;
    d->modified = true;
    d->notify(&Table::recordChanged);
}

void Table::setText(int pos, const QString& text) {
    d->checkActive();
    const FieldDef& f = field(pos);
    if (f.kind == FieldKind::Text)
        setValue(pos, text.isEmpty() ? QVariant() : QVariant(text));
    else
        setValue(pos, formats::parseTyped(f.kind, text, f.name));
}

// --- filter and sort -------------------------------------------------------------------------------

QString Table::filterText() const {
    return d->filterText;
}
bool Table::filtered() const {
    return d->filtered;
}

void Table::setFilterText(const QString& text) {
    if (text == d->filterText)
        return;
    if (d->master && !text.isEmpty())
        fail(QStringLiteral("Filter property cannot be used for detail tables"));
    if (!d->active || !d->filtered) {
        d->filterText = text;
        return;
    }
    d->checkBrowse();
    d->filterText = text;
    try {
        d->parseFilter();
    } catch (const Failure&) {
        d->rebuild();
        d->goFirst(true);
        throw;
    }
    d->rebuild();
    d->goFirst(true);
}

void Table::setFiltered(bool on) {
    if (on == d->filtered)
        return;
    if (on && d->master)
        fail(QStringLiteral("Filter property cannot be used for detail tables"));
    if (!d->active) {
        d->filtered = on;
        return;
    }
    d->checkBrowse();
    d->filtered = on;
    if (on)
        d->parseFilter();
    d->rebuild();
    d->goFirst(true);
}

QString Table::sort() const {
    if (d->sortText.isEmpty() && d->master)
        return d->linkField;
    return d->sortText;
}

void Table::setSort(const QString& fieldNames) {
    if (fieldNames == d->sortText)
        return;
    QVector<int> positions;
    for (const QString& part :
         fieldNames.split(QRegularExpression(QStringLiteral("[,;]")), Qt::SkipEmptyParts)) {
        QString name = part.trimmed();
        if (name.endsWith(QLatin1String(" ASC"), Qt::CaseInsensitive))
            name.chop(4);
        name = name.trimmed();
        if (name.startsWith(u'[') && name.endsWith(u']'))
            name = name.mid(1, name.size() - 2);
        if (!name.isEmpty())
            positions.append(fieldPos(name));
    }
    if (d->active)
        d->checkBrowse();
    d->sortText = fieldNames;
    d->sortPos = positions;
    if (!d->active)
        return;
    const int row = d->currentRow();
    d->rebuild();
    d->settleOn(row >= 0 ? d->findVisible(row) : -1);
}
