#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class Table;

// Presents one table object to the record-bound widgets and re-emits its five notices.
class DataSource : public QObject {
    Q_OBJECT
public:
    DataSource(const QString& objectName, Table* table, QObject* parent = nullptr);
    Table* table() const { return m_table; }

signals:
    void activeChanged();
    void dataSetChanged();
    void recordChanged();
    void editingChanged();
    void layoutChanged();

private:
    Table* m_table;
};

// Data sources by name ("DataSource3" or "DataModule11.DataSource3"), so that windows created before the
// data module can bind to it; a binding resolves when the source is registered.
class DataSourceRegistry : public QObject {
    Q_OBJECT
public:
    static DataSourceRegistry& instance();
    void add(DataSource* source); // by its objectName
    void remove(DataSource* source);
    DataSource* find(const QString& name) const; // nullptr until registered

signals:
    void registered(DataSource* source);
};
