#include "mdbreader.h"

#include "base/failure.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <mdbtools.h>

#include <algorithm>
#include <map>
#include <vector>

namespace accessdb {

namespace {

// Row offsets on a data page carry flags in their top bits.
constexpr int offsetMask = 0x1fff;
// Memo texts longer than this are taken for a damaged length field, not read.
constexpr quint32 longestMemo = 256u * 1024u * 1024u;

// Relation flags kept in MSysRelationships.grbit.
constexpr qint64 relationNotEnforced = 0x2;
constexpr qint64 relationUpdateCascades = 0x100;
constexpr qint64 relationDeleteCascades = 0x1000;

Kind kindOf(int type) {
    switch (type) {
    case MDB_BOOL:
        return Kind::Boolean;
    case MDB_BYTE:
        return Kind::Byte;
    case MDB_INT:
        return Kind::Short;
    case MDB_LONGINT:
        return Kind::Long;
    case MDB_MONEY:
        return Kind::Currency;
    case MDB_FLOAT:
        return Kind::Float;
    case MDB_DOUBLE:
        return Kind::Double;
    case MDB_DATETIME:
        return Kind::DateTime;
    case MDB_TEXT:
        return Kind::Text;
    case MDB_OLE:
        return Kind::Ole;
    case MDB_MEMO:
        return Kind::Memo;
    case MDB_REPID:
        return Kind::Guid;
    case MDB_NUMERIC:
        return Kind::Decimal;
    case MDB_COMPLEX:
        return Kind::Complex;
    default: // kinds libmdb does not know are carried as their bytes
        return Kind::Binary;
    }
}

// The bytes a value of a fixed-size kind takes in a row; 0 for the kinds of any size.
int storedSize(Kind kind) {
    switch (kind) {
    case Kind::Byte:
        return 1;
    case Kind::Short:
        return 2;
    case Kind::Long:
    case Kind::Complex:
    case Kind::Float:
        return 4;
    case Kind::Double:
    case Kind::DateTime:
    case Kind::Currency:
        return 8;
    case Kind::Guid:
        return 16;
    case Kind::Decimal:
        return 17;
    case Kind::Boolean:
    case Kind::Text:
    case Kind::Memo:
    case Kind::Binary:
    case Kind::Ole:
        break;
    }
    return 0;
}

// libmdb's names of the code pages it reads Jet 3 text in.
constexpr int codePages[] = {874, 932, 936, 950, 951, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258};
constexpr int russian = 1251;

MdbColumn* columnAt(MdbTableDef* table, unsigned i) {
    return static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
}

// Takes a string that libmdb allocated with GLib.
QByteArray takeGString(gchar* text) {
    QByteArray bytes(text ? text : "");
    g_free(text);
    return bytes;
}

} // namespace

struct Reader::Handle {
    MdbHandle* mdb = nullptr;
    std::vector<MdbCatalogEntry*> entries; // parallel to the reader's tables
    ~Handle() {
        if (mdb)
            mdb_close(mdb);
    }
};

namespace {

// A table definition with its columns and indexes read, freed with it.
class TableDef {
public:
    explicit TableDef(MdbCatalogEntry* entry) : m_table(mdb_read_table(entry)) {
        if (m_table && !mdb_read_columns(m_table)) {
            mdb_free_tabledef(m_table);
            m_table = nullptr;
        }
    }
    ~TableDef() { mdb_free_tabledef(m_table); }
    TableDef(const TableDef&) = delete;
    TableDef& operator=(const TableDef&) = delete;
    MdbTableDef* get() const { return m_table; }

private:
    MdbTableDef* m_table;
};

[[noreturn]] void damaged(const QString& path) {
    throw Failure(QStringLiteral("'%1' — база данных Access, но прочитать её не удалось: файл повреждён или "
                                 "записан в формате, который программа не знает.")
                      .arg(shownPath(path)));
}

// Reads every row of an open table definition; `kinds` gives each column's kind.
qint64 forEachRow(MdbTableDef* table, const QVector<Kind>& kinds, const QString& path,
                  const std::function<void(const QVector<Value>&)>& row) {
    MdbHandle* mdb = table->entry->mdb;
    const unsigned count = table->num_cols;
    // libmdb reads OLE objects through the column's bound buffer, one page at a time.
    std::vector<std::vector<char>> oleBuffers(count);
    for (unsigned i = 0; i < count; ++i) {
        if (kinds[int(i)] != Kind::Ole)
            continue;
        oleBuffers[i].resize(size_t(2) * MDB_PGSIZE);
        mdb_bind_column(table, int(i) + 1, oleBuffers[i].data(), nullptr);
    }
    std::vector<MdbField> fields(count);
    QVector<Value> values(qsizetype(count), Value{});
    qint64 rows = 0;
    mdb_rewind_table(table);
    while (mdb_fetch_row(table)) {
        // The row just fetched is cracked again for the null flags, which tell an empty text from none.
        int start = 0;
        size_t size = 0;
        if (mdb_find_row(mdb, int(table->cur_row) - 1, &start, &size) != 0 ||
            mdb_crack_row(table, start & offsetMask, size, fields.data()) < 0)
            damaged(path);
        unsigned char* page = mdb->pg_buf;
        for (unsigned i = 0; i < count; ++i) {
            const MdbField& field = fields[i];
            Value& value = values[int(i)];
            const Kind kind = kinds[int(i)];
            if (kind == Kind::Boolean) { // a yes/no value lives in the null flag
                value.type = Value::Integer;
                value.integer = field.is_null ? 0 : 1;
                continue;
            }
            if (field.is_null) {
                value.type = Value::Null;
                continue;
            }
            const int at = field.start;
            if (field.siz < storedSize(kind))
                damaged(path);
            switch (kind) {
            case Kind::Byte:
                value.type = Value::Integer;
                value.integer = mdb_get_byte(page, at);
                break;
            case Kind::Short:
                value.type = Value::Integer;
                value.integer = qint16(mdb_get_int16(page, at));
                break;
            case Kind::Long:
            case Kind::Complex:
                value.type = Value::Integer;
                value.integer = qint32(quint32(mdb_get_int32(page, at)));
                break;
            case Kind::Float:
                value.type = Value::Real;
                value.real = double(mdb_get_single(page, at));
                break;
            case Kind::Double:
            case Kind::DateTime:
                value.type = Value::Real;
                value.real = mdb_get_double(page, at);
                break;
            case Kind::Currency:
                value.type = Value::Text;
                value.bytes = takeGString(mdb_money_to_string(mdb, at));
                break;
            case Kind::Decimal: {
                const MdbColumn* column = columnAt(table, i);
                value.type = Value::Text;
                value.bytes =
                    takeGString(mdb_numeric_to_string(mdb, at, column->col_scale, column->col_prec));
                break;
            }
            case Kind::Guid:
                value.type = Value::Text;
                value.bytes = takeGString(mdb_uuid_to_string_fmt(page, at, MDB_BRACES_4_2_2_8));
                break;
            case Kind::Text:
            case Kind::Memo: {
                // The text arrives as UTF-8 in a buffer of the bind size: room for the longest
                // conversion of the stored bytes (one or two bytes a character become up to three).
                quint32 stored = quint32(field.siz);
                if (kind == Kind::Memo && field.siz >= MDB_MEMO_OVERHEAD) {
                    stored = quint32(mdb_get_int32(page, at)) & 0x3fffffffu;
                    if (stored > longestMemo)
                        damaged(path);
                }
                mdb_set_bind_size(mdb, size_t(stored) * 3 + 16);
                value.type = Value::Text;
                value.bytes = takeGString(
                    mdb_col_to_string(mdb, page, at, kind == Kind::Memo ? MDB_MEMO : MDB_TEXT, field.siz));
                break;
            }
            case Kind::Ole: {
                size_t length = 0;
                void* data = mdb_ole_read_full(mdb, columnAt(table, i), &length);
                if (!data)
                    damaged(path);
                value.type = Value::Blob;
                value.bytes = QByteArray(static_cast<const char*>(data), qsizetype(length));
                free(data); // libmdb allocates it with malloc
                break;
            }
            case Kind::Binary:
                value.type = Value::Blob;
                value.bytes = QByteArray(reinterpret_cast<const char*>(page) + at, field.siz);
                break;
            case Kind::Boolean:
                break;
            }
        }
        row(values);
        ++rows;
    }
    // libmdb passes over rows it cannot crack, and a damaged row count on a data page makes it crack rows
    // that are not there; the table's own count tells both.
    if (rows != qint64(table->num_rows))
        damaged(path);
    return rows;
}

QVector<Kind> kindsOf(MdbTableDef* table) {
    QVector<Kind> kinds;
    for (unsigned i = 0; i < table->num_cols; ++i)
        kinds.append(kindOf(columnAt(table, i)->col_type));
    return kinds;
}

} // namespace

Reader::Reader(const QString& path, int codePage) : m_handle(std::make_unique<Handle>()), m_path(path) {
    if (!QFile::exists(path))
        throw Failure(QStringLiteral("Файл '%1' не найден.").arg(shownPath(path)));
    m_handle->mdb = mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS);
    MdbHandle* mdb = m_handle->mdb;
    if (!mdb)
        damaged(path);
    // libmdb reads Jet 3 text in the code page it finds in the header; the catalog's names are text too.
    const int textCodePage = codePage != 0 ? codePage : jet3CodePage(mdb->f->code_page);
    if (IS_JET3(mdb) && textCodePage != mdb->f->code_page) {
        mdb->f->code_page = guint16(textCodePage);
        mdb_iconv_close(mdb);
        mdb_iconv_init(mdb);
    }
    if (!mdb_read_catalog(mdb, MDB_TABLE))
        damaged(path);
    for (unsigned e = 0; e < mdb->num_catalog; ++e) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, e));
        if (!mdb_is_user_table(entry))
            continue;
        const TableDef def(entry);
        MdbTableDef* table = def.get();
        if (table)
            mdb_read_indices(table); // its result says nothing; the list is null when it failed
        if (!table || !table->indices)
            damaged(path);
        TableSchema schema;
        schema.name = QString::fromUtf8(table->name);
        const bool jet3 = IS_JET3(mdb);
        for (unsigned i = 0; i < table->num_cols; ++i) {
            const MdbColumn* c = columnAt(table, i);
            Column column;
            column.name = QString::fromUtf8(c->name);
            column.kind = kindOf(c->col_type);
            // Jet 4 and later keep text sizes in bytes of UTF-16.
            column.length = column.kind == Kind::Text ? (jet3 ? c->col_size : c->col_size / 2) : 0;
            column.precision = c->col_prec;
            column.scale = c->col_scale;
            column.autoNumber = c->is_long_auto != 0;
            schema.columns.append(column);
        }
        for (unsigned i = 0; i < table->num_idxs; ++i) {
            const auto* idx = static_cast<const MdbIndex*>(g_ptr_array_index(table->indices, i));
            if (idx->index_type == 2 || idx->num_keys == 0) // the file's own bookkeeping of relations
                continue;
            Index index;
            index.name = QString::fromUtf8(idx->name);
            index.primary = idx->index_type == 1;
            index.unique = index.primary || (idx->flags & MDB_IDX_UNIQUE);
            for (unsigned k = 0; k < idx->num_keys && k < MDB_MAX_IDX_COLS; ++k) {
                const int position = idx->key_col_num[k] - 1;
                if (position < 0 || position >= schema.columns.size())
                    damaged(path);
                index.columns.append(position);
                index.descending.append(!index.primary && idx->key_col_order[k] != 0);
            }
            schema.indexes.append(index);
        }
        m_tables.append(schema);
        m_handle->entries.push_back(entry);
    }
}

Reader::~Reader() = default;

qint64 Reader::readRows(const TableSchema& table,
                        const std::function<void(const QVector<Value>&)>& row) const {
    const auto it = std::find_if(m_tables.cbegin(), m_tables.cend(),
                                 [&](const TableSchema& t) { return t.name == table.name; });
    if (it == m_tables.cend())
        throw Failure(QStringLiteral("В базе данных Access нет таблицы «%1».").arg(table.name));
    const TableDef def(m_handle->entries[size_t(it - m_tables.cbegin())]);
    if (!def.get())
        damaged(m_path);
    return forEachRow(def.get(), kindsOf(def.get()), m_path, row);
}

QVector<Relation> Reader::relations() const {
    QVector<Relation> result;
    MdbCatalogEntry* entry = mdb_get_catalogentry_by_name(m_handle->mdb, "MSysRelationships");
    if (!entry)
        return result; // a file that never had a relation
    const TableDef def(entry);
    MdbTableDef* table = def.get();
    if (!table)
        damaged(m_path);
    QHash<QString, int> position;
    for (unsigned i = 0; i < table->num_cols; ++i)
        position.insert(QString::fromUtf8(columnAt(table, i)->name).toLower(), int(i));
    const QStringList needed{"szrelationship",    "grbit",    "icolumn",
                             "szobject",          "szcolumn", "szreferencedobject",
                             "szreferencedcolumn"};
    for (const QString& column : needed)
        if (!position.contains(column))
            damaged(m_path);
    const auto at = [&](const QVector<Value>& values, const char* column) -> const Value& {
        return values[position.value(QString::fromLatin1(column))];
    };
    // One row per column of a relation, in the order of icolumn.
    std::map<QString, std::map<qint64, QVector<Value>>> rows;
    QStringList order;
    forEachRow(table, kindsOf(table), m_path, [&](const QVector<Value>& values) {
        const QString relation = QString::fromUtf8(at(values, "szrelationship").bytes);
        if (!rows.count(relation))
            order.append(relation);
        rows[relation][at(values, "icolumn").integer] = values;
    });
    for (const QString& relationName : order) {
        Relation relation;
        relation.name = relationName;
        for (const auto& [index, values] : rows[relationName]) {
            relation.table = QString::fromUtf8(at(values, "szobject").bytes);
            relation.referenced = QString::fromUtf8(at(values, "szreferencedobject").bytes);
            relation.columns.append(QString::fromUtf8(at(values, "szcolumn").bytes));
            relation.referencedColumns.append(QString::fromUtf8(at(values, "szreferencedcolumn").bytes));
            const qint64 flags = at(values, "grbit").integer;
            relation.enforced = !(flags & relationNotEnforced);
            relation.cascadeDelete = flags & relationDeleteCascades;
            relation.cascadeUpdate = flags & relationUpdateCascades;
        }
        result.append(relation);
    }
    return result;
}

QString shownPath(const QString& path) {
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

bool knownCodePage(int codePage) {
    return std::find(std::begin(codePages), std::end(codePages), codePage) != std::end(codePages);
}

int jet3CodePage(int headerCodePage) {
    return headerCodePage == 0 || headerCodePage == 1252 || !knownCodePage(headerCodePage) ? russian
                                                                                           : headerCodePage;
}

} // namespace accessdb
