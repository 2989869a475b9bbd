#include "databinding.h"

#include "data/engine/datasource.h"
#include "data/engine/table.h"

#include <QList>

namespace {
// Every live binding, so that a post can collect the values waiting in the widgets of one table.
QList<DataBinding*>& bindings() {
    static QList<DataBinding*> all;
    return all;
}
} // namespace

DataBinding::DataBinding(QObject* parent) : QObject(parent) {
    bindings().append(this);
    connect(&DataSourceRegistry::instance(), &DataSourceRegistry::registered, this,
            [this](DataSource* source) {
                if (!m_sourceName.isEmpty() && DataSourceRegistry::instance().find(m_sourceName) == source)
                    attach(source);
            });
}

DataBinding::~DataBinding() {
    bindings().removeOne(this);
}

void DataBinding::setDataSourceName(const QString& name) {
    m_sourceName = name;
    attach(name.isEmpty() ? nullptr : DataSourceRegistry::instance().find(name));
}

Table* DataBinding::table() const {
    return m_source ? m_source->table() : nullptr;
}

bool DataBinding::isActive() const {
    const Table* t = table();
    return t && t->isActive();
}

void DataBinding::setFieldName(const QString& name) {
    m_fieldName = name;
    resolveField();
    emit sourceChanged();
}

void DataBinding::attach(DataSource* source) {
    if (m_source)
        disconnect(m_source, nullptr, this, nullptr);
    m_source = source;
    if (source) {
        // The field is looked up again whenever the table opens or its fields change.
        connect(source, &DataSource::activeChanged, this, [this] {
            resolveField();
            emit activeChanged();
        });
        connect(source, &DataSource::layoutChanged, this, [this] {
            resolveField();
            emit layoutChanged();
        });
        connect(source, &DataSource::dataSetChanged, this, &DataBinding::dataSetChanged);
        connect(source, &DataSource::recordChanged, this, &DataBinding::recordChanged);
        connect(source, &DataSource::editingChanged, this, &DataBinding::editingChanged);
        connect(source, &QObject::destroyed, this, [this] {
            m_fieldPos = -1;
            emit sourceChanged();
        });
    }
    resolveField();
    emit sourceChanged();
}

void DataBinding::resolveField() {
    const Table* t = table();
    m_fieldPos = (t && t->isActive() && !m_fieldName.isEmpty()) ? t->indexOf(m_fieldName) : -1;
}

void DataBinding::updateRecord(Table* table) {
    if (!table)
        return;
    // Copied first: a writer may cause widgets to be created or destroyed.
    const QList<DataBinding*> all = bindings();
    for (DataBinding* b : all)
        if (b->m_writer && b->table() == table && bindings().contains(b))
            b->m_writer();
}

void DataBinding::endPending(Table* table) {
    if (!table || !dbdisplay::editing(table))
        return;
    updateRecord(table);
    if (table->modified())
        table->post();
    else
        table->cancel();
}

namespace dbdisplay {
Qt::Alignment alignment(const Table* table, int pos) {
    const FieldKind kind = table->field(pos).kind;
    const bool right = kind == FieldKind::Integer || kind == FieldKind::AutoInc;
    return (right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
}

bool editing(const Table* table) {
    const Table::State s = table->state();
    return s == Table::State::Edit || s == Table::State::Insert;
}
} // namespace dbdisplay
