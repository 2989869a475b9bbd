// A table object's life: its settings, opening and closing, and its field list.
#include "table_p.h"

#include "connection.h"
#include "datasource.h"

#include <algorithm>

namespace {

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

} // namespace

// Announces a change, then lets the details follow. They follow by a plain call rather than through
// the signal, so that a detail's failing post reaches the caller of this operation and never unwinds
// through Qt's signal machinery.
void TableData::notify(void (Table::*notice)()) {
    emit(q->*notice)();
    for (const QPointer<Table>& detail : std::vector<QPointer<Table>>(details))
        if (detail)
            detail->d->followMaster();
}

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
    d->order.append(int(d->fields.size()));
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
    rereadKeepingCursor([this] {
        d->loadRows();
        return true;
    });
}

void Table::readNewRows() {
    rereadKeepingCursor([this] { return d->loadRowsAfter(); });
}

void Table::rereadKeepingCursor(const std::function<bool()>& read) {
    d->checkActive();
    d->checkBrowse();
    const int row = d->currentRow();
    const qint64 key = row >= 0 ? d->rowids[size_t(row)] : 0;
    if (!read())
        return;
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
    return int(d->fields.size());
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
