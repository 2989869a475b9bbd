#pragma once

#include "data/engine/datasource.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QKeyEvent;
class Table;

// What every record-bound widget shares: a data source held by name and resolved through the registry (now,
// or when the data module registers it later), an optional field name resolved against the table's field
// list at every open and layout change, and the table's five notices passed on as signals.
class DataBinding : public QObject {
    Q_OBJECT
public:
    explicit DataBinding(QObject* parent = nullptr);

    void setDataSourceName(const QString& name);
    QString dataSourceName() const { return m_sourceName; }
    DataSource* dataSource() const { return m_source; }
    Table* table() const;  // nullptr while the source is not resolved
    bool isActive() const; // resolved and the table is open

    // Single-field widgets: the field name, and its position in the table (-1 when closed or not found).
    void setFieldName(const QString& name);
    QString fieldName() const { return m_fieldName; }
    int fieldPos() const { return m_fieldPos; }
    bool hasField() const { return m_fieldPos >= 0; }

    // A widget holding a value typed but not yet written (a cell editor, a toggled check box) gives here how
    // to write it; the table asks for it before the record is posted or left. Writers throw Failure when the
    // value is refused.
    void setWriter(std::function<void()> writer) { m_writer = std::move(writer); }
    // Has every widget of `table` write its waiting value.
    static void updateRecord(Table* table);

    // Runs `handler` on every notice and when the source changes.
    template <typename F> void onEveryNotice(QObject* context, F handler) {
        for (auto notice :
             {&DataBinding::sourceChanged, &DataBinding::activeChanged, &DataBinding::dataSetChanged,
              &DataBinding::recordChanged, &DataBinding::editingChanged, &DataBinding::layoutChanged})
            connect(this, notice, context, handler);
    }

signals:
    // The source was resolved or replaced: widgets refresh everything.
    void sourceChanged();
    void activeChanged();
    void dataSetChanged();
    void recordChanged();
    void editingChanged();
    void layoutChanged();

private:
    void attach(DataSource* source);
    void resolveField();

    QString m_sourceName;
    QString m_fieldName;
    QPointer<DataSource> m_source;
    int m_fieldPos = -1;
    std::function<void()> m_writer;
};

// Asks "Delete record?" and deletes the record that was current when it was asked, should another row have
// been stored or the cursor moved while the question was open (a test's result stored at its time-out).
void deleteWithConfirmation(Table* table);

namespace dbdisplay {
// Alignment of a field's display text: integers right, everything else left.
Qt::Alignment alignment(const Table* table, int pos);
// True when the table is in edit or insert state.
bool editing(const Table* table);
// True when the key types a character (no Ctrl or Alt held).
bool typesText(const QKeyEvent* event);
} // namespace dbdisplay
