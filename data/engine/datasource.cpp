#include "datasource.h"

#include "table.h"

#include <QHash>
#include <QPointer>

DataSource::DataSource(const QString& objectName, Table* table, QObject* parent)
    : QObject(parent), m_table(table) {
    setObjectName(objectName);
    if (table) {
        connect(table, &Table::activeChanged, this, &DataSource::activeChanged);
        connect(table, &Table::dataSetChanged, this, &DataSource::dataSetChanged);
        connect(table, &Table::recordChanged, this, &DataSource::recordChanged);
        connect(table, &Table::editingChanged, this, &DataSource::editingChanged);
        connect(table, &Table::layoutChanged, this, &DataSource::layoutChanged);
    }
}

namespace {
QHash<QString, QPointer<DataSource>>& sources() {
    static QHash<QString, QPointer<DataSource>> map;
    return map;
}

// "DataModule11.DataSource3" and "DataSource3" name the same source.
QString bareName(const QString& name) {
    return name.section(u'.', -1).trimmed();
}
} // namespace

DataSourceRegistry& DataSourceRegistry::instance() {
    static DataSourceRegistry registry;
    return registry;
}

void DataSourceRegistry::add(DataSource* source) {
    if (!source)
        return;
    const QString name = bareName(source->objectName());
    if (sources().value(name) == source)
        return;
    sources().insert(name, source);
    emit registered(source);
}

void DataSourceRegistry::remove(DataSource* source) {
    if (!source)
        return;
    const QString name = bareName(source->objectName());
    if (sources().value(name) == source)
        sources().remove(name);
}

DataSource* DataSourceRegistry::find(const QString& name) const {
    return sources().value(bareName(name));
}
