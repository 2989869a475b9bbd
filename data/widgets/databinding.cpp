#include "databinding.h"

#include "data/engine/datasource.h"
#include "data/engine/table.h"
#include "ui/dialogs.h"

#include <QKeyEvent>

DataBinding::DataBinding(QObject* parent) : QObject(parent) {
    connect(&DataSourceRegistry::instance(), &DataSourceRegistry::registered, this,
            [this](DataSource* source) {
                if (!m_sourceName.isEmpty() && DataSourceRegistry::instance().find(m_sourceName) == source)
                    attach(source);
            });
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
    if (m_source) {
        disconnect(m_source, nullptr, this, nullptr);
        if (m_source->table())
            disconnect(m_source->table(), nullptr, this, nullptr);
    }
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
        if (Table* t = source->table())
            connect(t, &Table::updatingRecord, this, [this] {
                if (m_writer)
                    m_writer();
            });
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
    if (table && dbdisplay::editing(table))
        emit table->updatingRecord();
}

void deleteWithConfirmation(Table* table) {
    const bool pending = table->state() == Table::State::Insert;
    const std::optional<qint64> mark = table->bookmark();
    if (!dialogs().confirmDelete())
        return;
    // A new row still pending is only discarded; a stored row that is gone meanwhile has nothing left to
    // delete; an empty table gets the engine's own message.
    if (pending) {
        if (table->state() == Table::State::Insert)
            table->remove();
    } else if (!mark || table->gotoBookmark(*mark)) {
        table->remove();
    }
}

namespace dbdisplay {
Qt::Alignment alignment(const Table* table, int pos) {
    const FieldKind kind = table->field(pos).kind;
    const bool right = kind == FieldKind::Integer || kind == FieldKind::AutoInc;
    return (right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
}

bool typesText(const QKeyEvent* event) {
    return !event->text().isEmpty() && event->text().at(0).isPrint() &&
           !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
}

bool editing(const Table* table) {
    const Table::State s = table->state();
    return s == Table::State::Edit || s == Table::State::Insert;
}
} // namespace dbdisplay
